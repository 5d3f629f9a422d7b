// The per-model field tables of setupdata.bin.
#include "zel/setup_layout.h"

#include <array>
#include <cctype>
#include <memory>

namespace zel {
namespace {

using F = SetupField;
using M = SetupMember;

LayoutField Num(F id, const char* name, int count, int width, bool isSigned = false) {
  return LayoutField{id, name, {}, FieldKind::kNumber, width, count, isSigned, {}, 0};
}
LayoutField Byte(F id, const char* name) { return Num(id, name, 1, 1); }
LayoutField U16(F id, const char* name) { return Num(id, name, 1, 2); }
LayoutField I16(F id, const char* name) { return Num(id, name, 1, 2, true); }
LayoutField I32(F id, const char* name) { return Num(id, name, 1, 4, true); }
LayoutField Text(F id, const char* name, int count, int width) {
  return LayoutField{id, name, {}, FieldKind::kText, width, count, false, {}, 0};
}
LayoutField Bytes(F id, const char* name, int count, int width) {
  return LayoutField{id, name, {}, FieldKind::kBytes, width, count, false, {}, 0};
}
LayoutField Reserved(int n) {
  return LayoutField{F::kReserved, "reserved", {}, FieldKind::kReserved, 1, n, false, {}, 0};
}
LayoutMember Mem(M id, const char* name, int width, bool isSigned = false, int count = 1) {
  return LayoutMember{id, name, {}, width, count, isSigned, 0};
}
LayoutMember MemReserved(int n) { return Mem(M::kReserved, "reserved", 1, false, n); }
LayoutField Records(F id, const char* name, int count, std::vector<LayoutMember> members) {
  int offset = 0;
  for (auto& m : members) {
    m.offset = offset;
    m.key = FieldKey(m.name);
    offset += m.size();
  }
  return LayoutField{id, name, {}, FieldKind::kRecords, offset, count, false, std::move(members),
                     0};
}

// Appends fields to a list; groups that recur in many models are helpers.
class Seq {
 public:
  Seq& operator<<(LayoutField f) {
    fields.push_back(std::move(f));
    return *this;
  }
  Seq& Net() {
    return *this << Bytes(F::kMacAddress, "MAC address", 1, 6)
                 << Bytes(F::kIpAddress, "IP address", 1, 4)
                 << Bytes(F::kSubnetMask, "subnet mask", 1, 4)
                 << Bytes(F::kGateway, "gateway", 1, 4) << U16(F::kTcpPort, "TCP/IP port")
                 << Byte(F::kTcpMode, "TCP/IP mode");
  }
  Seq& Sys() {
    return *this << Text(F::kUnitName, "unit name", 1, 81)
                 << Text(F::kAdministrativePassword, "administrative password", 1, 9)
                 << Text(F::kRestrictedPassword, "restricted password", 1, 9)
                 << Text(F::kPasscode, "passcode", 1, 9) << Byte(F::kRingCount, "ring count");
  }
  Seq& TwoBauds() {
    return *this << Byte(F::kBaudPort1, "baud index port 1")
                 << Byte(F::kBaudPort2, "baud index port 2");
  }
  // Names, identifiers, ON and OFF names (CODING too when coding), event pairs.
  Seq& Names(int inputs, int pairs, int nameW, int idW, bool coding = false) {
    *this << Text(F::kInputNames, "input names", inputs, nameW)
          << Text(F::kInputIdentifiers, "input identifiers", inputs, idW);
    return EventNames(pairs, idW, coding) << Num(F::kEventPair, "event pair", inputs, 1);
  }
  Seq& EventNames(int pairs, int w, bool coding = false) {
    *this << Text(F::kOnEventNames, "ON event names", pairs, w)
          << Text(F::kOffEventNames, "OFF event names", pairs, w);
    if (coding) *this << Text(F::kCodingEventNames, "CODING event names", pairs, w);
    return *this;
  }
  Seq& Detect(int n, int width, bool isSigned) {
    return *this << Num(F::kDetectTimes, "detect times", n, width, isSigned);
  }
  Seq& Flash(int bytes) {
    return *this << Bytes(F::kFlashEnableBits, "flash enable bits", 1, bytes);
  }
  Seq& RangeFilter(int n) {
    return *this << Num(F::kAnalogRange, "analog range", n, 1)
                 << Num(F::kAnalogFilter, "analog filter", n, 1);
  }
  Seq& Thresholds(int n, int width) {
    return *this << Num(F::kAnalogHighThresholds, "analog high thresholds", n, width, true)
                 << Num(F::kAnalogLowThresholds, "analog low thresholds", n, width, true);
  }
  // {4 source inputs, truth table, relay flags, dial out, reserved}
  Seq& Virtual(int n, int srcW, bool srcSigned, int ttW, bool ttSigned, int tail) {
    std::vector<LayoutMember> m{Mem(M::kSourceInputs, "source inputs", srcW, srcSigned, 4),
                                Mem(M::kTruthTable, "truth table", ttW, ttSigned),
                                Mem(M::kRelayFlags, "relay flags", 1),
                                Mem(M::kDialOut, "dial out", 1)};
    if (tail > 0) m.push_back(MemReserved(tail));
    return *this << Records(F::kVirtualInputs, "virtual inputs", n, std::move(m));
  }
  Seq& Dials() {
    return *this << Text(F::kPrimaryDialNumber, "primary dial number", 1, 21)
                 << Text(F::kSecondaryDialNumber, "secondary dial number", 1, 21);
  }
  Seq& Temps(int width) {
    return *this << Num(F::kHighTemperatureLimit, "high temperature limit", 1, width, true)
                 << Num(F::kLowTemperatureLimit, "low temperature limit", 1, width, true);
  }
  Seq& Speed(int n, int sensorW, bool sensorSigned, int valueW, std::vector<LayoutMember> tail = {},
             std::vector<LayoutMember> gap = {}) {
    std::vector<LayoutMember> m{Mem(M::kSensor1, "sensor 1", sensorW, sensorSigned),
                                Mem(M::kSensor2, "sensor 2", sensorW, sensorSigned)};
    for (auto& g : gap) m.push_back(g);
    m.push_back(Mem(M::kDistance, "distance", valueW, true));
    m.push_back(Mem(M::kThreshold, "threshold", valueW, true));
    for (auto& t : tail) m.push_back(t);
    return *this << Records(F::kSpeedMonitors, "speed monitors", n, std::move(m));
  }
  // The six parallel timer arrays; gap reserves one byte after each state array.
  Seq& Timers(int n, int inputW, bool inputSigned, int limitW, bool gap = false) {
    *this << Num(F::kTimerFromInput, "timer from input", n, inputW, inputSigned)
          << Num(F::kTimerFromState, "timer from state", n, 1);
    if (gap) *this << Reserved(1);
    *this << Num(F::kTimerToInput, "timer to input", n, inputW, inputSigned)
          << Num(F::kTimerToState, "timer to state", n, 1);
    if (gap) *this << Reserved(1);
    return *this << Num(F::kTimerLowLimit, "timer low limit", n, limitW, true)
                 << Num(F::kTimerHighLimit, "timer high limit", n, limitW, true);
  }
  Seq& TzDst() {
    return *this << Byte(F::kTimeZone, "time zone")
                 << Byte(F::kDaylightSavingTime, "daylight saving time");
  }
  Seq& Sntp() { return *this << Bytes(F::kSntpServerAddress, "SNTP server address", 1, 4); }
  Seq& SyncMode() { return *this << Byte(F::kClockSyncMode, "clock sync mode") << Reserved(1); }
  Seq& SyncModeOpen() {
    return *this << Byte(F::kClockSyncMode, "clock sync mode")
                 << Byte(F::kOpenClockSyncInput, "open clock sync input");
  }
  std::vector<LayoutField> fields;
};

struct Counts {
  RecorderType type;
  int digital, analog, virt, timers, speed, pairs, nameW, idW;
  std::vector<int> relayBits;
};

std::unique_ptr<SetupLayout> Make(const char* model, const Counts& c, Seq& s) {
  auto l = std::make_unique<SetupLayout>();
  l->type = c.type;
  l->modelName = model;
  l->digitalCount = c.digital;
  l->analogCount = c.analog;
  l->virtualCount = c.virt;
  l->timerCount = c.timers;
  l->speedMonitorCount = c.speed;
  l->eventPairCount = c.pairs;
  l->nameWidth = c.nameW;
  l->identifierWidth = c.idW;
  l->eventNameWidth = c.idW;
  l->hasCodingNames = c.nameW == 27;
  l->relayBits = c.relayBits;
  l->SetFields(std::move(s.fields));
  return l;
}

int NameCount(const Counts& c) { return c.digital + c.analog + c.virt + c.timers; }

std::unique_ptr<SetupLayout> Krv19() {
  Counts c{0, 18, 4, 8, 0, 1, 18, 21, 9, {4}};
  Seq s;
  s.Names(NameCount(c), c.pairs, 21, 9)
      .Detect(18, 2, false)
      .Flash(3)
      .RangeFilter(4)
      .Thresholds(4, 2);
  s << Records(F::kVirtualInputs, "virtual inputs", 8,
               {Mem(M::kSourceInputs, "source inputs", 1, false, 4), MemReserved(12),
                Mem(M::kTruthTable, "truth table", 2), Mem(M::kRelayFlags, "relay flags", 1),
                Mem(M::kDialOut, "dial out", 1)});
  s << Text(F::kUnitName, "unit name", 1, 81)
    << Text(F::kAdministrativePassword, "administrative password", 1, 9)
    << Text(F::kRestrictedPassword, "restricted password", 1, 9)
    << Byte(F::kRingCount, "ring count") << Byte(F::kBaud, "baud index")
    << Text(F::kPasscode, "passcode", 1, 9);
  s.Dials();
  s << Byte(F::kClockSyncInput, "clock sync input") << Byte(F::kSpeedSensor1, "speed sensor 1")
    << Byte(F::kSpeedSensor2, "speed sensor 2")
    << I16(F::kDistanceBetweenSensors, "distance between sensors")
    << I16(F::kExcessiveSpeedLimit, "excessive speed limit")
    << Byte(F::kDistanceUnit, "distance unit");
  return Make("KRV-19", c, s);
}

std::unique_ptr<SetupLayout> Krv19xl() {
  Counts c{1, 18, 4, 8, 16, 4, 18, 21, 9, {4}};
  Seq s;
  s << Byte(F::kBaud, "baud index");
  s.Sys()
      .Names(NameCount(c), c.pairs, 21, 9)
      .Detect(18, 2, false)
      .Flash(3)
      .RangeFilter(4)
      .Thresholds(4, 2)
      .Virtual(8, 1, false, 2, false, 0)
      .Dials();
  s << Byte(F::kClockSyncInput, "clock sync input");
  s.Speed(4, 1, false, 2, {Mem(M::kDistanceUnit, "distance unit", 1)}).Timers(16, 1, false, 2);
  return Make("KRV-19XL", c, s);
}

std::unique_ptr<SetupLayout> Krv61() {
  Counts c{2, 64, 8, 16, 32, 4, 16, 21, 9, {5, 6}};
  Seq s;
  s << Byte(F::kBaud, "baud index");
  s.Sys()
      .Names(NameCount(c), c.pairs, 21, 9)
      .Detect(64, 2, false)
      .Flash(8)
      .RangeFilter(8)
      .Thresholds(8, 2)
      .Virtual(16, 1, false, 2, false, 0)
      .Dials();
  s << Byte(F::kClockSyncInput, "clock sync input");
  s.Temps(2).Speed(4, 1, false, 2).Timers(32, 1, true, 2);
  s << Byte(F::kDaylightSavingTime, "daylight saving time");
  return Make("KRV-61", c, s);
}

std::unique_ptr<SetupLayout> Krv517() {
  Counts c{3, 256, 8, 16, 200, 8, 16, 21, 9, {5, 6}};
  Seq s;
  s << Byte(F::kBaud, "baud index");
  s.Sys()
      .Names(NameCount(c), c.pairs, 21, 9)
      .Detect(256, 2, false)
      .Flash(32)
      .RangeFilter(8)
      .Thresholds(8, 2)
      .Virtual(16, 2, false, 2, false, 0)
      .Dials();
  s << U16(F::kClockSyncInput, "clock sync input");
  s.Temps(2).Speed(8, 2, false, 2).Timers(200, 2, true, 2);
  return Make("KRV-517", c, s);
}

std::unique_ptr<SetupLayout> Krv517e() {
  Counts c{4, 256, 8, 96, 200, 8, 16, 21, 9, {5, 6}};
  Seq s;
  s.Net()
      .TwoBauds()
      .Sys()
      .Names(NameCount(c), c.pairs, 21, 9)
      .Detect(256, 2, false)
      .Flash(32)
      .RangeFilter(8)
      .Thresholds(8, 2)
      .Virtual(96, 2, false, 2, false, 0)
      .Dials();
  s << U16(F::kClockSyncInput, "clock sync input");
  s.Temps(2).Speed(8, 2, false, 2).Timers(200, 2, true, 2).TzDst().Sntp();
  return Make("KRV-517E", c, s);
}

std::unique_ptr<SetupLayout> Krv517xl() {
  Counts c{5, 256, 8, 96, 200, 4, 20, 21, 9, {0, 1}};
  Seq s;
  s.Net()
      .TwoBauds()
      .Sys()
      .Names(NameCount(c), c.pairs, 21, 9)
      .Detect(256, 4, true)
      .Flash(32)
      .RangeFilter(8)
      .Thresholds(8, 4)
      .Virtual(96, 2, false, 4, true, 2)
      .Dials()
      .SyncMode()
      .Temps(4)
      .Speed(4, 2, false, 4)
      .Timers(200, 2, true, 4)
      .TzDst()
      .Sntp();
  return Make("KRV-517XL", c, s);
}

std::unique_ptr<SetupLayout> Krv517xc() {
  Counts c{6, 4096, 128, 32, 999, 16, 16, 21, 9, {0, 1, 2, 3}};
  Seq s;
  s.Net().TwoBauds();
  s << U16(F::kPrimaryUdpPort, "primary UDP port")
    << U16(F::kSecondaryUdpPort, "secondary UDP port")
    << Bytes(F::kSecondaryIpAddresses, "secondary IP addresses", 16, 4);
  s.Sys().EventNames(16, 9) << Num(F::kEventPair, "event pair", NameCount(c), 1);
  s.Detect(4096, 2, false)
      .Flash(512)
      .RangeFilter(128)
      .Thresholds(128, 2)
      .Virtual(32, 2, false, 2, false, 0)
      .Dials();
  s << U16(F::kClockSyncInput, "clock sync input");
  s.Temps(2).Speed(16, 2, false, 2).Timers(999, 2, true, 2).TzDst();
  s << Text(F::kInputNames, "input names", NameCount(c), 21)
    << Text(F::kInputIdentifiers, "input identifiers", NameCount(c), 9);
  return Make("KRV-517XC", c, s);
}

std::unique_ptr<SetupLayout> Krv517ax() {
  Counts c{18, 4096, 64, 32, 99, 16, 16, 21, 9, {0, 1, 2, 3}};
  Seq s;
  s.Net().TwoBauds();
  s << Reserved(1) << U16(F::kUdpPort, "UDP port")
    << Bytes(F::kSecondaryIpAddresses, "secondary IP addresses", 16, 4);
  s.Sys()
      .Names(NameCount(c), c.pairs, 21, 9)
      .Detect(4096, 2, true)
      .Flash(512)
      .RangeFilter(64)
      .Thresholds(64, 2)
      .Virtual(32, 2, true, 2, true, 0)
      .Dials()
      .SyncMode()
      .Temps(2)
      .Speed(16, 2, true, 2)
      .Timers(99, 2, true, 2, true)
      .TzDst()
      .Sntp();
  return Make("KRV-517AX", c, s);
}

// KRV-583 and KRV-583E share everything up to the speed record.
Seq Krv583Common(const Counts& c) {
  Seq s;
  s.Names(NameCount(c), c.pairs, 27, 13, true)
      .Detect(256, 2, false)
      .RangeFilter(16)
      .Thresholds(16, 2)
      .Virtual(16, 2, false, 2, false, 0);
  s << Text(F::kUnitName, "unit name", 1, 81)
    << Text(F::kAdministrativePassword, "administrative password", 1, 9)
    << Text(F::kRestrictedPassword, "restricted password", 1, 9)
    << Byte(F::kRingCount, "ring count");
  s.TwoBauds();
  s << Text(F::kPasscode, "passcode", 1, 9);
  s.Dials();
  s << U16(F::kClockSyncInput, "clock sync input");
  s.Temps(2);
  s << Records(F::kSpeedMeasurement, "speed measurement", 1,
               {Mem(M::kSensor1, "sensor 1", 2), Mem(M::kSensor2, "sensor 2", 2),
                Mem(M::kDistance, "distance between sensors", 2, true),
                Mem(M::kThreshold, "excessive speed limit", 2, true)});
  return s;
}

std::unique_ptr<SetupLayout> Krv583() {
  Counts c{7, 256, 16, 16, 0, 1, 16, 27, 13, {5, 6}};
  Seq s = Krv583Common(c);
  return Make("KRV-583", c, s);
}

std::unique_ptr<SetupLayout> Krv583e() {
  Counts c{8, 256, 16, 16, 0, 1, 16, 27, 13, {5, 6}};
  Seq s = Krv583Common(c);
  s << Bytes(F::kIpAddress, "IP address", 1, 4) << Bytes(F::kSubnetMask, "subnet mask", 1, 4)
    << Bytes(F::kGateway, "gateway", 1, 4) << Bytes(F::kMacAddress, "MAC address", 1, 6)
    << U16(F::kTcpPort, "TCP/IP port") << Byte(F::kTcpMode, "TCP/IP mode");
  s.TzDst();
  return Make("KRV-583E", c, s);
}

std::unique_ptr<SetupLayout> Krv583a() {
  Counts c{16, 256, 16, 16, 0, 4, 16, 27, 13, {5, 6}};
  Seq s;
  s.Net()
      .TwoBauds()
      .Sys()
      .Names(NameCount(c), c.pairs, 27, 13, true)
      .Detect(256, 4, true)
      .RangeFilter(16)
      .Thresholds(16, 4)
      .Virtual(16, 2, false, 4, true, 2)
      .Dials()
      .SyncMode()
      .Temps(4)
      .Speed(4, 2, false, 4)
      .TzDst()
      .Sntp();
  return Make("KRV-583A", c, s);
}

std::unique_ptr<SetupLayout> Krv61e() {
  Counts c{13, 64, 8, 32, 32, 4, 20, 21, 9, {0, 1}};
  Seq s;
  s.Net();
  s << Byte(F::kBaud, "baud index");
  s.Sys().Names(NameCount(c), c.pairs, 21, 9);
  s << Reserved(1);
  s.Detect(64, 4, true)
      .Flash(8)
      .RangeFilter(8)
      .Thresholds(8, 4)
      .Virtual(32, 1, false, 4, true, 2)
      .Dials()
      .SyncModeOpen()
      .Temps(4)
      .Speed(4, 1, false, 4, {}, {MemReserved(2)})
      .Timers(32, 1, false, 4)
      .TzDst();
  s << Byte(F::kRecordFlashDetailsFlag, "record flash details flag");
  s.Sntp();
  return Make("KRV-61E", c, s);
}

std::unique_ptr<SetupLayout> Krv85e() {
  Counts c{9, 64, 32, 48, 32, 0, 16, 21, 9, {5, 6}};
  Seq s;
  s.Net();
  s << Byte(F::kBaud, "baud index");
  s.Sys()
      .Names(NameCount(c), c.pairs, 21, 9)
      .Detect(64, 2, false)
      .Flash(8)
      .Thresholds(32, 2)
      .Virtual(48, 1, false, 2, false, 0)
      .Dials();
  s << Byte(F::kClockSyncInput, "clock sync input");
  s.Temps(2).Timers(32, 1, false, 2);
  return Make("KRV-85E", c, s);
}

std::unique_ptr<SetupLayout> Krv37e() {
  Counts c{10, 20, 4, 8, 16, 4, 20, 21, 9, {0, 1}};
  Seq s;
  s.Net();
  s << Byte(F::kBaud, "baud index");
  s.Sys().Names(NameCount(c), c.pairs, 21, 9);
  s << Reserved(1);
  s.Detect(20, 4, true).Flash(3).RangeFilter(4);
  s << Reserved(1);
  s.Thresholds(4, 4)
      .Virtual(8, 1, false, 4, true, 2)
      .Dials()
      .SyncModeOpen()
      .Temps(4)
      .Speed(4, 1, false, 4, {Mem(M::kDistanceUnit, "distance unit", 1), MemReserved(3)},
             {MemReserved(2)})
      .Timers(16, 1, false, 4)
      .TzDst();
  s << Byte(F::kRecordFlashDetailsFlag, "record flash details flag");
  s.Sntp();
  return Make("KRV-37E", c, s);
}

// SLG S7-246, SLG Microlok and SLG S7-808 differ in digital count and in their tails.
Seq SlgCommon(const Counts& c, int analogGap) {
  Seq s;
  s.Net().TwoBauds().Sys().Names(NameCount(c), c.pairs, 21, 9).RangeFilter(4);
  if (analogGap > 0) s << Reserved(analogGap);
  s.Thresholds(4, 4).Virtual(8, 2, false, 4, true, 2).Dials().SyncMode().Temps(4);
  s.Timers(16, 2, false, 4).TzDst();
  return s;
}

std::unique_ptr<SetupLayout> Slg() {
  Counts c{11, 256, 4, 8, 16, 0, 20, 21, 9, {0}};
  Seq s = SlgCommon(c, 0);
  return Make("SLG", c, s);
}

std::unique_ptr<SetupLayout> SlgMl() {
  Counts c{12, 256, 4, 8, 16, 0, 20, 21, 9, {0}};
  Seq s = SlgCommon(c, 0);
  s << Reserved(2)
    << Records(F::kPeerProtocolLinks, "peer protocol links", 2,
               {Mem(M::kSourceAddress, "source address", 2),
                Mem(M::kDestinationAddress, "destination address", 2), Mem(M::kLinkType, "type", 1),
                Mem(M::kBooleanInputBits, "boolean input bits", 1), MemReserved(2)})
    << I32(F::kStaleDataTimeout, "stale data timeout")
    << Byte(F::kMicrolokClockSyncFlag, "Microlok II clock synchronisation flag");
  return Make("SLGML", c, s);
}

std::unique_ptr<SetupLayout> Slg808() {
  Counts c{14, 999, 4, 8, 16, 0, 20, 21, 9, {0}};
  Seq s = SlgCommon(c, 3);
  s.Sntp();
  return Make("SLG808", c, s);
}

struct Table {
  std::array<std::unique_ptr<SetupLayout>, kModelTypeCount> byType;
  std::vector<const SetupLayout*> all;
  Table() {
    byType[model::kKrv19xt] = Krv19();
    byType[model::kKrv19xl] = Krv19xl();
    byType[model::kKrv43_61] = Krv61();
    byType[model::kKrv517] = Krv517();
    byType[model::kKrv517e] = Krv517e();
    byType[model::kKrv517xl] = Krv517xl();
    byType[model::kKrv517xc] = Krv517xc();
    byType[model::kKrv583] = Krv583();
    byType[model::kKrv583e] = Krv583e();
    byType[model::kKrv85e] = Krv85e();
    byType[model::kKrv37e] = Krv37e();
    byType[model::kSlgS7_246] = Slg();
    byType[model::kSlgMicrolok] = SlgMl();
    byType[model::kKrv61e] = Krv61e();
    byType[model::kSlgS7_808] = Slg808();
    byType[model::kKrv583a] = Krv583a();
    byType[model::kKrv517ax] = Krv517ax();
    for (auto& l : byType) {
      if (l) all.push_back(l.get());
    }
  }
};

const Table& TheTable() {
  static const Table table;
  return table;
}

}  // namespace

const LayoutMember* LayoutField::Member(SetupMember member) const {
  if (member == SetupMember::kNone || member == SetupMember::kReserved) return nullptr;
  for (const auto& m : members) {
    if (m.id == member) return &m;
  }
  return nullptr;
}

const LayoutMember* LayoutField::Member(std::string_view memberKey) const {
  for (const auto& m : members) {
    if (!m.reserved() && m.key == memberKey) return &m;
  }
  return nullptr;
}

const LayoutField* SetupLayout::Find(SetupField id) const {
  const auto i = static_cast<std::size_t>(id);
  if (id == SetupField::kReserved || i >= byId_.size() || byId_[i] < 0) return nullptr;
  return &fields_[static_cast<std::size_t>(byId_[i])];
}

const LayoutField* SetupLayout::Find(std::string_view key) const {
  for (const auto& f : fields_) {
    if (!f.reserved() && f.key == key) return &f;
  }
  return nullptr;
}

void SetupLayout::SetFields(std::vector<LayoutField> fields) {
  fields_ = std::move(fields);
  std::size_t offset = 0;
  for (auto& f : fields_) {
    f.offset = offset;
    f.key = FieldKey(f.name);
    offset += f.size();
  }
  fieldLength = offset;
  byId_.clear();
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const auto id = static_cast<std::size_t>(fields_[i].id);
    if (fields_[i].reserved()) continue;
    if (byId_.size() <= id) byId_.resize(id + 1, -1);
    if (byId_[id] < 0) byId_[id] = static_cast<int>(i);
  }
  writtenLength = (offset + 127) / 128 * 128;
}

const SetupLayout* LayoutOf(RecorderType type) {
  type = SetupTypeOf(type);
  if (type < 0) return nullptr;
  return TheTable().byType[static_cast<std::size_t>(type)].get();
}

std::vector<const SetupLayout*> AllLayouts() { return TheTable().all; }

std::string FieldKey(std::string_view name) {
  std::string key;
  bool gap = false;
  for (char ch : name) {
    const auto u = static_cast<unsigned char>(ch);
    if (std::isalnum(u)) {
      if (gap && !key.empty()) key += '_';
      gap = false;
      key += static_cast<char>(std::tolower(u));
    } else {
      gap = true;
    }
  }
  return key;
}

int64_t ReadLittleEndian(const uint8_t* p, int width, bool isSigned) {
  uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | p[i];
  if (isSigned && width > 0 && width < 8) {
    const uint64_t sign = uint64_t{1} << (8 * width - 1);
    if (v & sign) return static_cast<int64_t>(v) - static_cast<int64_t>(sign << 1);
  }
  return static_cast<int64_t>(v);
}

void WriteLittleEndian(uint8_t* p, int width, int64_t value) {
  auto v = static_cast<uint64_t>(value);
  for (int i = 0; i < width; ++i) {
    p[i] = static_cast<uint8_t>(v & 0xFF);
    v >>= 8;
  }
}

}  // namespace zel
