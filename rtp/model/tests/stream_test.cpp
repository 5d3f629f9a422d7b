// The real-time stream: line assembly, the three line forms, range checks and the change list.
#include <gtest/gtest.h>

#include "model/realtime_plot.h"
#include "model/rtp_models.h"
#include "model/stream_lines.h"

namespace zel::rtp {
namespace {

std::vector<std::string> Lines(std::string_view bytes) {
  RtLineAssembler a;
  std::vector<std::string> out;
  for (char c : bytes)
    if (a.Feed(static_cast<uint8_t>(c))) out.emplace_back(a.line());
  return out;
}

TEST(RtLineAssembler, CrEndsLfEmptiesAndLongLinesKeepTheirFirst79) {
  EXPECT_EQ(Lines("T100\r5 1 200\r"), (std::vector<std::string>{"T100", "5 1 200"}));
  // LF empties the line without giving it; the CR of CRLF ends the line first.
  EXPECT_EQ(Lines("garbage\nT7\r\n"), (std::vector<std::string>{"T7"}));
  const std::string longest(100, '1');
  const auto lines = Lines(longest + "\r");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], std::string(79, '1'));
}

TEST(RtLineParse, ALineOf100CharactersIsParsedFromItsFirst79) {
  // A block line whose digits run past the 79 kept characters: only the kept ones count.
  RealTimePlot plot(FindRtpModel("KRV517"));
  std::string line = "1:" + std::string(98, '1');
  plot.FeedBytes(line + "\r");
  for (int p = 0; p < 77; ++p) EXPECT_EQ(plot.StateOf(p), 1) << p;
  EXPECT_EQ(plot.StateOf(77), 0);
  // A change line padded to 100 characters: its time is cut at the 79th character.
  RealTimePlot plot2(FindRtpModel("KRV19"));
  std::string change = "3 1 " + std::string(75, '0') + "12345678";
  ASSERT_EQ(change.size(), 87u);
  plot2.FeedBytes("T5\r" + change + "\r");
  ASSERT_EQ(plot2.changes().size(), 1u);
  EXPECT_EQ(plot2.changes()[0].time, 0);  // the 75 zeros survive, the digits after them do not
}

TEST(RtLineParse, Forms) {
  RtLine t = ParseRtLine("T8639999");
  EXPECT_EQ(t.kind, RtLine::Kind::kTimeMark);
  EXPECT_EQ(t.time, 8639999);
  RtLine c = ParseRtLine("12 2,345");
  EXPECT_EQ(c.kind, RtLine::Kind::kChange);
  EXPECT_EQ(c.position, 11);
  EXPECT_EQ(c.state, 2);
  EXPECT_EQ(c.time, 345);
  RtLine b = ParseRtLine("65:0193");
  EXPECT_EQ(b.kind, RtLine::Kind::kBlock);
  EXPECT_EQ(b.position, 64);
  EXPECT_EQ(b.states, "0193");
  for (const char* bad :
       {"", "T", "Tx", "0 1 5", "5", "5 ", "5 1", "5 1 ", "5 x 9", "x1 1 2", "5-1 2", ":11"})
    EXPECT_EQ(ParseRtLine(bad).kind, RtLine::Kind::kNone) << '"' << bad << '"';
  // Enormous numbers saturate instead of wrapping into range.
  EXPECT_EQ(ParseRtLine("T99999999999999999999999999").time, kMaxNumber);
}

TEST(RealTimePlotStream, ChecksRangeStateAndTicksPerDay) {
  RealTimePlot plot(FindRtpModel("KRV517"));  // 280 positions, 8640000 ticks a day
  plot.FeedBytes("281 1 100\r0 1 100\r5 3 100\r5 1 8640000\rT8640000\r");
  EXPECT_TRUE(plot.changes().empty());
  EXPECT_FALSE(plot.startTime());
  plot.FeedBytes("280 1 8639999\r");
  ASSERT_EQ(plot.changes().size(), 1u);
  EXPECT_EQ(plot.changes()[0].position, 279);
  EXPECT_EQ(plot.startTime(), 8639999);
  plot.FeedBytes("T5\r");
  EXPECT_EQ(plot.startTime(), 8639999);
  EXPECT_EQ(plot.currentTime(), 5);
}

TEST(RealTimePlotStream, BlockLinesSkipDigitsAboveTwoAndAddNoChange) {
  RealTimePlot plot(FindRtpModel("KRV583"));  // 288 positions
  plot.FeedBytes("10:2913x1\r");
  EXPECT_EQ(plot.StateOf(9), 2);
  EXPECT_EQ(plot.StateOf(10), 1);  // '9' skipped without using up position 11
  EXPECT_EQ(plot.StateOf(11), 0);  // '3' skipped too
  EXPECT_EQ(plot.StateOf(12), 0);  // the run ends at 'x'
  EXPECT_TRUE(plot.changes().empty());
  // A block running past the last position stops there.
  plot.FeedBytes("287:1111\r");
  EXPECT_EQ(plot.StateOf(286), 1);
  EXPECT_EQ(plot.StateOf(287), 1);
}

TEST(RealTimePlotStream, UnknownModelTakesNoChanges) {
  RealTimePlot plot(nullptr);
  plot.FeedBytes("1 1 5\rT8639999\r");
  EXPECT_TRUE(plot.changes().empty());
  EXPECT_EQ(plot.ticksPerDay(), 8'640'000);
  EXPECT_EQ(plot.currentTime(), 8639999);
}

TEST(WrapAround, TimesAcrossMidnightAreTheShortWayApart) {
  const int64_t day = kTicksPerDay10ms;
  EXPECT_EQ(WrapDifference(1, 8'639'999, day), 2);  // 00:00:00.01 after 23:59:59.99
  EXPECT_EQ(WrapDifference(8'639'999, 1, day), -2);
  EXPECT_EQ(WrapDifference(day / 2, 0, day), day / 2);
  EXPECT_EQ(WrapDifference(day / 2 + 1, 0, day), -(day / 2 - 1));
  RealTimePlot plot(FindRtpModel("KRV517"));
  plot.FeedBytes("1 1 8639999\r1 0 1\r");
  plot.SetDisplayTime(1);
  // Seen from 00:00:00.01 the change at 23:59:59.99 lies 2 ticks back (0 pixels at the start
  // zoom), never a day away; at 25 ticks per 10 pixels 100 ticks back are 40 pixels.
  EXPECT_EQ(plot.XOfTime(8'639'999, 500), 500);
  EXPECT_TRUE(plot.ZoomIn(16));
  EXPECT_TRUE(plot.ZoomIn(16));
  EXPECT_EQ(plot.XOfTime(8'639'999 - 98, 500), 500 - 40);
  EXPECT_EQ(TimeOfDayText(-1, day), "23:59:59");
  EXPECT_EQ(TimeOfDayTextFine(8'639'999, day), "23:59:59.99");
  EXPECT_EQ(TimeOfDayTextFine(86'399'999, kTicksPerDay1ms), "23:59:59.999");
  EXPECT_EQ(TimeOfDayTextFine(863'999, kTicksPerDay100ms), "23:59:59.9");
}

TEST(Zoom, LimitsAndRepaintRate) {
  RealTimePlot plot(FindRtpModel("KRV517"));
  EXPECT_EQ(plot.zoom(), 1000);
  EXPECT_TRUE(plot.ZoomIn(16));
  EXPECT_EQ(plot.zoom(), 62);
  EXPECT_TRUE(plot.ZoomIn(16));
  EXPECT_EQ(plot.zoom(), 25);  // not 3
  EXPECT_FALSE(plot.ZoomIn(2));
  EXPECT_EQ(plot.RepaintPeriodTicks(), 10);
  for (int i = 0; i < 3; ++i) plot.ZoomOut(16);
  EXPECT_EQ(plot.zoom(), 6400);
  EXPECT_FALSE(plot.ZoomOut(2));
  EXPECT_EQ(plot.RepaintPeriodTicks(), 64);
  // A change of the zoom moves the display time to the current time.
  plot.FeedBytes("T777\r");
  EXPECT_TRUE(plot.ZoomIn(2));
  EXPECT_EQ(plot.displayTime(), 777);
  // The timer repaints every max(zoom / 100, 10) ticks, each time at the current time.
  plot.FeedBytes("T900\r");
  int repaints = 0;
  for (int i = 0; i < 64; ++i) repaints += plot.Tick();
  EXPECT_EQ(repaints, 2);  // 3200 / 100 = 32 ticks
  EXPECT_EQ(plot.displayTime(), 900);
}

TEST(History, ChangesOlderThanAnHourGoToTheStateTable) {
  const int64_t hour = kTicksPerDay10ms / 24;
  RealTimePlot plot(FindRtpModel("KRV517"));
  // Starts 10 minutes before midnight; the last change is 70 minutes later (after midnight).
  const int64_t t0 = kTicksPerDay10ms - hour / 6;
  plot.FeedBytes("1 1 " + std::to_string(t0) + "\r");
  plot.FeedBytes("2 1 " + std::to_string(t0 + 100) + "\r");
  const int64_t late = (t0 + hour + hour / 6) % kTicksPerDay10ms;
  plot.FeedBytes("3 1 " + std::to_string(late) + "\r");
  plot.SetDisplayTime(late);
  plot.TrimHistory();
  ASSERT_EQ(plot.changes().size(), 1u);
  EXPECT_EQ(plot.changes()[0].position, 2);
  EXPECT_EQ(plot.StateOf(0), 1);
  EXPECT_EQ(plot.StateOf(1), 1);
  EXPECT_EQ(plot.StateOf(2), 0);  // still on the list
  EXPECT_EQ(plot.startTime(), late - hour);
  // Exactly one hour back stays.
  RealTimePlot edge(FindRtpModel("KRV517"));
  edge.FeedBytes("1 1 0\r");
  edge.SetDisplayTime(hour);
  edge.TrimHistory();
  EXPECT_EQ(edge.changes().size(), 1u);
  EXPECT_EQ(edge.startTime(), 0);
}

TEST(History, AnAfternoonStreamIsKeptBeforeTheFirstRepaint) {
  // The first changes of a stream started after midday are more than half a day from midnight:
  // a paint before the first repaint tick must keep them.
  const int64_t t = 13 * (kTicksPerDay10ms / 24);
  RealTimePlot plot(FindRtpModel("KRV517"));
  plot.FeedBytes("1 1 " + std::to_string(t) + "\r");
  EXPECT_EQ(plot.displayTime(), t);
  plot.Frame(1000, 400);
  EXPECT_EQ(plot.changes().size(), 1u);
}

TEST(Slots, FillFromTheClickedRowAndStopAfterTheLast) {
  RealTimePlot plot(FindRtpModel("KRV517"));
  EXPECT_EQ(RealTimePlot::RowOfY(0), 0);
  EXPECT_EQ(RealTimePlot::RowOfY(44), 1);
  EXPECT_EQ(RealTimePlot::RowOfY(100000), 49);
  EXPECT_EQ(plot.FillSlots(47, {5, 6, 7, 8, 9}), 3);
  EXPECT_EQ(plot.Slot(47).input, 5);
  EXPECT_EQ(plot.Slot(49).input, 7);
  EXPECT_EQ(plot.Slot(46).input, -1);
  plot.SetSlotInput(0, 280);  // beyond the model: stays empty
  EXPECT_EQ(plot.Slot(0).input, -1);
  EXPECT_EQ(plot.Slot(0).color, 0u);
}

}  // namespace
}  // namespace zel::rtp
