// Peers for the line tests: a socat pty pair (two linked pseudo-terminals, as a null-modem
// cable between two serial ports) and a TCP listener on 127.0.0.1.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zel/comm/status.h"
#include "zel/testing/wait.h"

extern char** environ;

namespace zel::comm::testing {

// Starts `socat pty,...,link=DIR/a pty,...,link=DIR/b` and waits for both links; stops it at
// destruction. ok() is false when socat could not be started.
class SocatPair {
 public:
  SocatPair() {
    char tmpl[] = "/tmp/zelptyXXXXXX";
    if (!mkdtemp(tmpl)) return;
    dir_ = tmpl;
    a_ = dir_ + "/a";
    b_ = dir_ + "/b";
    std::string la = "pty,raw,echo=0,link=" + a_;
    std::string lb = "pty,raw,echo=0,link=" + b_;
    const char* argv[] = {"socat", "-d", "-d", la.c_str(), lb.c_str(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "socat", &fa, nullptr, const_cast<char**>(argv), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    if (pid_ <= 0) return;
    ok_ = zeltest::WaitUntil([&] {
      struct stat st {};
      return stat(a_.c_str(), &st) == 0 && stat(b_.c_str(), &st) == 0;
    });
  }
  ~SocatPair() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int st;
      waitpid(pid_, &st, 0);
    }
    if (!dir_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(dir_, ec);
    }
  }
  SocatPair(const SocatPair&) = delete;
  SocatPair& operator=(const SocatPair&) = delete;

  bool ok() const { return ok_; }
  const std::string& a() const { return a_; }  // the side the connection opens
  const std::string& b() const { return b_; }  // the side the test's peer opens
  const std::string& dir() const { return dir_; }

 private:
  pid_t pid_ = -1;
  bool ok_ = false;
  std::string dir_, a_, b_;
};

// Opens a pty path raw for the peer side of a test (blocking descriptor).
inline int OpenPeerPty(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  termios t{};
  if (tcgetattr(fd, &t) == 0) {
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
  }
  return fd;
}

// A listening socket on 127.0.0.1 with a port chosen by the system.
class TcpListener {
 public:
  TcpListener() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 4) != 0)
      return;
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~TcpListener() {
    if (fd_ >= 0) close(fd_);
  }
  int port() const { return port_; }
  // Accepts one connection, waiting at most `timeout_ms`; -1 when none came.
  int Accept(int timeout_ms = 5000) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) != 1) return -1;
    return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// Reads from a blocking descriptor until `n` bytes came or `timeout_ms` passed.
inline std::string ReadFor(int fd, size_t n, int timeout_ms) {
  std::string got;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (got.size() < n) {
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    end - std::chrono::steady_clock::now())
                                    .count());
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, left) != 1) break;
    char buf[4096];
    ssize_t r = read(fd, buf, std::min(sizeof buf, n - got.size()));
    if (r <= 0) break;
    got.append(buf, static_cast<size_t>(r));
  }
  return got;
}

inline void WriteAll(int fd, const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    ssize_t w = write(fd, s.data() + done, s.size() - done);
    if (w <= 0) return;
    done += static_cast<size_t>(w);
  }
}

// A Hayes modem as far as the dialling needs one: answers "OK" to a command line and the
// scripted text to "ATDT...", piece by piece (each once the line has taken the last). Runs at
// most a minute.
class FakeModem {
 public:
  struct Script {
    bool answerOk = true;
    bool echo = false;
    std::vector<std::string> dialAnswer;  // written piece by piece; empty: no answer
    std::function<void()> onDial;
  };
  FakeModem(const std::string& path, Script script, StatusTexts* status)
      : script_(std::move(script)), status_(status) {
    fd_ = OpenPeerPty(path);
    thread_ = std::thread([this] { Run(); });
  }
  ~FakeModem() {
    stop_ = true;
    thread_.join();
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  std::string Received() {
    std::lock_guard l(mu_);
    return log_;
  }
  std::vector<std::string> Operations() {
    std::lock_guard l(mu_);
    return ops_;
  }

 private:
  void Run() {
    std::string line;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!stop_ && std::chrono::steady_clock::now() < end && fd_ >= 0) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 10) != 1) continue;
      char buf[256];
      ssize_t r = read(fd_, buf, sizeof buf);
      if (r <= 0) continue;
      {
        std::lock_guard l(mu_);
        log_.append(buf, static_cast<size_t>(r));
      }
      for (ssize_t i = 0; i < r; ++i) {
        if (script_.echo) WriteAll(fd_, std::string(1, buf[i]));
        if (buf[i] != '\r') {
          line.push_back(buf[i]);
          continue;
        }
        if (!line.empty()) Command(line);
        line.clear();
      }
    }
  }
  void Command(const std::string& line) {
    {
      std::lock_guard l(mu_);
      ops_.push_back(status_ ? status_->Get().operation : "");
    }
    if (line.rfind("ATDT", 0) == 0) {
      if (script_.onDial) script_.onDial();
      for (const auto& piece : script_.dialAnswer) {
        WriteAll(fd_, piece);
        zeltest::WaitUntil([&] {
          int queued = 0;
          return stop_ || (ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued == 0);
        });
      }
    } else if (script_.answerOk) {
      WriteAll(fd_, "\r\nOK\r\n");
    }
  }

  Script script_;
  StatusTexts* status_;
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::string log_;
  std::vector<std::string> ops_;
  std::thread thread_;
};

inline FakeModem::Script Answering(std::vector<std::string> dial_answer, bool echo = false) {
  FakeModem::Script s;
  s.dialAnswer = std::move(dial_answer);
  s.echo = echo;
  return s;
}

inline FakeModem::Script NeverOk() {
  FakeModem::Script s;
  s.answerOk = false;
  return s;
}

inline FakeModem::Script OnDial(std::function<void()> f) {
  FakeModem::Script s;
  s.onDial = std::move(f);
  return s;
}

}  // namespace zel::comm::testing
