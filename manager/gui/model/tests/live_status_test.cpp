// Live status without widgets: the layout table against the identifiers, grid points of the
// arrangements, the state rules of each model family, value lines, lines outside the ranges,
// tooltips and the lines of Input Properties.
#include "model/live_status.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/live_session.h"
#include "zel/identifiers.h"

namespace zel::oxm {
namespace {

namespace m = zel::model;
using S = LiveState;

S StateOfPosition(const LiveStatusModel& l, int position) {
  const int item = l.ItemOfPosition(position);
  EXPECT_GE(item, 0) << "position " << position << " is not listed";
  return item < 0 ? S::kOff : l.items()[static_cast<std::size_t>(item)].state;
}

std::pair<int, int> PointOf(const LiveStatusModel& l, int position) {
  const int item = l.ItemOfPosition(position);
  if (item < 0) return {-1, -1};
  const auto& it = l.items()[static_cast<std::size_t>(item)];
  return {it.x, it.y};
}

TEST(LiveLayout, TableAgreesWithTheModelsInputsAndEveryListedItemHasAnIdentifier) {
  for (RecorderType t = 0; t < kModelTypeCount; ++t) {
    SCOPED_TRACE(t);
    const LiveLayoutRow* row = FindLiveLayout(t);
    if (t == m::kKpd29a) {
      EXPECT_EQ(row, nullptr);
      continue;
    }
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->digital, InputCountsOf(t).digital);
    EXPECT_EQ(row->analog, InputCountsOf(t).analog);
    std::vector<bool> all(kLiveModuleCount, true);
    const auto places = LivePlacements(*row, all);
    std::vector<std::pair<int, int>> points;
    for (const LivePlacement& p : places) {
      ASSERT_LT(p.position, row->positions);
      EXPECT_FALSE(LiveIdentifier(t, p.position).empty()) << p.position;
      points.emplace_back(p.x, p.y);
    }
    // No two items share a grid point.
    std::sort(points.begin(), points.end());
    EXPECT_EQ(std::adjacent_find(points.begin(), points.end()), points.end());
  }
  EXPECT_EQ(FindLiveLayout(19), nullptr);
  EXPECT_EQ(FindLiveLayout(-1), nullptr);
}

TEST(LiveLayout, GridOfTheKrv19xtColumns) {
  LiveStatusModel l(m::kKrv19xt, nullptr);
  EXPECT_EQ(l.items().size(), 30u);
  EXPECT_EQ(PointOf(l, 0), std::make_pair(16, 0));
  EXPECT_EQ(PointOf(l, 17), std::make_pair(16, 272));
  EXPECT_EQ(PointOf(l, 18), std::make_pair(64, 0));  // first analog: next column
  EXPECT_EQ(PointOf(l, 21), std::make_pair(64, 48));
  EXPECT_EQ(PointOf(l, 22), std::make_pair(160, 0));  // virtual after one empty column
  EXPECT_EQ(PointOf(l, 29), std::make_pair(160, 112));
  EXPECT_EQ(l.items()[0].text, "D01");
  EXPECT_EQ(l.items()[18].text, "A01");
  EXPECT_EQ(l.items()[29].text, "V08");
  for (const auto& it : l.items()) EXPECT_EQ(it.state, S::kOff);
}

TEST(LiveLayout, GridOfTheKrv517xl) {
  LiveStatusModel l(m::kKrv517xl, nullptr);
  EXPECT_EQ(l.items().size(), 360u);
  EXPECT_EQ(PointOf(l, 31), std::make_pair(16, 496));
  EXPECT_EQ(PointOf(l, 32), std::make_pair(64, 0));
  EXPECT_EQ(PointOf(l, 255), std::make_pair(352, 496));
  EXPECT_EQ(PointOf(l, 256), std::make_pair(400, 0));    // A01, column 8
  EXPECT_EQ(PointOf(l, 264), std::make_pair(496, 0));    // V01, column 10
  EXPECT_EQ(PointOf(l, 359), std::make_pair(592, 496));  // V96, column 12 row 31
}

TEST(LiveLayout, KrvXcListsOnlyItsPresentModulesStackedInModuleOrder) {
  SetupDatabase db(m::kKrv517xc);
  db.SetSecondaryIp(2, {10, 0, 0, 2});
  db.SetSecondaryIp(5, {10, 0, 0, 5});
  LiveStatusModel l(m::kKrv517xc, &db);
  EXPECT_EQ(l.items().size(), 2u * (256 + 8) + 32);
  EXPECT_EQ(l.ItemOfPosition(0), -1);
  EXPECT_EQ(l.ItemOfPosition(511), -1);
  EXPECT_EQ(PointOf(l, 512), std::make_pair(16, 0));           // module 2, first digital
  EXPECT_EQ(PointOf(l, 767), std::make_pair(394, 496));        // module 2, last digital
  EXPECT_EQ(PointOf(l, 1280), std::make_pair(16, 528));        // module 5 from row 33
  EXPECT_EQ(PointOf(l, 1535), std::make_pair(394, 1024));      // column 7, row 64
  EXPECT_EQ(PointOf(l, 4096 + 16), std::make_pair(448, 0));    // A017: module 2's first analog
  EXPECT_EQ(PointOf(l, 4096 + 47), std::make_pair(448, 640));  // A048 at row 33 + 7
  EXPECT_EQ(PointOf(l, 4224), std::make_pair(556, 0));         // V01, column 10 from row 0
  EXPECT_EQ(PointOf(l, 4255), std::make_pair(556, 496));
  EXPECT_EQ(l.PositionOfItem(l.ItemOfPosition(1280)), 1280);
  EXPECT_EQ(l.items()[static_cast<std::size_t>(l.ItemOfPosition(512))].text, "D0513");
  EXPECT_EQ(l.items()[static_cast<std::size_t>(l.ItemOfPosition(4112))].text, "A017");

  // Lines for inputs of absent modules change nothing.
  EXPECT_FALSE(l.ApplyLine("1 1"));
  EXPECT_FALSE(l.ApplyLine("1:4.5"));
  EXPECT_TRUE(l.ApplyLine("17:4.5"));
  EXPECT_TRUE(l.TakeChanged().size() == 1);

  // Without a setup database no module is present: only the virtual inputs.
  LiveStatusModel bare(m::kKrv517xc, nullptr);
  EXPECT_EQ(bare.items().size(), 32u);
  // KRV-517AX: modules of four analog inputs, all present.
  SetupDatabase ax(m::kKrv517ax);
  for (int g = 0; g < 16; ++g) ax.SetSecondaryIp(g, {10, 0, 1, static_cast<uint8_t>(g + 1)});
  ax.SetSecondaryIp(3, {255, 255, 255, 255});  // counts as absent
  LiveStatusModel all(m::kKrv517ax, &ax);
  EXPECT_EQ(all.items().size(), 15u * (256 + 4) + 32);
  EXPECT_EQ(PointOf(all, 4096 + 4 * 4), std::make_pair(448, 3 * 528));  // module 4 is 4th
}

TEST(LiveLayout, Slg808DigitalInputsInBlocksOf256) {
  LiveStatusModel l(m::kSlgS7_808, nullptr);
  EXPECT_EQ(l.items().size(), 1011u);
  EXPECT_EQ(PointOf(l, 255), std::make_pair(352, 496));
  EXPECT_EQ(PointOf(l, 256), std::make_pair(16, 528));    // block 1 at row 33
  EXPECT_EQ(PointOf(l, 768), std::make_pair(16, 1584));   // block 3 at row 99
  EXPECT_EQ(PointOf(l, 998), std::make_pair(352, 1680));  // column 7, row 99 + 6
  EXPECT_EQ(PointOf(l, 999), std::make_pair(400, 0));     // analog in column 8
  EXPECT_EQ(PointOf(l, 1002), std::make_pair(400, 48));
  EXPECT_EQ(PointOf(l, 1003), std::make_pair(496, 0));  // virtual in column 10
  EXPECT_EQ(PointOf(l, 1010), std::make_pair(496, 112));
  LiveStatusModel as7(m::kSlgAS7, nullptr);
  EXPECT_EQ(PointOf(as7, 998), std::make_pair(352, 1680));
}

TEST(LiveLayout, KpdHasAnEmptyWindow) {
  LiveStatusModel l(m::kKpd29a, nullptr);
  EXPECT_TRUE(l.items().empty());
  EXPECT_EQ(l.Feed("1 1\r1:2\r"), 2u);
  EXPECT_TRUE(l.TakeChanged().empty());
}

TEST(LiveStates, FlashEnabledFifthInputShowsYellowThenOlive) {
  SetupDatabase db(m::kKrv19xt);
  db.SetFlashEnabled(4, true);
  LiveStatusModel l(m::kKrv19xt, &db);
  l.Feed("5 1\r");
  EXPECT_EQ(StateOfPosition(l, 4), S::kFlashing);
  l.Feed("6 1\r");
  EXPECT_EQ(StateOfPosition(l, 5), S::kOn);  // not flash-enabled: green
  l.Feed("5 0\r");
  EXPECT_EQ(StateOfPosition(l, 4), S::kOff);
  // Any non-zero state is on.
  l.Feed("5 7\r");
  EXPECT_EQ(StateOfPosition(l, 4), S::kFlashing);
  // Without the setup database there are no flash bits.
  LiveStatusModel bare(m::kKrv19xt, nullptr);
  bare.Feed("5 1\r");
  EXPECT_EQ(StateOfPosition(bare, 4), S::kOn);
}

TEST(LiveStates, Krv583FamilyStatesZeroToThree) {
  for (RecorderType t : {m::kKrv583, m::kKrv583e, m::kKrv583a}) {
    SCOPED_TRACE(t);
    SetupDatabase db(t);
    LiveStatusModel l(t, &db);
    const std::pair<const char*, S> cases[] = {{"1 0", S::kOff},      {"1 1", S::kOn},
                                               {"1 2", S::kFlashing}, {"1 3", S::kOn},
                                               {"1 6", S::kFlashing}, {"1 4", S::kOff}};
    for (const auto& [line, want] : cases) {
      l.ApplyLine(line);
      EXPECT_EQ(StateOfPosition(l, 0), want) << line;
    }
    // An analog position that is on, coding or not, is red.
    l.ApplyLine("257 2");
    EXPECT_EQ(StateOfPosition(l, 256), S::kThreshold);
    l.ApplyLine("257 4");
    EXPECT_EQ(StateOfPosition(l, 256), S::kOff);
  }
}

TEST(LiveStates, AnalogPositionsShowRedAndVirtualGreen) {
  SetupDatabase db(m::kKrv19xt);
  LiveStatusModel l(m::kKrv19xt, &db);
  l.ApplyLine("19 1");  // the first analog position
  EXPECT_EQ(StateOfPosition(l, 18), S::kThreshold);
  l.ApplyLine("22 1");
  EXPECT_EQ(StateOfPosition(l, 21), S::kThreshold);
  l.ApplyLine("23 1");  // the first virtual position
  EXPECT_EQ(StateOfPosition(l, 22), S::kOn);
  l.ApplyLine("19 0");
  EXPECT_EQ(StateOfPosition(l, 18), S::kOff);
}

TEST(LiveValues, ValueLinesSetTheAnalogText) {
  LiveStatusModel l(m::kKrv19xt, nullptr);
  EXPECT_EQ(l.ApplyLine("2:12.5"), std::optional<int>(l.ItemOfPosition(19)));
  EXPECT_EQ(l.items()[static_cast<std::size_t>(l.ItemOfPosition(19))].text, "A02=12.5");
  // A value line does not change the state; a later one replaces the text.
  EXPECT_EQ(StateOfPosition(l, 19), S::kOff);
  l.Feed("2/-3.0\r");
  EXPECT_EQ(l.items()[static_cast<std::size_t>(l.ItemOfPosition(19))].text, "A02=-3.0");
  // A 40-character line is parsed from its first 31 characters.
  const std::string value(38, '7');
  l.Feed("4:" + value + "\r");
  EXPECT_EQ(l.items()[static_cast<std::size_t>(l.ItemOfPosition(21))].text,
            "A04=" + value.substr(0, 29));
}

TEST(LiveValues, LinesOutsideTheRangesChangeNothing) {
  SetupDatabase db(m::kKrv19xt);
  LiveStatusModel l(m::kKrv19xt, &db);
  const auto before = l.items();
  for (const char* line : {"0 1", "31 1", "1000000 1", "-1 1", "0:5", "5:5", "-2:5", "x:5", "12",
                           "", " 1", "99999999999999999999 1"}) {
    EXPECT_FALSE(l.ApplyLine(line)) << line;
  }
  l.Feed("31 1\r\n5:1\r");
  EXPECT_TRUE(l.TakeChanged().empty());
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(l.items()[i].text, before[i].text);
    EXPECT_EQ(l.items()[i].state, before[i].state);
  }
  // The last position is inside.
  EXPECT_TRUE(l.ApplyLine("30 1"));
}

TEST(LiveValues, ChangedItemsAreReportedOnceEach) {
  LiveStatusModel l(m::kKrv517xl, nullptr);
  l.Feed("1 1\r1 0\r1 1\r2 1\r2 1\r3 0\r1:1\r1:2\r");
  const std::vector<int> changed = l.TakeChanged();
  EXPECT_EQ(changed,
            (std::vector<int>{l.ItemOfPosition(0), l.ItemOfPosition(1), l.ItemOfPosition(256)}));
  EXPECT_TRUE(l.TakeChanged().empty());
  l.Feed("1 1\r");  // no change
  EXPECT_TRUE(l.TakeChanged().empty());
}

TEST(LiveText, TitleStatusLineAndToolTips) {
  EXPECT_EQ(LiveTitle("EAST-1", "Yard East"), "Live status for: EAST-1, Unit Name:Yard East");
  EXPECT_EQ(LiveConnectedText(), "Connected");
  EXPECT_EQ(LiveLineLostText({2024, 3, 6, 9, 5, 7, 0, 3}), "Line lost at 09:05:07");

  SetupDatabase db(m::kKrv517xl);
  db.SetName(0, "Track 1");
  db.SetIdentifier(0, "TK1");
  LiveStatusModel l(m::kKrv517xl, &db);
  EXPECT_EQ(l.ToolTip(l.ItemOfPosition(0)), "D001  Track 1  (ID: TK1)");
  EXPECT_EQ(l.ToolTip(l.ItemOfPosition(1)), "D002");
  EXPECT_EQ(l.ToolTip(-1), "");
  LiveStatusModel bare(m::kKrv517xl, nullptr);
  EXPECT_EQ(bare.ToolTip(0), "D001");
}

TEST(InputProperties, DigitalAnalogVirtualLinesInOrder) {
  SetupDatabase db(m::kKrv19xt);
  db.SetName(4, "Gate down");
  db.SetIdentifier(4, "GD");
  db.SetEventPair(4, 2);
  db.SetOnName(2, "DOWN");
  db.SetOffName(2, "UP");
  db.SetFlashEnabled(4, true);
  db.SetDetectTime(4, 1250);
  LiveStatusModel l(m::kKrv19xt, &db);
  EXPECT_EQ(
      l.PropertyLines(l.ItemOfPosition(4)),
      (std::vector<std::string>{"Name:\tGate down", "ID:\tGD", "On Event Name:\tDOWN",
                                "Off Event Name:\tUP", "Flashing:\tYes", "Detect Time:\t1.250"}));
  db.SetAnalogRange(1, 0);
  db.SetHighThreshold(1, 125);
  db.SetLowThreshold(1, -5);
  const auto analog = InputPropertyLines(m::kKrv19xt, db, 18, 4, 19);
  ASSERT_EQ(analog.size(), 8u);
  EXPECT_EQ(analog[4], "Flashing:\tN/A");
  EXPECT_EQ(analog[5], "Range:\t+/-25.5Vdc");
  EXPECT_EQ(analog[6], "High Threshold:\t12.5");
  EXPECT_EQ(analog[7], "Low Threshold:\t-0.5");
  // Without the setup database there are no lines.
  LiveStatusModel bare(m::kKrv19xt, nullptr);
  EXPECT_TRUE(bare.PropertyLines(0).empty());
}

TEST(InputProperties, Krv583ShowsTheCodingEventAndNoFlashing) {
  SetupDatabase db(m::kKrv583);
  db.SetEventPair(0, 1);
  db.SetCodingName(1, "CODE");
  const auto lines = InputPropertyLines(m::kKrv583, db, 256, 16, 0);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Coding Event Name:\tCODE"), lines.end());
  for (const auto& line : lines) EXPECT_EQ(line.rfind("Flashing:", 0), std::string::npos);
  EXPECT_EQ(lines.size(), 6u);
}

TEST(InputProperties, Krv85eThresholdsInHundredthsKeepTheirSign) {
  SetupDatabase db(m::kKrv85e);
  db.SetHighThreshold(0, 1250);
  db.SetLowThreshold(0, -50);
  const auto lines = InputPropertyLines(m::kKrv85e, db, 64, 32, 64);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[5], "High Threshold:\t12.50");
  EXPECT_EQ(lines[6], "Low Threshold:\t-0.50");
  EXPECT_EQ(HundredthsText(-1), "-0.01");
  EXPECT_EQ(HundredthsText(-99), "-0.99");
  EXPECT_EQ(HundredthsText(-100), "-1.00");
  EXPECT_EQ(HundredthsText(-1250), "-12.50");
  EXPECT_EQ(HundredthsText(5), "0.05");
  EXPECT_EQ(HundredthsText(0), "0.00");
}

TEST(InputProperties, VirtualInputNamesItsFourSources) {
  SetupDatabase db(m::kKrv517);
  db.SetVirtualSource(0, 0, 0);    // D001
  db.SetVirtualSource(0, 1, 1);    // D002
  db.SetVirtualSource(0, 2, 264);  // V01
  db.SetVirtualSource(0, 3, 258);  // A03
  const auto lines = InputPropertyLines(m::kKrv517, db, 256, 8, 264);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Function of:\tD001 D002 V01 A03");
  // A source of "none" shows the model's invalid text.
  db.SetVirtualSource(1, 0, -1);
  EXPECT_EQ(InputPropertyLines(m::kKrv517, db, 256, 8, 265).back().substr(0, 16),
            "Function of:\t---");
  // KPD-29A has no event lines; an input beyond the database never fails.
  EXPECT_NO_FATAL_FAILURE(InputPropertyLines(m::kKrv517, db, 256, 8, 100000));
}

TEST(LiveSession, TimingsScale) {
  const LiveTimings t = LiveTimings{}.Scaled(0.01);
  EXPECT_EQ(t.quiet_ms, 20);
  EXPECT_EQ(t.answer_ms, 300);
}

}  // namespace
}  // namespace zel::oxm
