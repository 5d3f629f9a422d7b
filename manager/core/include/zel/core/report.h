// Text reports of event record files: one writer pattern for every recorder model, driven by
// a table of per-model differences (title, line layout, state-text ranges, value suffixes).
#pragma once

#include <bitset>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zel/catalogue.h"
#include "zel/event_file.h"
#include "zel/recorder.h"
#include "zel/setup_database.h"

namespace zel::core {

// Inputs a report includes: one bit per input number below kBits. A new filter
// includes every input; numbers at or above the limit are never included.
class InputFilter {
 public:
  static constexpr int kBits = 5344;  // 668 bytes

  InputFilter() { bits_.set(); }
  // A filter that includes only the given inputs (numbers outside 0..kBits-1 are ignored).
  static InputFilter Only(const std::vector<int>& inputs);

  bool Contains(int input) const {
    return input >= 0 && input < kBits && bits_[static_cast<std::size_t>(input)];
  }
  void Set(int input, bool on = true);
  void SetAll() { bits_.set(); }
  void ClearAll() { bits_.reset(); }
  bool All() const { return bits_.all(); }
  int Count() const { return static_cast<int>(bits_.count()); }

 private:
  std::bitset<kBits> bits_;
};

// How an event line is laid out.
enum class ReportLineStyle {
  kMonthDay,      // "hh:mm:ss.f  mm/dd  name  ID  state  identifier"
  kMonthDayYear,  // the same with "mm/dd/yy"
  kDateFirst,     // KRV-583 family: "mm/dd/yy hh:mm:ss.ff identifier ID name state"
};

// An inclusive range of input numbers; empty when last < first.
struct InputRange {
  int first = 0;
  int last = -1;
  bool Contains(int n) const { return n >= first && n <= last; }
};

// The differences between the report writers of the models.
struct ReportModel {
  const char* title;  // ahead of " Event record report for unit\n"
  ReportLineStyle style;
  bool suffixes;      // false: the line ends with the state text's column (no value suffix)
  int pairLimit;      // inputs below this take their state text from their event pair
  int pairCount;      // pair numbers at or above this give "Invalid"
  InputRange onOff;   // inputs whose state text is the fixed "ON" / "OFF"
  int selectionRows;  // rows 0 .. selectionRows-1 of the selection dialog
  int analogPerUnit;  // KRV-517XC/AX: analog inputs per input module, else 0
  InputRange timers;  // " %3d.%1d sec"
  InputRange speeds;  // "%3d MPH" behind speedBlanks blanks
  int speedBlanks;
  int gpsInput;      // GPS clock record, -1 none
  int stationInput;  // " %d Stn", -1 none
  int flashBelow;    // digital inputs below this with a value above 0 get " %3d.%1dFPM"
};

// Row of a model type with a report writer; nullptr for type 17 and unknown types. Types 14
// and 15 share one row.
const ReportModel* FindReportModel(RecorderType type);

// The naming of inputs in reports and in the report's selection dialog.
class ReportNaming {
 public:
  // `setup` must outlive the naming object.
  ReportNaming(RecorderType type, const SetupDatabase& setup);

  bool valid() const { return model_ != nullptr; }
  RecorderType type() const { return type_; }
  const ReportModel* model() const { return model_; }

  // False for numbers the model does not name (their columns read "Invalid input number",
  // "Invalid" and "Invalid").
  bool Named(int input) const;
  std::string Name(int input) const;
  std::string Id(int input) const;
  // State text for a record's state level (0/1, or 0-3 in the KRV-583 family).
  std::string StateText(int input, int level) const;
  // Setup identifier such as "D001", or the model's invalid text.
  std::string Identifier(int input) const;

 private:
  RecorderType type_;
  const SetupDatabase& setup_;
  const ReportModel* model_;
  int firstSystem_;
};

// What became of a report.
enum class ReportStatus {
  kWritten,          // the report file is complete
  kNoWriter,         // the model has no report writer (type 17, unknown type)
  kSetupMissing,     // setupdata.bin cannot be opened
  kEventFileError,   // cannot be opened, too short for its header, or of another model
  kReportFileError,  // the report cannot be created or written
};

struct ReportResult {
  ReportStatus status = ReportStatus::kNoWriter;
  std::string error;    // what failed, for a person; empty when written
  std::string warning;  // written, but something in the file was odd (e.g. a cut record)
  int64_t records = 0;  // records read from the event file
  int64_t lines = 0;    // event lines written
  bool ok() const { return status == ReportStatus::kWritten; }
};

struct ReportRequest {
  RecorderType type = -1;
  std::filesystem::path eventFile;
  std::filesystem::path setupFile;  // the recorder's setupdata.bin
  std::filesystem::path reportFile;
  InputFilter filter;
};

// Writes the report of one event file with the setup database already loaded. The report goes
// to a temporary file beside the report file, which replaces the report file when complete.
ReportResult WriteReport(RecorderType type, const SetupDatabase& setup,
                         const std::filesystem::path& eventFile,
                         const std::filesystem::path& reportFile, const InputFilter& filter);

// Loads the setup database and writes the report.
ReportResult WriteReport(const ReportRequest& request);

// The report text of event file bytes in memory (for tests and fuzzing); the same writer.
ReportResult RenderReport(RecorderType type, const SetupDatabase& setup, const uint8_t* data,
                          std::size_t size, const InputFilter& filter, std::string& out);

class ReportSelection;
// Shows the selection dialog; returns the selected input numbers, or nullopt on Cancel.
using ReportSelector = std::function<std::optional<std::vector<int>>(ReportSelection&)>;

// The station manager's entry: the recorder's setup database is the setupdata.bin of its
// folder (data folder / recorder ID). With a selector (ask set) the user picks the inputs
// first; Cancel or an empty selection reports every input.
ReportResult MakeReport(const RecorderRecord& recorder, const std::filesystem::path& dataFolder,
                        const std::filesystem::path& eventFile,
                        const std::filesystem::path& reportFile,
                        const ReportSelector* ask = nullptr);

// ".txt" when UseTxtFile is on, else ".wri".
std::string ReportExtension(bool useTxtFile);
// The report beside an event file: same folder and name, the report extension.
std::filesystem::path ReportPathBeside(const std::filesystem::path& eventFile, bool useTxtFile);
// View Recorder Event Records: "Events" plus the report extension in the event file's folder.
std::filesystem::path EventsReportPath(const std::filesystem::path& eventFile, bool useTxtFile);

}  // namespace zel::core
