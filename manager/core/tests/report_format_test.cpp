// The report's number formatting checked against printf with the report formats, on random
// records of every model; and the model table checked against the identifier and file tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "report_test_util.h"
#include "zel/core/report.h"
#include "zel/event_file.h"
#include "zel/identifiers.h"

namespace zel::core {
namespace {

std::string Printf(const char* fmt, auto... args) {
  char buf[512];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

struct Split {
  int h, m, s, f;
};
Split SplitTime(uint32_t t, int r) {
  const long long ticks = t;
  return {static_cast<int>(ticks / (3600LL * r)), static_cast<int>(ticks % (3600LL * r) / (60 * r)),
          static_cast<int>(ticks % (60LL * r) / r), static_cast<int>(ticks % r)};
}

const char* TimeFormat(int r) {
  return r == 1000  ? "%02d:%02d:%02d.%03d"
         : r == 100 ? "%02d:%02d:%02d.%02d"
                    : "%02d:%02d:%02d.%01d";
}

// The line of one record as printf writes it with the report formats.
std::string ReferenceLine(RecorderType type, const ReportModel& m, const ReportNaming& naming,
                          const EventLayout& layout, const EventRecord& rec) {
  const int r = layout.ticksPerSecond;
  const Split t = SplitTime(rec.time, r);
  const int day = rec.date & 31, month = (rec.date >> 5) & 15, year = rec.date >> 9;
  const int level = StateLevel(layout, rec.state);
  const std::string name = naming.Name(rec.input), id = naming.Id(rec.input),
                    state = naming.StateText(rec.input, level),
                    ident = naming.Identifier(rec.input);
  std::string line;
  if (m.style == ReportLineStyle::kDateFirst) {
    line = Printf("%02d/%02d/%02d %02d:%02d:%02d.%02d %s %-12s %-26s %s", month, day, year, t.h,
                  t.m, t.s, t.f, ident.c_str(), id.c_str(), name.c_str(), state.c_str());
  } else {
    line = Printf(TimeFormat(r), t.h, t.m, t.s, t.f);
    line += m.style == ReportLineStyle::kMonthDayYear ? Printf("  %02d/%02d/%02d", month, day, year)
                                                      : Printf("  %02d/%02d", month, day);
    line +=
        Printf("  %-20s  %-8s  %8s  %s", name.c_str(), id.c_str(), state.c_str(), ident.c_str());
  }
  const int n = rec.input, v = rec.special;
  if (m.suffixes) {
    if (m.timers.Contains(n)) line += Printf(" %3d.%1d sec", v / 10, v % 10);
    if (m.speeds.Contains(n)) {
      line += Printf(m.speedBlanks == 3 ? "   %3d MPH" : "    %3d MPH", v);
    }
    if (n == m.gpsInput) {
      if (v == 32767) {
        line += " NO SIGNAL";
      } else {
        const int w = v / 10;
        const int a = w < 0 ? -w : w;
        line += Printf(" %s%1d.%02dSEC", w < 0 ? "-" : " ", a / 100, a % 100);
      }
    }
    if (n == m.stationInput) line += Printf(" %d Stn", v);
    if (n < m.flashBelow && v > 0) line += Printf(" %3d.%1dFPM", v / 10, v % 10);
  }
  (void)type;
  return line;
}

TEST(ReportFormat, MatchesPrintfOnRandomRecordsOfEveryModel) {
  std::mt19937 rng(777);
  for (RecorderType type = 0; type <= 18; ++type) {
    const ReportModel* m = FindReportModel(type);
    if (m == nullptr) continue;
    const EventLayout& layout = *FindEventLayout(EventFileTypeOfModel(type));
    SetupDatabase setup(type);
    setup.SetUnitName("Unit " + std::to_string(type));
    for (int i = 0; i < setup.NameCount(); i += 7) {
      setup.SetName(i, std::string(static_cast<std::size_t>(i % 27), 'a' + i % 26));
      setup.SetIdentifier(i, "I" + std::to_string(i));
      setup.SetEventPair(i, i % 25);
    }
    for (int p = 0; p < setup.EventPairCount(); ++p) {
      setup.SetOnName(p, "on" + std::to_string(p));
      setup.SetOffName(p, "off" + std::to_string(p));
      setup.SetCodingName(p, "cd" + std::to_string(p));
    }
    // Random bytes for every record, then a nonzero state byte and inputs mostly in range.
    const int count = 400;
    std::vector<uint8_t> file(static_cast<std::size_t>(layout.firstRecord) +
                              static_cast<std::size_t>(count) * layout.recordSize);
    for (auto& b : file) b = static_cast<uint8_t>(rng());
    const std::string line = layout.headerLine;
    std::copy(line.begin(), line.end(), file.begin());
    for (int i = 0; i < count; ++i) {
      uint8_t* rec =
          file.data() + layout.firstRecord + static_cast<std::size_t>(i) * layout.recordSize;
      if (rec[layout.stateOffset] == 0) rec[layout.stateOffset] = 0x40;
      if (i % 4 != 0) {
        const int limit = layout.inputBytes == 1 ? 256 : m->selectionRows + 20;
        const int input = static_cast<int>(rng() % static_cast<unsigned>(limit));
        rec[layout.inputOffset] = static_cast<uint8_t>(input);
        if (layout.inputBytes == 2) rec[layout.inputOffset + 1] = static_cast<uint8_t>(input >> 8);
      }
      if (layout.specialOffset >= 0 && i % 5 == 0) {
        const int specials[] = {32767, -32768, 0, -5, 5, -1234, 99};
        const int v = specials[i / 5 % 7];
        rec[layout.specialOffset] = static_cast<uint8_t>(v);
        rec[layout.specialOffset + 1] = static_cast<uint8_t>(v >> 8);
      }
    }
    std::string text;
    const ReportResult result =
        RenderReport(type, setup, file.data(), file.size(), InputFilter(), text);
    ASSERT_TRUE(result.ok()) << type << ": " << result.error;
    ASSERT_EQ(result.records, count) << type;

    EventRecordFile reader;
    ASSERT_EQ(reader.OpenMemory(file.data(), file.size()), EventRecordFile::OpenResult::kOk);
    std::vector<std::string> expected = {std::string(m->title) + " Event record report for unit",
                                         "Unit " + std::to_string(type)};
    const EventInterval& iv = reader.Interval();
    const Split a = SplitTime(iv.startTime, layout.ticksPerSecond);
    const Split b = SplitTime(iv.endTime, layout.ticksPerSecond);
    const std::string tf = TimeFormat(layout.ticksPerSecond);
    const std::string fmt = "Report interval %02d/%02d/%02d " + tf + " to %02d/%02d/%02d " + tf;
    expected.push_back(Printf(fmt.c_str(), (iv.startDate >> 5) & 15, iv.startDate & 31,
                              iv.startDate >> 9, a.h, a.m, a.s, a.f, (iv.endDate >> 5) & 15,
                              iv.endDate & 31, iv.endDate >> 9, b.h, b.m, b.s, b.f));
    ReportNaming naming(type, setup);
    EventRecord rec;
    while (reader.Next(rec)) {
      if (rec.input >= InputFilter::kBits) continue;
      expected.push_back(ReferenceLine(type, *m, naming, layout, rec));
    }
    expected.push_back("End of report");
    const auto lines = testing::Lines(text);
    ASSERT_EQ(lines.size(), expected.size()) << type;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ASSERT_EQ(lines[i], expected[i]) << "type " << type << " line " << i;
    }
  }
}

// The writer table agrees with the input numbering of each model.
TEST(ReportModelTable, RangesAgreeWithTheInputNumbering) {
  for (RecorderType type = 0; type <= 18; ++type) {
    const ReportModel* m = FindReportModel(type);
    if (m == nullptr) continue;
    SCOPED_TRACE(type);
    const SetupDatabase setup(type);
    const int firstSystem = FirstSystemInput(type);
    const int named = firstSystem + NamedSystemInputCount(type);
    EXPECT_EQ(m->selectionRows, named);
    EXPECT_EQ(m->onOff.last + 1, named);
    EXPECT_EQ(m->onOff.first, m->pairLimit);
    EXPECT_EQ(m->pairLimit, setup.NameCount());
    EXPECT_EQ(m->pairCount, setup.EventPairCount());
    if (m->timers.last >= m->timers.first) {
      EXPECT_EQ(m->timers.first, FirstTimerInput(type));
      EXPECT_EQ(m->timers.last + 1 - m->timers.first, InputCountsOf(type).timers);
    }
    if (m->speeds.last >= m->speeds.first) {
      EXPECT_EQ(SpeedMonitorNumber(type, m->speeds.first), 1);
      EXPECT_EQ(SpeedMonitorNumber(type, m->speeds.last), InputCountsOf(type).speedMonitors);
    }
    if (m->gpsInput >= 0) {
      EXPECT_EQ(SystemInputLongName(type, m->gpsInput), "GPS Clock Record");
    }
    if (m->stationInput >= 0) {
      EXPECT_EQ(SystemInputLongName(type, m->stationInput), "PEER Link Status");
    }
    EXPECT_LE(m->flashBelow, InputCountsOf(type).digital);
  }
}

// Where each writer finds the interval (line length + 2) and how many state bytes it skips.
TEST(ReportModelTable, IntervalPlaceAndStateBlockOfEveryModel) {
  struct Case {
    RecorderType type;
    int seek, skip, tick;
  };
  const Case cases[] = {{0, 22, 4, 1000},   {1, 22, 4, 1000},  {2, 20, 11, 100},  {3, 21, 35, 100},
                        {4, 22, 45, 100},   {5, 23, 45, 100},  {6, 22, 532, 100}, {7, 21, 288, 100},
                        {8, 22, 288, 100},  {9, 21, 18, 100},  {10, 21, 4, 1000}, {11, 18, 34, 10},
                        {12, 20, 34, 10},   {13, 21, 13, 100}, {14, 18, 127, 10}, {15, 18, 127, 10},
                        {16, 22, 288, 100}, {18, 23, 524, 100}};
  for (const Case& c : cases) {
    const EventFileType ft = EventFileTypeOfModel(c.type);
    const EventLayout* l = FindEventLayout(ft);
    ASSERT_NE(l, nullptr) << c.type;
    EXPECT_EQ(HeaderLineLength(ft) + 2, c.seek) << c.type;
    EXPECT_EQ(InitialStateBlockSize(*l), c.skip) << c.type;
    EXPECT_EQ(l->ticksPerSecond, c.tick) << c.type;
  }
}

}  // namespace
}  // namespace zel::core
