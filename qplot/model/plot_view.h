// What the plot view computes: the geometry of the timing diagram in logical units of 1/96 inch
// (label column, plot area, rows with a header row above every 20 channels), the view range
// (left-edge time and scale), zoom, pan, set range, the two cursors with their snapping, and
// the channel move with the cursors following.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace zel::qplot {

inline constexpr int kPlotLeft = 128;  // first x of the plot area; the label column is 0-127
inline constexpr int kPlotRight = 1004;
inline constexpr int kPlotWidthUnits = kPlotRight - kPlotLeft;  // 876
inline constexpr int kRowHeight = 15;
inline constexpr int kChannelsPerGroup = 20;
inline constexpr int kHighLevelOffset = 2;
inline constexpr int kLowLevelOffset = 12;
inline constexpr int kPanStepUnits = 100;
inline constexpr int kCursorSnapUnits = 4;
inline constexpr int64_t kPlotMenuMaxScale = 65536;
// Zooming out never goes beyond this scale, so the arithmetic cannot overflow.
inline constexpr int64_t kMaxScale = int64_t{1} << 40;
inline constexpr int kGroupCount = 13;  // header rows: one per group of 20 of the 256 channels

// Top of channel c's row: (c + 1 + c / 20) x 15.
int RowTop(int channel);
// Top of the header row of group g (above channel 20g).
int HeaderRowTop(int group);
// Channel of a y: r = y / 15, channel r - (r + 20) / 21; -1 for 256 or more or a negative y.
int ChannelOfY(int y);
// Scrollable size: the top of channel 256 high, 1004 wide.
int ScrollHeight();
inline constexpr int kScrollWidth = kPlotRight;
// y of a level: nonzero state at row top + 2, zero at row top + 12.
inline int LevelY(int row_top, bool high) {
  return row_top + (high ? kHighLevelOffset : kLowLevelOffset);
}

struct Cursor {
  double time = -1;  // negative: cleared
  int channel = 0;
  bool IsSet() const { return time >= 0; }
};

class PlotView {
 public:
  // The loaded interval (absolute ticks).
  void SetInterval(double start, double end) {
    start_ = start;
    end_ = end;
  }
  double IntervalStart() const { return start_; }
  double IntervalEnd() const { return end_; }

  double Left() const { return left_; }
  int64_t Scale() const { return scale_; }
  void SetLeftAndScale(double left, int64_t scale);

  // x = (t - left) / scale + 128, truncated toward zero (held to +-1e9 for far-away times).
  int XOfTime(double t) const {
    const double units = (t - left_) / static_cast<double>(scale_);
    return static_cast<int>(units < -1e9 ? -1e9 : units > 1e9 ? 1e9 : units) + kPlotLeft;
  }
  double TimeOfX(int x) const { return static_cast<double>(scale_) * (x - kPlotLeft) + left_; }

  // View menu: scale / k (at least 1) or scale x k, left edge unchanged.
  void ZoomIn(int k);
  void ZoomOut(int k);
  // Plot-area menu: the same, keeping the time under x in place; zooming out stops at 65536.
  void ZoomInAt(int k, int x);
  void ZoomOutAt(int k, int x);
  // Left edge at the interval start, scale 1 doubled until the interval end lies at x <= 1004.
  void ZoomAll();
  // When start < end: left edge = start, scale 1 doubled until the time at x = 1004 reaches end.
  void SetRange(double start, double end);
  // Left edge += d x scale, then at least start - 876 x scale and at most the interval end.
  void Pan(int d_units);
  // Left edge so that time t is in the plot area (unchanged when it already is): t then lies a
  // quarter of the width from the left.
  void ShowTime(double t);

  const Cursor& GetCursor(int i) const { return cursors_.at(static_cast<size_t>(i)); }
  void ClearCursor(int i) { cursors_.at(static_cast<size_t>(i)).time = -1; }
  void SetCursorTime(int i, double t, int channel) {
    cursors_.at(static_cast<size_t>(i)) = {t, channel};
  }
  // Sets cursor i from a click at (x, y): nothing below the last channel; with `nearest` (the
  // time of the shown input's event nearest to a time, if the channel shows one) the cursor
  // snaps to that event when it lies within 4 units of x. True when the cursor was set.
  bool SetCursorAt(int i, int x, int y,
                   const std::function<std::optional<double>(int channel, double t)>& nearest);
  // A channel moved from row `from` to row `to`: a cursor on it goes along, cursors in between
  // shift by one row.
  void FollowChannelMove(int from, int to);

 private:
  double start_ = 0, end_ = 0;
  double left_ = 0;
  int64_t scale_ = 1;
  std::array<Cursor, 2> cursors_{};
};

// Channel of the drop point of a label drag: a release below the last channel is channel 255.
int DropChannelOfY(int y);
// The x of the status bar's mouse time: held to the plot area.
int ClampToPlot(int x);

}  // namespace zel::qplot
