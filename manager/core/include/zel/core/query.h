// Query Selected Interval (Get Data, View Data, Plot Data) and Quick Plot, as logic over the
// poll engine; the dialogs that collect the choices belong to the window.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "zel/core/poll_engine.h"
#include "zel/core/settings.h"
#include "zel/core/tool_commands.h"
#include "zel/platform/clock.h"
#include "zel/recorder.h"

namespace zel::core {

inline constexpr char kQuickPlotFile[] = "Quickplot.bin";
inline constexpr char kQuickPlotTitle[] = "Quick Plot data from recorder";
inline constexpr char kGetDataTitle[] = "Query Selected Interval";
inline constexpr char kViewQueryTitle[] = "View query events";

// Default interval of the Query Selected Interval dialog: today 00:00:00 to today 23:59:59.
void DefaultQueryInterval(const platform::LocalTime& now, platform::LocalTime& from,
                          platform::LocalTime& to);

// `t` moved by a whole number of seconds (may cross days, months and years).
platform::LocalTime AddSeconds(const platform::LocalTime& t, int64_t seconds);

// Quick plot interval: end = now, start = now minus `hours` (1 to 24; clamped).
void QuickPlotInterval(const platform::LocalTime& now, int hours, platform::LocalTime& start,
                       platform::LocalTime& end);

// Default plot template of the Quick Plot dialog: data folder, separator, "PlotAll.zpl".
std::string DefaultPlotTemplate(const StationSettings& s, char separator);

// Get Data: the target of the Poll Query step for a file the user chose (its folder becomes
// the query folder, its name the file name). Makes the recorder's folders; nullopt and `error`
// when the recorder's ID cannot name a folder.
std::optional<QueryTarget> GetDataTarget(const StationSettings& s, const RecorderRecord& r,
                                         const platform::LocalTime& start,
                                         const platform::LocalTime& end,
                                         const std::filesystem::path& chosen_file,
                                         std::string* error = nullptr);

// Quick Plot: the recorder's query folder, "Quickplot.bin", the interval and the plotter's
// command line. Makes the folders; nullopt and `error` for an unsafe ID.
std::optional<QueryTarget> QuickPlotTarget(const ToolEnv& env, const StationSettings& s,
                                           const RecorderRecord& r,
                                           const platform::LocalTime& now, int hours,
                                           const std::string& template_path,
                                           std::string* error = nullptr);

}  // namespace zel::core
