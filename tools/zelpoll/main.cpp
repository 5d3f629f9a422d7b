// zelpoll: the headless station manager. Polls recorders, downloads and uploads setup
// databases, fetches an interval, or runs the weekly schedule as a service, with the same poll
// engine, poll log and files as the station manager.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <set>
#include <thread>

#include "zel/core/paths.h"
#include "zel/core/poll_engine.h"
#include "zel/core/query.h"
#include "zel/core/recorder_rules.h"
#include "zel/core/schedule.h"
#include "zel/core/terminal_text.h"
#include "zel/core/zel_dat.h"
#include "zel/platform/atomic_file.h"
#include "zel/platform/clock.h"
#include "zel/platform/guarded_main.h"
#include "zel/platform/launcher.h"
#include "zel/platform/prompter.h"
#include "zel/platform/station_lock.h"

namespace fs = std::filesystem;
using namespace zel;
using namespace zel::core;

namespace {

std::atomic<int> g_signal{0};
void OnSignal(int sig) { g_signal.store(sig); }

// "YYYY-MM-DD HH:MM:SS" or "MM/DD/YYYY HH:MM:SS" (seconds optional).
bool ParseDateTime(const std::string& text, platform::LocalTime& t) {
  int a = 0, b = 0, c = 0, h = 0, mi = 0, s = 0;
  int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &a, &b, &c, &h, &mi, &s);
  if (n >= 3 && a > 31) {
    t = {a, b, c, h, mi, s};
  } else {
    n = std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d", &a, &b, &c, &h, &mi, &s);
    if (n < 3) return false;
    t = {c < 100 ? 2000 + c : c, a, b, h, mi, s};
  }
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
      t.second > 59 || t.year < 2000 || t.year > 2099)
    return false;
  t.weekday = platform::WeekdayOf(t.year, t.month, t.day);
  return true;
}

void PrintEvent(const PollEvent& e) {
  // IDs and texts may hold control characters: shown escaped.
  const std::string id = TerminalText(e.recorder);
  const std::string text = TerminalText(e.text);
  switch (e.kind) {
    case PollEvent::kRunStart:
      std::printf("Polling %s recorder(s)\n", text.c_str());
      break;
    case PollEvent::kAttempt:
      std::printf("%s: attempt %s\n", id.c_str(), text.c_str());
      break;
    case PollEvent::kStep:
      std::printf("%s:   %s\n", id.c_str(), text.c_str());
      break;
    case PollEvent::kResult:
      // The result as a sentence ("Success", "Connection refused by 127.0.0.1:5000").
      std::printf("%s: result: %s\n", id.c_str(), text.c_str());
      break;
    case PollEvent::kFile:
      std::printf("%s:   new file %s\n", id.c_str(), text.c_str());
      break;
    case PollEvent::kWarning:
      std::printf("%s:   WARNING - %s\n", id.c_str(), text.c_str());
      break;
    case PollEvent::kError:
      std::fprintf(stderr, "zelpoll: %s%s%s\n", id.c_str(), e.recorder.empty() ? "" : ": ",
                   text.c_str());
      break;
    case PollEvent::kRunEnd:
      break;
  }
  std::fflush(stdout);
}

}  // namespace

int Run(int argc, char** argv) {
  CLI::App app{"zelpoll: headless station manager (polls recorders listed in zel.dat)"};
  app.require_subcommand(1);
  // The program folder's zel.dat, or the per-user one when that folder is not writable.
  std::string config = ZelDatPath(ProgramFolder()).string();
  std::string portMapFile;
  double scale = 1.0;
  bool noSave = false;
  app.add_option("--config", config,
                 "zel.dat to use (default: the program folder's when writable, else "
                 "$XDG_CONFIG_HOME/zel/zel.dat)");
  app.add_option("--port-map", portMapFile, "file of COMn=/dev/path lines mapping serial ports");
  app.add_option("--scale", scale, "multiply every protocol wait by this factor (tests, demo)")
      ->check(CLI::Range(0.0001, 100.0));
  app.add_flag("--no-save", noSave, "do not write the recorder list back to zel.dat");

  bool direct = false, today = false;
  int days = -1;
  int lines = 1;
  double progressEvery = 5.0;
  std::vector<std::string> modemPortNames;
  std::vector<std::string> ids;
  auto addLines = [&](CLI::App* sub) {
    sub->add_option("--lines", lines,
                    "poll recorders on TCP/IP over up to N connections at once, one at a time "
                    "per address and port (default 1: one recorder after another); serial lines "
                    "and modems poll alongside, one recorder at a time per port")
        ->check(CLI::Range(1, 4096));
    sub->add_option("--modem-ports", modemPortNames,
                    "more modem ports to call over, one call per port at a time (COM3,COM4)")
        ->delimiter(',');
    sub->add_option("--progress-every", progressEvery,
                    "seconds between progress summary lines when polling several at once")
        ->check(CLI::Range(0.05, 3600.0));
  };
  auto addSelection = [&](CLI::App* sub) {
    sub->add_flag("--direct", direct,
                  "use the direct line (serial or TCP/IP) instead of the modem");
    sub->add_option("ID", ids, "recorder IDs (default: every recorder)");
    addLines(sub);
  };
  CLI::App* poll = app.add_subcommand("poll", "poll event records (and check the setup database)");
  addSelection(poll);
  auto* todayFlag = poll->add_flag("--today", today, "fetch today's events");
  poll->add_option("--days", days, "fetch the N whole days before today")
      ->check(CLI::Range(1, 3650))
      ->excludes(todayFlag);
  CLI::App* down = app.add_subcommand("download-setup", "fetch setup databases (recorder->ZEL)");
  addSelection(down);
  CLI::App* up = app.add_subcommand("upload-setup", "send setup databases (ZEL->recorder)");
  addSelection(up);
  CLI::App* query = app.add_subcommand("query", "fetch the events of an interval into a file");
  std::string from, to, out, queryId;
  query->add_option("--from", from, "start, YYYY-MM-DD HH:MM:SS")->required();
  query->add_option("--to", to, "end, YYYY-MM-DD HH:MM:SS")->required();
  query->add_option("--out", out, "file to write")->required();
  query->add_flag("--direct", direct, "use the direct line instead of the modem");
  query->add_option("ID", queryId, "recorder ID")->required();
  CLI::App* run = app.add_subcommand("run", "run the weekly schedule until SIGINT/SIGTERM");
  addLines(run);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  std::vector<int> extraModemPorts;
  for (const std::string& name : modemPortNames) {
    const std::optional<int> n = ComPortNumber(name);
    if (!n) {
      std::fprintf(stderr,
                   "zelpoll: --modem-ports takes serial port names such as COM3,COM4; \"%s\" "
                   "is not one.\n",
                   TerminalText(name).c_str());
      return 2;
    }
    extraModemPorts.push_back(*n - 1);
  }

  ZelDatLoad loaded = LoadZelDat(config);
  if (!loaded.fileFound) {
    std::fprintf(stderr, "zelpoll: cannot read %s: give the station's zel.dat with --config.\n",
                 config.c_str());
    return 2;
  }
  for (const std::string& a : loaded.adjusted) std::fprintf(stderr, "zelpoll: %s\n", a.c_str());
  StationSettings settings = loaded.contents.settings;
  RecorderList list(loaded.contents.recorders);
  std::error_code folderError;
  const bool folderThere =
      !settings.dataFolder.empty() && fs::is_directory(settings.dataFolder, folderError);
  if (folderError && folderError != std::errc::no_such_file_or_directory) {
    std::fprintf(stderr,
                 "zelpoll: the data folder \"%s\" cannot be used: %s. Set DataFolder in %s.\n",
                 settings.dataFolder.c_str(), folderError.message().c_str(), config.c_str());
    return 2;
  }
  if (!folderThere) {
    std::fprintf(stderr,
                 "zelpoll: the data folder \"%s\" does not exist. Create it or set DataFolder in "
                 "%s.\n",
                 settings.dataFolder.c_str(), config.c_str());
    return 2;
  }
  if (app.got_subcommand(query)) {
    if (out.empty()) {
      std::fprintf(stderr, "zelpoll: --out needs the name of the file to write.\n");
      return 2;
    }
    const std::string setupFile =
        (fs::path(settings.dataFolder) / queryId / "setupdata.bin").string();
    for (const std::string& input : {config, portMapFile, setupFile}) {
      if (platform::SameFile(out, input)) {
        std::fprintf(stderr,
                     "zelpoll: the output file \"%s\" is the input file \"%s\"; give another "
                     "name with --out.\n",
                     out.c_str(), input.c_str());
        return 2;
      }
    }
  }

  // One poll of a station at a time: a second run leaves everything as it is.
  platform::StationLock stationLock;
  switch (stationLock.TryLock(config)) {
    case platform::StationLock::Result::kLocked:
      break;
    case platform::StationLock::Result::kHeld:
      std::fprintf(stderr, "zelpoll: %s\n", stationLock.HeldMessage().c_str());
      return 2;
    case platform::StationLock::Result::kError:
      std::fprintf(stderr, "zelpoll: %s\n", stationLock.error().c_str());
      return 2;
  }

  platform::SystemClock clock;
  platform::ProcessLauncher launcher;
  comm::StatusTexts status;
  PollEngine::Environment env;
  env.recorders = &list;
  env.clock = &clock;
  env.launcher = &launcher;
  env.status = &status;
  env.timings = comm::Timings{}.Scaled(scale);
  env.afterCloseMs = std::max(1, static_cast<int>(3000 * scale));
  env.lines = lines;
  env.extraModemPorts = extraModemPorts;
  if (!portMapFile.empty() && !env.ports.LoadFile(portMapFile)) {
    std::fprintf(stderr, "zelpoll: cannot read the port map %s.\n", portMapFile.c_str());
    return 2;
  }
  PollEngine engine(env);
  engine.onEvent = PrintEvent;

  // Selection: the IDs named, or every recorder.
  std::vector<std::string> wanted = ids;
  if (!queryId.empty()) wanted = {queryId};
  bool all = wanted.empty();
  if (!all) {
    std::set<std::string> missing(wanted.begin(), wanted.end());
    for (std::size_t pos = 0; pos < list.Count(); ++pos) {
      list.Update(pos, [&](RecorderRecord& r) {
        r.listState = std::find(wanted.begin(), wanted.end(), r.id) != wanted.end() ? 1 : 0;
        missing.erase(r.id);
      });
    }
    if (!missing.empty()) {
      std::fprintf(stderr, "zelpoll: no recorder with ID \"%s\" in %s.\n", missing.begin()->c_str(),
                   config.c_str());
      return 2;
    }
  }

  const std::vector<RecorderRecord> startList = list.Snapshot();
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  // With several lines, a summary now and then between the recorders' own lines.
  const bool severalLines = lines > 1 || !extraModemPorts.empty();
  const auto progressStep = std::chrono::milliseconds(static_cast<int64_t>(progressEvery * 1000.0));
  auto nextProgress = std::chrono::steady_clock::now() + progressStep;
  auto showProgress = [&] {
    if (!severalLines || !engine.Running()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < nextProgress) return;
    nextProgress = now + progressStep;
    std::printf("%s\n", ProgressLine(engine.Progress()).c_str());
    std::fflush(stdout);
  };
  auto waitForRun = [&] {
    while (engine.Running()) {
      if (g_signal.load()) {
        std::fprintf(stderr, "zelpoll: stopping the poll...\n");
        engine.StopPoll();
        break;
      }
      showProgress();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    engine.Wait();
  };

  if (app.got_subcommand(run)) {
    std::printf("zelpoll: running the weekly schedule (Ctrl-C to stop)\n");
    ScheduleCheck check;
    platform::ConsolePrompter prompter(platform::PromptAnswer::No);
    check.startPoll = [&](int back) {
      std::printf("zelpoll: scheduled poll, %d day(s) back\n", back);
      engine.StartPoll(settings, true, settings.preferedConnection == 1, kOpsEventsPoll, back);
    };
    check.housekeeping = [&] {
      if (settings.autoDelete == 1)
        std::fprintf(stderr,
                     "zelpoll: AutoDelete asks before deleting old event files; without a window "
                     "nothing is deleted (set AutoDelete=0 to delete them automatically).\n");
      int n = HandleOldEventFiles(settings, list.Snapshot(), clock.Now(), prompter);
      if (n > 0) std::printf("zelpoll: deleted %d event file(s) older than 30 days\n", n);
    };
    while (!g_signal.load()) {
      check.Tick(clock.Now(), settings.schedule);
      for (int i = 0; i < 50 && !g_signal.load(); ++i) {
        showProgress();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    engine.StopPoll();
  } else {
    uint32_t ops = kOpsEventsPoll;
    int back = 0;
    if (app.got_subcommand(poll)) {
      platform::LocalTime now = clock.Now();
      back = today      ? 0
             : days > 0 ? days
                        : DaysBackToPreviousEnabledDay(settings.schedule, now.weekday);
    } else if (app.got_subcommand(down)) {
      ops = kOpsSetupDownload;
    } else if (app.got_subcommand(up)) {
      ops = kOpsSetupUpload;
    } else if (app.got_subcommand(query)) {
      platform::LocalTime start, end;
      if (!ParseDateTime(from, start) || !ParseDateTime(to, end)) {
        std::fprintf(stderr,
                     "zelpoll: --from and --to take a date and time such as "
                     "\"2024-03-05 09:05:00\" (years 2000-2099).\n");
        return 2;
      }
      auto pos = list.FindById(queryId);
      std::string error;
      auto target = GetDataTarget(settings, *list.Get(*pos), start, end, fs::absolute(out), &error);
      if (!target) {
        std::fprintf(stderr, "zelpoll: %s\n", error.c_str());
        return 2;
      }
      engine.SetQuery(*target);
      ops = kOpsQuery;
    }
    engine.StartPoll(settings, all, direct, ops, back);
    waitForRun();
  }

  int failed = 0;
  for (const auto& o : engine.LastOutcomes()) {
    if (o.code != 0) ++failed;
  }
  if (!engine.LastLogPath().empty()) std::printf("Poll log: %s\n", engine.LastLogPath().c_str());
  std::printf("Recorder folders: %s\n", settings.dataFolder.c_str());
  std::printf("%zu recorder(s) polled, %d failed\n", engine.LastOutcomes().size(), failed);
  if (!noSave) {
    std::string error;
    // zel.dat is read again and only what this run changed is set in it: recorders and
    // settings edited while the run went on are kept.
    if (!SaveZelDatChanges(config, RecorderChanges(startList, list.Snapshot()), settings,
                           list.Snapshot(), &error)) {
      std::fprintf(stderr, "zelpoll: the recorder list was not saved to %s: %s\n", config.c_str(),
                   error.c_str());
      return 2;
    }
  }
  return failed ? 1 : 0;
}

int main(int argc, char** argv) { return platform::GuardedMain("zelpoll", Run, argc, argv); }
