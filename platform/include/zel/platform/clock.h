// Wall-clock time comes through a Clock, so schedules, file names and the set-clock command are
// testable at any date. Times are the PC's local time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace zel::platform {

struct LocalTime {
  int year = 2000;  // full year, e.g. 2024
  int month = 1;    // 1-12
  int day = 1;      // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int weekday = 6;  // 0 = Sunday ... 6 = Saturday
  friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() const = 0;
};

class SystemClock : public Clock {
 public:
  LocalTime Now() const override;
};

// A clock that stands still until moved; weekday is computed from the date.
class FakeClock : public Clock {
 public:
  explicit FakeClock(LocalTime t) { Set(t); }
  void Set(LocalTime t);
  // Moves the clock forward by whole seconds (carrying into minutes, days, months, years).
  void AdvanceSeconds(int64_t seconds);
  LocalTime Now() const override;

 private:
  mutable std::mutex mu_;
  LocalTime now_;
};

// Day of the week (0 = Sunday) of a Gregorian date.
int WeekdayOf(int year, int month, int day);

// Milliseconds of a monotonic clock, for time-outs.
int64_t MonotonicMs();
// The same clock in microseconds.
int64_t MonotonicUs();

}  // namespace zel::platform
