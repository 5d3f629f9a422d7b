// Setup and live identifiers, invalid texts and system input names of every model.
#include "zel/identifiers.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zel {
namespace {

using Expect = std::vector<std::pair<int, const char*>>;

void ExpectIds(RecorderType type, const Expect& list) {
  for (const auto& [input, text] : list) {
    EXPECT_EQ(SetupIdentifier(type, input), text) << "type " << type << " input " << input;
  }
}

TEST(SetupIdentifier, Krv517Boundaries) {
  ExpectIds(3, {{0, "D001"},
                {255, "D256"},
                {256, "A01"},
                {263, "A08"},
                {264, "V01"},
                {279, "V16"},
                {280, "T001"},
                {479, "T200"},
                {480, "S01"},
                {490, "S11"},
                {491, "---"},
                {-1, "---"},
                {100000, "---"}});
}

TEST(SetupIdentifier, Krv517AxBoundaries) {
  ExpectIds(18, {{0, "D0001"},
                 {4095, "D4096"},
                 {4096, "A001"},
                 {4159, "A064"},
                 {4160, "V01"},
                 {4191, "V32"},
                 {4192, "T001"},
                 {4290, "T099"},
                 {4291, "S01"},
                 {4377, "S87"},
                 {4378, "***"}});
}

TEST(SetupIdentifier, Krv583FamilyHasNoDigitalLetter) {
  for (RecorderType t : {7, 8, 16}) {
    ExpectIds(t, {{0, "001"},
                  {255, "256"},
                  {256, "A01"},
                  {271, "A16"},
                  {272, "V01"},
                  {287, "V16"},
                  {288, "S01"},
                  {290, "S03"},
                  {291, "---"}});
  }
}

TEST(SetupIdentifier, FlashDetailInputs) {
  // KRV-37E/A: D01-D20, A01-A04, V01-V08, T01-T16, F01-F20, S01-S11.
  ExpectIds(10, {{19, "D20"},
                 {20, "A01"},
                 {24, "V01"},
                 {32, "T01"},
                 {47, "T16"},
                 {48, "F01"},
                 {67, "F20"},
                 {68, "S01"},
                 {78, "S11"},
                 {79, "---"}});
  EXPECT_EQ(FlashDetailSource(10, 48), 0);
  EXPECT_EQ(FlashDetailSource(10, 67), 19);
  EXPECT_EQ(FlashDetailSource(10, 68), -1);
  EXPECT_EQ(FlashDetailSource(10, 47), -1);
  // KRV-61E/A: flash details 136-199, system 200-210.
  ExpectIds(13, {{63, "D64"},
                 {103, "V32"},
                 {104, "T01"},
                 {135, "T32"},
                 {136, "F01"},
                 {199, "F64"},
                 {200, "S01"},
                 {210, "S11"},
                 {211, "---"}});
  EXPECT_EQ(FlashDetailSource(13, 199), 63);
  EXPECT_EQ(FlashDetailSource(3, 300), -1);
}

TEST(SetupIdentifier, OtherModels) {
  ExpectIds(
      0,
      {{0, "D01"}, {17, "D18"}, {18, "A01"}, {22, "V01"}, {29, "V08"}, {30, "S01"}, {31, "---"}});
  ExpectIds(1, {{29, "V08"}, {30, "T01"}, {45, "T16"}, {46, "S01"}, {47, "S02"}, {48, "---"}});
  ExpectIds(2, {{63, "D64"},
                {64, "A01"},
                {72, "V01"},
                {88, "T01"},
                {119, "T32"},
                {120, "S01"},
                {126, "S07"},
                {127, "---"}});
  ExpectIds(9, {{63, "D64"},
                {95, "A32"},
                {143, "V48"},
                {175, "T32"},
                {176, "S01"},
                {178, "S03"},
                {179, "***"}});
  ExpectIds(4,
            {{359, "V96"}, {360, "T001"}, {559, "T200"}, {560, "S01"}, {571, "S12"}, {572, "---"}});
  ExpectIds(5, {{560, "S01"}, {570, "S11"}, {571, "---"}});
  ExpectIds(6, {{4095, "D4096"},
                {4096, "A001"},
                {4223, "A128"},
                {4224, "V01"},
                {4256, "T001"},
                {5254, "T999"},
                {5255, "S01"},
                {5337, "S83"},
                {5338, "***"}});
  ExpectIds(11, {{255, "D256"},
                 {259, "A04"},
                 {267, "V08"},
                 {268, "T01"},
                 {283, "T16"},
                 {284, "S01"},
                 {289, "S06"},
                 {290, "***"}});
  ExpectIds(12, {{290, "S07"}, {291, "***"}});
  for (RecorderType t : {14, 15}) {
    ExpectIds(t, {{998, "D999"},
                  {999, "A01"},
                  {1003, "V01"},
                  {1011, "T01"},
                  {1027, "S01"},
                  {1032, "S06"},
                  {1033, "***"}});
  }
}

TEST(SetupIdentifier, ModelsWithoutInputs) {
  for (RecorderType t : {17, 19, -1, 1000}) {
    EXPECT_EQ(SetupIdentifier(t, 0), "");
    EXPECT_EQ(InvalidIdentifierText(t), "");
    EXPECT_EQ(FirstSystemInput(t), 0);
    EXPECT_EQ(SystemInputCount(t), 0);
    EXPECT_EQ(KindOfInput(t, 0), InputKind::kInvalid);
  }
}

TEST(SetupIdentifier, EveryIdentifierFitsAndIsUnique) {
  for (RecorderType t = 0; t <= 18; ++t) {
    if (t == 17) continue;
    SCOPED_TRACE(t);
    std::set<std::string> seen;
    const int total = TotalInputCount(t);
    for (int i = 0; i < total; ++i) {
      const std::string id = SetupIdentifier(t, i);
      EXPECT_LE(id.size(), 8u);
      EXPECT_NE(id, InvalidIdentifierText(t));
      EXPECT_TRUE(seen.insert(id).second) << id;
    }
    EXPECT_EQ(SetupIdentifier(t, total), InvalidIdentifierText(t));
  }
}

TEST(SetupIdentifier, InvalidTexts) {
  for (RecorderType t : {0, 1, 2, 3, 4, 5, 7, 8, 10, 13, 16})
    EXPECT_EQ(InvalidIdentifierText(t), "---");
  for (RecorderType t : {6, 9, 11, 12, 14, 15, 18}) EXPECT_EQ(InvalidIdentifierText(t), "***");
}

TEST(InputCountsTable, FirstSystemInputs) {
  // The first system input numbers the event reports use.
  const std::vector<std::pair<RecorderType, int>> first = {
      {0, 30},   {1, 46},   {2, 120},   {3, 480},   {4, 560},  {5, 560},
      {6, 5255}, {7, 288},  {8, 288},   {9, 176},   {10, 68},  {11, 284},
      {12, 284}, {13, 200}, {14, 1027}, {15, 1027}, {16, 288}, {18, 4291}};
  for (const auto& [t, n] : first) EXPECT_EQ(FirstSystemInput(t), n) << t;
  EXPECT_EQ(LiveInputCount(3), 280);
  EXPECT_EQ(LiveInputCount(18), 4192);
  EXPECT_EQ(TotalInputCount(3), 491);
  EXPECT_EQ(FirstTimerInput(18), 4192);
  EXPECT_EQ(FirstFlashDetailInput(10), 48);
}

TEST(LiveIdentifier, FormatsPerModel) {
  EXPECT_EQ(LiveIdentifier(0, 0), "D01");
  EXPECT_EQ(LiveIdentifier(0, 18), "A01");
  EXPECT_EQ(LiveIdentifier(0, 22), "V01");
  EXPECT_EQ(LiveIdentifier(0, 30), "");
  EXPECT_EQ(LiveIdentifier(3, 255), "D256");
  EXPECT_EQ(LiveIdentifier(3, 256), "A01");
  EXPECT_EQ(LiveIdentifier(3, 279), "V16");
  EXPECT_EQ(LiveIdentifier(3, 280), "");  // no timers here
  EXPECT_EQ(LiveIdentifier(6, 4095), "D4096");
  EXPECT_EQ(LiveIdentifier(6, 4096), "A001");
  EXPECT_EQ(LiveIdentifier(6, 4223), "A128");
  // KRV-517AX: A01-A64 live, A001-A064 as setup identifiers.
  EXPECT_EQ(LiveIdentifier(18, 4096), "A01");
  EXPECT_EQ(LiveIdentifier(18, 4159), "A64");
  EXPECT_EQ(SetupIdentifier(18, 4159), "A064");
  EXPECT_EQ(LiveIdentifier(7, 0), "001");
  EXPECT_EQ(LiveIdentifier(7, 256), "A01");
  EXPECT_EQ(LiveIdentifier(14, 998), "D999");
  EXPECT_EQ(LiveIdentifier(10, 19), "D20");
  EXPECT_EQ(LiveIdentifier(10, 20), "A01");
  EXPECT_EQ(LiveIdentifier(10, 28), "V05");
  EXPECT_EQ(LiveIdentifier(3, -1), "");
  EXPECT_EQ(LiveIdentifier(17, 0), "");
  EXPECT_EQ(LiveIdentifier(19, 0), "");
}

TEST(SystemNames, Krv517AndKrv517Xl) {
  EXPECT_EQ(SystemInputLongName(3, 480), "System Power");
  EXPECT_EQ(SystemInputShortName(3, 480), "Power");
  EXPECT_EQ(SystemInputLongName(3, 481), "High Temperature");
  EXPECT_EQ(SystemInputShortName(3, 481), "HighTemp");
  EXPECT_EQ(SystemInputLongName(3, 482), "Low Temperature");
  EXPECT_EQ(SystemInputShortName(3, 482), "LowTemp");
  EXPECT_EQ(SystemInputLongName(3, 483), "Speed Monitor 1");
  EXPECT_EQ(SystemInputLongName(3, 490), "Speed Monitor 8");
  EXPECT_EQ(SystemInputShortName(3, 490), "SpeedLim");
  EXPECT_EQ(SystemInputLongName(3, 491), "Invalid input number");
  EXPECT_EQ(SystemInputShortName(3, 491), "Invalid");
  EXPECT_EQ(SystemInputLongName(3, 479), "Invalid input number");

  const std::vector<std::pair<const char*, const char*>> xl = {{"System Power", "Power"},
                                                               {"High Temperature", "HighTemp"},
                                                               {"Low Temperature", "LowTemp"},
                                                               {"Sntp Clock Sync", "SntpSync"},
                                                               {"GPS 5 Sec Correction", "GPS 5Sec"},
                                                               {"GPS Clock Record", "GPS Rec"},
                                                               {"Clock Set", "ClockSet"},
                                                               {"Speed Monitor 1", "SpeedLim"},
                                                               {"Speed Monitor 2", "SpeedLim"},
                                                               {"Speed Monitor 3", "SpeedLim"},
                                                               {"Speed Monitor 4", "SpeedLim"}};
  for (size_t i = 0; i < xl.size(); ++i) {
    EXPECT_EQ(SystemInputLongName(5, 560 + static_cast<int>(i)), xl[i].first);
    EXPECT_EQ(SystemInputShortName(5, 560 + static_cast<int>(i)), xl[i].second);
  }
  EXPECT_EQ(SystemInputLongName(5, 571), "Invalid input number");
  EXPECT_EQ(SpeedMonitorNumber(5, 567), 1);
  EXPECT_EQ(SpeedMonitorNumber(5, 566), 0);
  EXPECT_EQ(SpeedMonitorNumber(3, 490), 8);
}

TEST(SystemNames, OtherModels) {
  EXPECT_EQ(SystemInputLongName(0, 30), "System Power");
  EXPECT_EQ(SystemInputLongName(0, 31), "Invalid input number");
  // KRV-19XL names its speed monitors 47-50 although only 46 and 47 carry S identifiers.
  EXPECT_EQ(SystemInputLongName(1, 46), "System Power");
  EXPECT_EQ(SystemInputLongName(1, 47), "Speed Monitor 1");
  EXPECT_EQ(SystemInputLongName(1, 50), "Speed Monitor 4");
  EXPECT_EQ(SystemInputLongName(1, 51), "Invalid input number");
  EXPECT_EQ(SystemInputLongName(2, 122), "Low Temperature");
  EXPECT_EQ(SystemInputLongName(2, 123), "Speed Monitor 1");
  EXPECT_EQ(SystemInputLongName(4, 563), "Sntp Clock Sync");
  EXPECT_EQ(SystemInputLongName(4, 571), "Speed Monitor 8");
  EXPECT_EQ(SystemInputLongName(9, 178), "Low Temperature");
  EXPECT_EQ(SystemInputLongName(10, 74), "Flash Rate Alarm");
  EXPECT_EQ(SystemInputShortName(10, 74), "FlashAlm");
  EXPECT_EQ(SystemInputLongName(10, 78), "Speed Monitor 4");
  EXPECT_EQ(SystemInputLongName(13, 206), "Flash Rate Alarm");
  EXPECT_EQ(SystemInputLongName(13, 207), "Speed Monitor 1");
  EXPECT_EQ(SystemInputLongName(11, 289), "GPS Clock Record");
  EXPECT_EQ(SystemInputLongName(11, 290), "Invalid input number");
  EXPECT_EQ(SystemInputLongName(12, 290), "PEER Link Status");
  EXPECT_EQ(SystemInputShortName(12, 290), "PEER Lnk");
  EXPECT_EQ(SystemInputLongName(15, 1032), "GPS Clock Record");
  EXPECT_EQ(SystemInputLongName(16, 294), "Clock Set");
  EXPECT_EQ(SystemInputLongName(16, 298), "Speed Monitor 4");
  EXPECT_EQ(SystemInputLongName(7, 291), "Invalid input number");
  EXPECT_EQ(SystemInputLongName(17, 0), "Invalid input number");
}

TEST(SystemNames, SubUnitsOfTheLargeModels) {
  // KRV-517XC: 5255-5257 fixed, 5258-5273 speed, then 16 sub-units of four.
  EXPECT_EQ(SystemInputLongName(6, 5273), "Speed Monitor 16");
  EXPECT_EQ(SystemInputLongName(6, 5274), "System Power-1");
  EXPECT_EQ(SystemInputShortName(6, 5274), "Power-1");
  EXPECT_EQ(SystemInputLongName(6, 5275), "High Temperature-1");
  EXPECT_EQ(SystemInputShortName(6, 5275), "HiTmp-1");
  EXPECT_EQ(SystemInputLongName(6, 5276), "Low Temperature-1");
  EXPECT_EQ(SystemInputShortName(6, 5276), "LoTmp-1");
  EXPECT_EQ(SystemInputLongName(6, 5277), "Invalid input number");
  EXPECT_EQ(SystemInputLongName(6, 5334), "System Power-16");
  EXPECT_EQ(SystemInputShortName(6, 5336), "LoTmp-16");
  EXPECT_EQ(SystemInputLongName(6, 5337), "Invalid input number");
  EXPECT_EQ(SystemInputLongName(6, 5338), "Invalid input number");
  // KRV-517AX: 4291-4297 fixed, 4298-4313 speed, 4314-4377 sub-units.
  EXPECT_EQ(SystemInputLongName(18, 4297), "Clock Set");
  EXPECT_EQ(SystemInputLongName(18, 4298), "Speed Monitor 1");
  EXPECT_EQ(SystemInputLongName(18, 4314), "System Power-1");
  EXPECT_EQ(SystemInputLongName(18, 4375), "High Temperature-16");
  EXPECT_TRUE(IsNamedSystemInput(18, 4377));
  EXPECT_FALSE(IsNamedSystemInput(18, 4378));
  EXPECT_FALSE(IsNamedSystemInput(18, 4290));
}

TEST(SystemNames, LengthsStayWithinTheirFields) {
  for (RecorderType t = 0; t <= 18; ++t) {
    const int first = FirstSystemInput(t);
    for (int i = first - 1; i <= first + NamedSystemInputCount(t); ++i) {
      EXPECT_LE(SystemInputLongName(t, i).size(), 20u) << t << " " << i;
      EXPECT_LE(SystemInputShortName(t, i).size(), 8u) << t << " " << i;
    }
    EXPECT_GE(NamedSystemInputCount(t), SystemInputCount(t));
  }
}

}  // namespace
}  // namespace zel
