// API-STABLE
// Starting other programs from a Windows-style command line, and opening files with the
// desktop's viewer.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::platform {

enum class WindowMode { Normal, Maximized, Hidden };

// Splits a command line the way CommandLineToArgvW does: blanks and tabs separate arguments
// outside double quotes; 2n backslashes before a quote give n backslashes and the quote
// toggles quoting; 2n+1 give n backslashes and a literal quote; other backslashes are literal;
// "" inside quotes gives a literal quote. The program name (first argument) ends at the first
// blank outside quotes and takes backslashes literally.
std::vector<std::string> SplitCommandLine(std::string_view command_line);

// The program file a command line names: `program` as given when it exists, else a file of
// the same folder whose name matches ignoring case, else the same two tries without a final
// ".exe" (any case). A relative name is taken inside `program_folder`. Windows separators are
// accepted. nullopt when nothing matches.
std::optional<std::filesystem::path> FindProgramFile(const std::string& program,
                                                     const std::filesystem::path& program_folder);

class Launcher {
 public:
  virtual ~Launcher() = default;
  // Starts the command line as a detached process in `working_folder` (empty: the current
  // folder) without waiting for it. The station manager shows no failure; the result is for
  // logs and tests. False when the program cannot be found or started.
  virtual bool Start(const std::string& command_line, const std::string& working_folder,
                     WindowMode mode = WindowMode::Normal) = 0;
  // Opens a file with the desktop's default viewer. False when that cannot be done.
  virtual bool OpenWithDesktop(const std::string& path) = 0;
};

// Real launcher: posix_spawn of the program file (FindProgramFile; a program whose folder does
// not exist here is looked for by its file name in the program folder) with the split arguments,
// detached (own session, standard streams on /dev/null, reaped by a waiter thread), and
// `xdg-open` for the desktop.
class ProcessLauncher : public Launcher {
 public:
  explicit ProcessLauncher(std::filesystem::path program_folder = {});
  bool Start(const std::string& command_line, const std::string& working_folder,
             WindowMode mode = WindowMode::Normal) override;
  bool OpenWithDesktop(const std::string& path) override;
  // Program used for OpenWithDesktop ("xdg-open" by default, looked up on PATH).
  void SetOpener(std::string opener) { opener_ = std::move(opener); }

 private:
  std::filesystem::path programFolder_;
  std::string opener_ = "xdg-open";
};

// For tests: records what would be started or opened; answers with `result`.
class RecordingLauncher : public Launcher {
 public:
  struct Started {
    std::string commandLine;
    std::string workingFolder;
    WindowMode mode;
  };
  explicit RecordingLauncher(bool result = true) : result_(result) {}
  bool Start(const std::string& command_line, const std::string& working_folder,
             WindowMode mode = WindowMode::Normal) override {
    std::lock_guard lock(mu_);
    started_.push_back({command_line, working_folder, mode});
    events_.push_back("start " + command_line);
    return result_;
  }
  bool OpenWithDesktop(const std::string& path) override {
    std::lock_guard lock(mu_);
    opened_.push_back(path);
    events_.push_back("open " + path);
    return result_;
  }
  std::vector<Started> started() const {
    std::lock_guard lock(mu_);
    return started_;
  }
  std::vector<std::string> opened() const {
    std::lock_guard lock(mu_);
    return opened_;
  }
  // "start <command line>" and "open <path>" in the order they happened.
  std::vector<std::string> events() const {
    std::lock_guard lock(mu_);
    return events_;
  }

 private:
  mutable std::mutex mu_;
  bool result_;
  std::vector<Started> started_;
  std::vector<std::string> opened_;
  std::vector<std::string> events_;
};

}  // namespace zel::platform
