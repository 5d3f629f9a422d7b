// API-STABLE
// Analog ranges and the text forms of setup values: thresholds, filters, detect times,
// flash flags, timer limits and baud rates.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "zel/catalogue.h"

namespace zel {

struct AnalogRange {
  int index;
  const char* label;  // "+/-25.5Vdc" ...
  const char* unit;   // "V" or "A"
  int scale;          // 10: stored in tenths, shown "%d.%d"; 1: whole units, shown "%d"
  int lowest;         // lowest stored value
  int highest;        // highest stored value
};
constexpr int kAnalogRangeCount = 7;

// Row of a range index 0-6; nullptr otherwise.
const AnalogRange* FindAnalogRange(int index);
// Label of a range; empty for an index outside 0-6; "???" for KRV-85E (no range field).
std::string AnalogRangeLabel(int index);
std::string AnalogRangeLabel(RecorderType type, int index);

// Stored threshold as text for a range: "%d" for ranges 2 and 4, one decimal otherwise (a
// negative value always shows its minus sign: -5 is "-0.5"); empty for an index above 6.
std::string ShowThreshold(int range, int stored);
// Typed threshold to its stored value: scaled, clamped to the range, truncated toward zero.
// nullopt for text that is no decimal number or a range outside 0-6.
std::optional<int> ParseThreshold(int range, std::string_view text);

// "Fast" or "Slow" by bit 0.
std::string FilterText(int filter);

// Detect time unit of a model: 1000 (thousandths: KRV-19XT, KRV-19XL, KRV-37E/A), 100
// (hundredths), 0 for models without detect times (SLG family) and unknown types.
int DetectTimeDivisor(RecorderType type);
// Stored detect time of digital input `input` as text ("%d.%03d" or "%d.%02d"); "N/A" for
// models without detect times and for an input beyond the digital inputs.
std::string ShowDetectTime(RecorderType type, int input, int stored);
// Typed seconds to the stored value (x1000 or x100, truncated toward zero), held to the
// field's range 0-65535; nullopt for text that is no decimal number or a model without
// detect times.
std::optional<int> ParseDetectTime(RecorderType type, std::string_view text);

// Flash enable text: "N/A" beyond the digital inputs; "No" for models without flash bits;
// else "Yes" or "No".
bool HasFlashBits(RecorderType type);
std::string ShowFlash(RecorderType type, int input, bool enabled);

// Timer limit in tenths of a second as text ("%d.%1d"; a negative value shows its sign).
std::string ShowTimerLimit(int stored);
// Typed seconds x 10, truncated toward zero, clamped to 0-9999; nullopt for no number.
std::optional<int> ParseTimerLimit(std::string_view text);

// Baud code 0-9 to "300" .. "115200" and to the rate; empty / 0 for another code.
constexpr int kBaudCodeCount = 10;
std::string BaudLabel(int code);
int BaudRate(int code);
// Code of a rate label or number ("9600" is 5); -1 when none.
int BaudCodeOf(std::string_view label);

// Reads a decimal number ("12", "-0.5", "+3.", ".25"; blanks around it allowed) and returns
// it multiplied by `scale` (1, 10, 100 or 1000), truncated toward zero, saturated to the int
// range. Exact: "1.15" x 100 is 115. nullopt when the text is no decimal number.
std::optional<long long> ParseScaledDecimal(std::string_view text, int scale);

}  // namespace zel
