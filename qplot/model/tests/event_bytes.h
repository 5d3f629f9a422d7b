// Event record files built byte by byte for the plotter's tests and benchmark, through the
// layout table of the file type (header line, fixed header, initial states, records).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "zel/day_number.h"
#include "zel/event_file.h"

namespace zel::qplot::testing {

struct BuiltRecord {
  uint32_t time = 0;  // ticks since midnight
  int input = 0;
  uint8_t state = 0;  // the state byte as stored (0xC0 / 0x81 / 0-3 ...)
  uint16_t date = 0;  // 0: the interval's start date
};

class EventBytes {
 public:
  EventBytes(EventFileType type, uint16_t start_date, uint32_t start_time, uint16_t end_date,
             uint32_t end_time)
      : layout_(*FindEventLayout(type)), date_(start_date) {
    const char* line = layout_.headerLine;
    bytes_.assign(line, line + std::strlen(line));
    const size_t fixed = bytes_.size();
    bytes_.resize(fixed + 14 + static_cast<size_t>(InitialStateBlockSize(layout_)), 0);
    Put(fixed + 2, start_date, 2);
    Put(fixed + 4, start_time, 4);
    Put(fixed + 8, end_date, 2);
    Put(fixed + 10, end_time, 4);
    states_ = fixed + 14;
  }
  const EventLayout& layout() const { return layout_; }

  // Initial state of an input: a bit, or the byte's two bits in the KRV-583 family.
  void SetInitial(int input, int state) {
    if (layout_.stateBytes) {
      bytes_[states_ + static_cast<size_t>(input)] = static_cast<uint8_t>(state & 3);
    } else {
      uint8_t& b = bytes_[states_ + static_cast<size_t>(input / 8)];
      b = static_cast<uint8_t>(state ? (b | (1 << (input % 8))) : (b & ~(1 << (input % 8))));
    }
  }

  // The state byte that the plotter reads as on or off (or 0-3 for the KRV-583 family).
  uint8_t StateByte(int state) const {
    if (layout_.stateKind == StateKind::kTwoBits) return static_cast<uint8_t>(0x80 | (state & 3));
    if (state == 0) return 0x80;  // off, yet nonzero (a state byte 0 ends the data)
    return layout_.plotOnValue;
  }

  void Add(uint32_t time, int input, int state) { AddRaw({time, input, StateByte(state), 0}); }
  void AddRaw(const BuiltRecord& r) {
    const size_t at = bytes_.size();
    bytes_.resize(at + static_cast<size_t>(layout_.recordSize), 0);
    uint8_t* p = bytes_.data() + at;
    p[layout_.stateOffset] = r.state;
    for (int k = 0; k < layout_.timeBytes; ++k)
      p[layout_.timeOffsets[static_cast<size_t>(k)]] = static_cast<uint8_t>(r.time >> (8 * k));
    p[layout_.inputOffset] = static_cast<uint8_t>(r.input);
    if (layout_.inputBytes == 2) p[layout_.inputOffset + 1] = static_cast<uint8_t>(r.input >> 8);
    const uint16_t date = r.date ? r.date : date_;
    p[layout_.dateOffset] = static_cast<uint8_t>(date);
    p[layout_.dateOffset + 1] = static_cast<uint8_t>(date >> 8);
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  void Put(size_t at, uint32_t v, int n) {
    for (int k = 0; k < n; ++k)
      bytes_[at + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (8 * k));
  }
  const EventLayout& layout_;
  uint16_t date_;
  std::vector<uint8_t> bytes_;
  size_t states_ = 0;
};

}  // namespace zel::qplot::testing
