// The report's input selection: rows per model, module filtering and sorting by column.
#include "zel/core/report_selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "zel/identifiers.h"

namespace zel::core {
namespace {

std::vector<int> InputsOf(const ReportSelection& sel) {
  std::vector<int> v;
  for (const auto& r : sel.rows()) v.push_back(r.input);
  return v;
}

bool HasInput(const ReportSelection& sel, int n) {
  const auto v = InputsOf(sel);
  return std::find(v.begin(), v.end(), n) != v.end();
}

TEST(ReportSelectionRows, EveryInputUpToTheModelsCountInNumberOrder) {
  struct Case {
    RecorderType type;
    int rows;
  };
  // KRV-19XL and KRV-583A list all their named system inputs (51 and 299).
  const Case cases[] = {{0, 31},   {1, 51},    {2, 127},   {3, 491}, {4, 572},  {5, 571},
                        {7, 291},  {8, 291},   {9, 179},   {10, 79}, {11, 290}, {12, 291},
                        {13, 211}, {14, 1033}, {15, 1033}, {16, 299}};
  for (const Case& c : cases) {
    SetupDatabase setup(c.type);
    const ReportSelection sel(c.type, setup);
    ASSERT_EQ(sel.RowCount(), c.rows) << c.type;
    for (int i = 0; i < c.rows; ++i) {
      ASSERT_EQ(sel.rows()[static_cast<std::size_t>(i)].input, i) << c.type;
    }
  }
  SetupDatabase none(17);
  EXPECT_EQ(ReportSelection(17, none).RowCount(), 0);
}

TEST(ReportSelectionRows, ColumnsShowIdentifierNameAndId) {
  SetupDatabase setup(3);
  setup.SetName(2, "Crossing");
  setup.SetIdentifier(2, "XING");
  const ReportSelection sel(3, setup);
  const SelectionRow& row = sel.rows()[2];
  EXPECT_EQ(row.identifier, "D003");
  EXPECT_EQ(row.name, "Crossing");
  EXPECT_EQ(row.id, "XING");
  const SelectionRow& power = sel.rows()[480];
  EXPECT_EQ(power.identifier, "S01");
  EXPECT_EQ(power.name, "System Power");
  EXPECT_EQ(power.id, "Power");
  const SelectionRow& last = sel.rows()[490];
  EXPECT_EQ(last.name, "Speed Monitor 8");
  EXPECT_EQ(last.id, "SpeedLim");
}

TEST(ReportSelectionRows, FlashDetailRowsTakeTheirInputsNames) {
  SetupDatabase setup(13);
  setup.SetName(63, "Last Flasher");
  setup.SetIdentifier(63, "LFL");
  const ReportSelection sel(13, setup);
  const SelectionRow& row = sel.rows()[199];
  EXPECT_EQ(row.identifier, "F64");
  EXPECT_EQ(row.name, "Last Flasher");
  EXPECT_EQ(row.id, "LFL");
}

TEST(ReportSelectionRows, Krv517XCListsOnlyPresentModulesAndNamedNumbers) {
  SetupDatabase setup(6);
  setup.SetSecondaryIp(0, {10, 0, 0, 1});
  setup.SetSecondaryIp(2, {0, 0, 0, 9});
  const ReportSelection sel(6, setup);
  EXPECT_TRUE(HasInput(sel, 0));
  EXPECT_TRUE(HasInput(sel, 255));
  EXPECT_FALSE(HasInput(sel, 256));
  EXPECT_FALSE(HasInput(sel, 511));
  EXPECT_TRUE(HasInput(sel, 512));
  EXPECT_TRUE(HasInput(sel, 767));
  EXPECT_FALSE(HasInput(sel, 4095));
  // Analog inputs: 8 per module from 4096.
  EXPECT_TRUE(HasInput(sel, 4096));
  EXPECT_TRUE(HasInput(sel, 4103));
  EXPECT_FALSE(HasInput(sel, 4104));
  EXPECT_TRUE(HasInput(sel, 4112));
  EXPECT_TRUE(HasInput(sel, 4119));
  EXPECT_FALSE(HasInput(sel, 4120));
  EXPECT_FALSE(HasInput(sel, 4223));
  // Virtual inputs, timers and system inputs belong to no module.
  EXPECT_TRUE(HasInput(sel, 4224));
  EXPECT_TRUE(HasInput(sel, 5254));
  EXPECT_TRUE(HasInput(sel, 5255));
  EXPECT_TRUE(HasInput(sel, 5274));
  EXPECT_FALSE(HasInput(sel, 5277));  // fourth of a sub-unit: no name
  EXPECT_TRUE(HasInput(sel, 5336));
  EXPECT_FALSE(HasInput(sel, 5337));
  // 2 x 256 digital, 2 x 8 analog, 32 virtual, 999 timers, 19 system, 16 x 3 sub-unit inputs.
  EXPECT_EQ(sel.RowCount(), 512 + 16 + 32 + 999 + 19 + 48);
}

TEST(ReportSelectionRows, Krv517AXTreatsAllOnesAddressAsAbsent) {
  SetupDatabase setup(18);
  setup.SetSecondaryIp(0, {192, 168, 1, 5});
  setup.SetSecondaryIp(1, {255, 255, 255, 255});
  setup.SetSecondaryIp(3, {255, 255, 255, 0});
  const ReportSelection sel(18, setup);
  EXPECT_TRUE(HasInput(sel, 0));
  EXPECT_FALSE(HasInput(sel, 256));
  EXPECT_TRUE(HasInput(sel, 768));
  // Analog inputs: 4 per module from 4096.
  EXPECT_TRUE(HasInput(sel, 4099));
  EXPECT_FALSE(HasInput(sel, 4100));
  EXPECT_TRUE(HasInput(sel, 4108));
  EXPECT_TRUE(HasInput(sel, 4111));
  EXPECT_FALSE(HasInput(sel, 4112));
  EXPECT_TRUE(HasInput(sel, 4160));  // V01
  EXPECT_TRUE(HasInput(sel, 4314));
  EXPECT_FALSE(HasInput(sel, 4317));
  EXPECT_EQ(sel.RowCount(), 512 + 8 + 32 + 99 + 23 + 48);
}

TEST(ReportSelectionSort, HeaderTextsFollowTheClicks) {
  SetupDatabase setup(0);
  ReportSelection sel(0, setup);
  auto headers = [&] {
    return sel.HeaderText(SelectionColumn::kInput) + "|" + sel.HeaderText(SelectionColumn::kName) +
           "|" + sel.HeaderText(SelectionColumn::kId);
  };
  EXPECT_EQ(headers(), "^Input|Name|ID");
  sel.ClickHeader(SelectionColumn::kInput);
  EXPECT_EQ(headers(), "vInput|Name|ID");
  sel.ClickHeader(SelectionColumn::kName);
  EXPECT_EQ(headers(), "Input|^Name|ID");
  sel.ClickHeader(SelectionColumn::kName);
  EXPECT_EQ(headers(), "Input|vName|ID");
  sel.ClickHeader(SelectionColumn::kName);
  EXPECT_EQ(headers(), "Input|^Name|ID");
  sel.ClickHeader(SelectionColumn::kId);
  EXPECT_EQ(headers(), "Input|Name|^ID");
  sel.ClickHeader(SelectionColumn::kInput);
  EXPECT_EQ(headers(), "^Input|Name|ID");
  EXPECT_EQ(ReportSelection::ColumnWidth(SelectionColumn::kInput), 50);
  EXPECT_EQ(ReportSelection::ColumnWidth(SelectionColumn::kName), 300);
  EXPECT_EQ(ReportSelection::ColumnWidth(SelectionColumn::kId), 145);
}

// A KRV-19XT setup whose first inputs have names that differ only in letter case.
SetupDatabase CaseSetup() {
  SetupDatabase s(0);
  const char* names[] = {"beta", "Alpha", "alpha", "Beta", "Alpha"};
  const char* ids[] = {"b2", "A1", "a1", "B2", "Z9"};
  for (int i = 0; i < 30; ++i) {
    s.SetName(i, i < 5 ? names[i] : "zz");
    s.SetIdentifier(i, i < 5 ? ids[i] : "zz");
  }
  return s;
}

TEST(ReportSelectionSort, NamesSortByteByByteWithCapitalsFirst) {
  const SetupDatabase setup = CaseSetup();
  ReportSelection sel(0, setup);
  sel.ClickHeader(SelectionColumn::kName);
  const auto asc = InputsOf(sel);
  const std::vector<int> first(asc.begin(), asc.begin() + 5);
  // "Alpha" (1, 4), "Beta" (3), "System Power" (30), "alpha" (2) ...
  EXPECT_EQ(first, (std::vector<int>{1, 4, 3, 30, 2}));
  EXPECT_EQ(sel.rows()[5].input, 0);  // "beta"
  // Reversed: "zz" rows first, then "beta", "alpha", "System Power", "Beta", "Alpha".
  sel.ClickHeader(SelectionColumn::kName);
  const auto desc = InputsOf(sel);
  ASSERT_EQ(desc.size(), 31u);
  const std::vector<int> tail(desc.end() - 6, desc.end());
  EXPECT_EQ(tail, (std::vector<int>{0, 2, 30, 3, 1, 4}));
  for (std::size_t i = 1; i < 25; ++i) {
    EXPECT_EQ(sel.rows()[i - 1].name, "zz");
  }
}

TEST(ReportSelectionSort, IdsSortAndInputOrderComesBack) {
  const SetupDatabase setup = CaseSetup();
  ReportSelection sel(0, setup);
  sel.ClickHeader(SelectionColumn::kId);
  const auto byId = InputsOf(sel);
  // "A1" (1), "B2" (3), "Power" (30), "Z9" (4), "a1" (2), "b2" (0), then "zz".
  EXPECT_EQ(std::vector<int>(byId.begin(), byId.begin() + 6),
            (std::vector<int>{1, 3, 30, 4, 2, 0}));
  sel.ClickHeader(SelectionColumn::kInput);
  const auto byInput = InputsOf(sel);
  for (std::size_t i = 0; i < byInput.size(); ++i) EXPECT_EQ(byInput[i], static_cast<int>(i));
  sel.ClickHeader(SelectionColumn::kInput);
  EXPECT_EQ(sel.rows().front().input, 30);
  EXPECT_EQ(sel.rows().back().input, 0);
}

TEST(ReportSelectionFilter, SelectedRowsBecomeTheFilter) {
  const SetupDatabase setup = CaseSetup();
  ReportSelection sel(0, setup);
  sel.ClickHeader(SelectionColumn::kName);
  const std::vector<int> inputs = sel.InputsOfRows({0, 5, -1, 31, 1000});
  EXPECT_EQ(inputs, (std::vector<int>{1, 0}));
  const InputFilter f = ReportSelection::FilterFor(inputs);
  EXPECT_TRUE(f.Contains(0));
  EXPECT_TRUE(f.Contains(1));
  EXPECT_FALSE(f.Contains(2));
  EXPECT_EQ(f.Count(), 2);
  const InputFilter all = ReportSelection::FilterFor({});
  EXPECT_TRUE(all.All());
  EXPECT_EQ(all.Count(), InputFilter::kBits);
  EXPECT_TRUE(all.Contains(5343));
  EXPECT_FALSE(all.Contains(5344));
  EXPECT_FALSE(all.Contains(-1));
  EXPECT_FALSE(InputFilter::Only({5344, 70000}).Contains(5344));
}

}  // namespace
}  // namespace zel::core
