// An emulated Hayes modem in front of the simulated recorders: it answers AT commands with
// "OK", dials by its dial plan, and after "CONNECT" hands the line to the dialled recorder.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "zel/sim/link.h"
#include "zel/sim/recorder.h"

namespace zel::sim {

struct DialEntry {
  enum class Kind { kRecorder, kBusy, kNoCarrier, kNoAnswer };
  std::string number;  // digits as dialled (other characters are ignored when matching)
  Kind kind = Kind::kRecorder;
  Recorder* recorder = nullptr;
};

// Digits of a dial string ("9,555-1234" -> "95551234").
std::string DialDigits(const std::string& text);

class Modem {
 public:
  Modem(std::vector<DialEntry> plan, double scale);

  // Drives one line until `stop`. On a pty, a hang-up of the other end (the port closed)
  // drops the call; the modem then waits for the port to be opened again.
  void Serve(FdLink& line, const std::atomic<bool>& stop, bool reopenable);

  // The entry a dial string reaches: an exact match of the digits, else the longest number
  // the dialled digits end with (a dial prefix ahead of the number); nullptr when none.
  const DialEntry* Lookup(const std::string& dialled) const;

  int calls() const { return calls_.load(); }

 private:
  // Returns false when the line is gone.
  bool Command(FdLink& line, const std::string& cmd, const std::atomic<bool>& stop);
  bool Say(FdLink& line, const std::string& text);
  int Ms(int ms) const;

  std::vector<DialEntry> plan_;
  double scale_;
  bool echo_ = false;
  std::atomic<int> calls_{0};
};

}  // namespace zel::sim
