// Opening the line and bringing the recorder into its real-time report mode: connect, wake-up,
// password, "|" and "R". Runs on a worker thread; the window reads the phase as it goes.
#pragma once

#include <atomic>
#include <string>

#include "model/rtp_command_line.h"
#include "zel/comm/connection.h"

namespace zel::rtp {

// The recorder's waits during start-up, in milliseconds.
struct RtpWaits {
  int prompt_ms = 5000;    // "Enter password: " after the wake-up
  int quiet_ms = 4000;     // silence after the prompt
  int password_ms = 1000;  // the prompt coming back after the password (wrong password)
  int mode_ms = 2000;      // "?" after "|"
};

enum class RtpPhase {
  kIdle,
  kConnecting,
  kLoggingIn,
  kStreaming,      // "R" sent: the timer reads the stream
  kConnectFailed,  // OpenConnection gave a non-zero code
  kLoginFailed,    // no prompt, or the prompt came back after the password
  kNoModeAnswer,   // no "?" after "|"
};

// What the status bar says in a phase ("Connecting", "Logging in", "Streaming", "Login
// failed", "No answer to the mode request"; a failed connection gives the connection layer's
// sentence for `connect_code`).
std::string PhaseText(RtpPhase phase, int connect_code = 0);

inline constexpr char kWakeUp[] = "\x1b\x1b\x1b\x1b\x1b\x1bXY\x1b";  // 9 bytes
inline constexpr char kPasswordPrompt[] = "Enter password: ";

// Runs the start-up on `connection`, writing each phase to `phase` as it is reached; the
// result is the last phase (kStreaming on success). `connect_code` receives OpenConnection's
// result. A failed open closes the port again.
RtpPhase ConnectAndStartStream(comm::Connection& connection, const RtpCommandLine& line,
                               const std::string& password, const RtpWaits& waits,
                               std::atomic<RtpPhase>* phase, int* connect_code);

}  // namespace zel::rtp
