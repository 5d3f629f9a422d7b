// zeldemoshots: pictures of real windows for the demo and the help pages, made without a display
// (QT_QPA_PLATFORM=offscreen).
//   zeldemoshots live STATION_FOLDER RECORDER_ID SCALE OUT.png
//       the station manager over the zel.dat of STATION_FOLDER runs Access > Direct > Status on
//       the recorder; the picture is taken once its live status window has shown the
//       recorder's states (SCALE: the waits of the line, as the simulated recorders run them).
//   zeldemoshots plotter EVENT_FILE SETUP.bin [TEMPLATE.zpl] OUT.png
//       the event plotter's window on the event file, as the station manager starts it.
//   zeldemoshots editor MODEL SETUP.bin OUT.png
//       the setup editor of recorder type MODEL (the number zel.dat stores) on SETUP.bin, its
//       Input Names page open.
// Prints the picture's path; exit code 1 with the reason on stderr when no picture was made.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "gui/file_chooser.h"
#include "gui/window_capture.h"
#include "live_status_window.h"
#include "main_dialog.h"
#include "main_frame.h"
#include "model/editor_family.h"
#include "model/startup.h"
#include "station_window.h"
#include "zel/comm/timings.h"
#include "zel/platform/clock.h"
#include "zel/platform/launcher.h"
#include "zel/platform/prompter.h"

namespace {

constexpr int kLiveWaitMs = 20000;  // the longest wait for the recorder's states
constexpr int kQuietTicks = 5;      // live window ticks without a new line: the list has settled

int Usage() {
  std::fprintf(stderr,
               "usage: zeldemoshots live STATION_FOLDER RECORDER_ID SCALE OUT.png\n"
               "       zeldemoshots plotter EVENT_FILE SETUP.bin [TEMPLATE.zpl] OUT.png\n"
               "       zeldemoshots editor MODEL SETUP.bin OUT.png\n");
  return 2;
}

bool Save(QWidget* window, const QString& path) {
  const QString error = zel::gui::SaveWindowPicture(window, path);
  if (!error.isEmpty()) {
    std::fprintf(stderr, "zeldemoshots: the picture was not saved: %s.\n", qPrintable(error));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// Shows the live status window until the recorder's states have arrived and stopped changing,
// then takes its picture.
bool CaptureLive(zel::oxm::LiveStatusWindow& w, const QString& out) {
  w.resize(w.sizeHint().expandedTo(QSize(640, 360)));
  w.show();
  QElapsedTimer clock;
  clock.start();
  std::size_t lines = 0;
  std::size_t settledAt = 0;
  while (clock.elapsed() < kLiveWaitMs && !w.lineLost()) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (w.linesRead() != lines) {
      lines = w.linesRead();
      settledAt = w.ticks();
    }
    if (lines > 0 && w.ticks() >= settledAt + kQuietTicks) break;
  }
  if (lines == 0) {
    std::fprintf(stderr, "zeldemoshots: the recorder sent no states within %d s%s.\n",
                 kLiveWaitMs / 1000, w.lineLost() ? " (the line was lost)" : "");
    return false;
  }
  return Save(&w, out);
}

int Live(const std::string& station, const std::string& id, double scale, const QString& out) {
  zel::platform::SystemClock clock;
  zel::platform::ConsolePrompter prompter;
  zel::platform::RecordingLauncher launcher;  // the live window starts no program
  zel::gui::DialogFileChooser files;
  zel::oxm::StationServices s;
  s.clock = &clock;
  s.prompter = &prompter;
  s.launcher = &launcher;
  s.files = &files;
  s.programFolder = station.empty() || station.back() == '/' ? station : station + "/";
  s.tools = zel::core::ToolEnv{s.programFolder, '/'};
  s.serialPortNames = [] { return std::vector<std::string>{}; };
  s.pollTimings = zel::comm::Timings{}.Scaled(scale);
  s.liveTimings = zel::oxm::LiveTimings{}.Scaled(scale);
  s.startTimer = false;
  bool taken = false;
  bool shown = false;
  s.runDialog = [&](QDialog& d) {
    if (auto* live = dynamic_cast<zel::oxm::LiveStatusWindow*>(&d)) {
      shown = true;
      taken = CaptureLive(*live, out);
    } else {
      std::fprintf(stderr, "zeldemoshots: unexpected window \"%s\" closed.\n",
                   qPrintable(d.windowTitle()));
    }
    return static_cast<int>(QDialog::Rejected);
  };
  zel::oxm::StationWindow window(std::move(s));
  window.resize(900, 420);
  window.show();
  window.Start();
  const std::optional<std::size_t> row = window.recorders().FindById(id);
  if (!row) {
    std::fprintf(stderr, "zeldemoshots: no recorder \"%s\" in %szel.dat.\n", id.c_str(),
                 station.c_str());
    return 1;
  }
  window.SelectRows({static_cast<int>(*row)});
  window.Run(zel::core::Command::StatusDirect);
  if (!shown)
    std::fprintf(stderr, "zeldemoshots: live status did not open on \"%s\".\n", id.c_str());
  return taken ? 0 : 1;
}

int Editor(int type, const std::string& setup, const QString& out) {
  const zel::editors::EditorFamilyRow* row = zel::editors::FindEditor(type);
  if (row == nullptr) {
    std::fprintf(stderr, "zeldemoshots: no setup editor for recorder type %d.\n", type);
    return 1;
  }
  zel::platform::ConsolePrompter prompter(zel::platform::PromptAnswer::No);
  zel::platform::RecordingLauncher launcher;
  zel::editors::EditorSession session(*row);
  if (!zel::editors::StartSession(session, setup, prompter)) return 1;
  zel::editors::MainDialog dialog(session, prompter, launcher, "/");
  dialog.show();
  bool taken = false;
  dialog.SetDialogRunner([&](QDialog& page) {
    page.resize(page.sizeHint().expandedTo(QSize(560, 420)));
    page.show();
    QApplication::processEvents();
    taken = Save(&page, out);
    return static_cast<int>(QDialog::Rejected);
  });
  dialog.OpenPage(zel::editors::Page::kInputNames);
  return taken ? 0 : 1;
}

int Plotter(const std::string& event, const std::string& setup, const std::string& templ,
            const QString& out) {
  const zel::qplot::StartOptions start{.templatePath = templ,
                                       .eventPath = event,
                                       .setupPath = setup,
                                       .zoom = {},
                                       .programFolder = "/"};
  zel::platform::ConsolePrompter prompter;
  zel::platform::RecordingLauncher launcher;
  zel::qplot::CMainFrame frame(start, prompter, launcher);
  if (!frame.data().Loaded()) {
    std::fprintf(stderr, "zeldemoshots: the event file \"%s\" was not loaded.\n", event.c_str());
    return 1;
  }
  frame.resize(1000, 640);
  frame.show();
  QApplication::processEvents();
  return Save(&frame, out) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  if (argc == 6 && std::string(argv[1]) == "live")
    return Live(argv[2], argv[3], std::atof(argv[4]), QString::fromLocal8Bit(argv[5]));
  if ((argc == 5 || argc == 6) && std::string(argv[1]) == "plotter")
    return Plotter(argv[2], argv[3], argc == 6 ? argv[4] : "",
                   QString::fromLocal8Bit(argv[argc - 1]));
  if (argc == 5 && std::string(argv[1]) == "editor")
    return Editor(std::atoi(argv[2]), argv[3], QString::fromLocal8Bit(argv[4]));
  return Usage();
}
