#include "rtp_painter.h"

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
  // Middle: traces.
  for (const TracePiece& p : f.pieces)
    tp.DrawSegment(p.x0, p.x1, p.fromY, p.edge, p.toY, p.hatch, p.bandTop, p.bandBottom,
                   gui::ColorOfColorRef(plot.Slot(p.slot).color));
  painter.restore();

  // Labels in the slots' colours.
  for (int k = 0; k < f.rows; ++k) {
    const TraceSlot& s = plot.Slot(k);
    tp.DrawText(f.edge + 4, RealTimePlot::RowTop(k), QString::fromStdString(texts.Label(s.input)),
                font, gui::ColorOfColorRef(s.color), kLabelColumnWidth - 4, kRowHeight);
  }
}

}  // namespace zel::rtp
