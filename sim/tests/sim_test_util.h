// Test-side peers of the simulator: a raw client on a socket or pty, and a small XMODEM-CRC
// receiver and sender written independently of the simulator's own.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace simtest {

class Client {
 public:
  Client() = default;
  explicit Client(int fd) : fd_(fd) {}
  ~Client() { Close(); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  Client(Client&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  Client& operator=(Client&& o) noexcept {
    if (this != &o) {
      Close();
      fd_ = o.fd_;
      o.fd_ = -1;
    }
    return *this;
  }

  static Client Tcp(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd);
      return Client(-1);
    }
    return Client(fd);
  }

  static Client Serial(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return Client(-1);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    return Client(fd);
  }

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool Send(const std::string& s) {
    return Send(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  }
  bool Send(const uint8_t* p, size_t n) {
    size_t done = 0;
    while (done < n) {
      ssize_t w = ::write(fd_, p + done, n - done);
      if (w <= 0) return false;
      done += static_cast<size_t>(w);
    }
    return true;
  }
  bool SendByte(uint8_t b) { return Send(&b, 1); }

  // One byte within timeout: 0-255, -1 timeout, -2 closed.
  int ReadByte(int timeout_ms) {
    pollfd p{fd_, POLLIN, 0};
    int r = ::poll(&p, 1, timeout_ms);
    if (r <= 0) return -1;
    uint8_t b;
    ssize_t n = ::read(fd_, &b, 1);
    if (n == 1) return b;
    return -2;
  }

  // Reads until `needle` has arrived (true) or the time is up / the line closed (false).
  // Everything read is appended to `seen`.
  bool WaitFor(const std::string& needle, int timeout_ms, std::string* seen = nullptr) {
    std::string local;
    std::string& s = seen ? *seen : local;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    const size_t from = s.size();
    while (std::chrono::steady_clock::now() < end) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      end - std::chrono::steady_clock::now())
                                      .count());
      int b = ReadByte(std::max(1, left));
      if (b == -2) return false;
      if (b < 0) continue;
      s.push_back(static_cast<char>(b));
      if (s.size() - from >= needle.size() &&
          s.compare(s.size() - needle.size(), needle.size(), needle) == 0)
        return true;
    }
    return false;
  }

  // Everything that arrives until the line has been quiet for `quiet_ms` (bounded by max_ms).
  std::string ReadQuiet(int quiet_ms, int max_ms = 5000) {
    std::string s;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(max_ms);
    while (std::chrono::steady_clock::now() < end) {
      int b = ReadByte(quiet_ms);
      if (b < 0) break;
      s.push_back(static_cast<char>(b));
    }
    return s;
  }

 private:
  int fd_ = -1;
};

inline uint16_t TestCrc(const uint8_t* d, size_t n) {
  // Table-free CRC-16/XMODEM, bit by bit from the top.
  uint32_t crc = 0;
  for (size_t i = 0; i < n; ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool in = ((d[i] >> bit) & 1) != 0;
      const bool top = (crc & 0x8000) != 0;
      crc = (crc << 1) & 0xFFFF;
      if (in != top) crc ^= 0x1021;
    }
  }
  return static_cast<uint16_t>(crc);
}

struct ReceiveOptions {
  int nak_every = 0;      // NAK the first arrival of every block whose number % nak_every == 0
  int timeout_ms = 3000;  // per byte
  int c_tries = 5;
};

struct ReceiveResult {
  bool ok = false;
  bool empty = false;  // EOT as the first byte
  std::vector<uint8_t> data;
  int duplicates = 0;
  int naks_sent = 0;
  std::string error;
};

inline ReceiveResult TestReceive(Client& c, const ReceiveOptions& o = {}) {
  ReceiveResult r;
  int b = -1;
  for (int i = 0; i < o.c_tries && b < 0; ++i) {
    c.SendByte('C');
    b = c.ReadByte(o.timeout_ms);
  }
  if (b < 0) {
    r.error = "no answer to C";
    return r;
  }
  int expected = 1;
  bool first = true;
  std::vector<int> nakked;
  int silent = 0;
  for (int guard = 0; guard < 100000; ++guard) {
    if (b == 0x04) {
      c.SendByte(0x06);
      r.ok = true;
      r.empty = first;
      return r;
    }
    if (b != 0x01) {
      // Noise where a header should be: skip it; silence: ask again.
      if (b < 0) {
        if (++silent > 5) {
          r.error = "no next block";
          return r;
        }
        c.SendByte(0x15);
        ++r.naks_sent;
      }
      b = c.ReadByte(o.timeout_ms);
      continue;
    }
    silent = 0;
    first = false;
    uint8_t f[132];
    bool cut = false;
    for (size_t i = 0; i < sizeof f && !cut; ++i) {
      int x = c.ReadByte(o.timeout_ms);
      if (x < 0)
        cut = true;
      else
        f[i] = static_cast<uint8_t>(x);
    }
    const uint16_t crc = cut ? 0 : TestCrc(f + 2, 128);
    if (cut || static_cast<uint8_t>(f[0] + f[1]) != 0xFF || f[130] != (crc >> 8) ||
        f[131] != (crc & 0xFF)) {
      c.ReadQuiet(50);  // let the rest of a damaged block pass
      c.SendByte(0x15);
      ++r.naks_sent;
    } else if (f[0] == static_cast<uint8_t>(expected - 1)) {
      ++r.duplicates;
      c.SendByte(0x06);
    } else if (f[0] != static_cast<uint8_t>(expected)) {
      r.error = "block out of order";
      return r;
    } else if (o.nak_every > 0 && expected % o.nak_every == 0 &&
               std::find(nakked.begin(), nakked.end(), expected) == nakked.end()) {
      nakked.push_back(expected);
      c.SendByte(0x15);
      ++r.naks_sent;
    } else {
      r.data.insert(r.data.end(), f + 2, f + 130);
      ++expected;
      c.SendByte(0x06);
    }
    b = c.ReadByte(o.timeout_ms);
  }
  r.error = "too many blocks";
  return r;
}

// Sends `data` in 128-byte blocks (0x1A padding) after the first 'C'; `corrupt_first` sends a
// bad CRC on the first attempt of block 1, `duplicate` sends block 1 twice.
struct SendOptions {
  bool corrupt_first = false;
  bool duplicate = false;
  int timeout_ms = 3000;
};

inline bool TestSend(Client& c, const std::vector<uint8_t>& data, const SendOptions& o = {}) {
  int b;
  do {
    b = c.ReadByte(o.timeout_ms);
  } while (b >= 0 && b != 'C');
  if (b != 'C') return false;
  uint8_t num = 1;
  for (size_t off = 0; off < data.size(); off += 128, ++num) {
    uint8_t f[133];
    f[0] = 0x01;
    f[1] = num;
    f[2] = static_cast<uint8_t>(~num);
    for (size_t i = 0; i < 128; ++i) f[3 + i] = off + i < data.size() ? data[off + i] : 0x1A;
    const uint16_t crc = TestCrc(f + 3, 128);
    f[131] = static_cast<uint8_t>(crc >> 8);
    f[132] = static_cast<uint8_t>(crc & 0xFF);
    bool acked = false;
    for (int attempt = 0; attempt < 5 && !acked; ++attempt) {
      uint8_t g[133];
      std::copy(f, f + 133, g);
      if (o.corrupt_first && num == 1 && attempt == 0) g[50] ^= 0xFF;
      c.Send(g, 133);
      int a;
      do {
        a = c.ReadByte(o.timeout_ms);
      } while (a == 'C');
      if (a == 0x06)
        acked = true;
      else if (a == 0x18 || a < 0)
        return false;
    }
    if (!acked) return false;
    if (o.duplicate && num == 1) {
      c.Send(f, 133);
      if (c.ReadByte(o.timeout_ms) != 0x06) return false;
    }
  }
  for (int i = 0; i < 5; ++i) {
    c.SendByte(0x04);
    if (c.ReadByte(o.timeout_ms) == 0x06) return true;
  }
  return false;
}

}  // namespace simtest
