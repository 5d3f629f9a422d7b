// Setup downloads and event queries through the simulator's noisy line (corrupted and lost
// bytes, blocks sent twice), each into a target that already holds an older file. Whatever
// the line does, a transfer either reports success with exactly what the recorder sent (as a
// clean line delivers it), or reports failure and leaves the older file exactly as it was,
// with no temporary file beside it. Success with wrong content is never acceptable.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "zel/comm/connection.h"
#include "zel/comm/fd_transport.h"
#include "zel/comm/protocol.h"
#include "zel/comm/tcp_transport.h"
#include "zel/comm/xmodem.h"
#include "zel/platform/clock.h"
#include "zel/setup_database.h"
#include "zel/testing/sim_process.h"
#include "zel/testing/temp_folder.h"

namespace zel::comm {
namespace {

namespace fs = std::filesystem;
using zeltest::SimProcess;

// Our side's waits and the recorder's, both scaled down so a transfer with a few retries takes
// a fraction of a second. The recorder gives up on an answer (10 s unscaled) before our
// receiver gives up on a byte (15 s unscaled), as with the real timings, so a lost byte makes
// the recorder send the block again while our receiver still waits for the rest of it.
constexpr double kOurScale = 0.004;
constexpr double kSimScale = 0.004;
constexpr int kTransfersPerKind = 100;
constexpr int kHandshakeTries = 6;  // connections per transfer when login or "?" is garbled
constexpr auto kTimeBound = std::chrono::seconds(240);
constexpr uint32_t kLoopback = 0x7F000001;

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& p, const std::vector<uint8_t>& d) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}

// What our receiver said on the line: every NAK asks for a block again, CANs end a transfer.
struct LineCounts {
  long naks = 0;
  long cans = 0;
};

class CountingTransport : public Transport {
 public:
  CountingTransport(std::unique_ptr<Transport> inner, LineCounts* counts)
      : inner_(std::move(inner)), counts_(counts) {}
  int Write(const uint8_t* data, size_t n) override {
    for (size_t i = 0; i < n; ++i) {
      if (data[i] == kNak) ++counts_->naks;
      if (data[i] == kCan) ++counts_->cans;
    }
    return inner_->Write(data, n);
  }
  int ReadByte() override { return inner_->ReadByte(); }
  bool WaitReadable(int timeout_ms) override { return inner_->WaitReadable(timeout_ms); }
  void Drain() override { inner_->Drain(); }
  void Close() override { inner_->Close(); }

 private:
  std::unique_ptr<Transport> inner_;
  LineCounts* counts_;
};

// One logged-in session with one simulated recorder over TCP.
class Session {
 public:
  Session(int port, const RecorderRecord& r, LineCounts* counts)
      : conn_(Timings{}.Scaled(kOurScale)), record_(r) {
    std::unique_ptr<TcpTransport> t;
    if (TcpTransport::Connect(kLoopback, port, &t) != 0) return;
    conn_.Attach(std::make_unique<CountingTransport>(std::move(t), counts));
    login_ = Login(conn_, kTcpSelector, record_);
  }
  ~Session() {
    if (conn_.IsOpen()) {
      Logoff(conn_, kTcpSelector, record_);
      conn_.CloseConnection(kTcpSelector);
    }
  }
  bool connected() const { return conn_.IsOpen(); }
  int login() const { return login_; }
  Connection& conn() { return conn_; }

 private:
  Connection conn_;
  RecorderRecord record_;
  int login_ = -1;
};

// The recorders of the fleet: each noisy one has a clean twin (same model, seed and password,
// so the same setup database and event history) that gives the reference.
struct SimRecorder {
  std::string name;
  int type;
  std::string password;
  int seed;
  int events_per_day;
};

const SimRecorder kSetupRecorders[] = {
    {"setup-517xl", 5, "XL517", 31, 24},
    {"setup-583a", 16, "A583", 47, 24},
};
const SimRecorder kQueryRecorders[] = {
    {"query-517xl", 5, "QXL", 53, 600},
    {"query-slg", 11, "QSLG", 71, 400},
};

std::string FleetConfig(const std::vector<SimRecorder>& recs) {
  char buf[512];
  std::string s = "scale = " + std::to_string(kSimScale) + "\n";
  for (const SimRecorder& r : recs) {
    for (int noisy = 0; noisy < 2; ++noisy) {
      std::snprintf(buf, sizeof buf,
                    "[recorder %s-%s]\nmodel = %d\npassword = %s\nseed = %d\n"
                    "events_per_day = %d\ntcp = 0\n",
                    r.name.c_str(), noisy ? "noisy" : "clean", r.type, r.password.c_str(), r.seed,
                    r.events_per_day);
      s += buf;
      // Around one byte in 2000 corrupted and one in 2000 lost; now and then a block twice.
      if (noisy) s += "corrupt_rate = 0.0005\ndrop_rate = 0.0005\nduplicate_rate = 0.01\n";
    }
  }
  return s;
}

RecorderRecord RecordOf(const SimRecorder& r) {
  RecorderRecord rec;
  rec.id = r.name;
  rec.type = r.type;
  rec.password = r.password;
  rec.port = -1;
  rec.ipAddress = kLoopback;
  return rec;
}

// Outcome counts, printed at the end.
struct Tally {
  int succeeded = 0;
  int wrong = 0;  // of the succeeded: content not what the recorder sent
  int failed = 0;
  int with_retries = 0;  // transfers in which our receiver sent at least one NAK
  int handshake_retries = 0;
  int gave_up = 0;  // no login / no "?" in kHandshakeTries connections
  long naks = 0;
  long cans = 0;
  void Print(const char* what) const {
    std::printf(
        "[ noisy    ] %s: %d succeeded (%d of them with wrong content), %d failed (result 7), "
        "%d with retried blocks, %ld NAKs, %ld CANs sent; %d handshakes repeated, %d transfers "
        "never started\n",
        what, succeeded, wrong, failed, with_retries, naks, cans, handshake_retries, gave_up);
    std::fflush(stdout);
  }
};

class NoisyLine : public ::testing::Test {
 protected:
  void SetUp() override { start_ = std::chrono::steady_clock::now(); }
  void TearDown() override { sim_.Stop(); }

  void StartFleet(const std::vector<SimRecorder>& recs) {
    const fs::path conf = root_ / "fleet.conf";
    std::ofstream(conf) << FleetConfig(recs);
    ASSERT_TRUE(sim_.Start({"--config", conf.string()}, 20000)) << sim_.error();
    for (const SimRecorder& r : recs) {
      ASSERT_GT(sim_.Port(r.name + "-clean"), 0) << sim_.Output();
      ASSERT_GT(sim_.Port(r.name + "-noisy"), 0) << sim_.Output();
    }
  }

  // A new session with the noisy recorder `name`; `where` gets its connection number, which
  // (with the recorder's seed) picks the line's faults.
  std::unique_ptr<Session> Noisy(const SimRecorder& r, LineCounts* counts, std::string* where) {
    const std::string name = r.name + "-noisy";
    const int n = ++connections_[name];
    *where = name + " (seed " + std::to_string(r.seed) + ", connection " + std::to_string(n) + ")";
    return std::make_unique<Session>(sim_.Port(name), RecordOf(r), counts);
  }

  // What the noisy recorders counted (after the simulator stopped).
  void PrintSimStats(const std::vector<SimRecorder>& recs) const {
    for (const SimRecorder& r : recs) {
      const auto st = sim_.StatsOf(r.name + "-noisy");
      std::printf("[ noisy    ] %s-noisy: %d connections, %d logins, %d failed transfers\n",
                  r.name.c_str(), st.connections, st.logins, st.failed_transfers);
    }
    std::fflush(stdout);
  }

  bool OutOfTime() const { return std::chrono::steady_clock::now() - start_ > kTimeBound; }

  // A fresh folder for one transfer, with `old` in the target.
  fs::path FolderWithOldFile(int n, const std::string& file, const std::vector<uint8_t>& old) {
    const fs::path dir = root_ / ("t" + std::to_string(n));
    fs::create_directories(dir);
    WriteAll(dir / file, old);
    return dir;
  }

  // Checks one finished transfer against the invariant; `where` names it for a failure.
  void Check(int result, const fs::path& dir, const std::string& file,
             const std::vector<uint8_t>& old, const std::vector<uint8_t>& expected,
             const std::string& where, long naks_before, Tally& tally) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{file})
        << where << ": the folder must hold only the target (no temporary file left)";
    const std::vector<uint8_t> got = ReadAll(dir / file);
    if (result == kPollSuccess) {
      ++tally.succeeded;
      if (got != expected) ++tally.wrong;
      EXPECT_TRUE(got == expected)
          << where << ": the transfer reported success but the file differs from what the "
          << "recorder sent (" << got.size() << " bytes received, " << expected.size()
          << " expected; first difference at byte "
          << (std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first -
              got.begin())
          << "). The receiver accepted a damaged or cut-short transfer.";
    } else {
      EXPECT_EQ(result, kPollTransferFailed) << where;
      ++tally.failed;
      EXPECT_TRUE(got == old) << where << ": a failed transfer changed the older file";
    }
    if (tally.naks > naks_before) ++tally.with_retries;
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  zeltest::TempFolder temp_{"noisy"};
  fs::path root_ = temp_.path();
  SimProcess sim_;
  std::chrono::steady_clock::time_point start_;
  std::map<std::string, int> connections_;
};

std::vector<uint8_t> OldFile(int n) {
  std::string s;
  while (s.size() < 300) s += "older file of transfer " + std::to_string(n) + "\n";
  return std::vector<uint8_t>(s.begin(), s.end());
}

TEST_F(NoisyLine, SetupDownloadsYieldTheRecordersDatabaseOrLeaveTheOldFile) {
  const std::vector<SimRecorder> recs(std::begin(kSetupRecorders), std::end(kSetupRecorders));
  StartFleet(recs);
  if (HasFatalFailure()) return;

  // References over the clean twins, checked against the factory database with the password.
  std::map<std::string, std::vector<uint8_t>> reference;
  for (const SimRecorder& r : recs) {
    LineCounts counts;
    Session s(sim_.Port(r.name + "-clean"), RecordOf(r), &counts);
    ASSERT_TRUE(s.connected());
    ASSERT_EQ(s.login(), kPollSuccess) << r.name;
    const fs::path dir = root_ / ("ref-" + r.name);
    fs::create_directories(dir);
    ASSERT_EQ(DownloadSetup(s.conn(), kTcpSelector, RecordOf(r), dir / "setupdata.bin"),
              kPollSuccess);
    reference[r.name] = ReadAll(dir / "setupdata.bin");
    EXPECT_EQ(counts.naks, 0) << "a clean line needs no retries";

    SetupDatabase db(r.type);
    ASSERT_TRUE(db.valid());
    db.RestoreFactoryDefaults();
    db.SetAdministrativePassword(r.password);
    std::vector<uint8_t> want = db.SaveBytes();
    want.resize((want.size() + kXmodemBlockSize - 1) / kXmodemBlockSize * kXmodemBlockSize, 0);
    ASSERT_EQ(reference[r.name], want) << r.name << ": clean download is not the database";
  }

  Tally tally;
  LineCounts counts;
  for (int n = 0; n < kTransfersPerKind && !OutOfTime(); ++n) {
    const SimRecorder& r = recs[static_cast<size_t>(n) % recs.size()];
    const std::vector<uint8_t> old = OldFile(n);
    const fs::path dir = FolderWithOldFile(n, "setupdata.bin", old);
    for (int attempt = 0; attempt < kHandshakeTries; ++attempt) {
      std::string where;
      auto session = Noisy(r, &counts, &where);
      Session& s = *session;
      ASSERT_TRUE(s.connected());
      if (s.login() != kPollSuccess) {
        ++tally.handshake_retries;
        if (attempt + 1 == kHandshakeTries) ++tally.gave_up;
        continue;
      }
      const long naks_before = counts.naks;
      const int result = DownloadSetup(s.conn(), kTcpSelector, RecordOf(r), dir / "setupdata.bin");
      tally.naks = counts.naks;
      tally.cans = counts.cans;
      Check(result, dir, "setupdata.bin", old, reference[r.name],
            "setup download " + std::to_string(n) + " from " + where, naks_before, tally);
      break;
    }
  }
  sim_.Stop();
  tally.Print("setup downloads");
  PrintSimStats(recs);
  EXPECT_FALSE(OutOfTime()) << "the transfers did not finish within the time bound";
  EXPECT_EQ(tally.succeeded + tally.failed + tally.gave_up, kTransfersPerKind);
  EXPECT_GT(tally.succeeded, 0) << "no transfer got through the noisy line";
  EXPECT_GT(tally.with_retries, 0) << "the line was not noisy: no block was asked for again";
}

// Local time `days_ago` days before today at `hour`:`minute`:`second`; hours past 23 and
// negative seconds carry into the neighbouring days.
platform::LocalTime LocalAt(int days_ago, int hour, int minute, int second) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  tm.tm_mday -= days_ago;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  std::mktime(&tm);
  return platform::LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                             tm.tm_min,         tm.tm_sec,     0,          tm.tm_wday};
}

TEST_F(NoisyLine, EventQueriesYieldTheRecordersEventsOrLeaveTheOldFile) {
  const std::vector<SimRecorder> recs(std::begin(kQueryRecorders), std::end(kQueryRecorders));
  StartFleet(recs);
  if (HasFatalFailure()) return;

  // Intervals in the past, of a few hours up to two days, so their events no longer change.
  struct Interval {
    platform::LocalTime start, end;
  };
  std::vector<Interval> intervals;
  for (int k = 0; k < 6; ++k) {
    const int hour = (k * 5) % 20;
    const int hours = 4 + k * 9;  // 4 to 49 hours
    intervals.push_back({LocalAt(4 + k, hour, 0, 0), LocalAt(4 + k, hour + hours, 0, -1)});
  }

  // References over the clean twins.
  std::map<std::pair<std::string, size_t>, std::vector<uint8_t>> reference;
  for (const SimRecorder& r : recs) {
    LineCounts counts;
    Session s(sim_.Port(r.name + "-clean"), RecordOf(r), &counts);
    ASSERT_TRUE(s.connected());
    ASSERT_EQ(s.login(), kPollSuccess) << r.name;
    ASSERT_EQ(EnterQueryMode(s.conn(), kTcpSelector, RecordOf(r)), 1) << r.name;
    const fs::path dir = root_ / ("ref-" + r.name);
    fs::create_directories(dir);
    for (size_t i = 0; i < intervals.size(); ++i) {
      const fs::path f = dir / ("q" + std::to_string(i) + ".bin");
      ASSERT_EQ(QueryInterval(s.conn(), kTcpSelector, RecordOf(r), intervals[i].start,
                              intervals[i].end, f),
                kPollSuccess);
      const std::vector<uint8_t> ref = ReadAll(f);
      ASSERT_GE(ref.size(), 4u * kXmodemBlockSize) << r.name << ": an interval with few events";
      ASSERT_EQ(ref.size() % kXmodemBlockSize, 0u);
      reference[{r.name, i}] = ref;
    }
    LeaveQueryMode(s.conn(), kTcpSelector, RecordOf(r));
    EXPECT_EQ(counts.naks, 0) << "a clean line needs no retries";
  }

  Tally tally;
  LineCounts counts;
  for (int n = 0; n < kTransfersPerKind && !OutOfTime(); ++n) {
    const SimRecorder& r = recs[static_cast<size_t>(n) % recs.size()];
    const size_t iv = static_cast<size_t>(n / 2) % intervals.size();
    const std::vector<uint8_t> old = OldFile(n);
    const std::string file = "events.bin";
    const fs::path dir = FolderWithOldFile(n, file, old);
    for (int attempt = 0; attempt < kHandshakeTries; ++attempt) {
      std::string where;
      auto session = Noisy(r, &counts, &where);
      Session& s = *session;
      ASSERT_TRUE(s.connected());
      if (s.login() != kPollSuccess || EnterQueryMode(s.conn(), kTcpSelector, RecordOf(r)) != 1) {
        ++tally.handshake_retries;
        if (attempt + 1 == kHandshakeTries) ++tally.gave_up;
        continue;
      }
      const long naks_before = counts.naks;
      const int result = QueryInterval(s.conn(), kTcpSelector, RecordOf(r), intervals[iv].start,
                                       intervals[iv].end, dir / file);
      LeaveQueryMode(s.conn(), kTcpSelector, RecordOf(r));
      tally.naks = counts.naks;
      tally.cans = counts.cans;
      Check(result, dir, file, old, reference[{r.name, iv}],
            "event query " + std::to_string(n) + " (interval " + std::to_string(iv) + ") from " +
                where,
            naks_before, tally);
      break;
    }
  }
  sim_.Stop();
  tally.Print("event queries");
  PrintSimStats(recs);
  EXPECT_FALSE(OutOfTime()) << "the transfers did not finish within the time bound";
  EXPECT_EQ(tally.succeeded + tally.failed + tally.gave_up, kTransfersPerKind);
  EXPECT_GT(tally.succeeded, 0) << "no transfer got through the noisy line";
  EXPECT_GT(tally.with_retries, 0) << "the line was not noisy: no block was asked for again";
}

// The two ways the noisy line above ends a transfer early, played by a scripted sender on a
// socket pair so they happen every time: a byte 0x04 inside a block's data is read where a
// block header is awaited. A sound receiver asks again instead of taking it for the end.
enum class StrayEot {
  kLostSoh,       // the header byte of block 2 is lost; its data holds a 0x04
  kLostLastByte,  // the last byte of block 2 is lost and the sender repeats the block before
                  // our receiver has timed out on it; the repeat's data holds a 0x04
};

class ScriptedSender {
 public:
  explicit ScriptedSender(int fd) : fd_(fd) {}
  void Send(const std::vector<uint8_t>& b) {
    size_t done = 0;
    while (done < b.size()) {
      const ssize_t w = ::write(fd_, b.data() + done, b.size() - done);
      if (w <= 0) return;
      done += static_cast<size_t>(w);
    }
  }
  // ACK, NAK or CAN within `ms`; -1 when none came.
  int Answer(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            end - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) return -1;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      uint8_t b;
      if (::read(fd_, &b, 1) != 1) return -1;
      if (b == kAck || b == kNak || b == kCan || (b == kCrcRequest && want_c_)) return b;
    }
  }
  bool WaitC(int ms) {
    want_c_ = true;
    const bool c = Answer(ms) == kCrcRequest;
    want_c_ = false;
    return c;
  }

 private:
  int fd_;
  bool want_c_ = false;
};

class StrayEotInBlock : public ::testing::TestWithParam<StrayEot> {};

TEST_P(StrayEotInBlock, IsNotTakenForTheEndOfTheTransfer) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  // Our receiver waits 300 ms for a byte; the scripted sender gives up on an answer sooner.
  Connection conn(Timings{}.Scaled(0.02));
  conn.Attach(std::make_unique<FdTransport>(fds[0]));

  std::vector<uint8_t> data1(kXmodemBlockSize, 'a');
  std::vector<uint8_t> data2(kXmodemBlockSize, ' ');
  data2[20] = kEot;
  const std::vector<uint8_t> f1 = XmodemFrame(1, data1.data(), data1.size());
  const std::vector<uint8_t> f2 = XmodemFrame(2, data2.data(), data2.size());
  const StrayEot mode = GetParam();
  bool damaged_block_sent = false;
  std::thread sender([&] {
    ScriptedSender tx(fds[1]);
    if (!tx.WaitC(2000)) return;
    tx.Send(f1);
    if (tx.Answer(1000) != kAck) return;
    std::vector<uint8_t> broken = f2;
    broken.erase(broken.begin() + (mode == StrayEot::kLostSoh ? 0 : kXmodemFrameSize - 1));
    tx.Send(broken);
    damaged_block_sent = true;
    tx.Answer(mode == StrayEot::kLostSoh ? 200 : 50);
    int a = -1;
    for (int i = 0; i < 6 && a != kAck && a != kCan; ++i) {
      tx.Send(f2);
      a = tx.Answer(400);
    }
    if (a != kAck) return;
    for (int i = 0; i < 5; ++i) {
      tx.Send({kEot});
      if (tx.Answer(400) == kAck) return;
    }
  });
  std::vector<uint8_t> got;
  const int result = XmodemReceiveBytes(conn, kTcpSelector, got);
  sender.join();
  conn.CloseConnection(kTcpSelector);
  ::close(fds[1]);

  ASSERT_TRUE(damaged_block_sent) << "the receiver did not get as far as block 2";
  std::vector<uint8_t> both = data1;
  both.insert(both.end(), data2.begin(), data2.end());
  if (result == 0) {
    EXPECT_EQ(got.size(), both.size())
        << "XmodemReceive reported success after " << got.size() / kXmodemBlockSize
        << " of 2 blocks: the 0x04 inside block 2 was taken for EOT (an EOT is accepted "
           "where the rest of a damaged block still arrives)";
    EXPECT_TRUE(got == both);
  } else {
    EXPECT_EQ(result, 7);
  }
}

INSTANTIATE_TEST_SUITE_P(Line, StrayEotInBlock,
                         ::testing::Values(StrayEot::kLostSoh, StrayEot::kLostLastByte),
                         [](const auto& info) {
                           return info.param == StrayEot::kLostSoh ? std::string("LostSoh")
                                                                   : std::string("LostLastByte");
                         });

// The helper itself: a child that cannot start is reported with what it printed, and a running
// one is stopped within its bound and leaves its statistics.
TEST(SimChildHelper, ReportsAStartFailureAndStopsARunningChild) {
  SimProcess bad;
  EXPECT_FALSE(bad.Start({"--model", "no-such-model", "--tcp", "0"}, 10000));
  EXPECT_NE(bad.error().find("unknown or unsupported model"), std::string::npos) << bad.error();
  EXPECT_FALSE(bad.running());

  SimProcess good;
  ASSERT_TRUE(good.Start(
      {"--model", "KRV-517XL", "--password", "P1", "--tcp", "0", "--scale", "0.01"}, 20000))
      << good.error();
  const int port = good.Port();
  ASSERT_GT(port, 0) << good.Output();
  {
    LineCounts counts;
    RecorderRecord r;
    r.id = "one";
    r.type = 5;
    r.password = "P1";
    Session s(port, r, &counts);
    ASSERT_TRUE(s.connected());
    EXPECT_EQ(s.login(), kPollSuccess);
  }
  EXPECT_EQ(good.Stop(), 0);
  EXPECT_FALSE(good.running());
  const auto st = good.StatsOf();
  EXPECT_EQ(st.connections, 1) << good.Output();
  EXPECT_EQ(st.logins, 1) << good.Output();
  EXPECT_EQ(st.failed_transfers, 0) << good.Output();
}

}  // namespace
}  // namespace zel::comm
