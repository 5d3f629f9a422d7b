// The real-time plotter's table of models, selected by the live code that the station manager
// passes as "/recorder=": time unit, positions (digital, analog and virtual inputs in that
// order), three-state inputs and whether the setup's flash-enable bits are used.
#pragma once

#include <cstdint>
#include <string_view>

#include "zel/catalogue.h"

namespace zel::rtp {

inline constexpr int64_t kTicksPerDay1ms = 86'400'000;
inline constexpr int64_t kTicksPerDay10ms = 8'640'000;
inline constexpr int64_t kTicksPerDay100ms = 864'000;

struct RtpModel {
  const char* liveCode;
  int plotterModel;      // the plotter's own model number
  RecorderType type;     // catalogue type whose setup database the plotter reads
  int64_t ticksPerDay;   // time unit of the stream
  int positions;         // inputs the stream may name
  bool threeState;       // state 2 (flashing) is a state of its own
  bool flashEnableBits;  // the setup's flash-enable bits mark flashing inputs
  int analogPerModule;   // modular models: analog inputs of one input module, else 0
};

// Defaults for a live code that is not in the table: no model, 10 ms ticks.
inline constexpr int64_t kDefaultTicksPerDay = kTicksPerDay10ms;

// Row of a live code (exact, case-sensitive); nullptr when the table has none.
const RtpModel* FindRtpModel(std::string_view live_code);

// Every row, in table order.
const RtpModel* RtpModelsBegin();
const RtpModel* RtpModelsEnd();

// Ticks per second of a day length (1000, 100 or 10).
inline int TicksPerSecond(int64_t ticks_per_day) {
  return static_cast<int>(ticks_per_day / 86'400);
}

}  // namespace zel::rtp
