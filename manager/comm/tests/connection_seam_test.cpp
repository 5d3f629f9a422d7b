// The connection layer's seams: waits timed by an injected monotonic clock (time-outs pass
// without real waiting), quiet waits that a line never falling quiet cannot hold for ever, the
// TCP connect's limit and abort, and the results as names and sentences.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "zel/catalogue.h"
#include "zel/comm/connection.h"
#include "zel/comm/fd_transport.h"
#include "zel/comm/protocol.h"
#include "zel/platform/clock.h"
#include "zel/platform/monotonic.h"
#include "zel/testing/temp_folder.h"

namespace zel::comm {
namespace {

using zel::platform::FakeMonotonic;

// A line scripted against a fake clock: it sends `script` once, then (when `babble`) one byte
// after another for ever, each byte taking `byteUs` of the fake clock; a silent line lets a
// readiness wait pass on the fake clock at once. After `cutAfter` bytes the line is gone, so a
// wait that never ends still ends the test.
class ScriptedLine : public Transport {
 public:
  ScriptedLine(FakeMonotonic& clock, std::string script, bool babble, int64_t cutAfter = 20'000'000)
      : clock_(clock), script_(std::move(script)), babble_(babble), cutAfter_(cutAfter) {}
  int Write(const uint8_t* data, size_t n) override {
    sent_.append(reinterpret_cast<const char*>(data), n);
    return static_cast<int>(n);
  }
  int ReadByte() override {
    if (gone_) return -1;
    if (pos_ < script_.size()) return Byte(static_cast<uint8_t>(script_[pos_++]));
    if (!babble_) return -1;
    return Byte('#');
  }
  bool WaitReadable(int timeout_ms) override {
    if (!gone_ && (pos_ < script_.size() || babble_)) return true;
    clock_.AdvanceMs(timeout_ms);
    ++silentWaits_;
    return false;
  }
  bool LineGone() const override { return gone_; }
  void Close() override {}

  int64_t bytesRead() const { return count_; }
  int silentWaits() const { return silentWaits_; }
  const std::string& sent() const { return sent_; }

 private:
  int Byte(uint8_t b) {
    clock_.AdvanceUs(byteUs_);
    if (++count_ >= cutAfter_) gone_ = true;
    return b;
  }
  FakeMonotonic& clock_;
  std::string script_;
  bool babble_;
  int64_t cutAfter_;
  int64_t byteUs_ = 260;  // a byte at 38400 baud
  size_t pos_ = 0;
  int64_t count_ = 0;
  bool gone_ = false;
  int silentWaits_ = 0;
  std::string sent_;
};

struct FakeLineRig {
  explicit FakeLineRig(std::string script, bool babble) {
    conn.SetMonotonic(clock);
    auto l = std::make_unique<ScriptedLine>(clock, std::move(script), babble);
    line = l.get();
    conn.Attach(std::move(l));
    record.type = ParseModel("KRV-517XL");
    record.password = "ADMIN1";
  }
  int64_t ElapsedMs() const { return clock.NowMs() - start; }

  FakeMonotonic clock;
  int64_t start = clock.NowMs();
  Connection conn;  // production timings: 30 s prompt wait, 4 s login quiet
  ScriptedLine* line = nullptr;
  RecorderRecord record;
};

// The full production time-outs pass on the fake clock: none of these waits for real.
TEST(ConnectionFakeClock, TimeOutsPassOnTheInjectedClock) {
  FakeLineRig rig("", false);
  EXPECT_EQ(rig.conn.WaitForText(kTcpSelector, 30000, "Enter password: "), 0);
  EXPECT_GE(rig.ElapsedMs(), 30000);
  EXPECT_LE(rig.ElapsedMs(), 30000 + rig.conn.WaitStepMs() + 1);
  const int64_t q0 = rig.clock.NowMs();
  EXPECT_TRUE(rig.conn.WaitQuiet(kTcpSelector, 4000));
  EXPECT_GE(rig.clock.NowMs() - q0, 4000);
  EXPECT_GT(rig.line->silentWaits(), 0);
  // A login that never sees the prompt: No Login after the whole prompt wait.
  const int64_t l0 = rig.clock.NowMs();
  EXPECT_EQ(Login(rig.conn, kTcpSelector, rig.record), kPollNoLogin);
  EXPECT_GE(rig.clock.NowMs() - l0, rig.conn.timings().prompt_ms);
}

// A line that sends the prompt and then never falls quiet (noise, a crossed line, a recorder
// stuck printing) fails the login within the prompt's own time instead of holding the poll.
TEST(ConnectionFakeClock, BabblingLineFailsLoginWithinThePromptWait) {
  FakeLineRig rig("Enter password: ", true);
  const int code = Login(rig.conn, kTcpSelector, rig.record);
  EXPECT_EQ(code, kPollNoLogin);
  EXPECT_FALSE(rig.conn.LineGone()) << "the wait ended only because the script ran out";
  const Timings& t = rig.conn.timings();
  EXPECT_GE(rig.ElapsedMs(), t.prompt_ms);
  EXPECT_LE(rig.ElapsedMs(), 2 * t.prompt_ms + t.login_quiet_ms);
  EXPECT_EQ(rig.line->sent().find("ADMIN1"), std::string::npos) << "no password to a babbler";
}

TEST(ConnectionFakeClock, BabblingLineFailsTheSetupStepsAtTheirLimits) {
  {
    FakeLineRig rig("", true);
    const zeltest::TempFolder temp("babble");
    const auto target = temp / "setupdata.bin";
    EXPECT_EQ(DownloadSetup(rig.conn, kTcpSelector, rig.record, target), kPollTransferFailed);
    EXPECT_FALSE(rig.conn.LineGone());
    EXPECT_FALSE(std::filesystem::exists(target));
  }
  {
    FakeLineRig rig("", true);
    const zeltest::TempFolder temp("babble");
    EXPECT_EQ(UploadSetup(rig.conn, kTcpSelector, rig.record, temp.path(), nullptr),
              kPollTransferFailed);
    EXPECT_FALSE(rig.conn.LineGone());
    EXPECT_EQ(rig.line->sent().find("Y"), std::string::npos) << "nothing confirmed to a babbler";
  }
}

TEST(ConnectionFakeClock, QuietWaitReportsWhetherTheLineFellQuiet) {
  FakeLineRig babbling("", true);
  EXPECT_FALSE(babbling.conn.WaitQuiet(kTcpSelector, 100, 5000));
  EXPECT_GE(babbling.ElapsedMs(), 5000);
  FakeLineRig chatty("some bytes, then silence", false);
  EXPECT_TRUE(chatty.conn.WaitQuiet(kTcpSelector, 100, 5000));
  EXPECT_EQ(chatty.line->bytesRead(), 24);
}

// The same with a real socket and a peer thread that writes without pause.
TEST(ConnectionBabble, SocketPeerThatNeverFallsQuietFailsTheLogin) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
  std::atomic<bool> stop{false};
  std::thread peer([&] {
    const std::string prompt = "Enter password: ";
    ssize_t w = ::write(sv[1], prompt.data(), prompt.size());
    (void)w;
    const std::vector<char> noise(512, '~');
    // Bounded: at most a few minutes' worth of noise, ended early by the test.
    for (int i = 0; i < 2'000'000 && !stop.load(); ++i) {
      if (::write(sv[1], noise.data(), noise.size()) < 0 && errno != EINTR) break;
    }
  });
  Connection conn(Timings{}.Scaled(0.01));
  conn.Attach(std::make_unique<FdTransport>(sv[0]));
  RecorderRecord r;
  r.type = ParseModel("KRV-517XL");
  r.password = "ADMIN1";
  EXPECT_EQ(Login(conn, kTcpSelector, r), kPollNoLogin);
  stop = true;
  ::shutdown(sv[1], SHUT_RDWR);
  conn.CloseConnection(kTcpSelector);
  peer.join();
  ::close(sv[1]);
}

// A listener on 127.0.0.1 whose queue is full: a further connect is never answered.
class FullBacklog {
 public:
  FullBacklog() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return;
    if (::listen(listener_, 0) != 0) return;
    socklen_t len = sizeof a;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    // Fill the queue: connect until one stays unanswered for a while.
    for (int i = 0; i < 64; ++i) {
      int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
      fillers_.push_back(fd);
      if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) continue;
      if (errno != EINPROGRESS) return;
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 300) == 0) {
        full_ = true;
        return;
      }
    }
  }
  ~FullBacklog() {
    for (int fd : fillers_) ::close(fd);
    ::close(listener_);
  }
  bool full() const { return full_; }
  int port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  bool full_ = false;
  std::vector<int> fillers_;
};

TEST(TcpConnect, FullListenQueueGivesNoConnectAfterTheLimit) {
  FullBacklog b;
  ASSERT_TRUE(b.full()) << "the listen queue could not be filled";
  Timings t;
  t.connect_ms = 300;
  Connection c(t);
  c.SetTcpEndpoint(0x7F000001, b.port());
  const int64_t t0 = zel::platform::MonotonicMs();
  const ConnectResult r = c.OpenConnection(kTcpSelector, 0, std::nullopt);
  EXPECT_EQ(r, ConnectResult::kNoConnect);
  EXPECT_EQ(r, 4) << "the poll result of the same number is No Connect";
  EXPECT_GE(zel::platform::MonotonicMs() - t0, 290) << "it waited for its limit";
  EXPECT_FALSE(c.IsOpen());
  EXPECT_EQ(ConnectResultSentence(r, c.LineName(kTcpSelector)),
            "No connection to 127.0.0.1:" + std::to_string(b.port()) + " could be made in time");
}

TEST(TcpConnect, AbortEndsAConnectThatIsNeverAnswered) {
  FullBacklog b;
  ASSERT_TRUE(b.full()) << "the listen queue could not be filled";
  AbortFlag abort;
  Connection c(Timings{}, &abort);  // 30 s limit: only the abort ends this in time
  c.SetTcpEndpoint(0x7F000001, b.port());
  std::thread user([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    abort = 1;
  });
  const ConnectResult r = c.OpenConnection(kTcpSelector, 0, std::nullopt);
  user.join();
  EXPECT_EQ(r, ConnectResult::kAborted);
  EXPECT_FALSE(c.IsOpen());
}

TEST(ConnectResults, PrintAsSentencesThatNameTheLine) {
  Connection c;
  c.SetTcpEndpoint(0x7F000001, 5000);
  EXPECT_EQ(c.LineName(kTcpSelector), "127.0.0.1:5000");
  EXPECT_EQ(c.LineName(3), "COM4");
  EXPECT_EQ(ConnectResultSentence(SocketError(ECONNREFUSED), "127.0.0.1:5000"),
            "Connection refused by 127.0.0.1:5000");
  EXPECT_EQ(ConnectResultSentence(ConnectResult::kPortInUse, c.LineName(3)),
            "Serial port COM4 is in use by another program");
  EXPECT_EQ(ConnectResultSentence(ConnectResult::kNoSuchPort, c.LineName(8)),
            "No such serial port COM9");
  // Every result, known or not, gives a sentence without a bare number as its whole text.
  for (int code : {-3, -2, -1, 0, 1, 2, 3, 4, 8, 10000 + EHOSTUNREACH, 10000 + EACCES, 77}) {
    const std::string s = ConnectResultSentence(static_cast<ConnectResult>(code), "X");
    EXPECT_GT(s.size(), 10u) << code;
    EXPECT_NE(s, std::to_string(code));
    EXPECT_FALSE(ConnectResultText(static_cast<ConnectResult>(code)).empty()) << code;
  }
  EXPECT_EQ(SocketErrorNumber(SocketError(ECONNREFUSED)), ECONNREFUSED);
  EXPECT_EQ(SocketErrorNumber(ConnectResult::kBusy), 0);
  EXPECT_EQ(ConnectResultText(SocketError(ECONNREFUSED)), "Connection refused");
}

}  // namespace
}  // namespace zel::comm
