// The converter programs and the labels each model's listing uses.
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

const std::vector<ConverterModel>& Table() {
  static const std::vector<ConverterModel> kTable{
      {.type = model::kKrv19xt,
       .program = "krv19s2t",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv19xl,
       .program = "krv19xls2t",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv43_61,
       .program = "krv61s2t",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv517,
       .program = "krv517s2t",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv517e,
       .program = "krv517es2t",
       .alias = nullptr,
       .timeZones = kZones517e,
       .clockSyncMode0 = "None",
       .clockSyncNone = "---       (SNTP)"},
      {.type = model::kKrv517xl,
       .program = "krv517xls2t",
       .alias = nullptr,
       .timeZones = kZones517xl,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv517xc,
       .program = "krv517xcs2t",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv583,
       .program = "krv583s2tOXM",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv583e,
       .program = "krv583es2t",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv85e,
       .program = "krv85es2t",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv37e,
       .program = "krv37es2t",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kSlgS7_246,
       .program = "Slgs2t",
       .alias = "slgs2t",
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kSlgMicrolok,
       .program = "SlgMLs2t",
       .alias = "slgMLs2t",
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv61e,
       .program = "krv61es2t",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "Digital",
       .clockSyncNone = "None"},
      {.type = model::kSlgS7_808,
       .program = "Slg808s2t",
       .alias = "slg808s2t",
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv583a,
       .program = "krv583as2t",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
      {.type = model::kKrv517ax,
       .program = "krv517axs2t",
       .alias = nullptr,
       .timeZones = kNoZones,
       .clockSyncMode0 = "None",
       .clockSyncNone = "None"},
  };
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
