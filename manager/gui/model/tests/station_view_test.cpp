#include "model/station_view.h"

#include <gtest/gtest.h>

#include <set>

namespace zel::oxm {
namespace {

using core::Command;

TEST(ClockLine, HourMinuteSecondAndWeekdayName) {
  EXPECT_EQ(ClockLineText({2024, 3, 6, 2, 5, 9, 0, 3}), "02:05:09 Wednesday");
  EXPECT_EQ(ClockLineText({2024, 3, 10, 23, 59, 59, 0, 0}), "23:59:59 Sunday");
  EXPECT_EQ(WeekdayName(6), "Saturday");
  EXPECT_EQ(WeekdayName(7), "");
  EXPECT_EQ(WeekdayShortName(1), "Mon");
}

TEST(Menus, ContextMenuLeavesOutFilePropertiesAbortPollLogsAndHelp) {
  std::set<Command> context;
  for (const MenuEntry& e : ContextMenu()) {
    context.insert(e.command);
    EXPECT_NE(e.path.front(), "&Access") << "pop-up entries lose their menu bar title";
  }
  for (Command c : {Command::Save, Command::Exit, Command::Properties, Command::Abort,
                    Command::ViewPollLogs, Command::Help, Command::About})
    EXPECT_EQ(context.count(c), 0u) << static_cast<int>(c);
  for (Command c : {Command::Add, Command::Delete, Command::Edit, Command::Move,
                    Command::EditSetupData, Command::PollTodayDirect, Command::QueryGetData,
                    Command::StatusDial, Command::UploadSetupDial, Command::ViewEventRecords})
    EXPECT_EQ(context.count(c), 1u) << static_cast<int>(c);
  // Every command of the menu bar appears once.
  std::set<Command> bar;
  for (const MenuEntry& e : MenuBar()) EXPECT_TRUE(bar.insert(e.command).second);
  EXPECT_EQ(bar.size(), MenuBar().size());
  EXPECT_EQ(PlainText("Poll &Todays Data"), "Poll Todays Data");
  EXPECT_EQ(PlainText("Save && go"), "Save & go");
}

TEST(PollCommands, ArgumentsOfEveryPollDownloadAndUploadCommand) {
  core::WeeklySchedule sched{};
  sched[1].enabled = 1;  // Monday
  sched[3].enabled = 1;  // Wednesday
  struct Want {
    Command c;
    bool one;
    Connection conn;
    uint32_t ops;
    int daysOnWednesday;
  };
  const Want want[] = {
      {Command::PollStart, false, Connection::Preferred, 329, 2},
      {Command::PollScheduledDial, false, Connection::Dial, 329, 2},
      {Command::PollScheduledDirect, true, Connection::Direct, 329, 2},
      {Command::PollTodayDial, false, Connection::Dial, 329, 0},
      {Command::PollTodayDirect, true, Connection::Direct, 329, 0},
      {Command::DownloadSetupDial, false, Connection::Dial, 273, 0},
      {Command::DownloadSetupDirect, true, Connection::Direct, 273, 0},
      {Command::UploadSetupDial, false, Connection::Dial, 289, 0},
      {Command::UploadSetupDirect, true, Connection::Direct, 289, 0},
  };
  for (const Want& w : want) {
    const std::optional<PollCommand> p = PollCommandOf(w.c);
    ASSERT_TRUE(p) << static_cast<int>(w.c);
    EXPECT_EQ(p->one, w.one);
    EXPECT_EQ(p->connection, w.conn);
    EXPECT_EQ(p->ops, w.ops);
    EXPECT_EQ(DaysBackOf(*p, sched, 3), w.daysOnWednesday);
  }
  // Monday looks back past Sunday and Saturday ... to Wednesday: 5 days.
  EXPECT_EQ(DaysBackOf(*PollCommandOf(Command::PollStart), sched, 1), 5);
  EXPECT_FALSE(PollCommandOf(Command::QueryGetData));
  core::StationSettings s;
  s.preferedConnection = 1;
  EXPECT_TRUE(UsesDirect(Connection::Preferred, s));
  s.preferedConnection = 0;
  EXPECT_FALSE(UsesDirect(Connection::Preferred, s));
  EXPECT_TRUE(UsesDirect(Connection::Direct, s));
}

TEST(PollProgress, CountsRecordersDoneAcrossRetries) {
  PollProgress p;
  using E = core::PollEvent;
  p.OnEvent({E::kRunStart, "", "3"});
  EXPECT_EQ(p.Get(), (PollProgress::Snapshot{true, 3, 0, 0}));
  p.OnEvent({E::kAttempt, "A", "1"});
  p.OnEvent({E::kResult, "A", "No Login", 5});
  p.OnEvent({E::kAttempt, "A", "2"});  // a retry is still the first recorder
  EXPECT_EQ(p.Get().done, 0);
  EXPECT_EQ(p.Get().attempt, 2);
  p.OnEvent({E::kAttempt, "B", "1"});
  EXPECT_EQ(p.Get().done, 1);
  EXPECT_EQ(PollProgress::Text(p.Get()), "1 of 3 recorders");
  p.OnEvent({E::kRunEnd, "", ""});
  EXPECT_EQ(p.Get(), (PollProgress::Snapshot{false, 3, 3, 0}));
  p.OnEvent({E::kRunStart, "", "1"});  // a new run starts from nothing
  EXPECT_EQ(p.Get(), (PollProgress::Snapshot{true, 1, 0, 0}));
}

TEST(PollProgress, ShowsTheBlocksOfTheTransferInProgress) {
  PollProgress p;
  using E = core::PollEvent;
  p.OnBlocks(5);  // no run: nothing to show
  EXPECT_EQ(p.Get().blocks, 0);
  p.OnEvent({E::kRunStart, "", "2"});
  p.OnEvent({E::kAttempt, "A", "1"});
  p.OnEvent({E::kStep, "A", "Poll Events"});
  p.OnBlocks(0);
  EXPECT_EQ(PollProgress::Text(p.Get()), "0 of 2 recorders");
  p.OnBlocks(37);
  EXPECT_EQ(PollProgress::Text(p.Get()), "0 of 2 recorders, block 37");
  p.OnEvent({E::kFile, "A", "/data/A/240306-021500.bin"});  // the file of that transfer
  EXPECT_EQ(p.Get().blocks, 37);
  p.OnEvent({E::kStep, "A", "Logoff"});  // the transfer is over
  EXPECT_EQ(PollProgress::Text(p.Get()), "0 of 2 recorders");
  p.OnBlocks(3);
  p.OnEvent({E::kRunEnd, "", ""});
  EXPECT_EQ(p.Get(), (PollProgress::Snapshot{false, 2, 2, 0, 0}));
}

TEST(DeleteCountdown, AnswersAfterSixtyTicksAndStaysAtZero) {
  DeleteCountdown c;
  EXPECT_EQ(c.Remaining(), 60);
  for (int i = 0; i < 59; ++i) EXPECT_FALSE(c.Tick());
  EXPECT_EQ(c.Remaining(), 1);
  EXPECT_TRUE(c.Tick());
  EXPECT_TRUE(c.Tick());
  EXPECT_EQ(c.Remaining(), 0);
  c.Reset();
  EXPECT_EQ(c.Remaining(), 60);
}

TEST(Messages, SaveFailure) {
  EXPECT_EQ(SaveFailedMessage("No space left on device"),
            "zel.dat could not be saved: No space left on device");
  EXPECT_EQ(ExitSaveFailedQuestion("x").rfind("zel.dat could not be saved: x\n", 0), 0u);
}

}  // namespace
}  // namespace zel::oxm
