// Texts of absolute times (ticks since 1 January 2000) in the formats of the three tick rates:
// date and time, time of day only, and the difference of two times.
#pragma once

#include <cstdint>
#include <string>

namespace zel::qplot {

class TimeTexts {
 public:
  explicit TimeTexts(int ticks_per_second) : tps_(ticks_per_second > 0 ? ticks_per_second : 100) {}

  int TicksPerSecond() const { return tps_; }
  // "%02d/%02d/%02d %02d:%02d:%02d.%02d" (month, day, year, ...; the fraction in hundredths,
  // thousandths or tenths by the tick rate).
  std::string DateTime(double ticks) const;
  // "%02d:%02d:%02d.%02d" (and its thousandths and tenths forms).
  std::string TimeOnly(double ticks) const;
  // Under one day the time-only text; otherwise the whole days first: "%2dD " (1/100 s and
  // 1/10 s) or "%dD " (1/1000 s) ahead of the time-only text of the rest.
  std::string Difference(double ticks) const;
  // "%02d/%02d/%02d %02d:%02d:%02d": date and whole seconds.
  std::string DateTimeSeconds(double ticks) const;

 private:
  int tps_;
};

}  // namespace zel::qplot
