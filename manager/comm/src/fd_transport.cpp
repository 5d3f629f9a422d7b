#include "zel/comm/fd_transport.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "zel/platform/clock.h"

namespace zel::comm {

using zel::platform::MonotonicMs;
using zel::platform::MonotonicUs;

namespace {

// A write to a pipe whose reader has gone raises SIGPIPE, which would end the process; block
// it for this write and take away the signal the write raised, so the caller sees EPIPE.
ssize_t WriteWithoutSigpipe(int fd, const void* data, size_t n) {
  sigset_t pipeSet, old, pending;
  sigemptyset(&pipeSet);
  sigaddset(&pipeSet, SIGPIPE);
  sigpending(&pending);
  const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
  pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
  ssize_t r = ::write(fd, data, n);
  int e = errno;
  if (r < 0 && e == EPIPE && !wasPending) {
    timespec zero{0, 0};
    sigtimedwait(&pipeSet, nullptr, &zero);
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = e;
  return r;
}

}  // namespace

FdTransport::FdTransport(int fd, bool owned) : fd_(fd), owned_(owned) {
  if (fd_ < 0) return;
  int flags = fcntl(fd_, F_GETFL);
  if (flags >= 0) fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
  isTty_ = isatty(fd_) == 1;
  struct stat st {};
  if (fstat(fd_, &st) == 0) {
    isSocket_ = S_ISSOCK(st.st_mode);
    isPipe_ = S_ISFIFO(st.st_mode);
  }
}

FdTransport::~FdTransport() {
  // BeforeClose of a derived class cannot run from here; derived destructors call Close.
  if (fd_ >= 0 && owned_) ::close(fd_);
  fd_ = -1;
}

int FdTransport::Write(const uint8_t* data, size_t n) {
  if (fd_ < 0) return -1;
  size_t done = 0;
  int64_t lastProgress = MonotonicMs();
  while (done < n) {
    const int64_t start = MonotonicUs();
    ssize_t w = isSocket_ ? ::send(fd_, data + done, n - done, MSG_NOSIGNAL)
                : isPipe_ ? WriteWithoutSigpipe(fd_, data + done, n - done)
                          : ::write(fd_, data + done, n - done);
    ioUs_ += MonotonicUs() - start;
    if (w > 0) {
      done += static_cast<size_t>(w);
      lastProgress = MonotonicMs();
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    int64_t left = lastProgress + writeStallMs_ - MonotonicMs();
    if (left <= 0) return -1;
    pollfd p{fd_, POLLOUT, 0};
    int r = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 1000)));
    if (r < 0 && errno != EINTR) return -1;
    if (r > 0 && (p.revents & (POLLERR | POLLNVAL))) return -1;
    if (r > 0 && (p.revents & POLLHUP) && !(p.revents & POLLOUT)) return -1;
  }
  return static_cast<int>(n);
}

bool FdTransport::Fill() {
  if (head_ < tail_) return true;
  head_ = tail_ = 0;
  if (fd_ < 0 || hungUp_) return false;
  for (;;) {
    const int64_t start = MonotonicUs();
    ssize_t r = ::read(fd_, buf_.data(), buf_.size());
    ioUs_ += MonotonicUs() - start;
    if (r > 0) {
      tail_ = static_cast<size_t>(r);
      return true;
    }
    if (r < 0 && errno == EINTR) continue;
    // A terminal in raw mode answers 0 when nothing is waiting; only elsewhere is 0 the end.
    if ((r == 0 && !isTty_) || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) hungUp_ = true;
    return false;
  }
}

int FdTransport::ReadByte() {
  if (!Fill()) return -1;
  return buf_[head_++];
}

bool FdTransport::WaitReadable(int timeout_ms) {
  // Bytes already read wait in the buffer; otherwise poll first, since callers come here
  // after a read found nothing.
  if (head_ < tail_) return true;
  if (timeout_ms < 0) timeout_ms = 0;
  const int64_t deadline = MonotonicMs() + timeout_ms;
  for (;;) {
    const int left = static_cast<int>(std::max<int64_t>(0, deadline - MonotonicMs()));
    // Nothing can arrive any more on a closed or hung-up line: the caller's time passes
    // without spinning (a wake still ends it).
    const bool line = fd_ >= 0 && !hungUp_;
    short revents = 0;
    switch (PollOnce(line, left, &revents)) {
      case PollResult::kTimeout:
      case PollResult::kWake:
        return false;
      case PollResult::kInterrupted:
        break;
      case PollResult::kLine:
        if (Fill()) return true;
        // Readiness without data is an end of file or a hang-up (Fill marked it); otherwise
        // a spurious wake-up, so wait out the rest.
        if (revents & (POLLHUP | POLLERR | POLLNVAL)) hungUp_ = true;
        break;
    }
    if (deadline - MonotonicMs() <= 0) return false;
  }
}

FdTransport::PollResult FdTransport::PollOnce(bool line, int timeout_ms, short* revents) {
  pollfd p[2];
  nfds_t n = 0;
  if (line) p[n++] = pollfd{fd_, POLLIN, 0};
  const nfds_t wake = n;
  if (wakeFd_ >= 0) p[n++] = pollfd{wakeFd_, POLLIN, 0};
  const int r = ::poll(n ? p : nullptr, n, timeout_ms);
  if (r == 0) return PollResult::kTimeout;
  if (r < 0) return errno == EINTR ? PollResult::kInterrupted : PollResult::kTimeout;
  if (wake < n && (p[wake].revents & POLLIN)) {
    // The abort flag was raised: take the wake so later waits sleep again (their loops look
    // at the flag before they wait).
    uint64_t count;
    [[maybe_unused]] ssize_t got = ::read(wakeFd_, &count, sizeof count);
    return PollResult::kWake;
  }
  if (!line) return PollResult::kInterrupted;
  *revents = p[0].revents;
  return PollResult::kLine;
}

void FdTransport::Drain() {
  if (fd_ < 0 || !isTty_) return;
  int64_t deadline = MonotonicMs() + drainLimitMs_;
  for (;;) {
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) {
      ::tcdrain(fd_);
      return;
    }
    if (queued <= 0) return;
    if (MonotonicMs() >= deadline) {
      // The line does not take the bytes (a handshake line held off): give them up rather
      // than block the caller for ever.
      ::tcflush(fd_, TCOFLUSH);
      return;
    }
    ::poll(nullptr, 0, 1);
  }
}

void FdTransport::Close() {
  if (fd_ < 0) return;
  BeforeClose();
  if (owned_) ::close(fd_);
  fd_ = -1;
  head_ = tail_ = 0;
}

}  // namespace zel::comm
