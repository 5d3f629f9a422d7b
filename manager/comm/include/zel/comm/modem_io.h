// Text I/O with a modem on a serial line: send a command, wait for one of several answers or
// for the line to fall silent. A wait is started, then advanced pass by pass (each pass waits
// for readiness at most one polling step) until it is idle; the result says which answer came.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zel/comm/abort_flag.h"
#include "zel/comm/transport.h"
#include "zel/platform/monotonic.h"

namespace zel::comm {

class ModemIo {
 public:
  // `abort_flag` (may be null) ends a running wait as a time-out when it becomes non-zero.
  // The waits' time comes from `clock` (the connection's; not owned).
  ModemIo(Transport& line, const AbortFlag* abort_flag, int poll_ms,
          const platform::MonotonicSource& clock = platform::SystemMonotonic());

  // Sends the text as it is; false when the line did not take it.
  bool Send(std::string_view text);

  // Starts waiting up to `timeout_ms` for one of the answers in `answers`, separated by '|'.
  void StartWait(std::string_view answers, int timeout_ms);
  // Starts waiting until nothing has arrived for `quiet_ms`, discarding what arrives.
  void StartQuiet(int quiet_ms);
  // One pass of the running wait; true while it is still running.
  bool Advance();
  // Result of the last wait: '0' + the index of the answer seen, or 0 on a time-out, on abort
  // and after a quiet wait.
  int Result() const { return result_; }

  // Starts and drives a wait until it is idle; returns Result().
  int WaitFor(std::string_view answers, int timeout_ms);
  void WaitQuiet(int quiet_ms);

 private:
  enum class Mode { kIdle, kText, kQuiet };
  bool Aborted() const { return abort_ != nullptr && abort_->load() != 0; }

  Transport& line_;
  const AbortFlag* abort_;
  int pollMs_;
  const platform::MonotonicSource& clock_;
  Mode mode_ = Mode::kIdle;
  std::vector<std::string> answers_;
  std::string recent_;  // the last bytes received, as many as the longest answer
  size_t keep_ = 0;
  int64_t deadline_ = 0;
  int quietMs_ = 0;
  int result_ = 0;
};

}  // namespace zel::comm
