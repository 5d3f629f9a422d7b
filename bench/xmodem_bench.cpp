// One side of an XMODEM-CRC transfer over TCP, for bench/xmodem.sh.
//   xmodem_bench send FILE LISTEN_PORT   (0 picks a port; prints it; sends to the first caller)
//   xmodem_bench recv FILE PORT          (connects to 127.0.0.1:PORT and receives into FILE)
// Exit status 0 on a successful transfer; the elapsed seconds go to stderr.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "zel/comm/connection.h"
#include "zel/comm/fd_transport.h"
#include "zel/comm/tcp_transport.h"
#include "zel/comm/xmodem.h"

using namespace zel::comm;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: xmodem_bench send FILE LISTEN_PORT | recv FILE PORT\n");
    return 2;
  }
  const std::string mode = argv[1];
  const std::string file = argv[2];
  const int port = std::atoi(argv[3]);
  Connection c;
  const auto start = std::chrono::steady_clock::now();
  int result = 7;
  if (mode == "send") {
    const int ls = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(ls, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t len = sizeof a;
    if (::bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(ls, 1) != 0 ||
        ::getsockname(ls, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      std::perror("xmodem_bench: cannot listen");
      return 1;
    }
    std::printf("%d\n", ntohs(a.sin_port));
    std::fflush(stdout);
    const int fd = ::accept(ls, nullptr, nullptr);
    ::close(ls);
    if (fd < 0) return 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    c.Attach(std::make_unique<FdTransport>(fd));
    result = XmodemSend(c, kTcpSelector, file);
  } else if (mode == "recv") {
    std::unique_ptr<TcpTransport> t;
    if (TcpTransport::Connect(0x7F000001u, port, &t) != 0) {
      std::fprintf(stderr, "xmodem_bench: cannot connect to port %d\n", port);
      return 1;
    }
    c.Attach(std::move(t));
    result = XmodemReceive(c, kTcpSelector, file);
  } else {
    std::fprintf(stderr, "xmodem_bench: unknown mode %s\n", mode.c_str());
    return 2;
  }
  c.Drain(kTcpSelector);
  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "%s %.3f s result %d\n", mode.c_str(), secs, result);
  return result == 0 ? 0 : 1;
}
