#include "zel/platform/abort_flag.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

#include "zel/platform/clock.h"

namespace zel::platform {

AbortFlag::AbortFlag() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

AbortFlag::~AbortFlag() {
  if (fd_ >= 0) ::close(fd_);
}

void AbortFlag::store(int value) {
  value_.store(value);
  if (fd_ < 0) return;
  if (value != 0) {
    const uint64_t one = 1;
    // Only fails when the counter is full, and then the descriptor is readable anyway.
    [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
  } else {
    TakeWake();
  }
}

void AbortFlag::TakeWake() const {
  if (fd_ < 0) return;
  uint64_t count;
  [[maybe_unused]] ssize_t n = ::read(fd_, &count, sizeof count);
}

bool AbortFlag::WaitFor(int timeout_ms) const {
  const int64_t end = MonotonicMs() + std::max(0, timeout_ms);
  for (;;) {
    if (load() != 0) return true;
    const int64_t left = end - MonotonicMs();
    if (left <= 0) return false;
    if (fd_ < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(left, 20)));
      continue;
    }
    // The wake is left for the line waits to take; the flag itself is what this wait reports.
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 1000)));
    if (r > 0 && load() == 0) TakeWake();  // a stale wake of a flag raised and cleared
    if (r < 0 && errno != EINTR) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(left, 20)));
    }
  }
}

}  // namespace zel::platform
