// One frame's geometry: edge, rows, grid marks and trace pieces with the three-state and
// flash-enable hatching rules.
#include <gtest/gtest.h>

#include "model/realtime_plot.h"

namespace zel::rtp {
namespace {

const TracePiece* PieceAt(const PlotFrame& f, int slot, int x1) {
  for (const TracePiece& p : f.pieces)
    if (p.slot == slot && p.x1 == x1) return &p;
  return nullptr;
}

TEST(Frame, RowsEdgeAndAnEdgeAtTheFormulasPixel) {
  RealTimePlot plot(FindRtpModel("KRV517"));
  plot.SetSlotInput(0, 4);
  plot.SetSlotInput(2, 4);  // one input in two slots
  plot.FeedBytes("T100000\r5 1 100500\r");
  plot.SetDisplayTime(101000);
  const PlotFrame f = plot.Frame(800, 400);
  EXPECT_EQ(f.edge, 672);
  EXPECT_EQ(f.rows, 25);  // 400 / 15 - 1
  EXPECT_EQ(f.gridBottom, 15 * 25 + 15);
  // 500 ticks before the display time at 1000 ticks per 10 pixels: 5 pixels left of the edge.
  const TracePiece* rise = PieceAt(f, 0, 667);
  ASSERT_NE(rise, nullptr);
  EXPECT_EQ(rise->fromY, 15 + 12);
  EXPECT_EQ(rise->toY, 15 + 2);
  EXPECT_TRUE(rise->edge);
  EXPECT_EQ(rise->x0, 672 - 10);  // from the start time, 1000 ticks back
  ASSERT_NE(PieceAt(f, 2, 667), nullptr);
  const TracePiece* last = PieceAt(f, 0, 672);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->x0, 667);
  EXPECT_EQ(last->fromY, 17);
  EXPECT_FALSE(last->edge);
  EXPECT_EQ(RealTimePlot::RowsShown(14), 0);
  EXPECT_EQ(RealTimePlot::RowsShown(15 * 60), 50);
}

TEST(Frame, GridLabelsAtLeast80PixelsApartWithTicksBetween) {
  RealTimePlot plot(FindRtpModel("KRV517"));
  plot.FeedBytes("T360000\r");  // 01:00:00
  plot.SetDisplayTime(360000);
  const PlotFrame f = plot.Frame(1128, 300);  // edge 1000
  // 1000 ticks per 10 px: 15 s labels (1500 ticks, 15 px) are too close; 60 s (6000 ticks,
  // 60 px) too; 120 s is the first at 80 px or more, ticks every 15 s.
  std::vector<int> labelled;
  for (const GridMark& g : f.grid)
    if (g.labelled) labelled.push_back(g.x);
  ASSERT_GE(labelled.size(), 2u);
  EXPECT_EQ(labelled.back(), 1000);
  EXPECT_EQ(labelled[labelled.size() - 2], 880);
  EXPECT_EQ(f.grid.back().time, 360000);
  EXPECT_EQ(f.grid[f.grid.size() - 2].x, 985);
}

TEST(Frame, ThreeStateFlipsAndHatchesFlashing) {
  RealTimePlot plot(FindRtpModel("KRV583"));
  plot.SetSlotInput(0, 0);
  plot.FeedBytes("T0\r1 2 1000\r1 0 3000\r");
  plot.SetDisplayTime(5000);
  const PlotFrame f = plot.Frame(628, 100);  // edge 500
  const TracePiece* on = PieceAt(f, 0, 460);
  ASSERT_NE(on, nullptr);
  EXPECT_EQ(on->toY, 17);  // low to high although the new state is 2
  EXPECT_FALSE(on->hatch);
  const TracePiece* off = PieceAt(f, 0, 480);
  ASSERT_NE(off, nullptr);
  EXPECT_TRUE(off->hatch);  // the segment in state 2
  EXPECT_EQ(off->toY, 27);
  EXPECT_EQ(off->bandTop, 17);
  EXPECT_EQ(off->bandBottom, 27);
}

TEST(Frame, FlashEnabledInputsHatchTheSegmentEndingInZeroAndAPresentHighState) {
  std::vector<bool> flash(280, false);
  flash[0] = true;
  RealTimePlot plot(FindRtpModel("KRV517"), flash);
  plot.SetSlotInput(0, 0);
  plot.SetSlotInput(1, 1);
  plot.FeedBytes("T0\r1 1 1000\r2 1 1000\r1 0 3000\r2 0 3000\r1 1 4000\r");
  plot.SetDisplayTime(5000);
  const PlotFrame f = plot.Frame(628, 100);
  EXPECT_TRUE(PieceAt(f, 0, 480)->hatch);
  EXPECT_FALSE(PieceAt(f, 1, 480)->hatch);  // flash bit clear
  EXPECT_FALSE(PieceAt(f, 0, 460)->hatch);  // ends in a change to 1
  EXPECT_TRUE(PieceAt(f, 0, 500)->hatch);   // still high, flash-enabled
  EXPECT_FALSE(PieceAt(f, 1, 500)->hatch);
}

TEST(Frame, ABurstInOnePixelDrawsOneEdge) {
  RealTimePlot plot(FindRtpModel("KRV517"));
  plot.SetSlotInput(0, 0);
  std::string burst = "T0\r";
  for (int i = 0; i < 100; ++i) burst += "1 " + std::to_string((i + 1) % 2) + " 1000\r";
  plot.FeedBytes(burst);
  plot.SetDisplayTime(5000);
  const PlotFrame f = plot.Frame(628, 100);
  int at = 0;
  for (const TracePiece& p : f.pieces) at += p.x1 == 460;
  EXPECT_EQ(at, 1);
  EXPECT_EQ(f.pieces.back().fromY, 27);  // ends low after an even number of changes
}

TEST(Frame, NothingBeforeTheFirstTime) {
  RealTimePlot plot(FindRtpModel("KRV517"));
  plot.SetSlotInput(0, 0);
  const PlotFrame f = plot.Frame(628, 100);
  EXPECT_FALSE(f.hasTime);
  EXPECT_TRUE(f.pieces.empty());
  EXPECT_TRUE(f.grid.empty());
}

}  // namespace
}  // namespace zel::rtp
