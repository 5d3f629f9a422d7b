// The plotter's main window: menus with their status texts, the toolbar, the status bar panes
// (mouse time, cursor 1, cursor 2, difference), the document's file commands, printing, image
// export, window capture and help.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPrinter>
#include <memory>
#include <string>

#include "gui/dialog_runner.h"
#include "gui/message_prompter.h"
#include "model/event_data.h"
#include "model/plot_document.h"
#include "zel/platform/launcher.h"

namespace zel::qplot {

class CZelQplotView;

struct StartOptions {
  std::string templatePath;  // empty: a new document
  std::string eventPath;
  std::string setupPath;
  std::string zoom;  // "/zoom=" value, empty when absent
  std::string programFolder;
};

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  CMainFrame(const StartOptions& options, platform::Prompter& prompter,
             platform::Launcher& launcher, QWidget* parent = nullptr);
  ~CMainFrame() override;

  CZelQplotDoc& doc() { return doc_; }
  EventData& data() { return data_; }
  CZelQplotView* view() const { return view_; }
  QString PaneText(int pane) const;  // 0 mouse, 1 cursor 1, 2 cursor 2, 3 difference
  bool PaneEnabled(int pane) const;
  QAction* Action(const QString& text) const;  // by its menu text without "&"

  bool OpenTemplate(const QString& path);
  bool SaveTemplate(const QString& path);
  bool ExportImage(const QString& path);
  bool ExportEvents(const QString& path);
  // Prints to a PDF file (tests) or the printer as set up; returns the pages printed.
  int PrintTo(QPrinter& printer);
  // Capture Window: image to the clipboard and a PNG in `folder`; returns the file written.
  QString CaptureWindow(const QString& folder);
  // The Capture Window command: CaptureWindow, then the picture opened with the desktop.
  void CaptureAndOpen(const QString& folder);
  void UpdateStatus();
  // Select Inputs dialog for a channel; the selected inputs fill the channels from it onward.
  void SelectInputs(int channel, const gui::DialogRunner& run);
  // Edit Equations: the Equations dialog and the dialogs it opens, all shown through `run`.
  void EditEquations(const gui::DialogRunner& run);
  // Details... of the plot-area menu: the event of the clicked channel within 4 units of the
  // click. Details... of the label menu: the clicked channel's input.
  void ShowEventDetails(const gui::DialogRunner& run);
  void ShowInputDetails(const gui::DialogRunner& run);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void LoadData(const StartOptions& options);
  void UpdateTitle();
  void AddRecent(const QString& path);
  void RefreshRecent();
  bool SaveModified();
  void Message(const std::string& text);

  platform::Prompter& prompter_;
  platform::Launcher& launcher_;
  std::string programFolder_;
  EventData data_;
  CZelQplotDoc doc_;
  CZelQplotView* view_ = nullptr;
  QString path_;
  std::array<QLabel*, 4> panes_{};
  std::vector<QAction*> recent_;
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace zel::qplot
