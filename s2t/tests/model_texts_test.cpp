// The texts that differ between models: clock sync, time zones, distance units, three event
// names, peer protocol and network extras.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"
#include "zel/s2t/converter.h"

namespace zel::s2t {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using testing::Lines;
using ::testing::Not;

std::vector<std::string> ListOf(const SetupDatabase& db) {
  const ConverterModel* model = FindConverterModel(db.type());
  EXPECT_NE(model, nullptr);
  return Lines(ListSetup(db, *model));
}

TEST(ModelTexts, ClockSyncInputShowsItsIdentifierOrTheModelsNoneText) {
  SetupDatabase krv517(3);
  krv517.RestoreFactoryDefaults();
  EXPECT_THAT(ListOf(krv517), Contains("Clock Sync Input:        None"));
  krv517.SetClockSyncInput(5);
  EXPECT_THAT(ListOf(krv517), Contains("Clock Sync Input:        D006"));

  SetupDatabase krv517e(4);
  krv517e.RestoreFactoryDefaults();
  EXPECT_THAT(ListOf(krv517e), Contains("Clock Sync Input:        ---       (SNTP)"));
  krv517e.SetClockSyncInput(255);
  EXPECT_THAT(ListOf(krv517e), Contains("Clock Sync Input:        D256"));

  // One-byte input numbers: 255 is none.
  SetupDatabase krv19(0);
  krv19.RestoreFactoryDefaults();
  krv19.SetClockSyncInput(17);
  EXPECT_THAT(ListOf(krv19), Contains("Clock Sync Input:        D18"));
  krv19.SetClockSyncInput(255);
  EXPECT_THAT(ListOf(krv19), Contains("Clock Sync Input:        None"));
}

TEST(ModelTexts, ClockSyncModeLabels) {
  SetupDatabase krv61e(13);
  krv61e.RestoreFactoryDefaults();
  krv61e.SetClockSyncMode(0);
  EXPECT_THAT(ListOf(krv61e), Contains("Clock Sync Mode:         Digital"));
  krv61e.SetClockSyncMode(1);
  EXPECT_THAT(ListOf(krv61e), Contains("Clock Sync Mode:         SNTP"));
  SetupDatabase krv37e(10);
  krv37e.SetClockSyncMode(0);
  krv37e.SetRecordFlashDetails(1);
  const auto lines = ListOf(krv37e);
  EXPECT_THAT(lines, Contains("Clock Sync Mode:         None"));
  EXPECT_THAT(lines, Contains("Record Flash Details     On"));
  krv37e.SetClockSyncMode(200);
  EXPECT_THAT(ListOf(krv37e), Contains("Clock Sync Mode:         Unknown (200)"));
}

TEST(ModelTexts, TimeZoneListsAndFallback) {
  SetupDatabase krv517e(4);
  krv517e.SetTimeZone(0);
  EXPECT_THAT(ListOf(krv517e), Contains("Time Zone                AST (UTC-4)"));
  krv517e.SetTimeZone(6);
  EXPECT_THAT(ListOf(krv517e), Contains("Time Zone                HAST (UTC-10)"));
  krv517e.SetTimeZone(7);  // the KRV-517E list ends at 6
  EXPECT_THAT(ListOf(krv517e), Contains("Time Zone                Unknown (7)"));
  SetupDatabase slg(11);
  slg.SetTimeZone(3);
  const auto lines = ListOf(slg);
  EXPECT_THAT(lines, Contains(HasSubstr("Time Zone                Zone 3")));
  // A model without a time zone field prints no time zone line.
  SetupDatabase krv517(3);
  EXPECT_THAT(ListOf(krv517), Not(Contains(HasSubstr("Time Zone"))));
}

TEST(ModelTexts, DistanceUnitsWhereTheModelStoresThem) {
  SetupDatabase krv19(0);
  krv19.RestoreFactoryDefaults();
  krv19.SetSpeedSensor1(0, 2);
  krv19.SetSpeedDistance(0, 5280);
  krv19.SetSpeedThreshold(0, 180);
  krv19.SetSpeedDistanceUnit(0, 1);
  EXPECT_THAT(ListOf(krv19), Contains("   1    (---)    D03    ---   5280 Feet  180 MPH"));
  krv19.SetSpeedDistanceUnit(0, 0);
  EXPECT_THAT(ListOf(krv19), Contains("   1    (---)    D03    ---   5280 Inches  180 MPH"));
  krv19.SetSpeedDistanceUnit(0, 9);
  EXPECT_THAT(ListOf(krv19), Contains(HasSubstr("5280 Unknown (9)  180 MPH")));

  SetupDatabase krv19xl(1);
  krv19xl.SetSpeedDistanceUnit(3, 1);
  const auto lines = ListOf(krv19xl);
  EXPECT_THAT(lines, Contains(HasSubstr("   4    (---)")));
  EXPECT_THAT(lines, Contains(HasSubstr("     0 Feet    0 MPH")));
  EXPECT_THAT(lines, Contains("   1    (S02)    D01    D01      0 Inches    0 MPH"));
}

TEST(ModelTexts, Krv583FamilyListsThreeNamesPerPairInWideColumns) {
  SetupDatabase db(7);
  db.SetOnName(1, "OccupiedLong");  // 12 characters
  db.SetOffName(1, "Unoccupied");
  db.SetCodingName(1, "Code 180");
  db.SetName(0, "Twenty-six characters long");
  db.SetIdentifier(0, "Twelve chars");
  db.SetEventPair(0, 1);
  const auto lines = ListOf(db);
  EXPECT_THAT(lines, Contains(" 2 OccupiedLong Unoccupied   Code 180    "));
  EXPECT_THAT(lines, Contains("001  Twenty-six characters long Twelve chars OccupiedLong/"
                              "Unoccupied/Code 180           2"));
}

TEST(ModelTexts, SlgmlPeerProtocolStaleTimeoutAndMicrolokFlag) {
  SetupDatabase db(12);
  db.SetPeerSourceAddress(0, 65535);
  db.SetPeerDestinationAddress(1, 12);
  db.SetPeerType(0, 1);
  db.SetPeerType(1, 2);
  db.SetPeerBooleanInputBits(1, 128);
  db.SetStaleDataTimeout(123);
  db.SetMicrolokClockSync(1);
  const auto lines = ListOf(db);
  auto at = std::find(lines.begin(), lines.end(), "Peer Protocol Settings:");
  ASSERT_NE(at, lines.end());
  EXPECT_THAT(std::vector<std::string>(at, lines.end()),
              ::testing::ElementsAre(
                  "Peer Protocol Settings:", "Station 1:", "  Source Address:        65535",
                  "  Destination Address:   0", "  Type:                  Vital",
                  "  Boolean Input Bits:    0", "Station 2:", "  Source Address:        0",
                  "  Destination Address:   12", "  Type:                  Non-Vital",
                  "  Boolean Input Bits:    128", "Stale Data Timeout:      12.3",
                  "Synchronize Microlok II Clock: Yes"));
  db.SetPeerType(0, 3);
  EXPECT_THAT(ListOf(db), Contains("  Type:                  Unknown (3)"));
}

TEST(ModelTexts, UdpPortsAndSecondaryAddresses) {
  SetupDatabase xc(6);
  xc.SetUdpPort(4001);
  xc.SetSecondaryUdpPort(4002);
  xc.SetSecondaryIp(15, {10, 1, 2, 3});
  auto lines = ListOf(xc);
  EXPECT_THAT(lines, Contains("Primary UDP Port:4001"));
  EXPECT_THAT(lines, Contains("Secondary UDP Port:4002"));
  EXPECT_THAT(lines, Contains("Secondary IP Address 16:10.1.2.3"));
  EXPECT_THAT(lines, Not(Contains(HasSubstr("Secondary IP Address 17"))));
  SetupDatabase ax(18);
  ax.SetUdpPort(65535);
  ax.SetSecondaryIp(0, {255, 255, 255, 255});
  lines = ListOf(ax);
  EXPECT_THAT(lines, Contains("UDP Port:65535"));
  EXPECT_THAT(lines, Contains("Secondary IP Address  1:255.255.255.255"));
  EXPECT_THAT(lines, Not(Contains(HasSubstr("Primary UDP Port"))));
}

TEST(ModelTexts, SlgFamilyHasOneRelayAndNoDetectTimes) {
  SetupDatabase db(14);
  db.SetVirtualSource(7, 0, 998);
  for (int slot = 1; slot < 4; ++slot) db.SetVirtualSource(7, slot, -1);
  db.SetRelay(7, 0, true);
  db.SetTruthTable(7, 2);
  const auto lines = ListOf(db);
  EXPECT_THAT(lines, Contains("Input ----Function of---     Relay Dial Out"));
  EXPECT_THAT(lines, Contains("V08  D999 ***  ***  ***        Yes      No"));
  EXPECT_THAT(lines, Contains("      On               --> On"));
  EXPECT_THAT(lines, Contains(" D001    N/A  No    D251    N/A  No    D501    N/A  No    D751    "
                              "N/A  No"));
}

}  // namespace
}  // namespace zel::s2t
