#include "model/plot_view.h"

#include <algorithm>
#include <cmath>

#include "model/plot_document.h"

namespace zel::qplot {

int RowTop(int channel) { return (channel + 1 + channel / kChannelsPerGroup) * kRowHeight; }
int HeaderRowTop(int group) { return group * (kChannelsPerGroup + 1) * kRowHeight; }
int ScrollHeight() { return RowTop(kChannelCount); }

int ChannelOfY(int y) {
  if (y < 0) return -1;
  const int r = y / kRowHeight;
  const int c = r - (r + kChannelsPerGroup) / (kChannelsPerGroup + 1);
  return c < kChannelCount ? c : -1;
}

int DropChannelOfY(int y) {
  if (y < 0) return 0;
  const int c = ChannelOfY(y);
  return c < 0 ? kChannelCount - 1 : c;
}

int ClampToPlot(int x) { return std::clamp(x, kPlotLeft, kPlotRight); }

void PlotView::SetLeftAndScale(double left, int64_t scale) {
  left_ = left;
  scale_ = std::clamp<int64_t>(scale, 1, kMaxScale);
}

void PlotView::ZoomIn(int k) { scale_ = std::max<int64_t>(1, scale_ / std::max(1, k)); }

void PlotView::ZoomOut(int k) { scale_ = std::min(kMaxScale, scale_ * std::max(1, k)); }

void PlotView::ZoomInAt(int k, int x) {
  const double t = TimeOfX(x);
  ZoomIn(k);
  left_ = t - static_cast<double>(scale_) * (x - kPlotLeft);
}

void PlotView::ZoomOutAt(int k, int x) {
  const double t = TimeOfX(x);
  scale_ = std::max(scale_, std::min(kPlotMenuMaxScale, scale_ * std::max(1, k)));
  left_ = t - static_cast<double>(scale_) * (x - kPlotLeft);
}

void PlotView::ZoomAll() {
  left_ = start_;
  scale_ = 1;
  while (XOfTime(end_) > kPlotRight && scale_ < kMaxScale) scale_ *= 2;
}

void PlotView::SetRange(double start, double end) {
  if (!(start < end)) return;
  left_ = start;
  scale_ = 1;
  while (TimeOfX(kPlotRight) < end && scale_ < kMaxScale) scale_ *= 2;
}

void PlotView::Pan(int d_units) {
  left_ += static_cast<double>(d_units) * static_cast<double>(scale_);
  left_ =
      std::max(left_, start_ - static_cast<double>(kPlotWidthUnits) * static_cast<double>(scale_));
  left_ = std::min(left_, end_);
}

void PlotView::ShowTime(double t) {
  const int x = XOfTime(t);
  if (x >= kPlotLeft && x <= kPlotRight) return;
  left_ = t - static_cast<double>(scale_) * (kPlotWidthUnits / 4);
  Pan(0);
}

bool PlotView::SetCursorAt(
    int i, int x, int y,
    const std::function<std::optional<double>(int channel, double t)>& nearest) {
  const int channel = ChannelOfY(y);
  if (channel < 0) return false;
  double t = TimeOfX(x);
  if (nearest) {
    if (const auto event = nearest(channel, t)) {
      if (std::abs(XOfTime(*event) - x) <= kCursorSnapUnits) t = *event;
    }
  }
  SetCursorTime(i, t, channel);
  return true;
}

void PlotView::FollowChannelMove(int from, int to) {
  if (from == to) return;
  for (Cursor& c : cursors_) {
    if (c.channel == from)
      c.channel = to;
    else if (from < to && c.channel > from && c.channel <= to)
      --c.channel;
    else if (from > to && c.channel >= to && c.channel < from)
      ++c.channel;
  }
}

}  // namespace zel::qplot
