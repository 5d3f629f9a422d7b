// A TCP/IP stream to a recorder (POSIX sockets).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "zel/comm/connection.h"
#include "zel/comm/fd_transport.h"
#include "zel/platform/abort_flag.h"

namespace zel::comm {

// Socket errors are reported as this base plus the system's error number, so that they can
// never be mistaken for the connection layer's own result codes (1 to 8).
constexpr int kSocketErrorBase = Code(ConnectResult::kSocketError);

class TcpTransport : public FdTransport {
 public:
  using FdTransport::FdTransport;
  ~TcpTransport() override { Close(); }

  // Socket support needs no start-up on POSIX; kept so program start reads as it should.
  static bool StartUp() { return true; }

  // "%d.%d.%d.%d" of an address whose most significant byte is the first octet.
  static std::string AddressText(uint32_t ip);

  // Connects to ip:port without blocking: waits at most `timeout_ms` for the connect to complete
  // (kNoConnect after it), and gives up at once when `abort` (may be null) is raised while it
  // waits (kAborted; a flag already raised when it starts is not looked at). Returns kConnected and
  // sets `out`, or SocketError(the error number).
  static ConnectResult Connect(uint32_t ip, int port, int timeout_ms,
                               const platform::AbortFlag* abort,
                               std::unique_ptr<TcpTransport>* out);
  // The same with the default limit and no abort flag.
  static ConnectResult Connect(uint32_t ip, int port, std::unique_ptr<TcpTransport>* out) {
    return Connect(ip, port, Timings{}.connect_ms, nullptr, out);
  }
};

}  // namespace zel::comm
