#include "zel/core/query.h"

#include <algorithm>

#include "zel/core/paths.h"
#include "zel/day_number.h"

namespace zel::core {
namespace fs = std::filesystem;

void DefaultQueryInterval(const platform::LocalTime& now, platform::LocalTime& from,
                          platform::LocalTime& to) {
  from = now;
  from.hour = from.minute = from.second = from.millisecond = 0;
  to = now;
  to.hour = 23;
  to.minute = 59;
  to.second = 59;
  to.millisecond = 0;
}

platform::LocalTime AddSeconds(const platform::LocalTime& t, int64_t seconds) {
  platform::FakeClock c(t);
  c.AdvanceSeconds(seconds);
  platform::LocalTime r = c.Now();
  r.millisecond = t.millisecond;
  return r;
}

void QuickPlotInterval(const platform::LocalTime& now, int hours, platform::LocalTime& start,
                       platform::LocalTime& end) {
  hours = std::clamp(hours, 1, 24);
  end = now;
  start = AddSeconds(now, -3600LL * hours);
}

std::string DefaultPlotTemplate(const StationSettings& s, char separator) {
  return s.dataFolder + separator + "PlotAll.zpl";
}

std::optional<QueryTarget> GetDataTarget(const StationSettings& s, const RecorderRecord& r,
                                         const platform::LocalTime& start,
                                         const platform::LocalTime& end,
                                         const fs::path& chosen_file, std::string* error) {
  FolderResult q = EnsureQueryFolder(s.dataFolder, r.id);
  if (!q) {
    if (error) *error = q.error;
    return std::nullopt;
  }
  QueryTarget t;
  t.start = start;
  t.end = end;
  t.folder = chosen_file.has_parent_path() ? chosen_file.parent_path() : *q.path;
  t.fileName = chosen_file.filename().string();
  return t;
}

std::optional<QueryTarget> QuickPlotTarget(const ToolEnv& env, const StationSettings& s,
                                           const RecorderRecord& r, const platform::LocalTime& now,
                                           int hours, const std::string& template_path,
                                           std::string* error) {
  FolderResult q = EnsureQueryFolder(s.dataFolder, r.id);
  if (!q) {
    if (error) *error = q.error;
    return std::nullopt;
  }
  QueryTarget t;
  QuickPlotInterval(now, hours, t.start, t.end);
  t.folder = *q.path;
  t.fileName = kQuickPlotFile;
  std::string queryFolderText = s.dataFolder + env.separator + r.id + env.separator + "Query";
  t.quickPlotCommand =
      QuickPlotCommand(env, template_path, queryFolderText, t.fileName, s.dataFolder, r.id);
  return t;
}

}  // namespace zel::core
