// The real-time plotter's window: the plot view, menus, status bar, the start-up on a worker
// thread and the 100 ms timer that reads the stream.
#pragma once

#include <QMainWindow>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui/model/command_options.h"
#include "gui/model/sorted_input_list.h"
#include "model/input_texts.h"
#include "model/realtime_plot.h"
#include "model/rtp_command_line.h"
#include "model/rtp_login.h"
#include "zel/comm/connection.h"
#include "zel/platform/prompter.h"

class QLabel;
class QMenu;
class QPrinter;
class QTimer;

namespace zel::rtp {

class RtpWindow;

struct RtpWindowOptions {
  RtpWaits waits;
  comm::Timings timings;                   // the connection layer's modem waits
  std::optional<comm::PortMap> ports;      // serial port numbers to devices (tests: ptys)
  platform::Prompter* prompter = nullptr;  // nullptr: message boxes
  int timerMs = 100;
  // Chooses inputs in the Select Inputs dialog (nullptr: the dialog); the positions in list
  // order, empty when cancelled.
  std::function<std::vector<int>(gui::SortedInputList&)> chooseInputs;
  // Chooses a colour (0x00BBGGRR) starting from one; nullopt when cancelled.
  std::function<std::optional<uint32_t>(uint32_t)> chooseColor;
  // Wall-clock time of day "hh:mm:ss" for "Line lost at"; nullptr: the local time.
  std::function<std::string()> timeOfDay;
};

class RtpView : public QWidget {
  Q_OBJECT
 public:
  explicit RtpView(RtpWindow& window);
  // The right-button menu for a point of the view (label column or plot area).
  QMenu* ContextMenuAt(QPoint pos);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  RtpWindow& window_;
};

class RtpWindow : public QMainWindow {
  Q_OBJECT
 public:
  RtpWindow(const gui::CommandOptions& options, RtpWindowOptions window_options = {});
  ~RtpWindow() override;

  RealTimePlot& plot() { return *plot_; }
  const InputTexts& texts() const { return *texts_; }
  const RtpCommandLine& commandLine() const { return line_; }
  RtpView* view() const { return view_; }
  QString StatusText() const;
  RtpPhase phase() const;

  // Menu commands.
  void Zoom(bool in, int factor);
  void SelectInputs(int row);
  void ChooseColor(int row);
  bool SaveCapture(const std::string& path, std::string* error);
  bool ExportImage(const std::string& path, std::string* error);
  // One page "ZEL Real Time Plot": the plot mapped to 1024 units across, and the bottom line.
  void PrintTo(QPrinter& printer);
  // The printed bottom line "%02d/%02d/%04d %02d:%02d:%02d Recorder: %s".
  static std::string PrintFooter(int month, int day, int year, int hour, int minute, int second,
                                 const std::string& unit);

 private:
  struct Worker;
  void Start();
  void OnTimer();
  void ReadStream();
  void SetStatus(const QString& text);
  void BuildMenus();
  void Message(const std::string& text);

  RtpWindowOptions options_;
  RtpCommandLine line_;
  std::unique_ptr<InputTexts> texts_;
  std::unique_ptr<RealTimePlot> plot_;
  std::shared_ptr<Worker> worker_;
  bool streaming_ = false;
  bool lineLost_ = false;
  RtpView* view_ = nullptr;
  QLabel* status_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace zel::rtp
