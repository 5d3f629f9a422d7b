// The recorder's XMODEM-CRC: it sends event files and its setup database, and receives a new
// setup database. 128-byte blocks, CRC-16/XMODEM, no checksum mode.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "zel/sim/link.h"

namespace zel::sim {

uint16_t Crc16Xmodem(const uint8_t* data, size_t n);

// The recorder's own waits, before scaling (milliseconds).
struct XmodemTimes {
  int start_ms = 60000;       // sender: wait for the first 'C'
  int answer_ms = 10000;      // sender: wait for ACK/NAK of one block or of EOT
  int c_interval_ms = 3000;   // receiver: 'C' repeats
  int c_tries = 10;           // receiver: 'C' requests before giving up
  int byte_ms = 1000;         // receiver: one byte inside a block
  int block_wait_ms = 10000;  // receiver: the next block header
  int retries = 10;           // attempts per block / per EOT

  XmodemTimes Scaled(double factor) const;
};

enum class XmodemResult { kOk, kNoStart, kCancelled, kTooManyErrors, kLineGone, kTooLarge };
const char* XmodemResultText(XmodemResult r);

// Sender faults. After a block was acknowledged, send it again at this rate (seeded). Endless:
// after the data, blocks of filler follow until the receiver cancels, the line is lost or
// `stop` is raised; no EOT is ever sent. Drip: every byte of a block goes alone, `drip_ms`
// after the one before (a line that stays just inside the receiver's per-byte time-out).
struct SenderFaults {
  double rate = 0;
  std::mt19937* rng = nullptr;
  bool endless = false;
  int drip_ms = 0;
  const std::atomic<bool>* stop = nullptr;
};

struct XmodemStats {
  int blocks = 0;      // distinct blocks sent or stored
  int resent = 0;      // blocks sent again after NAK / timeout
  int duplicates = 0;  // blocks sent twice on purpose (fault) or received twice
  int naks = 0;
};

// Sends `data` (padded with 0x00 to a multiple of 128). An empty `data` sends EOT only.
// `padding` replaces 0x00 for the filler of the last block.
XmodemResult XmodemSend(Link& link, const std::vector<uint8_t>& data, const XmodemTimes& t,
                        SenderFaults dup = {}, XmodemStats* stats = nullptr,
                        uint8_t padding = 0x00);

// Receives into `out` (the sender's padding kept), at most `max_bytes`.
XmodemResult XmodemReceive(Link& link, std::vector<uint8_t>& out, const XmodemTimes& t,
                           size_t max_bytes, XmodemStats* stats = nullptr);

}  // namespace zel::sim
