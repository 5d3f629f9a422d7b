#include "model/stream_lines.h"

namespace zel::rtp {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits at `pos` (at least one), saturating at kMaxNumber.
bool Digits(std::string_view s, size_t& pos, int64_t* out) {
  const size_t start = pos;
  int64_t v = 0;
  while (pos < s.size() && IsDigit(s[pos])) {
    v = v * 10 + (s[pos] - '0');
    if (v > kMaxNumber) v = kMaxNumber;
    ++pos;
  }
  *out = v;
  return pos > start;
}

}  // namespace

RtLine ParseRtLine(std::string_view s) {
  RtLine r;
  size_t pos = 0;
  if (!s.empty() && s[0] == 'T') {
    pos = 1;
    int64_t t = 0;
    if (!Digits(s, pos, &t)) return r;
    r.kind = RtLine::Kind::kTimeMark;
    r.time = t;
    return r;
  }
  int64_t n = 0;
  if (!Digits(s, pos, &n) || pos >= s.size() || n < 1) return r;
  const int position = static_cast<int>(n > 1'000'000 ? 1'000'000 : n) - 1;
  if (s[pos] == ':') {
    r.kind = RtLine::Kind::kBlock;
    r.position = position;
    ++pos;
    size_t end = pos;
    while (end < s.size() && IsDigit(s[end])) ++end;
    r.states = s.substr(pos, end - pos);
    return r;
  }
  if (s[pos] != ' ') return r;
  ++pos;
  if (pos >= s.size() || !IsDigit(s[pos])) return r;
  const int state = s[pos] - '0';
  ++pos;
  if (pos >= s.size()) return r;  // the separator
  ++pos;
  int64_t t = 0;
  if (!Digits(s, pos, &t)) return r;
  r.kind = RtLine::Kind::kChange;
  r.position = position;
  r.state = state;
  r.time = t;
  return r;
}

}  // namespace zel::rtp
