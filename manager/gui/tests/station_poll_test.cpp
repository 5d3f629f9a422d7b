// The window polls simulated recorders over TCP: from the menu and from the schedule.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <chrono>
#include <set>
#include <thread>

#include "window_rig.h"
#include "zel/catalogue.h"

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

TEST(StationPoll, ScheduleFiresAtTwoFifteenOnAnEnabledWednesdayWithSevenDaysBack) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start(SimArgs())) << sim.error();
  WindowRig rig("oxm_sched",
                ZelDatWith({TcpRecorderLine("R1", sim.Port())},
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
            (std::vector<std::string>{"240228-021500.bin", "240229-021500.bin",
                                      "240301-021500.bin", "240302-021500.bin",
                                      "240303-021500.bin", "240304-021500.bin",
                                      "240305-021500.bin", "setupdata.bin"}));
  // Later ticks in the same minute start nothing more.
  rig.clock.AdvanceSeconds(30);
  w.Tick();
  EXPECT_FALSE(w.engine().Running());
}

}  // namespace
}  // namespace zel::oxm
