// The window polls simulated recorders over TCP: from the menu and from the schedule.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QTimeEdit>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "dialogs.h"
#include "gui/input_selection_dialog.h"
#include "gui/report_list_view.h"
#include "window_rig.h"
#include "zel/catalogue.h"
#include "zel/platform/station_lock.h"
#include "zel/testing/programs.h"

namespace zel::oxm {
namespace {

using core::Command;
using testing::WindowRig;
using testing::ZelDatWith;
namespace fs = std::filesystem;

std::vector<std::string> SimArgs() {
  return {"--model", "KRV-517XL", "--password", "ADMIN1", "--tcp", "0", "--scale", "0.01"};
}

std::string TcpRecorderLine(const std::string& id, int port) {
  return "\"" + id + "\",\"\",\"ADMIN1\"," + std::to_string(ParseModel("KRV-517XL")) +
         ",0,0,0,0,0,-1,0,2130706433," + std::to_string(port);
}

std::vector<std::string> Files(const fs::path& folder) {
  std::set<std::string> names;
  if (fs::is_directory(folder))
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return {names.begin(), names.end()};
}

// Ticks the window (clock standing still) until the poll has ended; false after 60 s. Returns
// every step text the status line showed.
bool TickUntilDone(StationWindow& w, std::vector<std::string>* steps = nullptr) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < end) {
    const bool running = w.engine().Running();
    w.Tick();
    const std::string step = w.statusField(1)->text().toStdString();
    if (steps && !step.empty() && (steps->empty() || steps->back() != step)) steps->push_back(step);
    if (!running) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

TEST(StationPoll, PollTodaysDataDirectFromTheMenuFilesEventsAndReport) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start(SimArgs())) << sim.error();
  WindowRig rig("oxm_e2e", ZelDatWith({TcpRecorderLine("R1", sim.Port())}, "MakeText=1\r\n"));
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  w.menuAction(Command::PollTodayDirect)->trigger();
  std::vector<std::string> steps;
  ASSERT_TRUE(TickUntilDone(w, &steps));
  EXPECT_EQ(w.statusField(0)->text().toStdString(), "R1");
  EXPECT_EQ(w.statusField(1)->text().toStdString(), "Done");
  EXPECT_EQ(w.statusField(2)->text().toStdString(), "Success");
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps.back(), "Done");
  // Every step the line showed is one of the events poll's, in their order.
  const std::vector<std::string> order = {"Login", "Poll Setup", "Poll Events", "Logoff", "Done"};
  std::size_t at = 0;
  for (const std::string& s : steps) {
    while (at < order.size() && order[at] != s) ++at;
    EXPECT_LT(at, order.size()) << "unexpected or out-of-order step " << s;
  }
  EXPECT_EQ(Files(rig.data / "R1"),
            (std::vector<std::string>{"240306-021500.bin", "240306-021500.wri", "setupdata.bin"}));
  EXPECT_EQ(w.progressBar()->value(), 1);
  EXPECT_EQ(w.progressBar()->maximum(), 1);
  EXPECT_EQ(w.progressBar()->format().toStdString(), "1 of 1 recorders");
  EXPECT_TRUE(fs::exists(rig.data / "Poll_log_240306.txt"));
}

TEST(StationPoll, HoldsTheStationWhilePollingAndThenWritesOnlyThePollsChanges) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start(SimArgs())) << sim.error();
  WindowRig rig("oxm_polllock",
                ZelDatWith({TcpRecorderLine("R1", sim.Port())}, "ClockSync=1\r\nAutoDelete=2\r\n"));
  StationWindow& w = rig.Open();
  w.dayBox(0)->setChecked(true);  // an edit that waits for File > Save
  w.SelectRows({0});
  w.Run(Command::PollTodayDirect);
  platform::StationLock zelpoll;
  EXPECT_EQ(zelpoll.TryLock(rig.ZelDat()), platform::StationLock::Result::kHeld)
      << "a zelpoll started now would not poll";
  EXPECT_EQ(zelpoll.holder(), static_cast<long>(::getpid()));
  ASSERT_TRUE(TickUntilDone(w));
  EXPECT_EQ(w.statusField(2)->text().toStdString(), "Success");
  const int32_t day = w.recorders().Get(0)->clockSetDay;
  EXPECT_NE(day, 0) << "the clock was set";
  const core::ZelDatLoad back = core::LoadZelDat(rig.ZelDat());
  ASSERT_EQ(back.contents.recorders.size(), 1u);
  EXPECT_EQ(back.contents.recorders[0].clockSetDay, day) << "a zelpoll run now sets no clock twice";
  EXPECT_EQ(back.contents.settings.schedule[0].enabled, 0);
  EXPECT_EQ(zelpoll.TryLock(rig.ZelDat()), platform::StationLock::Result::kLocked);
}

// zelpoll of this build, bounded by `timeout`; its exit status (-1 when it did not exit).
int RunZelpoll(const std::string& args, std::string* output) {
  const std::string cmd = "timeout 120 " + zeltest::ProgramPath("zelpoll") + " " + args + " 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) output->append(buf, n);
  const int st = ::pclose(p);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

TEST(StationPoll, AZelpollRunWhileTheWindowIsOpenKeepsItsClockSettingThroughTheWindowsSave) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start(SimArgs())) << sim.error();
  WindowRig rig("oxm_zelpoll",
                ZelDatWith({TcpRecorderLine("R1", sim.Port())}, "ClockSync=1\r\nAutoDelete=2\r\n"));
  StationWindow& w = rig.Open();
  // The window's own edits: R1's phone number and Sunday enabled.
  w.SelectRows({0});
  rig.scripts.push_back([&](QDialog& d) {
    w.recorderDialog()->phoneField->setText("5550000");
    return WindowRig::PressOk(d);
  });
  w.Run(Command::Edit);
  w.dayBox(0)->setChecked(true);

  std::string out;
  ASSERT_EQ(
      RunZelpoll("--config " + rig.ZelDat().string() + " --scale 0.01 poll --direct --today", &out),
      0)
      << out;
  const int32_t day = core::LoadZelDat(rig.ZelDat()).contents.recorders.at(0).clockSetDay;
  ASSERT_NE(day, 0) << "zelpoll set the recorder's clock\n" << out;

  w.Run(Command::Save);
  EXPECT_TRUE(rig.prompter.entries().empty());
  const core::ZelDatLoad back = core::LoadZelDat(rig.ZelDat());
  ASSERT_EQ(back.contents.recorders.size(), 1u);
  EXPECT_EQ(back.contents.recorders[0].clockSetDay, day);
  EXPECT_EQ(back.contents.recorders[0].phone, "5550000");
  EXPECT_EQ(back.contents.settings.schedule[0].enabled, 1);
  EXPECT_EQ(w.recorders().Get(0)->clockSetDay, day);
}

TEST(StationPoll, ScheduleFiresAtTwoFifteenOnAnEnabledWednesdayWithSevenDaysBack) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start(SimArgs())) << sim.error();
  WindowRig rig("oxm_sched", ZelDatWith({TcpRecorderLine("R1", sim.Port())},
                                        "PreferedConnection=1\r\nAutoDelete=2\r\n"
                                        "Schedule=0,0,0,0,0,0,1,9,0,0,0,0,0,0\r\n"));
  rig.clock.Set({2024, 3, 6, 2, 14, 59, 0, 3});
  StationWindow& w = rig.Open();
  w.Tick();
  EXPECT_FALSE(w.engine().Running()) << "02:14 is not the poll time";
  rig.clock.AdvanceSeconds(1);
  w.Tick();  // 02:15:00, the first tick of the minute
  ASSERT_TRUE(TickUntilDone(w));
  EXPECT_EQ(w.statusField(2)->text().toStdString(), "Success");
  // Seven whole days before today: 28 February to 5 March 2024 (a leap year).
  EXPECT_EQ(Files(rig.data / "R1"),
            (std::vector<std::string>{"240228-021500.bin", "240229-021500.bin", "240301-021500.bin",
                                      "240302-021500.bin", "240303-021500.bin", "240304-021500.bin",
                                      "240305-021500.bin", "setupdata.bin"}));
  // Later ticks in the same minute start nothing more.
  rig.clock.AdvanceSeconds(30);
  w.Tick();
  EXPECT_FALSE(w.engine().Running());
}

}  // namespace
}  // namespace zel::oxm

namespace zel::oxm {
namespace {

TEST(StationPoll, GetDataQuickPlotAndTheReportsInputSelection) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start(SimArgs())) << sim.error();
  WindowRig rig("oxm_query", ZelDatWith({TcpRecorderLine("R1", sim.Port())},
                                        "PreferedConnection=1\r\nAutoDelete=2\r\n"));
  StationWindow& w = rig.Open();
  w.SelectRows({0});

  // Get Data: the interval dialog's defaults, then the save dialog in the query folder.
  rig.scripts.push_back([&](QDialog& d) {
    auto& q = dynamic_cast<QueryIntervalDialog&>(d);
    EXPECT_EQ(q.fromDate->date(), QDate(2024, 3, 6));
    EXPECT_EQ(q.fromTime->time(), QTime(0, 0, 0));
    EXPECT_EQ(q.toTime->time(), QTime(23, 59, 59));
    EXPECT_TRUE(q.directButton->isChecked()) << "the preferred connection";
    q.fromTime->setTime(QTime(1, 0, 0));
    q.toTime->setTime(QTime(2, 0, 0));
    return static_cast<int>(QDialog::Accepted);
  });
  const fs::path target = rig.data / "elsewhere" / "interval.bin";
  fs::create_directories(target.parent_path());
  rig.files.Queue(target.string());
  w.Run(Command::QueryGetData);
  ASSERT_TRUE(TickUntilDone(w));
  EXPECT_EQ(w.statusField(2)->text().toStdString(), "Success");
  ASSERT_EQ(rig.files.requests().size(), 1u);
  EXPECT_EQ(rig.files.requests()[0].kind, gui::FileChooser::Request::kSave);
  EXPECT_EQ(rig.files.requests()[0].filter, "Binary files (*.bin)|*.bin||");
  EXPECT_EQ(rig.files.requests()[0].defaultExtension, "bin");
  EXPECT_EQ(rig.files.requests()[0].startFolder, (rig.data / "R1" / "Query").string());
  EXPECT_TRUE(fs::is_directory(rig.data / "R1" / "Query"));
  EXPECT_TRUE(fs::exists(target)) << "a target outside the recorder folder is written there";

  // Quick Plot: one hour, the default template; the plotter starts after the poll succeeded.
  rig.files.Queue((rig.data / "R1" / "Mine.zpl").string());
  rig.scripts.push_back([&](QDialog& d) {
    auto& q = dynamic_cast<QuickPlotDialog&>(d);
    EXPECT_EQ(q.hoursList->count(), 24);
    EXPECT_EQ(q.Hours(), 1);
    EXPECT_EQ(q.Template(), (rig.data / "PlotAll.zpl").string());
    EXPECT_TRUE(q.directButton->isChecked());
    q.browseButton->click();
    EXPECT_EQ(q.Template(), (rig.data / "R1" / "Mine.zpl").string());
    return static_cast<int>(QDialog::Accepted);
  });
  w.button("Quick Plot")->click();
  ASSERT_TRUE(TickUntilDone(w));
  EXPECT_EQ(rig.files.requests().back().filter, "ZEL plot templates (*.zpl)|*.zpl||");
  EXPECT_EQ(rig.files.requests().back().startFolder, (rig.data / "R1").string());
  const std::string P = rig.services.programFolder;
  const fs::path qp = rig.data / "R1" / "Query" / "Quickplot.bin";
  EXPECT_TRUE(fs::exists(qp));
  EXPECT_EQ(rig.launcher.events(),
            (std::vector<std::string>{"start \"" + P + "ZelQplot.exe\" \"" +
                                      (rig.data / "R1" / "Mine.zpl").string() + "\" /event=\"" +
                                      qp.string() + "\" /setup=\"" +
                                      (rig.data / "R1" / "setupdata.bin").string() + "\""}));

  // View > Recorder Event Records of today's file: the report asks which inputs to include.
  w.Run(Command::PollTodayDirect);
  ASSERT_TRUE(TickUntilDone(w));
  rig.files.Queue((rig.data / "R1" / "240306-021500.bin").string());
  std::vector<std::string> headers;
  rig.scripts.push_back([&](QDialog& d) {
    auto& sel = dynamic_cast<gui::InputSelectionDialog&>(d);
    auto header = [&](int c) {
      return sel.model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString();
    };
    headers = {header(0), header(1), header(2)};
    EXPECT_EQ(sel.view()->columnWidth(0), 50);
    EXPECT_EQ(sel.view()->columnWidth(1), 300);
    EXPECT_EQ(sel.view()->columnWidth(2), 145);
    EXPECT_GT(sel.model()->rowCount(), 500);
    sel.ClickHeader(1);
    EXPECT_EQ(header(1), "^Name");
    EXPECT_EQ(header(0), "Input");
    sel.SelectInputs({0, 1});
    EXPECT_EQ(sel.SelectedInputs().size(), 2u);
    return static_cast<int>(QDialog::Accepted);
  });
  w.Run(Command::ViewEventRecords);
  EXPECT_EQ(headers, (std::vector<std::string>{"^Input", "Name", "ID"}));
  const fs::path report = rig.data / "R1" / "Events.wri";
  ASSERT_TRUE(fs::exists(report));
  EXPECT_EQ(rig.launcher.events().back(), "open " + report.string());
}

}  // namespace
}  // namespace zel::oxm
