#include "zel/catalogue.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace zel {
namespace {

constexpr std::array<ModelEntry, kModelTypeCount> kModels{{
    {0, "KRV-19XT", 2, "KRV19", "krv19s2t.exe", "ZelEdit19.exe", true, "KRV19xt 1.00"},
    {1, "KRV-19XL", 1, "KRV19XL", "krv19xls2t.exe", "ZelEdit19xl.exe", true, "KRV19XL 1.00"},
    {2, "KRV-43/61", 4, "KRV61", "krv61s2t.exe", "ZelEdit61.exe", true, "KRV61 1.01"},
    {3, "KRV-517", 6, "KRV517", "krv517s2t.exe", "ZelEdit517.exe", true, "KRV517 3.00"},
    {4, "KRV-517E", 7, "KRV517E", "krv517es2t.exe", "ZelEdit517e.exe", true, "KRV517E 1.00"},
    {5, "KRV-517XL/A", 8, "KRV517XL", "krv517xls2t.exe", "ZelEdit517xl.exe", true,
     "KRV517XL 1.00"},
    {6, "KRV-517XC", 9, "KRV517XC", "krv517xcs2t.exe", "ZelEdit517xc.exe", true, "KRV517P 1.00"},
    {7, "KRV-583", 11, "KRV583", "krv583s2tOXM.exe", "ZelEdit583OXM.exe", true, "KRV583 1.00"},
    {8, "KRV-583E", 12, "KRV583E", "krv583es2t.exe", "ZelEdit583e.exe", true, "KRV583E 1.00"},
    {9, "KRV-85E", 0, "KRV85E", "krv85es2t.exe", "ZelEdit85e.exe", true, "KRV85E 1.00"},
    {10, "KRV-37E/A", 3, "KRV37E", "krv37es2t.exe", "ZelEdit37e.exe", true, "KRV37E 1.00"},
    {11, "SLG S7-246", 15, "SLG", "Slgs2t.exe", "ZelEditSlg.exe", true, "SLG 1.00"},
    {12, "SLG Microlok", 14, "SLGML", "SlgMLs2t.exe", "ZelEditSlgML.exe", true, "SLGML 1.00"},
    {13, "KRV-61E/A", 5, "KRV61E", "krv61es2t.exe", "ZelEdit61e.exe", true, "KRV61E 1.00"},
    {14, "SLG S7-808", 16, "SLG808", "Slg808s2t.exe", "ZelEditSlg808.exe", true, "SLG 1.01"},
    {15, "SLG-A S7", 17, "SLG808", "Slg808s2t.exe", "ZelEditSlg808.exe", true, "SLG 1.01"},
    {16, "KRV-583A", 13, "KRV583A", "krv583as2t.exe", "ZelEdit583a.exe", true, "KRV583A 1.00"},
    {17, "KPD-29A", 0, "KPD29A", nullptr, nullptr, false, nullptr},
    {18, "KRV-517AX", 10, "KRV517AX", "krv517axs2t.exe", "ZelEdit517ax.exe", true,
     "KRV517AX 1.00"},
}};

constexpr std::array<const char*, kModelTypeCount> kShortNames{
    "KRV-19",   "KRV-19XL", "KRV-61",  "KRV-517", "KRV-517E", "KRV-517XL", "KRV-517XC",
    "KRV-583",  "KRV-583E", "KRV-85E", "KRV-37E", "SLG",      "SLGML",     "KRV-61E",
    "SLG808",   "SLG808",   "KRV-583A", nullptr,  "KRV-517AX"};

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

bool InProtocolSet(RecorderType type) { return IsKnownType(type) && type != 17; }

const char* ShortModelName(RecorderType type) {
  if (!IsKnownType(type)) return nullptr;
  return kShortNames[static_cast<size_t>(type)];
}

RecorderType ParseModel(std::string_view text) {
  if (text.empty()) return -1;
  int n = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec == std::errc() && p == text.data() + text.size()) return IsKnownType(n) ? n : -1;
  if (RecorderType t = TypeOfName(text); t >= 0) return t;
  for (int t = 0; t < kModelTypeCount; ++t)
    if (kShortNames[static_cast<size_t>(t)] && EqualNoCase(text, kShortNames[static_cast<size_t>(t)]))
      return t;
  // Short names without the dash ("KRV517XL") are accepted too.
  for (int t = 0; t < kModelTypeCount; ++t) {
    const char* s = kShortNames[static_cast<size_t>(t)];
    if (!s) continue;
    std::string nodash;
    for (const char* c = s; *c; ++c)
      if (*c != '-') nodash += *c;
    if (EqualNoCase(text, nodash)) return t;
  }
  return -1;
}

}  // namespace zel
