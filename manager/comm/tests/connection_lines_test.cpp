// The connection operations over a real TCP loopback stream and over a serial line (a socat
// pty pair): the same behaviour is expected from both.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "transport_test_peers.h"
#include "zel/comm/connection.h"
#include "zel/comm/tcp_transport.h"
#include "zel/platform/clock.h"

namespace zel::comm {
namespace {

using testing::ReadFor;
using testing::WriteAll;
using zel::platform::MonotonicMs;
using namespace std::chrono_literals;

// Sends bytes from the peer side from another thread; always stops within its bound.
class Feeder {
 public:
  template <typename F>
  explicit Feeder(F f) : thread_([this, f] { f(stop_); }) {}
  ~Feeder() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
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
    if (conn_) conn_->CloseConnection(selector_);
    if (peer_ >= 0) close(peer_);
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

TEST_P(LineTest, ReadByteNeverWaits) {
  int64_t t0 = MonotonicMs();
  for (int i = 0; i < 100; ++i) EXPECT_LT(conn_->ReadByte(selector_), 0);
  EXPECT_LT(MonotonicMs() - t0, 100);
  WriteAll(peer_, "A");
  ASSERT_TRUE(conn_->WaitReadable(selector_, 3000));
  EXPECT_EQ(conn_->ReadByte(selector_), 'A');
  EXPECT_LT(conn_->ReadByte(selector_), 0);
}

TEST_P(LineTest, WaitReadableEndsAtTheTimeoutOnASilentLine) {
  int64_t t0 = MonotonicMs();
  EXPECT_FALSE(conn_->WaitReadable(selector_, 80));
  int64_t d = MonotonicMs() - t0;
  EXPECT_GE(d, 75);
  EXPECT_LT(d, 1000);
}

TEST_P(LineTest, FlushInputDiscardsOnlyWhatIsWaiting) {
  WriteAll(peer_, std::string(300, 'x'));
  ASSERT_TRUE(conn_->WaitReadable(selector_, 3000));
  ASSERT_EQ(conn_->ReadByte(selector_), 'x');
  std::this_thread::sleep_for(100ms);  // the rest has arrived
  conn_->FlushInput(selector_);
  EXPECT_LT(conn_->ReadByte(selector_), 0);
  WriteAll(peer_, "y");
  EXPECT_EQ(ReadAll(1), "y");
}

TEST_P(LineTest, WaitForTextFindsATextSplitOverSeveralWritesAmongOtherBytes) {
  Feeder f([&](std::atomic<bool>&) {
    WriteAll(peer_, "\x1b\x1bgarbage Enter pa");
    std::this_thread::sleep_for(30ms);
    WriteAll(peer_, "ss");
    std::this_thread::sleep_for(30ms);
    WriteAll(peer_, "word: after");
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
  WriteAll(peer_, longer + longer);
  int64_t t0 = MonotonicMs();
  EXPECT_EQ(conn_->WaitForText(selector_, 200, longer), 0);
  EXPECT_GE(MonotonicMs() - t0, 195);
}

TEST_P(LineTest, WaitForTextOfAnEmptyTextNeedsOneByte) {
  EXPECT_EQ(conn_->WaitForText(selector_, 60, ""), 0);
  WriteAll(peer_, "qr");
  EXPECT_EQ(conn_->WaitForText(selector_, 2000, ""), 1);
  EXPECT_EQ(ReadAll(1), "r");  // only the first byte was taken
}

TEST_P(LineTest, WaitForTextTimeoutRunsFromTheCallNotFromTheLastByte) {
  Feeder f([&](std::atomic<bool>& stop) {
    for (int i = 0; i < 400 && !stop; ++i) {
      WriteAll(peer_, "z");
      std::this_thread::sleep_for(5ms);
    }
  });
  int64_t t0 = MonotonicMs();
  EXPECT_EQ(conn_->WaitForText(selector_, 150, "OK"), 0);
  int64_t d = MonotonicMs() - t0;
  EXPECT_GE(d, 150);
  EXPECT_LT(d, 1000);
}

TEST_P(LineTest, WaitForTextEndsOnAbort) {
  Feeder f([&](std::atomic<bool>&) {
    std::this_thread::sleep_for(60ms);
    abort_ = 1;
  });
  int64_t t0 = MonotonicMs();
  EXPECT_EQ(conn_->WaitForText(selector_, 20000, "never"), 0);
  EXPECT_LT(MonotonicMs() - t0, 2000);
}

TEST_P(LineTest, RaisingTheAbortFlagWakesALongWaitAtOnce) {
  // With readiness waits this long, only the flag's wake can end the waits early.
  Timings t = conn_->timings();
  t.wake_poll_ms = 60000;
  conn_->SetTimings(t);
  EXPECT_GT(conn_->WaitStepMs(), 30000);
  Feeder f([&](std::atomic<bool>&) {
    std::this_thread::sleep_for(60ms);
    abort_ = 1;
  });
  int64_t t0 = MonotonicMs();
  conn_->WaitQuiet(selector_, 30000);
  EXPECT_LT(MonotonicMs() - t0, 3000);
  EXPECT_TRUE(conn_->Aborted());
  // Cleared, the flag no longer cuts waits short: a later wait runs its full time.
  abort_ = 0;
  t0 = MonotonicMs();
  EXPECT_FALSE(conn_->WaitReadable(selector_, 150));
  EXPECT_GE(MonotonicMs() - t0, 140);
}

TEST_P(LineTest, WaitTimesTellSilenceFromAnswers) {
  WaitTimeRecorder times;
  conn_->SetObserver(&times);
  conn_->WaitQuiet(selector_, 100);
  EXPECT_GE(times.times().idleUs, 90000);
  EXPECT_EQ(times.times().answeredUs, 0);
  Feeder f([&](std::atomic<bool>&) {
    std::this_thread::sleep_for(80ms);
    WriteAll(peer_, "x");
  });
  ASSERT_TRUE(conn_->WaitReadable(selector_, 3000));
  EXPECT_EQ(conn_->ReadByte(selector_), 'x');
  EXPECT_GE(times.times().answeredUs, 60000);
  EXPECT_LT(times.times().idleUs, 1000000);
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
  Feeder f([&](std::atomic<bool>& stop) {
    for (int i = 0; i < 10 && !stop; ++i) {
      WriteAll(peer_, "n");
      std::this_thread::sleep_for(25ms);
    }
  });
  int64_t t0 = MonotonicMs();
  conn_->WaitQuiet(selector_, 100);
  int64_t d = MonotonicMs() - t0;
  // Ten bytes 25 ms apart keep the line busy for about 225 ms, then 100 ms of silence.
  EXPECT_GE(d, 300);
  EXPECT_LT(d, 2000);
  EXPECT_LT(conn_->ReadByte(selector_), 0);
}

TEST_P(LineTest, WaitQuietOnALineThatNeverFallsSilentReturnsOnlyOnAbort) {
  std::atomic<int64_t> abortedAt{0};
  Feeder f([&](std::atomic<bool>& stop) {
    int64_t start = MonotonicMs();
    for (int i = 0; i < 1000 && !stop; ++i) {
      WriteAll(peer_, "b");
      std::this_thread::sleep_for(5ms);
      if (abortedAt == 0 && MonotonicMs() - start >= 400) {
        abortedAt = MonotonicMs();
        abort_ = 1;
      }
    }
  });
  int64_t t0 = MonotonicMs();
  conn_->WaitQuiet(selector_, 60);
  int64_t end = MonotonicMs();
  ASSERT_NE(abortedAt.load(), 0) << "returned before the abort after " << end - t0 << " ms";
  EXPECT_GE(end, abortedAt.load());
  EXPECT_LT(end - abortedAt.load(), 500);
}

TEST_P(LineTest, AFloodOfBytesHidesNeitherTheTimeOutNorTheAbort) {
  Feeder f([&](std::atomic<bool>& stop) {
    // Writes only when the line takes bytes, so the feeder can always stop.
    const std::string chunk(4096, 'f');
    fcntl(peer_, F_SETFL, fcntl(peer_, F_GETFL) | O_NONBLOCK);
    int64_t end = MonotonicMs() + 4000;
    while (!stop && MonotonicMs() < end) {
      pollfd p{peer_, POLLOUT, 0};
      if (poll(&p, 1, 10) == 1 && (p.revents & POLLOUT)) {
        if (write(peer_, chunk.data(), chunk.size()) < 0 && errno != EAGAIN) break;
      }
    }
  });
  std::this_thread::sleep_for(50ms);
  int64_t t0 = MonotonicMs();
  EXPECT_EQ(conn_->WaitForText(selector_, 200, "never"), 0);
  EXPECT_LT(MonotonicMs() - t0, 1500);
  std::thread stopper([&] {
    std::this_thread::sleep_for(200ms);
    abort_ = 1;
  });
  t0 = MonotonicMs();
  conn_->WaitQuiet(selector_, 100);
  EXPECT_LT(MonotonicMs() - t0, 1500);
  stopper.join();
}

TEST_P(LineTest, WaitQuietReturnsAtOnceWhenAbortIsAlreadySet) {
  abort_ = 1;
  int64_t t0 = MonotonicMs();
  conn_->WaitQuiet(selector_, 5000);
  EXPECT_LT(MonotonicMs() - t0, 100);
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
  int64_t t0 = MonotonicMs();
  EXPECT_EQ(c.WaitForText(kTcpSelector, 20000, "never"), 0);
  EXPECT_LT(MonotonicMs() - t0, 5000);
  EXPECT_TRUE(c.LineGone());
  t0 = MonotonicMs();
  c.WaitQuiet(kTcpSelector, 20000);
  EXPECT_LT(MonotonicMs() - t0, 5000);
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
  // No modem commands went out.
  EXPECT_EQ(ReadFor(peer, 1, 100), "");
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
