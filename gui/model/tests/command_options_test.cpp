#include "gui/model/command_options.h"

#include <gtest/gtest.h>

namespace zel::gui {
namespace {

TEST(CommandOptions, OptionsAnywhereInAnyOrderWithQuotedValues) {
  const auto o = CommandOptions::FromCommandLine(
      R"( /setup="D:\Data\North Yard\setupdata.bin" /event="D:\Data\North Yard\a b.bin")");
  EXPECT_EQ(o.Value("event"), R"(D:\Data\North Yard\a b.bin)");
  EXPECT_EQ(o.Value("setup"), R"(D:\Data\North Yard\setupdata.bin)");
  EXPECT_FALSE(o.Value("zoom"));
  EXPECT_FALSE(o.FirstNonOption());
}

TEST(CommandOptions, AnUnquotedValueEndsAtTheFirstBlank) {
  const auto o = CommandOptions::FromCommandLine(R"(/event=D:\My Data\x.bin /setup=s.bin)");
  EXPECT_EQ(o.Value("event"), R"(D:\My)");
  EXPECT_EQ(o.Value("setup"), "s.bin");
}

TEST(CommandOptions, TemplateFirstAndAnUnclosedQuoteTakesTheRest) {
  const auto o = CommandOptions::FromCommandLine(R"("C:\t\Plot All.zpl" /event="x y)");
  EXPECT_EQ(o.FirstNonOption(), R"(C:\t\Plot All.zpl)");
  EXPECT_EQ(o.Value("event"), "x y");
}

TEST(CommandOptions, ArgumentsFromTheLauncherKeepBlanksInsideOneArgument) {
  const auto o =
      CommandOptions::FromArguments({"/home/me/Plot All.zpl", "/event=/data/North Yard/a.bin",
                                     "/zoom=08:30-09:15", "/setup=\"/q/setupdata.bin\""});
  EXPECT_EQ(o.FirstNonOption(), "/home/me/Plot All.zpl");
  EXPECT_EQ(o.Value("event"), "/data/North Yard/a.bin");
  EXPECT_EQ(o.Value("zoom"), "08:30-09:15");
  EXPECT_EQ(o.Value("setup"), "/q/setupdata.bin");
  // A first argument that is an option is no template; an empty list has neither.
  EXPECT_FALSE(CommandOptions::FromArguments({"/event=a", "t.zpl"}).FirstNonOption());
  EXPECT_FALSE(CommandOptions::FromArguments({}).Value("event"));
}

TEST(CommandOptions, OptionShape) {
  EXPECT_TRUE(LooksLikeOption("/event=x"));
  EXPECT_TRUE(LooksLikeOption("/zoom="));
  EXPECT_FALSE(LooksLikeOption("/home/a.zpl"));
  EXPECT_FALSE(LooksLikeOption("/=x"));
  EXPECT_FALSE(LooksLikeOption("event=x"));
}

TEST(DayTimeRange, AnySeparatorsAndStrictShape) {
  const auto r = ParseDayTimeRange("08:30-09:15");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->StartSeconds(), (8 * 60 + 30) * 60);
  EXPECT_EQ(r->EndSeconds(), (9 * 60 + 15) * 60);
  const auto s = ParseDayTimeRange("8.5 23x59");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->startHours, 8);
  EXPECT_EQ(s->startMinutes, 5);
  EXPECT_EQ(s->endHours, 23);
  EXPECT_EQ(s->endMinutes, 59);
  EXPECT_FALSE(ParseDayTimeRange(""));
  EXPECT_FALSE(ParseDayTimeRange("08:30"));
  EXPECT_FALSE(ParseDayTimeRange("08:30-09:"));
  EXPECT_FALSE(ParseDayTimeRange("::-09:15"));
  // Digit runs longer than six fail.
  EXPECT_FALSE(ParseDayTimeRange("9999999:1-1:1"));
  EXPECT_TRUE(ParseDayTimeRange("999999:1-1:1"));
}

}  // namespace
}  // namespace zel::gui
