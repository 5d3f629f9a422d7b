// Hatching of flashing or coding trace segments: parallel 45-degree lines 4 units apart filling
// a box, clipped to it. The lines are those where x + y is a multiple of 4 in logical units, so
// neighbouring boxes continue one pattern.
#pragma once

#include <vector>

namespace zel::gui {

inline constexpr int kHatchSpacingUnits = 4;
// A segment is hatched only when it is at least this long.
inline constexpr int kMinHatchLengthUnits = 2;

struct HatchLine {
  int x1, y1, x2, y2;  // from the lower left end to the upper right end
  friend bool operator==(const HatchLine&, const HatchLine&) = default;
};

// Lines x + y = k (k a multiple of 4) inside the box left <= x <= right, top <= y <= bottom
// (y grows downwards). Empty for an empty box.
std::vector<HatchLine> HatchLines(int left, int top, int right, int bottom);

}  // namespace zel::gui
