// The repaint's shortcuts against the plain drawing: one line per change, oldest first, for every
// change on the list. Dense streams (many changes in one pixel column, hatching, three-state
// inputs, one input in two slots, midnight, changes beyond the right edge, times that step back)
// must give the same pixels at every zoom and over successive repaints.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPen>
#include <string>
#include <vector>

#include "gui/model/hatching.h"
#include "gui/timing_painter.h"
#include "model/input_texts.h"
#include "model/realtime_plot.h"
#include "rtp_painter.h"

namespace zel::rtp {
namespace {

// The traces drawn one line at a time, straight from the drawing rule (after the history trim
// the repaint makes). Lines wholly left of the plot, or wholly right of its edge, are left out.
void DrawPlainTraces(QPainter& p, const RealTimePlot& plot, int width, int height) {
  const int edge = RealTimePlot::PlotEdge(width);
  const int rows = RealTimePlot::RowsShown(height);
  if (!plot.startTime() || edge <= 0) return;
  p.setClipRect(QRect(0, 0, edge + 1, height));
  auto pen = [&](int k) {
    QPen pen(gui::ColorOfColorRef(plot.Slot(k).color));
    pen.setWidth(1);
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
  };
  auto line = [&](int x1, int y1, int x2, int y2) { p.drawLine(x1, y1, x2, y2); };
  auto hatch = [&](int x0, int x1, int top, int bottom) {
    for (const gui::HatchLine& l : gui::HatchLines(x0, top, x1, bottom))
      line(l.x1, l.y1, l.x2, l.y2);
  };
  struct Trace {
    int state, x, y;
  };
  std::vector<Trace> trace(kSlotCount);
  const int start_x = plot.XOfTime(*plot.startTime(), edge);
  for (int k = 0; k < rows; ++k) {
    const int s = plot.StateOf(plot.Slot(k).input);
    trace[static_cast<size_t>(k)] = {s, start_x,
                                     RealTimePlot::RowTop(k) + (s != 0 ? kHighOffset : kLowOffset)};
  }
  for (const Change& c : plot.changes()) {
    const int x = plot.XOfTime(c.time, edge);
    for (int k = 0; k < rows; ++k) {
      if (plot.Slot(k).input != c.position) continue;
      Trace& tr = trace[static_cast<size_t>(k)];
      const int high = RealTimePlot::RowTop(k) + kHighOffset;
      const int low = RealTimePlot::RowTop(k) + kLowOffset;
      const int x0 = std::max(tr.x, 0);
      const int to = plot.threeState() ? (tr.y == high ? low : high) : (c.state ? high : low);
      const bool outside = (x < 0 && x0 <= 0) || (x0 > edge && x > edge);
      if (!outside) {
        pen(k);
        if (x - x0 > 1 &&
            (plot.threeState() ? tr.state == 2 : c.state == 0 && plot.FlashEnabled(c.position)))
          hatch(x0, x, high, low);
        line(x0, tr.y, x, tr.y);
        line(x, tr.y, x, to);
      }
      tr = {c.state, x, to};
    }
  }
  for (int k = 0; k < rows; ++k) {
    const int input = plot.Slot(k).input;
    if (input < 0) continue;
    const Trace& tr = trace[static_cast<size_t>(k)];
    const int x0 = std::max(tr.x, 0);
    if (x0 > edge) continue;
    pen(k);
    if (edge - x0 > 1 &&
        (plot.threeState() ? tr.state == 2 : tr.state != 0 && plot.FlashEnabled(input)))
      hatch(x0, edge, RealTimePlot::RowTop(k) + kHighOffset, RealTimePlot::RowTop(k) + kLowOffset);
    line(x0, tr.y, edge, tr.y);
  }
}

// Compares the plot area below the time labels: the repaint against the plain traces. Grid grey
// and white both count as background (the plain drawing has no grid).
::testing::AssertionResult SamePixels(RealTimePlot& plot, const InputTexts& texts, int width,
                                      int height, const std::string& what, bool save = false) {
  QImage fast(width, height, QImage::Format_RGB32);
  fast.fill(Qt::white);
  {
    QPainter p(&fast);
    DrawRealTimePlot(p, plot, texts, width, height);
  }
  // The repaint trimmed the history; the plain drawing sees the same list.
  QImage plain(width, height, QImage::Format_RGB32);
  plain.fill(Qt::white);
  {
    QPainter p(&plain);
    DrawPlainTraces(p, plot, width, height);
  }
  const QRgb grey = gui::ColorOfColorRef(gui::kGridColorRef).rgb();
  auto background = [&](QRgb c) { return (c | 0xFF000000) == 0xFFFFFFFF || c == grey; };
  const int edge = RealTimePlot::PlotEdge(width);
  int differing = 0, traced = 0;
  std::string first;
  for (int y = RealTimePlot::RowTop(0) + kHighOffset; y < height; ++y) {
    for (int x = 0; x <= edge && x < width; ++x) {
      const QRgb a = fast.pixel(x, y), b = plain.pixel(x, y);
      const bool bg_a = background(a), bg_b = background(b);
      traced += !bg_b;
      if (bg_a && bg_b) continue;
      if (bg_a != bg_b || a != b) {
        if (differing++ == 0)
          first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") repaint " +
                  (bg_a ? "background" : "trace") + ", plain " + (bg_b ? "background" : "trace");
      }
    }
  }
  if (differing > 0) {
    fast.save(QStringLiteral(ZEL_SCREENSHOT_DIR "/rtp_fast_%1.png").arg(what.c_str()));
    plain.save(QStringLiteral(ZEL_SCREENSHOT_DIR "/rtp_plain_%1.png").arg(what.c_str()));
    return ::testing::AssertionFailure()
           << what << ": " << differing << " pixels differ, first at " << first;
  }
  if (traced < 100) return ::testing::AssertionFailure() << what << ": almost nothing drawn";
  if (save) fast.save(QStringLiteral(ZEL_SCREENSHOT_DIR "/rtp_%1.png").arg(what.c_str()));
  return ::testing::AssertionSuccess() << traced << " trace pixels";
}

struct Rng {
  uint32_t s;
  uint32_t Next(uint32_t n) {
    s = s * 1664525u + 1013904223u;
    return (s >> 8) % n;
  }
};

// `count` change lines over `inputs` inputs from `t0`, 0-3 ticks apart (so many share a tick and
// a pixel column), wrapping at the day.
std::string DenseStream(Rng& rng, int count, int64_t t0, int inputs, int states, int64_t day,
                        int64_t* last) {
  std::string bytes;
  int64_t t = t0;
  for (int i = 0; i < count; ++i) {
    t = (t + rng.Next(4)) % day;
    bytes += std::to_string(rng.Next(static_cast<uint32_t>(inputs)) + 1) + " " +
             std::to_string(rng.Next(static_cast<uint32_t>(states))) + " " + std::to_string(t) +
             "\r";
  }
  *last = t;
  return bytes;
}

void ShowInputs(RealTimePlot& plot, int inputs) {
  for (int k = 0; k < inputs; ++k) plot.SetSlotInput(k, k);
  plot.SetSlotInput(inputs, 2);  // one input in two slots
  plot.SetSlotColor(1, 0x0000FF);
  plot.SetSlotColor(3, 0xFF0000);
  plot.SetSlotColor(inputs, 0x0000FF);
}

TEST(RtpRepaint, DenseStreamsDrawAsThePlainDrawingAtEveryZoom) {
  for (const char* code : {"KRV517", "KRV583"}) {
    SCOPED_TRACE(code);
    const RtpModel* model = FindRtpModel(code);
    std::vector<bool> flash(static_cast<size_t>(model->positions), false);
    flash[0] = flash[3] = flash[7] = true;
    InputTexts texts(model, nullptr);
    RealTimePlot plot(model, flash);
    ShowInputs(plot, 10);
    Rng rng{11};
    int64_t last = 0;
    // About 7 minutes from 23:57, across midnight, ending in a burst of 40 changes a tick.
    const int64_t day = plot.ticksPerDay();
    plot.FeedBytes("T" + std::to_string(day - 18'000) + "\r1:0110220101\r");
    plot.FeedBytes(
        DenseStream(rng, 30'000, day - 18'000, 10, model->threeState ? 3 : 2, day, &last));
    std::string burst;
    for (int i = 0; i < 200; ++i)
      burst += std::to_string(1 + i % 10) + " " + std::to_string(i / 10 % 2) + " " +
               std::to_string((last + i / 40) % day) + "\r";
    plot.FeedBytes(burst);
    plot.SetDisplayTime(*plot.currentTime());
    ASSERT_LT(*plot.currentTime(), *plot.startTime());  // past midnight
    EXPECT_TRUE(SamePixels(plot, texts, 1500, 260, std::string(code) + "_start"));
    // Zoom In to the narrowest, then Out to the widest: the view's left border moves both ways.
    for (int factor : {16, 2, 2}) {
      plot.ZoomIn(factor);
      EXPECT_TRUE(SamePixels(plot, texts, 1500, 260,
                             std::string(code) + "_in" + std::to_string(plot.zoom())));
    }
    EXPECT_EQ(plot.zoom(), kMinZoom);
    EXPECT_GT(plot.lastFrameFirstChange(), 0u);  // the changes left of the plot were skipped
    for (int factor : {4, 16, 16}) {
      plot.ZoomOut(factor);
      EXPECT_TRUE(SamePixels(plot, texts, 1500, 260,
                             std::string(code) + "_out" + std::to_string(plot.zoom()),
                             plot.zoom() == kMaxZoom));
    }
    EXPECT_EQ(plot.zoom(), kMaxZoom);
    // The display time behind the latest changes: they lie right of the edge.
    plot.ZoomIn(16);
    plot.SetDisplayTime((*plot.currentTime() + day - 2000) % day);
    EXPECT_TRUE(SamePixels(plot, texts, 1500, 260, std::string(code) + "_behind"));
  }
}

TEST(RtpRepaint, SuccessiveRepaintsTrimsBlockLinesAndTimesSteppingBack) {
  const RtpModel* model = FindRtpModel("KRV517");
  std::vector<bool> flash(static_cast<size_t>(model->positions), false);
  flash[1] = true;
  InputTexts texts(model, nullptr);
  RealTimePlot plot(model, flash);
  ShowInputs(plot, 6);
  plot.SetSlotInput(7, 6);  // an input without changes: the block line below sets its level
  const int64_t day = plot.ticksPerDay();
  Rng rng{5};
  // A time mark ahead of the first changes' times: the start lies inside the view and the traces'
  // first lines run back from it to the earlier changes, left of the view at the narrowest zoom
  // and inside it (lines drawn leftwards) at a wider one.
  plot.FeedBytes("T54000\r");
  for (int i = 0; i < 6; ++i)
    plot.FeedBytes(std::to_string(i + 1) + " " + std::to_string(i % 2) + " " +
                   std::to_string(40'000 + 100 * i) + "\r");
  int64_t t = 0;
  plot.FeedBytes(DenseStream(rng, 1'000, 54'000, 5, 2, day, &t));
  plot.ZoomIn(16);
  plot.ZoomIn(4);
  ASSERT_EQ(plot.zoom(), kMinZoom);
  EXPECT_TRUE(SamePixels(plot, texts, 1200, 200, "mark_ahead"));
  EXPECT_EQ(plot.lastFrameFirstChange(), 0u);  // lines run back from the start: walked whole
  plot.ZoomOut(16);  // 400 ticks per 10 pixels: about 7 minutes on the screen
  // The stream goes on between repaints, as the timer feeds it; the hour trim takes changes off
  // the front while the skipped part of the list moves on.
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    int64_t last = 0;
    plot.FeedBytes(DenseStream(rng, 4'000, t, 6, 2, day, &last));
    t = last + 30'000;                                 // a gap of 5 minutes
    if (round == 5) plot.FeedBytes("1:1010103331\r");  // states set directly, 3s skipped
    plot.SetDisplayTime(*plot.currentTime());
    ASSERT_TRUE(SamePixels(plot, texts, 1200, 200, "round" + std::to_string(round)));
  }
  EXPECT_GT(plot.lastFrameFirstChange(), 0u);
  // A change whose time steps back: the list is walked whole and draws as before.
  plot.FeedBytes("3 1 " + std::to_string(t - 40'000) + "\r2 0 " + std::to_string(t - 39'000) +
                 "\r4 1 " + std::to_string(t - 30'000) + "\r");
  plot.SetDisplayTime(*plot.currentTime());
  EXPECT_TRUE(SamePixels(plot, texts, 1200, 200, "back"));
  EXPECT_EQ(plot.lastFrameFirstChange(), 0u);
  plot.ZoomOut(16);
  EXPECT_TRUE(SamePixels(plot, texts, 1200, 200, "back_wide"));
}

}  // namespace
}  // namespace zel::rtp
