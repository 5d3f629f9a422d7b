// The table of report writer differences, one row per model with a report.
#include <array>

#include "zel/core/report.h"

namespace zel::core {
namespace {

using S = ReportLineStyle;
constexpr InputRange kNone{0, -1};

struct ReportRow {
  RecorderType model;
  ReportModel report;
};

// One row per model with its own setup layout: kSlgAS7 reports as kSlgS7_808, and kKpd29a has
// no report. Input ranges are {first, last}.
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
// clang-format off
constexpr std::array<ReportRow, 17> kRows{{
    {.model = model::kKrv19xt,
     .report = {.title = "KRV-19XT", .style = S::kMonthDay, .suffixes = false,
                .pairLimit = 30, .pairCount = 18, .onOff = {30, 30}, .selectionRows = 31,
                .analogPerUnit = 0, .timers = kNone, .speeds = kNone,
                .speedBlanks = 0, .gpsInput = -1, .stationInput = -1, .flashBelow = 0}},
    {.model = model::kKrv19xl,
     .report = {.title = "KRV-19XL", .style = S::kMonthDay, .suffixes = true,
                .pairLimit = 46, .pairCount = 18, .onOff = {46, 50}, .selectionRows = 51,
                .analogPerUnit = 0, .timers = {30, 45}, .speeds = {47, 50},
                .speedBlanks = 3, .gpsInput = -1, .stationInput = -1, .flashBelow = 0}},
    {.model = model::kKrv43_61,
     .report = {.title = "KRV-61", .style = S::kMonthDayYear, .suffixes = true,
                .pairLimit = 120, .pairCount = 16, .onOff = {120, 126}, .selectionRows = 127,
                .analogPerUnit = 0, .timers = {88, 119}, .speeds = {123, 126},
                .speedBlanks = 4, .gpsInput = -1, .stationInput = -1, .flashBelow = 0}},
    {.model = model::kKrv517,
     .report = {.title = "KRV-517", .style = S::kMonthDayYear, .suffixes = true,
                .pairLimit = 480, .pairCount = 16, .onOff = {480, 490}, .selectionRows = 491,
                .analogPerUnit = 0, .timers = {280, 479}, .speeds = {483, 490},
                .speedBlanks = 4, .gpsInput = -1, .stationInput = -1, .flashBelow = 0}},
    {.model = model::kKrv517e,
     .report = {.title = "KRV-517E", .style = S::kMonthDayYear, .suffixes = true,
                .pairLimit = 560, .pairCount = 16, .onOff = {560, 571}, .selectionRows = 572,
                .analogPerUnit = 0, .timers = {360, 559}, .speeds = {564, 571},
                .speedBlanks = 4, .gpsInput = -1, .stationInput = -1, .flashBelow = 0}},
    {.model = model::kKrv517xl,
     .report = {.title = "KRV-517XL/A", .style = S::kMonthDayYear, .suffixes = true,
                .pairLimit = 560, .pairCount = 20, .onOff = {560, 570}, .selectionRows = 571,
                .analogPerUnit = 0, .timers = {360, 559}, .speeds = {567, 570},
                .speedBlanks = 4, .gpsInput = 565, .stationInput = -1, .flashBelow = 0}},
    {.model = model::kKrv517xc,
     .report = {.title = "KRV-517XC", .style = S::kMonthDayYear, .suffixes = true,
                .pairLimit = 5255, .pairCount = 16, .onOff = {5255, 5337}, .selectionRows = 5338,
                .analogPerUnit = 8, .timers = {4256, 5254}, .speeds = {5258, 5273},
                .speedBlanks = 4, .gpsInput = -1, .stationInput = -1, .flashBelow = 0}},
    {.model = model::kKrv583,
     .report = {.title = "KRV-583", .style = S::kDateFirst, .suffixes = false,
                .pairLimit = 288, .pairCount = 16, .onOff = {288, 290}, .selectionRows = 291,
                .analogPerUnit = 0, .timers = kNone, .speeds = kNone,
                .speedBlanks = 0, .gpsInput = -1, .stationInput = -1, .flashBelow = 0}},
    {.model = model::kKrv583e,
     .report = {.title = "KRV-583E", .style = S::kDateFirst, .suffixes = false,
                .pairLimit = 288, .pairCount = 16, .onOff = {288, 290}, .selectionRows = 291,
                .analogPerUnit = 0, .timers = kNone, .speeds = kNone,
                .speedBlanks = 0, .gpsInput = -1, .stationInput = -1, .flashBelow = 0}},
    {.model = model::kKrv85e,
     .report = {.title = "KRV-85E", .style = S::kMonthDay, .suffixes = true,
                .pairLimit = 176, .pairCount = 16, .onOff = {176, 178}, .selectionRows = 179,
                .analogPerUnit = 0, .timers = {144, 175}, .speeds = kNone,
                .speedBlanks = 0, .gpsInput = -1, .stationInput = -1, .flashBelow = 0}},
    {.model = model::kKrv37e,
     .report = {.title = "KRV-37E/A", .style = S::kMonthDay, .suffixes = true,
                .pairLimit = 48, .pairCount = 20, .onOff = {48, 78}, .selectionRows = 79,
                .analogPerUnit = 0, .timers = {32, 47}, .speeds = {75, 78},
                .speedBlanks = 3, .gpsInput = 73, .stationInput = -1, .flashBelow = 20}},
    {.model = model::kSlgS7_246,
     .report = {.title = "SLG Siemens S7-300", .style = S::kMonthDay, .suffixes = true,
                .pairLimit = 284, .pairCount = 20, .onOff = {284, 289}, .selectionRows = 290,
                .analogPerUnit = 0, .timers = {268, 283}, .speeds = kNone,
                .speedBlanks = 0, .gpsInput = 289, .stationInput = -1, .flashBelow = 256}},
    {.model = model::kSlgMicrolok,
     .report = {.title = "SLG Microlok II", .style = S::kMonthDay, .suffixes = true,
                .pairLimit = 284, .pairCount = 20, .onOff = {284, 290}, .selectionRows = 291,
                .analogPerUnit = 0, .timers = {268, 283}, .speeds = kNone,
                .speedBlanks = 0, .gpsInput = 289, .stationInput = 290, .flashBelow = 256}},
    {.model = model::kKrv61e,
     .report = {.title = "KRV-61E/A", .style = S::kMonthDay, .suffixes = true,
                .pairLimit = 136, .pairCount = 20, .onOff = {136, 210}, .selectionRows = 211,
                .analogPerUnit = 0, .timers = {104, 135}, .speeds = {207, 210},
                .speedBlanks = 3, .gpsInput = 205, .stationInput = -1, .flashBelow = 64}},
    {.model = model::kSlgS7_808,
     .report = {.title = "SLG Siemens S7-300", .style = S::kMonthDay, .suffixes = true,
                .pairLimit = 1027, .pairCount = 20, .onOff = {1027, 1032}, .selectionRows = 1033,
                .analogPerUnit = 0, .timers = {1011, 1026}, .speeds = kNone,
                .speedBlanks = 0, .gpsInput = 1032, .stationInput = -1, .flashBelow = 999}},
    {.model = model::kKrv583a,
     .report = {.title = "KRV-583A", .style = S::kDateFirst, .suffixes = false,
                .pairLimit = 288, .pairCount = 16, .onOff = {288, 298}, .selectionRows = 299,
                .analogPerUnit = 0, .timers = kNone, .speeds = kNone,
                .speedBlanks = 0, .gpsInput = -1, .stationInput = -1, .flashBelow = 0}},
    {.model = model::kKrv517ax,
     .report = {.title = "KRV-517AX", .style = S::kMonthDayYear, .suffixes = true,
                .pairLimit = 4291, .pairCount = 16, .onOff = {4291, 4377}, .selectionRows = 4378,
                .analogPerUnit = 4, .timers = {4192, 4290}, .speeds = {4298, 4313},
                .speedBlanks = 4, .gpsInput = 4296, .stationInput = -1, .flashBelow = 0}},
}};
// clang-format on
static_assert(OneRowPerModel(kRows, [](const ReportRow& r) { return r.model; },
                             {model::kSlgAS7, model::kKpd29a}),
              "the report table needs one row for every model with its own setup layout");

}  // namespace

const ReportModel* FindReportModel(RecorderType type) {
  type = SetupTypeOf(type);  // kSlgAS7 gives kSlgS7_808
  for (const ReportRow& row : kRows)
    if (row.model == type) return &row.report;
  return nullptr;
}

}  // namespace zel::core
