#include "model/details.h"

#include <gtest/gtest.h>

#include "event_bytes.h"
#include "zel/day_number.h"

namespace zel::qplot {
namespace {

using testing::EventBytes;

const uint16_t kDate = PackDate(24, 3, 15);

TEST(FunctionRows, In1AndIn3GiveFourCombinationsWithIn1TheLowBit) {
  CVequation eq;
  eq.in = {7, kNoInput, 9, kNoInput};
  eq.table[1] = 1;
  const auto rows = FunctionRows(eq);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[2].inputs[0], "Off");
  EXPECT_EQ(rows[2].inputs[1], "");
  EXPECT_EQ(rows[2].inputs[2], "On");
  EXPECT_EQ(rows[2].inputs[3], "");
  EXPECT_EQ(rows[1].inputs[0], "On");
  EXPECT_EQ(rows[1].inputs[2], "Off");
  EXPECT_EQ(rows[1].output, "On");
  EXPECT_EQ(rows[3].output, "Off");
  // ON and OFF act on the selected rows only; entries beyond the table are ignored.
  SetFunctionOutputs(eq, {2, 3, 16, -1}, true);
  SetFunctionOutputs(eq, {1}, false);
  EXPECT_EQ(FunctionRows(eq)[2].output, "On");
  EXPECT_EQ(FunctionRows(eq)[3].output, "On");
  EXPECT_EQ(FunctionRows(eq)[1].output, "Off");
  // In4 alone: two rows, its column the only one filled.
  CVequation only4;
  only4.in = {kNoInput, kNoInput, kNoInput, 3};
  const auto r4 = FunctionRows(only4);
  ASSERT_EQ(r4.size(), 2u);
  EXPECT_EQ(r4[1].inputs[3], "On");
  EXPECT_EQ(r4[1].inputs[0], "");
  EXPECT_TRUE(FunctionRows(CVequation{}).empty());
  CVequation all;
  all.in = {0, 1, 2, 3};
  EXPECT_EQ(FunctionRows(all).size(), 16u);
  EXPECT_EQ(FunctionRows(all)[8].inputs[3], "On");
  EXPECT_EQ(FunctionRows(all)[8].inputs[0], "Off");
}

TEST(EquationLists, RowsChoicesAndTheirInputNumbers) {
  auto setup = std::make_unique<SetupDatabase>(model::kKrv517xl);
  setup->SetName(0, "Gate down");
  setup->SetName(257, "Battery");
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 1000);
  EventData d;
  ASSERT_EQ(d.LoadBytes(e.bytes(), std::move(setup)), LoadResult::kOk);
  CVequation eq;
  eq.in = {0, kNoInput, 257, kNoInput};
  const auto row = EquationRow(d, eq, 2);
  EXPECT_EQ(row[0], "E03");
  EXPECT_EQ(row[1], "D001");
  EXPECT_EQ(row[2], "");
  EXPECT_EQ(row[3], "A02");
  const auto choices = EquationChoices(d);
  ASSERT_EQ(choices.entries().size(), 361u);
  EXPECT_EQ(choices.entries()[0], "---       (none)");
  EXPECT_EQ(choices.entries()[1], "D001   Gate down");
  EXPECT_EQ(choices.entries()[258], "A02   Battery");
  EXPECT_EQ(choices.EntryOf(257), 258);
  EXPECT_EQ(choices.EntryOf(kNoInput), 0);
  EXPECT_EQ(choices.EntryOf(360), 0);  // an equation output is no choice
  EXPECT_EQ(choices.InputOf(258), 257);
  EXPECT_EQ(choices.InputOf(0), kNoInput);
  EventData nothing;
  EXPECT_EQ(EquationChoices(nothing).entries().size(), 1u);
}

TEST(InputDetails, Krv85eThresholdsKeepTheirSign) {
  EXPECT_EQ(Krv85eThreshold(-125), "-1.25");
  EXPECT_EQ(Krv85eThreshold(-50), "-0.50");  // the sign of a value above -1 is not lost
  EXPECT_EQ(Krv85eThreshold(-1), "-0.01");
  EXPECT_EQ(Krv85eThreshold(0), "0.00");
  EXPECT_EQ(Krv85eThreshold(1205), "12.05");
  EXPECT_EQ(Krv85eThreshold(-32768), "-327.68");

  auto setup = std::make_unique<SetupDatabase>(model::kKrv85e);
  const int a = 64;  // A01
  setup->SetName(a, "Battery");
  setup->SetHighThreshold(0, -125);
  setup->SetLowThreshold(0, -50);
  EventBytes e(EventFileType::k85E, kDate, 0, kDate, 1000);
  EventData d;
  ASSERT_EQ(d.LoadBytes(e.bytes(), std::move(setup)), LoadResult::kOk);
  CZelQplotDoc doc;
  doc.SetInputCount(d.InputCount());
  const auto lines = DescribeInput(d, doc, a);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "Name:\tBattery");
  EXPECT_EQ(lines[4], "Flashing:\tN/A");
  EXPECT_EQ(lines[5], "High Threshold:\t-1.25");
  EXPECT_EQ(lines[6], "Low Threshold:\t-0.50");
}

TEST(InputDetails, EveryKindOfInput) {
  auto setup = std::make_unique<SetupDatabase>(model::kKrv517xl);
  setup->SetName(3, "Track 4");
  setup->SetIdentifier(3, "TK4");
  setup->SetEventPair(3, 2);
  setup->SetOnName(2, "Occupied");
  setup->SetOffName(2, "Clear");
  setup->SetFlashEnabled(3, true);
  setup->SetDetectTime(3, 250);
  setup->SetAnalogRange(1, 0);
  setup->SetHighThreshold(1, -5);
  setup->SetLowThreshold(1, -256);
  setup->SetVirtualSource(0, 0, 3);
  setup->SetVirtualSource(0, 1, 257);
  setup->SetVirtualSource(0, 2, 0);
  setup->SetVirtualSource(0, 3, 1);
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 1000);
  EventData d;
  ASSERT_EQ(d.LoadBytes(e.bytes(), std::move(setup)), LoadResult::kOk);
  CZelQplotDoc doc;
  doc.SetInputCount(d.InputCount());
  const auto digital = DescribeInput(d, doc, 3);
  ASSERT_EQ(digital.size(), 6u);
  EXPECT_EQ(digital[0], "Name:\tTrack 4");
  EXPECT_EQ(digital[1], "ID:\tTK4");
  EXPECT_EQ(digital[2], "On Event Name:\tOccupied");
  EXPECT_EQ(digital[3], "Off Event Name:\tClear");
  EXPECT_EQ(digital[4], "Flashing:\tYes");
  EXPECT_EQ(digital[5], "Detect Time:\t2.50");
  const auto analog = DescribeInput(d, doc, 257);
  ASSERT_EQ(analog.size(), 8u);
  EXPECT_EQ(analog[5], "Range:\t+/-25.5Vdc");
  EXPECT_EQ(analog[6], "High Threshold:\t-0.5");
  EXPECT_EQ(analog[7], "Low Threshold:\t-25.6");
  const auto virt = DescribeInput(d, doc, 264);  // V01
  ASSERT_EQ(virt.size(), 6u);
  EXPECT_EQ(virt[5], "Function of:\tD004 A02 D001 D002");
  // The last virtual input is the last input of the file (N = 360).
  ASSERT_EQ(DescribeInput(d, doc, 359).size(), 6u);
  EXPECT_EQ(DescribeInput(d, doc, 359)[5].substr(0, 12), "Function of:");
  // Equation outputs N to N+7.
  CVequation eq;
  eq.in = {3, kNoInput, 257, kNoInput};
  doc.SetEquation(1, eq);
  const auto eq_lines = DescribeInput(d, doc, d.InputCount() + 1);
  ASSERT_EQ(eq_lines.size(), 1u);
  EXPECT_EQ(eq_lines[0], "Equation of:\tD004  A02 ");
  EXPECT_TRUE(DescribeInput(d, doc, d.InputCount() + 8).empty());
  EXPECT_TRUE(DescribeInput(d, doc, -1).empty());
}

TEST(InputDetails, Krv583FamilyShowsTheCodingName) {
  auto setup = std::make_unique<SetupDatabase>(model::kKrv583);
  setup->SetEventPair(0, 1);
  setup->SetCodingName(1, "Coding");
  EventBytes e(EventFileType::k583, kDate, 0, kDate, 1000);
  EventData d;
  ASSERT_EQ(d.LoadBytes(e.bytes(), std::move(setup)), LoadResult::kOk);
  CZelQplotDoc doc;
  const auto lines = DescribeInput(d, doc, 0);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[4], "Coding Event Name:\tCoding");
}

// Event details: the event name by state, and the record's values belong to the type's analog
// inputs, formatted for each one's range.
TEST(EventDetails, DigitalLinesAndAnalogValuesByType) {
  auto setup = std::make_unique<SetupDatabase>(model::kKrv517xl);
  setup->SetName(5, "Signal");
  setup->SetEventPair(5, 1);
  setup->SetOnName(1, "Lit");
  setup->SetOffName(1, "Dark");
  setup->SetName(256, "Line");
  setup->SetAnalogRange(0, 0);  // A01 tenths
  setup->SetAnalogRange(1, 2);  // A02 whole volts
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 8639999);
  e.Add(123456, 5, 1);
  e.Add(123500, 5, 0);
  auto bytes = e.bytes();
  const auto& layout = *FindEventLayout(EventFileType::k517XL);
  const size_t rec0 = static_cast<size_t>(layout.firstRecord);
  bytes[rec0 + static_cast<size_t>(layout.valueOffset)] = 25;
  bytes[rec0 + static_cast<size_t>(layout.valueOffset) + 1] = 0x05;
  bytes[rec0 + static_cast<size_t>(layout.signOffset)] = 0x02;  // value 2 negative: -251
  EventData d;
  ASSERT_EQ(d.LoadBytes(bytes, std::move(setup)), LoadResult::kOk);
  const auto on = DescribeEvent(d, 0);
  ASSERT_EQ(on.digital.size(), 5u);
  EXPECT_EQ(on.digital[0], "Input:\tD006");
  EXPECT_EQ(on.digital[1], "Time:\t03/15/24 00:20:34.56");
  EXPECT_EQ(on.digital[2], "Name:\tSignal");
  EXPECT_EQ(on.digital[4], "Event:\tLit");
  ASSERT_EQ(on.analog.size(), 9u);
  EXPECT_EQ(on.analog[0], "Inp\tName\tID\tValue");
  EXPECT_EQ(on.analog[1], "A01\tLine\t\t2.5");
  EXPECT_EQ(on.analog[2], "A02\t\t\t-251");
  EXPECT_EQ(DescribeEvent(d, 1).digital[4], "Event:\tDark");
  EXPECT_TRUE(DescribeEvent(d, 2).digital.empty());
}

TEST(EventDetails, ValuesOfTheSixteenUnitTypesFollowTheUnitAndKrv85eHasNone) {
  EventBytes p(EventFileType::k517P, kDate, 0, kDate, 1000);
  p.Add(10, 3 * 256 + 7, 1);  // unit 3
  EventData dp;
  ASSERT_EQ(dp.LoadBytes(p.bytes(), nullptr), LoadResult::kOk);
  EXPECT_EQ(FirstAnalogOfValues(dp, 3 * 256 + 7), 4096 + 24);
  const auto lines = DescribeEvent(dp, 0);
  ASSERT_EQ(lines.analog.size(), 9u);
  EXPECT_EQ(lines.analog[1].substr(0, 5), "A025\t");
  EventBytes ax(EventFileType::k517AX, kDate, 0, kDate, 1000);
  EventData dax;
  ASSERT_EQ(dax.LoadBytes(ax.bytes(), nullptr), LoadResult::kOk);
  EXPECT_EQ(FirstAnalogOfValues(dax, 2 * 256), 4096 + 8);
  EventBytes k(EventFileType::k85E, kDate, 0, kDate, 1000);
  k.Add(10, 1, 1);
  EventData dk;
  ASSERT_EQ(dk.LoadBytes(k.bytes(), nullptr), LoadResult::kOk);
  EXPECT_EQ(FirstAnalogOfValues(dk, 1), -1);
  EXPECT_EQ(DescribeEvent(dk, 0).analog.size(), 1u);  // the heading only
}

}  // namespace
}  // namespace zel::qplot
