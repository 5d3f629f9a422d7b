// A Transport over any connected file descriptor: a socket, a serial port, a pty or a pipe.
// Reads never wait (the descriptor is non-blocking and a small buffer holds what one read
// brought); readiness waits use poll().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "zel/comm/transport.h"

namespace zel::comm {

class FdTransport : public Transport {
 public:
  // Takes over `fd` (closes it at Close or destruction when `owned`) and makes it non-blocking.
  explicit FdTransport(int fd, bool owned = true);
  ~FdTransport() override;
  FdTransport(const FdTransport&) = delete;
  FdTransport& operator=(const FdTransport&) = delete;

  // Writes all bytes; waits for the line with poll(). Gives -1 on an error, on a closed
  // descriptor, or when the line takes no byte for write_stall_ms.
  int Write(const uint8_t* data, size_t n) override;
  int ReadByte() override;
  // Ends early, false, when the wake descriptor becomes readable.
  bool WaitReadable(int timeout_ms) override;
  bool SetWakeFd(int fd) override {
    wakeFd_ = fd;
    return true;
  }
  int64_t IoUs() const override { return ioUs_; }
  bool LineGone() const override { return hungUp_ && head_ >= tail_; }
  // On a terminal waits until the output queue is empty (at most drain_limit_ms); elsewhere a
  // no-op.
  void Drain() override;
  void Close() override;

  int fd() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  // True once the other end has gone (end of file, hang-up or a read error).
  bool HungUp() const { return hungUp_; }
  bool IsTerminal() const { return isTty_; }
  void SetWriteStallMs(int ms) { writeStallMs_ = ms; }
  void SetDrainLimitMs(int ms) { drainLimitMs_ = ms; }

 protected:
  // Called by Close before the descriptor is closed (serial ports clear their control line).
  virtual void BeforeClose() {}

 private:
  // Reads what is waiting into the buffer; returns true when the buffer holds a byte.
  bool Fill();

  enum class PollResult { kTimeout, kInterrupted, kLine, kWake };
  // One poll() of `fd_` (when `line`) and of the wake descriptor.
  PollResult PollOnce(bool line, int timeout_ms, short* revents);

  int fd_;
  int wakeFd_ = -1;
  bool owned_;
  bool isTty_ = false;
  bool isSocket_ = false;
  bool isPipe_ = false;
  bool hungUp_ = false;
  int writeStallMs_ = 30000;
  int drainLimitMs_ = 5000;
  std::array<uint8_t, 4096> buf_{};
  size_t head_ = 0;
  size_t tail_ = 0;
  int64_t ioUs_ = 0;
};

}  // namespace zel::comm
