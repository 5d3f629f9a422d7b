// Poll run over a fleet of simulated TCP/IP recorders (one zelsim --config process): total time,
// the waits the recorder protocol prescribes (quiet periods, the password wait, the pause after
// each connection), and the engine's own time per recorder against a goal of 5 ms.
// The engine's own time is measured directly: the run's wall time minus the time its thread
// sat in readiness waits on the lines (silences, time-outs, the recorders' answers), in disk
// syncs of received files and in the pauses after each connection. The plain difference
// "total minus prescribed waits" is printed too; it also holds the recorders' answer times
// and the disk's.
// The fleet is polled --runs times (default 2), a day apart: the first poll of a new station
// makes the recorders' folders and saved setup databases, later ones find them, as a station
// that polls every day does.
// Usage: poll_bench [--count N] [--scale F] [--sim-scale F] [--days D] [--runs R] [--sim PATH]
// --scale multiplies the engine's protocol waits, --sim-scale the simulated recorders' own
// delays (default: the same as --scale).
// Prints; never asserts.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "zel/catalogue.h"
#include "zel/core/paths.h"
#include "zel/core/poll_engine.h"
#include "zel/testing/sim_process.h"
#include "zel/testing/temp_folder.h"

namespace fs = std::filesystem;
using namespace zel;
using namespace zel::core;

int main(int argc, char** argv) {
  int count = 50;
  double scale = 0.01;
  int days = 1;
  int runs = 2;
  double simScale = -1;
  std::string sim = ProgramFolder() + "zelsim";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--count")) {
      count = std::atoi(argv[i + 1]);
    } else if (!std::strcmp(argv[i], "--scale")) {
      scale = std::atof(argv[i + 1]);
    } else if (!std::strcmp(argv[i], "--sim-scale")) {
      simScale = std::atof(argv[i + 1]);
    } else if (!std::strcmp(argv[i], "--days")) {
      days = std::atoi(argv[i + 1]);
    } else if (!std::strcmp(argv[i], "--runs")) {
      runs = std::atoi(argv[i + 1]);
    } else if (!std::strcmp(argv[i], "--sim")) {
      sim = argv[i + 1];
    } else {
      std::fprintf(stderr, "poll_bench: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (count < 1 || count > 500 || scale <= 0 || scale > 1 || days < 0 || days > 31 || runs < 1 ||
      runs > 10) {
    std::fprintf(stderr,
                 "poll_bench: --count 1-500, --scale above 0 to 1, --days 0-31, --runs 1-10\n");
    return 2;
  }

  if (simScale <= 0) simScale = scale;
  zeltest::TempFolder tmp("poll_bench");
  char scaleText[32];
  std::snprintf(scaleText, sizeof scaleText, "%g", simScale);
  std::string config = std::string("scale = ") + scaleText + "\n";
  for (int i = 0; i < count; ++i) {
    config += "[recorder R" + std::to_string(i) + "]\nmodel = KRV-517XL\npassword = PW" +
              std::to_string(i) + "\ntcp = 0\n";
  }
  zeltest::SimProcess fleet(sim);
  if (!fleet.StartFleet(tmp.path() / "fleet.ini", config, 30000)) {
    std::fprintf(stderr, "poll_bench: %s\n", fleet.error().c_str());
    return 1;
  }

  RecorderList list;
  for (int i = 0; i < count; ++i) {
    RecorderRecord r;
    r.id = "R" + std::to_string(i);
    r.password = "PW" + std::to_string(i);
    r.type = ParseModel("KRV-517XL");
    r.port = -1;
    r.ipAddress = 0x7F000001;
    r.tcpPort = fleet.Port(r.id);
    list.Append(r);
  }
  fs::create_directories(tmp.path() / "data");
  StationSettings settings;
  settings.dataFolder = (tmp.path() / "data").string();
  settings.retries = 1;
  platform::FakeClock clock({2024, 3, 6, 2, 15, 0});
  PollEngine::Environment env;
  env.recorders = &list;
  env.clock = &clock;
  env.timings = comm::Timings{}.Scaled(scale);
  env.afterCloseMs = std::max(1, static_cast<int>(3000 * scale));
  RunTimeRecorder recorder;
  env.observer = &recorder;
  PollEngine engine(env);
  // Time of every step, from its start to the next event of the run.
  std::map<std::string, int64_t> stepMs;
  std::string step;
  int64_t stepStart = 0;
  engine.onEvent = [&](const PollEvent& e) {
    const int64_t now = platform::MonotonicMs();
    if (!step.empty()) stepMs[step] += now - stepStart;
    step.clear();
    if (e.kind == PollEvent::kStep) {
      step = e.text;
    } else if (e.kind == PollEvent::kResult) {
      step = "(close and pause)";
    } else if (e.kind == PollEvent::kAttempt) {
      step = "(connect)";
    }
    stepStart = now;
  };

  auto cpuUs = [] {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000LL + u.ru_utime.tv_usec +
           u.ru_stime.tv_usec;
  };
  bool allOk = true;
  for (int run = 1; run <= runs; ++run) {
    if (run > 1) clock.AdvanceSeconds(24 * 3600);
    stepMs.clear();
    step.clear();
    std::printf("poll_bench: run %d: %s\n", run,
                run == 1
                    ? "a new station (the recorders' folders and saved setup databases are made)"
                    : "a day later (folders and saved setup databases exist)");
    const long long cpu0 = cpuUs();
    const int64_t t0us = platform::MonotonicUs();
    const int64_t t0 = platform::MonotonicMs();
    recorder.Reset();
    engine.StartPoll(settings, true, true, kOpsEventsPoll, days);
    engine.Wait();
    const int64_t total = platform::MonotonicMs() - t0;
    const int64_t totalUs = platform::MonotonicUs() - t0us;
    const long long cpu = cpuUs() - cpu0;

    int ok = 0;
    for (const auto& o : engine.LastOutcomes()) ok += o.code == 0;
    const comm::Timings& t = env.timings;
    // Waits an events poll must sit out on every recorder even when it answers at once.
    const int prescribed =
        t.login_quiet_ms + t.password_ms + 2 * t.setup_quiet_ms + env.afterCloseMs;
    const double own = static_cast<double>(total - int64_t{prescribed} * count) / count;
    std::printf(
        "poll_bench: %d recorders, %d polled successfully, %d day(s) back, waits x%g, recorder "
        "delays x%g\n",
        count, ok, days, scale, simScale);
    std::printf("poll_bench: total %lld ms\n", static_cast<long long>(total));
    std::printf(
        "poll_bench: prescribed waits per recorder %d ms (login quiet %d, password %d, setup quiet "
        "2 x %d, after close %d) = %lld ms in all\n",
        prescribed, t.login_quiet_ms, t.password_ms, t.setup_quiet_ms, env.afterCloseMs,
        static_cast<long long>(prescribed) * count);
    std::printf(
        "poll_bench: total minus prescribed waits per recorder %.2f ms (engine, transfers, the "
        "recorders' answers, disk syncs)\n",
        own);
    // The receiver confirms each EOT by a short quiet line (one per file received: the setup
    // database and each day).
    const int settle = std::max(1, std::min(t.xmodem_settle_ms, t.xmodem_byte_ms / 4));
    const int settles = settle * (1 + days);
    std::printf(
        "poll_bench: of which the receiver's EOT confirmation %d ms per recorder (%d x %d ms); "
        "without it %.2f ms\n",
        settles, 1 + days, settle, own - settles);
    // Where the poll thread's time went, measured by the engine itself.
    const RunTimes rt = recorder.times();
    auto perRec = [count](int64_t us) { return static_cast<double>(us) / 1000.0 / count; };
    const int64_t ownUs =
        totalUs - rt.waits.idleUs - rt.waits.answeredUs - rt.waits.diskSyncUs - rt.pauseUs;
    std::printf(
        "poll_bench: per recorder: waiting in silence or for a time-out %.2f ms, for the "
        "recorder's answers %.2f ms, disk syncs %.2f ms, pauses after close %.2f ms\n",
        perRec(rt.waits.idleUs), perRec(rt.waits.answeredUs), perRec(rt.waits.diskSyncUs),
        perRec(rt.pauseUs));
    std::printf("poll_bench: engine's own time per recorder %.2f ms (goal 5 ms, ratio %.2f)\n",
                perRec(ownUs), perRec(ownUs) / 5.0);
    std::printf(
        "poll_bench:   of which the socket calls that move the bytes %.2f ms; the rest (steps, "
        "files, log, the calls' set-up) %.2f ms (ratio %.2f to the goal)\n",
        perRec(rt.waits.lineIoUs), perRec(ownUs - rt.waits.lineIoUs),
        perRec(ownUs - rt.waits.lineIoUs) / 5.0);
    std::printf("poll_bench: CPU time of the station side per recorder %.2f ms\n",
                static_cast<double>(cpu) / 1000.0 / count);
    std::uintmax_t bytes = 0;
    for (const fs::path& f : engine.LastNewFiles()) {
      std::error_code ec;
      const std::uintmax_t n = fs::file_size(f, ec);
      if (!ec) bytes += n;
    }
    std::printf(
        "poll_bench: %.0f bytes of new files per recorder (a setup database that is already saved "
        "is only compared)\n",
        static_cast<double>(bytes) / count);
    std::printf("poll_bench: mean time per recorder by step (prescribed waits in brackets):\n");
    const std::map<std::string, int> waits = {{"Login", t.login_quiet_ms + t.password_ms},
                                              {"Poll Setup", 2 * t.setup_quiet_ms},
                                              {"(close and pause)", env.afterCloseMs}};
    for (const auto& [name, ms] : stepMs) {
      auto w = waits.find(name);
      std::printf("poll_bench:   %-18s %8.2f ms  [%d]\n", name.c_str(),
                  static_cast<double>(ms) / count, w == waits.end() ? 0 : w->second);
    }
    allOk = allOk && ok == count;
  }
  fleet.Stop();
  return allOk ? 0 : 1;
}
