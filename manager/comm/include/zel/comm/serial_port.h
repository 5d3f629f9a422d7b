// A serial port over POSIX termios: raw 8N1, speed from a baud code, DTR/RTS, RTS/CTS or no
// handshake, non-blocking reads. A pseudo-terminal opens exactly like a real port; the
// control-line requests a pty cannot carry out are ignored.
#pragma once

#include <memory>
#include <string>

#include "zel/comm/fd_transport.h"

namespace zel::comm {

class SerialPort : public FdTransport {
 public:
  // Results of Open.
  static constexpr int kOpened = 0;
  static constexpr int kNoSuchPort = -1;
  static constexpr int kPortInUse = -2;
  static constexpr int kOpenFailed = -3;  // e.g. no permission, or the device is not a port

  // Opens `device` for exclusive use in raw mode. Another open of the same device, from this
  // or another process, gives kPortInUse until this one is closed.
  static int Open(const std::string& device, std::unique_ptr<SerialPort>* out);

  ~SerialPort() override { Close(); }

  // Line speed of a baud code 0-9 (300 ... 115200); false for another code or when the
  // driver refuses.
  bool SetBaud(int baud_code);
  // DTR and RTS. Always true on a pty, which has no control lines.
  bool SetDtr(bool on);
  bool SetRts(bool on);
  // 'H': RTS/CTS hardware handshake; 'N': none. False for another letter.
  bool SetHandshake(char mode);

  bool IsPty() const { return isPty_; }
  const std::string& device() const { return device_; }

 private:
  SerialPort(int fd, std::string device, bool is_pty);
  bool SetLine(int bit, bool on);

  std::string device_;
  bool isPty_;
};

}  // namespace zel::comm
