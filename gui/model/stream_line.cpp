#include "gui/model/stream_line.h"

namespace zel::gui {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the digits at `at`, saturating; moves `at` past them.
long ReadDecimal(std::string_view s, std::size_t& at) {
  long n = 0;
  for (; at < s.size() && IsDigit(s[at]); ++at) {
    n = n * 10 + (s[at] - '0');
    if (n > LiveLine::kMaxNumber) n = LiveLine::kMaxNumber;
  }
  return n;
}

}  // namespace

LiveLine SplitLiveLine(std::string_view line) {
  LiveLine out;
  std::size_t at = 0;
  out.number = ReadDecimal(line, at);
  if (at >= line.size()) return out;
  if (line[at] == ' ') {
    ++at;
    out.kind = LiveLine::Kind::kState;
    out.state = ReadDecimal(line, at);
    return out;
  }
  out.kind = LiveLine::Kind::kValue;
  out.value = line.substr(at + 1);
  return out;
}

}  // namespace zel::gui
