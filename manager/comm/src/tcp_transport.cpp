#include "zel/comm/tcp_transport.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace zel::comm {

std::string TcpTransport::AddressText(uint32_t ip) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>((ip >> 24) & 0xFF),
                static_cast<int>((ip >> 16) & 0xFF), static_cast<int>((ip >> 8) & 0xFF),
                static_cast<int>(ip & 0xFF));
  return text;
}

int TcpTransport::Connect(uint32_t ip, int port, std::unique_ptr<TcpTransport>* out) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kSocketErrorBase + errno;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (port < 0 || port > 65535 ||
      ::inet_pton(AF_INET, AddressText(ip).c_str(), &addr.sin_addr) != 1) {
    ::close(fd);
    return kSocketErrorBase + EINVAL;
  }
  int r = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  if (r < 0 && errno == EINTR) {
    // The connect goes on after a signal: wait for its outcome instead of starting anew.
    pollfd p{fd, POLLOUT, 0};
    while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    errno = err;
    r = err == 0 ? 0 : -1;
  }
  if (r < 0) {
    int e = errno;
    ::close(fd);
    return kSocketErrorBase + e;
  }
  // Single bytes (acknowledgements, keys) go out at once rather than wait for more.
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  *out = std::make_unique<TcpTransport>(fd);
  return 0;
}

}  // namespace zel::comm
