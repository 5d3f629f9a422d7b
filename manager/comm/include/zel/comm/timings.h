// Every wait on a recorder, in milliseconds. Production uses the defaults; tests and zelsim use
// a scaled copy so an end-to-end poll runs in well under a second.
#pragma once

#include <algorithm>
#include <cmath>

namespace zel::comm {

struct Timings {
  // Connection layer
  int modem_ok_ms = 5000;    // modem answers "OK" to the init string
  int dial_ms = 60000;       // BUSY / NO CARRIER / CONNECT after dialling
  int dialog_tick_ms = 100;  // Connecting dialog watches its worker
  int connect_ms = 30000;    // a TCP connect completing
  // Recorder protocol
  int prompt_ms = 30000;        // "Enter password: " after the wake-up
  int login_quiet_ms = 4000;    // silence after the prompt
  int password_ms = 5000;       // the prompt coming back after the password
  int setup_quiet_ms = 3000;    // silence around setup transfers
  int upload_cc_ms = 30000;     // "CC" after "Y"
  int query_prompt_ms = 30000;  // "?" after "|"
  // XMODEM
  int xmodem_start_ms = 60000;      // first byte / first 'C'
  int xmodem_c_interval_ms = 5000;  // receiver repeats 'C'
  int xmodem_byte_ms = 15000;       // one byte inside a block, one answer to a block or EOT
  int xmodem_poll_ms = 5;           // longest single readiness wait on a line that cannot be woken
  int wake_poll_ms = 1000;          // the same where raising the abort flag wakes the line
  int xmodem_settle_ms = 1000;      // quiet that confirms an EOT, and ends a purge before a NAK
  // Largest event file a transfer may bring (a recorder that sends without end would fill the
  // disk). Not a wait, but scaled with them so tests reach it quickly; never below 64 KiB.
  long long event_file_max_bytes = 64LL << 20;

  // A copy with every wait multiplied by `factor` (at least 1 ms each).
  Timings Scaled(double factor) const {
    Timings t = *this;
    auto s = [factor](int& v) { v = std::max(1, static_cast<int>(std::lround(v * factor))); };
    s(t.modem_ok_ms);
    s(t.dial_ms);
    s(t.dialog_tick_ms);
    s(t.connect_ms);
    s(t.prompt_ms);
    s(t.login_quiet_ms);
    s(t.password_ms);
    s(t.setup_quiet_ms);
    s(t.upload_cc_ms);
    s(t.query_prompt_ms);
    s(t.xmodem_start_ms);
    s(t.xmodem_c_interval_ms);
    s(t.xmodem_byte_ms);
    s(t.xmodem_poll_ms);
    s(t.wake_poll_ms);
    s(t.xmodem_settle_ms);
    t.event_file_max_bytes = std::min(
        event_file_max_bytes,
        std::max(64LL << 10, static_cast<long long>(std::llround(event_file_max_bytes * factor))));
    return t;
  }
};

}  // namespace zel::comm
