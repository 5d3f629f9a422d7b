// Opening a modem line against a fake modem on a pty pair: the exact command bytes, every
// result code, the status texts and abort.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport_test_peers.h"
#include "zel/comm/connection.h"
#include "zel/platform/clock.h"
#include "zel/platform/monotonic.h"
#include "zel/testing/wait.h"

namespace zel::comm {
namespace {

using testing::Answering;
using testing::FakeModem;
using testing::NeverOk;
using testing::OnDial;
using testing::SocatPair;
using zel::platform::FakeMonotonic;
using zel::platform::MonotonicMs;
using zeltest::WaitUntil;

class DialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    Timings t;
    t.modem_ok_ms = 300;
    t.dial_ms = 300;
    t.xmodem_poll_ms = 5;
    conn_ = std::make_unique<Connection>(t, &abort_, &status_);
    PortMap map;
    map.Set(1, pty_.a());
    conn_->SetPortMap(map);
  }
  void TearDown() override { conn_->CloseConnection(1); }

  int Dial(const std::string& init, const std::string& prefix, const std::string& phone) {
    ConnectionSettings s;
    s.modemInit = init;
    s.dialPrefix = prefix;
    conn_->SetSettings(s);
    int64_t t0 = MonotonicMs();
    int r = Code(conn_->OpenConnection(1, 5, phone));
    took_ = MonotonicMs() - t0;
    return r;
  }
  // Dials with the connection's clock standing still, so no time-out can end the modem's
  // waits; a dial still running after the generous limit fails the test and is then let run
  // out of time.
  int DialWithoutTimeOuts(const std::string& phone) {
    FakeMonotonic still;
    conn_->SetMonotonic(still);
    auto dial = std::async(std::launch::async, [&] { return Dial("", "", phone); });
    const bool ended = dial.wait_for(zeltest::kGenerousWait) == std::future_status::ready;
    EXPECT_TRUE(ended) << "only a time-out could end the dial";
    if (!ended) still.AdvanceMs(3'600'000);
    const int r = dial.get();
    conn_->SetMonotonic(zel::platform::SystemMonotonic());
    return r;
  }
  // The modem's log once a marker sent after everything else has reached it: nothing sent
  // before can still be under way.
  static std::string AllReceived(Connection& c, FakeModem& m) {
    const std::size_t before = m.Received().size();
    EXPECT_EQ(c.SendByte(1, '#'), 0);
    WaitUntil([&] {
      const std::string r = m.Received();
      return r.size() > before && r.back() == '#';
    });
    std::string r = m.Received();
    if (!r.empty() && r.back() == '#') r.pop_back();
    return r;
  }

  SocatPair pty_;
  AbortFlag abort_;
  StatusTexts status_;
  std::unique_ptr<Connection> conn_;
  int64_t took_ = 0;
};

TEST_F(DialTest, EmptyInitSendsCrAtCrAndEmptyPrefixDialsTheNumberDirectly) {
  FakeModem m(pty_.b(), Answering({"\r\nCONNECT 9600\r\n"}), &status_);
  ASSERT_TRUE(m.ok());
  EXPECT_EQ(Dial("", "", "5551234"), 0);
  EXPECT_TRUE(conn_->IsOpen());
  EXPECT_EQ(AllReceived(*conn_, m), "\rAT\rATDT5551234\r");
  EXPECT_EQ(m.Operations(), (std::vector<std::string>{"Init. Modem", "Dialing"}));
  // The line is the recorder's now.
  EXPECT_EQ(conn_->SendBlock(1, reinterpret_cast<const uint8_t*>("hi"), 2), 2);
  EXPECT_EQ(AllReceived(*conn_, m), "\rAT\rATDT5551234\r#hi");
}

TEST_F(DialTest, InitTextGoesBetweenTwoCrsWithoutAtAndThePrefixBeforeTheNumber) {
  FakeModem m(pty_.b(), Answering({"\r\nCONNECT\r\n"}), &status_);
  EXPECT_EQ(Dial("ATZ&C1E0", "9,W", "0123 456"), 0);
  EXPECT_EQ(AllReceived(*conn_, m), "\rATZ&C1E0\rATDT9,W0123 456\r");
}

TEST_F(DialTest, BusyIsTwoNoCarrierIsThreeEvenWhenTheModemEchoes) {
  {
    FakeModem m(pty_.b(), Answering({"\r\nBU", "SY\r\n"}, true), &status_);
    EXPECT_EQ(Dial("", "", "1"), 2);
  }
  conn_->CloseConnection(1);
  {
    FakeModem m(pty_.b(), Answering({"\r\nNO CARRIER\r\n"}, true), &status_);
    EXPECT_EQ(Dial("", "", "1"), 3);
  }
}

TEST_F(DialTest, ModemThatNeverSaysOkIsOneAndNothingIsDialled) {
  FakeModem m(pty_.b(), NeverOk(), &status_);
  EXPECT_EQ(Dial("", "", "5551234"), 1);
  EXPECT_GE(took_, 300);
  EXPECT_EQ(AllReceived(*conn_, m), "\rAT\r");
  // The port stays the current line until the caller closes it.
  EXPECT_TRUE(conn_->IsOpen());
  conn_->CloseConnection(1);
  EXPECT_FALSE(conn_->IsOpen());
}

TEST_F(DialTest, NoAnswerToTheDialIsFourAfterTheDialTime) {
  FakeModem m(pty_.b(), {}, &status_);
  EXPECT_EQ(Dial("", "", "5551234"), 4);
  EXPECT_GE(took_, 300);
}

TEST_F(DialTest, AbortWhileDiallingIsEight) {
  Timings t = conn_->timings();
  t.dial_ms = 20000;
  conn_->SetTimings(t);
  FakeModem m(pty_.b(), OnDial([&] { abort_ = 1; }), &status_);
  EXPECT_EQ(DialWithoutTimeOuts("5551234"), 8);
  EXPECT_EQ(m.Operations(), (std::vector<std::string>{"Init. Modem", "Dialing"}));
}

TEST_F(DialTest, AbortWhileWaitingForOkIsEightAndNothingIsDialled) {
  Timings t = conn_->timings();
  t.modem_ok_ms = 20000;
  conn_->SetTimings(t);
  FakeModem m(pty_.b(), NeverOk(), &status_);
  // The abort comes once the modem has the init command.
  std::thread stopper([&] {
    WaitUntil([&] { return m.Received() == "\rAT\r"; });
    abort_ = 1;
  });
  EXPECT_EQ(DialWithoutTimeOuts("5551234"), 8);
  stopper.join();
  abort_ = 0;
  EXPECT_EQ(AllReceived(*conn_, m), "\rAT\r");
}

TEST_F(DialTest, DirectLineSendsNothingAndSetsNoStatus) {
  FakeModem m(pty_.b(), {}, &status_);
  EXPECT_EQ(conn_->OpenConnection(1, 7, std::nullopt), 0);
  EXPECT_EQ(AllReceived(*conn_, m), "");
  EXPECT_EQ(status_.Get().operation, "");
}

}  // namespace
}  // namespace zel::comm
