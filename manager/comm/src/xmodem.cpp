#include "zel/comm/xmodem.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "zel/comm/crc16.h"
#include "zel/platform/atomic_file.h"
#include "zel/platform/clock.h"

namespace zel::comm {
namespace {

using platform::MonotonicMs;

constexpr int kGetBlockAttempts = 5;
constexpr int kSendAttempts = 5;
constexpr int kEotAttempts = 5;
constexpr int kCancelCount = 3;

// Waits for readability until `deadline` (monotonic ms), in steps of at most the poll interval.
void WaitUntil(Connection& c, int selector, int64_t deadline) {
  const int64_t left = deadline - MonotonicMs();
  if (left <= 0) return;
  const int step = c.WaitStepMs();
  c.WaitReadable(selector, static_cast<int>(std::min<int64_t>(left, step)));
}

// One byte within `timeout_ms`, or -1 on a time-out.
int ReadTimed(Connection& c, int selector, int timeout_ms) {
  // Most bytes of a block are already waiting: only a wait needs the clock.
  int b = c.ReadByte(selector);
  if (b >= 0) return b;
  const int64_t deadline = MonotonicMs() + timeout_ms;
  for (;;) {
    // A cut line brings nothing more: fail now rather than after every time-out.
    if (c.LineGone()) return -1;
    WaitUntil(c, selector, deadline);
    b = c.ReadByte(selector);
    if (b >= 0) return b;
    if (MonotonicMs() >= deadline) return -1;
  }
}

void SendCancel(Connection& c, int selector) {
  for (int i = 0; i < kCancelCount; ++i) c.SendByte(selector, kCan);
}

class Receiver {
 public:
  Receiver(Connection& c, int selector) : c_(c), sel_(selector) {}

  // Start handshake: 'C' at once and every c interval until the first byte.
  bool Start() {
    c_.FlushInput(sel_);
    const Timings& t = c_.timings();
    const int64_t start = MonotonicMs();
    const int64_t deadline = start + t.xmodem_start_ms;
    int64_t next_c = start;
    for (;;) {
      const int64_t now = MonotonicMs();
      if (now >= next_c) {
        c_.SendByte(sel_, kCrcRequest);
        next_c = now + std::max(1, t.xmodem_c_interval_ms);
      }
      const int b = c_.ReadByte(sel_);
      if (b >= 0) {
        pending_ = b;
        return true;
      }
      if (MonotonicMs() >= deadline || c_.LineGone()) return false;
      WaitUntil(c_, sel_, std::min(deadline, next_c));
    }
  }

  // Reads one block for `expected`; fills block_ on kGood.
  BlockResult ReadBlock(uint8_t expected) {
    const int byte_ms = c_.timings().xmodem_byte_ms;
    auto next = [&]() -> int {
      if (pending_ >= 0) {
        const int b = pending_;
        pending_ = -1;
        return b;
      }
      return ReadTimed(c_, sel_, byte_ms);
    };
    auto nak = [&](BlockResult r) {
      c_.SendByte(sel_, kNak);
      return r;
    };
    // A damaged block: whatever is left of it (or of a repeat the sender already started) is
    // dropped until the line falls quiet, so the NAK asks for a fresh block and the leftover
    // bytes are never scanned for a header.
    // Never so long that the sender gives up waiting for our answer.
    const int settle_ms = std::max(1, std::min(c_.timings().xmodem_settle_ms, byte_ms / 4));
    const int repeat_gap_ms = std::max(1, settle_ms / 4);
    auto purge_nak = [&](BlockResult r) {
      const int64_t limit = MonotonicMs() + byte_ms;
      while (ReadTimed(c_, sel_, settle_ms) >= 0 && MonotonicMs() < limit) {
      }
      return nak(r);
    };
    // Anything else before a header is skipped, but for no longer than one byte time: a line
    // that babbles without ever sending a header must fail like a silent one.
    const int64_t header_deadline = MonotonicMs() + byte_ms;
    bool skipped = false;
    for (;;) {
      const int h = next();
      if (h < 0) return nak(BlockResult::kTimeout);
      if (h == kSoh) break;
      if (h == kEot && !skipped) {
        // The sender's EOT comes alone: it then waits for our answer. A 0x04 followed at once
        // by more bytes is the block number or data of a block whose header was lost, and must
        // not end the transfer with blocks missing.
        const int64_t eotUs = platform::MonotonicUs();
        const int after = ReadTimed(c_, sel_, settle_ms);
        if (after < 0) return BlockResult::kEot;
        // A sender that waits less than our settle time for the answer repeats its EOT after
        // that pause; the repeat confirms it. A second 0x04 close behind the first is data.
        if (after == kEot && platform::MonotonicUs() - eotUs >= int64_t{repeat_gap_ms} * 1000)
          return BlockResult::kEot;
        pending_ = after;
      } else if (h == kCan) {
        return BlockResult::kCan;
      }
      // An EOT among skipped bytes is data of a damaged block, never the end.
      skipped = true;
      if (MonotonicMs() >= header_deadline) return purge_nak(BlockResult::kTimeout);
    }
    const int num = next();
    if (num < 0) return nak(BlockResult::kTimeout);
    bool repeat = false;
    if (num == expected) {
    } else if (num == static_cast<uint8_t>(expected - 1)) {
      repeat = true;
    } else {
      return purge_nak(BlockResult::kBad);
    }
    const int cpl = next();
    if (cpl < 0) return nak(BlockResult::kTimeout);
    if (!repeat && static_cast<uint8_t>(~cpl) != expected) return purge_nak(BlockResult::kBad);
    uint16_t crc = 0;
    for (int i = 0; i < kXmodemBlockSize; ++i) {
      const int d = next();
      if (d < 0) return nak(BlockResult::kTimeout);
      block_[i] = static_cast<uint8_t>(d);
      crc = Crc16Update(crc, block_[i]);
    }
    const int hi = next();
    if (hi < 0) return nak(BlockResult::kTimeout);
    if (!repeat && hi != (crc >> 8)) return purge_nak(BlockResult::kTimeout);
    const int lo = next();
    if (lo < 0) return nak(BlockResult::kTimeout);
    if (repeat) return BlockResult::kRepeat;
    if (lo != (crc & 0xFF)) return purge_nak(BlockResult::kTimeout);
    return BlockResult::kGood;
  }

  BlockResult GetBlock(uint8_t expected) {
    bool repeat_seen = false;
    for (int attempt = 0; attempt < kGetBlockAttempts; ++attempt) {
      const BlockResult r = ReadBlock(expected);
      switch (r) {
        case BlockResult::kGood:
        case BlockResult::kEot:
        case BlockResult::kCan:
          return r;
        case BlockResult::kRepeat:
          // The sender did not hear our ACK of the previous block. The first repeat in this
          // call goes unanswered; later ones are acknowledged.
          if (repeat_seen) c_.SendByte(sel_, kAck);
          repeat_seen = true;
          break;
        case BlockResult::kTimeout:
        case BlockResult::kBad:
          break;
      }
      if (c_.LineGone()) break;
    }
    SendCancel(c_, sel_);
    return BlockResult::kBad;
  }

  const uint8_t* block() const { return block_; }

 private:
  Connection& c_;
  int sel_;
  int pending_ = -1;
  uint8_t block_[kXmodemBlockSize] = {};
};

// "disk full: cannot write FILE (No space left on device)", or "cannot write FILE: reason".
std::string FileErrorText(const std::filesystem::path& file, const std::string& reason) {
  for (int full : {ENOSPC, EDQUOT}) {
    if (reason.find(std::generic_category().message(full)) != std::string::npos) {
      return "disk full: cannot write " + file.string() + " (" + reason + ")";
    }
  }
  return "cannot write " + file.string() + ": " + reason;
}

// Receives blocks, handing each good one to `sink` (false from the sink fails the transfer).
template <typename Sink>
int ReceiveInto(Connection& c, int selector, const ReceiveLimits& limits, ReceiveReport& report,
                Sink&& sink) {
  report = ReceiveReport{};
  Receiver rx(c, selector);
  if (!rx.Start()) return 7;
  ConnectionObserver* progress = c.observer();
  if (progress) progress->OnTransferBlocks(0);
  uint8_t expected = 1;
  bool sink_ok = true;
  BlockResult r;
  for (;;) {
    r = rx.GetBlock(expected);
    if (r != BlockResult::kGood) break;
    if (report.bytes + kXmodemBlockSize > limits.maxBytes) {
      // A sender that does not stop: this block is not taken, and the sender is told to end.
      report.tooLong = true;
      SendCancel(c, selector);
      c.Drain(selector);
      return 7;
    }
    report.bytes += kXmodemBlockSize;
    if (progress) progress->OnTransferBlocks(static_cast<int>(report.bytes / kXmodemBlockSize));
    if (sink_ok) sink_ok = sink(rx.block());
    c.SendByte(selector, kAck);
    expected = static_cast<uint8_t>(expected + 1);
  }
  c.SendByte(selector, kAck);
  c.Drain(selector);
  if (r == BlockResult::kEot && report.bytes < limits.minBytes) {
    report.tooShort = true;
    return 7;
  }
  return (r == BlockResult::kEot && sink_ok) ? 0 : 7;
}

}  // namespace

std::vector<uint8_t> XmodemFrame(uint8_t block_number, const uint8_t* data, size_t n) {
  std::vector<uint8_t> f(kXmodemFrameSize, 0);
  f[0] = kSoh;
  f[1] = block_number;
  f[2] = static_cast<uint8_t>(255 - block_number);
  std::copy(data, data + std::min<size_t>(n, kXmodemBlockSize), f.begin() + 3);
  const uint16_t crc = Crc16Xmodem(f.data() + 3, kXmodemBlockSize);
  f[131] = static_cast<uint8_t>(crc >> 8);
  f[132] = static_cast<uint8_t>(crc & 0xFF);
  return f;
}

int XmodemReceiveBytes(Connection& c, int selector, std::vector<uint8_t>& data,
                       const ReceiveLimits& limits, ReceiveReport* report) {
  data.clear();
  ReceiveReport local;
  return ReceiveInto(c, selector, limits, report ? *report : local, [&](const uint8_t* b) {
    data.insert(data.end(), b, b + kXmodemBlockSize);
    return true;
  });
}

int XmodemReceive(Connection& c, int selector, const std::filesystem::path& target,
                  const ReceiveLimits& limits, ReceiveReport* report) {
  ReceiveReport local;
  // The received file takes the target's name only once complete and on the disk, so a crash
  // or a failed transfer leaves the old file or the complete new one.
  platform::AtomicFileWriter file(target);
  if (platform::WriteResult w = file.Open(); !w) {
    c.NoteFileError(FileErrorText(target, w.reason));
    return 7;
  }
  std::string writeError;  // why the file could not be written, for the person reading the log
  int result = ReceiveInto(c, selector, limits, report ? *report : local, [&](const uint8_t* b) {
    platform::WriteResult w =
        file.Write(std::string_view(reinterpret_cast<const char*>(b), kXmodemBlockSize));
    if (!w && writeError.empty()) writeError = w.reason;
    return w.ok;
  });
  if (!writeError.empty()) c.NoteFileError(FileErrorText(target, writeError));
  if (result != 0) return result;  // the writer removes its temporary file
  const int64_t syncStart = platform::MonotonicUs();
  const platform::WriteResult committed = file.Commit();
  if (ConnectionObserver* o = c.observer()) o->OnDiskSync(platform::MonotonicUs() - syncStart);
  if (!committed) c.NoteFileError(FileErrorText(target, committed.reason));
  return committed ? 0 : 7;
}

int XmodemSendBytes(Connection& c, int selector, const std::vector<uint8_t>& data) {
  const Timings& t = c.timings();

  // Wait for the receiver's 'C'.
  {
    const int64_t deadline = MonotonicMs() + t.xmodem_start_ms;
    for (;;) {
      const int b = c.ReadByte(selector);
      if (b == kCrcRequest) break;
      if (b == kNak || b == kCan) return 7;
      if (b < 0) {
        if (MonotonicMs() >= deadline || c.LineGone()) return 7;
        WaitUntil(c, selector, deadline);
      }
    }
  }

  // Answer to a block or an EOT: ACK, NAK, CAN, or -1 on a time-out; other bytes are ignored.
  auto answer = [&]() -> int {
    const int64_t deadline = MonotonicMs() + t.xmodem_byte_ms;
    for (;;) {
      const int b = c.ReadByte(selector);
      if (b == kAck || b == kNak || b == kCan) return b;
      if (b < 0) {
        if (MonotonicMs() >= deadline || c.LineGone()) return -1;
        WaitUntil(c, selector, deadline);
      }
    }
  };

  uint8_t number = 1;
  int sent = 0;
  if (ConnectionObserver* o = c.observer()) o->OnTransferBlocks(0);
  for (size_t off = 0; off < data.size(); off += kXmodemBlockSize) {
    const size_t n = std::min<size_t>(kXmodemBlockSize, data.size() - off);
    const std::vector<uint8_t> frame = XmodemFrame(number, data.data() + off, n);
    bool acked = false;
    bool cancelled = false;
    for (int attempt = 0; attempt < kSendAttempts && !acked && !cancelled; ++attempt) {
      c.SendBlock(selector, frame.data(), static_cast<int>(frame.size()));
      const int a = answer();
      if (a == kAck) acked = true;
      if (a == kCan) cancelled = true;
    }
    if (!acked) {
      // An EOT now would make the receiver keep a truncated file as complete: cancel instead.
      if (!cancelled) SendCancel(c, selector);
      c.Drain(selector);
      return 7;
    }
    number = static_cast<uint8_t>(number + 1);
    if (ConnectionObserver* o = c.observer()) o->OnTransferBlocks(++sent);
  }

  for (int attempt = 0; attempt < kEotAttempts; ++attempt) {
    c.SendByte(selector, kEot);
    const int a = answer();
    if (a == kAck) {
      c.Drain(selector);
      return 0;
    }
    if (a == kCan) break;
  }
  c.Drain(selector);
  return 7;
}

int XmodemSend(Connection& c, int selector, const std::filesystem::path& source) {
  std::ifstream in(source, std::ios::binary);
  if (!in) return 7;
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return 7;
  return XmodemSendBytes(c, selector, data);
}

}  // namespace zel::comm
