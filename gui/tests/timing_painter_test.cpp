#include "gui/timing_painter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <functional>
#include <random>

namespace zel::gui {
namespace {

struct Piece {
  int x0, x1, fromY;
  bool edge;
  int toY;
  bool hatch;
  int bandTop, bandBottom;
};

// Pieces of two traces as a plotter gives them: runs of columns with many edges each (spans and
// same-level points), single edges with long flat parts, hatched parts, final segments, and
// some pieces out of x order.
std::vector<std::pair<int, Piece>> RandomTraces(std::mt19937& rng) {
  std::vector<std::pair<int, Piece>> pieces;
  for (int trace = 0; trace < 2; ++trace) {
    const int top = 20 + trace * 15;
    const int high = top + 2, low = top + 12;
    bool level = rng() % 2 == 0;
    int last = 10 + static_cast<int>(rng() % 5);
    int x = last;
    while (x < 280) {
      x += rng() % 3 == 0 ? 1 + static_cast<int>(rng() % 40) : 1;
      const bool to = rng() % 2 == 0;
      const bool hatch = x - last >= 2 && rng() % 4 == 0;
      pieces.push_back(
          {trace, {last, x, level ? high : low, true, to ? high : low, hatch, high, low}});
      for (int more = static_cast<int>(rng() % 4); more > 0; --more) {
        const bool from = rng() % 2 == 0;
        pieces.push_back(
            {trace, {x, x, from ? high : low, true, rng() % 2 ? high : low, false, high, low}});
      }
      level = to;
      last = x;
    }
    pieces.push_back(
        {trace,
         {last, 300, level ? high : low, false, level ? high : low, rng() % 2 == 0, high, low}});
  }
  for (int k = 0; k < 5 && pieces.size() > 2; ++k)
    std::swap(pieces[rng() % pieces.size()], pieces[rng() % pieces.size()]);
  return pieces;
}

QImage Draw(const std::function<void(QPainter&)>& setup,
            const std::function<void(QPainter&)>& draw) {
  QImage image(640, 120, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  setup(painter);
  draw(painter);
  return image;
}

// Gathered pieces give the pixels of drawing each piece by itself on a painter whose units are
// pixels (plain, and shifted by whole pixels with a clip, as the screen scrolls): columns become
// rectangles and covered horizontal parts are left out.
TEST(TraceBatch, DrawsThePixelsOfEveryPieceDrawnAlone) {
  std::mt19937 rng(4711);
  const QColor colors[2] = {QColor(0, 0, 255), QColor(200, 0, 0)};
  const std::vector<std::function<void(QPainter&)>> setups = {
      [](QPainter&) {},
      [](QPainter& p) {
        p.translate(7, -3);
        p.setClipRect(QRect(40, 20, 200, 22));
      },
  };
  for (int round = 0; round < 40; ++round) {
    const auto pieces = RandomTraces(rng);
    for (size_t s = 0; s < setups.size(); ++s) {
      const QImage alone = Draw(setups[s], [&](QPainter& p) {
        TimingPainter tp(p);
        for (const auto& [t, q] : pieces)
          tp.DrawSegment(q.x0, q.x1, q.fromY, q.edge, q.toY, q.hatch, q.bandTop, q.bandBottom,
                         colors[t]);
      });
      const QImage gathered = Draw(setups[s], [&](QPainter& p) {
        TimingPainter tp(p);
        EXPECT_TRUE(tp.UnitsArePixels());
        TraceBatch batches[2];
        for (const auto& [t, q] : pieces)
          batches[t].AddSegment(q.x0, q.x1, q.fromY, q.edge, q.toY, q.hatch, q.bandTop,
                                q.bandBottom);
        for (int t = 0; t < 2; ++t) tp.DrawTrace(batches[t], colors[t]);
      });
      ASSERT_TRUE(alone == gathered) << "round " << round << " painter " << s;
    }
  }
}

TEST(TraceBatch, UnitsArePixelsOnlyForWholePixelShiftsWithoutAntialiasing) {
  QImage image(10, 10, QImage::Format_RGB32);
  QPainter p(&image);
  TimingPainter tp(p);
  EXPECT_TRUE(tp.UnitsArePixels());
  p.translate(3, -2);
  EXPECT_TRUE(tp.UnitsArePixels());
  p.translate(0.5, 0);
  EXPECT_FALSE(tp.UnitsArePixels());
  p.resetTransform();
  p.scale(2, 2);  // a printer's or a high-density screen's mapping
  EXPECT_FALSE(tp.UnitsArePixels());
  p.resetTransform();
  p.setRenderHint(QPainter::Antialiasing);
  EXPECT_FALSE(tp.UnitsArePixels());
}

}  // namespace
}  // namespace zel::gui
