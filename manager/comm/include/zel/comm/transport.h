// A byte stream to a recorder: a TCP socket, a serial port (termios) or a pty.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::comm {

class Transport {
 public:
  virtual ~Transport() = default;
  // Writes all `n` bytes (waiting for the line as needed); returns n, or -1 on an error.
  virtual int Write(const uint8_t* data, size_t n) = 0;
  // The next received byte 0-255, or -1 when none is waiting. Never waits.
  virtual int ReadByte() = 0;
  // Waits until a byte can be read or `timeout_ms` has passed; true when one can be read.
  virtual bool WaitReadable(int timeout_ms) = 0;
  // Waits until everything written has left (tcdrain on a serial line).
  virtual void Drain() {}
  // Also ends WaitReadable early when `fd` (an eventfd) becomes readable, taking its count.
  // False when this kind of line cannot watch one.
  virtual bool SetWakeFd(int fd) {
    (void)fd;
    return false;
  }
  // True once the other end has gone (end of file, hang-up, a read error) and everything it
  // sent has been read: nothing more can arrive.
  virtual bool LineGone() const { return false; }
  // Microseconds spent so far in the system's read and write calls that move the bytes (not
  // in readiness waits); 0 where not measured.
  virtual int64_t IoUs() const { return 0; }
  virtual void Close() = 0;
};

}  // namespace zel::comm
