// Plotter redraw cost: a 1,000,000-record KRV-517XL file and a 100,000-record KRV-517XC file,
// drawn as the screen draws them (a 1004 x 700 window at the top of the channel rows) at Zoom
// All and at scale 1 with the view at the start, middle and end of the interval. Prints the
// time of a redraw through the index and of the pass from the first record (the original's
// cost), the end/start ratio, and the index's memory against the file's size. Each redraw is
// timed many times and the least and the middle time printed (the machine may be shared, which
// shows in the middle time). Never asserts.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <bitset>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "../qplot/model/tests/event_bytes.h"
#include "model/event_data.h"
#include "plot_renderer.h"
#include "zel/day_number.h"

namespace {

using zel::qplot::CZelQplotDoc;
using zel::qplot::EventData;
using zel::qplot::PlotView;

std::vector<uint8_t> BuildFile(zel::EventFileType type, int records, int inputs) {
  const uint16_t date = zel::PackDate(24, 3, 15);
  zel::qplot::testing::EventBytes e(type, date, 0, date, 8639999);
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  for (int i = 0; i < records; ++i) {
    const uint32_t t = static_cast<uint32_t>(static_cast<uint64_t>(i) * 8640000 / records);
    e.Add(t, static_cast<int>((next() >> 8) % static_cast<uint32_t>(inputs)),
          static_cast<int>((next() >> 16) & 1));
  }
  return e.bytes();
}

struct Times {
  double min = 0, median = 0;
};

// Redraws `repeats` times; the machine is shared, so the least and the middle time are given.
Times RedrawMs(const EventData& data, const CZelQplotDoc& doc, const PlotView& view, bool full,
               int repeats) {
  QImage image(1004, 700, QImage::Format_RGB32);
  std::vector<double> ms;
  for (int r = 0; r < repeats; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    image.fill(Qt::white);
    QPainter painter(&image);
    zel::qplot::RenderOptions options;
    options.fullPass = full;
    options.clipTop = 0;
    options.clipBottom = 700;
    zel::qplot::DrawPlot(painter, data, doc, view, options);
    painter.end();
    ms.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms.front(), ms[ms.size() / 2]};
}

void Run(const char* name, zel::EventFileType type, int records, int inputs) {
  EventData data;
  const auto bytes = BuildFile(type, records, inputs);
  const auto t0 = std::chrono::steady_clock::now();
  if (data.LoadBytes(bytes, nullptr) != zel::qplot::LoadResult::kOk) {
    std::printf("%s: the built file did not load\n", name);
    return;
  }
  const double load_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  CZelQplotDoc doc;
  doc.SetInputCount(data.InputCount());
  doc.NewDocument();
  PlotView view;
  view.SetInterval(data.IntervalStart(), data.IntervalEnd());
  std::printf(
      "%s: %d records, %zu bytes; load and index %.1f ms; index %zu bytes (%.2f x the file)\n",
      name, records, data.FileBytes(), load_ms, data.IndexBytes(),
      static_cast<double>(data.IndexBytes()) / static_cast<double>(data.FileBytes()));
  struct V {
    const char* what;
    bool all;
    double at;  // fraction of the interval
  };
  Times start{};
  for (const V v : {V{"zoom all", true, 0}, V{"scale 1, start", false, 0},
                    V{"scale 1, middle", false, 0.5}, V{"scale 1, end", false, 0.999}}) {
    if (v.all)
      view.ZoomAll();
    else
      view.SetLeftAndScale(
          data.IntervalStart() + v.at * (data.IntervalEnd() - data.IntervalStart()), 1);
    const Times indexed = RedrawMs(data, doc, view, false, 21);
    const int64_t read = data.LastRecordsRead();
    const Times full = RedrawMs(data, doc, view, true, 3);
    const int64_t full_read = data.LastRecordsRead();
    // The walk alone (no painting), over the channels the 700-unit window shows.
    std::bitset<zel::qplot::kChannelCount> shown;
    for (int c = 0; c < zel::qplot::kChannelCount; ++c)
      shown.set(static_cast<size_t>(c), zel::qplot::RowTop(c) <= 700);
    int64_t pieces = 0;
    const auto w0 = std::chrono::steady_clock::now();
    data.TraceColumns(doc, view, shown, [&](const zel::qplot::TraceOp&) { ++pieces; });
    const double walk_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - w0).count();
    if (!v.all && v.at == 0) start = indexed;
    std::printf(
        "  %-16s index min %7.2f median %7.2f ms (%8lld columns)   full pass min %8.2f ms "
        "(%8lld records)   walk alone %6.2f ms (%lld pieces)%s\n",
        v.what, indexed.min, indexed.median, static_cast<long long>(read), full.min,
        static_cast<long long>(full_read), walk_ms, static_cast<long long>(pieces),
        indexed.median < 16 ? "" : "   median over 16 ms");
    if (!v.all && v.at > 0.9)
      std::printf(
          "  end/start ratio through the index: %.2f of the least times, %.2f of the middle "
          "ones (goal at most 1.5)\n",
          start.min > 0 ? indexed.min / start.min : 0.0,
          start.median > 0 ? indexed.median / start.median : 0.0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  Run("KRV-517XL", zel::EventFileType::k517XL, 1000000, 360);
  Run("KRV-517XC", zel::EventFileType::k517P, 100000, 4256);
  return 0;
}
