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
      {0, "krv19s2t", nullptr, kNoZones, "None", "None"},
      {1, "krv19xls2t", nullptr, kNoZones, "None", "None"},
      {2, "krv61s2t", nullptr, kNoZones, "None", "None"},
      {3, "krv517s2t", nullptr, kNoZones, "None", "None"},
      {4, "krv517es2t", nullptr, kZones517e, "None", "---       (SNTP)"},
      {5, "krv517xls2t", nullptr, kZones517xl, "None", "None"},
      {6, "krv517xcs2t", nullptr, kNoZones, "None", "None"},
      {7, "krv583s2tOXM", nullptr, kNoZones, "None", "None"},
      {8, "krv583es2t", nullptr, kNoZones, "None", "None"},
      {9, "krv85es2t", nullptr, kNoZones, "None", "None"},
      {10, "krv37es2t", nullptr, kNoZones, "None", "None"},
      {11, "Slgs2t", "slgs2t", kNoZones, "None", "None"},
      {12, "SlgMLs2t", "slgMLs2t", kNoZones, "None", "None"},
      {13, "krv61es2t", nullptr, kNoZones, "Digital", "None"},
      {14, "Slg808s2t", "slg808s2t", kNoZones, "None", "None"},
      {16, "krv583as2t", nullptr, kNoZones, "None", "None"},
      {18, "krv517axs2t", nullptr, kNoZones, "None", "None"},
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
