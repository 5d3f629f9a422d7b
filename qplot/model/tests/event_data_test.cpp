#include "model/event_data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "event_bytes.h"
#include "zel/day_number.h"
#include "zel/testing/temp_folder.h"

namespace zel::qplot {
namespace {

namespace fs = std::filesystem;
using testing::EventBytes;

const uint16_t kDate = PackDate(24, 3, 15);  // 15 March 2024, day 8840

void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

struct Folder {
  zeltest::TempFolder temp{"qplot_data"};
  fs::path dir = temp.path();
};

std::vector<TraceOp> Ops(const EventData& d, const CZelQplotDoc& doc, const PlotView& v,
                         bool full) {
  std::vector<TraceOp> ops;
  d.Trace(doc, v, full, [&](const TraceOp& op) { ops.push_back(op); });
  return ops;
}

TEST(EventDataLoad, MessagesAndWhatStaysLoaded) {
  Folder f;
  EventBytes e(EventFileType::k85E, kDate, 0, kDate, 8639999);
  e.SetInitial(3, 1);
  e.Add(100, 3, 0);
  WriteFile(f.dir / "a.bin", e.bytes());
  WriteFile(f.dir / "setup.bin", SetupDatabase(model::kKrv85e).SaveBytes());
  std::vector<uint8_t> unknown = {'K', 'R', 'V', '5', '1', '7', ' ', '3', '.', '0',
                                  '0', ' ', 'b', 'i', 'n', 'a', 'r', 'y', ' ', '\n'};
  WriteFile(f.dir / "u.bin", unknown);

  EventData d;
  EXPECT_EQ(d.Load((f.dir / "none.bin").string(), (f.dir / "setup.bin").string()),
            LoadResult::kEventFileNotFound);
  EXPECT_STREQ(LoadMessage(LoadResult::kEventFileNotFound), "Event file not found");
  EXPECT_EQ(d.Load((f.dir / "u.bin").string(), (f.dir / "setup.bin").string()),
            LoadResult::kUnknownType);
  EXPECT_STREQ(LoadMessage(LoadResult::kUnknownType), "Unknown event recorder type");
  EXPECT_EQ(d.Load((f.dir / "a.bin").string(), (f.dir / "nosetup.bin").string()),
            LoadResult::kSetupNotFound);
  EXPECT_STREQ(LoadMessage(LoadResult::kSetupNotFound), "Setup database file not found");
  EXPECT_FALSE(d.Loaded());
  EXPECT_EQ(d.InputCount(), 0);
  EXPECT_EQ(d.Label(0), "(none)");

  ASSERT_EQ(d.Load((f.dir / "a.bin").string(), (f.dir / "setup.bin").string()), LoadResult::kOk);
  EXPECT_EQ(d.InputCount(), 144);
  EXPECT_EQ(d.TicksPerSecond(), 100);
  EXPECT_EQ(d.IntervalStart(), 8840.0 * 8640000);
  EXPECT_EQ(d.IntervalEnd(), 8840.0 * 8640000 + 8639999);
  EXPECT_EQ(d.InitialStates()[3], 1);
  EXPECT_EQ(d.InitialStates()[2], 0);
  EXPECT_EQ(d.RecordCount(), 1);
  EXPECT_EQ(d.RecordInput(0), 3);
  EXPECT_EQ(d.Label(144), "E01");
  EXPECT_EQ(d.Label(151), "E08");
  EXPECT_EQ(d.Label(152), "(none)");
  EXPECT_EQ(d.Label(-1), "(none)");
  EXPECT_EQ(d.Label(0).substr(0, 4), "D01:");
  const auto r = d.ReadRecord(0);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->time, 100u);
  EXPECT_FALSE(d.ReadRecord(1));
}

TEST(EventDataLoad, LabelsAreCutTo16CharactersAndN583InitialStatesUseTwoBits) {
  auto setup = std::make_unique<SetupDatabase>(model::kKrv583);
  setup->SetName(0, "A very long input name");
  EventBytes e(EventFileType::k583, kDate, 0, kDate, 100000);
  e.SetInitial(0, 2);
  e.SetInitial(1, 3);
  EventData d;
  ASSERT_EQ(d.LoadBytes(e.bytes(), std::move(setup)), LoadResult::kOk);
  EXPECT_EQ(d.InputCount(), 288);
  EXPECT_TRUE(d.Is583Family());
  EXPECT_EQ(d.Label(0), "001:A very long ");
  EXPECT_EQ(d.Label(0).size(), 16u);
  EXPECT_EQ(d.InitialStates()[0], 2);
  EXPECT_EQ(d.InitialStates()[1], 3);
}

// A 1/100 s file: input 0 flashing, input 1 plain; view at scale 10 from the interval start.
TEST(Trace, SegmentsEdgesHatchingAndFinalSegments) {
  auto setup = std::make_unique<SetupDatabase>(model::kKrv517xl);
  setup->SetFlashEnabled(0, true);
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 5000);
  e.SetInitial(0, 1);
  e.Add(1000, 0, 0);  // x = 228: on to off, flashing: hatched from 128
  e.Add(1005, 1, 1);  // x = 228
  e.Add(2000, 0, 1);  // x = 328
  e.Add(9000, 1, 0);  // x = 1028: stops the pass
  e.Add(3000, 0, 0);  // never read
  EventData d;
  ASSERT_EQ(d.LoadBytes(e.bytes(), std::move(setup)), LoadResult::kOk);
  CZelQplotDoc doc;
  doc.SetInputCount(d.InputCount());
  doc.NewDocument();
  PlotView v;
  v.SetInterval(d.IntervalStart(), d.IntervalEnd());
  v.SetLeftAndScale(d.IntervalStart(), 10);
  const auto ops = Ops(d, doc, v, true);
  ASSERT_GE(ops.size(), 3u);
  EXPECT_EQ(ops[0], (TraceOp{0, 128, 228, true, true, false, true}));
  EXPECT_EQ(ops[1], (TraceOp{1, 128, 228, false, true, true, false}));
  EXPECT_EQ(ops[2], (TraceOp{0, 228, 328, false, true, true, false}));
  // Final segments: channel 0 high from 328 to the interval end's x 628 (flashing, on: hatched),
  // channel 1 high from 228; every other channel flat from 128.
  EXPECT_EQ(ops[3], (TraceOp{0, 328, 628, true, false, true, true}));
  EXPECT_EQ(ops[4], (TraceOp{1, 228, 628, true, false, true, false}));
  EXPECT_EQ(ops[5], (TraceOp{2, 128, 628, false, false, false, false}));
  EXPECT_EQ(ops.size(), 3u + 256u);
}

TEST(Trace, Krv583EdgesGoOppositeAndCodingIsHatched) {
  EventBytes e(EventFileType::k583, kDate, 0, kDate, 5000);
  e.SetInitial(0, 2);
  e.Add(1000, 0, 3);  // old 2 (coding): hatched, edge to the opposite of high: low
  e.Add(1500, 0, 1);  // old 3: high, edge to low again (opposite of the old level)
  EventData d;
  ASSERT_EQ(d.LoadBytes(e.bytes(), nullptr), LoadResult::kOk);
  CZelQplotDoc doc;
  doc.SetInputCount(d.InputCount());
  doc.NewDocument();
  PlotView v;
  v.SetInterval(d.IntervalStart(), d.IntervalEnd());
  v.SetLeftAndScale(d.IntervalStart(), 10);
  const auto ops = Ops(d, doc, v, true);
  EXPECT_EQ(ops[0], (TraceOp{0, 128, 228, true, true, false, true}));
  EXPECT_EQ(ops[1], (TraceOp{0, 228, 278, true, true, false, false}));
  EXPECT_EQ(ops[2], (TraceOp{0, 278, 628, true, false, true, false}));
}

TEST(Trace, EquationOutputsAndRecordsBeyondTheInputsChangeNothing) {
  EventBytes e(EventFileType::k19XL, kDate, 0, kDate, 50000);
  e.Add(10000, 1, 1);   // x 228 at scale 100
  e.Add(20000, 3, 1);   // x 328: In2 and In4 on
  e.Add(25000, 30, 1);  // input N: equation 1's number, must be ignored
  e.Add(30000, 1, 0);   // x 428
  EventData d;
  ASSERT_EQ(d.LoadBytes(e.bytes(), nullptr), LoadResult::kOk);
  ASSERT_EQ(d.InputCount(), 30);
  CZelQplotDoc doc;
  doc.SetInputCount(30);
  doc.NewDocument();
  CVequation eq;
  eq.in = {kNoInput, 1, kNoInput, 3};
  eq.table[3] = 1;  // both on
  doc.SetEquation(0, eq);
  doc.SetChannelInput(40, 30);
  PlotView v;
  v.SetInterval(d.IntervalStart(), d.IntervalEnd());
  v.SetLeftAndScale(d.IntervalStart(), 100);
  std::vector<TraceOp> eq_ops;
  for (const auto& op : Ops(d, doc, v, true))
    if (op.channel == 40) eq_ops.push_back(op);
  ASSERT_EQ(eq_ops.size(), 3u);
  EXPECT_EQ(eq_ops[0], (TraceOp{40, 128, 328, false, true, true, false}));
  EXPECT_EQ(eq_ops[1], (TraceOp{40, 328, 428, true, true, false, false}));
  EXPECT_EQ(eq_ops[2], (TraceOp{40, 428, 628, false, false, false, false}));
}

TEST(Trace, NearestNextAndPreviousEvents) {
  EventBytes e(EventFileType::k517, kDate, 0, kDate, 50000);
  e.Add(1000, 5, 1);
  e.Add(1100, 6, 1);
  e.Add(2000, 5, 0);
  e.Add(3000, 5, 1);
  EventData d;
  ASSERT_EQ(d.LoadBytes(e.bytes(), nullptr), LoadResult::kOk);
  const double base = d.IntervalStart();
  EXPECT_EQ(d.NearestEvent(5, base + 1400), 0);
  EXPECT_EQ(d.NearestEvent(5, base + 1500), 0);  // a tie goes to the earlier
  EXPECT_EQ(d.NearestEvent(5, base + 1501), 2);
  EXPECT_EQ(d.NearestEvent(5, base + 99999), 3);
  EXPECT_EQ(d.NearestEvent(5, base), 0);
  EXPECT_FALSE(d.NearestEvent(7, base));
  EXPECT_EQ(d.NextEvent(5, base + 2000), 3);
  EXPECT_EQ(d.PreviousEvent(5, base + 2000), 0);
  EXPECT_FALSE(d.PreviousEvent(5, base + 1000));
  EXPECT_FALSE(d.NextEvent(5, base + 3000));
}

// Next Edge and Previous Edge on a channel: an input's events, or the changes of an equation's
// output, which follow an edit of the equation.
TEST(Trace, NextAndPreviousChangeOfInputAndEquationChannels) {
  EventBytes e(EventFileType::k517, kDate, 0, kDate, 50000);
  e.Add(1000, 5, 1);
  e.Add(1100, 6, 1);
  e.Add(2000, 5, 0);
  e.Add(2500, 6, 0);
  e.Add(3000, 5, 1);
  e.Add(3500, 6, 1);
  EventData d;
  ASSERT_EQ(d.LoadBytes(e.bytes(), nullptr), LoadResult::kOk);
  CZelQplotDoc doc;
  doc.SetInputCount(d.InputCount());
  doc.NewDocument();
  CVequation both;
  both.in = {5, 6, kNoInput, kNoInput};
  both.table = {0, 0, 0, 1, 0, 0, 0, 0};  // In1 and In2: on at 1100, off at 2000, on at 3500
  doc.SetEquation(0, both);
  const int eq = d.InputCount();
  const double base = d.IntervalStart();
  EXPECT_EQ(d.ChangeNear(doc, 5, base + 2000, true), base + 3000);
  EXPECT_EQ(d.ChangeNear(doc, 5, base + 2000, false), base + 1000);
  EXPECT_EQ(d.ChangeNear(doc, eq, base + 1000, true), base + 1100);
  EXPECT_EQ(d.ChangeNear(doc, eq, base + 2000, true), base + 3500);
  EXPECT_EQ(d.ChangeNear(doc, eq, base + 2000, false), base + 1100);
  EXPECT_FALSE(d.ChangeNear(doc, eq, base + 1100, false));
  EXPECT_FALSE(d.ChangeNear(doc, eq, base + 3500, true));
  EXPECT_FALSE(d.ChangeNear(doc, eq + 1, base, true));  // an equation that never changes
  EXPECT_FALSE(d.ChangeNear(doc, eq + kEquationCount, base, true));
  EXPECT_FALSE(d.ChangeNear(doc, kNoInput, base, true));
  CVequation either = both;
  either.table = {0, 1, 1, 1, 0, 0, 0, 0};  // on at 1000, off at 2500, on at 3000
  doc.SetEquation(0, either);
  EXPECT_EQ(d.ChangeNear(doc, eq, base + 1000, true), base + 2500);
  EXPECT_EQ(d.ChangeNear(doc, eq, base + 2999, true), base + 3000);
}

// The index draws exactly what the pass from the first record draws, over random files
// (unordered times included), templates, equations, ranges and zooms.
TEST(Trace, IndexedPassEqualsTheFullPass) {
  std::mt19937 rng(20240315);
  const EventFileType types[] = {EventFileType::k517XL, EventFileType::k583, EventFileType::k37E,
                                 EventFileType::kSlg};
  int compared = 0;
  int skipped = 0;  // views where the index read less than half of what the full pass read
  for (int file = 0; file < 12; ++file) {
    const EventFileType type = types[file % 4];
    const auto& layout = *FindEventLayout(type);
    const int64_t per_day = TicksPerDay(layout.ticksPerSecond);
    EventBytes e(type, kDate, 1000, kDate, static_cast<uint32_t>(per_day - 1000));
    const int inputs = 12;  // events on a few inputs so traces are dense
    for (int i = 0; i < inputs; ++i) e.SetInitial(i, static_cast<int>(rng() % 4));
    const int records = 3000 + static_cast<int>(rng() % 3000);
    uint32_t t = 1000;
    for (int r = 0; r < records; ++r) {
      // Mostly ordered; now and then a step back in time.
      if (rng() % 50 == 0)
        t -= std::min<uint32_t>(t, rng() % 200000);
      else
        t += rng() % static_cast<uint32_t>(per_day / records * 2);
      t = std::min<uint32_t>(t, static_cast<uint32_t>(per_day - 1));
      e.Add(t,
            static_cast<int>(rng() % (inputs + 1)) == inputs ? layout.inputCount + 2
                                                             : static_cast<int>(rng() % inputs),
            static_cast<int>(rng() % 4));
    }
    RecorderType model_type = -1;
    for (RecorderType m = 0; m < kModelTypeCount && model_type < 0; ++m)
      if (EventFileTypeOfModel(m) == type) model_type = m;
    auto setup = std::make_unique<SetupDatabase>(model_type);
    for (int i = 0; i < inputs; ++i) setup->SetFlashEnabled(i, rng() % 2 == 0);
    EventData d;
    ASSERT_EQ(d.LoadBytes(e.bytes(), std::move(setup)), LoadResult::kOk);
    d.SetCheckpointSpacing(64 + static_cast<int>(rng() % 500));
    CZelQplotDoc doc;
    doc.SetInputCount(d.InputCount());
    doc.NewDocument();
    for (int c = 0; c < 30; ++c)
      doc.SetChannelInput(c, static_cast<int>(rng() % (inputs + 9)) < inputs
                                 ? static_cast<int>(rng() % inputs)
                                 : d.InputCount() + static_cast<int>(rng() % 8));
    for (int eqn = 0; eqn < 8; ++eqn) {
      CVequation q;
      for (auto& in : q.in) in = rng() % 3 == 0 ? kNoInput : static_cast<int>(rng() % inputs);
      for (auto& b : q.table) b = static_cast<uint8_t>(rng() % 2);
      doc.SetEquation(eqn, q);
    }
    PlotView v;
    v.SetInterval(d.IntervalStart(), d.IntervalEnd());
    for (int view = 0; view < 40; ++view) {
      const int64_t scale = int64_t{1} << (rng() % 17);
      const double left = d.IntervalStart() - 876.0 * static_cast<double>(scale) +
                          static_cast<double>(rng() % static_cast<uint32_t>(per_day));
      v.SetLeftAndScale(left, scale);
      const auto full = Ops(d, doc, v, true);
      const int64_t full_read = d.LastRecordsRead();
      const auto indexed = Ops(d, doc, v, false);
      if (d.LastRecordsRead() < full_read / 2) ++skipped;
      ASSERT_EQ(full, indexed) << "file " << file << " view " << view;
      ++compared;
      if (view == 20) {  // an equation edit takes effect in the index too
        CVequation q = doc.Equation(0);
        q.table[0] ^= 1;
        doc.SetEquation(0, q);
      }
    }
  }
  EXPECT_EQ(compared, 12 * 40);
  EXPECT_GT(skipped, 100);
}

// The column walk gives the same distinct pieces as the pass from the first record (so the
// same pixels), over files with bursts of changes inside one pixel column, equations, flashing
// and the KRV-583 family's edges, at every zoom from 1 to 65536 and views left of, inside and
// right of the interval.
TEST(Trace, ColumnWalkDrawsWhatTheFullPassDraws) {
  std::mt19937 rng(20261208);
  const EventFileType types[] = {EventFileType::k517XL, EventFileType::k583, EventFileType::k37E,
                                 EventFileType::kSlg, EventFileType::k583A};
  int compared = 0;
  int64_t walked = 0, read = 0;
  for (int file = 0; file < 5; ++file) {
    const EventFileType type = types[file];
    const auto& layout = *FindEventLayout(type);
    const int64_t per_day = TicksPerDay(layout.ticksPerSecond);
    EventBytes e(type, kDate, 1000, kDate, static_cast<uint32_t>(per_day - 1000));
    const int inputs = 10;
    for (int i = 0; i < inputs; ++i) e.SetInitial(i, static_cast<int>(rng() % 4));
    const int records = 4000 + static_cast<int>(rng() % 4000);
    uint32_t t = 1000;
    for (int r = 0; r < records; ++r) {
      // Bursts: runs of records a tick or none apart, then a jump.
      t += rng() % 8 == 0 ? rng() % static_cast<uint32_t>(per_day / records * 8) : rng() % 2;
      t = std::min<uint32_t>(t, static_cast<uint32_t>(per_day - 1));
      e.Add(t, rng() % 40 == 0 ? layout.inputCount + 1 : static_cast<int>(rng() % inputs),
            static_cast<int>(rng() % 4));
    }
    RecorderType model_type = -1;
    for (RecorderType m = 0; m < kModelTypeCount && model_type < 0; ++m)
      if (EventFileTypeOfModel(m) == type) model_type = m;
    auto setup = std::make_unique<SetupDatabase>(model_type);
    for (int i = 0; i < inputs; ++i) setup->SetFlashEnabled(i, rng() % 2 == 0);
    EventData d;
    ASSERT_EQ(d.LoadBytes(e.bytes(), std::move(setup)), LoadResult::kOk);
    ASSERT_TRUE(d.CanTraceByColumns());
    CZelQplotDoc doc;
    doc.SetInputCount(d.InputCount());
    doc.NewDocument();
    for (int c = 0; c < 24; ++c)
      doc.SetChannelInput(c, rng() % 4 == 0 ? d.InputCount() + static_cast<int>(rng() % 8)
                                            : static_cast<int>(rng() % inputs));
    doc.SetChannelInput(24, kNoInput);
    for (int eqn = 0; eqn < 8; ++eqn) {
      CVequation q;
      for (auto& in : q.in) in = rng() % 3 == 0 ? kNoInput : static_cast<int>(rng() % inputs);
      for (auto& b : q.table) b = static_cast<uint8_t>(rng() % 2);
      doc.SetEquation(eqn, q);
    }
    std::bitset<kChannelCount> all;
    all.set();
    PlotView v;
    v.SetInterval(d.IntervalStart(), d.IntervalEnd());
    for (int view = 0; view < 24; ++view) {
      if (view == 0) {
        v.ZoomAll();
      } else {
        const int64_t scale = int64_t{1} << (rng() % 17);
        v.SetLeftAndScale(d.IntervalStart() - 876.0 * static_cast<double>(scale) +
                              static_cast<double>(rng() % static_cast<uint32_t>(per_day)),
                          scale);
      }
      const auto full = Ops(d, doc, v, true);
      read += d.LastRecordsRead();
      std::vector<TraceOp> columns;
      d.TraceColumns(doc, v, all, [&](const TraceOp& op) { columns.push_back(op); });
      walked += d.LastRecordsRead();
      auto key = [](const TraceOp& o) {
        return std::tuple(o.channel, o.x0, o.x1, o.fromHigh, o.edge, o.toHigh, o.hatch);
      };
      std::set<std::tuple<int, int, int, bool, bool, bool, bool>> a, b;
      for (const auto& o : full) a.insert(key(o));
      for (const auto& o : columns) b.insert(key(o));
      ASSERT_EQ(a, b) << "file " << file << " view " << view;
      EXPECT_LE(columns.size(), full.size());
      ++compared;
      if (view == 12) {  // an equation edit takes effect in the walk too
        CVequation q = doc.Equation(1);
        q.table[1] ^= 1;
        doc.SetEquation(1, q);
      }
    }
  }
  EXPECT_EQ(compared, 5 * 24);
  EXPECT_LT(walked, read / 2);  // the walk visits columns, not records
}

TEST(Trace, ColumnWalkNeedsTimesInFileOrderAndGivesOnlyTheChannelsAsked) {
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 50000);
  e.Add(1000, 0, 1);
  e.Add(1001, 0, 0);
  e.Add(1002, 0, 1);
  e.Add(2000, 1, 1);
  EventData d;
  ASSERT_EQ(d.LoadBytes(e.bytes(), nullptr), LoadResult::kOk);
  ASSERT_TRUE(d.CanTraceByColumns());
  CZelQplotDoc doc;
  doc.SetInputCount(d.InputCount());
  doc.NewDocument();
  PlotView v;
  v.SetInterval(d.IntervalStart(), d.IntervalEnd());
  v.SetLeftAndScale(d.IntervalStart(), 10);
  std::bitset<kChannelCount> only0;
  only0.set(0);
  std::vector<TraceOp> ops;
  d.TraceColumns(doc, v, only0, [&](const TraceOp& op) { ops.push_back(op); });
  // Three changes in column 228: the first piece, then one piece per kind (high to low, low to
  // high), then the final segment.
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[0], (TraceOp{0, 128, 228, false, true, true, false}));
  EXPECT_EQ(ops[1], (TraceOp{0, 228, 228, false, true, true, false}));
  EXPECT_EQ(ops[2], (TraceOp{0, 228, 228, true, true, false, false}));
  EXPECT_EQ(ops[3], (TraceOp{0, 228, 1004, true, false, true, false}));

  EventBytes back(EventFileType::k517XL, kDate, 0, kDate, 50000);
  back.Add(2000, 0, 1);
  back.Add(1000, 0, 0);  // a step back in time: the walk is not offered
  EventData b;
  ASSERT_EQ(b.LoadBytes(back.bytes(), nullptr), LoadResult::kOk);
  EXPECT_FALSE(b.CanTraceByColumns());
  ops.clear();
  b.TraceColumns(doc, v, only0, [&](const TraceOp& op) { ops.push_back(op); });
  EXPECT_TRUE(ops.empty());
}

}  // namespace
}  // namespace zel::qplot
