// The table of recorder models: one row per model type number (0-18).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// Model type number stored per recorder in zel.dat; 0-18 are known models.
using RecorderType = int;

struct ModelEntry {
  RecorderType type;
  const char* displayName;  // "Type" column of the recorder list
  int inTypeList;           // 1-based place in the recorder dialog's type list, 0 = not listed
  const char* liveCode;     // /recorder= of the real-time plotter
  const char* converter;    // setup-to-text program file, nullptr = none
  const char* editor;       // setup editor program file, nullptr = none
  bool hasReport;
  const char* eventTag;  // first word and version of the event file header, nullptr = none
};

constexpr int kModelTypeCount = 19;

// Row of a known type, nullptr for an unknown one.
const ModelEntry* FindModel(RecorderType type);
bool IsKnownType(RecorderType type);

// Display name, "???" for an unknown type.
std::string TypeName(RecorderType type);
// Exact, case-sensitive lookup among the 19 display names; -1 when none matches.
RecorderType TypeOfName(std::string_view name);

std::optional<std::string> LiveCodeOf(RecorderType type);
std::optional<std::string> ConverterOf(RecorderType type);
std::optional<std::string> EditorOf(RecorderType type);
bool HasReport(RecorderType type);

// The 17 display names of the recorder dialog's type list, in list order.
std::vector<std::string> TypeListNames();

// Types whose recorders speak the command protocol (every model but type 17).
bool InProtocolSet(RecorderType type);

// Short model name as the layouts use it ("KRV-517XL", "SLG808", ...); nullptr for type 17 or
// an unknown type.
const char* ShortModelName(RecorderType type);

// A model given by a person: a type number ("5"), a display name ("KRV-517XL/A") or a short
// model name ("KRV-517XL", case-insensitive). -1 when it names no model.
RecorderType ParseModel(std::string_view text);

}  // namespace zel
