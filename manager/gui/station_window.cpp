#include "station_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <filesystem>
#include <map>

#include "connecting_dialog.h"
#include "dialogs.h"
#include "gui/file_chooser.h"
#include "gui/input_selection_dialog.h"
#include "gui/report_list_view.h"
#include "live_status_window.h"
#include "recorder_list_model.h"
#include "zel/comm/protocol.h"
#include "zel/core/paths.h"
#include "zel/core/query.h"
#include "zel/core/report.h"
#include "zel/core/report_selection.h"
#include "zel/core/zel_dat.h"

namespace zel::oxm {

using core::Command;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr char kEventFilter[] = "Binary event files|*.bin||";
constexpr char kQueryFilter[] = "Binary files (*.bin)|*.bin||";
constexpr char kLogFilter[] = "Text files (*.txt)|*.txt||";
constexpr char kTemplateFilter[] = "ZEL plot templates (*.zpl)|*.zpl||";

}  // namespace

// The old file handling asks through a Prompter; its question is the delete confirmation
// dialog with the countdown, every other message goes to the window's prompter.
class StationWindow::DeletePrompter : public platform::Prompter {
 public:
  explicit DeletePrompter(StationWindow& w) : w_(w) {}
  platform::PromptAnswer Show(const std::string& caption, const std::string& text,
                              platform::PromptButtons buttons, int timeout_ms,
                              platform::PromptAnswer on_timeout) override {
    if (caption != core::kDeleteCaption)
      return w_.s_.prompter->Show(caption, text, buttons, timeout_ms, on_timeout);
    w_.deleteDialog_->Open();
    return w_.s_.runDialog(*w_.deleteDialog_) == QDialog::Accepted ? platform::PromptAnswer::Yes
                                                                   : platform::PromptAnswer::No;
  }

 private:
  StationWindow& w_;
};

class StationWindow::ProgressObserver : public core::PollObserver {
 public:
  explicit ProgressObserver(PollProgress& p) : p_(p) {}
  void OnTransferBlocks(int blocks) override { p_.OnBlocks(blocks); }

 private:
  PollProgress& p_;
};

StationWindow::StationWindow(StationServices services, QWidget* parent)
    : QMainWindow(parent), s_(std::move(services)), file_(core::ZelDatPath(s_.programFolder)) {
  setWindowTitle(QString::fromLatin1(kWindowCaption));
  setWindowIcon(style()->standardIcon(QStyle::SP_ComputerIcon));
  core::PollEngine::Environment env;
  env.recorders = &list_;
  env.clock = s_.clock;
  env.launcher = s_.launcher;
  env.status = &status_;
  env.timings = s_.pollTimings;
  env.ports = s_.ports;
  env.afterCloseMs = s_.afterCloseMs;
  progressObserver_ = std::make_unique<ProgressObserver>(progressModel_);
  env.observer = progressObserver_.get();
  engine_ = std::make_unique<core::PollEngine>(env);
  engine_->onEvent = [this](const core::PollEvent& e) { progressModel_.OnEvent(e); };
  deletePrompter_ = std::make_unique<DeletePrompter>(*this);

  model_ = new RecorderListModel(list_, this);
  setCentralWidget(BuildCentral());
  BuildMenus();
  recorderDialog_ = new RecorderDialog(*s_.prompter, this);
  propertiesDialog_ = new PropertiesDialog(*s_.prompter, *s_.files, this);
  pollingTimeDialog_ = new PollingTimeDialog(this);
  deleteDialog_ = new DeleteConfirmationDialog(this);

  scheduleCheck_.startPoll = [this](int days_back) {
    if (liveOpen_) {
      // Live status holds the line; the poll starts when its window closes.
      scheduledWhileLive_ = days_back;
      return;
    }
    StartRun(nullptr, UsesDirect(Connection::Preferred, settings_), core::kOpsEventsPoll, days_back,
             /*scheduled=*/true);
  };
  scheduleCheck_.housekeeping = [this] {
    core::HandleOldEventFiles(settings_, list_.Snapshot(), s_.clock->Now(), *deletePrompter_);
  };
  timer_ = new QTimer(this);
  timer_->setInterval(kTickMs);
  connect(timer_, &QTimer::timeout, this, &StationWindow::Tick);
  Load();
}

StationWindow::~StationWindow() { engine_->StopPoll(); }

// ---- building ----

QWidget* StationWindow::BuildCentral() {
  auto* central = new QWidget(this);
  auto* top = new QVBoxLayout(central);
  clockLine_ = new QLabel(central);
  clockLine_->setAccessibleName(QStringLiteral("Clock"));
  top->addWidget(clockLine_);

  auto* middle = new QHBoxLayout;
  auto* listColumn = new QVBoxLayout;
  auto* listLabel = new QLabel(QString::fromLatin1(kListTitle), central);
  view_ = new gui::ReportListView(central);
  view_->setModel(model_);
  view_->setAccessibleName(QString::fromLatin1(kListTitle));
  listLabel->setBuddy(view_);
  std::vector<int> widths;
  int total = 0;
  for (const core::ListColumn& c : core::RecorderListColumns()) {
    widths.push_back(c.width);
    total += c.width;
  }
  view_->SetColumnWidths(widths);
  view_->setMinimumWidth(total + 24);
  view_->installEventFilter(this);
  view_->viewport()->installEventFilter(this);
  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
    std::unique_ptr<QMenu> menu(BuildContextMenu());
    menu->exec(view_->viewport()->mapToGlobal(p));
  });
  listColumn->addWidget(listLabel);
  listColumn->addWidget(view_, 1);
  middle->addLayout(listColumn, 1);

  auto* schedule = new QGroupBox(QStringLiteral("Polling Schedule"), central);
  auto* grid = new QGridLayout(schedule);
  grid->addWidget(new QLabel(QStringLiteral("Enable"), schedule), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("Time"), schedule), 0, 1);
  for (int d = 0; d < 7; ++d) {
    dayBoxes_[d] = new QCheckBox(Q(WeekdayShortName(d)), schedule);
    dayTimes_[d] = new QPushButton(QStringLiteral("00:00"), schedule);
    dayTimes_[d]->setAccessibleName(Q(WeekdayName(d) + " polling time"));
    dayTimes_[d]->setFlat(true);
    grid->addWidget(dayBoxes_[d], d + 1, 0);
    grid->addWidget(dayTimes_[d], d + 1, 1);
    connect(dayBoxes_[d], &QCheckBox::toggled, this, [this, d](bool on) { SetDayEnabled(d, on); });
    connect(dayTimes_[d], &QPushButton::clicked, this, [this, d] { EditDayTime(d); });
  }
  auto* right = new QVBoxLayout;
  right->addWidget(schedule);
  right->addStretch();
  middle->addLayout(right);
  top->addLayout(middle, 1);

  auto* buttons = new QHBoxLayout;
  const std::pair<const char*, Command> kButtons[] = {{"Add", Command::Add},
                                                      {"Delete", Command::Delete},
                                                      {"Edit", Command::Edit},
                                                      {"Move", Command::Move},
                                                      {"Poll Start", Command::PollStart},
                                                      {"Quick Plot", Command::QuickPlot}};
  for (const auto& [text, command] : kButtons) {
    auto* b = new QPushButton(QString::fromLatin1(text), central);
    b->setAutoDefault(false);
    buttons->addWidget(b);
    if (command == Command::Move) {
      moveButton_ = b;
      b->setCheckable(true);
      // The button's own toggling is undone; PressMove decides whether it stays pressed.
      connect(b, &QPushButton::clicked, this, [this] { PressMove(); });
    } else {
      const Command c = command;
      connect(b, &QPushButton::clicked, this, [this, c] { Run(c); });
    }
  }
  buttons->addStretch();
  top->addLayout(buttons);

  auto* statusLine = new QHBoxLayout;
  auto* polling = new QLabel(QStringLiteral("Polling Recorder:"), central);
  statusLine->addWidget(polling);
  const char* kFieldNames[] = {"Recorder being polled", "Current step", "Step result"};
  const int kFieldWidths[] = {150, 130, 110};
  for (int i = 0; i < 3; ++i) {
    statusFields_[i] = new QLabel(central);
    statusFields_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusFields_[i]->setMinimumWidth(kFieldWidths[i]);
    statusFields_[i]->setAccessibleName(QString::fromLatin1(kFieldNames[i]));
    statusLine->addWidget(statusFields_[i]);
  }
  polling->setBuddy(statusFields_[0]);
  progress_ = new QProgressBar(central);
  progress_->setAccessibleName(QStringLiteral("Poll progress"));
  progress_->setRange(0, 1);
  progress_->setValue(0);
  progress_->setFormat(QString());
  progress_->setTextVisible(true);
  progress_->setMinimumWidth(160);
  statusLine->addWidget(progress_, 1);
  top->addLayout(statusLine);
  return central;
}

void StationWindow::BuildMenus() {
  std::map<std::string, QMenu*> menus;
  for (const MenuEntry& e : MenuBar()) {
    QMenu* menu = nullptr;
    std::string key;
    for (std::size_t i = 0; i + 1 < e.path.size(); ++i) {
      key += "/" + e.path[i];
      QMenu*& m = menus[key];
      if (!m) m = menu ? menu->addMenu(Q(e.path[i])) : menuBar()->addMenu(Q(e.path[i]));
      menu = m;
    }
    QAction* a = menu->addAction(Q(e.path.back()));
    if (!e.shortcut.empty()) a->setShortcut(QKeySequence(Q(e.shortcut)));
    const Command c = e.command;
    connect(a, &QAction::triggered, this, [this, c] { Run(c); });
    actions_.emplace_back(c, a);
  }
}

QMenu* StationWindow::BuildContextMenu() {
  auto* root = new QMenu(this);
  std::map<std::string, QMenu*> menus;
  for (const MenuEntry& e : ContextMenu()) {
    QMenu* menu = root;
    std::string key;
    for (std::size_t i = 0; i + 1 < e.path.size(); ++i) {
      key += "/" + e.path[i];
      QMenu*& m = menus[key];
      if (!m) m = menu->addMenu(Q(e.path[i]));
      menu = m;
    }
    QAction* a = menu->addAction(Q(e.path.back()));
    const Command c = e.command;
    connect(a, &QAction::triggered, this, [this, c] { Run(c); });
  }
  root->addSeparator();
  root->addAction(QStringLiteral("Cancel"));  // closes the menu, nothing else
  return root;
}

QAction* StationWindow::menuAction(Command c) const {
  for (const auto& [command, action] : actions_)
    if (command == c) return action;
  return nullptr;
}

QPushButton* StationWindow::button(const QString& text) const {
  for (QPushButton* b : centralWidget()->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

// ---- zel.dat and the schedule ----

void StationWindow::Load() {
  const core::ZelDatLoad load = file_.Load();
  for (const std::string& line : load.adjusted) std::fprintf(stderr, "zel.dat: %s\n", line.c_str());
  settings_ = load.contents.settings;
  list_.Replace(load.contents.recorders);
  model_->Reload();
  ShowSchedule(load.contents.scheduleLoaded);
}

void StationWindow::ShowSchedule(bool loaded) {
  for (int d = 0; d < 7; ++d) {
    const core::ScheduleDay day = settings_.schedule[d];
    const QSignalBlocker block(dayBoxes_[d]);
    dayBoxes_[d]->setChecked(day.enabled != 0);
    dayTimes_[d]->setText(Q(core::ScheduleTimeText(day.time)));
    // Before a "Schedule" line was loaded every time field can be clicked.
    dayTimes_[d]->setEnabled(!loaded || day.enabled != 0);
  }
}

void StationWindow::SetDayEnabled(int d, bool on) {
  settings_.schedule[d].enabled = on ? 1 : 0;
  dayTimes_[d]->setEnabled(on);
}

void StationWindow::EditDayTime(int d) {
  if (!dayTimes_[d]->isEnabled()) return;  // a greyed field cannot be clicked
  pollingTimeDialog_->Open(d, settings_.schedule[d].time);
  if (s_.runDialog(*pollingTimeDialog_) != QDialog::Accepted) return;
  settings_.schedule[d].time = pollingTimeDialog_->Time();
  dayTimes_[d]->setText(Q(core::ScheduleTimeText(settings_.schedule[d].time)));
}

bool StationWindow::Save() {
  std::string error;
  if (file_.Save(settings_, list_, &error)) return true;
  s_.prompter->Show(core::kMessageTitle, SaveFailedMessage(error), platform::PromptButtons::Ok);
  return false;
}

void StationWindow::EndPoll() {
  std::string error;
  // The changes stay in the list: File > Save or the exit writes them again.
  if (!file_.EndPoll(settings_, list_, &error)) Warn("the poll's changes were not saved: " + error);
}

// ---- start, timer, exit ----

void StationWindow::Start() {
  if (!core::MakeCurrentFolder(settings_.dataFolder)) {
    s_.prompter->Show(core::kMessageTitle, core::MissingDataFolderMessage(settings_.dataFolder),
                      platform::PromptButtons::Ok);
    Properties();
  }
  if (s_.startTimer) timer_->start();
}

void StationWindow::Tick() {
  const platform::LocalTime now = s_.clock->Now();
  clockLine_->setText(Q(ClockLineText(now)));
  const comm::StatusTexts::Snapshot st = status_.Get();
  statusFields_[0]->setText(Q(st.recorder));
  statusFields_[1]->setText(Q(st.operation));
  statusFields_[2]->setText(Q(st.result));
  const PollProgress::Snapshot p = progressModel_.Get();
  progress_->setRange(0, std::max(1, p.total));
  progress_->setValue(p.done);
  progress_->setFormat(p.total > 0 ? Q(PollProgress::Text(p)) : QString());
  if (file_.Polling() && !engine_->Running()) EndPoll();
  scheduleCheck_.Tick(now, settings_.schedule);
}

bool StationWindow::ConfirmExit() {
  if (s_.prompter->Show(kExitCaption, kExitQuestion, platform::PromptButtons::YesNo) !=
      platform::PromptAnswer::Yes)
    return false;
  std::string error;
  if (!file_.Save(settings_, list_, &error)) {
    // Nothing typed is lost without the user knowing it.
    if (s_.prompter->Show(core::kMessageTitle, ExitSaveFailedQuestion(error),
                          platform::PromptButtons::YesNo) != platform::PromptAnswer::Yes)
      return false;
  }
  engine_->StopPoll();
  // What the stopped poll changed after the save above.
  if (file_.Polling()) EndPoll();
  timer_->stop();
  list_.Clear();
  model_->Reload();
  return true;
}

void StationWindow::closeEvent(QCloseEvent* e) {
  if (!exiting_ && !ConfirmExit()) {
    e->ignore();
    return;
  }
  exiting_ = true;
  e->accept();
}

bool StationWindow::eventFilter(QObject* watched, QEvent* e) {
  if (watched == view_ && e->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key == Qt::Key_Insert) {
      Run(Command::Add);
      return true;
    }
    if (key == Qt::Key_Delete) {
      Run(Command::Delete);
      return true;
    }
  }
  if (watched == view_->viewport() && e->type() == QEvent::MouseButtonPress && moveMode_.active()) {
    auto* me = static_cast<QMouseEvent*>(e);
    if (me->button() == Qt::LeftButton) {
      const QModelIndex at = view_->indexAt(me->position().toPoint());
      MoveClick(at.isValid() ? std::optional<int>(at.row()) : std::nullopt);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

// ---- selection ----

std::vector<int> StationWindow::SelectedRows() const { return view_->SelectedRows(); }

void StationWindow::SelectRows(const std::vector<int>& rows) {
  std::vector<bool> marks(list_.Count(), false);
  for (int r : rows)
    if (r >= 0 && static_cast<std::size_t>(r) < marks.size()) marks[r] = true;
  view_->SelectRows(marks);
}

std::vector<std::size_t> StationWindow::Selected() const {
  std::vector<std::size_t> rows;
  for (int r : view_->SelectedRows()) rows.push_back(static_cast<std::size_t>(r));
  return rows;
}

std::optional<std::pair<std::size_t, RecorderRecord>> StationWindow::One(Command c) {
  std::optional<std::size_t> row = core::RunOneCheck(core::OneCheckCaption(c), Selected(), list_,
                                                     settings_.dataFolder, *s_.prompter);
  if (!row) return std::nullopt;
  std::optional<RecorderRecord> r = list_.Get(*row);
  if (!r) return std::nullopt;
  return std::make_pair(*row, *r);
}

// ---- list commands ----

std::vector<std::string> StationWindow::PortNames() const {
  return s_.serialPortNames ? s_.serialPortNames() : std::vector<std::string>{};
}

void StationWindow::Add() {
  const std::vector<RecorderRecord> all = list_.Snapshot();
  recorderDialog_->Open(
      core::RecorderDialogMode::Add, core::OpenRecorderFields(core::RecorderDialogMode::Add),
      core::RecorderPortEntries(PortNames()), [all](const core::RecorderFields& f) {
        return core::CheckRecorderFields(core::RecorderDialogMode::Add, f, all);
      });
  if (s_.runDialog(*recorderDialog_) != QDialog::Accepted) return;
  const RecorderRecord r = core::RecorderFromAddFields(recorderDialog_->Fields());
  list_.Append(r);
  model_->Appended();
  view_->scrollTo(model_->index(model_->rowCount() - 1, 0));
  if (core::MakeCurrentFolder(settings_.dataFolder)) {
    // The folder is needed by the first poll, which makes it again if this fails.
    if (core::FolderResult f = core::EnsureRecorderFolder(settings_.dataFolder, r.id))
      core::MakeCurrentFolder(f.path->string());
  }
}

void StationWindow::Delete() {
  const std::vector<std::size_t> rows = Selected();
  if (rows.empty()) return;
  core::DeleteSelected(list_, rows);
  model_->Reload();
}

void StationWindow::Edit() {
  const std::vector<std::size_t> rows = Selected();
  if (rows.empty()) return;
  const std::vector<RecorderRecord> all = list_.Snapshot();
  const std::vector<core::PortEntry> ports = core::RecorderPortEntries(PortNames());
  if (rows.size() == 1) {
    const std::size_t row = rows.front();
    std::optional<RecorderRecord> r = list_.Get(row);
    if (!r) return;
    recorderDialog_->Open(core::RecorderDialogMode::Edit,
                          core::OpenRecorderFields(core::RecorderDialogMode::Edit, &*r), ports,
                          [all, row](const core::RecorderFields& f) {
                            return core::CheckRecorderFields(core::RecorderDialogMode::Edit, f, all,
                                                             row);
                          });
    if (s_.runDialog(*recorderDialog_) != QDialog::Accepted) return;
    const core::RecorderFields f = recorderDialog_->Fields();
    list_.Update(row, [&](RecorderRecord& rec) { core::ApplyEditFields(f, rec); });
    model_->RowChanged(static_cast<int>(row));
    return;
  }
  recorderDialog_->Open(core::RecorderDialogMode::EditMultiple,
                        core::OpenRecorderFields(core::RecorderDialogMode::EditMultiple), ports,
                        {});
  if (s_.runDialog(*recorderDialog_) != QDialog::Accepted) return;
  const core::RecorderFields f = recorderDialog_->Fields();
  for (std::size_t row : rows) {
    list_.Update(row, [&](RecorderRecord& rec) { core::ApplyEditMultipleFields(f, rec); });
    model_->RowChanged(static_cast<int>(row));
  }
}

void StationWindow::PressMove() {
  std::vector<bool> selected(list_.Count(), false);
  for (std::size_t r : Selected())
    if (r < selected.size()) selected[r] = true;
  const bool on = moveMode_.Press(list_, selected) || moveMode_.active();
  moveButton_->setChecked(on);
}

void StationWindow::MoveClick(std::optional<int> row) {
  std::optional<std::size_t> clicked;
  if (row && *row >= 0) clicked = static_cast<std::size_t>(*row);
  std::optional<std::vector<bool>> selection = moveMode_.Click(list_, clicked);
  moveButton_->setChecked(false);
  if (!selection) return;
  model_->Reload();
  view_->SelectRows(*selection);
}

void StationWindow::Properties() {
  propertiesDialog_->Open(
      settings_, core::PropertiesPortEntries(PortNames()),
      [](const std::string& folder) { return core::MakeCurrentFolder(folder); });
  if (s_.runDialog(*propertiesDialog_) != QDialog::Accepted) return;
  core::ApplyPropertiesFields(propertiesDialog_->Fields(), settings_);
}

void StationWindow::About() {
  AboutDialog about(this);
  s_.runDialog(about);
}

// ---- polls ----

void StationWindow::StartRun(const std::vector<std::size_t>* rows, bool direct, uint32_t ops,
                             int days_back, bool scheduled) {
  std::string warning;
  if (std::optional<std::string> held = file_.BeginPoll(list_, &warning)) {
    if (scheduled) {
      // Nobody may be at the station: the status line says it, no box waits for an answer.
      status_.SetRecorder("");
      status_.SetOperation(kScheduledPoll);
      status_.SetResult(*held);
    } else {
      s_.prompter->Show(core::kMessageTitle, PollHeldMessage(*held), platform::PromptButtons::Ok);
    }
    Warn(*held);
    return;
  }
  if (!warning.empty()) Warn(warning);
  if (!rows) {
    engine_->StartPoll(settings_, true, direct, ops, days_back);
    return;
  }
  std::vector<bool> chosen(list_.Count(), false);
  for (std::size_t r : *rows)
    if (r < chosen.size()) chosen[r] = true;
  for (std::size_t i = 0; i < chosen.size(); ++i)
    list_.Update(i, [&](RecorderRecord& rec) { rec.listState = chosen[i] ? 1 : 0; });
  engine_->StartPoll(settings_, false, direct, ops, days_back);
}

void StationWindow::RunPollCommand(const PollCommand& p) {
  const bool direct = UsesDirect(p.connection, settings_);
  const int days = DaysBackOf(p, settings_.schedule, s_.clock->Now().weekday);
  if (p.one) {
    auto one = One(p.command);
    if (!one) return;
    const std::vector<std::size_t> rows = {one->first};
    StartRun(&rows, direct, p.ops, days);
    return;
  }
  const std::vector<std::size_t> selected = Selected();
  if (selected.empty()) {
    StartRun(nullptr, direct, p.ops, days);
  } else {
    StartRun(&selected, direct, p.ops, days);
  }
}

// ---- tools ----

void StationWindow::Warn(const std::string& what) const {
  std::fprintf(stderr, "ZelOXM: %s\n", what.c_str());
}

void StationWindow::RunTool(const core::ToolAction& a) {
  if (!a.error.empty()) Warn(a.error);
  if (a.DoesNothing()) return;
  const bool ok = core::RunToolAction(a, *s_.launcher, s_.sleepMs);
  if (!ok) {
    std::string what = "could not";
    if (a.commandLine) what += " start " + *a.commandLine;
    if (a.commandLine && a.openPath) what += " or";
    if (a.openPath) what += " open " + *a.openPath;
    Warn(what);
  }
}

std::optional<std::string> StationWindow::ChooseFile(int kind, const std::string& filter,
                                                     const std::string& ext,
                                                     const std::string& start) {
  gui::FileChooser::Request r;
  r.kind = static_cast<gui::FileChooser::Request::Kind>(kind);
  r.filter = filter;
  r.defaultExtension = ext;
  r.startFolder = start;
  return s_.files->Choose(r);
}

std::string StationWindow::FolderOf(const RecorderRecord& r) const {
  return core::RecorderFolderText(s_.tools, settings_.dataFolder, r.id).value_or(std::string());
}

std::string StationWindow::QueryFolderOf(const RecorderRecord& r) const {
  const std::string folder = FolderOf(r);
  return folder.empty() ? folder : folder + s_.tools.separator + "Query";
}

core::ReportResult StationWindow::Report(const RecorderRecord& r, const std::string& event_file,
                                         const std::string& report_file) {
  const core::ReportSelector ask =
      [this](core::ReportSelection& sel) -> std::optional<std::vector<int>> {
    std::vector<gui::SortedInputList::Row> rows;
    for (const core::SelectionRow& row : sel.rows())
      rows.push_back({row.input, {row.identifier, row.name, row.id}});
    using C = core::SelectionColumn;
    gui::SortedInputList list({{"Input", core::ReportSelection::ColumnWidth(C::kInput), true},
                               {"Name", core::ReportSelection::ColumnWidth(C::kName), false},
                               {"ID", core::ReportSelection::ColumnWidth(C::kId), false}},
                              std::move(rows));
    gui::InputSelectionDialog dialog(QStringLiteral("Select Inputs"),
                                     QString::fromLatin1(core::ReportSelection::kPrompt), list,
                                     this);
    if (s_.runDialog(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.SelectedInputs();
  };
  core::ReportResult result =
      core::MakeReport(r, settings_.dataFolder, event_file, report_file, &ask);
  if (!result.ok()) Warn("no report of " + event_file + ": " + result.error);
  return result;
}

void StationWindow::ViewEventRecords() {
  auto one = One(Command::ViewEventRecords);
  if (!one) return;
  const RecorderRecord& r = one->second;
  const std::string folder = FolderOf(r);
  core::MakeCurrentFolder(folder);
  std::optional<std::string> file =
      ChooseFile(gui::FileChooser::Request::kOpen, kEventFilter, "bin", folder);
  if (!file) return;
  const std::string report = core::EventsReportPath(*file, settings_);
  Report(r, *file, report);
  core::ToolAction open;
  open.openPath = report;
  RunTool(open);
}

void StationWindow::PlotEventRecords() {
  auto one = One(Command::PlotEventRecords);
  if (!one) return;
  std::optional<std::string> file =
      ChooseFile(gui::FileChooser::Request::kOpen, kEventFilter, "bin", FolderOf(one->second));
  if (!file) return;
  RunTool(core::PlotEventsAction(s_.tools, settings_, one->second, *file));
}

void StationWindow::ViewPollLogs() {
  std::optional<std::string> file =
      ChooseFile(gui::FileChooser::Request::kOpen, kLogFilter, "txt", settings_.dataFolder);
  if (!file) return;
  core::ToolAction open;
  open.openPath = *file;
  RunTool(open);
}

void StationWindow::GetData() {
  auto one = One(Command::QueryGetData);
  if (!one) return;
  const RecorderRecord& r = one->second;
  core::FolderResult query = core::EnsureQueryFolder(settings_.dataFolder, r.id);
  if (!query) {
    Warn(query.error);
    return;
  }
  QueryIntervalDialog dialog(this);
  dialog.Open(s_.clock->Now(), UsesDirect(Connection::Preferred, settings_));
  if (s_.runDialog(dialog) != QDialog::Accepted) return;
  std::optional<std::string> file =
      ChooseFile(gui::FileChooser::Request::kSave, kQueryFilter, "bin", query.path->string());
  if (!file) return;
  std::string error;
  std::optional<core::QueryTarget> target =
      core::GetDataTarget(settings_, r, dialog.From(), dialog.To(), *file, &error);
  if (!target) {
    Warn(error);
    return;
  }
  engine_->SetQuery(*target);
  const std::vector<std::size_t> rows = {one->first};
  StartRun(&rows, dialog.Direct(), core::kOpsQuery, 0);
}

void StationWindow::ViewQueryData() {
  auto one = One(Command::QueryViewData);
  if (!one) return;
  const RecorderRecord& r = one->second;
  core::MakeCurrentFolder(FolderOf(r));
  std::optional<std::string> file =
      ChooseFile(gui::FileChooser::Request::kOpen, kQueryFilter, "", QueryFolderOf(r));
  if (!file) return;
  const std::string report = core::QueryReportPath(*file, settings_);
  Report(r, *file, report);
  core::ToolAction open;
  open.openPath = report;
  RunTool(open);
}

void StationWindow::PlotQueryData() {
  auto one = One(Command::QueryPlotData);
  if (!one) return;
  const RecorderRecord& r = one->second;
  std::optional<std::string> file =
      ChooseFile(gui::FileChooser::Request::kOpen, kQueryFilter, "", QueryFolderOf(r));
  if (!file) return;
  core::MakeCurrentFolder(FolderOf(r));
  RunTool(core::QueryPlotDataAction(s_.tools, settings_, r, *file));
}

void StationWindow::QuickPlot() {
  auto one = One(Command::QuickPlot);
  if (!one) return;
  const RecorderRecord r = one->second;
  core::FolderResult query = core::EnsureQueryFolder(settings_.dataFolder, r.id);
  if (!query) {
    Warn(query.error);
    return;
  }
  QuickPlotDialog dialog(
      [this, r] {
        return ChooseFile(gui::FileChooser::Request::kOpen, kTemplateFilter, "zpl", FolderOf(r));
      },
      this);
  dialog.Open(core::DefaultPlotTemplate(settings_, s_.tools.separator),
              UsesDirect(Connection::Preferred, settings_));
  if (s_.runDialog(dialog) != QDialog::Accepted) return;
  std::string error;
  std::optional<core::QueryTarget> target = core::QuickPlotTarget(
      s_.tools, settings_, r, s_.clock->Now(), dialog.Hours(), dialog.Template(), &error);
  if (!target) {
    Warn(error);
    return;
  }
  engine_->SetQuery(*target);
  const std::vector<std::size_t> rows = {one->first};
  StartRun(&rows, dialog.Direct(), core::kOpsQuickPlot, 0);
}

void StationWindow::LiveStatus(Command c) {
  auto one = One(c);
  if (!one) return;
  // The poll and live status share the one line; they must never drive it at once.
  if (engine_->Running()) {
    s_.prompter->Show(kLiveCaption, kLiveWhilePolling, platform::PromptButtons::Ok);
    return;
  }
  ShowLiveStatus(one->second, c == Command::StatusDirect);
}

void StationWindow::ShowLiveStatus(const RecorderRecord& r, bool direct) {
  liveOpen_ = true;
  comm::Connection conn(s_.pollTimings, &engine_->abort_flag(), &status_);
  comm::ConnectionSettings cs;
  cs.modemInit = settings_.modemInit;
  cs.dialPrefix = settings_.dialPrefix;
  cs.directPort = settings_.directPort;
  cs.directBaud = settings_.directBaud;
  conn.SetSettings(cs);
  conn.SetPortMap(s_.ports);
  std::unique_ptr<ConnectingDialog> ownDialog;
  comm::ConnectingView* view = s_.connecting;
  if (!view) {
    ownDialog = std::make_unique<ConnectingDialog>(this);
    view = ownDialog.get();
  }
  const LiveOpen open =
      OpenLiveStatus(conn, r, direct, settings_, s_.liveTimings, *view, *s_.prompter);
  if (open.connected) {
    // The window still opens without the setup database: no flash bits, no unit name, no
    // modules present.
    SetupDatabase setup(r.type);
    const core::FolderResult folder = core::RecorderFolder(settings_.dataFolder, r.id);
    const bool loaded =
        setup.valid() && folder && setup.LoadFile(*folder.path / comm::kSetupFileName);
    auto live = std::make_unique<LiveStatusModel>(r.type, loaded ? &setup : nullptr);
    LiveStatusWindow::Services ls;
    ls.clock = s_.clock;
    ls.prompter = s_.prompter;
    ls.runDialog = s_.runDialog;
    ls.tickMs = s_.liveTickMs;
    LiveStatusWindow window(std::move(live), LiveTitle(r.id, loaded ? setup.UnitName() : ""), &conn,
                            open.selector, ls, this);
    s_.runDialog(window);
    conn.CloseConnection(open.selector);
  }
  liveOpen_ = false;
  if (scheduledWhileLive_) {
    const int days = *scheduledWhileLive_;
    scheduledWhileLive_.reset();
    scheduleCheck_.startPoll(days);
  }
}

// ---- dispatch ----

void StationWindow::Run(Command c) {
  if (std::optional<PollCommand> p = PollCommandOf(c)) return RunPollCommand(*p);
  switch (c) {
    case Command::Save:
      Save();
      return;
    case Command::Exit:
      close();
      return;
    case Command::Add:
      return Add();
    case Command::Delete:
      return Delete();
    case Command::Edit:
      return Edit();
    case Command::Move:
      return PressMove();
    case Command::Properties:
      return Properties();
    case Command::About:
      return About();
    case Command::Abort:
      engine_->Abort();
      return;
    case Command::EditSetupData:
      if (auto one = One(c)) RunTool(core::EditSetupAction(s_.tools, settings_, one->second));
      return;
    case Command::ConnectDial:
      if (auto one = One(c)) RunTool(core::ConnectDialAction(s_.tools, settings_, one->second));
      return;
    case Command::ConnectDirect:
      if (auto one = One(c)) RunTool(core::ConnectDirectAction(s_.tools, settings_, one->second));
      return;
    case Command::RealTimeDial:
      if (auto one = One(c)) RunTool(core::RealTimeDialAction(s_.tools, settings_, one->second));
      return;
    case Command::RealTimeDirect:
      if (auto one = One(c)) RunTool(core::RealTimeDirectAction(s_.tools, settings_, one->second));
      return;
    case Command::ViewSetupData:
      if (auto one = One(c)) RunTool(core::ViewSetupTextAction(s_.tools, settings_, one->second));
      return;
    case Command::ViewEventRecords:
      return ViewEventRecords();
    case Command::PlotEventRecords:
      return PlotEventRecords();
    case Command::ViewPollLogs:
      return ViewPollLogs();
    case Command::Help: {
      core::ToolAction open;
      open.openPath = core::HelpPagePath(s_.tools);
      RunTool(open);
      return;
    }
    case Command::QueryGetData:
      return GetData();
    case Command::QueryViewData:
      return ViewQueryData();
    case Command::QueryPlotData:
      return PlotQueryData();
    case Command::QuickPlot:
      return QuickPlot();
    case Command::StatusDial:
    case Command::StatusDirect:
      return LiveStatus(c);
    default:
      return;
  }
}

}  // namespace zel::oxm
