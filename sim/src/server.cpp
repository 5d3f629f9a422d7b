#include "zel/sim/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

namespace zel::sim {

std::unique_ptr<Pty> Pty::Open(const std::string& link_path, std::string* error) {
  std::unique_ptr<Pty> p(new Pty());
  p->master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (p->master_ < 0 || ::grantpt(p->master_) != 0 || ::unlockpt(p->master_) != 0) {
    if (error) *error = std::string("cannot create a pty: ") + std::strerror(errno);
    return nullptr;
  }
  char name[128];
  if (::ptsname_r(p->master_, name, sizeof name) != 0) {
    if (error) *error = std::string("cannot name the pty: ") + std::strerror(errno);
    return nullptr;
  }
  p->slave_ = name;
  p->watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (p->watch_ >= 0 &&
      ::inotify_add_watch(p->watch_, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    ::close(p->watch_);
    p->watch_ = -1;
  }
  // Raw from the start, so nothing the recorder says is echoed or changed before a program
  // opens the port and sets its own mode.
  termios t{};
  if (::tcgetattr(p->master_, &t) == 0) {
    ::cfmakeraw(&t);
    ::tcsetattr(p->master_, TCSANOW, &t);
  }
  if (!link_path.empty()) {
    const std::filesystem::path parent = std::filesystem::path(link_path).parent_path();
    std::error_code ec;
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    struct stat st {};
    if (::lstat(link_path.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        if (error) *error = link_path + " exists and is not a symlink; not replaced";
        return nullptr;
      }
      ::unlink(link_path.c_str());
    }
    if (::symlink(name, link_path.c_str()) != 0) {
      if (error) *error = "cannot make the link " + link_path + ": " + std::strerror(errno);
      return nullptr;
    }
    p->link_ = link_path;
  }
  return p;
}

Pty::~Pty() {
  if (!link_.empty()) {
    char target[256];
    ssize_t n = ::readlink(link_.c_str(), target, sizeof target - 1);
    // Only our own link is removed.
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == slave_) ::unlink(link_.c_str());
  }
  if (master_ >= 0) ::close(master_);
  if (watch_ >= 0) ::close(watch_);
}

Fleet::~Fleet() { Stop(); }

void Fleet::Spawn(std::function<void()> body) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::lock_guard<std::mutex> lock(mu_);
  workers_.push_back(Worker{std::thread([body = std::move(body), done]() {
                              body();
                              done->store(true);
                            }),
                            done});
}

void Fleet::Reap() {
  std::lock_guard<std::mutex> lock(mu_);
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

int Fleet::ListenTcp(Recorder& recorder, int port, std::string* error) {
  // Non-blocking, so a connection that is reset between the readiness report and accept()
  // cannot hold the accepting thread.
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    if (error) *error = std::string("cannot create a socket: ") + std::strerror(errno);
    return -1;
  }
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (port < 0 || port > 65535 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(fd, 16) != 0) {
    if (error)
      *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    ::close(fd);
    return -1;
  }
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  const int actual = ntohs(a.sin_port);

  std::lock_guard<std::mutex> lock(mu_);
  if (!StartAcceptorLocked(error)) {
    ::close(fd);
    return -1;
  }
  auto listener = std::make_unique<Listener>();
  listener->fd = fd;
  listener->recorder = &recorder;
  listeners_.push_back(std::move(listener));
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.ptr = listeners_.back().get();
  if (::epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &ev) != 0) {
    if (error) *error = std::string("cannot watch the listening socket: ") + std::strerror(errno);
    listeners_.pop_back();
    ::close(fd);
    return -1;
  }
  return actual;
}

bool Fleet::StartAcceptorLocked(std::string* error) {
  if (epoll_fd_ >= 0) return true;
  epoll_fd_ = ::epoll_create1(EPOLL_CLOEXEC);
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.ptr = nullptr;  // the wake-up, not a listener
  if (epoll_fd_ < 0 || wake_fd_ < 0 || ::epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_fd_, &ev) != 0) {
    if (error) *error = std::string("cannot wait for connections: ") + std::strerror(errno);
    if (epoll_fd_ >= 0) ::close(epoll_fd_);
    if (wake_fd_ >= 0) ::close(wake_fd_);
    epoll_fd_ = wake_fd_ = -1;
    return false;
  }
  auto done = std::make_shared<std::atomic<bool>>(false);
  workers_.push_back(Worker{std::thread([this, done]() {
                              AcceptLoop();
                              done->store(true);
                            }),
                            done});
  return true;
}

// One thread waits for connections on every listening socket at once and sleeps while none
// comes; each accepted connection gets a thread of its own for as long as it lasts.
void Fleet::AcceptLoop() {
  epoll_event events[64];
  while (!stop_.load()) {
    const int n = ::epoll_wait(epoll_fd_, events, 64, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    Reap();
    for (int i = 0; i < n && !stop_.load(); ++i) {
      auto* l = static_cast<Listener*>(events[i].data.ptr);
      if (!l) continue;  // woken to stop
      // Take every connection that is waiting; a reset one is skipped.
      for (int k = 0; k < 16; ++k) {
        const int c = ::accept4(l->fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) {
          if (errno == EINTR || errno == ECONNABORTED) continue;
          // Out of descriptors or memory: the connection stays queued; try again shortly
          // rather than spin on a listener that stays ready.
          if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          break;  // EAGAIN: none left
        }
        if (l->active.load() >= kMaxConnectionsPerPort) {
          ::close(c);  // bounded: a flood of connections is refused
          continue;
        }
        int nodelay = 1;
        ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &nodelay, sizeof nodelay);
        ++l->active;
        Spawn([this, c, l]() {
          {
            FdLink link(c, true, &stop_);
            l->recorder->Serve(link, stop_);
          }
          --l->active;
        });
      }
    }
  }
}

std::string Fleet::AttachPty(Recorder& recorder, const std::string& link_path, std::string* error) {
  std::unique_ptr<Pty> pty = Pty::Open(link_path, error);
  if (!pty) return "";
  const int fd = pty->master();
  const int watch = pty->close_watch();
  std::string slave = pty->slave_path();
  {
    std::lock_guard<std::mutex> lock(mu_);
    ptys_.push_back(std::move(pty));
  }
  Spawn([this, fd, watch, &recorder]() {
    FdLink link(fd, false, &stop_);
    link.WatchCloses(watch);
    while (!stop_.load()) {
      if (link.IsClosed() || link.HungUp()) {
        // Nobody has the port open: wait for the next program to open it.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        link.Reopen();
        continue;
      }
      recorder.Serve(link, stop_);
    }
  });
  return slave;
}

std::string Fleet::AttachModem(std::vector<DialEntry> plan, double scale,
                               const std::string& link_path, std::string* error) {
  std::unique_ptr<Pty> pty = Pty::Open(link_path, error);
  if (!pty) return "";
  const int fd = pty->master();
  const int watch = pty->close_watch();
  std::string slave = pty->slave_path();
  Modem* modem;
  {
    std::lock_guard<std::mutex> lock(mu_);
    ptys_.push_back(std::move(pty));
    modems_.push_back(std::make_unique<Modem>(std::move(plan), scale));
    modem = modems_.back().get();
  }
  Spawn([this, fd, watch, modem]() {
    FdLink link(fd, false, &stop_);
    link.WatchCloses(watch);
    modem->Serve(link, stop_, true);
  });
  return slave;
}

void Fleet::Stop() {
  stop_.store(true);
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (wake_fd_ >= 0) {
      const uint64_t one = 1;
      [[maybe_unused]] ssize_t w = ::write(wake_fd_, &one, sizeof one);
    }
  }
  std::list<Worker> all;
  {
    std::lock_guard<std::mutex> lock(mu_);
    all.swap(workers_);
  }
  // Workers may spawn connection threads until they see the flag; join until none are left.
  while (!all.empty()) {
    for (auto& w : all)
      if (w.thread.joinable()) w.thread.join();
    all.clear();
    std::lock_guard<std::mutex> lock(mu_);
    all.swap(workers_);
  }
  std::lock_guard<std::mutex> lock(mu_);
  for (const auto& l : listeners_) ::close(l->fd);
  listeners_.clear();
  if (epoll_fd_ >= 0) ::close(epoll_fd_);
  if (wake_fd_ >= 0) ::close(wake_fd_);
  epoll_fd_ = wake_fd_ = -1;
  ptys_.clear();
  modems_.clear();
}

}  // namespace zel::sim
