// The KRV-517XL listing, line by line, on files built byte by byte at the layout's offsets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "test_support.h"
#include "zel/s2t/converter.h"

namespace zel::s2t {
namespace {

using ::testing::Contains;
using testing::CountOf;
using ::testing::ElementsAre;
using testing::Lines;
using ::testing::Not;
using testing::Put;
using testing::PutText;
using testing::SectionLines;

constexpr int kType = 5;
constexpr size_t kLength = 23552;

// Offsets of the KRV-517XL fields, summed by hand from the field sequence.
constexpr size_t kMac = 0, kIp = 6, kMask = 10, kGateway = 14, kPort = 18, kMode = 20;
constexpr size_t kBaud1 = 21, kBaud2 = 22, kUnitName = 23, kAdmin = 104, kRestricted = 113;
constexpr size_t kPasscode = 122, kRing = 131, kNames = 132, kIds = 11892, kOnNames = 16932;
constexpr size_t kOffNames = 17112, kPairs = 17292, kDetect = 17852, kFlash = 18876;
constexpr size_t kRange = 18908, kFilter = 18916, kHigh = 18924, kLow = 18956;
constexpr size_t kVirtual = 18988;  // 16 bytes each
constexpr size_t kPrimaryDial = 20524, kSecondaryDial = 20545, kClockMode = 20566;
constexpr size_t kHighTemp = 20568, kLowTemp = 20572, kSpeed = 20576;  // 12 bytes each
constexpr size_t kTimerFrom = 20624, kTimerFromState = 21024, kTimerTo = 21224;
constexpr size_t kTimerToState = 21624, kTimerLow = 21824, kTimerHigh = 22624;
constexpr size_t kZone = 23424, kDst = 23425, kSntp = 23426;

class Krv517xlListing : public ::testing::Test {
 protected:
  std::string Convert(const std::vector<uint8_t>& image) {
    const std::string in = dir_.File("setupdata.bin");
    const std::string out = dir_.File("setup.txt");
    testing::WriteBytes(in, image);
    const char* argv[] = {"krv517xls2t", in.c_str(), out.c_str()};
    std::ostringstream err;
    EXPECT_EQ(RunConverter(kType, 3, argv, err), 0);
    EXPECT_EQ(err.str(), "");
    return testing::ReadText(out);
  }
  static std::vector<std::string> Section(const std::string& text, const std::string& header) {
    return SectionLines(
        Lines(text), header,
        {"Input names/Identifiers:", "Detect Times/Flash Enable:", "Analog Configuration:",
         "Virtual Configuration:", "Timer From Event To   Event LowLimit HighLimit",
         "Measure Speed Parameters:", "IP Address:*"});
  }
  testing::TempFolder dir_;
};

TEST_F(Krv517xlListing, AllZeroFileListsFirstPairSourcesD001AndNoClockSync) {
  const std::string text = Convert(std::vector<uint8_t>(kLength, 0));
  const auto lines = Lines(text);

  // Twenty event pairs of empty names.
  const auto pairs = Section(text, "Event names:");
  ASSERT_EQ(pairs.size(), 21u);
  EXPECT_EQ(pairs[0], "      ON      OFF");
  EXPECT_EQ(pairs[20], "20                  ");

  // Every input 0-559 with pair 1 and empty names.
  const auto inputs = Section(text, "Input names/Identifiers:");
  ASSERT_EQ(inputs.size(), 561u);
  EXPECT_EQ(inputs[0], "     Name                 ID        OnEvent/OffEvent Event Pair");
  EXPECT_EQ(inputs[1], "D001                                       /             1");
  EXPECT_EQ(inputs[257].substr(0, 4), "A01 ");
  EXPECT_EQ(inputs[265].substr(0, 4), "V01 ");
  EXPECT_EQ(inputs[361].substr(0, 4), "T001");
  EXPECT_EQ(inputs[560].substr(0, 4), "T200");
  for (size_t i = 1; i < inputs.size(); ++i) {
    EXPECT_EQ(inputs[i].substr(inputs[i].size() - 6), "     1") << inputs[i];
  }

  // 96 virtual inputs of four D001 sources, each with a 16-line table of "Off".
  const auto virt = Section(text, "Virtual Configuration:");
  ASSERT_EQ(virt.size(), 1u + 96u * 17u);
  EXPECT_EQ(virt[0], "Input ----Function of---     Relay 1 Relay 2 Dial Out");
  for (int v = 0; v < 96; ++v) {
    const std::string& head = virt[1 + v * 17];
    EXPECT_EQ(head.substr(4), " D001 D001 D001 D001        No      No      No");
    for (int j = 0; j < 16; ++j) {
      EXPECT_EQ(virt[2 + v * 17 + j].substr(23), "-->Off") << "V" << v + 1 << " row " << j;
    }
  }
  EXPECT_EQ(virt[2], "     Off  Off  Off  Off-->Off");
  EXPECT_EQ(virt[3], "      On  Off  Off  Off-->Off");
  EXPECT_EQ(virt[17], "      On   On   On   On-->Off");

  // Every timer from and to D001 with "Off".
  const auto timers = Section(text, "Timer From Event To   Event LowLimit HighLimit");
  ASSERT_EQ(timers.size(), 200u);
  EXPECT_EQ(timers[0], "T001  D001  Off  D001  Off     0.0      0.0");
  EXPECT_EQ(timers[199], "T200  D001  Off  D001  Off     0.0      0.0");

  EXPECT_THAT(lines, Contains("Clock Sync Mode:         None"));
  EXPECT_THAT(lines, Contains("Time Zone                GMT  (UTC-0) "));
  EXPECT_THAT(lines, Contains("Daylight Saving Time     Disabled"));
  EXPECT_THAT(lines, Contains("Terminal Port1 Baud Rate:         300"));
  // Passwords print as stars even when empty.
  EXPECT_THAT(lines, Contains("Administrative Password: ********"));
  EXPECT_THAT(lines, Contains("Restricted Password:     ********"));
  EXPECT_THAT(lines, Contains("Passcode:                ********"));
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(CountOf(text, "\r"), 0);
}

TEST_F(Krv517xlListing, UnusedSourcesPrintDashesAndNoTable) {
  std::vector<uint8_t> image(kLength, 0);
  const size_t v5 = kVirtual + 4 * 16;
  for (int slot = 0; slot < 4; ++slot) Put(image, v5 + 2 * slot, 0xFFFF, 2);
  Put(image, v5 + 8, -1, 4);  // a full truth table still has no rows to show
  // A source that is a system input (S01 = 560) counts as unused too.
  const size_t v6 = kVirtual + 5 * 16;
  Put(image, v6 + 0, 560, 2);
  Put(image, v6 + 2, 570, 2);
  Put(image, v6 + 4, 571, 2);
  Put(image, v6 + 6, 0xFFFF, 2);
  const auto virt = Section(Convert(image), "Virtual Configuration:");
  ASSERT_EQ(virt.size(), 1u + 94u * 17u + 2u);
  EXPECT_EQ(virt[1 + 4 * 17], "V05  ---  ---  ---  ---         No      No      No");
  EXPECT_EQ(virt[2 + 4 * 17], "V06  S01  S11  ---  ---         No      No      No");
  EXPECT_EQ(virt[3 + 4 * 17], "V07  D001 D001 D001 D001        No      No      No");
}

TEST_F(Krv517xlListing, ChosenFieldsGiveExactLines) {
  std::vector<uint8_t> image(kLength, 0);
  // Event pair 3 (index 2) and two inputs that refer to it, one to a pair that does not exist.
  PutText(image, kOnNames + 2 * 9, "Occupied");
  PutText(image, kOffNames + 2 * 9, "Clear");
  PutText(image, kNames, "Main Track Circuit");
  PutText(image, kIds, "MTC1");
  image[kPairs] = 2;
  image[kPairs + 1] = 25;
  // A name that fills its 21 bytes without a terminator shows its first 20 characters.
  const std::string full = "Timer 200 is the last";
  for (size_t i = 0; i < full.size(); ++i) image[kNames + 559 * 21 + i] = full[i];
  image[kPairs + 559] = 19;
  PutText(image, kOnNames + 19 * 9, "Violate");
  PutText(image, kOffNames + 19 * 9, "Nominal");
  // Detect time of D065 (2.50 s) with flash, and a negative one of D002.
  Put(image, kDetect + 64 * 4, 250, 4);
  image[kFlash + 8] = 0x01;  // input 64 is bit 0 of byte 8
  Put(image, kDetect + 1 * 4, -150, 4);
  // Analog: A01 range 0 at the range's ends, slow; A03 range 2; A05 a range without a label.
  image[kRange + 0] = 0;
  image[kFilter + 0] = 1;
  Put(image, kLow + 0, -256, 4);
  Put(image, kHigh + 0, 255, 4);
  image[kRange + 2] = 2;
  image[kFilter + 2] = 2;  // only bit 0 counts: fast
  Put(image, kLow + 2 * 4, -256, 4);
  Put(image, kHigh + 2 * 4, 255, 4);
  image[kRange + 4] = 9;
  Put(image, kLow + 4 * 4, -5, 4);
  Put(image, kHigh + 4 * 4, 1234, 4);
  image[kRange + 6] = 1;
  Put(image, kLow + 6 * 4, -5, 4);
  Put(image, kHigh + 6 * 4, 511, 4);
  // V02: sources D006 in slot 1 and A01 in slot 3; table rows 1 and 2 on; relay 1; dial out.
  const size_t v2 = kVirtual + 16;
  Put(image, v2 + 0, 5, 2);
  Put(image, v2 + 2, 0xFFFF, 2);
  Put(image, v2 + 4, 256, 2);
  Put(image, v2 + 6, 0xFFFF, 2);
  Put(image, v2 + 8, 0x0006, 4);
  image[v2 + 12] = 0x01;
  image[v2 + 13] = 1;
  // V03: relay 2 only, other relay bits set that KRV-517XL does not use.
  image[kVirtual + 2 * 16 + 12] = 0xF2;
  for (int slot = 0; slot < 4; ++slot) Put(image, kVirtual + 2 * 16 + 2 * slot, 0xFFFF, 2);
  // T003: D011 on to V01 off, 1.5 s to 1234.5 s; T004 from none with a negative limit.
  Put(image, kTimerFrom + 2 * 2, 10, 2);
  image[kTimerFromState + 2] = 1;
  Put(image, kTimerTo + 2 * 2, 264, 2);
  Put(image, kTimerLow + 2 * 4, 15, 4);
  Put(image, kTimerHigh + 2 * 4, 12345, 4);
  Put(image, kTimerFrom + 3 * 2, -1, 2);
  Put(image, kTimerTo + 3 * 2, 559, 2);
  image[kTimerToState + 3] = 1;
  Put(image, kTimerLow + 3 * 4, -15, 4);
  // Speed monitor 2: D021 to none, 1320 feet, 45 MPH.
  Put(image, kSpeed + 12 + 0, 20, 2);
  Put(image, kSpeed + 12 + 2, 0xFFFF, 2);
  Put(image, kSpeed + 12 + 4, 1320, 4);
  Put(image, kSpeed + 12 + 8, 45, 4);
  // Network.
  const uint8_t mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFE};
  for (int i = 0; i < 6; ++i) image[kMac + i] = mac[i];
  const uint8_t ip[] = {192, 168, 1, 50}, mask[] = {255, 255, 255, 0}, gw[] = {192, 168, 1, 1};
  for (int i = 0; i < 4; ++i) {
    image[kIp + i] = ip[i];
    image[kMask + i] = mask[i];
    image[kGateway + i] = gw[i];
  }
  Put(image, kPort, 50001, 2);
  image[kMode] = 1;
  // System.
  image[kBaud1] = 9;
  image[kBaud2] = 12;
  PutText(image, kUnitName, "Yard East Signal 4");
  PutText(image, kAdmin, "SECRETAD");
  PutText(image, kRestricted, "RESTRICT");
  PutText(image, kPasscode, "31415926");
  image[kRing] = 3;
  PutText(image, kPrimaryDial, "18005551234");
  PutText(image, kSecondaryDial, "5550000");
  image[kClockMode] = 2;
  image[kSntp] = 10;
  image[kSntp + 3] = 7;
  Put(image, kHighTemp, 150, 4);
  Put(image, kLowTemp, -20, 4);
  image[kZone] = 7;
  image[kDst] = 1;

  const std::string text = Convert(image);
  const auto lines = Lines(text);

  const auto pairs = Section(text, "Event names:");
  EXPECT_EQ(pairs[3], " 3 Occupied Clear   ");
  EXPECT_EQ(pairs[20], "20 Violate  Nominal ");

  const auto inputs = Section(text, "Input names/Identifiers:");
  EXPECT_EQ(inputs[1], "D001 Main Track Circuit   MTC1     Occupied/Clear        3");
  EXPECT_EQ(inputs[2], "D002                                Invalid/Invalid      26");
  EXPECT_EQ(inputs[560], "T200 Timer 200 is the las           Violate/Nominal      20");

  const auto detect = Section(text, "Detect Times/Flash Enable:");
  ASSERT_EQ(detect.size(), 65u);
  EXPECT_EQ(detect[0],
            "Input  Time Flash  Input  Time Flash  Input  Time Flash  Input  Time Flash");
  EXPECT_EQ(detect[1], " D001   0.00  No    D065   2.50 Yes    D129   0.00  No    D193   0.00  No");
  // A negative stored time shows one minus sign, not one per part.
  EXPECT_EQ(detect[2], " D002  -1.50  No    D066   0.00  No    D130   0.00  No    D194   0.00  No");
  EXPECT_EQ(detect[64],
            " D064   0.00  No    D128   0.00  No    D192   0.00  No    D256   0.00  No");

  const auto analog = Section(text, "Analog Configuration:");
  ASSERT_EQ(analog.size(), 9u);
  EXPECT_EQ(analog[0], "Channel Range Filter Low Limit High Limit");
  EXPECT_EQ(analog[1], "A01 +/-25.5Vdc Slow    -25.6       25.5");
  EXPECT_EQ(analog[2], "A02 +/-25.5Vdc Fast      0.0        0.0");
  EXPECT_EQ(analog[3], "A03  +/-255Vdc Fast     -256        255");
  EXPECT_EQ(analog[5], "A05 Unknown (9) Fast       -5       1234");
  EXPECT_EQ(analog[7], "A07   +51.1Vdc Fast     -0.5       51.1");

  const auto virt = Section(text, "Virtual Configuration:");
  EXPECT_THAT(std::vector<std::string>(virt.begin() + 18, virt.begin() + 24),
              ElementsAre("V02  D006 ---  A01  ---        Yes      No     Yes",
                          "     Off       Off     -->Off", "      On       Off     --> On",
                          "     Off        On     --> On", "      On        On     -->Off",
                          "V03  ---  ---  ---  ---         No     Yes      No"));

  const auto timers = Section(text, "Timer From Event To   Event LowLimit HighLimit");
  EXPECT_EQ(timers[2], "T003  D011   On  V01   Off     1.5    1234.5");
  EXPECT_EQ(timers[3], "T004  ---   Off  T200   On    -1.5      0.0");

  const auto speed = Section(text, "Measure Speed Parameters:");
  ASSERT_EQ(speed.size(), 5u);
  EXPECT_EQ(speed[0], "Speed# (Event)  Input1 Input2 Distance  Threshold");
  EXPECT_EQ(speed[2], "   2    (S09)    D021   ---   1320 Feet   45 MPH");
  EXPECT_EQ(speed[4], "   4    (S11)    D001   D001     0 Feet    0 MPH");

  // Network and system, in order, to the end of the file.
  auto tail = std::find(lines.begin(), lines.end(), "IP Address:192.168.1.50");
  ASSERT_NE(tail, lines.end());
  EXPECT_THAT(
      std::vector<std::string>(tail, lines.end()),
      ElementsAre("IP Address:192.168.1.50", "Subnet Mask:255.255.255.0", "Gateway:192.168.1.1",
                  "Ethernet MAC Address:00-1A-2B-3C-4D-FE", "Port:50001", "TCP/IP mode:Telnet",
                  "Unit Name:", "Yard East Signal 4", "Terminal Port1 Baud Rate:         115200",
                  "Terminal Port2 Baud Rate:         Unknown (12)",
                  "Administrative Password: ********", "Restricted Password:     ********",
                  "Passcode:                ********", "Ring Count:              3",
                  "Primary Dial Number:     18005551234", "Secondary Dial Number:   5550000",
                  "Clock Sync Mode:         GPS ", "SNTP Server:             10.0.0.7",
                  "High Temp Limit:         150 Degrees F",
                  "Low Temp Limit:          -20 Degrees F",
                  "Time Zone                HAST (UTC-10)", "Daylight Saving Time     Enabled "));
  // The stored passwords never reach the listing.
  EXPECT_EQ(CountOf(text, "SECRETAD"), 0);
  EXPECT_EQ(CountOf(text, "RESTRICT"), 0);
  EXPECT_EQ(CountOf(text, "31415926"), 0);
}

TEST_F(Krv517xlListing, IndexesWithoutLabelsPrintUnknown) {
  std::vector<uint8_t> image(kLength, 0);
  image[kBaud1] = 10;
  image[kBaud2] = 255;
  image[kClockMode] = 3;
  image[kZone] = 8;
  image[kDst] = 2;
  image[kRange + 7] = 7;
  const auto lines = Lines(Convert(image));
  EXPECT_THAT(lines, Contains("Terminal Port1 Baud Rate:         Unknown (10)"));
  EXPECT_THAT(lines, Contains("Terminal Port2 Baud Rate:         Unknown (255)"));
  EXPECT_THAT(lines, Contains("Clock Sync Mode:         Unknown (3)"));
  EXPECT_THAT(lines, Contains("Time Zone                Unknown (8)"));
  EXPECT_THAT(lines, Contains("Daylight Saving Time     Unknown (2)"));
  EXPECT_THAT(lines, Contains("A08 Unknown (7) Fast        0          0"));
  EXPECT_THAT(lines, Not(Contains("Time Zone                HAST (UTC-10)")));
}

TEST_F(Krv517xlListing, ControlCharactersInTextsCannotBreakLines) {
  std::vector<uint8_t> image(kLength, 0);
  PutText(image, kNames + 3 * 21, "Line\nbreak\rhere");
  PutText(image, kUnitName, "Unit\n\x7f\tName");
  PutText(image, kOnNames, "A\nB");
  const std::string text = Convert(image);
  const auto inputs = Section(text, "Input names/Identifiers:");
  ASSERT_EQ(inputs.size(), 561u);
  EXPECT_EQ(inputs[4].substr(0, 25), "D004 Line?break?here     ");
  EXPECT_THAT(Lines(text), Contains("Unit???Name"));
  EXPECT_EQ(Section(text, "Event names:")[1], " 1 A?B              ");
  EXPECT_EQ(CountOf(text, "\r"), 0);
}

TEST_F(Krv517xlListing, ShortFileListsZerosBeyondItsEnd) {
  std::vector<uint8_t> full(kLength, 0);
  PutText(full, kUnitName, "Short One");
  std::vector<uint8_t> prefix(full.begin(), full.begin() + kAdmin);
  const std::string shortText = Convert(prefix);
  EXPECT_EQ(shortText, Convert(full));
  EXPECT_THAT(Lines(shortText), Contains("Short One"));
  // An empty file lists like an all-zero one.
  EXPECT_EQ(Convert({}), Convert(std::vector<uint8_t>(kLength, 0)));
  // A file cut inside the detect times lists the ones it holds and zeros after.
  std::vector<uint8_t> cut(kLength, 0);
  Put(cut, kDetect, 1234, 4);
  Put(cut, kDetect + 4, 999, 4);
  cut.resize(kDetect + 4);  // ends after the first detect time
  const auto detect = Section(Convert(cut), "Detect Times/Flash Enable:");
  EXPECT_EQ(detect[1].substr(0, 18), " D001  12.34  No  ");
  EXPECT_EQ(detect[2].substr(0, 18), " D002   0.00  No  ");
}

}  // namespace
}  // namespace zel::s2t
