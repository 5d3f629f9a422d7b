// The emulated modem and direct lines on ptys, line faults, and the recorder's XMODEM against
// the test's own peers.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "sim_test_util.h"
#include "zel/sim/config.h"
#include "zel/sim/server.h"
#include "zel/testing/temp_folder.h"
#include "zel/testing/wait.h"

namespace zel::sim {
namespace {

namespace fs = std::filesystem;
const std::string kWake = "\x1b\x1b\x1b\x1b\x1b\x1bXY\x1b";

std::unique_ptr<Recorder> MakeRecorder(RecorderConfig c) {
  if (c.scale == 1.0) c.scale = 0.01;
  std::string err;
  auto r = Recorder::Create(c, &err);
  EXPECT_NE(r, nullptr) << err;
  return r;
}

RecorderConfig Basic(int type = 3, const std::string& pw = "PW") {
  RecorderConfig c;
  c.type = type;
  c.password = pw;
  return c;
}

TEST(Modem, AnswersDialsAndConnects) {
  zeltest::TempFolder tmp("modem");
  const fs::path dir = tmp.path();
  auto rec = MakeRecorder(Basic());
  Fleet fleet;
  DialEntry good{"555-0101", DialEntry::Kind::kRecorder, rec.get()};
  DialEntry busy{"555-0199", DialEntry::Kind::kBusy, nullptr};
  DialEntry quiet{"555-0197", DialEntry::Kind::kNoAnswer, nullptr};
  std::string err;
  ASSERT_FALSE(fleet.AttachModem({good, busy, quiet}, 0.01, (dir / "COM1").string(), &err).empty())
      << err;
  auto c = simtest::Client::Serial((dir / "COM1").string());
  ASSERT_TRUE(c.ok());
  c.Send("AT\r");
  EXPECT_TRUE(c.WaitFor("OK", 1000));
  c.Send("\rATZ E0 V1\r");
  EXPECT_TRUE(c.WaitFor("OK", 1000));
  c.Send("ATDT555-0199\r");
  EXPECT_TRUE(c.WaitFor("BUSY", 1000));
  c.Send("ATDT5550000\r");
  EXPECT_TRUE(c.WaitFor("NO CARRIER", 1000)) << "a number nobody has";
  c.ReadQuiet(30);
  c.Send("ATDT5550197\r");
  EXPECT_EQ(c.ReadQuiet(150, 600), "") << "no answer: the modem says nothing";
  c.Send("ATDT9,5550101\r");  // a dial prefix ahead of the number
  std::string seen;
  ASSERT_TRUE(c.WaitFor("CONNECT", 1000, &seen));
  c.Send(kWake);
  EXPECT_TRUE(c.WaitFor("Enter password: ", 1000));
  c.Send("PW\r");
  EXPECT_TRUE(c.WaitFor("> ", 1000));
  // The recorder logs off; the call stays until the port closes.
  c.Send("XY");
  EXPECT_TRUE(c.WaitFor("Logged off", 1000));
  c.Close();
  // The port opened again finds the modem in command mode (the close was a hang-up).
  auto d = simtest::Client::Serial((dir / "COM1").string());
  d.Send("AT\r");
  EXPECT_TRUE(d.WaitFor("OK", 1000));
  fleet.Stop();
}

TEST(Modem, EscapeReturnsToCommandMode) {
  zeltest::TempFolder tmp("modem-esc");
  const fs::path dir = tmp.path();
  auto rec = MakeRecorder(Basic());
  Fleet fleet;
  std::string err;
  ASSERT_FALSE(fleet
                   .AttachModem({DialEntry{"1", DialEntry::Kind::kRecorder, rec.get()}}, 0.05,
                                (dir / "COM1").string(), &err)
                   .empty());
  auto c = simtest::Client::Serial((dir / "COM1").string());
  c.Send("ATD1\r");
  ASSERT_TRUE(c.WaitFor("CONNECT", 1000));
  std::this_thread::sleep_for(std::chrono::milliseconds(80));  // guard time (1 s scaled)
  c.Send("+++");
  EXPECT_TRUE(c.WaitFor("OK", 1000));
  c.Send("AT\r");
  EXPECT_TRUE(c.WaitFor("OK", 1000));
}

TEST(Modem, DialPlanLookup) {
  Modem m({DialEntry{"555-0101", DialEntry::Kind::kRecorder, nullptr},
           DialEntry{"0101", DialEntry::Kind::kBusy, nullptr},
           DialEntry{"5550199", DialEntry::Kind::kNoCarrier, nullptr}},
          1.0);
  ASSERT_NE(m.Lookup("5550101"), nullptr);
  EXPECT_EQ(m.Lookup("5550101")->kind, DialEntry::Kind::kRecorder);
  EXPECT_EQ(m.Lookup("9,555-0101")->kind, DialEntry::Kind::kRecorder) << "longest suffix wins";
  EXPECT_EQ(m.Lookup("0101")->kind, DialEntry::Kind::kBusy) << "exact match first";
  EXPECT_EQ(m.Lookup("770101")->kind, DialEntry::Kind::kBusy);
  EXPECT_EQ(m.Lookup("555-0199")->kind, DialEntry::Kind::kNoCarrier);
  EXPECT_EQ(m.Lookup("0199"), nullptr) << "a part of a number is not the number";
  EXPECT_EQ(m.Lookup(""), nullptr);
  EXPECT_EQ(m.Lookup("W,-"), nullptr);
}

TEST(DirectLine, PromptAfterEveryOpen) {
  zeltest::TempFolder tmp("direct");
  const fs::path dir = tmp.path();
  auto rec = MakeRecorder(Basic());
  Fleet fleet;
  std::string err;
  // The folder of the link is made when missing.
  const std::string slave = fleet.AttachPty(*rec, (dir / "ports" / "COM2").string(), &err);
  ASSERT_FALSE(slave.empty()) << err;
  EXPECT_EQ(fs::read_symlink(dir / "ports" / "COM2").string(), slave);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    auto c = simtest::Client::Serial((dir / "ports" / "COM2").string());
    ASSERT_TRUE(c.ok());
    c.Send(kWake);
    ASSERT_TRUE(c.WaitFor("Enter password: ", 1000));
    c.Send("PW\r");
    EXPECT_TRUE(c.WaitFor("> ", 1000));
    // Closed while logged in: the next open starts logged out again.
  }
  EXPECT_EQ(rec->Stats().logins, 3);
  fleet.Stop();
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "ports" / "COM2")))
      << "the link goes with the pty";
}

TEST(DirectLine, RefusesToReplaceAFile) {
  zeltest::TempFolder tmp("direct-file");
  const fs::path dir = tmp.path();
  { std::ofstream(dir / "COM4") << "keep me"; }
  std::string err;
  EXPECT_EQ(Pty::Open((dir / "COM4").string(), &err), nullptr);
  EXPECT_NE(err.find("not a symlink"), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(dir / "COM4"));
}

// A Link that keeps what is written, for the fault wrapper.
class SinkLink : public Link {
 public:
  int ReadByte(int) override { return kTimeout; }
  bool Write(const uint8_t* d, size_t n) override {
    out.insert(out.end(), d, d + n);
    return true;
  }
  bool IsClosed() const override { return false; }
  using Link::Write;
  std::vector<uint8_t> out;
};

TEST(Faults, DropAndCorruptRatesHold) {
  std::vector<uint8_t> data(20000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  {
    SinkLink sink;
    FaultConfig f;
    f.drop_rate = 0.1;
    f.seed = 3;
    FaultyLink l(sink, f);
    ASSERT_TRUE(l.Write(data.data(), data.size()));
    const auto c = l.Counts();
    EXPECT_EQ(c.sent, 20000);
    EXPECT_GT(c.dropped, 1600);
    EXPECT_LT(c.dropped, 2400);
    EXPECT_EQ(static_cast<long long>(sink.out.size()), 20000 - c.dropped);
    EXPECT_EQ(c.corrupted, 0);
  }
  {
    SinkLink sink;
    FaultConfig f;
    f.corrupt_rate = 0.05;
    f.seed = 4;
    FaultyLink l(sink, f);
    ASSERT_TRUE(l.Write(data.data(), data.size()));
    ASSERT_EQ(sink.out.size(), data.size());
    long long differ = 0;
    for (size_t i = 0; i < data.size(); ++i) differ += sink.out[i] != data[i];
    EXPECT_EQ(differ, l.Counts().corrupted) << "every corruption changes the byte";
    EXPECT_GT(differ, 800);
    EXPECT_LT(differ, 1200);
  }
  {
    // The same seed gives the same noise.
    SinkLink a, b;
    FaultConfig f;
    f.corrupt_rate = 0.2;
    f.drop_rate = 0.2;
    f.seed = 9;
    FaultyLink la(a, f), lb(b, f);
    la.Write(data.data(), 5000);
    lb.Write(data.data(), 5000);
    EXPECT_EQ(a.out, b.out);
  }
}

TEST(Faults, DisconnectAfterNBytesCutsTheLine) {
  RecorderConfig c = Basic();
  c.faults.disconnect_after = 40;
  auto rec = MakeRecorder(c);
  Fleet fleet;
  std::string err;
  const int port = fleet.ListenTcp(*rec, 0, &err);
  ASSERT_GT(port, 0);
  auto cl = simtest::Client::Tcp(port);
  cl.Send(kWake);
  std::string got;
  int b;
  // The prompt (16) and the menu text come to more than 40 bytes.
  cl.WaitFor("Enter password: ", 1000, &got);
  cl.Send("PW\r");
  while ((b = cl.ReadByte(2000)) >= 0) got.push_back(static_cast<char>(b));
  EXPECT_EQ(b, -2) << "the recorder closed the connection";
  EXPECT_EQ(got.size(), 40u);
  // Each new connection gets its own 40 bytes.
  auto again = simtest::Client::Tcp(port);
  again.Send(kWake);
  EXPECT_TRUE(again.WaitFor("Enter password: ", 1000));
}

TEST(Faults, DuplicatedBlocksAreCountedAndHarmless) {
  RecorderConfig c = Basic(6);  // a large database: many blocks
  c.duplicate_rate = 0.25;
  auto rec = MakeRecorder(c);
  Fleet fleet;
  std::string err;
  const int port = fleet.ListenTcp(*rec, 0, &err);
  auto cl = simtest::Client::Tcp(port);
  cl.Send(kWake);
  ASSERT_TRUE(cl.WaitFor("Enter password: ", 1000));
  cl.Send("PW\r");
  ASSERT_TRUE(cl.WaitFor("> ", 1000));
  cl.Send("TD");
  cl.ReadQuiet(50);
  auto r = simtest::TestReceive(cl);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.data, rec->SetupImage());
  const int blocks = static_cast<int>(r.data.size() / 128);
  ASSERT_GT(blocks, 100);
  EXPECT_GT(r.duplicates, blocks / 8);
  EXPECT_LT(r.duplicates, blocks / 2);
}

TEST(Faults, NoisyLineCorruptsTransfers) {
  RecorderConfig c = Basic();
  c.faults.corrupt_rate = 0.002;
  auto rec = MakeRecorder(c);
  Fleet fleet;
  std::string err;
  const int port = fleet.ListenTcp(*rec, 0, &err);
  auto cl = simtest::Client::Tcp(port);
  // The wake-up may need a few tries on a noisy line; the prompt is short.
  bool prompted = false;
  for (int i = 0; i < 10 && !prompted; ++i) {
    cl.Send(kWake);
    prompted = cl.WaitFor("password: ", 300);
  }
  ASSERT_TRUE(prompted);
  cl.Send("PW\r");
  cl.ReadQuiet(100);
  cl.Send("TD");
  cl.ReadQuiet(50);
  auto r = simtest::TestReceive(cl);
  // 18176 bytes at 0.2 %: some blocks arrive damaged and are sent again.
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_GT(r.naks_sent, 0);
  EXPECT_EQ(r.data, rec->SetupImage());
  cl.Close();
  // Counted when the connection ends.
  EXPECT_TRUE(zeltest::WaitUntil([&] { return rec->Stats().line.sent != 0; }));
  EXPECT_GT(rec->Stats().line.sent, 18176);
  EXPECT_GT(rec->Stats().line.corrupted, 0);
}

// The recorder's XMODEM on a socket pair, against the test's peers.
class XmodemPair : public ::testing::Test {
 protected:
  void SetUp() override {
    int sv[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    link_ = std::make_unique<FdLink>(sv[0], true);
    peer_ = simtest::Client(sv[1]);
  }
  std::unique_ptr<FdLink> link_;
  simtest::Client peer_;
  XmodemTimes t_ = XmodemTimes{}.Scaled(0.01);
};

// The caller has hung up: the recorder's write fails and the line reads closed, and the process
// that runs the recorder lives on (SIGPIPE would end it).
TEST(DirectLine, WriteAfterThePeerHasGoneClosesTheLine) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  FdLink link(sv[0], true);
  ::close(sv[1]);
  const std::string text(4096, 'x');
  EXPECT_FALSE(link.Write(text));
  EXPECT_TRUE(link.IsClosed());
}

TEST_F(XmodemPair, SenderRepeatsNakedBlocksAndPadsWithZeros) {
  std::vector<uint8_t> data(130 + 128 * 300);  // 302 blocks: numbers wrap past 255
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i % 251);
  XmodemStats st;
  std::thread sender([&] { EXPECT_EQ(XmodemSend(*link_, data, t_, {}, &st), XmodemResult::kOk); });
  simtest::ReceiveOptions o;
  o.nak_every = 7;
  auto r = simtest::TestReceive(peer_, o);
  sender.join();
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.data.size(), 302u * 128);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), r.data.begin()));
  EXPECT_TRUE(std::all_of(r.data.begin() + static_cast<long>(data.size()), r.data.end(),
                          [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(st.resent, 302 / 7);
  EXPECT_EQ(st.blocks, 302);
}

TEST_F(XmodemPair, SenderGivesUpWithoutARequest) {
  EXPECT_EQ(XmodemSend(*link_, std::vector<uint8_t>(10, 1), t_), XmodemResult::kNoStart);
  peer_.Send(std::string("\x18\x18"));
  EXPECT_EQ(XmodemSend(*link_, std::vector<uint8_t>(10, 1), t_), XmodemResult::kCancelled);
  // NAK is a checksum-mode request: the recorder speaks CRC only.
  peer_.Send(std::string("\x15"));
  EXPECT_EQ(XmodemSend(*link_, std::vector<uint8_t>(10, 1), t_), XmodemResult::kNoStart);
}

TEST_F(XmodemPair, SenderStopsAfterTooManyNaks) {
  std::thread sender([&] {
    EXPECT_EQ(XmodemSend(*link_, std::vector<uint8_t>(200, 5), t_), XmodemResult::kTooManyErrors);
  });
  peer_.SendByte('C');
  int naks = 0;
  for (int i = 0; i < 50; ++i) {
    int got = 0;
    while (got < 133 && peer_.ReadByte(300) >= 0) ++got;
    if (got < 133) break;  // the three CANs of the cancel, then silence
    peer_.SendByte(0x15);
    ++naks;
  }
  sender.join();
  EXPECT_EQ(naks, t_.retries);
}

TEST_F(XmodemPair, ReceiverStoresOnceAndRepairsBadBlocks) {
  std::vector<uint8_t> data(128 * 5 - 3, 0x42);
  std::vector<uint8_t> got;
  XmodemStats st;
  std::thread recv(
      [&] { EXPECT_EQ(XmodemReceive(*link_, got, t_, 1 << 20, &st), XmodemResult::kOk); });
  simtest::SendOptions o;
  o.corrupt_first = true;
  o.duplicate = true;
  EXPECT_TRUE(simtest::TestSend(peer_, data, o));
  recv.join();
  ASSERT_EQ(got.size(), 5u * 128);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), got.begin()));
  EXPECT_EQ(got.back(), 0x1A) << "the sender's padding is kept";
  EXPECT_EQ(st.duplicates, 1);
  EXPECT_EQ(st.naks, 1);
}

TEST_F(XmodemPair, ReceiverLimitsTheSize) {
  std::vector<uint8_t> got;
  std::thread recv(
      [&] { EXPECT_EQ(XmodemReceive(*link_, got, t_, 256), XmodemResult::kTooLarge); });
  EXPECT_FALSE(simtest::TestSend(peer_, std::vector<uint8_t>(128 * 4, 1)));
  recv.join();
  EXPECT_LE(got.size(), 256u);
}

TEST_F(XmodemPair, ReceiverGivesUpWhenNobodySends) {
  std::vector<uint8_t> got;
  EXPECT_EQ(XmodemReceive(*link_, got, t_, 1024), XmodemResult::kNoStart);
  std::string cs = peer_.ReadQuiet(10);
  EXPECT_EQ(cs, std::string(static_cast<size_t>(t_.c_tries), 'C'));
}

TEST(Config, ExampleFileParses) {
  std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/sim/examples/fleet.conf");
  ASSERT_TRUE(in);
  SimConfig cfg;
  std::string err;
  ASSERT_TRUE(ParseConfig(in, cfg, &err)) << err;
  EXPECT_GE(cfg.recorders.size(), 3u);
  EXPECT_EQ(cfg.modems.size(), 1u);
  for (const auto& r : cfg.recorders) EXPECT_NE(FindSimModel(r.config.type), nullptr);
}

TEST(Config, ValuesAndErrors) {
  std::istringstream ok(
      "scale = 0.5\n[recorder a]\nmodel = KRV-517XL\ntcp = 0\nprompt = \"Passwort: \"\n"
      "corrupt_rate = 0.01\n[recorder b]\nmodel=7\nphone = 555-1\nscale = 2\n"
      "[modem m]\npty = /tmp/x\nbusy = 555-2\nno_answer = 9\n");
  SimConfig cfg;
  std::string err;
  ASSERT_TRUE(ParseConfig(ok, cfg, &err)) << err;
  ASSERT_EQ(cfg.recorders.size(), 2u);
  EXPECT_EQ(cfg.recorders[0].config.type, 5);
  EXPECT_EQ(cfg.recorders[0].config.prompt, "Passwort: ");
  EXPECT_DOUBLE_EQ(cfg.recorders[0].config.scale, 0.5);
  EXPECT_DOUBLE_EQ(cfg.recorders[1].config.scale, 2.0);
  EXPECT_DOUBLE_EQ(cfg.recorders[0].config.faults.corrupt_rate, 0.01);
  EXPECT_NE(cfg.recorders[0].config.seed, cfg.recorders[1].config.seed);
  ASSERT_EQ(cfg.modems[0].numbers.size(), 2u);
  EXPECT_EQ(cfg.modems[0].numbers[1].kind, DialEntry::Kind::kNoAnswer);

  const std::pair<const char*, const char*> bad[] = {
      {"[recorder a]\nmodel = KRV-999\ntcp=1\n", "line 2"},
      {"[recorder a]\nmodel = 17\ntcp=1\n", "line 2"},  // no protocol, no simulation
      {"[recorder a]\nmodel = 3\ntcp = 70000\n", "line 3"},
      {"[recorder a]\nmodel = 3\ntcp = 1\ncorrupt_rate = 2\n", "line 4"},
      {"[recorder a]\nmodel = 3\n", "no tcp, pty or phone"},
      {"[recorder a]\ntcp = 3\n", "no model"},
      {"[thing]\n", "line 1"},
      {"model = 3\n", "line 1"},
      {"[recorder a]\nmodel = 3\ntcp = 1\nprompt = \"open\n", "line 4"},
      {"[recorder a]\nmodel = 3\ntcp = 1\npassword = NINECHARS\n", "line 4"},
      {"[modem m]\nbusy = 5\n", "no pty"},
  };
  for (const auto& [text, where] : bad) {
    SCOPED_TRACE(text);
    std::istringstream in(text);
    std::string e;
    EXPECT_FALSE(ParseConfig(in, cfg, &e));
    EXPECT_NE(e.find(where), std::string::npos) << e;
  }
}

}  // namespace
}  // namespace zel::sim
