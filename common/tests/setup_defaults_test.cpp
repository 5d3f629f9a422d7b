#include <gtest/gtest.h>

#include "zel/setup_database.h"

namespace zel {
namespace {

TEST(SetupDefaults, Krv517InFull) {
  SetupDatabase db(3);
  db.SetTimeZone(9);  // nothing from before survives
  db.SetName(5, "old");
  db.RestoreFactoryDefaults();
  for (int n = 0; n < 256; ++n) {
    char name[32], id[16];
    std::snprintf(name, sizeof name, "Digital Input %03d", n + 1);
    std::snprintf(id, sizeof id, "DInpu%03d", n + 1);
    ASSERT_EQ(db.Name(n), name);
    ASSERT_EQ(db.Identifier(n), id);
    ASSERT_EQ(db.DetectTime(n), 300);
    ASSERT_FALSE(db.FlashEnabled(n));
    ASSERT_EQ(db.EventPair(n), 0);
  }
  for (int a = 0; a < 8; ++a) {
    char name[32], id[16];
    std::snprintf(name, sizeof name, "Analog Input %02d", a + 1);
    std::snprintf(id, sizeof id, "AInput%02d", a + 1);
    EXPECT_EQ(db.Name(256 + a), name);
    EXPECT_EQ(db.AnalogFilter(a), 1);
    if (a < 7) {
      EXPECT_EQ(db.Identifier(256 + a), id);
      EXPECT_EQ(db.AnalogRange(a), 0);
      EXPECT_EQ(db.HighThreshold(a), 255);
      EXPECT_EQ(db.LowThreshold(a), -256);
    }
  }
  EXPECT_EQ(db.Identifier(263), "Battery");
  EXPECT_EQ(db.AnalogRange(7), 1);
  EXPECT_EQ(db.HighThreshold(7), 511);
  EXPECT_EQ(db.LowThreshold(7), 0);
  for (int v = 0; v < 16; ++v) {
    char name[32], id[16];
    std::snprintf(name, sizeof name, "Virtual Input %02d", v + 1);
    std::snprintf(id, sizeof id, "VInput%02d", v + 1);
    EXPECT_EQ(db.Name(264 + v), name);
    EXPECT_EQ(db.Identifier(264 + v), id);
    for (int s = 0; s < 4; ++s) EXPECT_EQ(db.VirtualSource(v, s), 0xFFFF);
    EXPECT_EQ(db.TruthTable(v), 0);
    EXPECT_EQ(db.DialOut(v), 0);
    EXPECT_EQ(db.RelayFlags(v), 0);
    EXPECT_EQ(db.EventPair(264 + v), 0);
  }
  for (int p = 0; p < 15; ++p) {
    EXPECT_EQ(db.OnName(p), "On");
    EXPECT_EQ(db.OffName(p), "Off");
  }
  EXPECT_EQ(db.OnName(15), "Violate");
  EXPECT_EQ(db.OffName(15), "Nominal");
  EXPECT_EQ(db.UnitName(), "***** NOT SET *****");
  EXPECT_EQ(db.AdministrativePassword(), "QUILLMAN");
  EXPECT_EQ(db.RestrictedPassword(), "FERNGATE");
  EXPECT_EQ(db.Passcode(), "40719268");
  EXPECT_EQ(db.PrimaryDialNumber(), "");
  EXPECT_EQ(db.SecondaryDialNumber(), "");
  EXPECT_EQ(db.RingCount(), 2);
  EXPECT_EQ(db.Baud(), 7);
  EXPECT_EQ(db.ClockSyncInput(), 0xFFFF);
  EXPECT_EQ(db.HighTemperatureLimit(), 257);
  EXPECT_EQ(db.LowTemperatureLimit(), -67);
  for (int m = 0; m < 8; ++m) {
    EXPECT_EQ(db.SpeedSensor1(m), 0xFFFF);
    EXPECT_EQ(db.SpeedSensor2(m), 0xFFFF);
    EXPECT_EQ(db.SpeedDistance(m), 0);
    EXPECT_EQ(db.SpeedThreshold(m), 0);
  }
  for (int t = 0; t < 200; ++t) {
    char name[32], id[16];
    std::snprintf(name, sizeof name, "Timer %03d", t + 1);
    std::snprintf(id, sizeof id, "Timer%03d", t + 1);
    ASSERT_EQ(db.Name(280 + t), name);
    ASSERT_EQ(db.Identifier(280 + t), id);
    ASSERT_EQ(db.EventPair(280 + t), 15);
    ASSERT_EQ(db.TimerFrom(t), -1);
    ASSERT_EQ(db.TimerTo(t), -1);
    ASSERT_EQ(db.TimerFromState(t), 0);
    ASSERT_EQ(db.TimerToState(t), 0);
    ASSERT_EQ(db.TimerLowLimit(t), 0);
    ASSERT_EQ(db.TimerHighLimit(t), 0);
  }
}

struct Pattern {
  RecorderType type;
  const char* firstDigitalName;
  const char* firstDigitalId;
  const char* lastTimerName;  // nullptr: no timers
  const char* lastTimerId;
  int detectTime;  // -1: no detect times
  int timerPair;   // -1: every pair On/Off
};

TEST(SetupDefaults, NamesPairsAndDetectTimesByModel) {
  const Pattern patterns[] = {
      {0, "Digital Input 01", "DInput01", nullptr, nullptr, 3000, -1},
      {1, "Digital Input 01", "DInput01", "Timer 16", "Timer16", 3000, 17},
      {2, "Digital Input 01", "DInput01", "Timer 32", "Timer32", 300, 15},
      {4, "Digital Input 001", "Dinpu001", "Timer 200", "Timer200", 300, 15},
      {5, "Digital Input 001", "Dinpu001", "Timer 200", "Timer200", 300, 19},
      {6, "Digital Input 0001", "Dinp0001", "Timer 999", "Timer999", 300, 15},
      {7, "Digital Input 001", "DInpu001", nullptr, nullptr, 300, -1},
      {8, "Digital Input 001", "DInpu001", nullptr, nullptr, 300, -1},
      {9, "Digital Input 01", "DInput01", "Timer 32", "Timer32", 300, 15},
      {10, "Digital Input 01", "DInput01", "Timer 16", "Timer16", 300, 19},
      {11, "Digital Input 001", "DInpu001", "Timer 16", "Timer16", -1, 19},
      {12, "Digital Input 001", "DInpu001", "Timer 16", "Timer16", -1, 19},
      {13, "Digital Input 01", "DInput01", "Timer 32", "Timer32", 30, 19},
      {14, "Digital Input 001", "DInpu001", "Timer 16", "Timer16", -1, 19},
      {15, "Digital Input 001", "DInpu001", "Timer 16", "Timer16", -1, 19},
      {16, "Digital Input 001", "DInpu001", nullptr, nullptr, 30, -1},
      {18, "Digital Input 0001", "Dinp0001", "Timer 099", "Timer099", 300, 15},
  };
  for (const auto& p : patterns) {
    SCOPED_TRACE(p.type);
    SetupDatabase db(p.type);
    db.RestoreFactoryDefaults();
    EXPECT_EQ(db.Name(0), p.firstDigitalName);
    EXPECT_EQ(db.Identifier(0), p.firstDigitalId);
    const int lastDigital = db.DigitalCount() - 1;
    EXPECT_EQ(db.DetectTime(lastDigital), p.detectTime < 0 ? 0 : p.detectTime);
    EXPECT_EQ(db.Has(SetupField::kDetectTimes), p.detectTime >= 0);
    EXPECT_EQ(db.Name(db.layout()->FirstAnalog()), "Analog Input 01");
    EXPECT_EQ(db.Identifier(db.layout()->FirstVirtual()), "VInput01");
    const int last = db.EventPairCount() - 1;
    if (p.lastTimerName != nullptr) {
      const int lastTimer = db.NameCount() - 1;
      EXPECT_EQ(db.Name(lastTimer), p.lastTimerName);
      EXPECT_EQ(db.Identifier(lastTimer), p.lastTimerId);
      EXPECT_EQ(db.EventPair(lastTimer), p.timerPair);
      EXPECT_EQ(db.EventPair(db.layout()->FirstTimer()), p.timerPair);
      EXPECT_EQ(db.TimerFrom(db.TimerCount() - 1) & 0xFF, 0xFF);  // none in any width
      EXPECT_TRUE(db.IsNoInput(SetupField::kTimerToInput, db.TimerTo(0)));
    }
    EXPECT_EQ(p.timerPair, p.timerPair < 0 ? -1 : last);
    EXPECT_EQ(db.OnName(last), p.timerPair < 0 ? "On" : "Violate");
    EXPECT_EQ(db.OffName(last), p.timerPair < 0 ? "Off" : "Nominal");
    EXPECT_EQ(db.OnName(0), "On");
    EXPECT_EQ(db.EventPair(lastDigital), 0);
    EXPECT_EQ(db.UnitName(), "***** NOT SET *****");
    EXPECT_EQ(db.AdministrativePassword(), "QUILLMAN");
    EXPECT_EQ(db.Passcode(), "40719268");
    EXPECT_EQ(db.RingCount(), 2);
    EXPECT_EQ(db.Baud(), 7);
    if (db.Has(SetupField::kBaudPort2)) {
      EXPECT_EQ(db.BaudPort2(), 7);
    }
    if (db.VirtualCount() > 0) {
      EXPECT_TRUE(db.IsNoInput(SetupField::kVirtualInputs, db.VirtualSource(0, 3),
                               SetupMember::kSourceInputs));
    }
    if (db.Has(SetupField::kClockSyncInput)) {
      EXPECT_TRUE(db.IsNoInput(SetupField::kClockSyncInput, db.ClockSyncInput()));
    }
    if (db.Has(SetupField::kHighTemperatureLimit)) {
      EXPECT_EQ(db.HighTemperatureLimit(), 257);
      EXPECT_EQ(db.LowTemperatureLimit(), -67);
    }
  }
}

TEST(SetupDefaults, OneByteNoneValuesOfKrv19) {
  for (RecorderType t : {0, 1}) {
    SetupDatabase db(t);
    db.RestoreFactoryDefaults();
    EXPECT_EQ(db.VirtualSource(0, 0), 255);
    EXPECT_EQ(db.ClockSyncInput(), 255);
    EXPECT_EQ(db.SpeedSensor1(0), 255);
    EXPECT_EQ(db.SpeedDistanceUnit(0), 0);  // inches
    if (t == 1) {
      EXPECT_EQ(db.TimerFrom(15), 255);
    }
  }
  SetupDatabase k61(2);  // signed one-byte timer inputs read -1
  k61.RestoreFactoryDefaults();
  EXPECT_EQ(k61.TimerTo(31), -1);
  EXPECT_EQ(k61.ClockSyncInput(), 255);
}

TEST(SetupDefaults, ModelDifferences) {
  // Battery input: range 1, 511 / 0; identifier "Battery" only in KRV-517, KRV-61, KRV-583.
  for (RecorderType t : {2, 3, 4, 5, 7}) {
    SCOPED_TRACE(t);
    SetupDatabase db(t);
    db.RestoreFactoryDefaults();
    EXPECT_EQ(db.AnalogRange(7), 1);
    EXPECT_EQ(db.HighThreshold(7), 511);
    EXPECT_EQ(db.LowThreshold(7), 0);
    const bool battery = t == 2 || t == 3 || t == 7;
    EXPECT_EQ(db.Identifier(db.layout()->FirstAnalog() + 7), battery ? "Battery" : "AInput08");
    EXPECT_EQ(db.AnalogRange(6), 0);
  }
  SetupDatabase k583e(8);
  k583e.RestoreFactoryDefaults();
  EXPECT_EQ(k583e.AnalogRange(7), 0);
  EXPECT_EQ(k583e.HighThreshold(15), 255);
  EXPECT_EQ(k583e.CodingName(0), "Coding");
  // KRV-85E: no range or filter; thresholds 100 / 0.
  SetupDatabase k85(9);
  k85.RestoreFactoryDefaults();
  EXPECT_FALSE(k85.Has(SetupField::kAnalogRange));
  for (int a = 0; a < 32; ++a) {
    EXPECT_EQ(k85.HighThreshold(a), 100);
    EXPECT_EQ(k85.LowThreshold(a), 0);
  }
  // Clock defaults: time zone 4, DST on (KRV-61 DST only).
  for (RecorderType t : {4, 5, 14, 15, 16}) {
    SCOPED_TRACE(t);
    SetupDatabase db(t);
    db.RestoreFactoryDefaults();
    EXPECT_EQ(db.TimeZone(), 4);
    EXPECT_EQ(db.DaylightSavingTime(), 1);
    EXPECT_EQ(db.SntpServer(), (std::array<uint8_t, 4>{0, 0, 0, 0}));
  }
  for (RecorderType t : {6, 8, 10, 11, 12, 13, 18}) {
    SCOPED_TRACE(t);
    SetupDatabase db(t);
    db.RestoreFactoryDefaults();
    EXPECT_EQ(db.TimeZone(), 0);
    EXPECT_EQ(db.DaylightSavingTime(), 0);
  }
  SetupDatabase k61(2);
  k61.RestoreFactoryDefaults();
  EXPECT_EQ(k61.DaylightSavingTime(), 1);
  // Open byte 255 and clock sync mode 0 in KRV-37E and KRV-61E.
  for (RecorderType t : {10, 13}) {
    SetupDatabase db(t);
    db.RestoreFactoryDefaults();
    EXPECT_EQ(db.OpenClockSyncInput(), 255);
    EXPECT_EQ(db.ClockSyncMode(), 0);
    EXPECT_EQ(db.RecordFlashDetails(), 0);
  }
  // The SLGML create prompt adds time zone 0 and DST 1; plain defaults leave both 0.
  SetupDatabase ml(12);
  ml.RestoreFactoryDefaults();
  EXPECT_EQ(ml.DaylightSavingTime(), 0);
  ml.SetTimeZone(3);
  ml.ApplyCreatePromptDefaults();
  EXPECT_EQ(ml.TimeZone(), 0);
  EXPECT_EQ(ml.DaylightSavingTime(), 1);
  SetupDatabase slg(11);
  slg.RestoreFactoryDefaults();
  slg.ApplyCreatePromptDefaults();
  EXPECT_EQ(slg.DaylightSavingTime(), 0);
  // KRV-517XC analog identifiers beyond 99 are cut to the identifier width.
  SetupDatabase xc(6);
  xc.RestoreFactoryDefaults();
  EXPECT_EQ(xc.Name(4096 + 127), "Analog Input 128");
  EXPECT_EQ(xc.Identifier(4096 + 127), "AInput12");
  EXPECT_EQ(xc.Identifier(4096 + 98), "AInput99");
}

}  // namespace
}  // namespace zel
