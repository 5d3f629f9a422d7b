// What the simulated recorder knows about its own model: input counts, the layout of the event
// file it writes, its time unit and its live and real-time streams. One row per model.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zel::sim {

enum class TimeField { k32, k24, kSplit24 };        // 32-bit, 24-bit run, lo/mid/hi bytes apart
enum class StateCoding { kBit6, kBit0, kTwoBits };  // where the record keeps the new state

struct FileLayout {
  const char* header_line;  // with its line feed
  int ticks_per_second;     // 1000, 100 or 10
  int n_inputs;             // inputs in the initial-state block
  int record_size;
  bool state_bytes;  // initial state one byte per input (else one bit)
  StateCoding coding;
  int state_at;
  TimeField time_kind;
  int time_at;      // k32 / k24: first byte; kSplit24: lo
  int time_mid_at;  // kSplit24 only
  int time_hi_at;   // kSplit24 only
  int input_at;
  int input_width;  // 1 or 2
  int signs_at;     // -1: sign bits in the state byte (bits 0-3); -2: no signs
  int signs_width;  // 1 or 2
  int values_at;    // -1: none
  int value_count;
  int special_at;  // -1: none
  int spare_at;
  int date_at;

  int LineLength() const;
  int StateBlockBytes() const { return state_bytes ? n_inputs : (n_inputs + 7) / 8; }
  int FirstRecordOffset() const { return LineLength() + 14 + StateBlockBytes(); }
};

struct SimModel {
  int type;
  int digital;
  int analog;
  int virtuals;
  int timers;
  int flash_details;
  int systems;
  bool three_state;  // live states 0-3 and real-time state 2 (flashing)
  const FileLayout* layout;

  int Positions() const { return digital + analog + virtuals; }
  int FirstTimer() const { return Positions(); }
  int FirstSystem() const { return Positions() + timers + flash_details; }
  int InputCount() const { return FirstSystem() + systems; }
};

// The row of model type 0-16 or 18; nullptr for 17 and anything unknown.
const SimModel* FindSimModel(int type);

// Civil dates of the recorder clock (proleptic Gregorian).
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);
bool ValidDate(int year, int month, int day);

// Packed date: day bits 0-4, month bits 5-8, year modulo 100 bits 9-15.
uint16_t PackDate(int year, int month, int day);

// One logged event, before it is laid out.
struct SimEvent {
  int64_t when_ms;      // recorder clock, ms since 1 Jan 1970 (local civil time)
  int input;            // input number
  int state;            // 0 off, 1 on; 2 coding (three-state models only)
  int16_t special = 0;  // timer duration (tenths), speed, correction ...
  int values[16] = {};  // analog snapshot, -256..255
};

// Writes one event file: header line, fixed header, initial states, records.
std::vector<uint8_t> BuildEventFile(const SimModel& model, int64_t start_ms, int64_t end_ms,
                                    const std::vector<uint8_t>& initial_states,
                                    const std::vector<SimEvent>& events);

}  // namespace zel::sim
