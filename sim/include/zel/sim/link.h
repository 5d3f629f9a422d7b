// The recorder's end of a line: a byte stream with waits, and a wrapper that adds line faults
// (noise, lost bytes, a cut line) and the pace of a slow modem.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <random>
#include <string_view>

namespace zel::sim {

constexpr int kTimeout = -1;  // ReadByte: nothing arrived in time
constexpr int kClosed = -2;   // ReadByte: the line is gone (peer closed, hang-up, stop)

class Link {
 public:
  virtual ~Link() = default;
  // Waits up to `timeout_ms` for one byte: 0-255, kTimeout or kClosed.
  virtual int ReadByte(int timeout_ms) = 0;
  // Writes all bytes; false when the line is gone.
  virtual bool Write(const uint8_t* data, size_t n) = 0;
  virtual bool IsClosed() const = 0;
  // Waits until written bytes have left (tcdrain on a pty).
  virtual void Drain() {}

  bool Write(std::string_view text) {
    return Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
};

// A socket or a pty master. Does not own the descriptor unless `owns` is set.
class FdLink : public Link {
 public:
  FdLink(int fd, bool owns, const std::atomic<bool>* stop = nullptr);
  // A pty master: `close_watch` is an inotify descriptor watching the slave for closes, so a
  // program that closes the port and opens it again at once is still seen hanging up.
  void WatchCloses(int close_watch) { watch_ = close_watch; }
  ~FdLink() override;
  FdLink(const FdLink&) = delete;
  FdLink& operator=(const FdLink&) = delete;

  int ReadByte(int timeout_ms) override;
  bool Write(const uint8_t* data, size_t n) override;
  bool IsClosed() const override { return closed_; }
  void Drain() override;
  using Link::Write;

  // A pty master reports a hang-up while no one has the other end open; the next reader
  // may come. Clears the closed state so the line can be used again.
  void Reopen() { closed_ = false; }
  // True while the descriptor reports a hang-up (a pty with no one at the other end).
  bool HungUp() const;

 private:
  bool CloseSeen() const;

  int fd_;
  int watch_ = -1;
  bool owns_;
  const std::atomic<bool>* stop_;
  bool closed_ = false;
  uint8_t buf_[512];
  size_t have_ = 0;
  size_t pos_ = 0;
};

// Line faults of one recorder. Rates are per byte, 0 to 1.
struct FaultConfig {
  double corrupt_rate = 0;          // outgoing byte replaced by a different one
  double drop_rate = 0;             // outgoing byte lost
  long long disconnect_after = -1;  // the line is cut after this many outgoing bytes (-1 never)
  int bytes_per_second = 0;         // line speed, 0 = as fast as the transport goes
  unsigned seed = 1;
};

// Counts of what a FaultyLink did, for tests and the log.
struct FaultCounts {
  long long sent = 0;  // bytes offered by the recorder
  long long corrupted = 0;
  long long dropped = 0;
  long long received = 0;
};

class FaultyLink : public Link {
 public:
  FaultyLink(Link& inner, const FaultConfig& faults);

  int ReadByte(int timeout_ms) override;
  bool Write(const uint8_t* data, size_t n) override;
  bool IsClosed() const override { return cut_ || inner_.IsClosed(); }
  void Drain() override { inner_.Drain(); }
  using Link::Write;

  FaultCounts Counts() const;

 private:
  using Clock = std::chrono::steady_clock;
  void PaceOne(Clock::time_point& next);

  Link& inner_;
  FaultConfig faults_;
  std::mt19937 rng_;
  std::uniform_real_distribution<double> unit_{0.0, 1.0};
  bool cut_ = false;
  Clock::time_point next_out_{};
  Clock::time_point next_in_{};
  mutable std::mutex mu_;
  FaultCounts counts_;
};

}  // namespace zel::sim
