// A scripted peer for tests: one end of a socket pair is the Connection's line, the test drives
// the other end byte by byte.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zel/comm/connection.h"
#include "zel/comm/crc16.h"
#include "zel/comm/fd_transport.h"
#include "zel/comm/timings.h"

namespace zel::comm::testing {

// Short waits so failure paths take a fraction of a second.
inline Timings FastTimings() {
  Timings t;
  t.prompt_ms = 400;
  t.login_quiet_ms = 60;
  t.password_ms = 200;
  t.setup_quiet_ms = 60;
  t.upload_cc_ms = 400;
  t.query_prompt_ms = 300;
  t.xmodem_start_ms = 600;
  t.xmodem_c_interval_ms = 150;
  t.xmodem_byte_ms = 120;
  t.xmodem_poll_ms = 5;
  return t;
}

class ScriptedPeer {
 public:
  explicit ScriptedPeer(Connection& c) {
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) std::abort();
    fd_ = sv[1];
    c.Attach(std::make_unique<FdTransport>(sv[0]));
  }
  ~ScriptedPeer() {
    if (fd_ >= 0) ::close(fd_);
  }
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  void Write(const std::vector<uint8_t>& b) { WriteRaw(b.data(), b.size()); }
  void Write(std::string_view s) { WriteRaw(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
  void WriteByte(uint8_t b) { WriteRaw(&b, 1); }

  // The next byte within `timeout_ms`, or -1.
  int Read(int timeout_ms = 2000) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return -1;
    uint8_t b;
    return ::read(fd_, &b, 1) == 1 ? b : -1;
  }
  // Up to `n` bytes, each within `timeout_ms`.
  std::string ReadN(size_t n, int timeout_ms = 2000) {
    std::string s;
    while (s.size() < n) {
      const int b = Read(timeout_ms);
      if (b < 0) break;
      s.push_back(static_cast<char>(b));
    }
    return s;
  }
  // Everything until the line has been quiet for `quiet_ms`.
  std::string ReadUntilQuiet(int quiet_ms) {
    std::string s;
    for (int b; (b = Read(quiet_ms)) >= 0;) s.push_back(static_cast<char>(b));
    return s;
  }
  // Reads until `byte` arrives (true) or nothing came for `timeout_ms` (false).
  bool WaitFor(uint8_t byte, int timeout_ms = 2000) {
    for (int b; (b = Read(timeout_ms)) >= 0;) {
      if (b == byte) return true;
    }
    return false;
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  void WriteRaw(const uint8_t* d, size_t n) {
    while (n > 0) {
      const ssize_t w = ::write(fd_, d, n);
      if (w <= 0) return;
      d += w;
      n -= static_cast<size_t>(w);
    }
  }
  int fd_ = -1;
};

// A block framed by hand (independently of the code under test).
inline std::vector<uint8_t> Frame(uint8_t number, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> f{0x01, number, static_cast<uint8_t>(~number)};
  std::vector<uint8_t> d = data;
  d.resize(128, 0x1A);
  f.insert(f.end(), d.begin(), d.end());
  uint16_t crc = 0;
  for (uint8_t b : d) {
    crc ^= static_cast<uint16_t>(b << 8);
    for (int i = 0; i < 8; ++i) crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
  }
  f.push_back(static_cast<uint8_t>(crc >> 8));
  f.push_back(static_cast<uint8_t>(crc));
  return f;
}

inline std::vector<uint8_t> Pattern(size_t n, unsigned seed = 1) {
  std::vector<uint8_t> v(n);
  uint32_t x = seed * 2654435761u + 12345;
  for (auto& b : v) {
    x = x * 1103515245u + 12345;
    b = static_cast<uint8_t>(x >> 16);
  }
  return v;
}

// Peer side of a whole send: waits for 'C', sends `data` in blocks padded with 0x1A, expects ACK
// after each and after EOT. True when every answer was an ACK.
inline bool PeerSend(ScriptedPeer& p, const std::vector<uint8_t>& data) {
  if (!p.WaitFor('C')) return false;
  uint8_t n = 1;
  for (size_t off = 0; off < data.size(); off += 128, ++n) {
    std::vector<uint8_t> d(data.begin() + off, data.begin() + std::min(data.size(), off + 128));
    p.Write(Frame(n, d));
    if (p.Read() != 0x06) return false;
  }
  p.WriteByte(0x04);
  return p.Read() == 0x06;
}

// Peer side of a whole receive: sends 'C', reads blocks and ACKs them until EOT, which it ACKs.
// Returns the data, or false in `ok` on a malformed frame.
inline std::vector<uint8_t> PeerReceive(ScriptedPeer& p, bool& ok) {
  std::vector<uint8_t> out;
  ok = false;
  p.WriteByte('C');
  for (uint8_t expected = 1;; ++expected) {
    const int h = p.Read();
    if (h == 0x04) {
      p.WriteByte(0x06);
      ok = true;
      return out;
    }
    if (h != 0x01) return out;
    std::string rest = p.ReadN(132);
    if (rest.size() != 132) return out;
    std::vector<uint8_t> f{0x01};
    f.insert(f.end(), rest.begin(), rest.end());
    std::vector<uint8_t> d(f.begin() + 3, f.begin() + 131);
    if (f != Frame(expected, d)) return out;
    out.insert(out.end(), d.begin(), d.end());
    p.WriteByte(0x06);
  }
}

}  // namespace zel::comm::testing
