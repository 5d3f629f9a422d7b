#include "gui/timing_painter.h"

#include <QFont>
#include <QPaintEngine>
#include <QPen>
#include <algorithm>
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

void TraceBatch::AddSegment(int x0, int x1, int from_y, bool edge, int to_y, bool hatch,
                            int band_top, int band_bottom) {
  if (hatch) {
    for (const HatchLine& l : HatchLines(x0, band_top, x1, band_bottom))
      hatch_.emplace_back(l.x1, l.y1, l.x2, l.y2);
  }
  if (x0 != x1 || !edge) AddHorizontal(std::min(x0, x1), std::max(x0, x1), from_y);
  if (edge) AddVertical(x1, std::min(from_y, to_y), std::max(from_y, to_y));
}

// Lines that share a point and run the same way are one line from the first end to the last
// (square caps, one pen): the shape is the same, so pieces are merged as they arrive.
void TraceBatch::AddVertical(int x, int y0, int y1) {
  if (!verticals_.empty()) {
    Vertical& last = verticals_.back();
    if (last.x == x && y0 <= last.y1 && last.y0 <= y1) {
      last.y0 = std::min(last.y0, y0);
      last.y1 = std::max(last.y1, y1);
      return;
    }
  }
  verticals_.push_back({x, y0, y1});
}

void TraceBatch::AddHorizontal(int x0, int x1, int y) {
  if (!horizontals_.empty()) {
    Horizontal& last = horizontals_.back();
    if (last.y == y && x0 <= last.x1 && last.x0 <= x1) {
      last.x0 = std::min(last.x0, x0);
      last.x1 = std::max(last.x1, x1);
      return;
    }
  }
  horizontals_.push_back({x0, x1, y});
}

void TraceBatch::Clear() {
  verticals_.clear();
  horizontals_.clear();
  hatch_.clear();
}

bool TimingPainter::UnitsArePixels() const {
  const QPaintEngine* engine = p_.paintEngine();
  if (!engine || engine->type() != QPaintEngine::Raster) return false;
  if (p_.testRenderHint(QPainter::Antialiasing)) return false;
  const QTransform t = p_.deviceTransform();
  return t.type() <= QTransform::TxTranslate && std::floor(t.dx()) == t.dx() &&
         std::floor(t.dy()) == t.dy();
}

void TimingPainter::DrawTrace(const TraceBatch& batch, const QColor& color) {
  using Vertical = TraceBatch::Vertical;
  if (batch.Empty()) return;
  // The vertical lines by x, those of one x that share a point merged.
  std::vector<Vertical> v = batch.verticals_;
  auto by_x = [](const Vertical& a, const Vertical& b) {
    return a.x != b.x ? a.x < b.x : a.y0 < b.y0;
  };
  if (!std::is_sorted(v.begin(), v.end(), by_x)) std::sort(v.begin(), v.end(), by_x);
  size_t kept = 0;
  for (size_t k = 0; k < v.size(); ++k) {
    if (kept > 0 && v[kept - 1].x == v[k].x && v[k].y0 <= v[kept - 1].y1) {
      v[kept - 1].y1 = std::max(v[kept - 1].y1, v[k].y1);
    } else {
      v[kept++] = v[k];
    }
  }
  v.resize(kept);

  std::vector<QLine> lines = batch.hatch_;
  if (!UnitsArePixels()) {
    for (const auto& h : batch.horizontals_) lines.emplace_back(h.x0, h.y, h.x1, h.y);
    for (const Vertical& l : v) lines.emplace_back(l.x, l.y0, l.x, l.y1);
    DrawLines(lines, color);
    return;
  }
  // A line of width 1 covers the pixels from its first end to its last. Columns next to each
  // other holding one vertical line over the same span are one rectangle of pixels.
  auto alone = [&](size_t k) {
    return (k == 0 || v[k - 1].x != v[k].x) && (k + 1 == v.size() || v[k + 1].x != v[k].x);
  };
  for (size_t k = 0; k < v.size();) {
    size_t end = k + 1;
    if (alone(k)) {
      while (end < v.size() && v[end].x == v[end - 1].x + 1 && v[end].y0 == v[k].y0 &&
             v[end].y1 == v[k].y1 && alone(end))
        ++end;
    }
    p_.fillRect(QRect(v[k].x, v[k].y0, v[end - 1].x - v[k].x + 1, v[k].y1 - v[k].y0 + 1), color);
    k = end;
  }
  // A horizontal line is left out when every pixel of it already lies on a vertical one.
  // Horizontal lines mostly come in x order: the search goes on from the last one's place.
  auto it = v.begin();
  auto covered = [&](const TraceBatch::Horizontal& h) {
    if (it != v.begin() && std::prev(it)->x >= h.x0) it = v.begin();
    if (it == v.end() || it->x < h.x0)
      it = std::lower_bound(it, v.end(), h.x0, [](const Vertical& l, int x) { return l.x < x; });
    for (int x = h.x0; x <= h.x1; ++x) {
      while (it != v.end() && it->x < x) ++it;
      bool on = false;
      for (auto j = it; j != v.end() && j->x == x && !on; ++j) on = j->y0 <= h.y && h.y <= j->y1;
      if (!on) return false;
    }
    return true;
  };
  for (const auto& h : batch.horizontals_)
    if (!covered(h)) lines.emplace_back(h.x0, h.y, h.x1, h.y);
  DrawLines(lines, color);
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
