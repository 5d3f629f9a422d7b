#include "model/time_text.h"

#include <cmath>
#include <cstdio>

#include "zel/day_number.h"

namespace zel::qplot {
namespace {

struct Parts {
  int month = 0, day = 0, year = 0, hours = 0, minutes = 0, seconds = 0, fraction = 0;
};

// Whole ticks of a time; times outside the day-number scale are held to its ends so the texts
// stay in their fixed widths.
int64_t WholeTicks(double ticks, int64_t ticks_per_day) {
  const double limit = static_cast<double>(ticks_per_day) * 36525.0;
  if (!(ticks >= 0)) return 0;  // also NaN
  if (ticks >= limit) return static_cast<int64_t>(limit) - 1;
  return static_cast<int64_t>(std::floor(ticks));
}

Parts Split(double ticks, int tps) {
  const int64_t per_day = TicksPerDay(tps);
  const int64_t t = WholeTicks(ticks, per_day);
  Parts p;
  if (const auto date = DateOfDayNumber(static_cast<int>(t / per_day))) {
    p.month = date->month;
    p.day = date->day;
    p.year = date->year;
  }
  int64_t rest = t % per_day;
  p.fraction = static_cast<int>(rest % tps);
  rest /= tps;
  p.seconds = static_cast<int>(rest % 60);
  p.minutes = static_cast<int>(rest / 60 % 60);
  p.hours = static_cast<int>(rest / 3600);
  return p;
}

std::string TimeOf(const Parts& p, int tps) {
  char buf[64];
  if (tps >= 1000)
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", p.hours, p.minutes, p.seconds,
                  p.fraction);
  else if (tps >= 100)
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%02d", p.hours, p.minutes, p.seconds,
                  p.fraction);
  else
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%01d", p.hours, p.minutes, p.seconds,
                  p.fraction);
  return buf;
}

std::string DateOf(const Parts& p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", p.month, p.day, p.year);
  return buf;
}

}  // namespace

std::string TimeTexts::DateTime(double ticks) const {
  const Parts p = Split(ticks, tps_);
  return DateOf(p) + " " + TimeOf(p, tps_);
}

std::string TimeTexts::TimeOnly(double ticks) const { return TimeOf(Split(ticks, tps_), tps_); }

std::string TimeTexts::DateTimeSeconds(double ticks) const {
  const Parts p = Split(ticks, tps_);
  char buf[32];
  std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", p.hours, p.minutes, p.seconds);
  return DateOf(p) + buf;
}

std::string TimeTexts::Difference(double ticks) const {
  const int64_t per_day = TicksPerDay(tps_);
  const int64_t t = WholeTicks(std::fabs(ticks), per_day);
  if (t < per_day) return TimeOnly(static_cast<double>(t));
  char days[32];
  std::snprintf(days, sizeof days, tps_ >= 1000 ? "%dD " : "%2dD ", static_cast<int>(t / per_day));
  return days + TimeOnly(static_cast<double>(t % per_day));
}

}  // namespace zel::qplot
