// The stream line assembler and the split of live status lines: line ends, the 31-character
// limit, LF discards, and lines that are neither kind.
#include "gui/model/stream_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zel::gui {
namespace {

std::vector<std::string> Lines(std::string_view bytes) {
  LiveLineAssembler a;
  std::vector<std::string> out;
  a.FeedAll(bytes, [&](std::string_view l) { out.emplace_back(l); });
  return out;
}

TEST(StreamLineAssembler, CrEndsLinesLfDiscardsAndEmptyLinesAreNotGiven) {
  EXPECT_EQ(Lines("5 1\r12 0\r"), (std::vector<std::string>{"5 1", "12 0"}));
  // CR LF: the LF finds the buffer already empty.
  EXPECT_EQ(Lines("5 1\r\n6 0\r\n"), (std::vector<std::string>{"5 1", "6 0"}));
  // Bytes that never saw their CR are dropped at the LF.
  EXPECT_EQ(Lines("7 1\n8 1\r"), (std::vector<std::string>{"8 1"}));
  EXPECT_EQ(Lines("\r\r\n\r"), std::vector<std::string>{});
  // A line without its CR yet is pending, not given.
  LiveLineAssembler a;
  for (char c : std::string("3 1")) EXPECT_FALSE(a.Feed(static_cast<uint8_t>(c)));
  EXPECT_EQ(a.pending(), 3u);
  EXPECT_TRUE(a.Feed('\r'));
  EXPECT_EQ(a.line(), "3 1");
  EXPECT_EQ(a.pending(), 0u);
}

TEST(StreamLineAssembler, KeepsTheFirst31CharactersOfALongLine) {
  static_assert(LiveLineAssembler::kMaxLine == 31);
  const std::string forty = "1:" + std::string(38, '9');
  ASSERT_EQ(forty.size(), 40u);
  const auto lines = Lines(forty + "\r2 1\r");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], forty.substr(0, 31));
  EXPECT_EQ(lines[1], "2 1");  // the next line starts clean
  // Exactly 31 is kept whole; 32 loses its last.
  EXPECT_EQ(Lines(std::string(31, 'x') + "\r")[0].size(), 31u);
  EXPECT_EQ(Lines(std::string(32, 'x') + "y\r")[0], std::string(31, 'x'));
}

TEST(StreamLineAssembler, BytesAboveAsciiAndNulAreKeptAsCharacters) {
  const std::string bytes(
      "\x00\xff"
      "a\r",
      4);
  const auto lines = Lines(bytes);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], std::string("\x00\xff"
                                  "a",
                                  3));
}

TEST(SplitLiveLine, StateValueAndNeither) {
  LiveLine s = SplitLiveLine("19 1");
  EXPECT_EQ(s.kind, LiveLine::Kind::kState);
  EXPECT_EQ(s.number, 19);
  EXPECT_EQ(s.state, 1);

  LiveLine v = SplitLiveLine("2:12.5");
  EXPECT_EQ(v.kind, LiveLine::Kind::kValue);
  EXPECT_EQ(v.number, 2);
  EXPECT_EQ(v.value, "12.5");

  // No digits: number 0; the state after the blank without digits is 0.
  LiveLine n = SplitLiveLine(" x");
  EXPECT_EQ(n.kind, LiveLine::Kind::kState);
  EXPECT_EQ(n.number, 0);
  EXPECT_EQ(n.state, 0);
  EXPECT_EQ(SplitLiveLine("-5").kind, LiveLine::Kind::kValue);
  EXPECT_EQ(SplitLiveLine("-5").number, 0);
  // A number alone has no separator: neither kind.
  EXPECT_EQ(SplitLiveLine("42").kind, LiveLine::Kind::kNone);
  EXPECT_EQ(SplitLiveLine("").kind, LiveLine::Kind::kNone);
  // The value may be empty; the separator is any non-digit, non-blank character.
  EXPECT_EQ(SplitLiveLine("3=").value, "");
  EXPECT_EQ(SplitLiveLine("3==1").value, "=1");
}

TEST(SplitLiveLine, HugeNumbersSaturateInsteadOfOverflowing) {
  LiveLine l = SplitLiveLine("99999999999999999999999 99999999999999999999");
  EXPECT_EQ(l.kind, LiveLine::Kind::kState);
  EXPECT_EQ(l.number, LiveLine::kMaxNumber);
  EXPECT_EQ(l.state, LiveLine::kMaxNumber);
}

}  // namespace
}  // namespace zel::gui
