// A station window over a temporary program folder, a fake clock and recording stand-ins for
// the message boxes, the launcher, the file dialogs and the modal dialogs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/file_chooser.h"
#include "station_window.h"
#include "zel/core/zel_dat.h"
#include "zel/testing/files.h"
#include "zel/testing/programs.h"
#include "zel/testing/sim_process.h"
#include "zel/testing/temp_folder.h"

namespace zel::oxm::testing {

namespace fs = std::filesystem;

// Wednesday 6 March 2024, 02:15:00.
inline const platform::LocalTime kWednesday{2024, 3, 6, 2, 15, 0, 0, 3};

class WindowRig {
 public:
  using Script = std::function<int(QDialog&)>;

  explicit WindowRig(const std::string& tag, std::string zel_dat = {}, bool backslashes = false)
      : tmp_(tag), clock(kWednesday) {
    program_ = tmp_.path() / "program";
    data = tmp_.path() / "data";
    fs::create_directories(program_);
    fs::create_directories(data);
    // "$DATA" in the text stands for this rig's data folder.
    for (std::size_t at; (at = zel_dat.find("$DATA")) != std::string::npos;)
      zel_dat.replace(at, 5, data.string());
    if (!zel_dat.empty()) std::ofstream(program_ / "zel.dat", std::ios::binary) << zel_dat;
    services.clock = &clock;
    services.prompter = &prompter;
    services.launcher = &launcher;
    services.files = &files;
    services.programFolder = program_.string() + "/";
    services.tools = backslashes ? core::ToolEnv{"C:\\Station\\", '\\'}
                                 : core::ToolEnv{services.programFolder, '/'};
    services.serialPortNames = [this] { return ports; };
    services.runDialog = [this](QDialog& d) {
      shown.push_back(d.windowTitle().toStdString());
      if (scripts.empty()) return static_cast<int>(QDialog::Rejected);
      Script s = std::move(scripts.front());
      scripts.pop_front();
      return s(d);
    };
    services.sleepMs = [this](int ms) { sleeps.push_back(ms); };
    services.pollTimings = comm::Timings{}.Scaled(0.01);
    services.afterCloseMs = 5;
    services.startTimer = false;
  }

  StationWindow& Open() {
    window = std::make_unique<StationWindow>(services);
    window->resize(900, 420);
    return *window;
  }

  // Presses OK on a dialog and gives its result (a dialog whose check failed stays open and
  // gives Rejected).
  static int PressOk(QDialog& d) {
    d.setResult(QDialog::Rejected);
    d.accept();
    return d.result();
  }

  fs::path ZelDat() const { return program_ / "zel.dat"; }
  const fs::path& program() const { return program_; }
  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const auto& e : prompter.entries()) t.push_back(e.caption + "|" + e.text);
    return t;
  }

  zeltest::TempFolder tmp_;
  fs::path program_;
  fs::path data;
  platform::FakeClock clock;
  platform::RecordingPrompter prompter{platform::PromptAnswer::Ok};
  platform::RecordingLauncher launcher;
  gui::ScriptedFileChooser files;
  std::vector<std::string> ports;
  std::deque<Script> scripts;
  std::vector<std::string> shown;  // titles of the dialogs run
  std::vector<int> sleeps;
  StationServices services;
  std::unique_ptr<StationWindow> window;
};

// A zel.dat with the rig's data folder and recorders given as "Recorder=" values.
inline std::string ZelDatWith(const std::vector<std::string>& recorders,
                              const std::string& extra = {}) {
  std::string s = "DataFolder=$DATA\r\nRetries=1\r\n" + extra;
  for (const std::string& r : recorders) s += "Recorder=" + r + "\r\n";
  return s;
}

}  // namespace zel::oxm::testing
