#include "zel/core/schedule.h"

#include <cctype>
#include <system_error>

#include "zel/core/paths.h"
#include "zel/core/poll_engine.h"
#include "zel/day_number.h"

namespace zel::core {
namespace fs = std::filesystem;

int DaysBackToPreviousEnabledDay(const WeeklySchedule& schedule, int weekday) {
  for (int k = 1; k <= 6; ++k) {
    int d = ((weekday - k) % 7 + 7) % 7;
    if (schedule[static_cast<std::size_t>(d)].enabled) return k;
  }
  return 7;
}

void ScheduleCheck::Tick(const platform::LocalTime& now, const WeeklySchedule& schedule) {
  if (!lastMinute_ || *lastMinute_ != now.minute) {
    lastMinute_ = now.minute;
    const int w = ((now.weekday % 7) + 7) % 7;
    const ScheduleDay& day = schedule[static_cast<std::size_t>(w)];
    if (day.enabled && day.time * 15 == now.hour * 60 + now.minute && startPoll)
      startPoll(DaysBackToPreviousEnabledDay(schedule, w));
  }
  if (!lastHour_ || *lastHour_ != now.hour) {
    lastHour_ = now.hour;
    if (housekeeping) housekeeping();
  }
}

bool IsEventFileName(const std::string& name) {
  // "??????-??????.bin": any character where the pattern has "?".
  return name.size() == 17 && name[6] == '-' && name.compare(13, 4, ".bin") == 0;
}

namespace {

// Day number of the date in an event file's name, nullopt when its first six characters are
// not digits.
std::optional<int> DayOfEventFile(const std::string& name) {
  for (int i = 0; i < 6; ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[static_cast<std::size_t>(i)])))
      return std::nullopt;
  auto two = [&](int at) { return (name[at] - '0') * 10 + (name[at + 1] - '0'); };
  return DayNumber(two(0), two(2), two(4));
}

}  // namespace

std::vector<fs::path> FindOldEventFiles(const std::string& data_folder,
                                        const std::vector<RecorderRecord>& recorders,
                                        const platform::LocalTime& today, int limit_days,
                                        bool first_only) {
  std::vector<fs::path> old;
  const int todayNumber = DayNumberOf(today);
  for (const RecorderRecord& r : recorders) {
    FolderResult folder = RecorderFolder(data_folder, r.id);
    if (!folder) continue;
    std::error_code ec;
    fs::directory_iterator it(*folder.path, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      std::error_code fec;
      if (!it->is_regular_file(fec)) continue;
      const std::string name = it->path().filename().string();
      if (!IsEventFileName(name)) continue;
      std::optional<int> day = DayOfEventFile(name);
      if (!day || todayNumber - *day < limit_days) continue;
      old.push_back(it->path());
      if (first_only) return old;
    }
  }
  return old;
}

int HandleOldEventFiles(const StationSettings& settings,
                        const std::vector<RecorderRecord>& recorders,
                        const platform::LocalTime& today, platform::Prompter& prompter,
                        int limit_days) {
  if (settings.autoDelete == 2) return 0;
  if (settings.autoDelete == 1) {
    if (FindOldEventFiles(settings.dataFolder, recorders, today, limit_days, true).empty())
      return 0;
    platform::PromptAnswer a =
        prompter.Show(kDeleteCaption, kDeleteQuestion, platform::PromptButtons::YesNo,
                      kDeleteTimeoutMs, platform::PromptAnswer::No);
    if (a != platform::PromptAnswer::Yes) return 0;
  } else if (settings.autoDelete != 0) {
    return 0;  // a value outside 0..2 deletes nothing
  }
  int deleted = 0;
  for (const fs::path& p : FindOldEventFiles(settings.dataFolder, recorders, today, limit_days)) {
    std::error_code ec;
    if (fs::remove(p, ec)) ++deleted;
  }
  return deleted;
}

}  // namespace zel::core
