#include "gui/model/sorted_input_list.h"

#include <gtest/gtest.h>

#include "gui/model/file_filter.h"

namespace zel::gui {
namespace {

SortedInputList ThreeInputs() {
  return SortedInputList(
      {{"Input", 50, true}, {"Name", 300, false}, {"ID", 145, false}},
      {{2, {"D003", "b", "X"}}, {0, {"D001", "a", "Z"}}, {1, {"D002", "B", "Y"}}});
}

std::vector<int> Order(const SortedInputList& l) {
  std::vector<int> out;
  for (const auto& r : l.rows()) out.push_back(r.input);
  return out;
}

TEST(SortedInputList, OpensByInputAscendingAndHeadersShowTheSortedColumn) {
  SortedInputList l = ThreeInputs();
  EXPECT_EQ(Order(l), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(l.HeaderText(0), "^Input");
  EXPECT_EQ(l.HeaderText(1), "Name");
  EXPECT_EQ(l.HeaderText(2), "ID");
  EXPECT_EQ(l.HeaderText(3), "");
}

TEST(SortedInputList, ClicksSortAscendingThenReverseAndTextsCompareByteByByte) {
  SortedInputList l = ThreeInputs();
  l.ClickHeader(1);  // "B" (0x42) before "a" and "b"
  EXPECT_EQ(Order(l), (std::vector<int>{1, 0, 2}));
  EXPECT_EQ(l.HeaderText(1), "^Name");
  EXPECT_EQ(l.HeaderText(0), "Input");
  l.ClickHeader(1);
  EXPECT_EQ(Order(l), (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(l.HeaderText(1), "vName");
  l.ClickHeader(2);  // another column starts ascending again
  EXPECT_EQ(Order(l), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(l.HeaderText(2), "^ID");
  l.ClickHeader(0);
  EXPECT_EQ(Order(l), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(l.HeaderText(0), "^Input");
  l.ClickHeader(0);
  EXPECT_EQ(Order(l), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(l.HeaderText(0), "vInput");
  l.ClickHeader(7);  // no such column: nothing changes
  EXPECT_EQ(l.HeaderText(0), "vInput");
}

// Equal names list in input order both ways (as in the report's own selection), and bytes
// above 0x7F sort after the letters, as unsigned bytes.
TEST(SortedInputList, EqualTextsKeepInputOrderBothWaysAndHighBytesSortLast) {
  SortedInputList l({{"Input", 50, true}, {"Name", 300, false}}, {{4, {"D005", "Same"}},
                                                                  {1, {"D002", "\xC9t\xE9"}},
                                                                  {3, {"D004", "Same"}},
                                                                  {0, {"D001", "zz"}},
                                                                  {2, {"D003", "Same"}}});
  l.ClickHeader(1);
  EXPECT_EQ(Order(l), (std::vector<int>{2, 3, 4, 0, 1}));
  l.ClickHeader(1);
  EXPECT_EQ(Order(l), (std::vector<int>{1, 0, 2, 3, 4}));
  EXPECT_EQ(l.HeaderText(1), "vName");
  // A sort column outside the list opens sorted by the first one.
  SortedInputList bad({{"Input", 50, true}}, {{1, {"b"}}, {0, {"a"}}}, 5);
  EXPECT_EQ(bad.SortColumn(), 0);
  EXPECT_EQ(Order(bad), (std::vector<int>{0, 1}));
}

TEST(SortedInputList, InputsOfRowsFollowTheDisplayOrderAndSkipBadPositions) {
  SortedInputList l = ThreeInputs();
  l.ClickHeader(0);  // the sorted column reversed: 2, 1, 0
  EXPECT_EQ(l.InputsOfRows({0, 2, -1, 3}), (std::vector<int>{2, 0}));
  EXPECT_EQ(l.Cell(0, 1), "b");
  EXPECT_EQ(l.Cell(5, 1), "");
}

TEST(FileFilter, TurnsBarFiltersIntoToolkitFilters) {
  EXPECT_EQ(ToolkitFilter("Binary event files|*.bin||"), "Binary event files (*.bin)");
  // A description that already names its patterns is not given them twice.
  EXPECT_EQ(ToolkitFilter("Text files (*.txt)|*.txt||"), "Text files (*.txt)");
  EXPECT_EQ(ToolkitFilter("Plots|*.zpl;*.ZPL|All|*.*||"), "Plots (*.zpl *.ZPL);;All (*.*)");
  EXPECT_EQ(ParseFileFilter(""), std::vector<FileFilter>{});
  EXPECT_EQ(ParseFileFilter("Only a name"), std::vector<FileFilter>{});
}

}  // namespace
}  // namespace zel::gui
