// The terminal's talk with a modem before the recorder answers: the initialisation, the dial
// command, and every answer the modem gives shown to the person as it arrives.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "zel/comm/transport.h"

namespace zel::vantel {

enum class DialResult {
  kConnected,
  kNoModem,    // no "OK" to the initialisation
  kInitError,  // "ERROR" to the initialisation
  kBusy,
  kNoCarrier,
  kNoDialtone,
  kNoAnswer,
  kDialError,  // "ERROR" to the dial command
  kNoConnect,  // no answer to the dial command in time
  kCancelled,
  kLineGone,
};

struct ModemDialog {
  comm::Transport& line;
  std::function<void(std::string_view)> show;  // the modem's bytes, as they arrive
  std::function<bool()> cancelled;             // checked between waits
  int okMs = 5000;
  int dialMs = 60000;
  int stepMs = 100;
};

// Sends `text`, then waits up to `timeout_ms` for one of `answers`; the index of the one seen,
// -1 on a time-out, -2 when cancelled, -3 when the line went away or refused the text.
int SendAndWait(ModemDialog& d, std::string_view text, const std::vector<std::string>& answers,
                int timeout_ms);

// Initialises ("\r" init "\r", or "\rAT\r" when `init` is empty), calls `after_ok` (the caller
// switches the handshake), dials "ATDT" `number` "\r" and waits for the modem's verdict.
DialResult Dial(ModemDialog& d, const std::string& init, const std::string& number,
                const std::function<void()>& after_ok = {});

// One sentence for a failed dial (exit message).
std::string DialResultText(DialResult r);

}  // namespace zel::vantel
