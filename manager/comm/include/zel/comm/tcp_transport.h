// A TCP/IP stream to a recorder (POSIX sockets).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "zel/comm/fd_transport.h"

namespace zel::comm {

// Socket errors are reported as this base plus the system's error number, so that they can
// never be mistaken for the connection layer's own result codes (1 to 8).
constexpr int kSocketErrorBase = 10000;

class TcpTransport : public FdTransport {
 public:
  using FdTransport::FdTransport;
  ~TcpTransport() override { Close(); }

  // Socket support needs no start-up on POSIX; kept so program start reads as it should.
  static bool StartUp() { return true; }

  // "%d.%d.%d.%d" of an address whose most significant byte is the first octet.
  static std::string AddressText(uint32_t ip);

  // Connects to ip:port, waiting as long as the system's own connect does. Returns 0 and sets
  // `out`, or kSocketErrorBase + the error number.
  static int Connect(uint32_t ip, int port, std::unique_ptr<TcpTransport>* out);
};

}  // namespace zel::comm
