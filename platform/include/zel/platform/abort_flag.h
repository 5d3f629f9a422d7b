// The abort request shared by a user interface (or a signal, a dialog's Cancel) and the thread
// that talks to a recorder. Raising it also wakes a readiness wait on a line at once, so line
// waits need not wake every few milliseconds only to look at the flag.
#pragma once

#include <atomic>

namespace zel::platform {

class AbortFlag {
 public:
  AbortFlag();
  ~AbortFlag();
  AbortFlag(const AbortFlag&) = delete;
  AbortFlag& operator=(const AbortFlag&) = delete;

  // Non-zero raises the flag and wakes the waiting line; zero clears it.
  void store(int value);
  int load() const { return value_.load(); }
  AbortFlag& operator=(int value) {
    store(value);
    return *this;
  }

  // Waits until the flag is raised or `timeout_ms` has passed; true when it is raised.
  bool WaitFor(int timeout_ms) const;

  // The wake for line waits: a descriptor that becomes readable when the flag is raised (-1
  // when the system gave none; waits then fall back to short steps). A line wait that sees it
  // readable calls TakeWake() and looks at the flag.
  int wake_fd() const { return fd_; }
  void TakeWake() const;

 private:
  std::atomic<int> value_{0};
  int fd_ = -1;
};

}  // namespace zel::platform
