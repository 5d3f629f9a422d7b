// XMODEM-CRC speed over the simulator's emulated serial line (default 38400 baud: 3840 bytes/s
// each way). Downloads a long event query (the recorder's largest payload: it sends events, not
// arbitrary files) and uploads a setup database of the same size; prints the bytes/s achieved
// and the ratio to what the line can carry. Never asserts.
//
// The line limit: every 128 data bytes travel in a 133-byte block, and the sender may send the
// next block only after the one-byte ACK came back over the same line, so one block costs at
// least 134 byte times: limit = bytes_per_second * 128 / 134 (3668 bytes/s at 3840). The raw
// framing limit without the ACK turnaround, bytes_per_second * 128 / 133, is printed too.
//
// Usage: xmodem_line_bench [--bytes N] [--bps B] [--only download|upload]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "zel/comm/connection.h"
#include "zel/comm/protocol.h"
#include "zel/comm/tcp_transport.h"
#include "zel/comm/xmodem.h"
#include "zel/setup_database.h"
#include "zel/testing/sim_process.h"

namespace {

using namespace zel;
using namespace zel::comm;
using Steady = std::chrono::steady_clock;

constexpr int kType = 5;  // KRV-517XL
constexpr char kPassword[] = "BENCH1";
constexpr uint32_t kLoopback = 0x7F000001;

double Seconds(Steady::time_point a, Steady::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void Send(Connection& c, const std::string& s) {
  c.SendBlock(kTcpSelector, reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size()));
}

// Our side's waits: the real XMODEM timings; short quiet times for the menus (a quiet line at
// 3840 bytes/s is quiet after a fraction of a second).
Timings BenchTimings() {
  Timings t;
  t.login_quiet_ms = 300;
  t.password_ms = 400;
  t.setup_quiet_ms = 400;
  return t;
}

bool Open(Connection& c, int port) {
  std::unique_ptr<TcpTransport> t;
  if (TcpTransport::Connect(kLoopback, port, &t) != 0) return false;
  c.Attach(std::move(t));
  RecorderRecord r;
  r.type = kType;
  r.password = kPassword;
  return Login(c, kTcpSelector, r) == kPollSuccess;
}

RecorderRecord Record() {
  RecorderRecord r;
  r.id = "bench";
  r.type = kType;
  r.password = kPassword;
  r.port = -1;
  r.ipAddress = kLoopback;
  return r;
}

platform::LocalTime LocalAt(int days_ago, int hour) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  tm.tm_mday -= days_ago;
  tm.tm_hour = hour;
  tm.tm_min = 0;
  tm.tm_sec = 0;
  tm.tm_isdst = -1;
  std::mktime(&tm);
  return platform::LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, 0, 0, 0,
                             tm.tm_wday};
}

// Downloads the events of the `hours` hours before midnight last night; 0 bytes on a failure.
std::vector<uint8_t> Query(Connection& c, int hours, double* seconds) {
  std::vector<uint8_t> data;
  const RecorderRecord r = Record();
  if (EnterQueryMode(c, kTcpSelector, r) != 1) return data;
  Send(c, IntervalCommand(LocalAt(1, -hours), LocalAt(1, 0)));
  const auto t0 = Steady::now();
  const int rc = XmodemReceiveBytes(c, kTcpSelector, data);
  if (seconds) *seconds = Seconds(t0, Steady::now());
  LeaveQueryMode(c, kTcpSelector, r);
  if (rc != 0) data.clear();
  return data;
}

void Report(const char* what, size_t bytes, double seconds, int bps) {
  const double rate = static_cast<double>(bytes) / seconds;
  const double limit = bps * 128.0 / 134.0;
  const double framing = bps * 128.0 / 133.0;
  std::printf("xmodem_line: %s %zu bytes in %.2f s = %.1f bytes/s\n", what, bytes, seconds, rate);
  std::printf(
      "xmodem_line: %s ratio to the line limit %.1f bytes/s (%d*128/134): %.3f (goal >= 0.90); "
      "to the framing limit %.1f (%d*128/133): %.3f\n",
      what, limit, bps, rate / limit, framing, bps, rate / framing);
  std::fflush(stdout);
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "xmodem_line: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  size_t bytes = 1 << 20;
  int bps = 3840;
  std::string only;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string k = argv[i];
    if (k == "--bytes") {
      bytes = std::strtoul(argv[i + 1], nullptr, 10);
    } else if (k == "--bps") {
      bps = std::atoi(argv[i + 1]);
    } else if (k == "--only") {
      only = argv[i + 1];
    } else {
      return Fail("usage: xmodem_line_bench [--bytes N] [--bps B] [--only download|upload]");
    }
  }
  if (bytes < 128 || bytes > (1u << 20) || bps <= 0)
    return Fail("--bytes must be 128 to 1048576 (the recorder accepts at most 1 MiB), --bps > 0");

  const std::vector<std::string> common = {"--model", "KRV-517XL", "--password",       kPassword,
                                           "--tcp",   "0",         "--events-per-day", "5000",
                                           "--seed",  "5",         "--scale",          "0.1"};
  if (only != "upload") {
    // Find the interval: the recorder's events are fixed by its seed, so an unpaced twin tells
    // how many hours give the payload.
    zeltest::SimProcess fast;
    if (!fast.Start(common, 20000)) return Fail(fast.error());
    Connection c(BenchTimings());
    if (!Open(c, fast.Port())) return Fail("no login on the unpaced recorder");
    // Bisect the hours before last midnight for the shortest interval that gives at least
    // `bytes` (one query holds at most the recorder's cap of events; then the cap it is).
    int lo = 0, hi = 24;
    std::vector<uint8_t> probe = Query(c, hi, nullptr);
    while (probe.size() < bytes && hi < 24 * 120) {
      std::vector<uint8_t> more = Query(c, hi * 2, nullptr);
      if (more.size() <= probe.size()) break;  // the cap of one query
      lo = hi;
      hi *= 2;
      probe = std::move(more);
    }
    while (probe.size() >= bytes && hi - lo > 1) {
      const int mid = (lo + hi) / 2;
      std::vector<uint8_t> m = Query(c, mid, nullptr);
      if (m.size() >= bytes) {
        hi = mid;
        probe = std::move(m);
      } else {
        lo = mid;
      }
    }
    const int hours = hi;
    c.CloseConnection(kTcpSelector);
    fast.Stop();
    if (probe.empty()) return Fail("the unpaced recorder sent no events");
    if (probe.size() < bytes)
      std::printf(
          "xmodem_line: the recorder sends at most %zu bytes of events in one query (its cap "
          "of events per query); downloading that instead of %zu\n",
          probe.size(), bytes);

    zeltest::SimProcess line;
    std::vector<std::string> args = common;
    args.insert(args.end(), {"--bytes-per-second", std::to_string(bps)});
    if (!line.Start(args, 20000)) return Fail(line.error());
    Connection d(BenchTimings());
    if (!Open(d, line.Port())) return Fail("no login on the paced recorder");
    double seconds = 0;
    const std::vector<uint8_t> got = Query(d, hours, &seconds);
    d.CloseConnection(kTcpSelector);
    line.Stop();
    if (got != probe) return Fail("the paced download differs from the unpaced one");
    Report("download (event query)", got.size(), seconds, bps);
  }

  if (only != "download") {
    // A setup database padded out to the size with random bytes (the recorder keeps at most
    // 1 MiB and reads its fields from the front).
    SetupDatabase db(kType);
    db.RestoreFactoryDefaults();
    db.SetAdministrativePassword(kPassword);
    std::vector<uint8_t> image = db.SaveBytes();
    std::mt19937 rng(5);
    while (image.size() < bytes) image.push_back(static_cast<uint8_t>(rng()));
    image.resize(bytes / 128 * 128);

    zeltest::SimProcess line;
    std::vector<std::string> args = common;
    args.insert(args.end(), {"--bytes-per-second", std::to_string(bps)});
    if (!line.Start(args, 20000)) return Fail(line.error());
    Connection c(BenchTimings());
    if (!Open(c, line.Port())) return Fail("no login on the paced recorder");
    Send(c, kSetupUploadCommand);
    c.WaitQuiet(kTcpSelector, c.timings().setup_quiet_ms);
    Send(c, kSetupUploadConfirm);
    if (!c.WaitForText(kTcpSelector, c.timings().upload_cc_ms, kSetupUploadReady))
      return Fail("the recorder did not ask for the upload");
    const auto t0 = Steady::now();
    const int rc = XmodemSendBytes(c, kTcpSelector, image);
    const double seconds = Seconds(t0, Steady::now());
    Send(c, kAfterSetupTransfer);
    c.WaitQuiet(kTcpSelector, c.timings().setup_quiet_ms);
    c.CloseConnection(kTcpSelector);
    line.Stop();
    if (rc != 0) return Fail("the upload failed");
    if (line.StatsOf().uploads != 1) return Fail("the recorder did not take the upload");
    Report("upload (setup database)", image.size(), seconds, bps);
  }
  return 0;
}
