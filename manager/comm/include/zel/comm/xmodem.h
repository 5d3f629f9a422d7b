// API-STABLE
// XMODEM-CRC transfer with a recorder: 133-byte blocks (SOH, number, 255 - number, 128 data
// bytes, CRC-16 high byte first), 128-byte blocks only. Both directions return a poll result
// code: 0 success, 7 transfer failure. Neither reads the abort flag: a transfer runs until it
// ends or times out. All waits come from the connection's Timings and are readiness waits.
#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "zel/comm/connection.h"

namespace zel::comm {

constexpr uint8_t kSoh = 0x01;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kCan = 0x18;
constexpr uint8_t kCrcRequest = 'C';
constexpr int kXmodemBlockSize = 128;
constexpr int kXmodemFrameSize = 133;

// Outcomes of reading one block.
enum class BlockResult : int {
  kGood = 0,     // a new block, acknowledged by the caller
  kTimeout = 1,  // a byte did not come in time, or a CRC byte was wrong (NAK sent)
  kBad = 2,      // wrong block number or complement (NAK sent); or five failed attempts
  kEot = 3,
  kCan = 4,
  kRepeat = 5,  // the previous block once more
};

// One framed block: SOH, number, complement, the data (zero-padded to 128), CRC.
std::vector<uint8_t> XmodemFrame(uint8_t block_number, const uint8_t* data, size_t n);

// Bounds of a received file. A block that would take it past `maxBytes` is not acknowledged:
// the transfer is cancelled (CAN CAN CAN) and fails. A transfer that ends with fewer than
// `minBytes` fails as well; nothing of it is kept.
struct ReceiveLimits {
  std::size_t minBytes = 0;
  std::size_t maxBytes = std::numeric_limits<std::size_t>::max();
};

// What a receive found, for a caller that says why it failed.
struct ReceiveReport {
  std::size_t bytes = 0;  // good blocks received, 128 bytes each
  bool tooShort = false;  // ended below minBytes
  bool tooLong = false;   // cancelled at maxBytes
};

// Receives into memory. `data` gets every good block whole (a multiple of 128 bytes, with the
// sender's padding). 0 when the transfer ended with EOT, else 7.
int XmodemReceiveBytes(Connection& c, int selector, std::vector<uint8_t>& data,
                       const ReceiveLimits& limits = {}, ReceiveReport* report = nullptr);

// Receives one file. The data lands in a temporary file beside `target` that is renamed over
// `target` only when the transfer succeeded within `limits`; a failed transfer leaves an
// existing `target` exactly as it was and no temporary file behind. 0 or 7.
int XmodemReceive(Connection& c, int selector, const std::filesystem::path& target,
                  const ReceiveLimits& limits = {}, ReceiveReport* report = nullptr);

// Sends bytes; the last block is padded with 0x00. An empty input sends only EOT. 0 or 7.
int XmodemSendBytes(Connection& c, int selector, const std::vector<uint8_t>& data);

// Sends one file; 7 when it cannot be read.
int XmodemSend(Connection& c, int selector, const std::filesystem::path& source);

}  // namespace zel::comm
