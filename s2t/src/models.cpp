// The converter programs and the labels each model's listing uses.
#include <deque>
#include <string>
#include <string_view>

#include "zel/s2t/converter.h"

namespace zel::s2t {
namespace {

const std::vector<const char*> kNoZones{};
// KRV-517XL list: index 0 is GMT.
const std::vector<const char*> kZones517xl{"GMT  (UTC-0) ", "AST  (UTC-4) ", "EST  (UTC-5) ",
                                           "CST  (UTC-6) ", "MST  (UTC-7) ", "PST  (UTC-8) ",
                                           "AKST (UTC-9) ", "HAST (UTC-10)"};
// KRV-517E list: index 0 is AST.
const std::vector<const char*> kZones517e{"AST (UTC-4)",  "EST (UTC-5)", "CST (UTC-6)",
                                          "MST (UTC-7)",  "PST (UTC-8)", "AKST (UTC-9)",
                                          "HAST (UTC-10)"};

// The model's texts; the program names come from the catalogue (see Table()).
std::vector<ConverterModel> Rows() {
  return {
      {.type = model::kKrv19xt,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv19xl,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv43_61,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv517,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv517e,
       .timeZones = kZones517e,
       .clockSyncMode0 = "None",
       .clockSyncNone = "---       (SNTP)"},
      {.type = model::kKrv517xl,
       .timeZones = kZones517xl,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv517xc,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv583,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv583e,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv85e,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv37e,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kSlgS7_246,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kSlgMicrolok,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv61e,
       .timeZones = kNoZones,
       .clockSyncMode0 = "Digital",
       .clockSyncNone = "None"},
      {.type = model::kSlgS7_808,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv583a,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv517ax,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
  };
}

// The file name without its ".exe", kept for the life of the program.
const char* ProgramName(const char* file) {
  if (file == nullptr) return nullptr;
  static std::deque<std::string> names;  // never moves what it holds
  std::string name(file);
  constexpr std::string_view kExe = ".exe";
  if (name.size() > kExe.size() && name.compare(name.size() - kExe.size(), kExe.size(), kExe) == 0)
    name.resize(name.size() - kExe.size());
  return names.emplace_back(std::move(name)).c_str();
}

const std::vector<ConverterModel>& Table() {
  static const std::vector<ConverterModel> kTable = [] {
    std::vector<ConverterModel> rows = Rows();
    for (ConverterModel& row : rows) {
      const ModelEntry* entry = FindModel(row.type);
      row.program = ProgramName(entry != nullptr ? entry->converter : nullptr);
      row.alias = ProgramName(entry != nullptr ? entry->converterAlias : nullptr);
    }
    return rows;
  }();
  return kTable;
}

}  // namespace

const std::vector<ConverterModel>& ConverterModels() { return Table(); }

const ConverterModel* FindConverterModel(RecorderType type) {
  type = SetupTypeOf(type);  // kSlgAS7 uses the converter of kSlgS7_808
  for (const ConverterModel& m : Table()) {
    if (m.type == type) return &m;
  }
  return nullptr;
}

}  // namespace zel::s2t
