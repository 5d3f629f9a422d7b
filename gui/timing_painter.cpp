#include "gui/timing_painter.h"

#include <QFont>
#include <QPen>
#include <cmath>

#include "gui/model/hatching.h"
#include "gui/model/time_axis.h"

namespace zel::gui {

QColor ColorOfColorRef(uint32_t bbggrr) {
  return QColor(static_cast<int>(bbggrr & 0xFF), static_cast<int>((bbggrr >> 8) & 0xFF),
                static_cast<int>((bbggrr >> 16) & 0xFF));
}

uint32_t ColorRefOf(const QColor& color) {
  return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
         (static_cast<uint32_t>(color.blue()) << 16);
}

void UseLogicalUnits(QPainter& painter, double dpi_x, double dpi_y) {
  painter.scale(dpi_x / 96.0, dpi_y / 96.0);
}

QFont PlotFont(const QString& family, int height_units) {
  QFont font(family);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(height_units);
  return font;
}

void TimingPainter::Pen(const QColor& color) {
  QPen pen(color);
  pen.setWidth(1);
  pen.setStyle(Qt::SolidLine);
  pen.setCapStyle(Qt::SquareCap);
  // Setting the pen the painter already has costs as much as drawing a short line.
  if (p_.pen() != pen) p_.setPen(pen);
}

void TimingPainter::DrawTimeGrid(const TimeGrid& g) {
  const TimeSteps steps = ChooseTimeSteps(g.ticksPerSecond, g.scale);
  const double tick = static_cast<double>(steps.tickTicks);
  const double scale = static_cast<double>(g.scale < 1 ? 1 : g.scale);
  auto x_of = [&](double t) {
    const double units = std::fmax(-1e9, std::fmin(1e9, (t - g.leftTicks) / scale));
    return static_cast<int>(units) + g.plotLeft;
  };
  const QColor grey = ColorOfColorRef(kGridColorRef);
  const QFont font = PlotFont(QStringLiteral("Courier New"), g.labelHeight);
  double t = std::ceil(g.leftTicks / tick) * tick;
  // A bounded loop: the step is at least one tick and the times stop at the interval end.
  for (; t <= g.endTicks; t += tick) {
    const int x = x_of(t);
    if (x > g.plotRight) break;
    if (x < g.plotLeft) continue;
    const bool labelled = std::fmod(t, static_cast<double>(steps.labelTicks)) == 0.0;
    Pen(grey);
    if (labelled) {
      p_.drawLine(x, g.top, x, g.bottom);
      if (g.timeText) {
        const QString text = g.timeText(t);
        for (int top : g.headerTops) DrawText(x - g.labelOffset, top, text, font, Qt::black);
      }
    } else {
      for (int top : g.headerTops) p_.drawLine(x, top, x, top + g.headerHeight);
    }
  }
}

void TimingPainter::DrawText(int x, int y, const QString& text, const QFont& font,
                             const QColor& color, int clip_width, int clip_height) {
  p_.setFont(font);
  p_.setPen(color);
  const QFontMetrics m(font);
  const int w = clip_width > 0 ? clip_width : m.horizontalAdvance(text) + 2;
  const int h = clip_height > 0 ? clip_height : font.pixelSize() + 4;
  if (clip_width > 0) {
    p_.save();
    p_.setClipRect(QRect(x, y, w, h), Qt::IntersectClip);
    p_.drawText(QRect(x, y, w + 200, h), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
    p_.restore();
  } else {
    p_.drawText(QRect(x, y, w, h), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
  }
}

void TimingPainter::DrawSegment(int x0, int x1, int from_y, bool edge, int to_y, bool hatch,
                                int band_top, int band_bottom, const QColor& color) {
  Pen(color);
  if (hatch) {
    for (const HatchLine& l : HatchLines(x0, band_top, x1, band_bottom))
      p_.drawLine(l.x1, l.y1, l.x2, l.y2);
  }
  p_.drawLine(x0, from_y, x1, from_y);
  if (edge) p_.drawLine(x1, from_y, x1, to_y);
}

void TimingPainter::SegmentLines(int x0, int x1, int from_y, bool edge, int to_y, bool hatch,
                                 int band_top, int band_bottom, std::vector<QLine>& out) {
  if (hatch) {
    for (const HatchLine& l : HatchLines(x0, band_top, x1, band_bottom))
      out.emplace_back(l.x1, l.y1, l.x2, l.y2);
  }
  if (x0 != x1 || !edge) out.emplace_back(x0, from_y, x1, from_y);
  if (edge) out.emplace_back(x1, from_y, x1, to_y);
}

void TimingPainter::DrawLines(const std::vector<QLine>& lines, const QColor& color) {
  if (lines.empty()) return;
  Pen(color);
  p_.drawLines(lines.data(), static_cast<int>(lines.size()));
}

void TimingPainter::DrawCursor(int x, int top, int bottom, int mark_top, int mark_bottom,
                               const QColor& color) {
  Pen(color);
  p_.drawLine(x, top, x, bottom);
  if (mark_top >= 0) {
    p_.drawLine(x - 4, mark_top, x + 4, mark_bottom);
    p_.drawLine(x - 4, mark_bottom, x + 4, mark_top);
  }
}

}  // namespace zel::gui
