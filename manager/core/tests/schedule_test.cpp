#include "zel/core/schedule.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "zel/core/query.h"
#include "zel/testing/temp_folder.h"

namespace zel::core {
namespace fs = std::filesystem;
using platform::LocalTime;

namespace {

WeeklySchedule Days(std::initializer_list<std::pair<int, int>> enabled) {
  WeeklySchedule s{};
  for (auto [day, time] : enabled) s[static_cast<std::size_t>(day)] = {1, time};
  return s;
}

LocalTime At(int y, int mo, int d, int h, int mi, int s = 0) {
  LocalTime t{y, mo, d, h, mi, s};
  t.weekday = platform::WeekdayOf(y, mo, d);
  return t;
}

struct Fired {
  std::vector<int> polls;
  int housekeeping = 0;
};

ScheduleCheck Checker(Fired& f) {
  ScheduleCheck c;
  c.startPoll = [&f](int back) { f.polls.push_back(back); };
  c.housekeeping = [&f] { ++f.housekeeping; };
  return c;
}

}  // namespace

TEST(Schedule, DaysBackToPreviousEnabledDay) {
  EXPECT_EQ(DaysBackToPreviousEnabledDay(Days({{3, 9}}), 3), 7);  // only Wednesday
  WeeklySchedule monWed = Days({{1, 0}, {3, 0}});
  EXPECT_EQ(DaysBackToPreviousEnabledDay(monWed, 3), 2);
  EXPECT_EQ(DaysBackToPreviousEnabledDay(monWed, 1), 5);
  EXPECT_EQ(DaysBackToPreviousEnabledDay(WeeklySchedule{}, 0), 7);
  // Saturday enabled, asked on Sunday: one day back across the week's end.
  EXPECT_EQ(DaysBackToPreviousEnabledDay(Days({{6, 0}}), 0), 1);
}

TEST(Schedule, FiresOnlyInTheFirstTickOfTheScheduledMinute) {
  // 2026-12-09 is a Wednesday; only Wednesday enabled at 02:15 (time 9).
  WeeklySchedule s = Days({{3, 9}});
  Fired f;
  ScheduleCheck c = Checker(f);
  c.Tick(At(2026, 12, 9, 2, 14, 59), s);
  EXPECT_TRUE(f.polls.empty());
  c.Tick(At(2026, 12, 9, 2, 15, 0), s);
  c.Tick(At(2026, 12, 9, 2, 15, 1), s);
  c.Tick(At(2026, 12, 9, 2, 15, 59), s);
  ASSERT_EQ(f.polls.size(), 1u);
  EXPECT_EQ(f.polls[0], 7);
  c.Tick(At(2026, 12, 9, 2, 16, 0), s);
  EXPECT_EQ(f.polls.size(), 1u);
  // The same time on Thursday does nothing.
  c.Tick(At(2026, 12, 10, 2, 15, 0), s);
  EXPECT_EQ(f.polls.size(), 1u);
}

TEST(Schedule, MondayAndWednesdayAskForTheirGaps) {
  WeeklySchedule s = Days({{1, 40}, {3, 40}});  // 10:00
  Fired f;
  ScheduleCheck c = Checker(f);
  c.Tick(At(2026, 12, 7, 10, 0), s);  // Monday
  c.Tick(At(2026, 12, 7, 10, 1), s);
  c.Tick(At(2026, 12, 9, 10, 0), s);  // Wednesday
  EXPECT_EQ(f.polls, (std::vector<int>{5, 2}));
}

TEST(Schedule, TimeZeroFiresAtMidnight) {
  WeeklySchedule s = Days({{2, 0}});
  Fired f;
  ScheduleCheck c = Checker(f);
  c.Tick(At(2026, 12, 7, 23, 59), s);  // Monday
  c.Tick(At(2026, 12, 8, 0, 0), s);    // Tuesday 00:00
  EXPECT_EQ(f.polls, (std::vector<int>{7}));
}

TEST(Schedule, SettingTheCurrentMinuteLateFiresNothing) {
  WeeklySchedule s{};
  Fired f;
  ScheduleCheck c = Checker(f);
  c.Tick(At(2026, 12, 8, 9, 30, 0), s);
  s[2] = {1, 38};  // Tuesday 09:30, set after the minute began
  c.Tick(At(2026, 12, 8, 9, 30, 20), s);
  EXPECT_TRUE(f.polls.empty());
}

TEST(Schedule, HousekeepingRunsAtFirstTickAndOncePerHour) {
  Fired f;
  ScheduleCheck c = Checker(f);
  WeeklySchedule s{};
  c.Tick(At(2026, 12, 8, 9, 30), s);
  EXPECT_EQ(f.housekeeping, 1);
  c.Tick(At(2026, 12, 8, 9, 59), s);
  EXPECT_EQ(f.housekeeping, 1);
  c.Tick(At(2026, 12, 8, 10, 0), s);
  EXPECT_EQ(f.housekeeping, 2);
}

class OldFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "R1" / "sub");
    settings_.dataFolder = dir_.string();
    RecorderRecord r;
    r.id = "R1";
    recorders_.push_back(r);
    r.id = "../escape";  // never used as a path
    recorders_.push_back(r);
  }
  void Touch(const fs::path& p) { std::ofstream(p) << "x"; }

  zeltest::TempFolder temp_{"oldfiles"};
  fs::path dir_ = temp_.path();
  StationSettings settings_;
  std::vector<RecorderRecord> recorders_;
};

TEST_F(OldFiles, ThirtyDaysOldIsOldAndTwentyNineIsNot) {
  Touch(dir_ / "R1" / "240101-000000.bin");
  EXPECT_TRUE(
      FindOldEventFiles(settings_.dataFolder, recorders_, At(2024, 1, 30, 12, 0), 30).empty());
  EXPECT_EQ(FindOldEventFiles(settings_.dataFolder, recorders_, At(2024, 1, 31, 0, 0), 30).size(),
            1u);
}

TEST_F(OldFiles, AutoDeleteModes) {
  const fs::path old = dir_ / "R1" / "240101-000000.bin";
  const fs::path young = dir_ / "R1" / "240201-000000.bin";
  const fs::path report = dir_ / "R1" / "240101-000000.txt";
  const fs::path setup = dir_ / "R1" / "setupdata.bin";
  const fs::path nested = dir_ / "R1" / "sub" / "230101-000000.bin";
  for (const auto& p : {old, young, report, setup, nested}) Touch(p);
  const LocalTime today = At(2024, 2, 15, 8, 0);

  platform::RecordingPrompter no(platform::PromptAnswer::No);
  settings_.autoDelete = 1;
  EXPECT_EQ(HandleOldEventFiles(settings_, recorders_, today, no), 0);
  ASSERT_EQ(no.entries().size(), 1u);
  EXPECT_EQ(no.entries()[0].caption, "Delete Confirmation");
  EXPECT_EQ(no.entries()[0].text, "Delete event record files more than 30 days old?");
  EXPECT_EQ(no.entries()[0].timeout_ms, 60000);
  EXPECT_TRUE(fs::exists(old));

  settings_.autoDelete = 2;
  platform::RecordingPrompter yes(platform::PromptAnswer::Yes);
  EXPECT_EQ(HandleOldEventFiles(settings_, recorders_, today, yes), 0);
  EXPECT_TRUE(yes.entries().empty());

  settings_.autoDelete = 1;
  EXPECT_EQ(HandleOldEventFiles(settings_, recorders_, today, yes), 1);
  EXPECT_FALSE(fs::exists(old));
  for (const auto& p : {young, report, setup, nested}) EXPECT_TRUE(fs::exists(p)) << p;

  // With nothing old left, "ask" shows no box at all.
  platform::RecordingPrompter quiet(platform::PromptAnswer::Yes);
  EXPECT_EQ(HandleOldEventFiles(settings_, recorders_, today, quiet), 0);
  EXPECT_TRUE(quiet.entries().empty());

  Touch(old);
  settings_.autoDelete = 0;
  EXPECT_EQ(HandleOldEventFiles(settings_, recorders_, today, quiet), 1);
  EXPECT_TRUE(quiet.entries().empty());
  EXPECT_FALSE(fs::exists(old));
}

TEST(Query, QuickPlotIntervalAndDefaults) {
  LocalTime s, e;
  QuickPlotInterval(At(2024, 3, 5, 14, 30), 1, s, e);
  EXPECT_EQ(s.hour, 13);
  EXPECT_EQ(s.minute, 30);
  EXPECT_EQ(s.day, 5);
  EXPECT_EQ(e.hour, 14);
  QuickPlotInterval(At(2024, 3, 1, 0, 10), 24, s, e);
  EXPECT_EQ(s.month, 2);
  EXPECT_EQ(s.day, 29);
  EXPECT_EQ(s.hour, 0);
  EXPECT_EQ(s.minute, 10);
  LocalTime from, to;
  DefaultQueryInterval(At(2024, 3, 5, 14, 30, 12), from, to);
  EXPECT_EQ(from.hour + from.minute + from.second, 0);
  EXPECT_EQ(to.hour, 23);
  EXPECT_EQ(to.minute, 59);
  EXPECT_EQ(to.second, 59);
  EXPECT_EQ(to.day, 5);
}

}  // namespace zel::core
