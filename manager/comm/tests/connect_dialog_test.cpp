// Connecting for the user: TCP/IP without a dialog, serial and modem lines behind the
// Connecting dialog with Cancel, the texts of every failure, and the status texts.
#include "zel/comm/connect_dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport_test_peers.h"
#include "zel/comm/serial_port.h"

namespace zel::comm {
namespace {

using testing::Answering;
using testing::FakeModem;
using testing::NeverOk;
using testing::SocatPair;
using zel::platform::PromptButtons;
using zel::platform::RecordingPrompter;

// Stands in for the Qt dialog: records what it shows and what the status texts were while it
// was up, and presses Cancel when `cancel_when` first says so.
class ScriptedView : public ConnectingView {
 public:
  explicit ScriptedView(StatusTexts* status) : status_(status) {}
  std::function<bool()> cancel_when;
  int runs = 0;
  int ticks = 0;
  bool cancelled = false;
  std::string title, caption, target;
  std::vector<StatusTexts::Snapshot> seen;

  void Run(ConnectAttempt& a) override {
    ++runs;
    title = a.title();
    caption = a.caption();
    target = a.target();
    for (int i = 0; i < 2000; ++i) {  // bounded: 2000 ticks
      if (status_) seen.push_back(status_->Get());
      ++ticks;
      if (a.Tick()) return;
      if (!cancelled && cancel_when && cancel_when()) {
        cancelled = true;
        a.Cancel();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(a.tick_ms()));
    }
  }

 private:
  StatusTexts* status_;
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    Timings t;
    t.modem_ok_ms = 200;
    t.dial_ms = 200;
    t.dialog_tick_ms = 5;
    t.xmodem_poll_ms = 5;
    conn_ = std::make_unique<Connection>(t, &abort_, &status_);
    PortMap map;
    map.Set(0, pty_.a());
    map.Set(1, pty_.dir() + "/missing");
    conn_->SetPortMap(map);
  }
  void TearDown() override { conn_->CloseConnection(0); }

  int Connect(int selector, const std::optional<std::string>& phone) {
    return ConnectWithDialog(*conn_, selector, 7, phone, "REC-17", view_, prompter_);
  }
  std::string OnlyMessage() {
    auto e = prompter_.entries();
    if (e.size() != 1) return "messages: " + std::to_string(e.size());
    EXPECT_EQ(e[0].buttons, PromptButtons::Ok);
    return e[0].caption + " / " + e[0].text;
  }
  // True when nobody holds the port any more.
  bool PortIsFree() {
    std::unique_ptr<SerialPort> p;
    return SerialPort::Open(pty_.a(), &p) == SerialPort::kOpened;
  }
  void ExpectStatusEmpty() {
    auto s = status_.Get();
    EXPECT_EQ(s.recorder, "");
    EXPECT_EQ(s.operation, "");
    EXPECT_EQ(s.result, "");
  }

  SocatPair pty_;
  AbortFlag abort_;
  StatusTexts status_;
  std::unique_ptr<Connection> conn_;
  ScriptedView view_{&status_};
  RecordingPrompter prompter_;
};

TEST_F(DialogTest, TcpNeverShowsTheDialogNorAMessage) {
  testing::TcpListener l;
  conn_->SetTcpEndpoint(0x7F000001, l.port());
  std::thread acc([&] { close(l.Accept()); });
  EXPECT_EQ(Connect(kTcpSelector, std::nullopt), 1);
  acc.join();
  EXPECT_TRUE(conn_->IsOpen());
  conn_->CloseConnection(kTcpSelector);

  int closedPort;
  {
    testing::TcpListener gone;
    closedPort = gone.port();
  }
  conn_->SetTcpEndpoint(0x7F000001, closedPort);
  EXPECT_EQ(Connect(kTcpSelector, std::nullopt), 0);
  EXPECT_EQ(view_.runs, 0);
  EXPECT_TRUE(prompter_.entries().empty());
  EXPECT_EQ(status_.Get().recorder, "");
}

TEST_F(DialogTest, DirectLineConnectsShowingDirectAndClearsAnEarlierAbort) {
  abort_ = 1;
  status_.SetResult("Success");
  EXPECT_EQ(Connect(0, std::nullopt), 1);
  EXPECT_EQ(view_.runs, 1);
  EXPECT_EQ(view_.title, "Connecting");
  EXPECT_EQ(view_.caption, "Connecting:");
  EXPECT_EQ(view_.target, "Direct");
  ASSERT_FALSE(view_.seen.empty());
  EXPECT_EQ(view_.seen.front().recorder, "REC-17");
  EXPECT_TRUE(prompter_.entries().empty());
  EXPECT_TRUE(conn_->IsOpen());
  EXPECT_FALSE(PortIsFree());
  ExpectStatusEmpty();
}

TEST_F(DialogTest, CancelWhileDiallingEndsWithCancelledByUserAndClosesThePort) {
  Timings t = conn_->timings();
  t.dial_ms = 20000;
  conn_->SetTimings(t);
  FakeModem m(pty_.b(), {}, &status_);  // says OK, never answers the dial
  view_.cancel_when = [&] { return status_.Get().operation == "Dialing"; };
  EXPECT_EQ(Connect(0, std::string("5551234")), 0);
  EXPECT_TRUE(view_.cancelled);
  EXPECT_EQ(view_.target, "5551234");
  EXPECT_EQ(OnlyMessage(), "Connection error / Cancelled by user");
  EXPECT_FALSE(conn_->IsOpen());
  EXPECT_TRUE(PortIsFree());
  ExpectStatusEmpty();
  // While it ran the dialog saw the recorder and the dialling step.
  bool sawDial = false;
  for (const auto& s : view_.seen) {
    EXPECT_EQ(s.recorder, "REC-17");
    sawDial |= s.operation == "Dialing";
  }
  EXPECT_TRUE(sawDial);
}

struct FailureCase {
  const char* name;
  int selector;
  bool modem;
  FakeModem::Script script;
  const char* text;
};

TEST_F(DialogTest, EveryFailureShowsItsTextUnderConnectionErrorAndLeavesThePortFree) {
  const FailureCase cases[] = {
      {"missing port", 1, false, {}, "No such port"},
      {"no OK", 0, true, NeverOk(), "Modem not found"},
      {"busy", 0, true, Answering({"\r\nBUSY\r\n"}), "Line was busy"},
      {"no carrier", 0, true, Answering({"\r\nNO CARRIER\r\n"}), "No carier"},
      {"no answer", 0, true, Answering({}), "Failed to connect"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingPrompter p;
    ScriptedView v(&status_);
    std::unique_ptr<FakeModem> m;
    if (c.modem) m = std::make_unique<FakeModem>(pty_.b(), c.script, &status_);
    EXPECT_EQ(ConnectWithDialog(*conn_, c.selector, 7,
                                c.modem ? std::optional<std::string>("42") : std::nullopt, "REC-17",
                                v, p),
              0);
    auto e = p.entries();
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].caption, "Connection error");
    EXPECT_EQ(e[0].text, c.text);
    EXPECT_FALSE(conn_->IsOpen());
    EXPECT_TRUE(PortIsFree());
    ExpectStatusEmpty();
  }
}

TEST_F(DialogTest, PortInUseIsShownAndTheOtherUserKeepsThePort) {
  std::unique_ptr<SerialPort> holder;
  ASSERT_EQ(SerialPort::Open(pty_.a(), &holder), SerialPort::kOpened);
  EXPECT_EQ(Connect(0, std::nullopt), 0);
  EXPECT_EQ(OnlyMessage(), "Connection error / Port in use");
  EXPECT_TRUE(holder->IsOpen());
}

TEST_F(DialogTest, ModemConnectIsOne) {
  FakeModem m(pty_.b(), Answering({"\r\nCONNECT 38400\r\n"}), &status_);
  EXPECT_EQ(Connect(0, std::string("42")), 1);
  EXPECT_TRUE(prompter_.entries().empty());
  EXPECT_TRUE(conn_->IsOpen());
  ExpectStatusEmpty();
}

// A dialog that ends on its own before the worker returned (closed by the window manager) is
// treated as Cancel: the worker is stopped and waited for, never left running.
class ImpatientView : public ConnectingView {
 public:
  void Run(ConnectAttempt&) override {}
};

TEST_F(DialogTest, DialogClosedEarlyStopsTheWorker) {
  Timings t = conn_->timings();
  t.dial_ms = 20000;
  t.modem_ok_ms = 20000;
  conn_->SetTimings(t);
  FakeModem m(pty_.b(), NeverOk(), &status_);
  ImpatientView v;
  RecordingPrompter p;
  // Only the closed dialog can end this before the modem's 20 s: a worker that ran on would
  // end with "Modem not found".
  EXPECT_EQ(ConnectWithDialog(*conn_, 0, 7, std::string("42"), "R", v, p), 0);
  ASSERT_EQ(p.entries().size(), 1u);
  EXPECT_EQ(p.entries()[0].text, "Cancelled by user");
  EXPECT_FALSE(conn_->IsOpen());
}

TEST(TickingView, WaitsForTheWorker) {
  SocatPair pty;
  ASSERT_TRUE(pty.ok());
  Timings t;
  t.dialog_tick_ms = 5;
  Connection c(t);
  PortMap map;
  map.Set(3, pty.a());
  c.SetPortMap(map);
  TickingView v;
  RecordingPrompter p;
  EXPECT_EQ(ConnectWithDialog(c, 3, 9, std::nullopt, "R", v, p), 1);
  EXPECT_TRUE(c.IsOpen());
  c.CloseConnection(3);
}

}  // namespace
}  // namespace zel::comm
