// Live status in the station window against simulated recorders: the stream over TCP (seen
// through a relay that records what the recorder sent and sees the window hang up) and over a
// pty; a line cut by the far end; the Connecting dialog against the emulated modem (BUSY,
// Cancel while dialling); Status refused while a poll runs; and the windows of several models
// drawn at their grid points.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "connecting_dialog.h"
#include "gui/testing/gui_testing.h"
#include "input_properties_dialog.h"
#include "live_status_window.h"
#include "window_rig.h"
#include "zel/comm/serial_port.h"
#include "zel/identifiers.h"

namespace zel::oxm {
namespace {

using core::Command;
using testing::WindowRig;
using testing::ZelDatWith;
namespace fs = std::filesystem;

constexpr char kPassword[] = "ADMIN1";

// Relays one TCP connection between the window and the simulator, keeping what the recorder
// sent after the window's last "L", and noticing when the window hangs up.
class Relay {
 public:
  explicit Relay(int target_port) : target_(target_port) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 1);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~Relay() {
    stop_ = true;
    thread_.join();
    ::close(listen_);
  }
  int port() const { return port_; }
  // Stops passing the recorder's bytes on (what was passed stays readable for the window).
  void Hold() { hold_ = true; }
  // Closes the window's side as a recorder hanging up would.
  void Cut() { cut_ = true; }
  bool windowClosed() const { return windowClosed_; }
  std::string Stream() const {
    std::lock_guard l(mu_);
    return liveStart_ == std::string::npos ? std::string() : down_.substr(liveStart_);
  }

 private:
  void Run() {
    int client = -1;
    for (int i = 0; i < 3000 && !stop_ && client < 0; ++i) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 10) > 0) client = ::accept(listen_, nullptr, nullptr);
    }
    if (client < 0) return;
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(target_));
    if (::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(client);
      ::close(server);
      return;
    }
    char buf[4096];
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!stop_ && std::chrono::steady_clock::now() < end) {
      if (cut_ && client >= 0) {
        ::close(client);
        client = -1;
      }
      pollfd p[2] = {{client, POLLIN, 0}, {server, static_cast<short>(hold_ ? 0 : POLLIN), 0}};
      if (::poll(p, 2, 10) <= 0) continue;
      if (client >= 0 && (p[0].revents & (POLLIN | POLLHUP))) {
        const ssize_t n = ::recv(client, buf, sizeof buf, 0);
        if (n <= 0) {
          windowClosed_ = true;
          break;
        }
        {
          std::lock_guard l(mu_);
          for (ssize_t i = 0; i < n; ++i)
            if (buf[i] == 'L') liveStart_ = down_.size();
        }
        ::send(server, buf, static_cast<size_t>(n), MSG_NOSIGNAL);
      }
      if (!hold_ && (p[1].revents & POLLIN)) {
        const ssize_t n = ::recv(server, buf, sizeof buf, 0);
        if (n <= 0) break;
        {
          std::lock_guard l(mu_);
          down_.append(buf, static_cast<size_t>(n));
        }
        if (client >= 0) ::send(client, buf, static_cast<size_t>(n), MSG_NOSIGNAL);
      }
    }
    if (client >= 0) ::close(client);
    ::close(server);
  }

  int target_;
  int listen_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false}, hold_{false}, cut_{false}, windowClosed_{false};
  mutable std::mutex mu_;
  std::string down_;
  std::size_t liveStart_ = std::string::npos;
};

std::string RecorderLine(const std::string& id, const char* model, int port_choice, int tcp_port,
                         const std::string& phone = "") {
  return "\"" + id + "\",\"" + phone + "\",\"" + kPassword + "\"," +
         std::to_string(ParseModel(model)) + ",0,0,0,0,0," + std::to_string(port_choice) +
         ",0,2130706433," + std::to_string(tcp_port);
}

// Runs the event loop until `done` or `ms` have passed.
bool SpinUntil(const std::function<bool()>& done, int ms = 20000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

// What the recorder's stream says each position shows, for a model without flash bits
// loaded: the state lines and value lines of the stream, read independently of the window.
struct Expected {
  std::map<int, LiveState> states;    // 0-based position
  std::map<int, std::string> values;  // 0-based analog input
};
Expected ReadStream(const std::string& stream, int digital, int analog) {
  Expected e;
  std::string line;
  for (char c : stream) {
    if (c == '\n') {
      line.clear();
    } else if (c != '\r') {
      line += c;
    } else if (!line.empty()) {
      const std::size_t sp = line.find(' '), colon = line.find(':');
      if (sp != std::string::npos) {
        const int n = std::stoi(line.substr(0, sp)), s = std::stoi(line.substr(sp + 1));
        LiveState st = s == 0 ? LiveState::kOff : LiveState::kOn;
        if (s != 0 && n > digital && n <= digital + analog) st = LiveState::kThreshold;
        e.states[n - 1] = st;
      } else if (colon != std::string::npos) {
        e.values[std::stoi(line.substr(0, colon)) - 1] = line.substr(colon + 1);
      }
      line.clear();
    }
  }
  return e;
}

LiveStatusWindow* AsLive(QDialog& d) { return qobject_cast<LiveStatusWindow*>(&d); }

TEST(LiveStatus, OverTcpItemsFollowTheStreamAndClosingHangsUp) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start({"--model", "KRV-517XL", "--password", kPassword, "--tcp", "0", "--scale",
                         "0.01", "--seed", "5"}))
      << sim.error();
  Relay relay(sim.Port());
  WindowRig rig("live_tcp", ZelDatWith({RecorderLine("EAST", "KRV-517XL", -1, relay.port())}));
  rig.services.liveTimings = LiveTimings{}.Scaled(0.01);
  rig.services.liveTickMs = 20;
  bool checked = false;
  rig.scripts.push_back([&](QDialog& d) {
    LiveStatusWindow* w = AsLive(d);
    if (!w) return static_cast<int>(QDialog::Rejected);
    d.show();
    EXPECT_EQ(d.windowTitle().toStdString(), "Live status for: EAST, Unit Name:");
    EXPECT_EQ(w->statusLine()->text().toStdString(), "Connected");
    // Let the recorder report for a while, then hold its stream and let the window catch up.
    EXPECT_TRUE(SpinUntil([&] { return relay.Stream().size() > 600; }));
    relay.Hold();
    const std::size_t ticks = w->ticks();
    SpinUntil([&] { return w->ticks() > ticks + 5; });
    const Expected want = ReadStream(relay.Stream(), 256, 8);
    EXPECT_GT(want.states.size(), 3u);
    EXPECT_EQ(want.values.size(), 8u);  // the present picture names every analog input
    int on = 0;
    for (const auto& item : w->live().items()) {
      const auto s = want.states.find(item.position);
      const LiveState expect = s == want.states.end() ? LiveState::kOff : s->second;
      EXPECT_EQ(item.state, expect) << item.text;
      on += item.state != LiveState::kOff;
      const QModelIndex index = w->itemModel()->index(w->live().ItemOfPosition(item.position));
      EXPECT_EQ(index.data(LiveItemModel::kStateRole).toInt(), static_cast<int>(item.state));
    }
    EXPECT_GT(on, 0);
    for (const auto& [a, value] : want.values) {
      const auto& item =
          w->live().items()[static_cast<std::size_t>(w->live().ItemOfPosition(256 + a))];
      EXPECT_EQ(item.text, LiveIdentifier(model::kKrv517xl, 256 + a) + "=" + value);
    }
    gui::testing::SaveScreenshot(&d, "live_status_krv517xl_tcp");
    checked = true;
    return static_cast<int>(QDialog::Rejected);
  });
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  // An Abort given earlier, with no poll running, must not end this attempt.
  w.Run(Command::Abort);
  w.Run(Command::StatusDirect);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(rig.prompter.entries().empty()) << rig.Texts().front();
  EXPECT_FALSE(w.liveStatusOpen());
  EXPECT_TRUE(SpinUntil([&] { return relay.windowClosed(); }, 10000));
}

TEST(LiveStatus, LineCutByTheFarEndShowsWhenAndKeepsTheStates) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(
      sim.Start({"--model", "KRV-19XT", "--password", kPassword, "--tcp", "0", "--scale", "0.01"}))
      << sim.error();
  Relay relay(sim.Port());
  WindowRig rig("live_cut", ZelDatWith({RecorderLine("X12", "KRV-19XT", -1, relay.port())}));
  rig.services.liveTimings = LiveTimings{}.Scaled(0.01);
  rig.services.liveTickMs = 20;
  rig.scripts.push_back([&](QDialog& d) {
    LiveStatusWindow* w = AsLive(d);
    if (!w) return static_cast<int>(QDialog::Rejected);
    d.show();
    EXPECT_TRUE(
        SpinUntil([&] { return w->live().items()[18].text.find('=') != std::string::npos; }));
    relay.Hold();
    const std::size_t ticks = w->ticks();
    SpinUntil([&] { return w->ticks() > ticks + 3; });
    std::vector<LiveState> before;
    for (const auto& item : w->live().items()) before.push_back(item.state);
    relay.Cut();
    EXPECT_TRUE(SpinUntil([&] { return w->lineLost(); }));
    EXPECT_EQ(w->statusLine()->text().toStdString(), "Line lost at 02:15:00");
    for (std::size_t i = 0; i < before.size(); ++i)
      EXPECT_EQ(w->live().items()[i].state, before[i]);
    gui::testing::SaveScreenshot(&d, "live_status_line_lost");
    return static_cast<int>(QDialog::Rejected);
  });
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  w.Run(Command::StatusDirect);
  EXPECT_TRUE(rig.scripts.empty());
}

TEST(LiveStatus, OverAPtyWithTheSetupDatabaseFlashBitsAndProperties) {
  WindowRig rig("live_pty", ZelDatWith({RecorderLine("BOX", "KRV-583A", 3, 0)}));
  const fs::path link = rig.tmp_.path() / "COM3";
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start(
      {"--model", "KRV-583A", "--password", kPassword, "--pty", link.string(), "--scale", "0.01"}))
      << sim.error();
  // The recorder's saved setup database: a unit name and a named first input.
  SetupDatabase db(model::kKrv583a);
  db.RestoreFactoryDefaults();
  db.SetUnitName("Signal box");
  db.SetName(0, "Track 1");
  db.SetIdentifier(0, "TK1");
  fs::create_directories(rig.data / "BOX");
  ASSERT_TRUE(db.SaveFile(rig.data / "BOX" / "setupdata.bin"));
  rig.services.ports.Set(2, link.string());
  rig.services.liveTimings = LiveTimings{}.Scaled(0.01);
  rig.services.liveTickMs = 20;
  std::vector<std::vector<std::string>> properties;
  rig.scripts.push_back([&](QDialog& d) {
    LiveStatusWindow* w = AsLive(d);
    if (!w) return static_cast<int>(QDialog::Rejected);
    d.show();
    EXPECT_EQ(d.windowTitle().toStdString(), "Live status for: BOX, Unit Name:Signal box");
    // The present picture sets every analog text, then changes turn inputs on and off.
    EXPECT_TRUE(SpinUntil([&] {
      int changed = 0;
      for (const auto& item : w->live().items()) changed += item.state != LiveState::kOff;
      return changed >= 3 && w->live().items()[256].text.find('=') != std::string::npos;
    }));
    EXPECT_EQ(w->statusLine()->text().toStdString(), "Connected");
    const QModelIndex first = w->itemModel()->index(0);
    EXPECT_EQ(first.data(Qt::ToolTipRole).toString().toStdString(), "001  Track 1  (ID: TK1)");
    gui::testing::SaveScreenshot(&d, "live_status_krv583a_pty");
    // Right-click with one item selected shows its properties.
    w->list()->setCurrentIndex(first);
    rig.scripts.push_front([&](QDialog& p) {
      auto* dialog = qobject_cast<InputPropertiesDialog*>(&p);
      if (!dialog) return static_cast<int>(QDialog::Rejected);
      std::vector<std::string> lines;
      for (int i = 0; i < dialog->list()->count(); ++i)
        lines.push_back(dialog->list()->item(i)->text().toStdString());
      properties.push_back(lines);
      p.show();
      gui::testing::SaveScreenshot(&p, "input_properties_krv583a");
      return static_cast<int>(QDialog::Accepted);
    });
    w->ShowProperties();
    // Nothing selected: nothing happens.
    w->list()->selectionModel()->clearSelection();
    w->ShowProperties();
    return static_cast<int>(QDialog::Rejected);
  });
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  w.Run(Command::StatusDirect);
  EXPECT_TRUE(rig.prompter.entries().empty());
  ASSERT_EQ(properties.size(), 1u);
  ASSERT_GE(properties[0].size(), 5u);
  EXPECT_EQ(properties[0][0], "Name:\tTrack 1");
  EXPECT_EQ(properties[0][1], "ID:\tTK1");
  EXPECT_EQ(properties[0][4].rfind("Coding Event Name:\t", 0), 0u);
  EXPECT_EQ(rig.shown.size(), 2u);  // the live window and one Input Properties
  // The window let go of the port.
  std::unique_ptr<comm::SerialPort> port;
  EXPECT_EQ(comm::SerialPort::Open(link.string(), &port), comm::SerialPort::kOpened);
}

TEST(LiveStatus, PropertiesWithoutTheSetupDatabaseSaySoAndStatusIsRefusedDuringAPoll) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(
      sim.Start({"--model", "KRV-517XL", "--password", kPassword, "--tcp", "0", "--scale", "0.01"}))
      << sim.error();
  WindowRig rig("live_refuse", ZelDatWith({RecorderLine("R1", "KRV-517XL", -1, sim.Port())}));
  rig.services.liveTimings = LiveTimings{}.Scaled(0.01);
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  w.Run(Command::PollTodayDirect);
  ASSERT_TRUE(w.engine().Running());
  w.Run(Command::StatusDirect);
  ASSERT_EQ(rig.Texts().size(), 1u);
  EXPECT_EQ(rig.Texts()[0], std::string("View recorder live status|") + kLiveWhilePolling);
  EXPECT_TRUE(rig.shown.empty());
  w.engine().Wait();

  rig.scripts.push_back([&](QDialog& d) {
    LiveStatusWindow* lw = AsLive(d);
    if (!lw) return static_cast<int>(QDialog::Rejected);
    lw->list()->setCurrentIndex(lw->itemModel()->index(3));
    lw->ShowProperties();
    return static_cast<int>(QDialog::Rejected);
  });
  // The poll above saved a setup database; without it the window still opens.
  fs::remove(rig.data / "R1" / "setupdata.bin");
  w.Run(Command::StatusDirect);
  ASSERT_EQ(rig.Texts().size(), 2u);
  EXPECT_EQ(rig.Texts()[1], "ZEL|Event Recorder setup database not available");
}

TEST(LiveStatus, AScheduledPollDueWhileTheWindowIsOpenStartsWhenItCloses) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(
      sim.Start({"--model", "KRV-517XL", "--password", kPassword, "--tcp", "0", "--scale", "0.01"}))
      << sim.error();
  WindowRig rig("live_sched", ZelDatWith({RecorderLine("R1", "KRV-517XL", -1, sim.Port())},
                                         "PreferedConnection=1\r\n"
                                         "Schedule=0,0,0,0,0,0,1,9,0,0,0,0,0,0\r\n"));
  rig.clock.Set({2024, 3, 6, 2, 14, 59, 0, 3});
  rig.services.liveTimings = LiveTimings{}.Scaled(0.01);
  bool heldBack = false;
  rig.scripts.push_back([&](QDialog& d) {
    if (!AsLive(d)) return static_cast<int>(QDialog::Rejected);
    rig.clock.AdvanceSeconds(1);
    rig.window->Tick();  // 02:15:00: the poll comes due while live status holds the line
    heldBack = !rig.window->engine().Running();
    return static_cast<int>(QDialog::Rejected);
  });
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  w.Run(Command::StatusDirect);
  EXPECT_TRUE(heldBack);
  w.engine().Wait();
  const auto outcomes = w.engine().LastOutcomes();
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].code, 0);
}

TEST(LiveStatus, LoginFailureAndNoQueryAnswerAreToldAndTheLineClosed) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(
      sim.Start({"--model", "KRV-517XL", "--password", "OTHER", "--tcp", "0", "--scale", "0.01"}))
      << sim.error();
  WindowRig rig("live_login", ZelDatWith({RecorderLine("R1", "KRV-517XL", -1, sim.Port())}));
  rig.services.liveTimings = LiveTimings{}.Scaled(0.01);
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  w.Run(Command::StatusDirect);
  ASSERT_EQ(rig.Texts().size(), 1u);
  EXPECT_EQ(rig.Texts()[0], "ZEL|Login failed");
  EXPECT_TRUE(rig.shown.empty());
  // No recorder selected: the One rule's warning.
  w.SelectRows({});
  w.Run(Command::StatusDial);
  ASSERT_EQ(rig.Texts().size(), 2u);
  EXPECT_EQ(rig.Texts()[1], "View recorder live status|Exactly one recorder must be selected!");
}

TEST(LiveStatus, ALineThatNeverFallsQuietIsToldInsteadOfHoldingTheWindow) {
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start({"--model", "KRV-517XL", "--password", kPassword, "--tcp", "0", "--scale",
                         "0.01", "--babble-ms", "100"}))
      << sim.error();
  WindowRig rig("live_babble", ZelDatWith({RecorderLine("R1", "KRV-517XL", -1, sim.Port())}));
  rig.services.liveTimings = LiveTimings{}.Scaled(0.01);
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  w.Run(Command::StatusDirect);  // returns: the quiet waits are bounded
  ASSERT_EQ(rig.Texts().size(), 1u);
  EXPECT_EQ(rig.Texts()[0], "ZEL|Login failed");
  EXPECT_TRUE(rig.shown.empty());
}

// The Connecting dialog against the simulator's modem on a pty.
class ModemLive : public ::testing::Test {
 protected:
  void Start(const std::string& phone) {
    const fs::path modem = rig_.tmp_.path() / "COM1";
    ASSERT_TRUE(sim_.StartFleet(
        rig_.tmp_.path() / "fleet.conf",
        "scale = 0.01\n[recorder R]\nmodel = KRV-19XT\npassword = " + std::string(kPassword) +
            "\nphone = 555-0101\n[modem m]\npty = " + modem.string() +
            "\nbusy = 555-0199\nno_answer = 555-0197\n"))
        << sim_.error();
    std::ofstream(rig_.ZelDat(), std::ios::binary)
        << "DataFolder=" << rig_.data.string()
        << "\r\nPort=0\r\nBaud=7\r\nRecorder=" << RecorderLine("DIAL", "KRV-19XT", 0, 0, phone)
        << "\r\n";
    rig_.services.ports.Set(0, modem.string());
    rig_.services.liveTimings = LiveTimings{}.Scaled(0.01);
    rig_.services.liveTickMs = 20;
    // The emulated modem's answers are waited for in full: on a loaded machine its "OK" can
    // come later than a scaled wait and the call would fail as "Modem not found".
    rig_.services.pollTimings.modem_ok_ms = comm::Timings{}.modem_ok_ms;
    rig_.services.pollTimings.dial_ms = comm::Timings{}.dial_ms;
  }
  // Watches for the Connecting dialog while the command runs; `act` is called on every check.
  void Watch(const std::function<void(ConnectingDialog&)>& act) {
    auto* timer = new QTimer(rig_.window.get());
    QObject::connect(timer, &QTimer::timeout, [this, act] {
      auto* d = qobject_cast<ConnectingDialog*>(QApplication::activeModalWidget());
      if (d) {
        seen_ = true;
        caption_ = d->caption()->text().toStdString() + " " + d->target()->text().toStdString();
        title_ = d->windowTitle().toStdString();
        act(*d);
      }
    });
    timer->start(2);
  }
  WindowRig rig_{"live_modem"};
  zeltest::SimProcess sim_;
  bool seen_ = false;
  std::string caption_, title_;
};

TEST_F(ModemLive, BusyLineIsTold) {
  Start("555-0199");
  StationWindow& w = rig_.Open();
  Watch([](ConnectingDialog&) {});
  w.SelectRows({0});
  w.Run(Command::StatusDial);
  EXPECT_TRUE(seen_);
  EXPECT_EQ(title_, "Connecting");
  EXPECT_EQ(caption_, "Connecting: 555-0199");
  ASSERT_EQ(rig_.Texts().size(), 1u);
  EXPECT_EQ(rig_.Texts()[0], "Connection error|Line was busy");
  EXPECT_TRUE(rig_.shown.empty());
}

TEST_F(ModemLive, CancelWhileDiallingEndsWithTheAbortedText) {
  Start("555-0197");
  rig_.services.pollTimings.dial_ms = 60000;
  StationWindow& w = rig_.Open();
  bool cancelled = false, shot = false;
  Watch([&](ConnectingDialog& d) {
    w.Tick();  // the status line shows the connection's step
    if (!cancelled && w.statusField(1)->text() == QStringLiteral("Dialing")) {
      if (!shot) shot = !gui::testing::SaveScreenshot(&d, "connecting_dialog").isEmpty();
      cancelled = true;
      d.cancelButton()->click();
    }
  });
  w.SelectRows({0});
  w.Run(Command::StatusDial);
  EXPECT_TRUE(cancelled);
  EXPECT_TRUE(shot);
  ASSERT_EQ(rig_.Texts().size(), 1u);
  EXPECT_EQ(rig_.Texts()[0], "Connection error|Cancelled by user");
  // The port is free again.
  std::unique_ptr<comm::SerialPort> port;
  EXPECT_EQ(comm::SerialPort::Open(rig_.tmp_.path().string() + "/COM1", &port),
            comm::SerialPort::kOpened);
}

TEST_F(ModemLive, DialledRecorderStreams) {
  Start("555-0101");
  bool streamed = false;
  rig_.scripts.push_back([&](QDialog& d) {
    LiveStatusWindow* w = AsLive(d);
    if (!w) return static_cast<int>(QDialog::Rejected);
    streamed = SpinUntil([&] { return w->live().items()[18].text.find('=') != std::string::npos; });
    return static_cast<int>(QDialog::Rejected);
  });
  StationWindow& w = rig_.Open();
  Watch([](ConnectingDialog&) {});
  w.SelectRows({0});
  w.Run(Command::StatusDial);
  EXPECT_TRUE(seen_);
  EXPECT_TRUE(streamed);
  EXPECT_TRUE(rig_.prompter.entries().empty()) << rig_.Texts().front();
}

// Windows of several models drawn without a line: items at their grid points, in the colour of
// their state.
TEST(LiveStatusWindowDrawing, ItemsSitAtTheirGridPointsInTheirStateColours) {
  struct Case {
    RecorderType type;
    const char* name;
    std::vector<std::string> lines;
  };
  SetupDatabase xc(model::kKrv517xc);
  xc.SetSecondaryIp(0, {10, 0, 0, 1});
  xc.SetSecondaryIp(3, {10, 0, 0, 4});
  SetupDatabase k19(model::kKrv19xt);
  k19.SetFlashEnabled(4, true);
  const Case cases[] = {
      {model::kKrv19xt, "krv19xt", {"1 1", "5 1", "19 1", "2:12.5", "23 1"}},
      {model::kKrv517xl, "krv517xl", {"1 1", "40 1", "257 1", "3:-4.2", "265 1", "360 1"}},
      {model::kKrv517xc, "krv517xc", {"1 1", "770 1", "4097 1", "4225 1", "25:3.3"}},
      {model::kKrv583, "krv583", {"1 1", "2 2", "3 3", "257 1"}},
      {model::kSlgS7_808, "slg808", {"1 1", "999 1", "1000 1", "1004 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SetupDatabase* setup = c.type == model::kKrv517xc  ? &xc
                                 : c.type == model::kKrv19xt ? &k19
                                                             : nullptr;
    auto live = std::make_unique<LiveStatusModel>(c.type, setup);
    for (const std::string& l : c.lines) live->ApplyLine(l);
    LiveStatusWindow::Services s;
    LiveStatusWindow w(std::move(live), LiveTitle("DEMO", "Demo unit"), nullptr, 0, s);
    w.itemModel()->Publish();
    w.show();
    QApplication::processEvents();
    const QImage image = w.list()->viewport()->grab().toImage();
    int checked = 0;
    for (std::size_t i = 0; i < w.live().items().size(); ++i) {
      const auto& item = w.live().items()[i];
      const QRect r = w.list()->visualRect(w.itemModel()->index(static_cast<int>(i)));
      ASSERT_EQ(r.topLeft(), QPoint(item.x, item.y)) << item.text;
      if (r.bottom() >= image.height() || r.right() >= image.width()) continue;
      const QColor centre = image.pixelColor(r.left() + 8, r.top() + 8);
      EXPECT_EQ(centre, LiveStateColour(item.state)) << item.text;
      ++checked;
    }
    EXPECT_GT(checked, 10);
    gui::testing::SaveScreenshot(&w, QStringLiteral("live_status_%1").arg(c.name));
  }
}

}  // namespace
}  // namespace zel::oxm
