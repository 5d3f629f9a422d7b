// API-STABLE
// The station manager's settings and weekly polling schedule, as zel.dat keeps them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zel::core {

// Line speeds by baud code 0-9 (the index is what zel.dat, polls and /baud carry).
inline constexpr std::array<int, 10> kBaudRates = {300,  600,   1200,  2400,  4800,
                                                   9600, 19200, 38400, 57600, 115200};
// Line speed of a baud code; 0 for a code outside 0..9.
int BaudRateOfCode(int code);

// Limits of the text fields (characters, without the terminator) and of the ranges.
inline constexpr std::size_t kMaxRecorderId = 20;
inline constexpr std::size_t kMaxPhone = 16;
inline constexpr std::size_t kMaxPassword = 10;
inline constexpr std::size_t kMaxModemText = 32;  // ModemInit and DialPrefix
inline constexpr std::size_t kMaxDataFolder = 260;
inline constexpr int kMinRetries = 1;
inline constexpr int kMaxRetries = 10;
inline constexpr int kMaxBaudCode = 9;

// One weekday of the schedule: the day's check box and its poll time in quarter hours
// (0 = 00:00 ... 95 = 23:45).
struct ScheduleDay {
  int32_t enabled = 0;
  int32_t time = 0;
  friend bool operator==(const ScheduleDay&, const ScheduleDay&) = default;
};
// Index 0 is Sunday, 6 Saturday.
using WeeklySchedule = std::array<ScheduleDay, 7>;

// "%02d:%02d" of a quarter-hour time (time / 4 hours, (time mod 4) * 15 minutes).
std::string ScheduleTimeText(int quarter_hours);

struct StationSettings {
  int32_t directPort = 0;          // "DirectPort": default direct serial port, 0-based (0 = COM1)
  int32_t directBaud = 7;          // "DirectBaud": baud code of direct access
  int32_t port = 1;                // "Port": modem serial port, 0-based
  int32_t baud = 8;                // "Baud": baud code of the modem
  int32_t preferedConnection = 0;  // "PreferedConnection": 0 Dial, 1 Direct
  std::string modemInit;           // "ModemInit", at most 32 characters
  std::string dialPrefix;          // "DialPrefix", at most 32 characters
  std::string dataFolder;          // "DataFolder"
  int32_t autoDelete = 1;          // "AutoDelete": 0 delete, 1 ask, 2 never
  int32_t retries = 1;             // "Retries": 1 to 10
  int32_t clockSync = 0;           // "ClockSync"
  int32_t useTxtFile = 0;          // "UseTxtFile": reports ".txt" (1) or ".wri" (0)
  int32_t makeText = 0;            // "MakeText"
  WeeklySchedule schedule{};       // "Schedule"

  // The values used when zel.dat is missing (the member initialisers above).
  static StationSettings Defaults() { return StationSettings{}; }
  // The values of an existing zel.dat that holds no keys: every number 0, every text empty.
  static StationSettings Empty();

  // ".txt" or ".wri" by UseTxtFile.
  std::string ReportExtension() const { return useTxtFile ? ".txt" : ".wri"; }

  friend bool operator==(const StationSettings&, const StationSettings&) = default;
};

}  // namespace zel::core
