// The timing-diagram painter of both plotters. Everything is drawn in logical units of 1/96
// inch through one QPainter transform, so the screen, the printer, print preview and image
// export run the same code. Layers: back (grid and time axis), middle (labels and traces),
// fore (cursors).
#pragma once

#include <QColor>
#include <QLine>
#include <QPainter>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace zel::gui {

// 0x00BBGGRR as stored in templates and setup files.
QColor ColorOfColorRef(uint32_t bbggrr);
uint32_t ColorRefOf(const QColor& color);

// Scales the painter so one logical unit is 1/96 inch on a device of the given resolution.
void UseLogicalUnits(QPainter& painter, double dpi_x, double dpi_y);

// A monospace font `height_units` logical units high ("Courier New" and "Courier" resolve to
// the installed monospace face).
QFont PlotFont(const QString& family, int height_units);

inline constexpr uint32_t kGridColorRef = 0xC0C0C0;
inline constexpr uint32_t kCursor1ColorRef = 0x00FF00;
inline constexpr uint32_t kCursor2ColorRef = 0x0000FF;  // red as 0x00BBGGRR

struct TimeGrid {
  int ticksPerSecond = 100;
  double leftTicks = 0;  // time at x = plotLeft
  int64_t scale = 1;     // ticks per unit
  int plotLeft = 128;
  int plotRight = 1004;
  double endTicks = 0;  // no line after this time
  int top = 0;          // full-height lines run from top to bottom
  int bottom = 0;
  std::vector<int> headerTops;  // tops of the rows that carry ticks and time labels
  int headerHeight = 15;
  int labelOffset = 20;  // time labels start this far left of their line
  int labelHeight = 12;
  std::function<QString(double)> timeText;  // time-of-day label of a line
};

// The pieces of one trace (one colour), gathered for one TimingPainter::DrawTrace call. Each
// piece is what DrawSegment draws. Gathering lets the painter draw the widest views fast: all
// edges in one x become one vertical line, and where the painter's units are the device's
// pixels, columns in a row whose edges cover the same span become one filled rectangle and the
// horizontal parts those columns already cover are left out. There the pixels stay those of
// drawing every piece with DrawSegment; on a scaled painter (a printer, a high-density screen)
// the merged lines cover the same shapes, though the stroker may round their ends differently.
class TraceBatch {
 public:
  void AddSegment(int x0, int x1, int from_y, bool edge, int to_y, bool hatch, int band_top,
                  int band_bottom);
  void Clear();
  bool Empty() const { return verticals_.empty() && horizontals_.empty() && hatch_.empty(); }

 private:
  friend class TimingPainter;
  struct Vertical {
    int x, y0, y1;  // y0 <= y1
  };
  struct Horizontal {
    int x0, x1, y;  // x0 <= x1
  };
  void AddVertical(int x, int y0, int y1);
  void AddHorizontal(int x0, int x1, int y);
  std::vector<Vertical> verticals_;
  std::vector<Horizontal> horizontals_;
  std::vector<QLine> hatch_;
};

class TimingPainter {
 public:
  explicit TimingPainter(QPainter& painter) : p_(painter) {}

  // Back layer: for every multiple of the tick step from the first at or after plotLeft, while
  // its x <= plotRight and its time <= endTicks: a full-height line at multiples of the label
  // step, labelled in every header row; else a tick of one header row's height in each.
  void DrawTimeGrid(const TimeGrid& grid);
  // Text with its top left corner at (x, y), clipped to `clip_width` units when positive.
  void DrawText(int x, int y, const QString& text, const QFont& font, const QColor& color,
                int clip_width = 0, int clip_height = 0);

  // Middle layer: one piece of a trace. A horizontal line from x0 to x1 at from_y, then with
  // `edge` a vertical one at x1 to to_y; with `hatch` the band between band_top and
  // band_bottom over x0..x1 is first filled with 45-degree lines 4 units apart.
  void DrawSegment(int x0, int x1, int from_y, bool edge, int to_y, bool hatch, int band_top,
                   int band_bottom, const QColor& color);

  // The lines of DrawSegment appended to `out` instead of drawn, for DrawLines. A zero-length
  // horizontal part ahead of an edge is left out: the edge's first pixel is that point.
  static void SegmentLines(int x0, int x1, int from_y, bool edge, int to_y, bool hatch,
                           int band_top, int band_bottom, std::vector<QLine>& out);
  // Many lines of one colour in one call (the same pixels as one call per line).
  void DrawLines(const std::vector<QLine>& lines, const QColor& color);
  // One trace's gathered pieces in `color` (see TraceBatch).
  void DrawTrace(const TraceBatch& batch, const QColor& color);
  // Whether one unit is one device pixel with whole-pixel offsets on a raster device without
  // antialiasing: there a filled rectangle covers exactly the pixels of the lines it replaces.
  bool UnitsArePixels() const;

  // Fore layer: a cursor line from top to bottom at x, with an X mark 8 units wide from
  // mark_top to mark_bottom (no mark when mark_top < 0).
  void DrawCursor(int x, int top, int bottom, int mark_top, int mark_bottom, const QColor& color);

 private:
  void Pen(const QColor& color);
  QPainter& p_;
};

}  // namespace zel::gui
