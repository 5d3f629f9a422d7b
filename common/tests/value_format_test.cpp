// Value texts: ranges, thresholds, detect times, flash flags, timer limits, baud labels.
#include "zel/value_format.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(AnalogRanges, Table) {
  EXPECT_EQ(AnalogRangeLabel(0), "+/-25.5Vdc");
  EXPECT_EQ(AnalogRangeLabel(1), "+51.1Vdc");
  EXPECT_EQ(AnalogRangeLabel(2), "+/-255Vdc");
  EXPECT_EQ(AnalogRangeLabel(3), "25.5Vac");
  EXPECT_EQ(AnalogRangeLabel(4), "255Vac");
  EXPECT_EQ(AnalogRangeLabel(5), "+/-25.5Adc");
  EXPECT_EQ(AnalogRangeLabel(6), "25.5Aac");
  EXPECT_EQ(AnalogRangeLabel(7), "");
  EXPECT_EQ(AnalogRangeLabel(-1), "");
  EXPECT_EQ(AnalogRangeLabel(9, 0), "???");  // KRV-85E has no range field
  EXPECT_EQ(AnalogRangeLabel(3, 4), "255Vac");
  ASSERT_NE(FindAnalogRange(1), nullptr);
  EXPECT_EQ(FindAnalogRange(1)->highest, 511);
  EXPECT_EQ(FindAnalogRange(0)->lowest, -256);
  EXPECT_EQ(FindAnalogRange(4)->lowest, 0);
}

TEST(Thresholds, Show) {
  EXPECT_EQ(ShowThreshold(0, -256), "-25.6");
  EXPECT_EQ(ShowThreshold(2, -256), "-256");
  EXPECT_EQ(ShowThreshold(0, -5), "-0.5");
  EXPECT_EQ(ShowThreshold(5, -1), "-0.1");
  EXPECT_EQ(ShowThreshold(0, 0), "0.0");
  EXPECT_EQ(ShowThreshold(1, 511), "51.1");
  EXPECT_EQ(ShowThreshold(3, 10), "1.0");
  EXPECT_EQ(ShowThreshold(4, 255), "255");
  EXPECT_EQ(ShowThreshold(6, -10), "-1.0");
  EXPECT_EQ(ShowThreshold(7, 5), "");
}

TEST(Thresholds, ParseScalesClampsTruncates) {
  EXPECT_EQ(ParseThreshold(1, "60"), 511);
  EXPECT_EQ(ParseThreshold(3, "-3"), 0);
  EXPECT_EQ(ParseThreshold(0, "-25.6"), -256);
  EXPECT_EQ(ParseThreshold(0, "-99"), -256);
  EXPECT_EQ(ParseThreshold(0, "1.29"), 12);    // truncated, not rounded
  EXPECT_EQ(ParseThreshold(0, "-1.29"), -12);  // toward zero
  EXPECT_EQ(ParseThreshold(2, "12.9"), 12);
  EXPECT_EQ(ParseThreshold(2, "300"), 255);
  EXPECT_EQ(ParseThreshold(4, "-1"), 0);
  EXPECT_EQ(ParseThreshold(5, " 2.5 "), 25);
  EXPECT_EQ(ParseThreshold(0, "abc"), std::nullopt);
  EXPECT_EQ(ParseThreshold(0, ""), std::nullopt);
  EXPECT_EQ(ParseThreshold(7, "1"), std::nullopt);
}

TEST(ScaledDecimal, ExactAndStrict) {
  EXPECT_EQ(ParseScaledDecimal("1.15", 100), 115);  // no binary rounding loss
  EXPECT_EQ(ParseScaledDecimal("0.29", 100), 29);
  EXPECT_EQ(ParseScaledDecimal(".25", 100), 25);
  EXPECT_EQ(ParseScaledDecimal("3.", 10), 30);
  EXPECT_EQ(ParseScaledDecimal("+7", 1), 7);
  EXPECT_EQ(ParseScaledDecimal("-0.0009", 1000), 0);
  EXPECT_EQ(ParseScaledDecimal("99999999999999999999", 10), 2147483647);
  EXPECT_EQ(ParseScaledDecimal("-99999999999999999999", 10), -2147483648LL);
  EXPECT_EQ(ParseScaledDecimal(".", 10), std::nullopt);
  EXPECT_EQ(ParseScaledDecimal("-", 10), std::nullopt);
  EXPECT_EQ(ParseScaledDecimal("1.2.3", 10), std::nullopt);
  EXPECT_EQ(ParseScaledDecimal("12x", 10), std::nullopt);
  EXPECT_EQ(ParseScaledDecimal("1 2", 10), std::nullopt);
  EXPECT_EQ(ParseScaledDecimal("1", 7), std::nullopt);
}

TEST(Filters, BitZeroOnly) {
  EXPECT_EQ(FilterText(0), "Fast");
  EXPECT_EQ(FilterText(1), "Slow");
  EXPECT_EQ(FilterText(2), "Fast");
  EXPECT_EQ(FilterText(3), "Slow");
}

TEST(DetectTimes, ShowPerModel) {
  EXPECT_EQ(ShowDetectTime(3, 0, 250), "2.50");
  EXPECT_EQ(ShowDetectTime(3, 255, 5), "0.05");
  EXPECT_EQ(ShowDetectTime(3, 256, 5), "N/A");  // beyond the digital inputs
  EXPECT_EQ(ShowDetectTime(3, -1, 5), "N/A");
  EXPECT_EQ(ShowDetectTime(0, 0, 1500), "1.500");
  EXPECT_EQ(ShowDetectTime(1, 17, 7), "0.007");
  EXPECT_EQ(ShowDetectTime(1, 18, 7), "N/A");
  EXPECT_EQ(ShowDetectTime(10, 19, 65535), "65.535");
  EXPECT_EQ(ShowDetectTime(13, 0, 65535), "655.35");
  for (RecorderType t : {11, 12, 14, 15}) EXPECT_EQ(ShowDetectTime(t, 0, 100), "N/A");
  EXPECT_EQ(ShowDetectTime(17, 0, 100), "N/A");
}

TEST(DetectTimes, Parse) {
  EXPECT_EQ(ParseDetectTime(3, "2.5"), 250);
  EXPECT_EQ(ShowDetectTime(3, 0, *ParseDetectTime(3, "2.5")), "2.50");
  EXPECT_EQ(ParseDetectTime(3, "0.019"), 1);
  EXPECT_EQ(ParseDetectTime(0, "2.5"), 2500);
  EXPECT_EQ(ParseDetectTime(10, "0.0015"), 1);
  // The field holds 0-65535: a longer time is held to the end, a negative one to zero.
  EXPECT_EQ(ParseDetectTime(3, "700"), 65535);
  EXPECT_EQ(ParseDetectTime(3, "-1"), 0);
  EXPECT_EQ(ParseDetectTime(11, "1"), std::nullopt);
  EXPECT_EQ(ParseDetectTime(3, "x"), std::nullopt);
}

TEST(Flash, Texts) {
  EXPECT_EQ(ShowFlash(3, 0, true), "Yes");
  EXPECT_EQ(ShowFlash(3, 255, false), "No");
  EXPECT_EQ(ShowFlash(3, 256, true), "N/A");
  for (RecorderType t : {7, 8, 16, 11, 12, 14, 15}) {
    EXPECT_FALSE(HasFlashBits(t));
    EXPECT_EQ(ShowFlash(t, 0, true), "No") << t;
  }
  EXPECT_TRUE(HasFlashBits(10));
  EXPECT_EQ(ShowFlash(10, 20, true), "N/A");
  EXPECT_EQ(ShowFlash(17, 0, true), "N/A");
}

TEST(TimerLimits, ShowAndParse) {
  EXPECT_EQ(ParseTimerLimit("1234.5"), 9999);
  EXPECT_EQ(ShowTimerLimit(9999), "999.9");
  EXPECT_EQ(ShowTimerLimit(125), "12.5");
  EXPECT_EQ(ShowTimerLimit(0), "0.0");
  EXPECT_EQ(ShowTimerLimit(-5), "-0.5");
  EXPECT_EQ(ShowTimerLimit(-15), "-1.5");
  EXPECT_EQ(ParseTimerLimit("0.05"), 0);
  EXPECT_EQ(ParseTimerLimit("12.59"), 125);
  EXPECT_EQ(ParseTimerLimit("-3"), 0);
  EXPECT_EQ(ParseTimerLimit("999.9"), 9999);
  EXPECT_EQ(ParseTimerLimit("1000"), 9999);
  EXPECT_EQ(ParseTimerLimit(""), std::nullopt);
}

TEST(Baud, Labels) {
  EXPECT_EQ(BaudLabel(0), "300");
  EXPECT_EQ(BaudLabel(5), "9600");
  EXPECT_EQ(BaudLabel(9), "115200");
  EXPECT_EQ(BaudLabel(10), "");
  EXPECT_EQ(BaudLabel(-1), "");
  EXPECT_EQ(BaudRate(8), 57600);
  EXPECT_EQ(BaudRate(10), 0);
  EXPECT_EQ(BaudCodeOf("19200"), 6);
  EXPECT_EQ(BaudCodeOf("19201"), -1);
}

}  // namespace
}  // namespace zel
