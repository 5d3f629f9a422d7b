// What the terminal does with the bytes it gets, without any I/O: typed keys go to the line
// (mapped) unless they start one of the Ctrl-A commands; the recorder's bytes go to the screen
// (mapped) with their escape sequences untouched; the capture file gets what the screen shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "line_map.h"

namespace zel::vantel {

inline constexpr uint8_t kEscapeKey = 0x01;  // Ctrl-A
// The recorder's wake-up: it answers with its password prompt.
inline constexpr std::string_view kWakeUp = "\x1bXY\x1b";

enum class Command {
  kNone,
  kQuit,        // Ctrl-A X: hang up and quit
  kHelp,        // Ctrl-A Ctrl-H: list the keys
  kToggleEcho,  // Ctrl-A Ctrl-C
  kToggleLog,   // Ctrl-A L
  kWake,        // Ctrl-A W: send the wake-up
  kUnknown,     // Ctrl-A and a key that means nothing
};

// The Ctrl-A key state machine: after Ctrl-A the next key is a command.
class EscapeKeys {
 public:
  struct Step {
    Command command = Command::kNone;
    std::string send;  // bytes for the line (a plain key, or Ctrl-A itself after Ctrl-A Ctrl-A)
  };
  Step Feed(uint8_t key);
  bool Pending() const { return pending_; }

 private:
  bool pending_ = false;
};

// The list Ctrl-A Ctrl-H shows (lines end in CR LF: the screen is in raw mode).
std::string KeysHelpText();

class TerminalSession {
 public:
  TerminalSession(LineMap in_map, LineMap out_map, bool echo)
      : inMap_(in_map), outMap_(out_map), echo_(echo) {}

  struct Output {
    std::string toLine;
    std::string toScreen;  // session bytes: received or echoed (also captured)
    std::string notice;    // the terminal's own messages (shown, not captured)
    bool quit = false;
    bool toggleLog = false;  // the caller opens or closes the capture and says so
  };
  // Keys typed by the person.
  Output Keyboard(std::string_view keys);
  // Bytes the recorder sent.
  std::string Received(std::string_view bytes) const { return inMap_.Apply(bytes); }

  bool echo() const { return echo_; }

 private:
  LineMap inMap_;
  LineMap outMap_;
  bool echo_;
  EscapeKeys keys_;
};

}  // namespace zel::vantel
