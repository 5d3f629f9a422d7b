// The station manager window with a list of 2,000 recorders: start-up (zel.dat read, window
// built, shown and painted once) and one tick of the one-second timer (clock line, status
// fields, progress, schedule check), in ms.
// Usage: oxm_station_bench [--recorders N] [--ticks T]
// Prints; never asserts.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gui/file_chooser.h"
#include "station_window.h"

using namespace zel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

static double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int main(int argc, char** argv) {
  int recorders = 2000, ticks = 200;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--recorders")) recorders = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--ticks")) ticks = std::atoi(argv[i + 1]);
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  const fs::path folder =
      fs::temp_directory_path() / ("zel_station_bench_" + std::to_string(::getpid()));
  fs::create_directories(folder / "data");
  {
    std::ofstream z(folder / "zel.dat", std::ios::binary);
    z << "DataFolder=" << (folder / "data").string() << "\r\n";
    for (int i = 0; i < recorders; ++i)
      z << "Recorder=\"REC-" << i << "\",\"555-" << (1000 + i) << "\",\"PW" << i << "\","
        << (i % 17) << ",0,0,0,0,0," << (i % 3 - 1) << ",0,2130706433," << (5000 + i % 100)
        << "\r\n";
  }

  platform::FakeClock clock({2024, 3, 6, 10, 0, 0, 0, 3});
  platform::RecordingPrompter prompter{platform::PromptAnswer::Ok};
  platform::RecordingLauncher launcher;
  gui::ScriptedFileChooser files;
  oxm::StationServices s;
  s.clock = &clock;
  s.prompter = &prompter;
  s.launcher = &launcher;
  s.files = &files;
  s.programFolder = folder.string() + "/";
  s.tools = core::ToolEnv{s.programFolder, '/'};
  s.startTimer = false;

  const auto t0 = Clock::now();
  oxm::StationWindow w(s);
  w.resize(900, 420);
  w.show();
  app.processEvents();
  w.Start();
  const double startMs = Ms(Clock::now() - t0);

  std::vector<double> tickMs;
  for (int i = 0; i < ticks; ++i) {
    clock.AdvanceSeconds(1);
    const auto a = Clock::now();
    w.Tick();
    tickMs.push_back(Ms(Clock::now() - a));
    app.processEvents();  // the clock line repainted between ticks
  }
  // The first tick also runs the hourly handling of old event files (every recorder's folder).
  const double first = tickMs.front();
  std::sort(tickMs.begin() + 1, tickMs.end());
  std::printf(
      "station window, %zu recorders: start-up %.1f ms (goal 300 ms); tick median %.3f ms, "
      "worst %.3f ms over %d ticks (goal 2 ms); first tick with the hourly housekeeping "
      "%.1f ms\n",
      w.recorders().Count(), startMs, tickMs[tickMs.size() / 2], tickMs.back(), ticks - 1, first);
  std::error_code ec;
  fs::remove_all(folder, ec);
  return 0;
}
