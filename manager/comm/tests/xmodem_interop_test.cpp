// Our XMODEM-CRC receiver and sender against independent implementations: lrzsz (sx, rx) and
// python3-xmodem, each behind socat, over a pty and over TCP loopback, with real timings.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "peers/scripted_peer.h"
#include "zel/comm/fd_transport.h"
#include "zel/comm/xmodem.h"
#include "zel/testing/temp_folder.h"
#include "zel/testing/wait.h"

extern char** environ;

namespace zel::comm {
namespace {

namespace fs = std::filesystem;
using testing::Pattern;

enum class Peer { kLrzsz, kPython };
enum class Line { kPty, kTcp };

bool HaveTool(const char* path) { return ::access(path, X_OK) == 0; }

std::vector<uint8_t> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& d) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}

std::vector<uint8_t> PadTo128(std::vector<uint8_t> d, uint8_t pad) {
  d.resize((d.size() + 127) / 128 * 128, pad);
  return d;
}

// A socat process (in its own process group) running one peer command.
class PeerProcess {
 public:
  PeerProcess(const std::vector<std::string>& args, const fs::path& log) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawnattr_t at;
    posix_spawnattr_init(&at);
    posix_spawnattr_setflags(&at, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&at, 0);
    if (posix_spawnp(&pid_, argv[0], &fa, &at, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&at);
  }
  ~PeerProcess() {
    if (pid_ > 0 && !Wait(0)) {
      ::kill(-pid_, SIGKILL);
      int st;
      ::waitpid(pid_, &st, 0);
    }
  }
  bool started() const { return pid_ > 0; }
  // True when the process ended within `ms`.
  bool Wait(int ms) {
    if (pid_ <= 0) return true;
    const bool ended = zeltest::WaitUntil(
        [&] {
          int st;
          return ::waitpid(pid_, &st, WNOHANG) == pid_;
        },
        std::chrono::milliseconds(ms));
    if (ended) pid_ = -1;
    return ended;
  }

 private:
  pid_t pid_ = -1;
};

struct Case {
  Peer peer;
  Line line;
  size_t size;
};

std::string Name(const ::testing::TestParamInfo<Case>& i) {
  return std::string(i.param.peer == Peer::kLrzsz ? "lrzsz" : "python") +
         (i.param.line == Line::kPty ? "_pty_" : "_tcp_") + std::to_string(i.param.size);
}

class InteropTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!HaveTool("/usr/bin/socat") || !HaveTool("/usr/bin/sx") || !HaveTool("/usr/bin/rx") ||
        !HaveTool("/usr/bin/python3")) {
      GTEST_SKIP() << "socat, lrzsz or /usr/bin/python3 missing";
    }
  }
  void TearDown() override { peer_.reset(); }

  // Starts `command` behind socat and attaches our end of the line to conn_.
  bool Connect(const std::string& command) {
    const fs::path script = dir_ / "peer.sh";
    {
      std::ofstream s(script);
      s << "cd '" << dir_.string() << "' && exec " << command << "\n";
    }
    const std::string exec = "EXEC:/bin/sh " + script.string();
    if (GetParam().line == Line::kPty) {
      const fs::path tty = dir_ / "tty";
      peer_ = std::make_unique<PeerProcess>(
          std::vector<std::string>{"socat", "pty,raw,echo=0,link=" + tty.string(), exec},
          dir_ / "peer.log");
      zeltest::WaitForFile(tty);
      const int fd = ::open(tty.c_str(), O_RDWR | O_NOCTTY);
      if (fd < 0) return false;
      termios t{};
      if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
      }
      conn_.Attach(std::make_unique<FdTransport>(fd));
      return true;
    }
    const int ls = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(ls, 1) != 0 ||
        ::getsockname(ls, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      ::close(ls);
      return false;
    }
    const int port = ntohs(a.sin_port);
    peer_ = std::make_unique<PeerProcess>(
        std::vector<std::string>{"socat", "TCP:127.0.0.1:" + std::to_string(port), exec},
        dir_ / "peer.log");
    pollfd p{ls, POLLIN, 0};
    int fd = -1;
    if (::poll(&p, 1, 10000) == 1) fd = ::accept(ls, nullptr, nullptr);
    ::close(ls);
    if (fd < 0) return false;
    conn_.Attach(std::make_unique<FdTransport>(fd));
    return true;
  }
  std::string PeerLog() {
    std::ifstream in(dir_ / "peer.log");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string PythonPeer(const char* mode, const char* file) {
    return std::string("/usr/bin/python3 " ZEL_SOURCE_DIR
                       "/manager/comm/tests/peers/py_xmodem_peer.py ") +
           mode + " " + file;
  }

  zeltest::TempFolder temp_{"interop"};
  fs::path dir_ = temp_.path();
  Connection conn_{Timings{}};
  std::unique_ptr<PeerProcess> peer_;
};

class ReceiveFromPeer : public InteropTest {};
class SendToPeer : public InteropTest {};

TEST_P(ReceiveFromPeer, FileArrivesWithSendersPadding) {
  const Case c = GetParam();
  const auto data = Pattern(c.size, static_cast<unsigned>(c.size) + 7);
  WriteFile(dir_ / "in.bin", data);
  const std::string cmd = c.peer == Peer::kLrzsz ? "sx -q -X in.bin" : PythonPeer("send", "in.bin");
  ASSERT_TRUE(Connect(cmd));
  const fs::path out = dir_ / "received.bin";
  EXPECT_EQ(XmodemReceive(conn_, 0, out), 0) << PeerLog();
  EXPECT_TRUE(peer_->Wait(15000));
  EXPECT_EQ(ReadFile(out), PadTo128(data, 0x1A));
}

TEST_P(SendToPeer, PeerGetsFileWithZeroPadding) {
  const Case c = GetParam();
  if (c.peer == Peer::kPython && c.size == 0) {
    GTEST_SKIP() << "python3-xmodem rejects EOT as the first byte of a transfer";
  }
  const auto data = Pattern(c.size, static_cast<unsigned>(c.size) + 3);
  WriteFile(dir_ / "in.bin", data);
  const std::string cmd =
      c.peer == Peer::kLrzsz ? "rx -q -X -c out.bin" : PythonPeer("recv", "out.bin");
  ASSERT_TRUE(Connect(cmd));
  EXPECT_EQ(XmodemSend(conn_, 0, dir_ / "in.bin"), 0) << PeerLog();
  EXPECT_TRUE(peer_->Wait(15000)) << "peer did not finish";
  EXPECT_EQ(ReadFile(dir_ / "out.bin"), PadTo128(data, 0x00)) << PeerLog();
}

std::vector<Case> Cases() {
  std::vector<Case> v;
  for (Peer p : {Peer::kLrzsz, Peer::kPython}) {
    for (Line l : {Line::kPty, Line::kTcp}) {
      for (size_t n : {0, 1, 127, 128, 129, 33000, 40000}) v.push_back({p, l, n});
    }
  }
  return v;
}

INSTANTIATE_TEST_SUITE_P(Interop, ReceiveFromPeer, ::testing::ValuesIn(Cases()), Name);
INSTANTIATE_TEST_SUITE_P(Interop, SendToPeer, ::testing::ValuesIn(Cases()), Name);

}  // namespace
}  // namespace zel::comm
