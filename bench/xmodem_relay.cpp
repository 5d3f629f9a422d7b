// A TCP relay that holds every chunk for a fixed delay in each direction, to give loopback the
// round-trip time of a real line. Usage: xmodem_relay LISTEN_PORT TARGET_PORT DELAY_MS
// (LISTEN_PORT 0 picks a free port). Prints the listening port on its first output line, relays
// one connection to 127.0.0.1:TARGET_PORT and ends when both directions have closed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk {
  Clock::time_point due;
  std::vector<char> bytes;
};

struct Direction {
  int from = -1, to = -1;
  bool eof = false, closed = false;
  std::deque<Chunk> queue;
};

void NoDelay(int fd) {
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: xmodem_relay LISTEN_PORT TARGET_PORT DELAY_MS\n");
    return 2;
  }
  const int listen_port = std::atoi(argv[1]);
  const int target_port = std::atoi(argv[2]);
  const auto delay = std::chrono::microseconds(std::atoi(argv[3]) * 1000);

  const int ls = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(ls, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(listen_port));
  socklen_t len = sizeof a;
  if (::bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(ls, 1) != 0 ||
      ::getsockname(ls, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    std::perror("xmodem_relay: cannot listen");
    return 1;
  }
  std::printf("%d\n", ntohs(a.sin_port));
  std::fflush(stdout);
  const int client = ::accept(ls, nullptr, nullptr);
  ::close(ls);
  if (client < 0) return 1;
  const int server = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in t{};
  t.sin_family = AF_INET;
  t.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  t.sin_port = htons(static_cast<uint16_t>(target_port));
  if (::connect(server, reinterpret_cast<sockaddr*>(&t), sizeof t) != 0) {
    std::perror("xmodem_relay: cannot reach the target");
    return 1;
  }
  NoDelay(client);
  NoDelay(server);

  Direction dirs[2];
  dirs[0].from = client;
  dirs[0].to = server;
  dirs[1].from = server;
  dirs[1].to = client;
  char buf[65536];
  while (!(dirs[0].closed && dirs[1].closed)) {
    const auto now = Clock::now();
    // Deliver what is due; pass an end of stream on once its queue is empty.
    for (auto& d : dirs) {
      while (!d.queue.empty() && d.queue.front().due <= now) {
        WriteAll(d.to, d.queue.front().bytes.data(), d.queue.front().bytes.size());
        d.queue.pop_front();
      }
      if (d.eof && !d.closed && d.queue.empty()) {
        ::shutdown(d.to, SHUT_WR);
        d.closed = true;
      }
    }
    pollfd p[2];
    int n = 0;
    int index[2];
    for (int i = 0; i < 2; ++i) {
      if (!dirs[i].eof) {
        p[n] = {dirs[i].from, POLLIN, 0};
        index[n++] = i;
      }
    }
    auto wait = std::chrono::milliseconds(100);
    for (auto& d : dirs) {
      if (!d.queue.empty()) {
        wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(
                                  d.queue.front().due - now + std::chrono::microseconds(999)));
      }
    }
    const timespec ts{0, static_cast<long>(std::max<long long>(0, wait.count()) * 1000000)};
    if (::ppoll(p, static_cast<nfds_t>(n), &ts, nullptr) <= 0) continue;
    for (int k = 0; k < n; ++k) {
      if (!(p[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Direction& d = dirs[index[k]];
      const ssize_t r = ::read(d.from, buf, sizeof buf);
      if (r <= 0) {
        d.eof = true;
        continue;
      }
      d.queue.push_back({Clock::now() + delay, std::vector<char>(buf, buf + r)});
    }
  }
  ::close(client);
  ::close(server);
  return 0;
}
