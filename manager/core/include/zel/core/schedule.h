// The weekly polling schedule, the once-a-minute check that fires scheduled polls, and the
// hourly handling of event files older than 30 days.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zel/core/settings.h"
#include "zel/platform/clock.h"
#include "zel/platform/prompter.h"
#include "zel/recorder.h"

namespace zel::core {

// Days back to the previous enabled day of weekday w (0 = Sunday): the first enabled day among
// w-1, w-2, ... w-6 (modulo 7) at distance k gives k; none of them enabled gives 7.
int DaysBackToPreviousEnabledDay(const WeeklySchedule& schedule, int weekday);

// The check run on every tick of the one-second timer.
class ScheduleCheck {
 public:
  // Called when a scheduled poll is due: poll every recorder over the preferred connection,
  // with the events poll and this many days back.
  std::function<void(int days_back)> startPoll;
  // Called at the first tick of every hour (and the first tick after start-up).
  std::function<void()> housekeeping;

  void Tick(const platform::LocalTime& now, const WeeklySchedule& schedule);

 private:
  std::optional<int> lastMinute_;
  std::optional<int> lastHour_;
};

inline constexpr int kOldFileDays = 30;
inline constexpr char kDeleteCaption[] = "Delete Confirmation";
inline constexpr char kDeleteQuestion[] = "Delete event record files more than 30 days old?";
inline constexpr int kDeleteTimeoutMs = 60000;

// True when `name` has the form "??????-??????.bin".
bool IsEventFileName(const std::string& name);

// Event files directly in the recorders' folders whose date is at least `limit_days` before
// `today`. Recorders whose ID cannot name a folder are passed over. With `first_only` the
// search stops at the first old file.
std::vector<std::filesystem::path> FindOldEventFiles(const std::string& data_folder,
                                                     const std::vector<RecorderRecord>& recorders,
                                                     const platform::LocalTime& today,
                                                     int limit_days, bool first_only = false);

// Old file handling by the AutoDelete setting: 0 deletes without asking, 1 asks through
// `prompter` (Yes deletes; the box gives up after 60 s as No), 2 does nothing. Returns the
// number of files deleted; files that cannot be deleted stay without a message.
int HandleOldEventFiles(const StationSettings& settings,
                        const std::vector<RecorderRecord>& recorders,
                        const platform::LocalTime& today, platform::Prompter& prompter,
                        int limit_days = kOldFileDays);

}  // namespace zel::core
