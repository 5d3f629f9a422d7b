// Modem text I/O over a socket pair: which answer is reported, time-outs, abort, silence.
#include "zel/comm/modem_io.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "transport_test_peers.h"
#include "zel/comm/fd_transport.h"
#include "zel/platform/clock.h"
#include "zel/platform/monotonic.h"
#include "zel/testing/wait.h"

namespace zel::comm {
namespace {

using testing::ReadFor;
using testing::WriteAll;
using zel::platform::FakeMonotonic;
using zel::platform::MonotonicMs;
using zeltest::WaitUntil;

class ModemIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    line_ = std::make_unique<FdTransport>(sv[0]);
    peer_ = sv[1];
    modem_ = std::make_unique<ModemIo>(*line_, &abort_, 5);
  }
  void TearDown() override { close(peer_); }

  // True once the modem side has read everything the peer wrote.
  bool AllTaken() const {
    int queued = 0;
    return ::ioctl(peer_, TIOCOUTQ, &queued) == 0 && queued == 0;
  }
  // Drives `modem` pass by pass until it has read everything the peer wrote; false when it
  // stopped waiting first.
  bool AdvanceUntilTaken(ModemIo& modem) {
    bool running = true;
    WaitUntil([&] { return !(running = modem.Advance()) || AllTaken(); });
    return running;
  }

  AbortFlag abort_;
  std::unique_ptr<FdTransport> line_;
  std::unique_ptr<ModemIo> modem_;
  int peer_ = -1;
};

TEST_F(ModemIoTest, SendWritesTheTextAsItIs) {
  EXPECT_TRUE(modem_->Send("\rATZ\r"));
  EXPECT_TRUE(modem_->Send(""));
  EXPECT_EQ(ReadFor(peer_, 5, 1000), "\rATZ\r");
}

TEST_F(ModemIoTest, EachAlternativeGivesItsIndexAsADigit) {
  const char* answers[] = {"\r\nBUSY\r\n", "\r\nNO CARRIER\r\n", "\r\nCONNECT 9600\r\n"};
  for (int i = 0; i < 3; ++i) {
    WriteAll(peer_, answers[i]);
    EXPECT_EQ(modem_->WaitFor("BUSY|NO CARRIER|CONNECT", 2000), '0' + i) << answers[i];
    line_->WaitReadable(50);
    while (line_->ReadByte() >= 0) {
    }
  }
}

TEST_F(ModemIoTest, TheFirstAnswerToArriveWinsAndTiesGoToTheFirstListed) {
  WriteAll(peer_, "xx NO CARRIER yy BUSY");
  EXPECT_EQ(modem_->WaitFor("BUSY|NO CARRIER|CONNECT", 2000), '1');
  // Both complete at the same byte: the one listed first is reported.
  WriteAll(peer_, "NO CARRIER");
  EXPECT_EQ(modem_->WaitFor("CARRIER|NO CARRIER", 2000), '0');
}

TEST_F(ModemIoTest, AnswerSplitOverSeveralWritesAndEmptyAlternativesIgnored) {
  // Each piece is taken in passes of its own; the clock stands still, so no time-out ends it.
  FakeMonotonic still;
  ModemIo modem(*line_, &abort_, 5, still);
  modem.StartWait("|BUSY||CONNECT", 3000);
  for (const char* piece : {"ATD\r\r\nCON", "NE"}) {
    WriteAll(peer_, piece);
    ASSERT_TRUE(AdvanceUntilTaken(modem)) << piece;
  }
  WriteAll(peer_, "CT");
  WaitUntil([&] { return !modem.Advance(); });
  EXPECT_EQ(modem.Result(), '3');
  // A long answer is not cut short by any ring size.
  const std::string longer = "A VERY LONG MODEM ANSWER TEXT";
  WriteAll(peer_, longer);
  EXPECT_EQ(modem_->WaitFor(longer, 2000), '0');
}

TEST_F(ModemIoTest, TimeOutGivesZeroAfterTheWholeTime) {
  WriteAll(peer_, "OKAY?");  // "OK" is in it: matching is on the bytes, so this counts
  EXPECT_EQ(modem_->WaitFor("OK", 1000), '0');
  WriteAll(peer_, "O K");
  int64_t t0 = MonotonicMs();
  EXPECT_EQ(modem_->WaitFor("OK", 120), 0);
  EXPECT_GE(MonotonicMs() - t0, 120);
  EXPECT_EQ(modem_->Result(), 0);
  // On a clock of its own the wait ends exactly when its time has passed.
  FakeMonotonic clock;
  ModemIo modem(*line_, &abort_, 5, clock);
  modem.StartWait("OK", 120);
  for (int ms = 0; ms < 120; ms += 10) {
    EXPECT_TRUE(modem.Advance()) << ms;
    clock.AdvanceMs(10);
  }
  EXPECT_FALSE(modem.Advance());
  EXPECT_EQ(modem.Result(), 0);
}

// The clock stands still: only the abort can end these waits.
TEST_F(ModemIoTest, AbortEndsAWaitAsATimeOut) {
  FakeMonotonic still;
  ModemIo modem(*line_, &abort_, 5, still);
  // The abort comes while the modem waits: once it has taken a byte of noise.
  auto waiting = std::async(std::launch::async, [&] { return modem.WaitFor("CONNECT", 20000); });
  WriteAll(peer_, "x");
  ASSERT_TRUE(WaitUntil([&] { return AllTaken(); }));
  abort_ = 1;
  const bool ended = waiting.wait_for(zeltest::kGenerousWait) == std::future_status::ready;
  EXPECT_TRUE(ended) << "the abort did not end the wait";
  if (!ended) still.AdvanceMs(20000);  // the time-out ends it
  EXPECT_EQ(waiting.get(), 0);
  // Raised already: a quiet wait stops at its first pass.
  modem.StartQuiet(20000);
  EXPECT_FALSE(modem.Advance());
  EXPECT_EQ(modem.Result(), 0);
}

TEST_F(ModemIoTest, DrivenPassByPassUntilIdle) {
  modem_->StartWait("OK", 2000);
  EXPECT_TRUE(modem_->Advance());
  WriteAll(peer_, "\r\nOK\r\n");
  int passes = 0;
  while (modem_->Advance() && passes < 1000) ++passes;
  EXPECT_LT(passes, 1000);
  EXPECT_EQ(modem_->Result(), '0');
  EXPECT_FALSE(modem_->Advance());  // idle stays idle
}

TEST_F(ModemIoTest, QuietWaitDiscardsInputAndRestartsAtEveryByte) {
  FakeMonotonic clock;
  ModemIo modem(*line_, &abort_, 5, clock);
  modem.StartQuiet(80);
  // A byte every 60 ms keeps the line from 80 ms of quiet for as long as they come.
  for (int i = 0; i < 8; ++i) {
    clock.AdvanceMs(60);
    WriteAll(peer_, "r");
    ASSERT_TRUE(AdvanceUntilTaken(modem)) << "quiet after " << i << " bytes";
  }
  clock.AdvanceMs(79);
  EXPECT_TRUE(modem.Advance());
  clock.AdvanceMs(1);
  EXPECT_FALSE(modem.Advance());
  EXPECT_EQ(line_->ReadByte(), -1);
  EXPECT_EQ(modem.Result(), 0);
}

}  // namespace
}  // namespace zel::comm
