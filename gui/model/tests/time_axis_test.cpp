#include "gui/model/time_axis.h"

#include <gtest/gtest.h>

namespace zel::gui {
namespace {

TEST(TimeAxis, MultiplierByTickRate) {
  EXPECT_EQ(StepMultiplier(1000), 100);
  EXPECT_EQ(StepMultiplier(100), 10);
  EXPECT_EQ(StepMultiplier(10), 1);
}

TEST(TimeAxis, FirstEntryWithLabelsAtLeast80UnitsApart) {
  // 1/100 s at scale 1: label 100 hundredths = 100 ticks is the first >= 80.
  auto s = ChooseTimeSteps(100, 1);
  EXPECT_EQ(s.index, 3);
  EXPECT_EQ(s.labelTicks, 100);
  EXPECT_EQ(s.tickTicks, 10);
  // 1/1000 s at scale 1: 10 hundredths = 100 ticks of 1 ms, tick 1 hundredth = 10 ticks.
  s = ChooseTimeSteps(1000, 1);
  EXPECT_EQ(s.index, 0);
  EXPECT_EQ(s.labelTicks, 100);
  EXPECT_EQ(s.tickTicks, 10);
  // Exactly 80 units qualifies: 1/100 s, label 200 hundredths = 200 ticks at scale 2 is 100;
  // 100 ticks at scale 2 is 50 (too close).
  EXPECT_EQ(ChooseTimeSteps(100, 2).index, 4);
  // 1/1000 s, scale 1250: 100000 ticks / 1250 = 80 units: label 1000 hundredths? No entry is
  // 1000; 1500 hundredths = 15000 ms / 1250 = 12 < 80; 12000 hundredths = 120000 / 1250 = 96.
  EXPECT_EQ(ChooseTimeSteps(1000, 1250).index, 9);
}

TEST(TimeAxis, HugeScaleTakesTheLastEntryAndTenthsNeverStepByZero) {
  const auto s = ChooseTimeSteps(100, int64_t{1} << 40);
  EXPECT_EQ(s.index, kTimeStepCount - 1);
  EXPECT_EQ(s.labelTicks, 4320000);
  EXPECT_EQ(s.tickTicks, 360000);
  // 1/10 s types: the first entries' tick steps are below one tick.
  for (int64_t scale : {1, 2, 4, 64, 65536}) {
    const auto t = ChooseTimeSteps(10, scale);
    EXPECT_GE(t.tickTicks, 1);
    EXPECT_GE(t.labelTicks, t.tickTicks);
  }
  EXPECT_EQ(ChooseTimeSteps(10, 1).index, 6);  // 1500 hundredths = 150 tenths
}

}  // namespace
}  // namespace zel::gui

namespace zel::gui {
namespace {

TEST(TimeAxisRational, ZoomInTicksPerTenUnits) {
  // 1/100 s ticks at 1000 ticks per 10 units: 120 s labels (12000 ticks, 120 units) are the
  // first at least 80 units apart; 60 s would be 60 units.
  TimeSteps s = ChooseTimeSteps(100, 1000, 10);
  EXPECT_EQ(s.labelTicks, 12000);
  EXPECT_EQ(s.tickTicks, 1500);
  // 25 ticks per 10 units (2.5 ticks a unit): 2 s labels at 80 units.
  s = ChooseTimeSteps(100, 25, 10);
  EXPECT_EQ(s.labelTicks, 200);
  // The integer form is the same choice with one unit.
  EXPECT_EQ(ChooseTimeSteps(100, 7).index, ChooseTimeSteps(100, 7, 1).index);
}

}  // namespace
}  // namespace zel::gui
