#include "plot_renderer.h"

#include <array>
#include <bitset>
#include <cstdio>

#include "gui/timing_painter.h"
#include "model/time_text.h"

namespace zel::qplot {
namespace {

using gui::TimingPainter;

// Draws the trace pieces through `row_top` (-1: channel not drawn). The pass from the first
// record (the tests' oracle) draws every piece by itself; otherwise each channel's pieces are
// gathered and drawn in one call, which merges what covers the same pixels.
void DrawTraces(TimingPainter& tp, const EventData& data, const CZelQplotDoc& doc,
                const PlotView& view, bool full_pass, const std::function<int(int)>& row_top) {
  std::array<int, kChannelCount> tops;
  std::array<QColor, kChannelCount> colors;
  for (int c = 0; c < kChannelCount; ++c) {
    tops[static_cast<size_t>(c)] = row_top(c);
    colors[static_cast<size_t>(c)] = gui::ColorOfColorRef(doc.Channel(c).color);
  }
  if (full_pass) {
    // A piece whose horizontal part is empty and that repeats one already drawn at the same x
    // of its channel is left out: the pen is opaque and one colour per channel.
    std::array<int, kChannelCount> last_x;
    last_x.fill(INT_MIN);
    std::array<uint8_t, kChannelCount> seen{};
    data.Trace(doc, view, true, [&](const TraceOp& op) {
      const size_t c = static_cast<size_t>(op.channel);
      const int top = tops[c];
      if (top < 0) return;
      if (op.x0 == op.x1 && !op.hatch) {
        const uint8_t bit = static_cast<uint8_t>(
            1u << ((op.fromHigh ? 1 : 0) | (op.edge ? 2 : 0) | (op.toHigh ? 4 : 0)));
        if (last_x[c] != op.x1) {
          last_x[c] = op.x1;
          seen[c] = 0;
        }
        if (seen[c] & bit) return;
        seen[c] |= bit;
      }
      tp.DrawSegment(op.x0, op.x1, LevelY(top, op.fromHigh), op.edge, LevelY(top, op.toHigh),
                     op.hatch, top + kHighLevelOffset, top + kLowLevelOffset, colors[c]);
    });
    return;
  }
  std::array<gui::TraceBatch, kChannelCount> batches;
  auto gather = [&](const TraceOp& op) {
    const size_t c = static_cast<size_t>(op.channel);
    const int top = tops[c];
    if (top < 0) return;
    batches[c].AddSegment(op.x0, op.x1, LevelY(top, op.fromHigh), op.edge, LevelY(top, op.toHigh),
                          op.hatch, top + kHighLevelOffset, top + kLowLevelOffset);
  };
  if (data.CanTraceByColumns()) {
    // Only the channels that are drawn, and per channel only its changing pixel columns.
    std::bitset<kChannelCount> drawn;
    for (size_t c = 0; c < kChannelCount; ++c) drawn.set(c, tops[c] >= 0);
    data.TraceColumns(doc, view, drawn, gather);
  } else {
    data.Trace(doc, view, false, gather);
  }
  for (size_t c = 0; c < kChannelCount; ++c) tp.DrawTrace(batches[c], colors[c]);
}

gui::TimeGrid GridOf(const EventData& data, const PlotView& view) {
  gui::TimeGrid g;
  g.ticksPerSecond = data.TicksPerSecond();
  g.leftTicks = view.Left();
  g.scale = view.Scale();
  g.plotLeft = kPlotLeft;
  g.plotRight = kPlotRight;
  g.endTicks = view.IntervalEnd();
  const TimeTexts texts(data.TicksPerSecond());
  g.timeText = [texts](double t) { return QString::fromStdString(texts.TimeOnly(t)); };
  return g;
}

void DrawCursors(TimingPainter& tp, const PlotView& view, int bottom,
                 const std::function<int(int)>& row_top) {
  for (int i = 0; i < 2; ++i) {
    const Cursor& c = view.GetCursor(i);
    if (!c.IsSet()) continue;
    const int x = view.XOfTime(c.time);
    if (x < kPlotLeft || x > kPlotRight) continue;
    const int top = row_top(c.channel);
    tp.DrawCursor(x, 0, bottom, top < 0 ? -1 : top + 3, top + 11,
                  gui::ColorOfColorRef(i == 0 ? gui::kCursor1ColorRef : gui::kCursor2ColorRef));
  }
}

}  // namespace

void DrawPlot(QPainter& painter, const EventData& data, const CZelQplotDoc& doc,
              const PlotView& view, const RenderOptions& options) {
  TimingPainter tp(painter);
  const int bottom = ScrollHeight();
  // Back: grid, time labels and the date of the left edge in every header row.
  gui::TimeGrid grid = GridOf(data, view);
  grid.top = 0;
  grid.bottom = bottom;
  for (int g = 0; g < kGroupCount; ++g) grid.headerTops.push_back(HeaderRowTop(g));
  tp.DrawTimeGrid(grid);
  const QFont small = gui::PlotFont(QStringLiteral("Courier New"), 12);
  const QString date =
      QString::fromStdString(TimeTexts(data.TicksPerSecond()).DateTime(view.Left()).substr(0, 8));
  for (int top : grid.headerTops) tp.DrawText(0, top, date, small, Qt::black);

  auto row_top = [&](int c) {
    const int top = RowTop(c);
    if (top + kRowHeight < options.clipTop || top > options.clipBottom) return -1;
    return top;
  };
  // Middle: labels, traces.
  const QFont label_font = gui::PlotFont(QStringLiteral("Courier New"), 15);
  for (int c = 0; c < kChannelCount; ++c) {
    const int top = row_top(c);
    if (top < 0) continue;
    tp.DrawText(0, top, QString::fromStdString(data.Label(doc.Channel(c).input)), label_font,
                Qt::black, kPlotLeft, kRowHeight);
  }
  DrawTraces(tp, data, doc, view, options.fullPass, row_top);
  // Fore: cursors.
  DrawCursors(tp, view, bottom, [](int c) { return c >= 0 && c < kChannelCount ? RowTop(c) : -1; });
}

std::string PrintIntervalLine(const EventData& data, const PlotView& view) {
  const TimeTexts t(data.TicksPerSecond());
  std::string line =
      t.DateTimeSeconds(view.IntervalStart()) + " To " + t.DateTimeSeconds(view.IntervalEnd());
  if (view.GetCursor(0).IsSet()) line += "  Cursor1=" + t.DateTime(view.GetCursor(0).time);
  if (view.GetCursor(1).IsSet()) line += "  Cursor2=" + t.DateTime(view.GetCursor(1).time);
  return line;
}

void DrawPrintPage(QPainter& painter, const EventData& data, const CZelQplotDoc& doc,
                   const PlotView& view, int first_channel, int rows) {
  TimingPainter tp(painter);
  const int bottom = (rows + 1) * kRowHeight;
  gui::TimeGrid grid = GridOf(data, view);
  grid.top = 0;
  grid.bottom = bottom;
  grid.headerTops = {0};
  tp.DrawTimeGrid(grid);
  const QFont small = gui::PlotFont(QStringLiteral("Courier New"), 12);
  tp.DrawText(
      0, 0,
      QString::fromStdString(TimeTexts(data.TicksPerSecond()).DateTime(view.Left()).substr(0, 8)),
      small, Qt::black);
  auto row_top = [&](int c) {
    const int k = c - first_channel;
    return k >= 0 && k < rows && c < kChannelCount ? (k + 1) * kRowHeight : -1;
  };
  const QFont label_font = gui::PlotFont(QStringLiteral("Courier New"), 15);
  for (int k = 0; k < rows && first_channel + k < kChannelCount; ++k) {
    tp.DrawText(0, (k + 1) * kRowHeight,
                QString::fromStdString(data.Label(doc.Channel(first_channel + k).input)),
                label_font, Qt::black, kPlotLeft, kRowHeight);
  }
  DrawTraces(tp, data, doc, view, false, row_top);
  DrawCursors(tp, view, bottom, row_top);
  const QFont courier = gui::PlotFont(QStringLiteral("Courier"), 12);
  tp.DrawText(0, bottom, QString::fromStdString(PrintIntervalLine(data, view)), courier, Qt::black);
  tp.DrawText(0, bottom + kRowHeight, QString::fromStdString("UnitID=\"" + data.UnitName() + "\""),
              courier, Qt::black);
}

}  // namespace zel::qplot
