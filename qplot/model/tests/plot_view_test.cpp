#include "model/plot_view.h"

#include <gtest/gtest.h>

#include "gui/model/command_options.h"
#include "model/print_layout.h"
#include "model/time_text.h"

namespace zel::qplot {
namespace {

TEST(Geometry, RowsHeaderRowsAndRowOfY) {
  EXPECT_EQ(RowTop(0), 15);
  EXPECT_EQ(RowTop(19), 300);
  EXPECT_EQ(RowTop(20), 330);  // a header row 315-329 above channel 20
  EXPECT_EQ(HeaderRowTop(1), 315);
  EXPECT_EQ(RowTop(255), 4020);
  EXPECT_EQ(ScrollHeight(), 4035);
  EXPECT_EQ(ChannelOfY(15), 0);
  EXPECT_EQ(ChannelOfY(29), 0);
  EXPECT_EQ(ChannelOfY(30), 1);
  EXPECT_EQ(ChannelOfY(314), 19);
  EXPECT_EQ(ChannelOfY(330), 20);
  EXPECT_EQ(ChannelOfY(4034), 255);
  EXPECT_EQ(ChannelOfY(4035), -1);
  EXPECT_EQ(ChannelOfY(-1), -1);
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(ChannelOfY(RowTop(c)), c);
    EXPECT_EQ(ChannelOfY(RowTop(c) + 14), c);
  }
  EXPECT_EQ(DropChannelOfY(5000), 255);
  EXPECT_EQ(LevelY(RowTop(2), true), 47);
  EXPECT_EQ(LevelY(RowTop(2), false), 57);
}

TEST(Geometry, XOfTimeTruncatesAndTimeOfXInverts) {
  PlotView v;
  v.SetLeftAndScale(1000, 10);
  EXPECT_EQ(v.XOfTime(1000), 128);
  EXPECT_EQ(v.XOfTime(1019), 129);
  EXPECT_EQ(v.XOfTime(995), 128);  // truncated toward zero
  EXPECT_EQ(v.XOfTime(989), 127);
  EXPECT_EQ(v.TimeOfX(1004), 1000 + 8760);
  EXPECT_EQ(v.XOfTime(1e30), 128 + 1000000000);
}

TEST(Zoom, ViewMenuKeepsTheLeftEdgeAndPlotMenuTheClickedTime) {
  PlotView v;
  v.SetInterval(0, 8640000);
  v.SetLeftAndScale(5000, 8);
  v.ZoomIn(16);
  EXPECT_EQ(v.Scale(), 1);
  EXPECT_EQ(v.Left(), 5000);
  v.ZoomOut(4);
  EXPECT_EQ(v.Scale(), 4);
  EXPECT_EQ(v.Left(), 5000);
  v.SetLeftAndScale(0, 32768);
  v.ZoomOutAt(4, 500);
  EXPECT_EQ(v.Scale(), 65536);
  v.ZoomOutAt(2, 500);
  EXPECT_EQ(v.Scale(), 65536);
  v.SetLeftAndScale(1000, 100);
  const double t = v.TimeOfX(600);
  v.ZoomInAt(4, 600);
  EXPECT_EQ(v.Scale(), 25);
  EXPECT_EQ(v.TimeOfX(600), t);
  v.ZoomOutAt(2, 600);
  EXPECT_EQ(v.TimeOfX(600), t);
  // The view menu has no cap but never overflows.
  for (int i = 0; i < 40; ++i) v.ZoomOut(16);
  EXPECT_EQ(v.Scale(), kMaxScale);
}

TEST(Zoom, ZoomAllAndSetRange) {
  PlotView v;
  v.SetInterval(100000, 100000 + 8640000);  // one day at 1/100 s
  v.ZoomAll();
  EXPECT_EQ(v.Left(), 100000);
  EXPECT_EQ(v.Scale(), 16384);
  EXPECT_LE(v.XOfTime(v.IntervalEnd()), 1004);
  // /zoom=08:30-09:15 on a 1/100 s type: 3,060,000 to 3,330,000 ticks.
  const auto r = gui::ParseDayTimeRange("08:30-09:15");
  ASSERT_TRUE(r);
  const double start = static_cast<double>(r->StartSeconds() * 100);
  const double end = static_cast<double>(r->EndSeconds() * 100);
  EXPECT_EQ(start, 3060000);
  EXPECT_EQ(end, 3330000);
  v.SetRange(start, end);
  EXPECT_EQ(v.Left(), 3060000);
  EXPECT_EQ(v.Scale(), 512);  // 256 x 876 < 270000 <= 512 x 876
  v.SetRange(end, start);     // not start < end: unchanged
  EXPECT_EQ(v.Scale(), 512);
}

TEST(Pan, LimitsAtBothEnds) {
  PlotView v;
  v.SetInterval(10000, 20000);
  v.SetLeftAndScale(10000, 10);
  v.Pan(-100);
  EXPECT_EQ(v.Left(), 9000);
  v.Pan(-10000);
  // The interval start has reached the right edge of the plot area.
  EXPECT_EQ(v.Left(), 10000 - 8760);
  EXPECT_EQ(v.XOfTime(10000), 1004);
  v.Pan(100000);
  EXPECT_EQ(v.Left(), 20000);  // the interval end at the left edge
  EXPECT_EQ(v.XOfTime(20000), 128);
}

TEST(Cursor, SnapsWithinFourUnitsOnly) {
  PlotView v;
  v.SetInterval(0, 100000);
  v.SetLeftAndScale(0, 10);
  const double event = 5000;  // x = 628
  auto nearest = [&](int channel, double) -> std::optional<double> {
    if (channel == 2) return event;
    return std::nullopt;
  };
  const int y = RowTop(2) + 5;
  ASSERT_TRUE(v.SetCursorAt(0, 631, y, nearest));
  EXPECT_EQ(v.GetCursor(0).time, 5000);
  EXPECT_EQ(v.GetCursor(0).channel, 2);
  ASSERT_TRUE(v.SetCursorAt(1, 633, y, nearest));
  EXPECT_EQ(v.GetCursor(1).time, v.TimeOfX(633));
  ASSERT_TRUE(v.SetCursorAt(1, 624, y, nearest));
  EXPECT_EQ(v.GetCursor(1).time, 5000);
  // Below the last channel nothing happens.
  EXPECT_FALSE(v.SetCursorAt(0, 631, 5000, nearest));
  EXPECT_EQ(v.GetCursor(0).time, 5000);
  v.ClearCursor(0);
  EXPECT_FALSE(v.GetCursor(0).IsSet());
}

TEST(Cursor, FollowsTheChannelMove) {
  PlotView v;
  v.SetCursorTime(0, 1, 5);
  v.SetCursorTime(1, 1, 10);
  v.FollowChannelMove(10, 3);  // channel 10 to row 3, channels 3-9 down by one
  EXPECT_EQ(v.GetCursor(0).channel, 6);
  EXPECT_EQ(v.GetCursor(1).channel, 3);
  v.SetCursorTime(0, 1, 5);
  v.SetCursorTime(1, 1, 2);
  v.FollowChannelMove(3, 8);  // channels 4-8 up by one
  EXPECT_EQ(v.GetCursor(0).channel, 4);
  EXPECT_EQ(v.GetCursor(1).channel, 2);
}

TEST(TimeTexts, FormatsByTickRate) {
  const int64_t day_100 = 8640000;
  const TimeTexts t100(100);
  // 15 March 2024 = day 8840; 13:04:05.67.
  const double at = 8840.0 * day_100 + ((13 * 60 + 4) * 60 + 5) * 100 + 67;
  EXPECT_EQ(t100.DateTime(at), "03/15/24 13:04:05.67");
  EXPECT_EQ(t100.TimeOnly(at), "13:04:05.67");
  EXPECT_EQ(t100.DateTimeSeconds(at), "03/15/24 13:04:05");
  EXPECT_EQ(t100.Difference(day_100 + 2 * 3600 * 100), " 1D 02:00:00.00");
  EXPECT_EQ(t100.Difference(200), "00:00:02.00");
  EXPECT_EQ(t100.Difference(-200), "00:00:02.00");
  const TimeTexts t1000(1000);
  EXPECT_EQ(t1000.DateTime(86400000.0 * 366 + 1), "01/01/01 00:00:00.001");
  EXPECT_EQ(t1000.Difference(86400000.0 * 12 + 5), "12D 00:00:00.005");
  const TimeTexts t10(10);
  EXPECT_EQ(t10.TimeOnly(36000 - 1), "00:59:59.9");
  EXPECT_EQ(t10.Difference(864000.0 * 3), " 3D 00:00:00.0");
  // Times off the scale stay in their widths.
  EXPECT_EQ(t100.DateTime(-5), "01/01/00 00:00:00.00");
}

TEST(PrintLayout, RowsPerPageAndPages) {
  // A4 at 1200 dpi: 9583 x 13699 device pixels.
  auto a4 = ComputePrintLayout(9583, 13699, 1200, 1200, 256);
  EXPECT_NEAR(a4.factor, 9583.0 * 96 / (1004.0 * 1200), 1e-12);
  EXPECT_EQ(a4.rowsPerPage, 13699 * 96 / 916 / 15 - 3);
  EXPECT_EQ(a4.rowsPerPage, 92);
  EXPECT_EQ(a4.pages, 3);
  // Letter at 600 dpi: 4900 x 6400.
  auto letter = ComputePrintLayout(4900, 6400, 600, 600, 256);
  EXPECT_EQ(letter.rowsPerPage, 6400 * 96 / static_cast<int>(letter.factor * 600) / 15 - 3);
  EXPECT_EQ(letter.pages, (256 + letter.rowsPerPage - 1) / letter.rowsPerPage);
  EXPECT_EQ(ComputePrintLayout(9583, 13699, 1200, 1200, 0).pages, 0);
  EXPECT_EQ(ComputePrintLayout(0, 13699, 1200, 1200, 10).pages, 0);
  EXPECT_EQ(ComputePrintLayout(9583, 100, 1200, 1200, 10).rowsPerPage, 1);
}

}  // namespace
}  // namespace zel::qplot
