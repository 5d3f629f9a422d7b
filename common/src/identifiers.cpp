#include "zel/identifiers.h"

#include <array>
#include <cstdio>
#include <initializer_list>
#include <vector>

namespace zel {
namespace {

// One row per model with inputs (every model but kKpd29a).
// clang-format off
constexpr std::array<IdentifierRow, 18> kRows{{
    {.type = model::kKrv19xt,
     .counts = {.digital = 18, .analog = 4, .virtuals = 8, .timers = 0,
                .flashDetails = 0, .system = 1, .namedSystem = 1, .speedMonitors = 0},
     .digitalWidth = 2, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "---", .liveDigitalWidth = 2, .liveAnalogWidth = 2},
    {.type = model::kKrv19xl,
     .counts = {.digital = 18, .analog = 4, .virtuals = 8, .timers = 16,
                .flashDetails = 0, .system = 2, .namedSystem = 5, .speedMonitors = 4},
     .digitalWidth = 2, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "---", .liveDigitalWidth = 2, .liveAnalogWidth = 2},
    {.type = model::kKrv43_61,
     .counts = {.digital = 64, .analog = 8, .virtuals = 16, .timers = 32,
                .flashDetails = 0, .system = 7, .namedSystem = 7, .speedMonitors = 4},
     .digitalWidth = 2, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "---", .liveDigitalWidth = 2, .liveAnalogWidth = 2},
    {.type = model::kKrv517,
     .counts = {.digital = 256, .analog = 8, .virtuals = 16, .timers = 200,
                .flashDetails = 0, .system = 11, .namedSystem = 11, .speedMonitors = 8},
     .digitalWidth = 3, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 3, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "---", .liveDigitalWidth = 3, .liveAnalogWidth = 2},
    {.type = model::kKrv517e,
     .counts = {.digital = 256, .analog = 8, .virtuals = 96, .timers = 200,
                .flashDetails = 0, .system = 12, .namedSystem = 12, .speedMonitors = 8},
     .digitalWidth = 3, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 3, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "---", .liveDigitalWidth = 3, .liveAnalogWidth = 2},
    {.type = model::kKrv517xl,
     .counts = {.digital = 256, .analog = 8, .virtuals = 96, .timers = 200,
                .flashDetails = 0, .system = 11, .namedSystem = 11, .speedMonitors = 4},
     .digitalWidth = 3, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 3, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "---", .liveDigitalWidth = 3, .liveAnalogWidth = 2},
    {.type = model::kKrv517xc,
     .counts = {.digital = 4096, .analog = 128, .virtuals = 32, .timers = 999,
                .flashDetails = 0, .system = 83, .namedSystem = 83, .speedMonitors = 16},
     .digitalWidth = 4, .digitalLetter = true, .analogWidth = 3,
     .virtualWidth = 2, .timerWidth = 3, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "***", .liveDigitalWidth = 4, .liveAnalogWidth = 3},
    {.type = model::kKrv583,
     .counts = {.digital = 256, .analog = 16, .virtuals = 16, .timers = 0,
                .flashDetails = 0, .system = 3, .namedSystem = 3, .speedMonitors = 0},
     .digitalWidth = 3, .digitalLetter = false, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "---", .liveDigitalWidth = 3, .liveAnalogWidth = 2},
    {.type = model::kKrv583e,
     .counts = {.digital = 256, .analog = 16, .virtuals = 16, .timers = 0,
                .flashDetails = 0, .system = 3, .namedSystem = 3, .speedMonitors = 0},
     .digitalWidth = 3, .digitalLetter = false, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "---", .liveDigitalWidth = 3, .liveAnalogWidth = 2},
    {.type = model::kKrv85e,
     .counts = {.digital = 64, .analog = 32, .virtuals = 48, .timers = 32,
                .flashDetails = 0, .system = 3, .namedSystem = 3, .speedMonitors = 0},
     .digitalWidth = 2, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "***", .liveDigitalWidth = 2, .liveAnalogWidth = 2},
    {.type = model::kKrv37e,
     .counts = {.digital = 20, .analog = 4, .virtuals = 8, .timers = 16,
                .flashDetails = 20, .system = 11, .namedSystem = 11, .speedMonitors = 4},
     .digitalWidth = 2, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "---", .liveDigitalWidth = 2, .liveAnalogWidth = 2},
    {.type = model::kSlgS7_246,
     .counts = {.digital = 256, .analog = 4, .virtuals = 8, .timers = 16,
                .flashDetails = 0, .system = 6, .namedSystem = 6, .speedMonitors = 0},
     .digitalWidth = 3, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "***", .liveDigitalWidth = 3, .liveAnalogWidth = 2},
    {.type = model::kSlgMicrolok,
     .counts = {.digital = 256, .analog = 4, .virtuals = 8, .timers = 16,
                .flashDetails = 0, .system = 7, .namedSystem = 7, .speedMonitors = 0},
     .digitalWidth = 3, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "***", .liveDigitalWidth = 3, .liveAnalogWidth = 2},
    {.type = model::kKrv61e,
     .counts = {.digital = 64, .analog = 8, .virtuals = 32, .timers = 32,
                .flashDetails = 64, .system = 11, .namedSystem = 11, .speedMonitors = 4},
     .digitalWidth = 2, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "---", .liveDigitalWidth = 2, .liveAnalogWidth = 2},
    {.type = model::kSlgS7_808,
     .counts = {.digital = 999, .analog = 4, .virtuals = 8, .timers = 16,
                .flashDetails = 0, .system = 6, .namedSystem = 6, .speedMonitors = 0},
     .digitalWidth = 3, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "***", .liveDigitalWidth = 3, .liveAnalogWidth = 2},
    {.type = model::kSlgAS7,
     .counts = {.digital = 999, .analog = 4, .virtuals = 8, .timers = 16,
                .flashDetails = 0, .system = 6, .namedSystem = 6, .speedMonitors = 0},
     .digitalWidth = 3, .digitalLetter = true, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "***", .liveDigitalWidth = 3, .liveAnalogWidth = 2},
    {.type = model::kKrv583a,
     .counts = {.digital = 256, .analog = 16, .virtuals = 16, .timers = 0,
                .flashDetails = 0, .system = 3, .namedSystem = 11, .speedMonitors = 4},
     .digitalWidth = 3, .digitalLetter = false, .analogWidth = 2,
     .virtualWidth = 2, .timerWidth = 2, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "---", .liveDigitalWidth = 3, .liveAnalogWidth = 2},
    {.type = model::kKrv517ax,
     .counts = {.digital = 4096, .analog = 64, .virtuals = 32, .timers = 99,
                .flashDetails = 0, .system = 87, .namedSystem = 87, .speedMonitors = 16},
     .digitalWidth = 4, .digitalLetter = true, .analogWidth = 3,
     .virtualWidth = 2, .timerWidth = 3, .flashWidth = 2, .systemWidth = 2,
     .invalidText = "***", .liveDigitalWidth = 4, .liveAnalogWidth = 2},
}};
// clang-format on
static_assert(OneRowPerModel(kRows, [](const IdentifierRow& r) { return r.type; },
                             {model::kKpd29a}),
              "the identifier table needs one row for every model with inputs");

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
      {.type = model::kKrv19xt, .fixed = {kPower}, .subUnits = 0},
      {.type = model::kKrv19xl, .fixed = {kPower}, .subUnits = 0},
      {.type = model::kKrv43_61, .fixed = {kPower, kHigh, kLow}, .subUnits = 0},
      {.type = model::kKrv517, .fixed = {kPower, kHigh, kLow}, .subUnits = 0},
      {.type = model::kKrv517e, .fixed = {kPower, kHigh, kLow, kSntp}, .subUnits = 0},
      {.type = model::kKrv517xl,
       .fixed = {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kClockSet},
       .subUnits = 0},
      {.type = model::kKrv517xc, .fixed = {kPower, kHigh, kLow}, .subUnits = 16},
      {.type = model::kKrv583, .fixed = {kPower, kHigh, kLow}, .subUnits = 0},
      {.type = model::kKrv583e, .fixed = {kPower, kHigh, kLow}, .subUnits = 0},
      {.type = model::kKrv85e, .fixed = {kPower, kHigh, kLow}, .subUnits = 0},
      {.type = model::kKrv37e,
       .fixed = {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kFlashAlarm},
       .subUnits = 0},
      {.type = model::kSlgS7_246,
       .fixed = {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec},
       .subUnits = 0},
      {.type = model::kSlgMicrolok,
       .fixed = {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kPeer},
       .subUnits = 0},
      {.type = model::kKrv61e,
       .fixed = {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kFlashAlarm},
       .subUnits = 0},
      {.type = model::kSlgS7_808,
       .fixed = {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec},
       .subUnits = 0},
      {.type = model::kSlgAS7,
       .fixed = {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec},
       .subUnits = 0},
      {.type = model::kKrv583a,
       .fixed = {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kClockSet},
       .subUnits = 0},
      {.type = model::kKrv517ax,
       .fixed = {kPower, kHigh, kLow, kSntp, kGps5, kGpsRec, kClockSet},
       .subUnits = 16},
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
