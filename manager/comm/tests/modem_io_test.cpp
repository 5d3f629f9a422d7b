// Modem text I/O over a socket pair: which answer is reported, time-outs, abort, silence.
#include "zel/comm/modem_io.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "transport_test_peers.h"
#include "zel/comm/fd_transport.h"
#include "zel/platform/clock.h"

namespace zel::comm {
namespace {

using testing::ReadFor;
using testing::WriteAll;
using zel::platform::MonotonicMs;
using namespace std::chrono_literals;

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
  std::thread t([&] {
    WriteAll(peer_, "ATD\r\r\nCON");
    std::this_thread::sleep_for(30ms);
    WriteAll(peer_, "NE");
    std::this_thread::sleep_for(30ms);
    WriteAll(peer_, "CT");
  });
  EXPECT_EQ(modem_->WaitFor("|BUSY||CONNECT", 3000), '3');
  t.join();
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
}

TEST_F(ModemIoTest, AbortEndsAWaitAsATimeOut) {
  std::thread t([&] {
    std::this_thread::sleep_for(50ms);
    abort_ = 1;
  });
  int64_t t0 = MonotonicMs();
  EXPECT_EQ(modem_->WaitFor("CONNECT", 20000), 0);
  EXPECT_LT(MonotonicMs() - t0, 2000);
  t.join();
  t0 = MonotonicMs();
  modem_->WaitQuiet(20000);
  EXPECT_LT(MonotonicMs() - t0, 500);
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
  std::thread t([&] {
    for (int i = 0; i < 8; ++i) {
      WriteAll(peer_, "r");
      std::this_thread::sleep_for(20ms);
    }
  });
  int64_t t0 = MonotonicMs();
  modem_->WaitQuiet(80);
  int64_t d = MonotonicMs() - t0;
  t.join();
  EXPECT_GE(d, 200);
  EXPECT_EQ(line_->ReadByte(), -1);
  EXPECT_EQ(modem_->Result(), 0);
}

}  // namespace
}  // namespace zel::comm
