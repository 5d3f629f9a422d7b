#include "model/settings_forms.h"

#include <cstdio>

#include "gui/model/input_choices.h"
#include "zel/value_format.h"

namespace zel::editors {
namespace {

using F = SetupField;

FormField Make(std::string key, FormKind kind, std::string label) {
  FormField f;
  f.key = std::move(key);
  f.kind = kind;
  f.label = std::move(label);
  return f;
}

FormField Text(std::string key, std::string label, int maxLength, std::string value,
               bool masked = false) {
  FormField f = Make(std::move(key), FormKind::kText, std::move(label));
  f.maxLength = maxLength;
  f.masked = masked;
  f.text = std::move(value);
  return f;
}

FormField Ranged(std::string key, std::string label, int min, int max, int value,
                 bool validated = true, std::string unit = {}) {
  FormField f = Make(std::move(key), FormKind::kNumber, std::move(label));
  f.validated = validated;
  f.min = min;
  f.max = max;
  f.unit = std::move(unit);
  f.text = std::to_string(value);
  return f;
}

FormField Combo(std::string key, std::string label, std::vector<std::string> entries, int index) {
  FormField f = Make(std::move(key), FormKind::kCombo, std::move(label));
  f.entries = std::move(entries);
  f.index = index >= 0 && index < static_cast<int>(f.entries.size()) ? index : -1;
  return f;
}

FormField Check(std::string key, std::string label, bool on) {
  FormField f = Make(std::move(key), FormKind::kCheck, std::move(label));
  f.check = on ? kChecked : kUnchecked;
  return f;
}

FormField Ip(std::string key, std::string label, const std::array<uint8_t, 4>& octets) {
  FormField f = Make(std::move(key), FormKind::kIpv4, std::move(label));
  for (std::size_t k = 0; k < 4; ++k) f.ip[k] = octets[k];
  return f;
}

std::array<uint8_t, 4> Octets(const FormField& f) {
  std::array<uint8_t, 4> out{};
  for (std::size_t k = 0; k < 4; ++k) out[k] = static_cast<uint8_t>(ClampTo(f.ip[k], 0, 255));
  return out;
}

std::vector<std::string> BaudEntries() {
  std::vector<std::string> out;
  for (int c = 0; c < kBaudCodeCount; ++c) out.push_back(BaudLabel(c));
  return out;
}

int InputOrNone(const SetupDatabase& db, SetupField field, int value) {
  return db.IsNoInput(field, value) || value < 0 ? -1 : value;
}

// A number typed into a checked field (validation has passed) or a free one (read as far as
// it forms a number, then held to the field's range).
int NumberOf(const FormField& f, int lo, int hi) { return ClampTo(ReadScaled(f.text, 1), lo, hi); }

const FormField& Get(const EditForm& form, std::string_view key) {
  static const FormField empty;
  const FormField* f = form.Find(key);
  return f ? *f : empty;
}

int HexByte(const std::string& text) {
  unsigned value = 0;
  for (char c : text) {
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      break;
    }
    value = (value << 4 | static_cast<unsigned>(d)) & 0xFFFFu;
  }
  return static_cast<int>(value & 0xFFu);  // the low byte is stored
}

}  // namespace

EditForm SystemForm(const EditorFamilyRow& editor, const SetupDatabase& db) {
  EditForm form;
  form.title = "System Settings";
  form.Add(Text("unit", "Unit Name:", 80, db.UnitName()));
  if (db.Has(F::kBaudPort1)) {
    form.Add(Combo("baud1", editor.baud1Label, BaudEntries(), db.BaudPort1()));
    form.Add(Combo("baud2", editor.baud2Label, BaudEntries(), db.BaudPort2()));
  } else {
    form.Add(Combo("baud1", "Baud:", BaudEntries(), db.Baud()));
  }
  if (db.Has(F::kClockSyncInput)) {
    const gui::InputChoices choices(db, 0, db.DigitalCount(), editor.clockSyncNone, false);
    form.Add(Combo("clockSync", "Clock Sync:", choices.entries(),
                   choices.EntryOf(InputOrNone(db, F::kClockSyncInput, db.ClockSyncInput()))));
  }
  if (db.Has(F::kClockSyncMode)) {
    form.Add(Combo("clockMode", "Clock Sync Mode:", {editor.clockModeFirst, "SNTP", "GPS"},
                   db.ClockSyncMode()));
  }
  form.Add(Make("passwords", FormKind::kGroup, "Passwords"));
  form.Add(Text("admin", "Administative:", 8, db.AdministrativePassword(), true));
  form.Add(Text("restricted", "Restricted:", 8, db.RestrictedPassword(), true));
  form.Add(Text("passcode", "Passcode:", 8, db.Passcode(), true));
  form.Add(Make("modem", FormKind::kGroup, "Modem"));
  form.Add(Text("dial1", "Primary Dial:", 20, db.PrimaryDialNumber()));
  form.Add(Text("dial2", "Secondary Dial:", 20, db.SecondaryDialNumber()));
  form.Add(Ranged("rings", "Ring Count:", 0, 99, db.RingCount()));
  if (db.Has(F::kHighTemperatureLimit)) {
    form.Add(Make("temperature", FormKind::kGroup, "Temperature"));
    form.Add(Ranged("tempHigh", "High Limit:", -67, 257, db.HighTemperatureLimit(),
                    editor.temperatureChecked, "Degrees F"));
    form.Add(Ranged("tempLow", "Low Limit:", -67, 257, db.LowTemperatureLimit(),
                    editor.temperatureChecked, "Degrees F"));
  }
  if (db.Has(F::kTimeZone) || db.Has(F::kDaylightSavingTime) || db.Has(F::kSntpServerAddress) ||
      db.Has(F::kRecordFlashDetailsFlag)) {
    form.Add(Make("clock", FormKind::kGroup, "Clock"));
  }
  if (db.Has(F::kTimeZone)) {
    form.Add(Combo("timeZone", "Time Zone:", TimeZoneTexts(editor.timeZones), db.TimeZone()));
  }
  if (db.Has(F::kDaylightSavingTime)) {
    form.Add(Check("dst", "Daylight Saving Time", db.DaylightSavingTime() != 0));
  }
  if (db.Has(F::kSntpServerAddress)) form.Add(Ip("sntp", "SNTP Server:", db.SntpServer()));
  if (db.Has(F::kRecordFlashDetailsFlag)) {
    form.Add(Check("flashDetails", "Record Flash Details", db.RecordFlashDetails() != 0));
  }
  if (editor.speedOnSystemPage) {
    form.Add(Make("speed", FormKind::kGroup, "Speed Measurement"));
    const gui::InputChoices choices(db, 0, db.DigitalCount(), gui::kNoneEntryWide, false);
    const auto sensor = [&](int v, bool second) {
      const SetupField field = db.Has(F::kSpeedSensor1)
                                   ? (second ? F::kSpeedSensor2 : F::kSpeedSensor1)
                                   : F::kSpeedMeasurement;
      const SetupMember member = db.Has(F::kSpeedSensor1)
                                     ? SetupMember::kNone
                                     : (second ? SetupMember::kSensor2 : SetupMember::kSensor1);
      return choices.EntryOf(db.IsNoInput(field, v, member) || v < 0 ? -1 : v);
    };
    form.Add(Combo("sensor1", "Sensor1:", choices.entries(), sensor(db.SpeedSensor1(0), false)));
    form.Add(Combo("sensor2", "Sensor2:", choices.entries(), sensor(db.SpeedSensor2(0), true)));
    form.Add(Ranged("distance", "Distance Between Sensors:", 0, 5280, db.SpeedDistance(0), true,
                    editor.speedUnitOnSystemPage ? "" : "Feet"));
    if (editor.speedUnitOnSystemPage) {
      form.Add(Combo("distanceUnit", "Distance unit", {"Inches", "Feet"}, db.SpeedDistanceUnit(0)));
    }
    form.Add(Ranged("limit", "Excessive Speed Limit:", 0, 180, db.SpeedThreshold(0), true, "MPH"));
  }
  return form;
}

void ApplySystemForm(const EditorFamilyRow& editor, SetupDatabase& db, const EditForm& form) {
  db.SetUnitName(Get(form, "unit").text);
  if (db.Has(F::kBaudPort1)) {
    if (Get(form, "baud1").index >= 0) db.SetBaudPort1(Get(form, "baud1").index);
    if (Get(form, "baud2").index >= 0) db.SetBaudPort2(Get(form, "baud2").index);
  } else if (Get(form, "baud1").index >= 0) {
    db.SetBaud(Get(form, "baud1").index);
  }
  if (db.Has(F::kClockSyncInput)) {
    const gui::InputChoices choices(db, 0, db.DigitalCount(), editor.clockSyncNone, false);
    if (const auto input = choices.InputOf(Get(form, "clockSync").index)) {
      db.SetClockSyncInput(*input);
    }
  }
  if (db.Has(F::kClockSyncMode) && Get(form, "clockMode").index >= 0) {
    db.SetClockSyncMode(Get(form, "clockMode").index);
  }
  db.SetAdministrativePassword(Get(form, "admin").text);
  db.SetRestrictedPassword(Get(form, "restricted").text);
  db.SetPasscode(Get(form, "passcode").text);
  db.SetPrimaryDialNumber(Get(form, "dial1").text);
  db.SetSecondaryDialNumber(Get(form, "dial2").text);
  db.SetRingCount(NumberOf(Get(form, "rings"), 0, 99));
  if (db.Has(F::kHighTemperatureLimit)) {
    // Unchecked limits (KRV-37E) are held to what the field can store.
    const int lo = editor.temperatureChecked ? -67 : -32768;
    const int hi = editor.temperatureChecked ? 257 : 32767;
    db.SetHighTemperatureLimit(NumberOf(Get(form, "tempHigh"), lo, hi));
    db.SetLowTemperatureLimit(NumberOf(Get(form, "tempLow"), lo, hi));
  }
  if (db.Has(F::kTimeZone) && Get(form, "timeZone").index >= 0) {
    db.SetTimeZone(Get(form, "timeZone").index);
  }
  if (db.Has(F::kDaylightSavingTime)) {
    db.SetDaylightSavingTime(Get(form, "dst").check == kChecked ? 1 : 0);
  }
  if (db.Has(F::kSntpServerAddress)) db.SetSntpServer(Octets(Get(form, "sntp")));
  if (db.Has(F::kRecordFlashDetailsFlag)) {
    db.SetRecordFlashDetails(Get(form, "flashDetails").check == kChecked ? 1 : 0);
  }
  if (editor.speedOnSystemPage) {
    const gui::InputChoices choices(db, 0, db.DigitalCount(), gui::kNoneEntryWide, false);
    if (const auto s = choices.InputOf(Get(form, "sensor1").index)) db.SetSpeedSensor1(0, *s);
    if (const auto s = choices.InputOf(Get(form, "sensor2").index)) db.SetSpeedSensor2(0, *s);
    db.SetSpeedDistance(0, NumberOf(Get(form, "distance"), 0, 5280));
    db.SetSpeedThreshold(0, NumberOf(Get(form, "limit"), 0, 180));
    if (editor.speedUnitOnSystemPage && Get(form, "distanceUnit").index >= 0) {
      db.SetSpeedDistanceUnit(0, Get(form, "distanceUnit").index);
    }
  }
}

EditForm NetworkForm(const SetupDatabase& db) {
  EditForm form;
  form.title = "Network";
  form.Add(Ip("ip", "IP Address:", db.IpAddress()));
  form.Add(Ip("mask", "Subnet Mask:", db.SubnetMask()));
  form.Add(Ip("gateway", "Gateway:", db.Gateway()));
  FormField& mac = form.Add(Make("mac", FormKind::kMac, "MAC Address:"));
  const std::array<uint8_t, 6> octets = db.MacAddress();
  for (std::size_t k = 0; k < 6; ++k) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02X", octets[k]);
    mac.mac[k] = buffer;
  }
  form.Add(Ranged("port", "TCP/IP port:", 0, 65535, db.TcpPort()));
  form.Add(Combo("mode", "TCP/IP mode:", {"Raw TCP/IP", "Telnet"}, db.TcpMode()));
  if (db.Has(F::kSecondaryUdpPort)) {
    form.Add(Ranged("udp", "Primary UDP port:", 0, 65535, db.UdpPort()));
    form.Add(Ranged("udp2", "Secondary UDP port:", 0, 65535, db.SecondaryUdpPort()));
  } else if (db.Has(F::kUdpPort)) {
    form.Add(Ranged("udp", "UDP port:", 0, 65535, db.UdpPort()));
  }
  if (db.SecondaryIpCount() > 0) {
    form.Add(Make("secondary", FormKind::kGroup, "Secondary IP Addresses"));
    for (int g = 0; g < db.SecondaryIpCount(); ++g) {
      form.Add(Ip("ip2_" + std::to_string(g), std::to_string(g + 1) + ":", db.SecondaryIp(g)));
    }
  }
  return form;
}

void ApplyNetworkForm(SetupDatabase& db, const EditForm& form) {
  db.SetIpAddress(Octets(Get(form, "ip")));
  db.SetSubnetMask(Octets(Get(form, "mask")));
  db.SetGateway(Octets(Get(form, "gateway")));
  std::array<uint8_t, 6> mac{};
  for (std::size_t k = 0; k < 6; ++k)
    mac[k] = static_cast<uint8_t>(HexByte(Get(form, "mac").mac[k]));
  db.SetMacAddress(mac);
  db.SetTcpPort(NumberOf(Get(form, "port"), 0, 65535));
  if (Get(form, "mode").index >= 0) db.SetTcpMode(Get(form, "mode").index);
  if (db.Has(F::kSecondaryUdpPort) || db.Has(F::kUdpPort)) {
    db.SetUdpPort(NumberOf(Get(form, "udp"), 0, 65535));
  }
  if (db.Has(F::kSecondaryUdpPort)) db.SetSecondaryUdpPort(NumberOf(Get(form, "udp2"), 0, 65535));
  for (int g = 0; g < db.SecondaryIpCount(); ++g) {
    db.SetSecondaryIp(g, Octets(Get(form, "ip2_" + std::to_string(g))));
  }
}

EditForm PeerProtocolForm(const SetupDatabase& db) {
  EditForm form;
  form.title = "Peer Protocol Settings";
  const unsigned stale = static_cast<unsigned>(db.StaleDataTimeout());
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%u.%1u", stale / 10, stale % 10);
  FormField& timeout = form.Add(Make("stale", FormKind::kNumber, "Stale Data Timeout:"));
  timeout.text = buffer;
  timeout.unit = "seconds";
  form.Add(Check("sync", "Synchronize Microlock II Clock", db.MicrolokClockSync() != 0));
  for (int link = 0; link < db.PeerLinkCount(); ++link) {
    const std::string n = std::to_string(link);
    form.Add(Make("station" + n, FormKind::kGroup, "Station " + std::to_string(link + 1)));
    form.Add(Ranged("source" + n, "Source Address:", 0, 65535, db.PeerSourceAddress(link)));
    form.Add(Ranged("destination" + n, "Destination Address:", 0, 65535,
                    db.PeerDestinationAddress(link)));
    form.Add(Ranged("bits" + n, "Boolean Input Bits:", 0, 128, db.PeerBooleanInputBits(link)));
    form.Add(Combo("type" + n, "Type:", {"Disabled", "Vital", "Non-Vital"}, db.PeerType(link)));
  }
  return form;
}

void ApplyPeerProtocolForm(SetupDatabase& db, const EditForm& form) {
  db.SetStaleDataTimeout(ClampTo(ReadScaled(Get(form, "stale").text, 10), 0, 2147483647));
  db.SetMicrolokClockSync(Get(form, "sync").check == kChecked ? 1 : 0);
  for (int link = 0; link < db.PeerLinkCount(); ++link) {
    const std::string n = std::to_string(link);
    db.SetPeerSourceAddress(link, NumberOf(Get(form, "source" + n), 0, 65535));
    db.SetPeerDestinationAddress(link, NumberOf(Get(form, "destination" + n), 0, 65535));
    db.SetPeerBooleanInputBits(link, NumberOf(Get(form, "bits" + n), 0, 128));
    if (Get(form, "type" + n).index >= 0) db.SetPeerType(link, Get(form, "type" + n).index);
  }
}

EditForm MakeSettingsForm(Page page, const EditorFamilyRow& editor, const SetupDatabase& db) {
  switch (page) {
    case Page::kSystem:
      return SystemForm(editor, db);
    case Page::kNetwork:
      return NetworkForm(db);
    case Page::kPeerProtocol:
      return PeerProtocolForm(db);
    default:
      break;
  }
  return {};
}

void ApplySettingsForm(Page page, const EditorFamilyRow& editor, SetupDatabase& db,
                       const EditForm& form) {
  switch (page) {
    case Page::kSystem:
      ApplySystemForm(editor, db, form);
      break;
    case Page::kNetwork:
      ApplyNetworkForm(db, form);
      break;
    case Page::kPeerProtocol:
      ApplyPeerProtocolForm(db, form);
      break;
    default:
      break;
  }
}

}  // namespace zel::editors
