#include "rtp_painter.h"

#include <QLine>
#include <algorithm>
#include <utility>
#include <vector>

#include "gui/timing_painter.h"

namespace zel::rtp {

void DrawRealTimePlot(QPainter& painter, RealTimePlot& plot, const InputTexts& texts, int width,
                      int height) {
  const PlotFrame f = plot.Frame(width, height);
  gui::TimingPainter tp(painter);
  const QFont font = gui::PlotFont(QStringLiteral("Courier New"), 12);
  const QColor grey = gui::ColorOfColorRef(gui::kGridColorRef);

  // Back: grid and time axis, left of the edge.
  painter.save();
  painter.setClipRect(QRect(0, 0, f.edge + 1, height));
  for (const GridMark& g : f.grid) {
    if (g.labelled) {
      tp.DrawSegment(g.x, g.x, 0, true, f.gridBottom, false, 0, 0, grey);
      tp.DrawText(g.x - kTimeLabelOffset, 0,
                  QString::fromStdString(TimeOfDayText(g.time, plot.ticksPerDay())), font,
                  Qt::black);
    } else {
      tp.DrawSegment(g.x, g.x, 0, true, kTickHeight, false, 0, 0, grey);
    }
  }
  // Middle: traces, the lines of all slots of one colour in one call. The slots' bands do not
  // overlap, so the order between slots does not change a pixel.
  std::vector<std::pair<uint32_t, std::vector<QLine>>> by_color;
  std::vector<int> group_of_slot(kSlotCount, -1);
  for (const TracePiece& p : f.pieces) {
    int& g = group_of_slot[static_cast<size_t>(p.slot)];
    if (g < 0) {
      const uint32_t color = plot.Slot(p.slot).color;
      auto it = std::find_if(by_color.begin(), by_color.end(),
                             [&](const auto& e) { return e.first == color; });
      if (it == by_color.end()) {
        by_color.emplace_back(color, std::vector<QLine>{});
        by_color.back().second.reserve(f.pieces.size() * 2);
        it = by_color.end() - 1;
      }
      g = static_cast<int>(it - by_color.begin());
    }
    gui::TimingPainter::SegmentLines(p.x0, p.x1, p.fromY, p.edge, p.toY, p.hatch, p.bandTop,
                                     p.bandBottom, by_color[static_cast<size_t>(g)].second);
  }
  for (const auto& [color, lines] : by_color) tp.DrawLines(lines, gui::ColorOfColorRef(color));
  painter.restore();

  // Labels in the slots' colours.
  for (int k = 0; k < f.rows; ++k) {
    const TraceSlot& s = plot.Slot(k);
    tp.DrawText(f.edge + 4, RealTimePlot::RowTop(k), QString::fromStdString(texts.Label(s.input)),
                font, gui::ColorOfColorRef(s.color), kLabelColumnWidth - 4, kRowHeight);
  }
}

}  // namespace zel::rtp
