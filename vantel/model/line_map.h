// CR/LF mapping of a terminal, as picocom names it: a list like "crlf,delbs" turns each named
// mapping on for one direction (what the recorder sends, or what the keyboard sends).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zel::vantel {

struct LineMap {
  bool crlf = false;    // CR becomes LF
  bool crcrlf = false;  // CR becomes CR LF
  bool igncr = false;   // CR is dropped
  bool lfcr = false;    // LF becomes CR
  bool lfcrlf = false;  // LF becomes CR LF
  bool ignlf = false;   // LF is dropped
  bool bsdel = false;   // BS becomes DEL
  bool delbs = false;   // DEL becomes BS

  // The bytes one byte becomes. Where several mappings name the same byte, dropping wins over
  // a replacement, and a one-byte replacement over a two-byte one.
  std::string Apply(uint8_t byte) const;
  std::string Apply(std::string_view bytes) const;
  bool None() const { return *this == LineMap{}; }
  bool operator==(const LineMap&) const = default;
};

// Parses "crlf,lfcrlf" (names above, separated by commas; an empty list maps nothing). nullopt
// when a name is unknown; `bad` then holds it.
std::optional<LineMap> ParseLineMap(std::string_view list, std::string* bad = nullptr);

}  // namespace zel::vantel
