// Event reports of hand-built event files, one group per model family.
#include "zel/core/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report_test_util.h"

namespace zel::core {
namespace {

using testing::Date;
using testing::EventFile;
using testing::Lines;
using testing::Rec;

const uint16_t kMar15 = Date(24, 3, 15);
constexpr uint32_t k123456_78 = 4529678;  // 12:34:56.78 in hundredths

std::string Blank(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

std::vector<std::string> Report(RecorderType type, const SetupDatabase& setup,
                                const std::vector<uint8_t>& file,
                                const InputFilter& filter = InputFilter()) {
  std::string text;
  const ReportResult r = RenderReport(type, setup, file.data(), file.size(), filter, text);
  EXPECT_TRUE(r.ok()) << r.error;
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  return Lines(text);
}

// ---------------------------------------------------------------- KRV-61E/A, every value kind

SetupDatabase Setup61E() {
  SetupDatabase s(13);
  s.SetUnitName("North Yard");
  s.SetName(0, "Main Signal");
  s.SetIdentifier(0, "MSIG");
  s.SetEventPair(0, 1);
  s.SetOnName(1, "Clear");
  s.SetOffName(1, "Stop");
  s.SetName(1, "Track Relay");
  s.SetIdentifier(1, "TR1");
  s.SetEventPair(1, 25);  // beyond the 20 pairs
  s.SetName(72, "Crossing Gate");
  s.SetIdentifier(72, "XGATE");
  s.SetEventPair(72, 0);
  s.SetOnName(0, "On");
  s.SetOffName(0, "Off");
  s.SetName(104, "Approach Timer");
  s.SetIdentifier(104, "APTMR");
  s.SetEventPair(104, 19);
  s.SetOnName(19, "Violate");
  s.SetOffName(19, "Nominal");
  return s;
}

TEST(Report61E, HeaderLinesAndEveryValueSuffix) {
  const auto file = EventFile(testing::k61EShape, kMar15, 0, kMar15, 8639999,
                              {
                                  {0x40, k123456_78, 0, 125, kMar15},   // flash rate
                                  {0x80, 4529679, 0, 0, kMar15},        // rate 0: no suffix
                                  {0x41, 100, 1, -5, Date(24, 12, 1)},  // pair out of range
                                  {0x40, 360000, 104, 125, kMar15},     // timer
                                  {0x40, 0, 207, 45, kMar15},           // speed monitor 1
                                  {0x40, 1, 205, -1234, kMar15},        // GPS correction
                                  {0x80, 2, 205, 32767, kMar15},        // GPS no signal
                                  {0x80, 3, 205, 0, kMar15},            // GPS zero
                                  {0x40, 4, 136, 30, kMar15},           // flash detail of D01
                                  {0xC0, 5, 200, 0, kMar15},            // system power
                                  {0x40, 6, 250, 0, kMar15},            // beyond the model
                                  {0x40, 0xFFFFFF, 72, 0, 0},           // largest 24-bit time
                              });
  const std::vector<std::string> expected = {
      "KRV-61E/A Event record report for unit",
      "North Yard",
      "Report interval 03/15/24 00:00:00.00 to 03/15/24 23:59:59.99",
      "12:34:56.78  03/15  Main Signal           MSIG         Clear  D01  12.5FPM",
      "12:34:56.79  03/15  Main Signal           MSIG          Stop  D01",
      "00:00:01.00  12/01  Track Relay           TR1        Invalid  D02",
      "01:00:00.00  03/15  Approach Timer        APTMR      Violate  T01  12.5 sec",
      "00:00:00.00  03/15  Speed Monitor 1       SpeedLim        ON  S08    45 MPH",
      "00:00:00.01  03/15  GPS Clock Record      GPS Rec         ON  S06 -1.23SEC",
      "00:00:00.02  03/15  GPS Clock Record      GPS Rec        OFF  S06 NO SIGNAL",
      "00:00:00.03  03/15  GPS Clock Record      GPS Rec        OFF  S06  0.00SEC",
      "00:00:00.04  03/15  Main Signal           MSIG            ON  F01",
      "00:00:00.05  03/15  System Power          Power           ON  S01",
      "00:00:00.06  03/15  Invalid input number  Invalid    Invalid  ---",
      "46:36:12.15  00/00  Crossing Gate         XGATE           On  V01",
      "End of report",
  };
  EXPECT_EQ(Report(13, Setup61E(), file), expected);
}

TEST(Report61E, EmptyFileGivesTitleIntervalAndEnd) {
  const auto file = EventFile(testing::k61EShape, kMar15, 100, Date(24, 3, 16), 200, {});
  const std::vector<std::string> expected = {
      "KRV-61E/A Event record report for unit", "North Yard",
      "Report interval 03/15/24 00:00:01.00 to 03/16/24 00:00:02.00", "End of report"};
  EXPECT_EQ(Report(13, Setup61E(), file), expected);
}

TEST(Report61E, StateByteZeroEndsTheData) {
  auto file =
      EventFile(testing::k61EShape, kMar15, 0, kMar15, 0,
                {{0x40, 1, 0, 0, kMar15}, {0x00, 2, 0, 0, kMar15}, {0x40, 3, 0, 0, kMar15}});
  const auto lines = Report(13, Setup61E(), file);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], "00:00:00.01  03/15  Main Signal           MSIG         Clear  D01");
  EXPECT_EQ(lines[4], "End of report");
}

TEST(Report61E, NegativeValuesFollowPrintfRules) {
  // The timer and speed texts print v / 10 and v mod 10 as C does for negative numbers; a
  // negative flash rate prints nothing.
  const auto file = EventFile(testing::k61EShape, kMar15, 0, kMar15, 0,
                              {{0x40, 0, 104, -125, kMar15},
                               {0x40, 0, 208, -7, kMar15},
                               {0x40, 0, 0, -30, kMar15},
                               {0x40, 0, 205, -32768, kMar15},
                               {0x40, 0, 205, -5, kMar15}});
  const auto lines = Report(13, Setup61E(), file);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[3],
            "00:00:00.00  03/15  Approach Timer        APTMR      Violate  T01 -12.-5 sec");
  EXPECT_EQ(lines[4],
            "00:00:00.00  03/15  Speed Monitor 2       SpeedLim        ON  S09    -7 MPH");
  EXPECT_EQ(lines[5], "00:00:00.00  03/15  Main Signal           MSIG         Clear  D01");
  EXPECT_EQ(lines[6],
            "00:00:00.00  03/15  GPS Clock Record      GPS Rec         ON  S06 -32.76SEC");
  // -5 thousandths truncate to 0 hundredths: no sign.
  EXPECT_EQ(lines[7], "00:00:00.00  03/15  GPS Clock Record      GPS Rec         ON  S06  0.00SEC");
}

TEST(Report61E, InputFilterKeepsOnlyChosenInputs) {
  const auto file = EventFile(testing::k61EShape, kMar15, 0, kMar15, 0,
                              {{0x40, 1, 0, 0, kMar15},
                               {0x40, 2, 1, 0, kMar15},
                               {0x40, 3, 200, 0, kMar15},
                               {0x40, 4, 0, 0, kMar15}});
  const auto lines = Report(13, Setup61E(), file, InputFilter::Only({0, 200, 9999}));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_NE(lines[3].find("Main Signal"), std::string::npos);
  EXPECT_NE(lines[4].find("System Power"), std::string::npos);
  EXPECT_NE(lines[5].find("Main Signal"), std::string::npos);
  EXPECT_EQ(lines[6], "End of report");
}

// ---------------------------------------------------------------- KRV-19XT and KRV-19XL

TEST(Report19, XTMillisecondsAndNoSuffix) {
  SetupDatabase s(0);
  s.SetUnitName("Elm St");
  s.SetName(0, "Signal 1");
  s.SetIdentifier(0, "SIG1");
  s.SetEventPair(0, 17);
  s.SetOnName(17, "Up");
  s.SetOffName(17, "Down");
  const auto file = EventFile(testing::k19XTShape, kMar15, 45296789, kMar15, 86399999,
                              {{0x40, 45296789, 0, 0, kMar15},
                               {0x80, 45296790, 0, 0, kMar15},
                               {0x40, 1, 30, 0, kMar15},
                               {0x40, 2, 31, 0, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-19XT Event record report for unit",
      "Elm St",
      "Report interval 03/15/24 12:34:56.789 to 03/15/24 23:59:59.999",
      "12:34:56.789  03/15  Signal 1              SIG1            Up  D01",
      "12:34:56.790  03/15  Signal 1              SIG1          Down  D01",
      "00:00:00.001  03/15  System Power          Power           ON  S01",
      "00:00:00.002  03/15  Invalid input number  Invalid    Invalid  ---",
      "End of report",
  };
  EXPECT_EQ(Report(0, s, file), expected);
}

TEST(Report19, XLTimersSpeedsAndSystemStates) {
  SetupDatabase s(1);
  s.SetUnitName("Oak");
  s.SetName(30, "Gate Timer");
  s.SetIdentifier(30, "GTMR");
  s.SetEventPair(30, 3);
  s.SetOnName(3, "Late");
  s.SetOffName(3, "OK");
  const auto file = EventFile(testing::k19XLShape, kMar15, 0, kMar15, 0,
                              {{0x40, 1000, 30, 1234, kMar15},
                               {0x00 | 0x80, 1001, 30, 1234, kMar15},
                               {0x40, 2000, 46, 0, kMar15},
                               {0x40, 3000, 47, 88, kMar15},
                               {0x80, 4000, 48, 5, kMar15},
                               {0x40, 5000, 51, 5, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-19XL Event record report for unit",
      "Oak",
      "Report interval 03/15/24 00:00:00.000 to 03/15/24 00:00:00.000",
      "00:00:01.000  03/15  Gate Timer            GTMR          Late  T01 123.4 sec",
      "00:00:01.001  03/15  Gate Timer            GTMR            OK  T01 123.4 sec",
      "00:00:02.000  03/15  System Power          Power           ON  S01",
      "00:00:03.000  03/15  Speed Monitor 1       SpeedLim        ON  S02    88 MPH",
      "00:00:04.000  03/15  Speed Monitor 2       SpeedLim       OFF  ---     5 MPH",
      "00:00:05.000  03/15  Invalid input number  Invalid    Invalid  ---",
      "End of report",
  };
  EXPECT_EQ(Report(1, s, file), expected);
}

// ---------------------------------------------------------------- KRV-43/61 and KRV-85E

TEST(Report61, YearInDateFourBlankSpeedsAndPairLimits) {
  SetupDatabase s(2);
  s.SetUnitName("Depot");
  s.SetName(0, "Home");
  s.SetIdentifier(0, "HOME");
  s.SetEventPair(0, 17);  // a 17th pair does not exist: 16 are stored
  s.SetName(88, "Track Timer");
  s.SetIdentifier(88, "TTMR");
  s.SetEventPair(88, 15);
  s.SetOnName(15, "Violate");
  s.SetOffName(15, "Nominal");
  const auto file = EventFile(testing::k61Shape, kMar15, 0, Date(99, 12, 31), 8639999,
                              {{0x01, k123456_78, 0, 0, kMar15},
                               {0x81, 1, 88, 25, kMar15},
                               {0x80, 2, 88, 25, kMar15},
                               {0x01, 3, 123, 60, Date(7, 1, 2)},
                               {0xFE, 4, 120, 0, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-61 Event record report for unit",
      "Depot",
      "Report interval 03/15/24 00:00:00.00 to 12/31/99 23:59:59.99",
      "12:34:56.78  03/15/24  Home                  HOME       Invalid  D01",
      "00:00:00.01  03/15/24  Track Timer           TTMR       Violate  T01   2.5 sec",
      "00:00:00.02  03/15/24  Track Timer           TTMR       Nominal  T01   2.5 sec",
      "00:00:00.03  01/02/07  Speed Monitor 1       SpeedLim        ON  S04     60 MPH",
      "00:00:00.04  03/15/24  System Power          Power          OFF  S01",
      "End of report",
  };
  EXPECT_EQ(Report(2, s, file), expected);
}

TEST(Report85E, BitZeroStateTimersAndSystemNames) {
  SetupDatabase s(9);
  s.SetUnitName("Mill");
  s.SetName(144, "Bell Timer");
  s.SetIdentifier(144, "BELL");
  s.SetEventPair(144, 2);
  s.SetOnName(2, "Ringing");
  s.SetOffName(2, "Quiet");
  const auto file = EventFile(testing::k85EShape, kMar15, 0, kMar15, 0,
                              {{0x01, 10, 144, 9, kMar15},
                               {0x40, 11, 144, 9, kMar15},
                               {0x01, 12, 177, 0, kMar15},
                               {0x01, 13, 179, 0, kMar15},
                               {0x01, 14, 5, 50, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-85E Event record report for unit",
      "Mill",
      "Report interval 03/15/24 00:00:00.00 to 03/15/24 00:00:00.00",
      "00:00:00.10  03/15  Bell Timer            BELL       Ringing  T01   0.9 sec",
      "00:00:00.11  03/15  Bell Timer            BELL         Quiet  T01   0.9 sec",
      "00:00:00.12  03/15  High Temperature      HighTemp        ON  S02",
      "00:00:00.13  03/15  Invalid input number  Invalid    Invalid  ***",
      // The KRV-85E writer shows no flash rate.
      "00:00:00.14  03/15  " + Blank(20) + "  " + Blank(8) + "  " + Blank(8) + "  D06",
      "End of report",
  };
  EXPECT_EQ(Report(9, s, file), expected);
}

// ---------------------------------------------------------------- KRV-517 family

TEST(Report517, DigitalTimerSpeedAndSystem) {
  SetupDatabase s(3);
  s.SetUnitName("Junction 517");
  s.SetName(255, "Last Digital");
  s.SetIdentifier(255, "LASTD");
  s.SetName(280, "First Timer");
  s.SetIdentifier(280, "TMR1");
  s.SetOnName(0, "On");
  s.SetOffName(0, "Off");
  const auto file = EventFile(testing::k517Shape, kMar15, 0, kMar15, 0,
                              {{0x01, 1, 255, 77, kMar15},
                               {0x01, 2, 280, 3000, kMar15},
                               {0x01, 3, 490, 120, kMar15},
                               {0x01, 4, 482, 0, kMar15},
                               {0x00 | 0x02, 5, 491, 0, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-517 Event record report for unit",
      "Junction 517",
      "Report interval 03/15/24 00:00:00.00 to 03/15/24 00:00:00.00",
      "00:00:00.01  03/15/24  Last Digital          LASTD           On  D256",
      "00:00:00.02  03/15/24  First Timer           TMR1            On  T001 300.0 sec",
      "00:00:00.03  03/15/24  Speed Monitor 8       SpeedLim        ON  S11    120 MPH",
      "00:00:00.04  03/15/24  Low Temperature       LowTemp         ON  S03",
      "00:00:00.05  03/15/24  Invalid input number  Invalid    Invalid  ---",
      "End of report",
  };
  EXPECT_EQ(Report(3, s, file), expected);
}

TEST(Report517, EHasSntpAndItsSpeedRange) {
  SetupDatabase s(4);
  s.SetUnitName("E");
  const auto file = EventFile(testing::k517EShape, kMar15, 0, kMar15, 0,
                              {{0x01, 1, 563, 0, kMar15}, {0x00 | 0x10, 2, 564, 33, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-517E Event record report for unit",
      "E",
      "Report interval 03/15/24 00:00:00.00 to 03/15/24 00:00:00.00",
      "00:00:00.01  03/15/24  Sntp Clock Sync       SntpSync        ON  S04",
      "00:00:00.02  03/15/24  Speed Monitor 1       SpeedLim       OFF  S05     33 MPH",
      "End of report",
  };
  EXPECT_EQ(Report(4, s, file), expected);
}

TEST(Report517, XLSplitTimeBytesAndGps) {
  SetupDatabase s(5);
  s.SetUnitName("XL");
  s.SetName(359, "Last Virtual");
  s.SetIdentifier(359, "LASTV");
  s.SetEventPair(359, 19);
  s.SetOnName(19, "True");
  s.SetOffName(19, "False");
  const auto file = EventFile(testing::k517XLShape, kMar15, 0, kMar15, 0,
                              {{0xC0, 0x002710, 359, 0, kMar15},  // lo 0x10, mid 0x27, hi 0
                               {0x80, k123456_78, 359, 0, kMar15},
                               {0x40, 1, 565, -1234, kMar15},
                               {0x40, 2, 565, 32767, kMar15},
                               {0x40, 3, 566, 0, kMar15},
                               {0x40, 4, 567, 15, kMar15},
                               {0x40, 5, 571, 15, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-517XL/A Event record report for unit",
      "XL",
      "Report interval 03/15/24 00:00:00.00 to 03/15/24 00:00:00.00",
      "00:01:40.00  03/15/24  Last Virtual          LASTV         True  V96",
      "12:34:56.78  03/15/24  Last Virtual          LASTV        False  V96",
      "00:00:00.01  03/15/24  GPS Clock Record      GPS Rec         ON  S06 -1.23SEC",
      "00:00:00.02  03/15/24  GPS Clock Record      GPS Rec         ON  S06 NO SIGNAL",
      "00:00:00.03  03/15/24  Clock Set             ClockSet        ON  S07",
      "00:00:00.04  03/15/24  Speed Monitor 1       SpeedLim        ON  S08     15 MPH",
      "00:00:00.05  03/15/24  Invalid input number  Invalid    Invalid  ---",
      "End of report",
  };
  EXPECT_EQ(Report(5, s, file), expected);
}

TEST(Report517, XCSubUnitsAndLargeNumbers) {
  SetupDatabase s(6);
  s.SetUnitName("XC");
  s.SetName(4095, "Module 16 last");
  s.SetIdentifier(4095, "M16L");
  s.SetName(4256, "Timer One");
  s.SetIdentifier(4256, "T1");
  s.SetOnName(0, "On");
  s.SetOffName(0, "Off");
  const auto file = EventFile(testing::k517XCShape, kMar15, 0, kMar15, 0,
                              {{0x01, 1, 4095, 0, kMar15},
                               {0x01, 2, 4256, 11, kMar15},
                               {0x01, 3, 5258, 9, kMar15},
                               {0x01, 4, 5274, 0, kMar15},
                               {0x00 | 0x02, 5, 5275, 0, kMar15},
                               {0x01, 6, 5276, 0, kMar15},
                               {0x01, 7, 5277, 0, kMar15},
                               {0x01, 8, 5337, 0, kMar15},
                               {0x01, 9, 5338, 0, kMar15},
                               {0x01, 10, 5343, 0, kMar15},
                               {0x01, 11, 5344, 0, kMar15},  // beyond the filter's bits
                               {0x01, 12, 65535, 0, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-517XC Event record report for unit",
      "XC",
      "Report interval 03/15/24 00:00:00.00 to 03/15/24 00:00:00.00",
      "00:00:00.01  03/15/24  Module 16 last        M16L            On  D4096",
      "00:00:00.02  03/15/24  Timer One             T1              On  T001   1.1 sec",
      "00:00:00.03  03/15/24  Speed Monitor 1       SpeedLim        ON  S04      9 MPH",
      "00:00:00.04  03/15/24  System Power-1        Power-1         ON  S20",
      "00:00:00.05  03/15/24  High Temperature-1    HiTmp-1        OFF  S21",
      "00:00:00.06  03/15/24  Low Temperature-1     LoTmp-1         ON  S22",
      "00:00:00.07  03/15/24  Invalid input number  Invalid    Invalid  S23",
      "00:00:00.08  03/15/24  Invalid input number  Invalid    Invalid  S83",
      "00:00:00.09  03/15/24  Invalid input number  Invalid    Invalid  ***",
      "00:00:00.10  03/15/24  Invalid input number  Invalid    Invalid  ***",
      "End of report",
  };
  EXPECT_EQ(Report(6, s, file), expected);
}

TEST(Report517, AXFifteenByteRecordsGpsAndSubUnits) {
  SetupDatabase s(18);
  s.SetUnitName("AX");
  s.SetName(4096, "Battery");
  s.SetIdentifier(4096, "BATT");
  s.SetEventPair(4096, 15);
  s.SetOnName(15, "Low");
  s.SetOffName(15, "Normal");
  s.SetOffName(0, "Off");
  const auto file = EventFile(testing::k517AXShape, kMar15, 0, kMar15, 0,
                              {{0x40, k123456_78, 4096, 0, kMar15},
                               {0x80, 1, 4192, 600, kMar15},
                               {0x40, 2, 4296, 12345, kMar15},
                               {0x40, 3, 4298, 200, kMar15},
                               {0x40, 4, 4315, 0, kMar15},
                               {0x40, 5, 4317, 0, kMar15},
                               {0x40, 6, 4378, 0, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-517AX Event record report for unit",
      "AX",
      "Report interval 03/15/24 00:00:00.00 to 03/15/24 00:00:00.00",
      "12:34:56.78  03/15/24  Battery               BATT           Low  A001",
      "00:00:00.01  03/15/24  " + Blank(20) + "  " + Blank(8) + "       Off  T001  60.0 sec",
      "00:00:00.02  03/15/24  GPS Clock Record      GPS Rec         ON  S06  12.34SEC",
      "00:00:00.03  03/15/24  Speed Monitor 1       SpeedLim        ON  S08    200 MPH",
      "00:00:00.04  03/15/24  High Temperature-1    HiTmp-1         ON  S25",
      "00:00:00.05  03/15/24  Invalid input number  Invalid    Invalid  S27",
      "00:00:00.06  03/15/24  Invalid input number  Invalid    Invalid  ***",
      "End of report",
  };
  EXPECT_EQ(Report(18, s, file), expected);
}

// ---------------------------------------------------------------- KRV-583 family

SetupDatabase Setup583(RecorderType type) {
  SetupDatabase s(type);
  s.SetUnitName("Yard 583");
  s.SetName(0, "Westbound Approach Track C");  // 26 characters
  s.SetIdentifier(0, "WB-APPR-TRK1");          // 12 characters
  s.SetEventPair(0, 3);
  s.SetOnName(3, "Occupied");
  s.SetOffName(3, "Clear");
  s.SetCodingName(3, "Coded 180");
  return s;
}

TEST(Report583, DateFirstLineWithFourStateLevels) {
  const auto file = EventFile(testing::k583Shape, kMar15, 0, kMar15, 8639999,
                              {{0x01, k123456_78, 0, 0, kMar15},
                               {0x02, 1, 0, 0, kMar15},
                               {0x03, 2, 0, 0, kMar15},
                               {0x04, 3, 0, 0, kMar15},
                               {0x04, 4, 288, 0, kMar15},
                               {0x02, 5, 290, 0, kMar15},
                               {0x01, 6, 256, 0, kMar15},
                               {0x01, 7, 291, 0, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-583 Event record report for unit",
      "Yard 583",
      "Report interval 03/15/24 00:00:00.00 to 03/15/24 23:59:59.99",
      "03/15/24 12:34:56.78 001 WB-APPR-TRK1 Westbound Approach Track C Occupied",
      "03/15/24 00:00:00.01 001 WB-APPR-TRK1 Westbound Approach Track C Coded 180",
      "03/15/24 00:00:00.02 001 WB-APPR-TRK1 Westbound Approach Track C Occupied",
      "03/15/24 00:00:00.03 001 WB-APPR-TRK1 Westbound Approach Track C Clear",
      "03/15/24 00:00:00.04 S01 Power        System Power               OFF",
      "03/15/24 00:00:00.05 S03 LowTemp      Low Temperature            ON",
      "03/15/24 00:00:00.06 A01 " + Blank(12) + " " + Blank(26) + " ",
      "03/15/24 00:00:00.07 --- Invalid      Invalid input number       Invalid",
      "End of report",
  };
  EXPECT_EQ(Report(7, Setup583(7), file), expected);
}

TEST(Report583, EHeaderIsOneByteLonger) {
  const auto file = EventFile(testing::k583EShape, Date(23, 7, 4), 360000, Date(23, 7, 4), 720000,
                              {{0x03, 360001, 0, 0, Date(23, 7, 4)}});
  const std::vector<std::string> expected = {
      "KRV-583E Event record report for unit",
      "Yard 583",
      "Report interval 07/04/23 01:00:00.00 to 07/04/23 02:00:00.00",
      "07/04/23 01:00:00.01 001 WB-APPR-TRK1 Westbound Approach Track C Occupied",
      "End of report",
  };
  EXPECT_EQ(Report(8, Setup583(8), file), expected);
}

TEST(Report583, ATwentyNineByteRecordsAndAllSystemInputs) {
  const auto file = EventFile(testing::k583AShape, kMar15, 0, kMar15, 0,
                              {{0x01, k123456_78, 0, 99, kMar15},
                               {0x01, 1, 291, 0, kMar15},
                               {0x04, 2, 295, 70, kMar15},
                               {0x01, 3, 299, 0, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-583A Event record report for unit",
      "Yard 583",
      "Report interval 03/15/24 00:00:00.00 to 03/15/24 00:00:00.00",
      "03/15/24 12:34:56.78 001 WB-APPR-TRK1 Westbound Approach Track C Occupied",
      "03/15/24 00:00:00.01 --- SntpSync     Sntp Clock Sync            ON",
      "03/15/24 00:00:00.02 --- SpeedLim     Speed Monitor 1            OFF",
      "03/15/24 00:00:00.03 --- Invalid      Invalid input number       Invalid",
      "End of report",
  };
  EXPECT_EQ(Report(16, Setup583(16), file), expected);
}

// ---------------------------------------------------------------- KRV-37E/A

TEST(Report37E, FlashDetailsFlashRatesAndGps) {
  SetupDatabase s(10);
  s.SetUnitName("Creek");
  s.SetName(0, "Flasher");
  s.SetIdentifier(0, "FLSH");
  s.SetName(19, "Last Digital");
  s.SetIdentifier(19, "D20X");
  s.SetName(20, "Battery");
  s.SetIdentifier(20, "BATT");
  s.SetOnName(0, "On");
  s.SetOffName(0, "Off");
  const auto file = EventFile(testing::k37EShape, kMar15, 0, kMar15, 0,
                              {{0x40, 45296789, 48, 95, kMar15},
                               {0x80, 1, 48, 0, kMar15},
                               {0x40, 2, 19, 95, kMar15},
                               {0x40, 3, 20, 95, kMar15},
                               {0x40, 4, 73, 2500, kMar15},
                               {0x40, 5, 74, 0, kMar15},
                               {0x40, 6, 75, 30, kMar15},
                               {0x40, 7, 32, 10, kMar15}});
  const std::vector<std::string> expected = {
      "KRV-37E/A Event record report for unit",
      "Creek",
      "Report interval 03/15/24 00:00:00.000 to 03/15/24 00:00:00.000",
      "12:34:56.789  03/15  Flasher               FLSH            ON  F01",
      "00:00:00.001  03/15  Flasher               FLSH           OFF  F01",
      "00:00:00.002  03/15  Last Digital          D20X            On  D20   9.5FPM",
      "00:00:00.003  03/15  Battery               BATT            On  A01",
      "00:00:00.004  03/15  GPS Clock Record      GPS Rec         ON  S06  2.50SEC",
      "00:00:00.005  03/15  Flash Rate Alarm      FlashAlm        ON  S07",
      "00:00:00.006  03/15  Speed Monitor 1       SpeedLim        ON  S08    30 MPH",
      "00:00:00.007  03/15  " + Blank(20) + "  " + Blank(8) + "        On  T01   1.0 sec",
      "End of report",
  };
  EXPECT_EQ(Report(10, s, file), expected);
}

// ---------------------------------------------------------------- SLG models

TEST(ReportSlg, S7TenthsGpsAndFlashRates) {
  SetupDatabase s(11);
  s.SetUnitName("SLG one");
  s.SetName(255, "Point 256");
  s.SetIdentifier(255, "P256");
  s.SetOnName(0, "On");
  s.SetOffName(0, "Off");
  const auto file = EventFile(testing::kSlgShape, kMar15, 452967, kMar15, 863999,
                              {{0x40, 452967, 255, 12, kMar15},
                               {0x40, 1, 268, 5, kMar15},
                               {0x40, 2, 289, 9, kMar15},
                               {0x40, 3, 290, 0, kMar15}});
  const std::vector<std::string> expected = {
      "SLG Siemens S7-300 Event record report for unit",
      "SLG one",
      "Report interval 03/15/24 12:34:56.7 to 03/15/24 23:59:59.9",
      "12:34:56.7  03/15  Point 256             P256            On  D256   1.2FPM",
      "00:00:00.1  03/15  " + Blank(20) + "  " + Blank(8) + "        On  T01   0.5 sec",
      "00:00:00.2  03/15  GPS Clock Record      GPS Rec         ON  S06  0.00SEC",
      "00:00:00.3  03/15  Invalid input number  Invalid    Invalid  ***",
      "End of report",
  };
  EXPECT_EQ(Report(11, s, file), expected);
}

TEST(ReportSlg, MicrolokStationAndPeerLink) {
  SetupDatabase s(12);
  s.SetUnitName("ML");
  const auto file = EventFile(testing::kSlgMLShape, kMar15, 0, kMar15, 0,
                              {{0x40, 1, 290, 7, kMar15}, {0x80, 2, 290, -3, kMar15}});
  const std::vector<std::string> expected = {
      "SLG Microlok II Event record report for unit",
      "ML",
      "Report interval 03/15/24 00:00:00.0 to 03/15/24 00:00:00.0",
      "00:00:00.1  03/15  PEER Link Status      PEER Lnk        ON  S07 7 Stn",
      "00:00:00.2  03/15  PEER Link Status      PEER Lnk       OFF  S07 -3 Stn",
      "End of report",
  };
  EXPECT_EQ(Report(12, s, file), expected);
}

TEST(ReportSlg, S7808SharedByTypes14And15) {
  SetupDatabase s14(14);
  s14.SetUnitName("808");
  s14.SetName(998, "Point 999");
  s14.SetIdentifier(998, "P999");
  s14.SetOnName(0, "On");
  SetupDatabase s15(15);
  s15.LoadBytes(s14.SaveBytes());
  const auto file = EventFile(testing::kSlg808Shape, kMar15, 0, kMar15, 0,
                              {{0x40, 1, 998, 31, kMar15},
                               {0x40, 2, 1011, 7, kMar15},
                               {0x40, 3, 1032, 100, kMar15},
                               {0x40, 4, 1033, 0, kMar15}});
  const std::vector<std::string> expected = {
      "SLG Siemens S7-300 Event record report for unit",
      "808",
      "Report interval 03/15/24 00:00:00.0 to 03/15/24 00:00:00.0",
      "00:00:00.1  03/15  Point 999             P999            On  D999   3.1FPM",
      "00:00:00.2  03/15  " + Blank(20) + "  " + Blank(8) + "        On  T01   0.7 sec",
      "00:00:00.3  03/15  GPS Clock Record      GPS Rec         ON  S06  0.10SEC",
      "00:00:00.4  03/15  Invalid input number  Invalid    Invalid  ***",
      "End of report",
  };
  EXPECT_EQ(Report(14, s14, file), expected);
  EXPECT_EQ(Report(15, s15, file), expected);
}

// ---------------------------------------------------------------- models without a writer

TEST(ReportModels, TypesWithoutWriterWriteNothing) {
  const auto file = EventFile(testing::k517Shape, kMar15, 0, kMar15, 0, {});
  for (RecorderType type : {17, -1, 19, 1000}) {
    SetupDatabase s(type);
    std::string text = "untouched";
    const ReportResult r = RenderReport(type, s, file.data(), file.size(), InputFilter(), text);
    EXPECT_EQ(r.status, ReportStatus::kNoWriter) << type;
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(text, "untouched");
  }
  EXPECT_EQ(FindReportModel(17), nullptr);
  EXPECT_EQ(FindReportModel(14), FindReportModel(15));
}

TEST(ReportModels, SetupOfAnotherModelIsRefused) {
  const auto file = EventFile(testing::k517Shape, kMar15, 0, kMar15, 0, {});
  SetupDatabase s(5);
  std::string text;
  EXPECT_EQ(RenderReport(3, s, file.data(), file.size(), InputFilter(), text).status,
            ReportStatus::kNoWriter);
}

}  // namespace
}  // namespace zel::core
