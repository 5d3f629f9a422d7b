// API-STABLE
// zel.dat: the station manager's settings, schedule and recorder list in one text file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zel/core/recorder_list.h"
#include "zel/core/settings.h"
#include "zel/recorder.h"

namespace zel::core {

inline constexpr const char* kZelDatName = "zel.dat";
// Longest line the reader takes; the rest of a longer line is dropped.
inline constexpr std::size_t kMaxZelDatLine = 1023;

struct ZelDatContents {
  StationSettings settings;
  std::vector<RecorderRecord> recorders;  // in file order
  bool scheduleLoaded = false;            // a "Schedule" line was read
};

// A number read like C atoi: leading blanks, optional sign, digits; anything else 0. Values
// past 32 bits wrap like the 32-bit fields they come from when within -2^31..2^32-1 (so the
// unsigned first reserved number and an unsigned address read back), else saturate.
int32_t ParseZelNumber(std::string_view text);

// The field splitter of "Schedule" and "Recorder" values: a field that starts with a double
// quote runs to the next double quote (quotes dropped, no escape) and may be followed by a
// comma; any other field runs to the next comma.
std::vector<std::string> SplitZelFields(std::string_view value);

// Reads the text of an existing zel.dat exactly as stored: keys missing from the text keep 0 or
// empty; no limits are applied.
ZelDatContents ParseZelDat(std::string_view text);

// Cuts texts to their field limits and clamps ranges (baud codes 0..9, Retries 1..10, serial
// port settings >= 0, recorder port selections >= -1). Returns one sentence per value changed.
std::vector<std::string> ApplyZelDatLimits(ZelDatContents& contents);

// The file text as Save writes it: fixed key order, CRLF line ends.
std::string FormatZelDat(const StationSettings& settings,
                         const std::vector<RecorderRecord>& recorders);
// One "Recorder=" line without its line end.
std::string FormatRecorderLine(const RecorderRecord& r);

struct ZelDatLoad {
  ZelDatContents contents;
  bool fileFound = false;             // false: the defaults were used
  std::vector<std::string> adjusted;  // values cut or clamped to their limits
};

// Loads a zel.dat file: defaults (no recorders, schedule off) when it cannot be opened;
// otherwise ParseZelDat and ApplyZelDatLimits.
ZelDatLoad LoadZelDat(const std::filesystem::path& file);

// Writes the whole file anew through the platform's safe file writer (a new file is made 0600,
// an existing one keeps its permissions, a symbolic link is written through). Returns false
// (and the reason in `error`) when it could not be saved; the old file is then untouched.
bool SaveZelDat(const std::filesystem::path& file, const StationSettings& settings,
                const std::vector<RecorderRecord>& recorders, std::string* error = nullptr);
bool SaveZelDat(const std::filesystem::path& file, const StationSettings& settings,
                const RecorderList& recorders, std::string* error = nullptr);

// What a poll run changed in one recorder: the day of its clock setting, the password of an
// uploaded setup database.
struct RecorderChange {
  std::string id;
  std::optional<int32_t> clockSetDay;
  std::optional<std::string> password;
};
// The changes between the list a run started from and the list it ended with, by recorder ID.
std::vector<RecorderChange> RecorderChanges(const std::vector<RecorderRecord>& before,
                                            const std::vector<RecorderRecord>& after);
// Saves a run's changes into zel.dat as it is now: the file is read again and only the changed
// fields of the recorders with those IDs are set, so recorders and settings edited meanwhile
// are kept. Call it under the station lock. With no changes nothing is written; when the file
// has gone, `settings` and `recorders` are written whole.
bool SaveZelDatChanges(const std::filesystem::path& file,
                       const std::vector<RecorderChange>& changes, const StationSettings& settings,
                       const std::vector<RecorderRecord>& recorders, std::string* error = nullptr);

}  // namespace zel::core
