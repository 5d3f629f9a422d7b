#include "zel/sim/xmodem.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace zel::sim {
namespace {

constexpr uint8_t kSoh = 0x01;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kCan = 0x18;
constexpr uint8_t kCrcRequest = 'C';

using Steady = std::chrono::steady_clock;

int MsLeft(Steady::time_point deadline) {
  auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// Waits for one of the sender's answers until the deadline. Returns the byte, kTimeout or
// kClosed; two CANs in a row count as a cancel (returned as kCan).
int WaitAnswer(Link& link, int ms) {
  auto deadline = Steady::now() + std::chrono::milliseconds(ms);
  bool can_seen = false;
  for (;;) {
    int b = link.ReadByte(MsLeft(deadline));
    if (b == kClosed) return kClosed;
    if (b == kTimeout) return kTimeout;
    if (b == kAck || b == kNak) return b;
    if (b == kCan) {
      if (can_seen) return kCan;
      can_seen = true;
      continue;
    }
    can_seen = false;  // anything else is line noise
    if (MsLeft(deadline) == 0) return kTimeout;
  }
}

void Cancel(Link& link) {
  const uint8_t can[3] = {kCan, kCan, kCan};
  link.Write(can, 3);
}

}  // namespace

uint16_t Crc16Xmodem(const uint8_t* data, size_t n) {
  uint16_t crc = 0;
  for (size_t i = 0; i < n; ++i) {
    crc ^= static_cast<uint16_t>(data[i]) << 8;
    for (int k = 0; k < 8; ++k)
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<uint16_t>(crc << 1);
  }
  return crc;
}

XmodemTimes XmodemTimes::Scaled(double factor) const {
  XmodemTimes t = *this;
  auto s = [factor](int& v) { v = std::max(1, static_cast<int>(std::lround(v * factor))); };
  s(t.start_ms);
  s(t.answer_ms);
  s(t.c_interval_ms);
  s(t.byte_ms);
  s(t.block_wait_ms);
  return t;
}

const char* XmodemResultText(XmodemResult r) {
  switch (r) {
    case XmodemResult::kOk:
      return "transfer complete";
    case XmodemResult::kNoStart:
      return "the other side never started the transfer";
    case XmodemResult::kCancelled:
      return "the other side cancelled the transfer";
    case XmodemResult::kTooManyErrors:
      return "too many errors on one block";
    case XmodemResult::kLineGone:
      return "the line was lost";
    case XmodemResult::kTooLarge:
      return "the file is larger than the recorder accepts";
  }
  return "unknown";
}

XmodemResult XmodemSend(Link& link, const std::vector<uint8_t>& data, const XmodemTimes& t,
                        SenderFaults dup, XmodemStats* stats, uint8_t padding) {
  XmodemStats local;
  XmodemStats& st = stats ? *stats : local;
  // Start: only 'C' (CRC mode) starts; two CANs end it.
  {
    auto deadline = Steady::now() + std::chrono::milliseconds(t.start_ms);
    bool can_seen = false;
    for (;;) {
      int b = link.ReadByte(MsLeft(deadline));
      if (b == kClosed) return XmodemResult::kLineGone;
      if (b == kCrcRequest) break;
      if (b == kCan) {
        if (can_seen) return XmodemResult::kCancelled;
        can_seen = true;
      } else if (b >= 0) {
        can_seen = false;
      }
      if (b == kTimeout || MsLeft(deadline) == 0) return XmodemResult::kNoStart;
    }
  }
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  // A dripping line: each byte alone, a pause before the next.
  auto write_frame = [&](const uint8_t* frame, size_t n) {
    if (dup.drip_ms <= 0) return link.Write(frame, n);
    for (size_t i = 0; i < n; ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(dup.drip_ms));
      if (dup.stop && dup.stop->load()) return false;
      if (!link.Write(frame + i, 1)) return false;
    }
    return true;
  };
  uint8_t block_no = 1;
  for (size_t off = 0; off < data.size() || dup.endless; off += 128) {
    if (dup.stop && dup.stop->load()) return XmodemResult::kLineGone;
    uint8_t frame[133];
    frame[0] = kSoh;
    frame[1] = block_no;
    frame[2] = static_cast<uint8_t>(255 - block_no);
    size_t n = off < data.size() ? std::min<size_t>(128, data.size() - off) : 0;
    // Filler of an endless transfer: a pattern that is no record end mark.
    std::fill(frame + 3, frame + 131, off < data.size() ? padding : uint8_t{0xA5});
    if (n > 0)
      std::copy(data.begin() + static_cast<long>(off), data.begin() + static_cast<long>(off + n),
                frame + 3);
    uint16_t crc = Crc16Xmodem(frame + 3, 128);
    frame[131] = static_cast<uint8_t>(crc >> 8);
    frame[132] = static_cast<uint8_t>(crc & 0xFF);
    bool acked = false;
    for (int attempt = 0; attempt < t.retries && !acked; ++attempt) {
      if (attempt > 0) ++st.resent;
      if (!write_frame(frame, sizeof frame)) return XmodemResult::kLineGone;
      int a = WaitAnswer(link, t.answer_ms);
      if (a == kClosed) return XmodemResult::kLineGone;
      if (a == kCan) return XmodemResult::kCancelled;
      if (a == kAck) acked = true;
      if (a == kNak) ++st.naks;
    }
    if (!acked) {
      Cancel(link);
      return XmodemResult::kTooManyErrors;
    }
    ++st.blocks;
    if (dup.rate > 0 && dup.rng && unit(*dup.rng) < dup.rate) {
      // The same block once more, as a line that repeats a frame would deliver it. A receiver
      // may or may not answer a repeat; whatever it answers is read and dropped here.
      ++st.duplicates;
      if (!link.Write(frame, sizeof frame)) return XmodemResult::kLineGone;
      int a = WaitAnswer(link, std::max(1, t.answer_ms / 10));
      if (a == kClosed) return XmodemResult::kLineGone;
      if (a == kCan) return XmodemResult::kCancelled;
    }
    block_no = static_cast<uint8_t>(block_no + 1);
  }
  for (int attempt = 0; attempt < t.retries; ++attempt) {
    const uint8_t eot = kEot;
    if (!link.Write(&eot, 1)) return XmodemResult::kLineGone;
    int a = WaitAnswer(link, t.answer_ms);
    if (a == kClosed) return XmodemResult::kLineGone;
    if (a == kAck) {
      link.Drain();
      return XmodemResult::kOk;
    }
    if (a == kCan) return XmodemResult::kCancelled;
  }
  return XmodemResult::kTooManyErrors;
}

XmodemResult XmodemReceive(Link& link, std::vector<uint8_t>& out, const XmodemTimes& t,
                           size_t max_bytes, XmodemStats* stats) {
  XmodemStats local;
  XmodemStats& st = stats ? *stats : local;
  out.clear();
  // Start: 'C' now and again every interval until the first byte comes.
  int first = kTimeout;
  for (int tries = 0; tries < t.c_tries && first == kTimeout; ++tries) {
    const uint8_t c = kCrcRequest;
    if (!link.Write(&c, 1)) return XmodemResult::kLineGone;
    first = link.ReadByte(t.c_interval_ms);
  }
  if (first == kClosed) return XmodemResult::kLineGone;
  if (first == kTimeout) return XmodemResult::kNoStart;

  uint8_t expected = 1;
  int pending = first;
  int errors = 0;
  bool can_seen = false;
  auto nak = [&]() {
    ++st.naks;
    const uint8_t n = kNak;
    return link.Write(&n, 1);
  };
  // Reads and drops bytes until the line has been quiet for one byte time (resynchronise).
  auto purge = [&]() {
    for (int i = 0; i < 4096; ++i) {
      int b = link.ReadByte(t.byte_ms);
      if (b < 0) return b;
    }
    return kTimeout;
  };
  for (;;) {
    if (errors >= t.retries) {
      Cancel(link);
      return XmodemResult::kTooManyErrors;
    }
    int h = pending != kTimeout ? pending : link.ReadByte(t.block_wait_ms);
    pending = kTimeout;
    if (h == kClosed) return XmodemResult::kLineGone;
    if (h == kTimeout) {
      ++errors;
      if (!nak()) return XmodemResult::kLineGone;
      continue;
    }
    if (h == kEot) {
      const uint8_t a = kAck;
      if (!link.Write(&a, 1)) return XmodemResult::kLineGone;
      link.Drain();
      return XmodemResult::kOk;
    }
    if (h == kCan) {
      if (can_seen) return XmodemResult::kCancelled;
      can_seen = true;
      continue;
    }
    can_seen = false;
    if (h != kSoh) continue;  // noise between blocks
    uint8_t frame[132];
    bool short_read = false;
    for (size_t i = 0; i < sizeof frame; ++i) {
      int b = link.ReadByte(t.byte_ms);
      if (b == kClosed) return XmodemResult::kLineGone;
      if (b == kTimeout) {
        short_read = true;
        break;
      }
      frame[i] = static_cast<uint8_t>(b);
    }
    if (short_read) {
      ++errors;
      if (!nak()) return XmodemResult::kLineGone;
      continue;
    }
    const uint8_t num = frame[0];
    const bool numbers_ok = static_cast<uint8_t>(~frame[1]) == num;
    const uint16_t crc = Crc16Xmodem(frame + 2, 128);
    const bool crc_ok = frame[130] == (crc >> 8) && frame[131] == (crc & 0xFF);
    if (!numbers_ok || !crc_ok) {
      ++errors;
      if (purge() == kClosed) return XmodemResult::kLineGone;
      if (!nak()) return XmodemResult::kLineGone;
      continue;
    }
    if (num == static_cast<uint8_t>(expected - 1)) {
      // Our ACK was lost or the line repeated the block: acknowledge, store nothing.
      ++st.duplicates;
      const uint8_t a = kAck;
      if (!link.Write(&a, 1)) return XmodemResult::kLineGone;
      continue;
    }
    if (num != expected) {
      // Out of step: the transfer cannot be repaired.
      Cancel(link);
      return XmodemResult::kTooManyErrors;
    }
    if (out.size() + 128 > max_bytes) {
      Cancel(link);
      return XmodemResult::kTooLarge;
    }
    out.insert(out.end(), frame + 2, frame + 130);
    ++st.blocks;
    errors = 0;
    expected = static_cast<uint8_t>(expected + 1);
    const uint8_t a = kAck;
    if (!link.Write(&a, 1)) return XmodemResult::kLineGone;
  }
}

}  // namespace zel::sim
