#include "zel/catalogue.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace zel {
namespace {

constexpr std::array<ModelEntry, kModelTypeCount> kModels{{
    {.type = model::kKrv19xt,
     .displayName = "KRV-19XT",
     .shortName = "KRV-19",
     .inTypeList = 2,
     .liveCode = "KRV19",
     .converter = "krv19s2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit19.exe",
     .hasReport = true,
     .eventTag = "KRV19xt 1.00",
     .setupType = model::kKrv19xt,
     .family = ModelFamily::kSingle,
     .ticksPerSecond = 1000},
    {.type = model::kKrv19xl,
     .displayName = "KRV-19XL",
     .shortName = "KRV-19XL",
     .inTypeList = 1,
     .liveCode = "KRV19XL",
     .converter = "krv19xls2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit19xl.exe",
     .hasReport = true,
     .eventTag = "KRV19XL 1.00",
     .setupType = model::kKrv19xl,
     .family = ModelFamily::kSingle,
     .ticksPerSecond = 1000},
    {.type = model::kKrv43_61,
     .displayName = "KRV-43/61",
     .shortName = "KRV-61",
     .inTypeList = 4,
     .liveCode = "KRV61",
     .converter = "krv61s2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit61.exe",
     .hasReport = true,
     .eventTag = "KRV61 1.01",
     .setupType = model::kKrv43_61,
     .family = ModelFamily::kSingle,
     .ticksPerSecond = 100},
    {.type = model::kKrv517,
     .displayName = "KRV-517",
     .shortName = "KRV-517",
     .inTypeList = 6,
     .liveCode = "KRV517",
     .converter = "krv517s2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit517.exe",
     .hasReport = true,
     .eventTag = "KRV517 3.00",
     .setupType = model::kKrv517,
     .family = ModelFamily::kSingle,
     .ticksPerSecond = 100},
    {.type = model::kKrv517e,
     .displayName = "KRV-517E",
     .shortName = "KRV-517E",
     .inTypeList = 7,
     .liveCode = "KRV517E",
     .converter = "krv517es2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit517e.exe",
     .hasReport = true,
     .eventTag = "KRV517E 1.00",
     .setupType = model::kKrv517e,
     .family = ModelFamily::kSingle,
     .ticksPerSecond = 100},
    {.type = model::kKrv517xl,
     .displayName = "KRV-517XL/A",
     .shortName = "KRV-517XL",
     .inTypeList = 8,
     .liveCode = "KRV517XL",
     .converter = "krv517xls2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit517xl.exe",
     .hasReport = true,
     .eventTag = "KRV517XL 1.00",
     .setupType = model::kKrv517xl,
     .family = ModelFamily::kSingle,
     .ticksPerSecond = 100},
    {.type = model::kKrv517xc,
     .displayName = "KRV-517XC",
     .shortName = "KRV-517XC",
     .inTypeList = 9,
     .liveCode = "KRV517XC",
     .converter = "krv517xcs2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit517xc.exe",
     .hasReport = true,
     .eventTag = "KRV517P 1.00",
     .setupType = model::kKrv517xc,
     .family = ModelFamily::kModular,
     .ticksPerSecond = 100},
    {.type = model::kKrv583,
     .displayName = "KRV-583",
     .shortName = "KRV-583",
     .inTypeList = 11,
     .liveCode = "KRV583",
     .converter = "krv583s2tOXM.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit583OXM.exe",
     .hasReport = true,
     .eventTag = "KRV583 1.00",
     .setupType = model::kKrv583,
     .family = ModelFamily::kKrv583,
     .ticksPerSecond = 100},
    {.type = model::kKrv583e,
     .displayName = "KRV-583E",
     .shortName = "KRV-583E",
     .inTypeList = 12,
     .liveCode = "KRV583E",
     .converter = "krv583es2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit583e.exe",
     .hasReport = true,
     .eventTag = "KRV583E 1.00",
     .setupType = model::kKrv583e,
     .family = ModelFamily::kKrv583,
     .ticksPerSecond = 100},
    {.type = model::kKrv85e,
     .displayName = "KRV-85E",
     .shortName = "KRV-85E",
     .inTypeList = 0,
     .liveCode = "KRV85E",
     .converter = "krv85es2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit85e.exe",
     .hasReport = true,
     .eventTag = "KRV85E 1.00",
     .setupType = model::kKrv85e,
     .family = ModelFamily::kSingle,
     .ticksPerSecond = 100},
    {.type = model::kKrv37e,
     .displayName = "KRV-37E/A",
     .shortName = "KRV-37E",
     .inTypeList = 3,
     .liveCode = "KRV37E",
     .converter = "krv37es2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit37e.exe",
     .hasReport = true,
     .eventTag = "KRV37E 1.00",
     .setupType = model::kKrv37e,
     .family = ModelFamily::kSingle,
     .ticksPerSecond = 1000},
    {.type = model::kSlgS7_246,
     .displayName = "SLG S7-246",
     .shortName = "SLG",
     .inTypeList = 15,
     .liveCode = "SLG",
     .converter = "Slgs2t.exe",
     .converterAlias = "slgs2t.exe",
     .editor = "ZelEditSlg.exe",
     .hasReport = true,
     .eventTag = "SLG 1.00",
     .setupType = model::kSlgS7_246,
     .family = ModelFamily::kSlg,
     .ticksPerSecond = 10},
    {.type = model::kSlgMicrolok,
     .displayName = "SLG Microlok",
     .shortName = "SLGML",
     .inTypeList = 14,
     .liveCode = "SLGML",
     .converter = "SlgMLs2t.exe",
     .converterAlias = "slgMLs2t.exe",
     .editor = "ZelEditSlgML.exe",
     .hasReport = true,
     .eventTag = "SLGML 1.00",
     .setupType = model::kSlgMicrolok,
     .family = ModelFamily::kSlg,
     .ticksPerSecond = 10},
    {.type = model::kKrv61e,
     .displayName = "KRV-61E/A",
     .shortName = "KRV-61E",
     .inTypeList = 5,
     .liveCode = "KRV61E",
     .converter = "krv61es2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit61e.exe",
     .hasReport = true,
     .eventTag = "KRV61E 1.00",
     .setupType = model::kKrv61e,
     .family = ModelFamily::kSingle,
     .ticksPerSecond = 100},
    {.type = model::kSlgS7_808,
     .displayName = "SLG S7-808",
     .shortName = "SLG808",
     .inTypeList = 16,
     .liveCode = "SLG808",
     .converter = "Slg808s2t.exe",
     .converterAlias = "slg808s2t.exe",
     .editor = "ZelEditSlg808.exe",
     .hasReport = true,
     .eventTag = "SLG 1.01",
     .setupType = model::kSlgS7_808,
     .family = ModelFamily::kSlg,
     .ticksPerSecond = 10},
    {.type = model::kSlgAS7,
     .displayName = "SLG-A S7",
     .shortName = "SLG808",
     .inTypeList = 17,
     .liveCode = "SLG808",
     .converter = "Slg808s2t.exe",
     .converterAlias = "slg808s2t.exe",
     .editor = "ZelEditSlg808.exe",
     .hasReport = true,
     .eventTag = "SLG 1.01",
     .setupType = model::kSlgS7_808,
     .family = ModelFamily::kSlg,
     .ticksPerSecond = 10},
    {.type = model::kKrv583a,
     .displayName = "KRV-583A",
     .shortName = "KRV-583A",
     .inTypeList = 13,
     .liveCode = "KRV583A",
     .converter = "krv583as2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit583a.exe",
     .hasReport = true,
     .eventTag = "KRV583A 1.00",
     .setupType = model::kKrv583a,
     .family = ModelFamily::kKrv583,
     .ticksPerSecond = 100},
    {.type = model::kKpd29a,
     .displayName = "KPD-29A",
     .shortName = nullptr,
     .inTypeList = 0,
     .liveCode = "KPD29A",
     .converter = nullptr,
     .converterAlias = nullptr,
     .editor = nullptr,
     .hasReport = false,
     .eventTag = nullptr,
     .setupType = -1,
     .family = ModelFamily::kSingle,
     .ticksPerSecond = 0},
    {.type = model::kKrv517ax,
     .displayName = "KRV-517AX",
     .shortName = "KRV-517AX",
     .inTypeList = 10,
     .liveCode = "KRV517AX",
     .converter = "krv517axs2t.exe",
     .converterAlias = nullptr,
     .editor = "ZelEdit517ax.exe",
     .hasReport = true,
     .eventTag = "KRV517AX 1.00",
     .setupType = model::kKrv517ax,
     .family = ModelFamily::kModular,
     .ticksPerSecond = 100},
}};

// Rows sit at the index of their type.
static_assert(RowsAtTheirType(kModels, [](const ModelEntry& m) { return m.type; }),
              "the catalogue must hold the row of model type i at place i");

std::optional<std::string> Opt(const char* s) {
  if (s == nullptr) return std::nullopt;
  return std::string(s);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

const ModelEntry* FindModel(RecorderType type) {
  if (type < 0 || type >= kModelTypeCount) return nullptr;
  return &kModels[static_cast<size_t>(type)];
}

bool IsKnownType(RecorderType type) { return FindModel(type) != nullptr; }

std::string TypeName(RecorderType type) {
  const ModelEntry* m = FindModel(type);
  return m ? m->displayName : "???";
}

RecorderType TypeOfName(std::string_view name) {
  for (const auto& m : kModels)
    if (name == m.displayName) return m.type;
  return -1;
}

std::optional<std::string> LiveCodeOf(RecorderType type) {
  const ModelEntry* m = FindModel(type);
  return m ? Opt(m->liveCode) : std::nullopt;
}
std::optional<std::string> ConverterOf(RecorderType type) {
  const ModelEntry* m = FindModel(type);
  return m ? Opt(m->converter) : std::nullopt;
}
std::optional<std::string> EditorOf(RecorderType type) {
  const ModelEntry* m = FindModel(type);
  return m ? Opt(m->editor) : std::nullopt;
}
const char* EditorConverterOf(RecorderType type) {
  const ModelEntry* m = FindModel(type);
  if (m == nullptr) return nullptr;
  return m->converterAlias != nullptr ? m->converterAlias : m->converter;
}
bool HasReport(RecorderType type) {
  const ModelEntry* m = FindModel(type);
  return m && m->hasReport;
}

std::vector<std::string> TypeListNames() {
  std::vector<const ModelEntry*> listed;
  for (const auto& m : kModels)
    if (m.inTypeList > 0) listed.push_back(&m);
  std::sort(listed.begin(), listed.end(),
            [](const ModelEntry* a, const ModelEntry* b) { return a->inTypeList < b->inTypeList; });
  std::vector<std::string> names;
  for (const auto* m : listed) names.emplace_back(m->displayName);
  return names;
}

bool InProtocolSet(RecorderType type) { return IsKnownType(type) && type != model::kKpd29a; }

RecorderType SetupTypeOf(RecorderType type) {
  const ModelEntry* m = FindModel(type);
  return m ? m->setupType : -1;
}

ModelFamily FamilyOf(RecorderType type) {
  const ModelEntry* m = FindModel(type);
  return m ? m->family : ModelFamily::kSingle;
}

const char* ShortModelName(RecorderType type) {
  const ModelEntry* m = FindModel(type);
  return m ? m->shortName : nullptr;
}

RecorderType ParseModel(std::string_view text) {
  if (text.empty()) return -1;
  int n = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec == std::errc() && p == text.data() + text.size()) return IsKnownType(n) ? n : -1;
  if (RecorderType t = TypeOfName(text); t >= 0) return t;
  for (const auto& m : kModels)
    if (m.shortName && EqualNoCase(text, m.shortName)) return m.type;
  // Short names without the dash ("KRV517XL") are accepted too.
  for (const auto& m : kModels) {
    if (!m.shortName) continue;
    std::string nodash;
    for (const char* c = m.shortName; *c; ++c)
      if (*c != '-') nodash += *c;
    if (EqualNoCase(text, nodash)) return m.type;
  }
  return -1;
}

}  // namespace zel
