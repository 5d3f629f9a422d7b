#include "gui/model/hatching.h"

#include <gtest/gtest.h>

namespace zel::gui {
namespace {

TEST(Hatching, LinesAre45DegreesFourApartInsideTheBox) {
  const int left = 130, top = 17, right = 160, bottom = 27;
  const auto lines = HatchLines(left, top, right, bottom);
  ASSERT_FALSE(lines.empty());
  int previous_k = -1000;
  for (const HatchLine& l : lines) {
    // Inside the box, ends on its edges, 45 degrees up to the right.
    EXPECT_GE(l.x1, left);
    EXPECT_LE(l.x2, right);
    EXPECT_GE(l.y2, top);
    EXPECT_LE(l.y1, bottom);
    EXPECT_EQ(l.x2 - l.x1, l.y1 - l.y2);
    EXPECT_EQ((l.x1 + l.y1) % 4, 0);
    EXPECT_EQ(l.x1 + l.y1, l.x2 + l.y2);
    if (previous_k != -1000) {
      EXPECT_EQ(l.x1 + l.y1 - previous_k, 4);
    }
    previous_k = l.x1 + l.y1;
    EXPECT_TRUE(l.x1 == left || l.y1 == bottom);
    EXPECT_TRUE(l.x2 == right || l.y2 == top);
  }
  // Every multiple of 4 between the corners' sums is present.
  EXPECT_EQ(lines.front().x1 + lines.front().y1, 148);
  EXPECT_EQ(lines.back().x1 + lines.back().y1, 184);
  EXPECT_EQ(lines.size(), 10u);
}

TEST(Hatching, NarrowAndEmptyBoxes) {
  // A box two units wide still gets its crossings; an inverted box none.
  const auto narrow = HatchLines(200, 2, 202, 12);
  EXPECT_EQ(narrow.size(), 3u);
  for (const auto& l : narrow) EXPECT_LE(l.x2 - l.x1, 2);
  EXPECT_TRUE(HatchLines(10, 5, 9, 20).empty());
  EXPECT_TRUE(HatchLines(10, 5, 20, 4).empty());
  // A single point on the pattern.
  EXPECT_EQ(HatchLines(4, 4, 4, 4), (std::vector<HatchLine>{{4, 4, 4, 4}}));
  EXPECT_TRUE(HatchLines(5, 4, 5, 4).empty());
}

}  // namespace
}  // namespace zel::gui
