#include "zel/value_format.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "zel/identifiers.h"

namespace zel {
namespace {

constexpr std::array<AnalogRange, kAnalogRangeCount> kRanges{{
    {0, "+/-25.5Vdc", "V", 10, -256, 255},
    {1, "+51.1Vdc", "V", 10, 0, 511},
    {2, "+/-255Vdc", "V", 1, -256, 255},
    {3, "25.5Vac", "V", 10, 0, 255},
    {4, "255Vac", "V", 1, 0, 255},
    {5, "+/-25.5Adc", "A", 10, -256, 255},
    {6, "25.5Aac", "A", 10, 0, 255},
}};

constexpr std::array<int, kBaudCodeCount> kBaudRates{300,  600,   1200,  2400,  4800,
                                                     9600, 19200, 38400, 57600, 115200};

constexpr RecorderType kKrv85E = 9;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// "%d.%0*d" of value / divisor with the sign shown for every negative value.
std::string ShowFixed(long long value, int divisor, int digits) {
  const long long a = value < 0 ? -value : value;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%lld.%0*lld", value < 0 ? "-" : "", a / divisor, digits,
                a % divisor);
  return buf;
}

int Digits(int scale) {
  int d = 0;
  while (scale > 1) {
    scale /= 10;
    ++d;
  }
  return d;
}

}  // namespace

std::optional<long long> ParseScaledDecimal(std::string_view text, int scale) {
  if (scale != 1 && scale != 10 && scale != 100 && scale != 1000) return std::nullopt;
  size_t b = 0;
  size_t e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  text = text.substr(b, e - b);
  bool negative = false;
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr long long kCap = 1'000'000'000'000LL;  // far beyond any int once scaled
  long long whole = 0;
  int digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (whole < kCap) whole = whole * 10 + (text[i] - '0');
    ++digits;
    ++i;
  }
  long long fraction = 0;
  int fractionDigits = 0;
  const int wanted = Digits(scale);
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (fractionDigits < wanted) {
        fraction = fraction * 10 + (text[i] - '0');
        ++fractionDigits;
      }
      ++digits;
      ++i;
    }
  }
  if (digits == 0 || i != text.size()) return std::nullopt;
  while (fractionDigits < wanted) {
    fraction *= 10;
    ++fractionDigits;
  }
  long long v = whole * scale + fraction;
  if (negative) v = -v;
  return std::clamp<long long>(v, INT_MIN, INT_MAX);
}

const AnalogRange* FindAnalogRange(int index) {
  if (index < 0 || index >= kAnalogRangeCount) return nullptr;
  return &kRanges[static_cast<size_t>(index)];
}

std::string AnalogRangeLabel(int index) {
  const AnalogRange* r = FindAnalogRange(index);
  return r == nullptr ? std::string() : std::string(r->label);
}

std::string AnalogRangeLabel(RecorderType type, int index) {
  if (type == kKrv85E) return "???";
  return AnalogRangeLabel(index);
}

std::string ShowThreshold(int range, int stored) {
  const AnalogRange* r = FindAnalogRange(range);
  if (r == nullptr) return {};
  if (r->scale == 1) return std::to_string(stored);
  return ShowFixed(stored, 10, 1);
}

std::optional<int> ParseThreshold(int range, std::string_view text) {
  const AnalogRange* r = FindAnalogRange(range);
  if (r == nullptr) return std::nullopt;
  const auto v = ParseScaledDecimal(text, r->scale);
  if (!v) return std::nullopt;
  return static_cast<int>(std::clamp<long long>(*v, r->lowest, r->highest));
}

std::string FilterText(int filter) { return (filter & 1) != 0 ? "Slow" : "Fast"; }

int DetectTimeDivisor(RecorderType type) {
  // The SLG family keeps no detect time; the others count it in their event ticks.
  const ModelEntry* m = FindModel(type);
  if (m == nullptr || m->family == ModelFamily::kSlg) return 0;
  if (m->ticksPerSecond == 1000) return 1000;
  return FindIdentifierRow(type) == nullptr ? 0 : m->ticksPerSecond;
}

std::string ShowDetectTime(RecorderType type, int input, int stored) {
  const int divisor = DetectTimeDivisor(type);
  if (divisor == 0 || input < 0 || input >= InputCountsOf(type).digital) return "N/A";
  return ShowFixed(stored, divisor, divisor == 1000 ? 3 : 2);
}

std::optional<int> ParseDetectTime(RecorderType type, std::string_view text) {
  const int divisor = DetectTimeDivisor(type);
  if (divisor == 0) return std::nullopt;
  const auto v = ParseScaledDecimal(text, divisor);
  if (!v) return std::nullopt;
  // The field is an unsigned 16-bit number: a value past it is held to its end rather than
  // wrapped to a short time.
  return static_cast<int>(std::clamp<long long>(*v, 0, 65535));
}

bool HasFlashBits(RecorderType type) {
  const ModelFamily family = FamilyOf(type);
  if (family == ModelFamily::kKrv583 || family == ModelFamily::kSlg) return false;
  return FindIdentifierRow(type) != nullptr;
}

std::string ShowFlash(RecorderType type, int input, bool enabled) {
  if (input < 0 || input >= InputCountsOf(type).digital) return "N/A";
  if (!HasFlashBits(type)) return "No";
  return enabled ? "Yes" : "No";
}

std::string ShowTimerLimit(int stored) { return ShowFixed(stored, 10, 1); }

std::optional<int> ParseTimerLimit(std::string_view text) {
  const auto v = ParseScaledDecimal(text, 10);
  if (!v) return std::nullopt;
  return static_cast<int>(std::clamp<long long>(*v, 0, 9999));
}

std::string BaudLabel(int code) {
  if (code < 0 || code >= kBaudCodeCount) return {};
  return std::to_string(kBaudRates[static_cast<size_t>(code)]);
}

int BaudRate(int code) {
  if (code < 0 || code >= kBaudCodeCount) return 0;
  return kBaudRates[static_cast<size_t>(code)];
}

int BaudCodeOf(std::string_view label) {
  for (int i = 0; i < kBaudCodeCount; ++i) {
    if (label == BaudLabel(i)) return i;
  }
  return -1;
}

}  // namespace zel
