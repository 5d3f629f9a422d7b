// The table of recorder models: one row per model type number (0-18).
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// Model type number stored per recorder in zel.dat; 0-18 are known models.
using RecorderType = int;

// Every model type by name. The numbers are fixed: stored zel.dat files carry them.
namespace model {
inline constexpr RecorderType kKrv19xt = 0;
inline constexpr RecorderType kKrv19xl = 1;
inline constexpr RecorderType kKrv43_61 = 2;
inline constexpr RecorderType kKrv517 = 3;
inline constexpr RecorderType kKrv517e = 4;
inline constexpr RecorderType kKrv517xl = 5;
inline constexpr RecorderType kKrv517xc = 6;
inline constexpr RecorderType kKrv583 = 7;
inline constexpr RecorderType kKrv583e = 8;
inline constexpr RecorderType kKrv85e = 9;
inline constexpr RecorderType kKrv37e = 10;
inline constexpr RecorderType kSlgS7_246 = 11;
inline constexpr RecorderType kSlgMicrolok = 12;
inline constexpr RecorderType kKrv61e = 13;
inline constexpr RecorderType kSlgS7_808 = 14;
inline constexpr RecorderType kSlgAS7 = 15;  // shares everything with kSlgS7_808 but its name
inline constexpr RecorderType kKrv583a = 16;
inline constexpr RecorderType kKpd29a = 17;  // listed, without tools or protocol
inline constexpr RecorderType kKrv517ax = 18;
}  // namespace model

// Groups of models that share behaviour beyond one column of a table.
enum class ModelFamily {
  kSingle,   // a model of its own
  kKrv583,   // KRV-583, KRV-583E, KRV-583A: three-state inputs, no letter in digital identifiers
  kSlg,      // SLG S7-246, SLG Microlok, SLG S7-808, SLG-A S7: no detect time, no flash bits
  kModular,  // KRV-517XC, KRV-517AX: input modules with secondary addresses
};

struct ModelEntry {
  RecorderType type;
  const char* displayName;     // "Type" column of the recorder list
  const char* shortName;       // model name of the setup layouts ("KRV-517XL"), nullptr = none
  int inTypeList;              // 1-based place in the recorder dialog's type list, 0 = not listed
  const char* liveCode;        // /recorder= of the real-time plotter
  const char* converter;       // setup-to-text program file, nullptr = none
  const char* converterAlias;  // the editors' spelling where it differs ("slgs2t.exe"), or nullptr
  const char* editor;          // setup editor program file, nullptr = none
  bool hasReport;
  const char* eventTag;  // first word and version of the event file header, nullptr = none
  // Type whose setup layout, converter, editor and report the model uses (itself, or
  // kSlgS7_808 for kSlgAS7); -1 for a model without a setup layout.
  RecorderType setupType;
  ModelFamily family;
  int ticksPerSecond;  // event time resolution (1000, 100 or 10), 0 = no event files
};

constexpr int kModelTypeCount = 19;

// Compile-time check of a per-model table: every model type has exactly one row, except the
// types in `without`, which have none, and no row names a type outside the catalogue.
// `typeOf(row)` gives the type a row is for. Use it in a static_assert beside the table.
template <typename Rows, typename TypeOf>
constexpr bool OneRowPerModel(const Rows& rows, TypeOf typeOf,
                              std::initializer_list<RecorderType> without = {}) {
  for (const auto& row : rows) {
    const RecorderType t = typeOf(row);
    if (t < 0 || t >= kModelTypeCount) return false;
  }
  for (RecorderType t = 0; t < kModelTypeCount; ++t) {
    int wanted = 1;
    for (RecorderType w : without)
      if (w == t) wanted = 0;
    int found = 0;
    for (const auto& row : rows)
      if (typeOf(row) == t) ++found;
    if (found != wanted) return false;
  }
  return true;
}

// Compile-time check of a table indexed by type number: row i is the row of type i, for every
// type of the catalogue.
template <typename Rows, typename TypeOf>
constexpr bool RowsAtTheirType(const Rows& rows, TypeOf typeOf) {
  if (rows.size() != static_cast<std::size_t>(kModelTypeCount)) return false;
  for (RecorderType t = 0; t < kModelTypeCount; ++t)
    if (typeOf(rows[static_cast<std::size_t>(t)]) != t) return false;
  return true;
}

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
// The converter program file as the setup editors start it (the alias where there is one);
// nullptr when the model has no converter.
const char* EditorConverterOf(RecorderType type);
bool HasReport(RecorderType type);

// The type whose setup layout and tools a model uses (kSlgAS7 gives kSlgS7_808); -1 for a type
// without a setup layout (kKpd29a) or an unknown type.
RecorderType SetupTypeOf(RecorderType type);
// Family of a known type; kSingle for an unknown one.
ModelFamily FamilyOf(RecorderType type);

// The 17 display names of the recorder dialog's type list, in list order.
std::vector<std::string> TypeListNames();

// Types whose recorders speak the command protocol (every model but kKpd29a).
bool InProtocolSet(RecorderType type);

// Short model name as the layouts use it ("KRV-517XL", "SLG808", ...); nullptr for kKpd29a or
// an unknown type.
const char* ShortModelName(RecorderType type);

// A model given by a person: a type number ("5"), a display name ("KRV-517XL/A") or a short
// model name ("KRV-517XL", case-insensitive). -1 when it names no model.
RecorderType ParseModel(std::string_view text);

}  // namespace zel
