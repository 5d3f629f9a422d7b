// Factory defaults of every model's setup database ("Restore Factory Defaults").
#include <array>
#include <cstdio>
#include <string>

#include "zel/setup_database.h"

namespace zel {
namespace {

// What differs between the models' defaults; everything else follows the KRV-517 pattern.
struct DefaultsRow {
  RecorderType model;
  const char* digitalName;  // printf formats, argument: 1-based number
  const char* digitalId;
  const char* timerName;
  const char* timerId;
  int detectTime;       // stored units of the model
  bool batteryInput;    // eighth analog input: range 1, high 511, low 0
  bool batteryId;       // ... and the identifier "Battery"
  bool clockDefaults;   // time zone index 4, daylight saving time on, SNTP server 0.0.0.0
  bool dstOn;           // daylight saving time on (without the time zone default)
  bool analogAbsolute;  // KRV-85E: high threshold 100, low 0
};

constexpr const char* kD02 = "Digital Input %02d";
constexpr const char* kDI02 = "DInput%02d";
constexpr const char* kD03 = "Digital Input %03d";
constexpr const char* kT02 = "Timer %02d";
constexpr const char* kTI02 = "Timer%02d";
constexpr const char* kT03 = "Timer %03d";
constexpr const char* kTI03 = "Timer%03d";

// One row per setup layout: kSlgAS7 uses the row of kSlgS7_808, kKpd29a has none.
constexpr std::array<DefaultsRow, 17> kRows{{
    {.model = model::kKrv19xt,
     .digitalName = kD02,
     .digitalId = kDI02,
     .timerName = kT02,
     .timerId = kTI02,
     .detectTime = 3000,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kKrv19xl,
     .digitalName = kD02,
     .digitalId = kDI02,
     .timerName = kT02,
     .timerId = kTI02,
     .detectTime = 3000,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kKrv43_61,
     .digitalName = kD02,
     .digitalId = kDI02,
     .timerName = kT02,
     .timerId = kTI02,
     .detectTime = 300,
     .batteryInput = true,
     .batteryId = true,
     .clockDefaults = false,
     .dstOn = true,
     .analogAbsolute = false},
    {.model = model::kKrv517,
     .digitalName = kD03,
     .digitalId = "DInpu%03d",
     .timerName = kT03,
     .timerId = kTI03,
     .detectTime = 300,
     .batteryInput = true,
     .batteryId = true,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kKrv517e,
     .digitalName = kD03,
     .digitalId = "Dinpu%03d",
     .timerName = kT03,
     .timerId = kTI03,
     .detectTime = 300,
     .batteryInput = true,
     .batteryId = false,
     .clockDefaults = true,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kKrv517xl,
     .digitalName = kD03,
     .digitalId = "Dinpu%03d",
     .timerName = kT03,
     .timerId = kTI03,
     .detectTime = 300,
     .batteryInput = true,
     .batteryId = false,
     .clockDefaults = true,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kKrv517xc,
     .digitalName = "Digital Input %04d",
     .digitalId = "Dinp%04d",
     .timerName = kT03,
     .timerId = kTI03,
     .detectTime = 300,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kKrv583,
     .digitalName = kD03,
     .digitalId = "DInpu%03d",
     .timerName = kT03,
     .timerId = kTI03,
     .detectTime = 300,
     .batteryInput = true,
     .batteryId = true,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kKrv583e,
     .digitalName = kD03,
     .digitalId = "DInpu%03d",
     .timerName = kT03,
     .timerId = kTI03,
     .detectTime = 300,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kKrv85e,
     .digitalName = kD02,
     .digitalId = kDI02,
     .timerName = kT02,
     .timerId = kTI02,
     .detectTime = 300,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = true},
    {.model = model::kKrv37e,
     .digitalName = kD02,
     .digitalId = kDI02,
     .timerName = kT02,
     .timerId = kTI02,
     .detectTime = 300,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kSlgS7_246,
     .digitalName = kD03,
     .digitalId = "DInpu%03d",
     .timerName = kT02,
     .timerId = kTI02,
     .detectTime = 300,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kSlgMicrolok,
     .digitalName = kD03,
     .digitalId = "DInpu%03d",
     .timerName = kT02,
     .timerId = kTI02,
     .detectTime = 300,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kKrv61e,
     .digitalName = kD02,
     .digitalId = kDI02,
     .timerName = kT02,
     .timerId = kTI02,
     .detectTime = 30,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kSlgS7_808,
     .digitalName = kD03,
     .digitalId = "DInpu%03d",
     .timerName = kT02,
     .timerId = kTI02,
     .detectTime = 300,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = true,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kKrv583a,
     .digitalName = kD03,
     .digitalId = "DInpu%03d",
     .timerName = kT03,
     .timerId = kTI03,
     .detectTime = 30,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = true,
     .dstOn = false,
     .analogAbsolute = false},
    {.model = model::kKrv517ax,
     .digitalName = "Digital Input %04d",
     .digitalId = "Dinp%04d",
     .timerName = kT03,
     .timerId = kTI03,
     .detectTime = 300,
     .batteryInput = false,
     .batteryId = false,
     .clockDefaults = false,
     .dstOn = false,
     .analogAbsolute = false},
}};
static_assert(OneRowPerModel(kRows, [](const DefaultsRow& r) { return r.model; },
                             {model::kSlgAS7, model::kKpd29a}),
              "the factory defaults need one row for every model with its own setup layout");

const DefaultsRow* RowOf(RecorderType type) {
  type = SetupTypeOf(type);
  for (const DefaultsRow& row : kRows)
    if (row.model == type) return &row;
  return nullptr;
}

std::string Format(const char* format, int n) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, n);
  return buffer;
}

}  // namespace

void SetupDatabase::RestoreFactoryDefaults() {
  const DefaultsRow* row = RowOf(type_);
  if (layout_ == nullptr || row == nullptr) return;
  Clear();
  const SetupLayout& l = *layout_;

  // Event pairs: "On"/"Off"; with timers the last pair is "Violate"/"Nominal" for them.
  for (int p = 0; p < l.eventPairCount; ++p) {
    SetOnName(p, "On");
    SetOffName(p, "Off");
    SetCodingName(p, "Coding");
  }
  const int timerPair = l.eventPairCount - 1;
  if (l.timerCount > 0) {
    SetOnName(timerPair, "Violate");
    SetOffName(timerPair, "Nominal");
  }

  // Inputs: names by kind, pair 0 for all but the timers.
  for (int d = 0; d < l.digitalCount; ++d) {
    SetName(d, Format(row->digitalName, d + 1));
    SetIdentifier(d, Format(row->digitalId, d + 1));
    SetDetectTime(d, row->detectTime);
  }
  for (int a = 0; a < l.analogCount; ++a) {
    const int input = l.FirstAnalog() + a;
    SetName(input, Format("Analog Input %02d", a + 1));
    SetIdentifier(input, Format("AInput%02d", a + 1));
    SetAnalogRange(a, 0);
    SetAnalogFilter(a, 1);
    SetHighThreshold(a, row->analogAbsolute ? 100 : 255);
    SetLowThreshold(a, row->analogAbsolute ? 0 : -256);
  }
  if (row->batteryInput && l.analogCount >= 8) {
    SetAnalogRange(7, 1);
    SetHighThreshold(7, 511);
    SetLowThreshold(7, 0);
    if (row->batteryId) SetIdentifier(l.FirstAnalog() + 7, "Battery");
  }
  for (int v = 0; v < l.virtualCount; ++v) {
    const int input = l.FirstVirtual() + v;
    SetName(input, Format("Virtual Input %02d", v + 1));
    SetIdentifier(input, Format("VInput%02d", v + 1));
    for (int s = 0; s < 4; ++s) SetVirtualSource(v, s, -1);
  }
  for (int t = 0; t < l.timerCount; ++t) {
    const int input = l.FirstTimer() + t;
    SetName(input, Format(row->timerName, t + 1));
    SetIdentifier(input, Format(row->timerId, t + 1));
    SetEventPair(input, timerPair);
    SetTimerFrom(t, -1);
    SetTimerTo(t, -1);
  }

  // Speed sensors none; the distance unit stays 0 (inches).
  for (int m = 0; m < l.speedMonitorCount; ++m) {
    SetSpeedSensor1(m, -1);
    SetSpeedSensor2(m, -1);
  }

  SetUnitName("***** NOT SET *****");
  SetAdministrativePassword("QUILLMAN");
  SetRestrictedPassword("FERNGATE");
  SetPasscode("40719268");
  SetRingCount(2);
  SetNumber(SetupField::kBaud, 0, 7);
  SetNumber(SetupField::kBaudPort1, 0, 7);
  SetNumber(SetupField::kBaudPort2, 0, 7);
  SetClockSyncInput(-1);
  SetHighTemperatureLimit(257);
  SetLowTemperatureLimit(-67);
  SetOpenClockSyncInput(255);
  if (row->clockDefaults) {
    SetTimeZone(4);
    SetDaylightSavingTime(1);
  }
  if (row->dstOn) SetDaylightSavingTime(1);
}

void SetupDatabase::ApplyCreatePromptDefaults() {
  if (type_ != model::kSlgMicrolok) return;
  SetTimeZone(0);
  SetDaylightSavingTime(1);
}

}  // namespace zel
