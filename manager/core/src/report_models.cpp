// The table of report writer differences, one row per model type.
#include <array>

#include "zel/core/report.h"

namespace zel::core {
namespace {

using S = ReportLineStyle;
constexpr InputRange kNone{0, -1};

// Columns: title, line style, suffixes, pair limit, pair count, "ON"/"OFF" range, selection
// rows, analog inputs per module, timers, speed monitors, blanks ahead of the speed, GPS clock
// record input, station input, flash-rate digital inputs below.
//
// Three rows differ from what older writers did, because those wrote plainly wrong texts:
// - KRV-19XL: its timers 32-45 and its power and speed inputs 46-50 got the state text
//   "Invalid" (the pair limit 30 and the "ON"/"OFF" range 30-31 were those of the KRV-19XT),
//   and the selection stopped at input 47. Timers now use their event pairs like every other
//   model's timers, inputs 46-50 read "ON"/"OFF", and the selection lists all 51 inputs.
// - KRV-43/61: its timers 88-119 got "Invalid" although the setup database gives them event
//   pairs; and pair numbers 16 and 17 were read beyond the 16 stored pairs.
// - KRV-583A: its system inputs 291-298 (Sntp, GPS, clock set, speed monitors) got "Invalid"
//   and could not be selected.
constexpr ReportModel k19XT{"KRV-19XT", S::kMonthDay, false, 30, 18, {30, 30}, 31,
                            0,          kNone,        kNone, 0,  -1, -1,       0};
constexpr ReportModel k19XL{"KRV-19XL", S::kMonthDay, true,     46, 18, {46, 50}, 51,
                            0,          {30, 45},     {47, 50}, 3,  -1, -1,       0};
constexpr ReportModel k61{"KRV-61", S::kMonthDayYear, true,       120, 16, {120, 126}, 127,
                          0,        {88, 119},        {123, 126}, 4,   -1, -1,         0};
constexpr ReportModel k517{"KRV-517", S::kMonthDayYear, true,       480, 16, {480, 490}, 491,
                           0,         {280, 479},       {483, 490}, 4,   -1, -1,         0};
constexpr ReportModel k517E{"KRV-517E", S::kMonthDayYear, true,       560, 16, {560, 571}, 572,
                            0,          {360, 559},       {564, 571}, 4,   -1, -1,         0};
constexpr ReportModel k517XL{"KRV-517XL/A", S::kMonthDayYear, true, 560, 20, {560, 570}, 571, 0,
                             {360, 559},    {567, 570},       4,    565, -1, 0};
constexpr ReportModel k517XC{
    "KRV-517XC", S::kMonthDayYear, true,         5255, 16, {5255, 5337}, 5338,
    8,           {4256, 5254},     {5258, 5273}, 4,    -1, -1,           0};
constexpr ReportModel k583{"KRV-583", S::kDateFirst, false, 288, 16, {288, 290}, 291,
                           0,         kNone,         kNone, 0,   -1, -1,         0};
constexpr ReportModel k583E{"KRV-583E", S::kDateFirst, false, 288, 16, {288, 290}, 291,
                            0,          kNone,         kNone, 0,   -1, -1,         0};
constexpr ReportModel k85E{"KRV-85E", S::kMonthDay, true,  176, 16, {176, 178}, 179,
                           0,         {144, 175},   kNone, 0,   -1, -1,         0};
constexpr ReportModel k37E{"KRV-37E/A", S::kMonthDay, true,     48, 20, {48, 78}, 79,
                           0,           {32, 47},     {75, 78}, 3,  73, -1,       20};
constexpr ReportModel kSlg{"SLG Siemens S7-300", S::kMonthDay, true, 284, 20, {284, 289}, 290, 0,
                           {268, 283},           kNone,        0,    289, -1, 256};
constexpr ReportModel kSlgMl{"SLG Microlok II", S::kMonthDay, true, 284, 20,  {284, 290}, 291, 0,
                             {268, 283},        kNone,        0,    289, 290, 256};
constexpr ReportModel k61E{"KRV-61E/A", S::kMonthDay, true,       136, 20,  {136, 210}, 211,
                           0,           {104, 135},   {207, 210}, 3,   205, -1,         64};
constexpr ReportModel kSlg808{
    "SLG Siemens S7-300", S::kMonthDay, true, 1027, 20, {1027, 1032}, 1033, 0,
    {1011, 1026},         kNone,        0,    1032, -1, 999};
constexpr ReportModel k583A{"KRV-583A", S::kDateFirst, false, 288, 16, {288, 298}, 299,
                            0,          kNone,         kNone, 0,   -1, -1,         0};
constexpr ReportModel k517AX{
    "KRV-517AX", S::kMonthDayYear, true,         4291, 16,   {4291, 4377}, 4378,
    4,           {4192, 4290},     {4298, 4313}, 4,    4296, -1,           0};

// By model type number 0-18; type 17 has no writer.
constexpr std::array<const ReportModel*, 19> kByType{
    &k19XT, &k19XL, &k61,    &k517, &k517E,   &k517XL,  &k517XC, &k583,   &k583E, &k85E,
    &k37E,  &kSlg,  &kSlgMl, &k61E, &kSlg808, &kSlg808, &k583A,  nullptr, &k517AX};

}  // namespace

const ReportModel* FindReportModel(RecorderType type) {
  if (type < 0 || type >= static_cast<int>(kByType.size())) return nullptr;
  return kByType[static_cast<std::size_t>(type)];
}

}  // namespace zel::core
