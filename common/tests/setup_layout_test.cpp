#include "zel/setup_layout.h"

#include <gtest/gtest.h>

#include <set>

namespace zel {
namespace {

struct Expected {
  RecorderType type;
  const char* model;
  std::size_t fieldLength;
  std::size_t writtenLength;
  int digital, analog, virt, timers, speed, pairs, nameW, idW;
};

// The recorder's per-model counts and lengths, as the recorders define them.
const Expected kExpected[] = {
    {0, "KRV-19", 1637, 1664, 18, 4, 8, 0, 1, 18, 21, 9},
    {1, "KRV-19XL", 2186, 2304, 18, 4, 8, 16, 4, 18, 21, 9},
    {2, "KRV-61", 4758, 4864, 64, 8, 16, 32, 4, 16, 21, 9},
    {3, "KRV-517", 18174, 18176, 256, 8, 16, 200, 8, 16, 21, 9},
    {4, "KRV-517E", 21642, 21760, 256, 8, 96, 200, 8, 16, 21, 9},
    {5, "KRV-517XL", 23430, 23552, 256, 8, 96, 200, 4, 20, 21, 9},
    {6, "KRV-517XC", 183417, 183424, 4096, 128, 32, 999, 16, 16, 21, 9},
    {7, "KRV-583", 13399, 13440, 256, 16, 16, 0, 1, 16, 27, 13},
    {8, "KRV-583E", 13422, 13440, 256, 16, 16, 0, 1, 16, 27, 13},
    {9, "KRV-85E", 6826, 6912, 64, 32, 48, 32, 0, 16, 21, 9},
    {10, "KRV-37E", 2515, 2560, 20, 4, 8, 16, 4, 20, 21, 9},
    {11, "SLG", 9742, 9856, 256, 4, 8, 16, 0, 20, 21, 9},
    {12, "SLGML", 9765, 9856, 256, 4, 8, 16, 0, 20, 21, 9},
    {13, "KRV-61E", 5927, 6016, 64, 8, 32, 32, 4, 20, 21, 9},
    {14, "SLG808", 32782, 32896, 999, 4, 8, 16, 0, 20, 21, 9},
    {16, "KRV-583A", 14110, 14208, 256, 16, 16, 0, 4, 16, 27, 13},
    {18, "KRV-517AX", 144154, 144256, 4096, 64, 32, 99, 16, 16, 21, 9},
};

std::size_t OffsetOf(const SetupLayout& l, SetupField id) {
  const LayoutField* f = l.Find(id);
  EXPECT_NE(f, nullptr) << l.modelName << " lacks field " << static_cast<int>(id);
  return f ? f->offset : 0;
}

int CountOf(const SetupLayout& l, SetupField id) {
  const LayoutField* f = l.Find(id);
  return f ? f->count : -1;
}

TEST(SetupLayout, LengthsAndCountsOfEveryModel) {
  std::set<const SetupLayout*> seen;
  for (const auto& e : kExpected) {
    SCOPED_TRACE(e.model);
    const SetupLayout* l = LayoutOf(e.type);
    ASSERT_NE(l, nullptr);
    seen.insert(l);
    EXPECT_STREQ(l->modelName, e.model);
    EXPECT_EQ(l->fieldLength, e.fieldLength);
    EXPECT_EQ(l->writtenLength, e.writtenLength);
    // The fields cover the file without gaps or overlaps.
    std::size_t at = 0;
    for (const auto& f : l->fields()) {
      EXPECT_EQ(f.offset, at) << f.name;
      at += f.size();
      if (f.kind == FieldKind::kRecords) {
        int inRecord = 0;
        for (const auto& m : f.members) {
          EXPECT_EQ(m.offset, inRecord) << f.name << "." << m.name;
          inRecord += m.size();
        }
        EXPECT_EQ(inRecord, f.width) << f.name;
      }
    }
    EXPECT_EQ(at, e.fieldLength);
    EXPECT_EQ(l->digitalCount, e.digital);
    EXPECT_EQ(l->analogCount, e.analog);
    EXPECT_EQ(l->virtualCount, e.virt);
    EXPECT_EQ(l->timerCount, e.timers);
    EXPECT_EQ(l->speedMonitorCount, e.speed);
    EXPECT_EQ(l->eventPairCount, e.pairs);
    EXPECT_EQ(l->nameWidth, e.nameW);
    EXPECT_EQ(l->identifierWidth, e.idW);
    EXPECT_EQ(l->eventNameWidth, e.idW);
    EXPECT_EQ(l->hasCodingNames, e.nameW == 27);
    // The arrays agree with the counts.
    const int names = e.digital + e.analog + e.virt + e.timers;
    EXPECT_EQ(CountOf(*l, SetupField::kInputNames), names);
    EXPECT_EQ(CountOf(*l, SetupField::kInputIdentifiers), names);
    EXPECT_EQ(CountOf(*l, SetupField::kEventPair), names);
    EXPECT_EQ(l->Find(SetupField::kInputNames)->width, e.nameW);
    EXPECT_EQ(l->Find(SetupField::kInputIdentifiers)->width, e.idW);
    EXPECT_EQ(CountOf(*l, SetupField::kOnEventNames), e.pairs);
    EXPECT_EQ(CountOf(*l, SetupField::kOffEventNames), e.pairs);
    EXPECT_EQ(CountOf(*l, SetupField::kCodingEventNames), e.nameW == 27 ? e.pairs : -1);
    EXPECT_EQ(CountOf(*l, SetupField::kVirtualInputs), e.virt);
    EXPECT_EQ(CountOf(*l, SetupField::kAnalogHighThresholds), e.analog);
    EXPECT_EQ(CountOf(*l, SetupField::kAnalogLowThresholds), e.analog);
    if (l->Has(SetupField::kDetectTimes)) {
      EXPECT_EQ(CountOf(*l, SetupField::kDetectTimes), e.digital);
    }
    if (const LayoutField* flash = l->Find(SetupField::kFlashEnableBits)) {
      EXPECT_EQ(flash->width, (e.digital + 7) / 8);
    }
    for (SetupField t :
         {SetupField::kTimerFromInput, SetupField::kTimerFromState, SetupField::kTimerToInput,
          SetupField::kTimerToState, SetupField::kTimerLowLimit, SetupField::kTimerHighLimit}) {
      EXPECT_EQ(CountOf(*l, t), e.timers > 0 ? e.timers : -1);
    }
    if (l->Has(SetupField::kSpeedMonitors)) {
      EXPECT_EQ(CountOf(*l, SetupField::kSpeedMonitors), e.speed);
    }
    // Keys are unique, so a field is found again by its key.
    for (const auto& f : l->fields()) {
      if (f.reserved()) continue;
      EXPECT_EQ(l->Find(f.key), &f) << f.key;
    }
  }
  EXPECT_EQ(seen.size(), 17u);
  EXPECT_EQ(AllLayouts().size(), 17u);
}

TEST(SetupLayout, TypesWithoutOrSharingALayout) {
  EXPECT_EQ(LayoutOf(17), nullptr);
  EXPECT_EQ(LayoutOf(-1), nullptr);
  EXPECT_EQ(LayoutOf(19), nullptr);
  ASSERT_NE(LayoutOf(14), nullptr);
  EXPECT_EQ(LayoutOf(14), LayoutOf(15));
}

TEST(SetupLayout, Krv517OffsetsByteForByte) {
  const SetupLayout& l = *LayoutOf(3);
  using F = SetupField;
  const std::pair<F, std::size_t> offsets[] = {
      {F::kBaud, 0},
      {F::kUnitName, 1},
      {F::kAdministrativePassword, 82},
      {F::kRestrictedPassword, 91},
      {F::kPasscode, 100},
      {F::kRingCount, 109},
      {F::kInputNames, 110},
      {F::kInputIdentifiers, 10190},
      {F::kOnEventNames, 14510},
      {F::kOffEventNames, 14654},
      {F::kEventPair, 14798},
      {F::kDetectTimes, 15278},
      {F::kFlashEnableBits, 15790},
      {F::kAnalogRange, 15822},
      {F::kAnalogFilter, 15830},
      {F::kAnalogHighThresholds, 15838},
      {F::kAnalogLowThresholds, 15854},
      {F::kVirtualInputs, 15870},
      {F::kPrimaryDialNumber, 16062},
      {F::kSecondaryDialNumber, 16083},
      {F::kClockSyncInput, 16104},
      {F::kHighTemperatureLimit, 16106},
      {F::kLowTemperatureLimit, 16108},
      {F::kSpeedMonitors, 16110},
      {F::kTimerFromInput, 16174},
      {F::kTimerFromState, 16574},
      {F::kTimerToInput, 16774},
      {F::kTimerToState, 17174},
      {F::kTimerLowLimit, 17374},
      {F::kTimerHighLimit, 17774},
  };
  for (const auto& [id, offset] : offsets) {
    EXPECT_EQ(OffsetOf(l, id), offset) << static_cast<int>(id);
  }
  const LayoutField* v = l.Find(F::kVirtualInputs);
  EXPECT_EQ(v->width, 12);
  EXPECT_EQ(v->Member(SetupMember::kSourceInputs)->offset, 0);
  EXPECT_EQ(v->Member(SetupMember::kTruthTable)->offset, 8);
  EXPECT_EQ(v->Member(SetupMember::kRelayFlags)->offset, 10);
  EXPECT_EQ(v->Member(SetupMember::kDialOut)->offset, 11);
  const LayoutField* s = l.Find(F::kSpeedMonitors);
  EXPECT_EQ(s->width, 8);
  EXPECT_EQ(s->Member(SetupMember::kThreshold)->offset, 6);
  EXPECT_TRUE(s->Member(SetupMember::kThreshold)->isSigned);
  EXPECT_FALSE(s->Member(SetupMember::kSensor1)->isSigned);
  EXPECT_TRUE(l.Find(F::kTimerFromInput)->isSigned);
  EXPECT_FALSE(l.Find(F::kDetectTimes)->isSigned);
}

TEST(SetupLayout, Krv517xcStoresNamesAfterEverythingElse) {
  const SetupLayout& l = *LayoutOf(6);
  // 5255 names of 21 bytes, then 5255 identifiers of 9 bytes, end the file.
  EXPECT_EQ(OffsetOf(l, SetupField::kInputNames), 183417u - 5255u * 30u);
  EXPECT_EQ(OffsetOf(l, SetupField::kInputIdentifiers), 183417u - 5255u * 9u);
  EXPECT_EQ(l.fields().back().id, SetupField::kInputIdentifiers);
  // The event-name arrays directly follow SYS: NET 21 + bauds 2 + UDP 4 + 64 + SYS 109.
  EXPECT_EQ(OffsetOf(l, SetupField::kOnEventNames), 200u);
  EXPECT_LT(OffsetOf(l, SetupField::kDaylightSavingTime), OffsetOf(l, SetupField::kInputNames));
}

TEST(SetupLayout, Krv583FamilyStartsWithNamesAnd583eEndsWithNetwork) {
  for (RecorderType t : {7, 8}) {
    const SetupLayout& l = *LayoutOf(t);
    EXPECT_EQ(OffsetOf(l, SetupField::kInputNames), 0u);
    EXPECT_EQ(OffsetOf(l, SetupField::kInputIdentifiers), 288u * 27u);
    EXPECT_EQ(OffsetOf(l, SetupField::kCodingEventNames), 288u * 40u + 32u * 13u);
    EXPECT_FALSE(l.Has(SetupField::kFlashEnableBits));
  }
  const SetupLayout& e = *LayoutOf(8);
  // IP, mask and gateway, then the MAC, port, mode, time zone and DST close the file.
  EXPECT_EQ(OffsetOf(e, SetupField::kIpAddress), 13399u);
  EXPECT_EQ(OffsetOf(e, SetupField::kSubnetMask), 13403u);
  EXPECT_EQ(OffsetOf(e, SetupField::kGateway), 13407u);
  EXPECT_EQ(OffsetOf(e, SetupField::kMacAddress), 13411u);
  EXPECT_EQ(OffsetOf(e, SetupField::kTcpPort), 13417u);
  EXPECT_EQ(OffsetOf(e, SetupField::kDaylightSavingTime), 13421u);
  // The speed record is one record ending the KRV-583 file.
  const SetupLayout& p = *LayoutOf(7);
  EXPECT_EQ(OffsetOf(p, SetupField::kSpeedMeasurement), 13391u);
  EXPECT_EQ(CountOf(p, SetupField::kSpeedMeasurement), 1);
}

TEST(SetupLayout, Krv517axReservesOneByteAfterEachTimerStateArray) {
  const SetupLayout& l = *LayoutOf(18);
  EXPECT_EQ(OffsetOf(l, SetupField::kUdpPort), 24u);  // after NET, two bauds, one reserved
  EXPECT_EQ(OffsetOf(l, SetupField::kTimerFromInput), 143156u);
  EXPECT_EQ(OffsetOf(l, SetupField::kTimerFromState), 143354u);
  EXPECT_EQ(OffsetOf(l, SetupField::kTimerToInput), 143454u);  // 143453 is reserved
  EXPECT_EQ(OffsetOf(l, SetupField::kTimerToState), 143652u);
  EXPECT_EQ(OffsetOf(l, SetupField::kTimerLowLimit), 143752u);  // 143751 is reserved
  EXPECT_EQ(OffsetOf(l, SetupField::kSntpServerAddress), 144150u);
  int reservedAfterStates = 0;
  for (std::size_t i = 1; i < l.fields().size(); ++i) {
    const auto& prev = l.fields()[i - 1];
    if (l.fields()[i].reserved() &&
        (prev.id == SetupField::kTimerFromState || prev.id == SetupField::kTimerToState)) {
      EXPECT_EQ(l.fields()[i].size(), 1u);
      ++reservedAfterStates;
    }
  }
  EXPECT_EQ(reservedAfterStates, 2);
}

TEST(SetupLayout, Krv19KeepsSpeedAsPlainFieldsAndPadsVirtualRecords) {
  const SetupLayout& l = *LayoutOf(0);
  EXPECT_EQ(OffsetOf(l, SetupField::kUnitName), 1477u);
  EXPECT_EQ(OffsetOf(l, SetupField::kBaud), 1577u);
  EXPECT_EQ(OffsetOf(l, SetupField::kSpeedSensor1), 1630u);
  EXPECT_EQ(OffsetOf(l, SetupField::kDistanceUnit), 1636u);
  const LayoutField* v = l.Find(SetupField::kVirtualInputs);
  EXPECT_EQ(v->width, 20);
  EXPECT_EQ(v->Member(SetupMember::kTruthTable)->offset, 16);
  EXPECT_FALSE(l.Has(SetupField::kSpeedMonitors));
}

TEST(SetupLayout, KeysOfFieldNames) {
  EXPECT_EQ(FieldKey("TCP/IP port"), "tcp_ip_port");
  EXPECT_EQ(FieldKey("ON event names"), "on_event_names");
  EXPECT_EQ(FieldKey("baud index port 1"), "baud_index_port_1");
  EXPECT_EQ(FieldKey("  sensor 1 "), "sensor_1");
  EXPECT_EQ(FieldKey(""), "");
  const SetupLayout& xl = *LayoutOf(5);
  std::vector<std::string> keys;
  for (const auto& f : xl.fields()) {
    if (!f.reserved()) keys.push_back(f.key);
  }
  const std::vector<std::string> head{"mac_address",       "ip_address",        "subnet_mask",
                                      "gateway",           "tcp_ip_port",       "tcp_ip_mode",
                                      "baud_index_port_1", "baud_index_port_2", "unit_name"};
  ASSERT_GE(keys.size(), head.size());
  EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + head.size()), head);
  EXPECT_EQ(keys.back(), "sntp_server_address");
}

TEST(SetupLayout, LittleEndianNumbers) {
  const uint8_t neg[] = {0xFE, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(ReadLittleEndian(neg, 2, true), -2);
  EXPECT_EQ(ReadLittleEndian(neg, 2, false), 65534);
  EXPECT_EQ(ReadLittleEndian(neg, 1, true), -2);
  EXPECT_EQ(ReadLittleEndian(neg, 1, false), 254);
  EXPECT_EQ(ReadLittleEndian(neg, 4, true), -2);
  EXPECT_EQ(ReadLittleEndian(neg, 4, false), 4294967294LL);
  const uint8_t pos[] = {0x34, 0x12, 0x00, 0x80};
  EXPECT_EQ(ReadLittleEndian(pos, 2, true), 0x1234);
  EXPECT_EQ(ReadLittleEndian(pos, 4, true), -2147478988LL);  // 0x80001234
  uint8_t out[4] = {9, 9, 9, 9};
  WriteLittleEndian(out, 2, -1);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0xFF);
  EXPECT_EQ(out[2], 9);  // never past the width
  WriteLittleEndian(out, 4, 0x01020304);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[3], 1);
}

}  // namespace
}  // namespace zel
