// The recorder's event memory: a deterministic, seeded history of events for every day, the
// same for every query that covers it. Each day starts and ends with every input at its normal
// level; pulses take inputs away from it and back. Timers report a duration in the special
// value, analog readings follow slow waves with both signs.
#pragma once

#include <cstdint>
#include <vector>

#include "zel/sim/models.h"

namespace zel::sim {

constexpr int64_t kMsPerDay = 86'400'000;

class EventSource {
 public:
  // `per_day`: pulses generated per day on average (each pulse is one or two events).
  EventSource(const SimModel& model, uint64_t seed, int per_day = 24);

  const SimModel& model() const { return model_; }

  // Events with from_ms <= when < to_ms, oldest first, at most `cap` of them.
  std::vector<SimEvent> Events(int64_t from_ms, int64_t to_ms, size_t cap = 65535) const;
  // The level of every input of the initial-state block just before `at_ms`.
  std::vector<uint8_t> StatesAt(int64_t at_ms) const;
  // Analog reading `analog` (0-based) at a moment, -256..255.
  int AnalogValue(int analog, int64_t at_ms) const;
  // The normal level of an input (0, or 1 for inputs that are normally on).
  uint8_t NormalLevel(int input) const;

  // One day's events, sorted (day = days since 1 Jan 1970).
  std::vector<SimEvent> DayEvents(int64_t day) const;

 private:
  uint64_t Mix(uint64_t a, uint64_t b) const;

  const SimModel& model_;
  uint64_t seed_;
  int per_day_;
};

}  // namespace zel::sim
