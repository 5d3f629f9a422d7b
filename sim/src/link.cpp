#include "zel/sim/link.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace zel::sim {

FdLink::FdLink(int fd, bool owns, const std::atomic<bool>* stop)
    : fd_(fd), owns_(owns), stop_(stop) {}

FdLink::~FdLink() {
  if (owns_ && fd_ >= 0) ::close(fd_);
}

// Reads the pending inotify events; true when one of them is a close of the slave.
bool FdLink::CloseSeen() const {
  if (watch_ < 0) return false;
  bool seen = false;
  alignas(inotify_event) char buf[1024];
  for (;;) {
    pollfd p{watch_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return seen;
    ssize_t n = ::read(watch_, buf, sizeof buf);
    if (n <= 0) return seen;
    for (ssize_t off = 0; off < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buf + off);
      if (e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) seen = true;
      off += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
}

int FdLink::ReadByte(int timeout_ms) {
  if (pos_ < have_) return buf_[pos_++];
  if (closed_) return kClosed;
  if (CloseSeen()) {
    closed_ = true;
    return kClosed;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (stop_ && stop_->load()) {
      closed_ = true;
      return kClosed;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left < 0) left = 0;
    // Short slices so a stop request is seen quickly.
    pollfd p{fd_, POLLIN, 0};
    int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, watch_ >= 0 ? 10 : 50)));
    if (CloseSeen()) {
      // The port was closed (and maybe opened again): the line dropped. What the old user
      // left unread is gone with it.
      have_ = pos_ = 0;
      closed_ = true;
      return kClosed;
    }
    if (r < 0 && errno != EINTR) {
      closed_ = true;
      return kClosed;
    }
    if (r > 0) {
      if (p.revents & POLLIN) {
        ssize_t n = ::read(fd_, buf_, sizeof buf_);
        if (n > 0) {
          have_ = static_cast<size_t>(n);
          pos_ = 1;
          return buf_[0];
        }
        if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
          closed_ = true;
          return kClosed;
        }
      } else if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        closed_ = true;
        return kClosed;
      }
    }
    if (left == 0) return kTimeout;
  }
}

bool FdLink::Write(const uint8_t* data, size_t n) {
  if (closed_) return false;
  size_t done = 0;
  while (done < n) {
    // On a socket whose peer has gone, write() raises SIGPIPE and ends the whole process (a
    // test or a program that runs recorders inside itself); send() reports EPIPE instead.
    ssize_t w = ::send(fd_, data + done, n - done, MSG_NOSIGNAL);
    if (w < 0 && errno == ENOTSOCK) w = ::write(fd_, data + done, n - done);  // a pty master
    if (w > 0) {
      done += static_cast<size_t>(w);
      continue;
    }
    if (w < 0 && (errno == EINTR)) continue;
    if (w < 0 && errno == EAGAIN) {
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 50);
      if (stop_ && stop_->load()) return false;
      continue;
    }
    closed_ = true;
    return false;
  }
  return true;
}

bool FdLink::HungUp() const {
  if (CloseSeen()) return true;
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) != 0 && (p.revents & POLLIN) == 0;
}

void FdLink::Drain() {
  if (isatty(fd_)) ::tcdrain(fd_);
}

FaultyLink::FaultyLink(Link& inner, const FaultConfig& faults)
    : inner_(inner), faults_(faults), rng_(faults.seed) {}

void FaultyLink::PaceOne(Clock::time_point& next) {
  if (faults_.bytes_per_second <= 0) return;
  auto now = Clock::now();
  // Oversleeping one byte is made up by the next ones; a line idle for a while starts afresh.
  if (next < now - std::chrono::milliseconds(20)) next = now;
  if (next > now) std::this_thread::sleep_until(next);
  next += std::chrono::nanoseconds(1'000'000'000LL / faults_.bytes_per_second);
}

int FaultyLink::ReadByte(int timeout_ms) {
  if (cut_) return kClosed;
  int b = inner_.ReadByte(timeout_ms);
  if (b >= 0) {
    // A slow line hands over one byte per byte time, however fast the peer wrote.
    PaceOne(next_in_);
    std::lock_guard<std::mutex> lock(mu_);
    ++counts_.received;
  }
  return b;
}

bool FaultyLink::Write(const uint8_t* data, size_t n) {
  if (cut_) return false;
  const bool plain = faults_.corrupt_rate <= 0 && faults_.drop_rate <= 0 &&
                     faults_.disconnect_after < 0 && faults_.bytes_per_second <= 0;
  if (plain) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      counts_.sent += static_cast<long long>(n);
    }
    return inner_.Write(data, n);
  }
  for (size_t i = 0; i < n; ++i) {
    if (faults_.disconnect_after >= 0) {
      std::lock_guard<std::mutex> lock(mu_);
      if (counts_.sent >= faults_.disconnect_after) {
        cut_ = true;
        return false;
      }
    }
    uint8_t b = data[i];
    bool drop = false;
    {
      std::lock_guard<std::mutex> lock(mu_);
      ++counts_.sent;
      if (faults_.drop_rate > 0 && unit_(rng_) < faults_.drop_rate) {
        drop = true;
        ++counts_.dropped;
      } else if (faults_.corrupt_rate > 0 && unit_(rng_) < faults_.corrupt_rate) {
        // Never "corrupt" into the same value: flip at least one bit.
        b ^= static_cast<uint8_t>(1 + rng_() % 255);
        ++counts_.corrupted;
      }
    }
    PaceOne(next_out_);
    if (drop) continue;
    if (!inner_.Write(&b, 1)) return false;
  }
  if (faults_.disconnect_after >= 0) {
    std::lock_guard<std::mutex> lock(mu_);
    if (counts_.sent >= faults_.disconnect_after) cut_ = true;
  }
  return true;
}

FaultCounts FaultyLink::Counts() const {
  std::lock_guard<std::mutex> lock(mu_);
  return counts_;
}

}  // namespace zel::sim
