#include "zel/comm/abort_flag.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace zel::comm {

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

}  // namespace zel::comm
