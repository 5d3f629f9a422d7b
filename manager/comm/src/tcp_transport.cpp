#include "zel/comm/tcp_transport.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "zel/platform/clock.h"

namespace zel::comm {

using zel::platform::MonotonicMs;

std::string TcpTransport::AddressText(uint32_t ip) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>((ip >> 24) & 0xFF),
                static_cast<int>((ip >> 16) & 0xFF), static_cast<int>((ip >> 8) & 0xFF),
                static_cast<int>(ip & 0xFF));
  return text;
}

ConnectResult TcpTransport::Connect(uint32_t ip, int port, int timeout_ms,
                                    const platform::AbortFlag* abort,
                                    std::unique_ptr<TcpTransport>* out) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return SocketError(errno);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (port < 0 || port > 65535 ||
      ::inet_pton(AF_INET, AddressText(ip).c_str(), &addr.sin_addr) != 1) {
    ::close(fd);
    return SocketError(EINVAL);
  }
  int r = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  if (r < 0 && (errno == EINPROGRESS || errno == EINTR)) {
    // The connect goes on in the background: wait for its outcome, the abort flag or the end
    // of the time allowed, whichever comes first (a full listen queue never answers).
    const int64_t deadline = MonotonicMs() + std::max(0, timeout_ms);
    // An abort raised before the connect began is not this connect's to take (TCP/IP opens
    // whatever the flag said); one raised while waiting ends it.
    const platform::AbortFlag* watch = abort && abort->load() == 0 ? abort : nullptr;
    const int wake = watch ? watch->wake_fd() : -1;
    for (;;) {
      if (watch && watch->load() != 0) {
        ::close(fd);
        return ConnectResult::kAborted;
      }
      const int64_t left = deadline - MonotonicMs();
      if (left <= 0) {
        ::close(fd);
        return ConnectResult::kNoConnect;
      }
      // Without a wake the flag is looked at in short steps.
      const int64_t step = wake >= 0 || !watch ? 1000 : 20;
      pollfd p[2] = {{fd, POLLOUT, 0}, {wake, POLLIN, 0}};
      const int n = ::poll(p, wake >= 0 ? 2 : 1, static_cast<int>(std::min(left, step)));
      if (n < 0 && errno != EINTR) {
        const int e = errno;
        ::close(fd);
        return SocketError(e);
      }
      if (n > 0 && p[0].revents != 0) break;
      if (n > 0 && wake >= 0 && (p[1].revents & POLLIN) && watch->load() == 0) watch->TakeWake();
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
    return SocketError(e);
  }
  // Single bytes (acknowledgements, keys) go out at once rather than wait for more.
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  *out = std::make_unique<TcpTransport>(fd);
  return ConnectResult::kConnected;
}

}  // namespace zel::comm
