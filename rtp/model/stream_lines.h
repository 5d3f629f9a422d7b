// The real-time stream: ASCII lines ended by CR. LF empties the line without parsing it; at
// most 79 characters of a line are kept. Three line forms:
//   "T<time>"             a time mark (ticks since midnight)
//   "<N> <S><c><time>"    input N (1-based) changed to state S (0, 1, 2) at that time; c is any
//                         one separator character
//   "<N>:<digits>"        the states of inputs N, N+1, ...; digits above 2 are skipped without
//                         using up an input
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "gui/model/stream_line.h"

namespace zel::rtp {

// The stream's lines are collected by the shared assembler of the report streams, keeping 79
// characters. A CR after an empty line gives no line (the parser would ignore it anyway).
using RtLineAssembler = gui::StreamLineAssembler<79>;

struct RtLine {
  enum class Kind { kNone, kTimeMark, kChange, kBlock };
  Kind kind = Kind::kNone;
  int64_t time = 0;         // kTimeMark, kChange
  int position = 0;         // kChange, kBlock: 0-based
  int state = 0;            // kChange
  std::string_view states;  // kBlock: the run of digits after ':' (digits above 2 included)
};

// Takes a line apart by form; kNone for anything else. Numbers saturate at kMaxNumber so that a
// long run of digits is out of every range instead of wrapping. Checks against the model (range,
// ticks per day) are the plot's.
RtLine ParseRtLine(std::string_view line);
inline constexpr int64_t kMaxNumber = 1'000'000'000'000LL;

}  // namespace zel::rtp
