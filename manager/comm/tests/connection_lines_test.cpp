// The connection operations over a real TCP loopback stream and over a serial line (a socat
// pty pair): the same behaviour is expected from both.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "step_clock.h"
#include "transport_test_peers.h"
#include "zel/comm/connection.h"
#include "zel/comm/tcp_transport.h"
#include "zel/platform/clock.h"
#include "zel/platform/monotonic.h"
#include "zel/testing/wait.h"

namespace zel::comm {
namespace {

using testing::ReadFor;
using testing::StepClock;
using testing::WriteAll;
using zel::platform::FakeMonotonic;
using zel::platform::MonotonicMs;
using zeltest::WaitUntil;
using namespace std::chrono_literals;

// Sends bytes from the peer side from another thread; always stops within its bound.
class Feeder {
 public:
  template <typename F>
  explicit Feeder(F f)
      : thread_([this, f] {
          f(stop_);
          done_ = true;
        }) {}
  ~Feeder() {
    stop_ = true;
    thread_.join();
  }
  bool done() const { return done_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

class LineTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    Timings t;
    t.xmodem_poll_ms = 5;
    conn_ = std::make_unique<Connection>(t, &abort_);
    if (GetParam() == "tcp") {
      selector_ = kTcpSelector;
      conn_->SetTcpEndpoint(0x7F000001, listener_.port());
      std::thread acc([&] { peer_ = listener_.Accept(); });
      ASSERT_EQ(conn_->OpenConnection(selector_, 0, std::nullopt), 0);
      acc.join();
    } else {
      pty_ = std::make_unique<testing::SocatPair>();
      ASSERT_TRUE(pty_->ok()) << "socat could not make a pty pair";
      PortMap map;
      map.Set(2, pty_->a());
      conn_->SetPortMap(map);
      selector_ = 2;
      ASSERT_EQ(conn_->OpenConnection(selector_, 9, std::nullopt), 0);
      peer_ = testing::OpenPeerPty(pty_->b());
    }
    ASSERT_GE(peer_, 0);
    ASSERT_TRUE(conn_->IsOpen());
  }
  void TearDown() override {
    if (conn_) {
      conn_->SetObserver(nullptr);
      conn_->CloseConnection(selector_);
    }
    if (peer_ >= 0) close(peer_);
    if (watch_ >= 0) close(watch_);
  }

  // True once the peer's socket or pty holds nothing it has not passed on (over TCP the
  // connection's side has it; on the pty socat has taken it).
  bool PeerSentAll() const {
    int queued = 0;
    return ::ioctl(peer_, TIOCOUTQ, &queued) == 0 && queued == 0;
  }
  // True once the peer's bytes have all reached the connection's side of the line (none still
  // under way in the socket or in socat); nothing is read. On the pty, `n` bytes are counted
  // there, so the connection must not have read any of them yet.
  bool AllArrived(size_t n) {
    int count = 0;
    if (GetParam() == "tcp") {
      // Loopback: what the peer's socket still holds has not reached ours.
      return ::ioctl(peer_, TIOCOUTQ, &count) == 0 && count == 0;
    }
    if (watch_ < 0) watch_ = ::open(pty_->a().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    return watch_ >= 0 && ::ioctl(watch_, FIONREAD, &count) == 0 && static_cast<size_t>(count) >= n;
  }

  std::string ReadAll(size_t n, int timeout_ms = 3000) {
    std::string got;
    int64_t end = MonotonicMs() + timeout_ms;
    while (got.size() < n && MonotonicMs() < end) {
      conn_->WaitReadable(selector_, 20);
      int b;
      while ((b = conn_->ReadByte(selector_)) >= 0) got.push_back(static_cast<char>(b));
    }
    return got;
  }

  AbortFlag abort_;
  testing::TcpListener listener_;
  std::unique_ptr<testing::SocatPair> pty_;
  std::unique_ptr<Connection> conn_;
  int selector_ = 0;
  int peer_ = -1;
  int watch_ = -1;  // a second descriptor on the connection's pty, to see what waits there
};

TEST_P(LineTest, BytesGoBothWaysUnchanged) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  all += all;
  EXPECT_EQ(conn_->SendBlock(selector_, reinterpret_cast<const uint8_t*>(all.data()),
                             static_cast<int>(all.size())),
            static_cast<int>(all.size()));
  EXPECT_EQ(conn_->SendByte(selector_, 0x06), 0);
  EXPECT_EQ(conn_->SendByte(selector_, 0x00), 0);
  EXPECT_EQ(ReadFor(peer_, all.size() + 2, 3000), all + std::string("\x06\x00", 2));

  WriteAll(peer_, all);
  EXPECT_EQ(ReadAll(all.size()), all);
  EXPECT_EQ(conn_->SendBlock(selector_, nullptr, 0), 0);
}

// A read that waited for a byte would hang here on the silent line.
TEST_P(LineTest, ReadByteNeverWaits) {
  for (int i = 0; i < 100; ++i) EXPECT_LT(conn_->ReadByte(selector_), 0);
  WriteAll(peer_, "A");
  ASSERT_TRUE(conn_->WaitReadable(selector_, 3000));
  EXPECT_EQ(conn_->ReadByte(selector_), 'A');
  EXPECT_LT(conn_->ReadByte(selector_), 0);
}

TEST_P(LineTest, WaitReadableEndsAtTheTimeoutOnASilentLine) {
  int64_t t0 = MonotonicMs();
  EXPECT_FALSE(conn_->WaitReadable(selector_, 80));
  EXPECT_GE(MonotonicMs() - t0, 75);
}

TEST_P(LineTest, FlushInputDiscardsOnlyWhatIsWaiting) {
  WriteAll(peer_, std::string(300, 'x'));
  ASSERT_TRUE(WaitUntil([&] { return AllArrived(300); })) << "the bytes never arrived";
  ASSERT_TRUE(conn_->WaitReadable(selector_, 3000));
  ASSERT_EQ(conn_->ReadByte(selector_), 'x');
  conn_->FlushInput(selector_);
  EXPECT_LT(conn_->ReadByte(selector_), 0);
  WriteAll(peer_, "y");
  EXPECT_EQ(ReadAll(1), "y");
}

TEST_P(LineTest, WaitForTextFindsATextSplitOverSeveralWritesAmongOtherBytes) {
  StepClock clock(0, 0);
  clock.Drive(*conn_);
  // Each piece goes once the connection has taken the last one and found the line silent.
  Feeder f([&](std::atomic<bool>& stop) {
    for (const char* piece : {"\x1b\x1bgarbage Enter pa", "ss", "word: after"}) {
      const int silent = clock.silent();
      if (!WaitUntil([&] { return stop || clock.silent() > silent; })) {
        abort_ = 1;  // the clock stands still: only this ends the wait
        return;
      }
      WriteAll(peer_, piece);
    }
  });
  EXPECT_EQ(conn_->WaitForText(selector_, 3000, "Enter password: "), 1);
  // The bytes after the text are left for the next reader.
  EXPECT_EQ(ReadAll(5), "after");
}

TEST_P(LineTest, WaitForTextMatchesTwentyBytesButNeverMore) {
  const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
  WriteAll(peer_, "..." + twenty + "...");
  EXPECT_EQ(conn_->WaitForText(selector_, 2000, twenty), 1);
  conn_->FlushInput(selector_);

  const std::string longer = twenty + "U";
  StepClock clock(5, 5);
  clock.Drive(*conn_);
  WriteAll(peer_, longer + longer);
  ASSERT_TRUE(WaitUntil([&] { return AllArrived(2 * longer.size()); }));
  const int64_t t0 = clock.NowMs();
  EXPECT_EQ(conn_->WaitForText(selector_, 200, longer), 0);
  EXPECT_GE(clock.NowMs() - t0, 200) << "it waited its whole time";
  EXPECT_LT(conn_->ReadByte(selector_), 0) << "every byte was looked at";
}

TEST_P(LineTest, WaitForTextOfAnEmptyTextNeedsOneByte) {
  StepClock clock(5, 5);
  clock.Drive(*conn_);
  const int64_t t0 = clock.NowMs();
  EXPECT_EQ(conn_->WaitForText(selector_, 60, ""), 0);
  EXPECT_GE(clock.NowMs() - t0, 60);
  WriteAll(peer_, "qr");
  EXPECT_EQ(conn_->WaitForText(selector_, 2000, ""), 1);
  EXPECT_EQ(ReadAll(1), "r");  // only the first byte was taken
}

TEST_P(LineTest, WaitForTextTimeoutRunsFromTheCallNotFromTheLastByte) {
  StepClock clock(5, 0);  // time passes only with bytes
  clock.Drive(*conn_);
  // A byte each time the connection has taken the last one: the feeder would go on far past
  // the time-out.
  Feeder f([&](std::atomic<bool>& stop) {
    for (int i = 0; i < 2000 && !stop; ++i) {
      const int waits = clock.waits();
      WriteAll(peer_, "z");
      if (!WaitUntil([&] { return stop || clock.waits() > waits; })) return;
    }
  });
  const int64_t t0 = clock.NowMs();
  EXPECT_EQ(conn_->WaitForText(selector_, 150, "OK"), 0);
  const int64_t d = clock.NowMs() - t0;
  EXPECT_GE(d, 150);
  EXPECT_LE(d, 150 + 2 * 5) << "the time-out started again at a byte";
  EXPECT_FALSE(f.done()) << "it ended only when the bytes stopped";
}

// The connection's clock stands still: no time-out can end these waits, only the abort.
TEST_P(LineTest, WaitForTextEndsOnAbort) {
  StepClock clock(0, 0);
  clock.Drive(*conn_);
  Feeder f([&](std::atomic<bool>& stop) {
    WaitUntil([&] { return stop || clock.waits() > 0; });  // the connection is waiting
    abort_ = 1;
  });
  EXPECT_EQ(conn_->WaitForText(selector_, 20000, "never"), 0);
  EXPECT_TRUE(conn_->Aborted());
}

TEST_P(LineTest, RaisingTheAbortFlagWakesALongWaitAtOnce) {
  // With readiness waits this long, only the flag's wake can end the waits early.
  Timings t = conn_->timings();
  t.wake_poll_ms = 60000;
  conn_->SetTimings(t);
  EXPECT_GT(conn_->WaitStepMs(), 30000);
  // The connection's clock stands still, so only the abort can end the quiet wait; the abort
  // comes once the connection has taken a byte and gone back to its long wait.
  StepClock clock(0, 0);
  clock.Attach(*conn_);
  auto waiting = std::async(std::launch::async, [&] { return conn_->WaitQuiet(selector_, 30000); });
  // A byte at every look until one ends a wait (the first may be read before any wait).
  const bool answered = WaitUntil([&] {
    WriteAll(peer_, "x");
    return clock.answered() > 0;
  });
  abort_ = 1;
  EXPECT_TRUE(answered) << "no byte ended a wait";
  // The wait step is a minute: a wake that did not work would hold the wait that long.
  const bool woke = waiting.wait_for(zeltest::kGenerousWait) == std::future_status::ready;
  EXPECT_TRUE(woke) << "raising the flag did not end the wait";
  if (!woke) {
    // Ending the line ends the wait.
    ::shutdown(peer_, SHUT_RDWR);
    close(peer_);
    peer_ = -1;
  }
  EXPECT_FALSE(waiting.get());
  EXPECT_TRUE(conn_->Aborted());
  // Cleared, the flag no longer cuts waits short: a later wait runs its full time (once the
  // bytes left from above are gone).
  clock.Detach();
  abort_ = 0;
  EXPECT_TRUE(conn_->WaitQuiet(selector_, 200));
  const int64_t t0 = MonotonicMs();
  EXPECT_FALSE(conn_->WaitReadable(selector_, 150));
  EXPECT_GE(MonotonicMs() - t0, 140);
}

TEST_P(LineTest, WaitTimesTellSilenceFromAnswers) {
  WaitTimeRecorder times;
  conn_->SetObserver(&times);
  conn_->WaitQuiet(selector_, 100);
  EXPECT_GE(times.times().idleUs, 90000);
  EXPECT_EQ(times.times().answeredUs, 0);
  // The far end answers only what the connection sends, so the answer comes while it waits.
  const int64_t idle = times.times().idleUs;
  Feeder f([&](std::atomic<bool>&) {
    if (ReadFor(peer_, 1, 20000) == "?") WriteAll(peer_, "x");
  });
  ASSERT_EQ(conn_->SendByte(selector_, '?'), 0);
  ASSERT_TRUE(conn_->WaitReadable(selector_, 20000));
  EXPECT_EQ(conn_->ReadByte(selector_), 'x');
  EXPECT_GT(times.times().answeredUs, 0);
  EXPECT_EQ(times.times().idleUs, idle) << "a wait that ended with a byte counted as silence";
  // The system calls that moved bytes are counted apart from the waits.
  const std::string block(20000, 'w');
  ASSERT_EQ(conn_->SendBlock(selector_, reinterpret_cast<const uint8_t*>(block.data()),
                             static_cast<int>(block.size())),
            static_cast<int>(block.size()));
  EXPECT_EQ(ReadFor(peer_, block.size(), 3000).size(), block.size());
  EXPECT_GT(times.times().lineIoUs, 0);
  times.Reset();
  EXPECT_EQ(times.times().idleUs, 0);
  EXPECT_EQ(times.times().lineIoUs, 0);
  conn_->SetObserver(nullptr);
}

TEST_P(LineTest, WaitQuietRestartsItsTimerAtEveryByteAndDiscardsThem) {
  StepClock clock(0, 0);  // time passes only as the feeder says
  clock.Drive(*conn_);
  // Ten bytes 20 ms apart: never 100 ms quiet until 100 ms after the last. Each byte goes once
  // the clock has moved for it, and the next step once it has left the peer (socat passes
  // bytes on in order, so at most one is under way when the clock moves).
  std::atomic<int> sent{0};
  Feeder f([&](std::atomic<bool>& stop) {
    for (int i = 0; i < 10 && !stop; ++i) {
      clock.AdvanceAtNextWaitMs(20);
      if (!WaitUntil([&] { return stop || clock.Settled(); })) break;
      WriteAll(peer_, "n");
      if (!WaitUntil([&] { return stop || PeerSentAll(); })) break;
      ++sent;
    }
    // Then time passes, 5 ms at each look, until the quiet wait ends.
    WaitUntil([&] {
      clock.AdvanceAtNextWaitMs(5);
      return stop.load();
    });
  });
  const int64_t t0 = clock.NowMs();
  EXPECT_TRUE(conn_->WaitQuiet(selector_, 100));
  EXPECT_EQ(sent.load(), 10) << "it fell quiet with bytes still to come";
  // The ninth byte was read 180 ms in at the earliest (the last may still be with socat).
  EXPECT_GE(clock.NowMs() - t0, 9 * 20 + 100);
  EXPECT_LT(conn_->ReadByte(selector_), 0);
}

TEST_P(LineTest, WaitQuietOnALineThatNeverFallsSilentReturnsOnlyOnAbort) {
  StepClock clock(5, 0);  // time passes only with bytes
  clock.Drive(*conn_);
  std::atomic<int64_t> abortedAt{0};
  // A byte whenever the connection has taken the last one; the abort after 400 ms of that.
  Feeder f([&](std::atomic<bool>& stop) {
    const int64_t start = clock.NowMs();
    for (int i = 0; i < 5000 && !stop; ++i) {
      const int waits = clock.waits();
      WriteAll(peer_, "b");
      if (abortedAt == 0 && clock.NowMs() - start >= 400) {
        abortedAt = clock.NowMs();
        abort_ = 1;
      }
      if (!WaitUntil([&] { return stop || clock.waits() > waits; })) return;
    }
  });
  const int64_t t0 = clock.NowMs();
  EXPECT_FALSE(conn_->WaitQuiet(selector_, 60));
  const int64_t end = clock.NowMs();
  ASSERT_NE(abortedAt.load(), 0) << "returned before the abort after " << end - t0 << " ms";
  EXPECT_GE(end, abortedAt.load());
  EXPECT_LE(end - abortedAt.load(), 2 * 5) << "the abort was not seen at the next pass";
}

TEST_P(LineTest, AFloodOfBytesHidesNeitherTheTimeOutNorTheAbort) {
  StepClock clock(5, 0);  // time passes only with bytes
  clock.Drive(*conn_);
  std::atomic<long> written{0};
  Feeder f([&](std::atomic<bool>& stop) {
    // Writes only when the line takes bytes, so the feeder can always stop.
    const std::string chunk(4096, 'f');
    fcntl(peer_, F_SETFL, fcntl(peer_, F_GETFL) | O_NONBLOCK);
    const int64_t end = MonotonicMs() + zeltest::kGenerousWait.count();
    while (!stop && MonotonicMs() < end) {
      pollfd p{peer_, POLLOUT, 0};
      if (poll(&p, 1, 10) == 1 && (p.revents & POLLOUT)) {
        const ssize_t w = write(peer_, chunk.data(), chunk.size());
        if (w < 0 && errno != EAGAIN) break;
        if (w > 0) written += w;
      }
    }
  });
  ASSERT_TRUE(WaitUntil([&] { return written > 0; }));
  const int64_t t0 = clock.NowMs();
  EXPECT_EQ(conn_->WaitForText(selector_, 200, "never"), 0);
  EXPECT_GE(clock.NowMs() - t0, 200);
  EXPECT_LE(clock.NowMs() - t0, 200 + 2 * 5) << "the flood held the time-out off";
  EXPECT_FALSE(f.done()) << "it ended only when the flood stopped";
  // The abort comes after 200 ms of the quiet wait, with the flood still going.
  std::atomic<int64_t> abortedAt{0};
  std::thread stopper([&] {
    const int64_t start = clock.NowMs();
    WaitUntil([&] { return clock.NowMs() - start >= 200; });
    abortedAt = clock.NowMs();
    abort_ = 1;
  });
  EXPECT_FALSE(conn_->WaitQuiet(selector_, 100));
  const int64_t end = clock.NowMs();
  stopper.join();
  ASSERT_NE(abortedAt.load(), 0);
  EXPECT_LE(end - abortedAt.load(), 2 * 5) << "the flood hid the abort";
  EXPECT_FALSE(f.done());
}

TEST_P(LineTest, WaitQuietReturnsAtOnceWhenAbortIsAlreadySet) {
  StepClock clock(0, 0);
  clock.Drive(*conn_);
  abort_ = 1;
  EXPECT_FALSE(conn_->WaitQuiet(selector_, 5000));
  EXPECT_EQ(clock.waits(), 0) << "it waited on the line first";
}

TEST_P(LineTest, CloseLetsTheLastBytesLeaveAndEndsTheLine) {
  std::string big(20000, 'k');
  big += "END";
  ASSERT_EQ(conn_->SendBlock(selector_, reinterpret_cast<const uint8_t*>(big.data()),
                             static_cast<int>(big.size())),
            static_cast<int>(big.size()));
  conn_->CloseConnection(selector_);
  EXPECT_FALSE(conn_->IsOpen());
  EXPECT_EQ(ReadFor(peer_, big.size(), 5000), big);
  EXPECT_LT(conn_->ReadByte(selector_), 0);
  EXPECT_EQ(conn_->SendByte(selector_, 'x'), -1);
  EXPECT_EQ(conn_->SendBlock(selector_, reinterpret_cast<const uint8_t*>("ab"), 2), -1);
  EXPECT_EQ(conn_->WaitForText(selector_, 50, "x"), 0);
  conn_->CloseConnection(selector_);  // closing twice is harmless
}

INSTANTIATE_TEST_SUITE_P(Lines, LineTest, ::testing::Values("tcp", "pty"),
                         [](const auto& info) { return info.param; });

TEST(TcpOpen, ARefusedConnectIsASocketErrorNotALayerCode) {
  int port;
  {
    testing::TcpListener l;
    port = l.port();
  }  // closed again: nobody listens there now
  Connection c;
  c.SetTcpEndpoint(0x7F000001, port);
  int r = Code(c.OpenConnection(kTcpSelector, 0, std::nullopt));
  EXPECT_EQ(r, kSocketErrorBase + ECONNREFUSED);
  EXPECT_FALSE(c.IsOpen());
  EXPECT_EQ(ConnectionErrorText(r), "Unknown error");
}

// A socket has an end: once the recorder (or its terminal server) closes it, waits end at once.
// A serial line has none; a far end closing its port without dropping carrier goes unnoticed
// there, as on a real cable.
TEST(TcpOpen, WaitsEndWhenTheFarEndClosesTheSocket) {
  testing::TcpListener l;
  Connection c;
  c.SetTcpEndpoint(0x7F000001, l.port());
  int peer = -1;
  std::thread acc([&] { peer = l.Accept(); });
  ASSERT_EQ(c.OpenConnection(kTcpSelector, 0, std::nullopt), 0);
  acc.join();
  ASSERT_GE(peer, 0);
  WriteAll(peer, "last words");
  close(peer);
  // What was sent before the close is still read, then nothing more can come.
  EXPECT_EQ(c.WaitForText(kTcpSelector, 3000, "words"), 1);
  EXPECT_FALSE(c.LineGone());
  // The clock stands still from here: only the line's end can finish these waits.
  FakeMonotonic still;
  c.SetMonotonic(still);
  EXPECT_EQ(c.WaitForText(kTcpSelector, 20000, "never"), 0);
  EXPECT_TRUE(c.LineGone());
  EXPECT_FALSE(c.WaitQuiet(kTcpSelector, 20000));
  c.CloseConnection(kTcpSelector);
  EXPECT_TRUE(c.LineGone());
}

TEST(TcpOpen, TcpIgnoresTheAbortFlagAndThePhoneNumber) {
  AbortFlag abort;
  abort.store(1);
  testing::TcpListener l;
  Connection c({}, &abort);
  c.SetTcpEndpoint(0x7F000001, l.port());
  int peer = -1;
  std::thread acc([&] { peer = l.Accept(); });
  EXPECT_EQ(c.OpenConnection(kTcpSelector, 3, std::string("5551234")), 0);
  acc.join();
  ASSERT_GE(peer, 0);
  // No modem commands went out: the first byte the far end sees is the connection's own.
  ASSERT_EQ(c.SendByte(kTcpSelector, '#'), 0);
  EXPECT_EQ(ReadFor(peer, 1, 20000), "#");
  close(peer);
}

TEST(TcpOpen, AddressTextIsDottedWithTheFirstOctetMostSignificant) {
  EXPECT_EQ(TcpTransport::AddressText(0x7F000001), "127.0.0.1");
  EXPECT_EQ(TcpTransport::AddressText(0xC0A80AFE), "192.168.10.254");
  EXPECT_EQ(TcpTransport::AddressText(0xFFFFFFFF), "255.255.255.255");
  EXPECT_EQ(TcpTransport::AddressText(0), "0.0.0.0");
}

}  // namespace
}  // namespace zel::comm
