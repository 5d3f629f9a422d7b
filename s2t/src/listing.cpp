// The listing of a setup database: nine sections in a fixed order, each shown with the
// model's counts, identifiers and widths, and only where the model's layout has the fields.
#include <algorithm>
#include <array>
#include <string>

#include "text_out.h"
#include "zel/identifiers.h"
#include "zel/s2t/converter.h"
#include "zel/value_format.h"

namespace zel::s2t {

std::string LabelOrUnknown(const std::vector<const char*>& labels, int index) {
  if (index >= 0 && static_cast<size_t>(index) < labels.size()) return labels[index];
  return Format("Unknown (%d)", index);
}

namespace {

const char* OnOff(int state) { return state != 0 ? "On" : "Off"; }
const char* YesNo(bool on) { return on ? "Yes" : "No"; }

std::string Octets(const uint8_t* p, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) Appendf(out, i == 0 ? "%d" : ".%d", p[i]);
  return out;
}
template <size_t N>
std::string Octets(const std::array<uint8_t, N>& a) {
  return Octets(a.data(), N);
}

// A stored text as listed: control characters (a line feed inside a name, say) would break
// the listing's lines, so each shows as '?'.
std::string Shown(std::string text) {
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return text;
}

std::string RightAligned(const std::string& text, size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// Right-aligned in width, and always with a blank before it, so a time of 1000 s or more does
// not run into the identifier before it.
std::string Separated(const std::string& text, size_t width) {
  return text.size() >= width ? " " + text : RightAligned(text, width);
}

class Lister {
 public:
  Lister(const SetupDatabase& db, const ConverterModel& model)
      : db_(db), model_(model), type_(db.type()) {
    // Widest identifier of any kind, so the columns stay aligned for every model.
    const int last[] = {db.DigitalCount() - 1,   db.NameCount() - 1,      FirstVirtualInput(type_),
                        FirstAnalogInput(type_), FirstSystemInput(type_), -1};
    for (int n : last) idWidth_ = std::max(idWidth_, static_cast<int>(Id(n).size()));
    digitalIdWidth_ = db.DigitalCount() > 0 ? static_cast<int>(Id(0).size()) : 4;
  }

  std::string Run() {
    EventNames();
    InputNames();
    DetectTimes();
    Analog();
    Virtuals();
    Timers();
    Speed();
    Network();
    System();
    return std::move(out_);
  }

 private:
  std::string Id(int input) const { return SetupIdentifier(type_, input); }
  const char* IdC(int input) {
    scratch_ = Id(input);
    return scratch_.c_str();
  }

  // Section 1: the ON and OFF (and CODING) name of every event pair.
  void EventNames() {
    const int w = db_.EventNameWidth() - 1;
    out_ += "Event names:\n";
    if (db_.HasCodingNames()) {
      Appendf(out_, "   %-*s %-*s %s\n", w, "ON", w, "OFF", "CODING");
    } else {
      out_ += "      ON      OFF\n";
    }
    for (int k = 0; k < db_.EventPairCount(); ++k) {
      Appendf(out_, "%2d %-*s %-*s", k + 1, w, Shown(db_.OnName(k)).c_str(), w,
              Shown(db_.OffName(k)).c_str());
      if (db_.HasCodingNames()) Appendf(out_, " %-*s", w, Shown(db_.CodingName(k)).c_str());
      out_ += "\n";
    }
  }

  // Section 2: name, stored ID and event pair of every input of the name arrays.
  void InputNames() {
    const int nameW = db_.NameWidth() - 1;
    const int idW = db_.IdentifierWidth() - 1;
    const int evW = db_.EventNameWidth() - 1;
    out_ += "Input names/Identifiers:\n";
    Appendf(out_, "%-*s %-*s %-*s OnEvent/OffEvent%s Event Pair\n", idWidth_, "", nameW, "Name",
            idW + 1, "ID", db_.HasCodingNames() ? "/CodingEvent" : "");
    for (int n = 0; n < db_.NameCount(); ++n) {
      const int pair = db_.EventPair(n);
      const bool known = pair >= 0 && pair < db_.EventPairCount();
      const std::string on = known ? Shown(db_.OnName(pair)) : "Invalid";
      std::string rest = known ? Shown(db_.OffName(pair)) : "Invalid";
      int restW = evW;
      if (db_.HasCodingNames()) {
        // ON/OFF/CODING: the OFF and CODING names share the left-aligned column.
        rest += '/';
        rest += known ? Shown(db_.CodingName(pair)) : std::string("Invalid");
        restW = 2 * evW + 1;
      }
      Appendf(out_, "%-*s %-*s %-*s %*s/%-*s", idWidth_, IdC(n), nameW, Shown(db_.Name(n)).c_str(),
              idW, Shown(db_.Identifier(n)).c_str(), evW, on.c_str(), restW, rest.c_str());
      Appendf(out_, "     %d\n", pair + 1);
    }
  }

  // Section 3: detect time and flash flag of every digital input, four columns side by side.
  void DetectTimes() {
    const int count = db_.DigitalCount();
    if (count <= 0) return;
    const bool hasTimes = db_.Has(SetupField::kDetectTimes);
    // Thousandths take one digit more than hundredths; "N/A" sits in the hundredths width.
    const size_t timeWidth = DetectTimeDivisor(type_) == 1000 ? 8 : 7;
    out_ += "Detect Times/Flash Enable:\n";
    Appendf(out_, "%s  %s  %s  %s\n", "Input  Time Flash", "Input  Time Flash", "Input  Time Flash",
            "Input  Time Flash");
    const int rows = (count + 3) / 4;
    for (int i = 0; i < rows; ++i) {
      for (int column = 0; column < 4; ++column) {
        const int n = i + column * rows;
        if (n >= count) break;
        const std::string time =
            hasTimes ? ShowDetectTime(type_, n, db_.DetectTime(n)) : std::string("N/A");
        const std::string flash = ShowFlash(type_, n, db_.FlashEnabled(n));
        Appendf(out_, "%s%-*s%s %3s", column == 0 ? " " : "    ", digitalIdWidth_, IdC(n),
                Separated(time, timeWidth).c_str(), flash.c_str());
      }
      out_ += "\n";
    }
  }

  // Section 4: range, filter and both thresholds of every analog input.
  void Analog() {
    const int count = db_.AnalogCount();
    if (count <= 0) return;
    const bool hasRange = db_.Has(SetupField::kAnalogRange);
    const bool hasFilter = db_.Has(SetupField::kAnalogFilter);
    out_ += "Analog Configuration:\n";
    out_ += "Channel Range Filter Low Limit High Limit\n";
    for (int a = 0; a < count; ++a) {
      const int range = db_.AnalogRange(a);
      std::string label = AnalogRangeLabel(type_, range);
      if (label.empty()) label = Format("Unknown (%d)", range);
      const std::string filter = hasFilter ? FilterText(db_.AnalogFilter(a)) : "N/A";
      Appendf(out_, "%3s %10s %4s", IdC(db_.layout()->FirstAnalog() + a), label.c_str(),
              filter.c_str());
      Appendf(out_, "    %5s", Threshold(hasRange, range, db_.LowThreshold(a)).c_str());
      Appendf(out_, "      %5s\n", Threshold(hasRange, range, db_.HighThreshold(a)).c_str());
    }
  }

  // A threshold in the units of its range; the plain stored number where the model has no
  // range field or the range has no label.
  static std::string Threshold(bool hasRange, int range, int stored) {
    if (hasRange && FindAnalogRange(range) != nullptr) return ShowThreshold(range, stored);
    return Format("%d", stored);
  }

  // Section 5: sources, relays and dial-out of every virtual input, with its truth table.
  void Virtuals() {
    const int count = db_.VirtualCount();
    if (count <= 0) return;
    const int relays = db_.RelayCount();
    out_ += "Virtual Configuration:\n";
    out_ += "Input ----Function of---    ";
    for (int r = 0; r < relays; ++r) {
      if (relays == 1) {
        out_ += " Relay";
      } else {
        Appendf(out_, " Relay %d", r + 1);
      }
    }
    out_ += " Dial Out\n";
    const int first = db_.layout()->FirstVirtual();
    for (int v = 0; v < count; ++v) {
      Appendf(out_, "%s ", IdC(first + v));
      std::array<bool, 4> used{};
      int k = 0;
      for (int slot = 0; slot < 4; ++slot) {
        const int source = db_.VirtualSource(v, slot);
        used[slot] = source >= 0 && source < db_.NameCount() &&
                     !db_.IsNoInput(SetupField::kVirtualInputs, source, SetupMember::kSourceInputs);
        if (used[slot]) ++k;
        Appendf(out_, " %-*s", idWidth_, IdC(source));
      }
      for (int r = 0; r < relays; ++r) {
        Appendf(out_, r == 0 ? "       %3s" : "     %3s", YesNo(db_.Relay(v, r)));
      }
      Appendf(out_, "     %3s\n", YesNo(db_.DialOut(v) != 0));
      const unsigned table = static_cast<unsigned>(db_.TruthTable(v));
      // No used source: no table at all (not the one row of an empty combination).
      const int rows = k == 0 ? 0 : 1 << k;
      for (int j = 0; j < rows; ++j) {
        out_ += "   ";
        int bit = 0;
        for (int slot = 0; slot < 4; ++slot) {
          if (!used[slot]) {
            out_ += "     ";
          } else {
            Appendf(out_, "  %3s", OnOff((j >> bit) & 1));
            ++bit;
          }
        }
        Appendf(out_, "-->%3s\n", OnOff((table >> j) & 1u));
      }
    }
  }

  // Section 6: from and to events and both limits of every timer.
  void Timers() {
    const int count = db_.TimerCount();
    if (count <= 0) return;
    out_ += "Timer From Event To   Event LowLimit HighLimit\n";
    const int first = db_.layout()->FirstTimer();
    for (int t = 0; t < count; ++t) {
      const std::string from = Id(db_.TimerFrom(t));
      const std::string to = Id(db_.TimerTo(t));
      Appendf(out_, "%4s  %-*s  %3s  %-*s  %3s   %5s    %5s\n", IdC(first + t), idWidth_,
              from.c_str(), OnOff(db_.TimerFromState(t)), idWidth_, to.c_str(),
              OnOff(db_.TimerToState(t)), ShowTimerLimit(db_.TimerLowLimit(t)).c_str(),
              ShowTimerLimit(db_.TimerHighLimit(t)).c_str());
    }
  }

  // Section 7: sensors, distance and threshold of every speed monitor.
  void Speed() {
    const int count = db_.SpeedMonitorCount();
    if (count <= 0) return;
    const bool hasUnit =
        db_.Has(SetupField::kDistanceUnit) ||
        (db_.Has(SetupField::kSpeedMonitors) &&
         db_.layout()->Find(SetupField::kSpeedMonitors)->Member(SetupMember::kDistanceUnit) !=
             nullptr);
    out_ += "Measure Speed Parameters:\n";
    out_ += "Speed# (Event)  Input1 Input2 Distance  Threshold\n";
    for (int m = 0; m < count; ++m) {
      const std::string event = SpeedEvent(m + 1);
      const std::string s1 = Id(db_.SpeedSensor1(m));
      const std::string s2 = Id(db_.SpeedSensor2(m));
      std::string unit = "Feet";
      if (hasUnit) {
        const int u = db_.SpeedDistanceUnit(m);
        unit = u == 0 ? "Inches" : u == 1 ? "Feet" : Format("Unknown (%d)", u);
      }
      Appendf(out_, "%4d    (%s)    %-*s", m + 1, event.c_str(), idWidth_, s1.c_str());
      Appendf(out_, "   %-*s  %4d %s  %3d MPH\n", idWidth_, s2.c_str(), db_.SpeedDistance(m),
              unit.c_str(), db_.SpeedThreshold(m));
    }
  }

  // Identifier of the system event a speed monitor reports as; the invalid text when the
  // model gives the monitor no event of its own.
  std::string SpeedEvent(int monitor) const {
    const int first = FirstSystemInput(type_);
    for (int n = first; n < first + SystemInputCount(type_); ++n) {
      if (SpeedMonitorNumber(type_, n) == monitor) return Id(n);
    }
    return InvalidIdentifierText(type_);
  }

  // Section 8: the network settings, where the model has them.
  void Network() {
    if (db_.Has(SetupField::kIpAddress)) {
      Appendf(out_, "IP Address:%s\n", Octets(db_.IpAddress()).c_str());
      Appendf(out_, "Subnet Mask:%s\n", Octets(db_.SubnetMask()).c_str());
      Appendf(out_, "Gateway:%s\n", Octets(db_.Gateway()).c_str());
      const auto mac = db_.MacAddress();
      Appendf(out_, "Ethernet MAC Address:%02X-%02X-%02X-%02X-%02X-%02X\n", mac[0], mac[1], mac[2],
              mac[3], mac[4], mac[5]);
      Appendf(out_, "Port:%d\n", db_.TcpPort());
      Appendf(out_, "TCP/IP mode:%s\n", db_.TcpMode() != 0 ? "Telnet" : "Raw TCP/IP");
    }
    if (db_.Has(SetupField::kPrimaryUdpPort)) {
      Appendf(out_, "Primary UDP Port:%d\n", db_.UdpPort());
    }
    if (db_.Has(SetupField::kSecondaryUdpPort)) {
      Appendf(out_, "Secondary UDP Port:%d\n", db_.SecondaryUdpPort());
    }
    if (db_.Has(SetupField::kUdpPort)) Appendf(out_, "UDP Port:%d\n", db_.UdpPort());
    for (int g = 0; g < db_.SecondaryIpCount(); ++g) {
      Appendf(out_, "Secondary IP Address %2d:%s\n", g + 1, Octets(db_.SecondaryIp(g)).c_str());
    }
  }

  // Section 9: unit name, ports, passwords, modem, clock and temperature settings.
  void System() {
    out_ += "Unit Name:\n";
    Appendf(out_, "%s\n", Shown(db_.UnitName()).c_str());
    if (db_.Has(SetupField::kBaudPort1)) {
      Appendf(out_, "Terminal Port1 Baud Rate:%9c%s\n", ' ', Baud(db_.BaudPort1()).c_str());
      Appendf(out_, "Terminal Port2 Baud Rate:%9c%s\n", ' ', Baud(db_.BaudPort2()).c_str());
    } else if (db_.Has(SetupField::kBaud)) {
      Appendf(out_, "Terminal Baud Rate:%15c%s\n", ' ', Baud(db_.Baud()).c_str());
    }
    // The stored passwords are never written, whatever they hold.
    if (db_.Has(SetupField::kAdministrativePassword)) {
      Appendf(out_, "Administrative Password: %s\n", "********");
    }
    if (db_.Has(SetupField::kRestrictedPassword)) {
      Appendf(out_, "Restricted Password:     %s\n", "********");
    }
    if (db_.Has(SetupField::kPasscode)) Appendf(out_, "Passcode:%16c%s\n", ' ', "********");
    if (db_.Has(SetupField::kRingCount)) {
      Appendf(out_, "Ring Count:%14c%d\n", ' ', db_.RingCount());
    }
    Appendf(out_, "Primary Dial Number:     %s\n", Shown(db_.PrimaryDialNumber()).c_str());
    Appendf(out_, "Secondary Dial Number:   %s\n", Shown(db_.SecondaryDialNumber()).c_str());
    if (db_.Has(SetupField::kClockSyncMode)) {
      const std::vector<const char*> modes{model_.clockSyncMode0, "SNTP", "GPS "};
      Appendf(out_, "Clock Sync Mode:         %s\n",
              LabelOrUnknown(modes, db_.ClockSyncMode()).c_str());
    }
    if (db_.Has(SetupField::kOpenClockSyncInput)) {
      Appendf(out_, "Open Clock Sync Input:   %d\n", db_.OpenClockSyncInput());
    }
    if (db_.Has(SetupField::kClockSyncInput)) {
      const int input = db_.ClockSyncInput();
      const std::string text = db_.IsNoInput(SetupField::kClockSyncInput, input)
                                   ? std::string(model_.clockSyncNone)
                                   : Id(input);
      Appendf(out_, "Clock Sync Input:        %s\n", text.c_str());
    }
    if (db_.Has(SetupField::kSntpServerAddress)) {
      Appendf(out_, "SNTP Server:             %s\n", Octets(db_.SntpServer()).c_str());
    }
    if (db_.Has(SetupField::kHighTemperatureLimit)) {
      Appendf(out_, "High Temp Limit:         %3d Degrees F\n", db_.HighTemperatureLimit());
    }
    if (db_.Has(SetupField::kLowTemperatureLimit)) {
      Appendf(out_, "Low Temp Limit:          %3d Degrees F\n", db_.LowTemperatureLimit());
    }
    if (db_.Has(SetupField::kTimeZone)) {
      const int zone = db_.TimeZone();
      const std::string text = model_.timeZones.empty()
                                   ? Format("Zone %d (this model has no zone names)", zone)
                                   : LabelOrUnknown(model_.timeZones, zone);
      Appendf(out_, "Time Zone                %s\n", text.c_str());
    }
    if (db_.Has(SetupField::kDaylightSavingTime)) {
      Appendf(out_, "Daylight Saving Time     %s\n",
              LabelOrUnknown({"Disabled", "Enabled "}, db_.DaylightSavingTime()).c_str());
    }
    if (db_.Has(SetupField::kRecordFlashDetailsFlag)) {
      Appendf(out_, "Record Flash Details     %s\n",
              LabelOrUnknown({"Off", "On"}, db_.RecordFlashDetails()).c_str());
    }
    PeerProtocol();
  }

  // SLGML: the peer protocol links, the stale data timeout and the Microlok clock flag.
  void PeerProtocol() {
    if (db_.Has(SetupField::kPeerProtocolLinks)) {
      out_ += "Peer Protocol Settings:\n";
      for (int link = 0; link < db_.PeerLinkCount(); ++link) {
        Appendf(out_, "Station %d:\n", link + 1);
        Appendf(out_, "  Source Address:        %d\n", db_.PeerSourceAddress(link));
        Appendf(out_, "  Destination Address:   %d\n", db_.PeerDestinationAddress(link));
        Appendf(out_, "  Type:                  %s\n",
                LabelOrUnknown({"Disabled", "Vital", "Non-Vital"}, db_.PeerType(link)).c_str());
        Appendf(out_, "  Boolean Input Bits:    %d\n", db_.PeerBooleanInputBits(link));
      }
    }
    if (db_.Has(SetupField::kStaleDataTimeout)) {
      const unsigned t = static_cast<unsigned>(db_.StaleDataTimeout());
      Appendf(out_, "Stale Data Timeout:      %u.%1u\n", t / 10, t % 10);
    }
    if (db_.Has(SetupField::kMicrolokClockSyncFlag)) {
      Appendf(out_, "Synchronize Microlok II Clock: %s\n", YesNo(db_.MicrolokClockSync() != 0));
    }
  }

  static std::string Baud(int code) {
    const std::string label = BaudLabel(code);
    return label.empty() ? Format("Unknown (%d)", code) : label;
  }

  const SetupDatabase& db_;
  const ConverterModel& model_;
  RecorderType type_;
  int idWidth_ = 4;
  int digitalIdWidth_ = 4;
  std::string scratch_;
  std::string out_;
};

}  // namespace

std::string ListSetup(const SetupDatabase& db, const ConverterModel& model) {
  if (!db.valid()) return {};
  return Lister(db, model).Run();
}

}  // namespace zel::s2t
