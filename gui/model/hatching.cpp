#include "gui/model/hatching.h"

#include <algorithm>

namespace zel::gui {
namespace {

int FloorDiv(int a, int b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

}  // namespace

std::vector<HatchLine> HatchLines(int left, int top, int right, int bottom) {
  std::vector<HatchLine> lines;
  if (right < left || bottom < top) return lines;
  // k runs over the multiples of 4 from the box's smallest x + y to its largest.
  const int k_first =
      FloorDiv(left + top + kHatchSpacingUnits - 1, kHatchSpacingUnits) * kHatchSpacingUnits;
  for (int k = k_first; k <= right + bottom; k += kHatchSpacingUnits) {
    // On x + y = k: the lower end has the largest y, the upper end the smallest.
    const int x_low = std::max(left, k - bottom);
    const int x_high = std::min(right, k - top);
    if (x_low > x_high) continue;
    lines.push_back({x_low, k - x_low, x_high, k - x_high});
  }
  return lines;
}

}  // namespace zel::gui
