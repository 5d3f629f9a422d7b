// The station manager's main window: the recorder list, the weekly schedule, the clock, the
// status line of the running poll, and every command of the menus, the list's right-click
// menu, the buttons and the Insert and Delete keys.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui/dialog_runner.h"
#include "model/live_session.h"
#include "model/live_status.h"
#include "model/station_file.h"
#include "model/station_view.h"
#include "zel/comm/connection.h"
#include "zel/comm/status.h"
#include "zel/comm/timings.h"
#include "zel/core/poll_engine.h"
#include "zel/core/recorder_list.h"
#include "zel/core/recorder_rules.h"
#include "zel/core/report.h"
#include "zel/core/schedule.h"
#include "zel/core/settings.h"
#include "zel/core/tool_commands.h"
#include "zel/platform/clock.h"
#include "zel/platform/launcher.h"
#include "zel/platform/prompter.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;

namespace zel::gui {
class FileChooser;
class ReportListView;
}  // namespace zel::gui

namespace zel::oxm {

class RecorderListModel;
class RecorderDialog;
class PropertiesDialog;
class PollingTimeDialog;
class DeleteConfirmationDialog;

// What the window works through: the program passes the real ones, tests their recording and
// scripted stand-ins.
struct StationServices {
  platform::Clock* clock = nullptr;
  platform::Prompter* prompter = nullptr;
  platform::Launcher* launcher = nullptr;
  gui::FileChooser* files = nullptr;
  // Folder of zel.dat, with its trailing separator.
  std::string programFolder;
  // Program folder and separator of the command lines the window builds.
  core::ToolEnv tools;
  // Names of the computer's serial ports ("COM1", ...), read each time a dialog opens.
  std::function<std::vector<std::string>()> serialPortNames;
  gui::DialogRunner runDialog = gui::ExecDialog;
  // The pause before a converted setup text is opened; a real sleep when empty.
  std::function<void(int)> sleepMs;
  comm::Timings pollTimings;
  comm::PortMap ports;
  int afterCloseMs = 3000;
  // Access > Status (live status of one recorder): the Connecting dialog (nullptr: the Qt
  // dialog), the recorder's waits, the window's tick, and what tests do with the open window
  // (empty: it runs with runDialog).
  comm::ConnectingView* connecting = nullptr;
  LiveTimings liveTimings;
  int liveTickMs = kLiveTickMs;
  // Runs the one-second timer (tests call Tick() themselves).
  bool startTimer = true;
};

class StationWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit StationWindow(StationServices services, QWidget* parent = nullptr);
  ~StationWindow() override;

  // After the window is shown: makes the data folder current, or tells the user it is missing
  // and opens the properties dialog; then starts the one-second timer.
  void Start();
  // One tick of the one-second timer.
  void Tick();
  // Runs a command as its menu item, button or key does.
  void Run(core::Command c);

  // Writes zel.dat now, keeping the clock-set days and uploaded passwords another program of
  // the station wrote meanwhile; false (and the message shown) when it could not be saved.
  bool Save();

  // ---- for tests and for the benchmark ----
  core::RecorderList& recorders() { return list_; }
  core::StationSettings& settings() { return settings_; }
  core::PollEngine& engine() { return *engine_; }
  gui::ReportListView* listView() const { return view_; }
  RecorderListModel* listModel() const { return model_; }
  RecorderDialog* recorderDialog() const { return recorderDialog_; }
  PropertiesDialog* propertiesDialog() const { return propertiesDialog_; }
  PollingTimeDialog* pollingTimeDialog() const { return pollingTimeDialog_; }
  DeleteConfirmationDialog* deleteDialog() const { return deleteDialog_; }
  QPushButton* button(const QString& text) const;
  QCheckBox* dayBox(int weekday) const { return dayBoxes_[weekday]; }
  QPushButton* dayTime(int weekday) const { return dayTimes_[weekday]; }
  QLabel* clockLine() const { return clockLine_; }
  QLabel* statusField(int i) const { return statusFields_[i]; }
  QProgressBar* progressBar() const { return progress_; }
  bool liveStatusOpen() const { return liveOpen_; }
  StationFile& stationFile() { return file_; }
  QAction* menuAction(core::Command c) const;
  // The right-click menu as it would pop up (caller owns it).
  QMenu* BuildContextMenu();
  std::vector<int> SelectedRows() const;
  void SelectRows(const std::vector<int>& rows);
  bool MoveActive() const { return moveMode_.active(); }
  // A left click on the list at `row` (nullopt: below the last row) while in move mode.
  void MoveClick(std::optional<int> row);
  // Opens the polling time dialog of a day (a click on its time field).
  void EditDayTime(int weekday);

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void BuildMenus();
  QWidget* BuildCentral();
  void Load();
  void ShowSchedule(bool loaded);
  void SetDayEnabled(int weekday, bool on);

  void Add();
  void Delete();
  void Edit();
  void PressMove();
  void Properties();
  void About();
  bool ConfirmExit();

  // The One check; the row and a copy of its record.
  std::optional<std::pair<std::size_t, RecorderRecord>> One(core::Command c);
  std::vector<std::size_t> Selected() const;
  // Starts a poll unless another program of the station polls: the user is told so (the
  // schedule's poll says it on the status line instead of a message box).
  void StartRun(const std::vector<std::size_t>* rows, bool direct, uint32_t ops, int days_back,
                bool scheduled = false);
  // The window's poll has ended: its changes go into zel.dat and the station lock is let go.
  void EndPoll();
  void RunPollCommand(const PollCommand& p);
  void RunTool(const core::ToolAction& a);
  std::optional<std::string> ChooseFile(int kind, const std::string& filter, const std::string& ext,
                                        const std::string& start);
  std::string FolderOf(const RecorderRecord& r) const;
  std::string QueryFolderOf(const RecorderRecord& r) const;
  core::ReportResult Report(const RecorderRecord& r, const std::string& event_file,
                            const std::string& report_file);

  void GetData();
  void ViewQueryData();
  void PlotQueryData();
  void QuickPlot();
  void ViewEventRecords();
  void PlotEventRecords();
  void ViewPollLogs();
  void LiveStatus(core::Command c);
  // Opens live status on a recorder and shows its window until the user closes it.
  void ShowLiveStatus(const RecorderRecord& r, bool direct);

  std::vector<std::string> PortNames() const;
  void Warn(const std::string& what) const;

  class DeletePrompter;
  class ProgressObserver;

  StationServices s_;
  StationFile file_;
  core::RecorderList list_;
  core::StationSettings settings_;
  comm::StatusTexts status_;
  PollProgress progressModel_;
  // Hands the blocks of the transfer in progress to the progress bar (declared before the
  // engine, whose poll thread calls it).
  std::unique_ptr<ProgressObserver> progressObserver_;
  std::unique_ptr<core::PollEngine> engine_;
  core::ScheduleCheck scheduleCheck_;
  core::MoveMode moveMode_;
  std::unique_ptr<DeletePrompter> deletePrompter_;
  bool exiting_ = false;
  // Live status holds the line: a scheduled poll that comes due meanwhile waits for it.
  bool liveOpen_ = false;
  std::optional<int> scheduledWhileLive_;

  RecorderListModel* model_ = nullptr;
  gui::ReportListView* view_ = nullptr;
  QLabel* clockLine_ = nullptr;
  std::array<QCheckBox*, 7> dayBoxes_{};
  std::array<QPushButton*, 7> dayTimes_{};
  std::array<QLabel*, 3> statusFields_{};
  QProgressBar* progress_ = nullptr;
  QPushButton* moveButton_ = nullptr;
  std::vector<std::pair<core::Command, QAction*>> actions_;
  QTimer* timer_ = nullptr;
  RecorderDialog* recorderDialog_ = nullptr;
  PropertiesDialog* propertiesDialog_ = nullptr;
  PollingTimeDialog* pollingTimeDialog_ = nullptr;
  DeleteConfirmationDialog* deleteDialog_ = nullptr;
};

}  // namespace zel::oxm
