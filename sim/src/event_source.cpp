#include "zel/sim/event_source.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

namespace zel::sim {
namespace {

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

EventSource::EventSource(const SimModel& model, uint64_t seed, int per_day)
    : model_(model), seed_(seed), per_day_(std::clamp(per_day, 0, 5000)) {}

uint64_t EventSource::Mix(uint64_t a, uint64_t b) const {
  // splitmix64 over seed, a and b
  uint64_t z = seed_ * 0x9E3779B97F4A7C15ULL + a * 0xBF58476D1CE4E5B9ULL + b + 0x632BE59BD9B4E5ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

uint8_t EventSource::NormalLevel(int input) const {
  // One input in eight (digital and virtual) is normally on.
  if (input < 0 || input >= model_.Positions()) return 0;
  if (input >= model_.digital && input < model_.digital + model_.analog) return 0;
  return (Mix(0xA11, static_cast<uint64_t>(input)) % 8) == 0 ? 1 : 0;
}

int EventSource::AnalogValue(int analog, int64_t at_ms) const {
  const uint64_t h = Mix(0xA7A, static_cast<uint64_t>(analog));
  const double base = static_cast<double>(static_cast<int>(h % 301) - 150);    // -150..150
  const double amp = static_cast<double>(20 + (h >> 16) % 90);                 // 20..109
  const double period = static_cast<double>(600'000 + (h >> 32) % 3'000'000);  // 10..60 min
  const double phase = static_cast<double>((h >> 8) % 1000) / 1000.0 * 6.283185307179586;
  const double v =
      base +
      amp * std::sin(static_cast<double>(at_ms % (kMsPerDay * 7)) / period * 6.283185 + phase);
  return std::clamp(static_cast<int>(std::lround(v)), -256, 255);
}

std::vector<SimEvent> EventSource::DayEvents(int64_t day) const {
  std::vector<SimEvent> out;
  if (per_day_ == 0) return out;
  std::mt19937_64 rng(Mix(0xDA7, static_cast<uint64_t>(day)));
  const int tick_ms = 1000 / model_.layout->ticks_per_second;
  const int64_t day_start = day * kMsPerDay;
  const int pulses = per_day_ / 2 + static_cast<int>(rng() % static_cast<uint64_t>(per_day_ + 1));
  std::map<int, int64_t> busy_until;  // per input: end of its last pulse
  struct Pulse {
    int64_t at;
    int input;
    int kind;  // 0 level pulse, 1 timer, 2 system
    int64_t length;
    int level;
  };
  std::vector<Pulse> plan;
  for (int i = 0; i < pulses; ++i) {
    const uint64_t r = rng();
    const int64_t at = static_cast<int64_t>(rng() % static_cast<uint64_t>(kMsPerDay - 3'600'000));
    const int64_t length = 200 + static_cast<int64_t>(rng() % 1'800'000);  // 0.2 s .. 30 min
    const int pick = static_cast<int>(r % 100);
    Pulse p{at, 0, 0, length, 1};
    if (pick < 60 || (model_.timers == 0 && pick < 90)) {
      p.input = static_cast<int>(rng() % static_cast<uint64_t>(model_.digital));
    } else if (pick < 75) {
      p.input = model_.digital + model_.analog +
                static_cast<int>(rng() % static_cast<uint64_t>(model_.virtuals));
    } else if (pick < 85) {
      p.input = model_.digital + static_cast<int>(rng() % static_cast<uint64_t>(model_.analog));
    } else if (pick < 95 && model_.timers > 0) {
      p.kind = 1;
      p.input =
          model_.FirstTimer() + static_cast<int>(rng() % static_cast<uint64_t>(model_.timers));
    } else {
      p.kind = 2;
      p.input = model_.FirstSystem() +
                static_cast<int>(rng() % static_cast<uint64_t>(std::max(1, model_.systems)));
    }
    if (model_.three_state && p.kind == 0 && (r >> 32) % 4 == 0) p.level = 2;  // coding
    plan.push_back(p);
  }
  std::sort(plan.begin(), plan.end(), [](const Pulse& a, const Pulse& b) { return a.at < b.at; });
  auto stamp = [&](int64_t offset) { return day_start + offset / tick_ms * tick_ms; };
  auto fill_values = [&](SimEvent& e) {
    for (int k = 0; k < model_.layout->value_count && k < 16 && k < model_.analog; ++k)
      e.values[k] = AnalogValue(k, e.when_ms);
  };
  for (const Pulse& p : plan) {
    auto it = busy_until.find(p.input);
    if (it != busy_until.end() && p.at <= it->second) continue;  // never overlap on one input
    busy_until[p.input] = p.at + p.length;
    SimEvent a{};
    a.when_ms = stamp(p.at);
    a.input = p.input;
    fill_values(a);
    if (p.kind == 1) {
      // Timer: one event when the measured interval ends, its length in tenths of a second.
      a.state = 1;
      a.special = static_cast<int16_t>(std::min<int64_t>(p.length / 100, 32767));
      out.push_back(a);
      continue;
    }
    if (p.kind == 2 && p.input != model_.FirstSystem()) {
      // Temperature, clock and speed events: a single report.
      a.state = 1;
      a.special = static_cast<int16_t>(rng() % 100);
      out.push_back(a);
      continue;
    }
    // Level pulse (power fails and returns; inputs leave their normal level and go back).
    const int normal = p.kind == 2 ? 1 : NormalLevel(p.input);
    a.state = normal != 0 ? 0 : p.level;
    SimEvent b = a;
    b.when_ms = stamp(p.at + p.length);
    b.state = normal;
    fill_values(b);
    out.push_back(a);
    out.push_back(b);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const SimEvent& x, const SimEvent& y) { return x.when_ms < y.when_ms; });
  return out;
}

std::vector<SimEvent> EventSource::Events(int64_t from_ms, int64_t to_ms, size_t cap) const {
  std::vector<SimEvent> out;
  if (to_ms <= from_ms) return out;
  // At most 400 days are looked at: a recorder's memory is not endless.
  const int64_t first = FloorDiv(from_ms, kMsPerDay);
  const int64_t last = std::min(FloorDiv(to_ms - 1, kMsPerDay), first + 399);
  for (int64_t d = first; d <= last && out.size() < cap; ++d) {
    for (const SimEvent& e : DayEvents(d)) {
      if (e.when_ms < from_ms || e.when_ms >= to_ms) continue;
      out.push_back(e);
      if (out.size() >= cap) break;
    }
  }
  return out;
}

std::vector<uint8_t> EventSource::StatesAt(int64_t at_ms) const {
  std::vector<uint8_t> s(static_cast<size_t>(model_.layout->n_inputs), 0);
  for (int i = 0; i < model_.layout->n_inputs; ++i) s[static_cast<size_t>(i)] = NormalLevel(i);
  const int64_t day = FloorDiv(at_ms, kMsPerDay);
  for (const SimEvent& e : DayEvents(day)) {
    if (e.when_ms >= at_ms) break;
    if (e.input >= 0 && e.input < model_.layout->n_inputs)
      s[static_cast<size_t>(e.input)] = static_cast<uint8_t>(e.state);
  }
  return s;
}

}  // namespace zel::sim
