#include "zel/day_number.h"

#include <algorithm>
#include <array>

namespace zel {
namespace {

constexpr std::array<int, 12> kDaysBeforeMonth{0,   31,  59,  90,  120, 151,
                                               181, 212, 243, 273, 304, 334};
constexpr std::array<int, 12> kMonthLength{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr int kLastDayNumber = 36524;  // 31 December 2099

}  // namespace

uint16_t PackDate(int year, int month, int day) {
  return static_cast<uint16_t>(((year & 0x7F) << 9) | ((month & 0x0F) << 5) | (day & 0x1F));
}

uint16_t PackDate(const CivilDate& date) { return PackDate(date.year, date.month, date.day); }

CivilDate UnpackDate(uint16_t packed) {
  return CivilDate{packed >> 9, (packed >> 5) & 0x0F, packed & 0x1F};
}

int DayNumber(int year, int month, int day) {
  // A month outside the table (a damaged date field) is held to January or December, so
  // the lookup never leaves the table.
  const int m = std::clamp(month, 1, 12);
  int n = kDaysBeforeMonth[static_cast<size_t>(m - 1)] + (day - 1) + year * 365 + year / 4 + 1;
  if (year % 4 == 0 && m <= 2) n -= 1;
  return n;
}

int DayNumber(const CivilDate& date) { return DayNumber(date.year, date.month, date.day); }

int DayNumberOfPacked(uint16_t packed) { return DayNumber(UnpackDate(packed)); }

std::optional<CivilDate> DateOfDayNumber(int dayNumber) {
  if (dayNumber < 0 || dayNumber > kLastDayNumber) return std::nullopt;
  const int y = 4 * dayNumber / 1461;
  int rest = dayNumber - 365 * y - (y + 3) / 4;
  int month = 0;
  while (month < 11) {
    int len = kMonthLength[static_cast<size_t>(month)];
    if (month == 1 && y % 4 == 0) len = 29;
    if (rest < len) break;
    rest -= len;
    ++month;
  }
  return CivilDate{y, month + 1, rest + 1};
}

int64_t TicksPerDay(int ticksPerSecond) { return static_cast<int64_t>(ticksPerSecond) * 86400; }

int64_t AbsoluteTicks(uint16_t packedDate, uint32_t timeOfDay, int ticksPerSecond) {
  return static_cast<int64_t>(DayNumberOfPacked(packedDate)) * TicksPerDay(ticksPerSecond) +
         static_cast<int64_t>(timeOfDay);
}

}  // namespace zel
