#include "zel/platform/clock.h"

#include <ctime>

#include "zel/platform/monotonic.h"

namespace zel::platform {

LocalTime SystemClock::Now() const {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  LocalTime lt;
  lt.year = tm.tm_year + 1900;
  lt.month = tm.tm_mon + 1;
  lt.day = tm.tm_mday;
  lt.hour = tm.tm_hour;
  lt.minute = tm.tm_min;
  lt.second = tm.tm_sec;
  lt.millisecond = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  lt.weekday = tm.tm_wday;
  return lt;
}

int WeekdayOf(int year, int month, int day) {
  // Sakamoto's method.
  static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + t[(month - 1) % 12] + day) % 7;
}

namespace {
// Days since 1970-01-01 of a civil date and back (Howard Hinnant's algorithms).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}
}  // namespace

void FakeClock::Set(LocalTime t) {
  t.weekday = WeekdayOf(t.year, t.month, t.day);
  std::lock_guard lock(mu_);
  now_ = t;
}

void FakeClock::AdvanceSeconds(int64_t seconds) {
  std::lock_guard lock(mu_);
  int64_t days =
      DaysFromCivil(now_.year, static_cast<unsigned>(now_.month), static_cast<unsigned>(now_.day));
  int64_t secs = days * 86400 + now_.hour * 3600 + now_.minute * 60 + now_.second + seconds;
  int64_t d = secs >= 0 ? secs / 86400 : (secs - 86399) / 86400;
  int64_t rem = secs - d * 86400;
  CivilFromDays(d, now_.year, now_.month, now_.day);
  now_.hour = static_cast<int>(rem / 3600);
  now_.minute = static_cast<int>(rem / 60 % 60);
  now_.second = static_cast<int>(rem % 60);
  now_.weekday = WeekdayOf(now_.year, now_.month, now_.day);
}

LocalTime FakeClock::Now() const {
  std::lock_guard lock(mu_);
  return now_;
}

int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t MonotonicUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace zel::platform

namespace zel::platform {

namespace {
class SystemMonotonicSource : public MonotonicSource {
 public:
  int64_t NowUs() const override { return MonotonicUs(); }
};
}  // namespace

const MonotonicSource& SystemMonotonic() {
  static const SystemMonotonicSource source;
  return source;
}

}  // namespace zel::platform
