#include "zel/identifiers.h"

#include <array>
#include <cstdio>
#include <initializer_list>
#include <vector>

namespace zel {
namespace {

// Rows: type, {digital, analog, virtual, timers, flash, system, named system, speed},
// digital width, letter, analog, virtual, timer, flash, system widths, invalid text, live
// digital and analog widths.
constexpr std::array<IdentifierRow, 18> kRows{{
    {0, {18, 4, 8, 0, 0, 1, 1, 0}, 2, true, 2, 2, 2, 2, 2, "---", 2, 2},
    {1, {18, 4, 8, 16, 0, 2, 5, 4}, 2, true, 2, 2, 2, 2, 2, "---", 2, 2},
    {2, {64, 8, 16, 32, 0, 7, 7, 4}, 2, true, 2, 2, 2, 2, 2, "---", 2, 2},
    {3, {256, 8, 16, 200, 0, 11, 11, 8}, 3, true, 2, 2, 3, 2, 2, "---", 3, 2},
    {4, {256, 8, 96, 200, 0, 12, 12, 8}, 3, true, 2, 2, 3, 2, 2, "---", 3, 2},
    {5, {256, 8, 96, 200, 0, 11, 11, 4}, 3, true, 2, 2, 3, 2, 2, "---", 3, 2},
    {6, {4096, 128, 32, 999, 0, 83, 83, 16}, 4, true, 3, 2, 3, 2, 2, "***", 4, 3},
    {7, {256, 16, 16, 0, 0, 3, 3, 0}, 3, false, 2, 2, 2, 2, 2, "---", 3, 2},
    {8, {256, 16, 16, 0, 0, 3, 3, 0}, 3, false, 2, 2, 2, 2, 2, "---", 3, 2},
    {9, {64, 32, 48, 32, 0, 3, 3, 0}, 2, true, 2, 2, 2, 2, 2, "***", 2, 2},
    {10, {20, 4, 8, 16, 20, 11, 11, 4}, 2, true, 2, 2, 2, 2, 2, "---", 2, 2},
    {11, {256, 4, 8, 16, 0, 6, 6, 0}, 3, true, 2, 2, 2, 2, 2, "***", 3, 2},
    {12, {256, 4, 8, 16, 0, 7, 7, 0}, 3, true, 2, 2, 2, 2, 2, "***", 3, 2},
    {13, {64, 8, 32, 32, 64, 11, 11, 4}, 2, true, 2, 2, 2, 2, 2, "---", 2, 2},
    {14, {999, 4, 8, 16, 0, 6, 6, 0}, 3, true, 2, 2, 2, 2, 2, "***", 3, 2},
    {15, {999, 4, 8, 16, 0, 6, 6, 0}, 3, true, 2, 2, 2, 2, 2, "***", 3, 2},
    {16, {256, 16, 16, 0, 0, 3, 11, 4}, 3, false, 2, 2, 2, 2, 2, "---", 3, 2},
    {18, {4096, 64, 32, 99, 0, 87, 87, 16}, 4, true, 3, 2, 3, 2, 2, "***", 4, 2},
}};

// Fixed system inputs, in the order they follow the timers (or flash details).
enum SysName { kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kClockSet, kFlashAlarm, kPeer };

struct SysText {
  const char* longName;
  const char* shortName;
};
constexpr std::array<SysText, 9> kSysTexts{{
    {"System Power", "Power"},
    {"High Temperature", "HighTemp"},
    {"Low Temperature", "LowTemp"},
    {"Sntp Clock Sync", "SntpSync"},
    {"GPS 5 Sec Correction", "GPS 5Sec"},
    {"GPS Clock Record", "GPS Rec"},
    {"Clock Set", "ClockSet"},
    {"Flash Rate Alarm", "FlashAlm"},
    {"PEER Link Status", "PEER Lnk"},
}};

struct SystemNames {
  RecorderType type;
  std::vector<SysName> fixed;
  int subUnits;  // sub-units of four after the speed monitors
};

const std::vector<SystemNames>& NameTable() {
  static const std::vector<SystemNames> table = {
      {0, {kPower}, 0},
      {1, {kPower}, 0},
      {2, {kPower, kHigh, kLow}, 0},
      {3, {kPower, kHigh, kLow}, 0},
      {4, {kPower, kHigh, kLow, kSntp}, 0},
      {5, {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kClockSet}, 0},
      {6, {kPower, kHigh, kLow}, 16},
      {7, {kPower, kHigh, kLow}, 0},
      {8, {kPower, kHigh, kLow}, 0},
      {9, {kPower, kHigh, kLow}, 0},
      {10, {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kFlashAlarm}, 0},
      {11, {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec}, 0},
      {12, {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kPeer}, 0},
      {13, {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kFlashAlarm}, 0},
      {14, {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec}, 0},
      {15, {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec}, 0},
      {16, {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kClockSet}, 0},
      {18, {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kClockSet}, 16},
  };
  return table;
}

const SystemNames* FindNames(RecorderType type) {
  for (const auto& n : NameTable()) {
    if (n.type == type) return &n;
  }
  return nullptr;
}

std::string Format(const char* letter, int width, int number) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%0*d", letter, width, number);
  return buf;
}

constexpr const char* kInvalidLong = "Invalid input number";
constexpr const char* kInvalidShort = "Invalid";

// Name of a named system input; `longName` picks the column. Empty optional-like: returns
// nullptr-free text, invalid texts when out of range.
std::string SystemName(RecorderType type, int input, bool longName) {
  const IdentifierRow* row = FindIdentifierRow(type);
  const SystemNames* names = FindNames(type);
  if (row == nullptr || names == nullptr) return longName ? kInvalidLong : kInvalidShort;
  int idx = input - FirstSystemInput(type);
  if (idx < 0 || idx >= row->counts.namedSystem) return longName ? kInvalidLong : kInvalidShort;
  const int fixed = static_cast<int>(names->fixed.size());
  if (idx < fixed) {
    const SysText& t = kSysTexts[names->fixed[static_cast<size_t>(idx)]];
    return longName ? t.longName : t.shortName;
  }
  idx -= fixed;
  char buf[48];
  if (idx < row->counts.speedMonitors) {
    if (!longName) return "SpeedLim";
    std::snprintf(buf, sizeof buf, "Speed Monitor %d", idx + 1);
    return buf;
  }
  idx -= row->counts.speedMonitors;
  const int unit = idx / 4 + 1;
  switch (idx % 4) {
    case 0:
      std::snprintf(buf, sizeof buf, longName ? "System Power-%d" : "Power-%d", unit);
      return buf;
    case 1:
      std::snprintf(buf, sizeof buf, longName ? "High Temperature-%d" : "HiTmp-%d", unit);
      return buf;
    case 2:
      std::snprintf(buf, sizeof buf, longName ? "Low Temperature-%d" : "LoTmp-%d", unit);
      return buf;
    default:
      return longName ? kInvalidLong : kInvalidShort;
  }
}

}  // namespace

const IdentifierRow* FindIdentifierRow(RecorderType type) {
  for (const auto& r : kRows) {
    if (r.type == type) return &r;
  }
  return nullptr;
}

InputCounts InputCountsOf(RecorderType type) {
  const IdentifierRow* r = FindIdentifierRow(type);
  return r == nullptr ? InputCounts{} : r->counts;
}

int FirstAnalogInput(RecorderType type) { return InputCountsOf(type).digital; }
int FirstVirtualInput(RecorderType type) {
  const InputCounts c = InputCountsOf(type);
  return c.digital + c.analog;
}
int FirstTimerInput(RecorderType type) {
  return FirstVirtualInput(type) + InputCountsOf(type).virtuals;
}
int FirstFlashDetailInput(RecorderType type) {
  return FirstTimerInput(type) + InputCountsOf(type).timers;
}
int FirstSystemInput(RecorderType type) {
  return FirstFlashDetailInput(type) + InputCountsOf(type).flashDetails;
}
int SystemInputCount(RecorderType type) { return InputCountsOf(type).system; }
int TotalInputCount(RecorderType type) { return FirstSystemInput(type) + SystemInputCount(type); }
int LiveInputCount(RecorderType type) {
  const InputCounts c = InputCountsOf(type);
  return c.digital + c.analog + c.virtuals;
}

InputKind KindOfInput(RecorderType type, int input) {
  const IdentifierRow* r = FindIdentifierRow(type);
  if (r == nullptr || input < 0) return InputKind::kInvalid;
  const InputCounts& c = r->counts;
  int n = input;
  if (n < c.digital) return InputKind::kDigital;
  n -= c.digital;
  if (n < c.analog) return InputKind::kAnalog;
  n -= c.analog;
  if (n < c.virtuals) return InputKind::kVirtual;
  n -= c.virtuals;
  if (n < c.timers) return InputKind::kTimer;
  n -= c.timers;
  if (n < c.flashDetails) return InputKind::kFlashDetail;
  n -= c.flashDetails;
  if (n < c.system) return InputKind::kSystem;
  return InputKind::kInvalid;
}

int FlashDetailSource(RecorderType type, int input) {
  if (KindOfInput(type, input) != InputKind::kFlashDetail) return -1;
  return input - FirstFlashDetailInput(type);
}

std::string SetupIdentifier(RecorderType type, int input) {
  const IdentifierRow* r = FindIdentifierRow(type);
  if (r == nullptr) return {};
  switch (KindOfInput(type, input)) {
    case InputKind::kDigital:
      return Format(r->digitalLetter ? "D" : "", r->digitalWidth, input + 1);
    case InputKind::kAnalog:
      return Format("A", r->analogWidth, input - FirstAnalogInput(type) + 1);
    case InputKind::kVirtual:
      return Format("V", r->virtualWidth, input - FirstVirtualInput(type) + 1);
    case InputKind::kTimer:
      return Format("T", r->timerWidth, input - FirstTimerInput(type) + 1);
    case InputKind::kFlashDetail:
      return Format("F", r->flashWidth, input - FirstFlashDetailInput(type) + 1);
    case InputKind::kSystem:
      return Format("S", r->systemWidth, input - FirstSystemInput(type) + 1);
    case InputKind::kInvalid:
      break;
  }
  return r->invalidText;
}

std::string InvalidIdentifierText(RecorderType type) {
  const IdentifierRow* r = FindIdentifierRow(type);
  return r == nullptr ? std::string() : std::string(r->invalidText);
}

std::string LiveIdentifier(RecorderType type, int index) {
  const IdentifierRow* r = FindIdentifierRow(type);
  if (r == nullptr || index < 0) return {};
  const InputCounts& c = r->counts;
  if (index < c.digital) {
    return Format(r->digitalLetter ? "D" : "", r->liveDigitalWidth, index + 1);
  }
  index -= c.digital;
  if (index < c.analog) return Format("A", r->liveAnalogWidth, index + 1);
  index -= c.analog;
  if (index < c.virtuals) return Format("V", 2, index + 1);
  return {};
}

std::string SystemInputLongName(RecorderType type, int input) {
  return SystemName(type, input, true);
}

std::string SystemInputShortName(RecorderType type, int input) {
  return SystemName(type, input, false);
}

bool IsNamedSystemInput(RecorderType type, int input) {
  const IdentifierRow* r = FindIdentifierRow(type);
  if (r == nullptr) return false;
  const int idx = input - FirstSystemInput(type);
  return idx >= 0 && idx < r->counts.namedSystem;
}

int NamedSystemInputCount(RecorderType type) { return InputCountsOf(type).namedSystem; }

int SpeedMonitorNumber(RecorderType type, int input) {
  const IdentifierRow* r = FindIdentifierRow(type);
  const SystemNames* names = FindNames(type);
  if (r == nullptr || names == nullptr) return 0;
  const int idx = input - FirstSystemInput(type) - static_cast<int>(names->fixed.size());
  if (idx < 0 || idx >= r->counts.speedMonitors) return 0;
  return idx + 1;
}

}  // namespace zel
