// API-STABLE
// Packed dates, day numbers (days since 1 January 2000) and ticks per day.
#pragma once

#include <cstdint>
#include <optional>

namespace zel {

// A calendar date with a two-digit year (year modulo 100).
struct CivilDate {
  int year = 0;   // 0-99
  int month = 0;  // 1-12
  int day = 0;    // 1-31
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// 16-bit packed date: day in bits 0-4, month in bits 5-8, year in bits 9-15. Each part is
// masked to its bits.
uint16_t PackDate(int year, int month, int day);
uint16_t PackDate(const CivilDate& date);
// The three fields as they stand (month 0 or 13-15 and day 0 are possible).
CivilDate UnpackDate(uint16_t packed);

// Day number of a date: cumulative days before the month + (day - 1) + y * 365 + y / 4 + 1,
// without the final 1 when y is a multiple of 4 and the month is January or February.
// A month outside 1-12 counts as January (when below 1) or December (when above 12).
int DayNumber(int year, int month, int day);
int DayNumber(const CivilDate& date);
int DayNumberOfPacked(uint16_t packed);

// Date of a day number 0 (1 January 2000) to 36524 (31 December 2099); nullopt outside.
std::optional<CivilDate> DateOfDayNumber(int dayNumber);

// Ticks per day for 1000, 100 or 10 ticks per second: 86,400,000, 8,640,000 or 864,000.
// Any other rate gives rate * 86400.
int64_t TicksPerDay(int ticksPerSecond);

// Day number x ticks per day + time of day.
int64_t AbsoluteTicks(uint16_t packedDate, uint32_t timeOfDay, int ticksPerSecond);

}  // namespace zel
