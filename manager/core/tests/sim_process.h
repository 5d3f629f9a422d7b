// Test helper: runs the recorder simulator zelsim as a child process, learns the TCP ports of
// its recorders from the lines it prints, and ends it. Every wait is bounded.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace zeltest {

#ifdef ZEL_BIN_DIR
inline std::string ZelBin(const std::string& name) { return std::string(ZEL_BIN_DIR) + "/" + name; }
#endif

class SimProcess {
 public:
#ifdef ZEL_BIN_DIR
  SimProcess() : program_(ZelBin("zelsim")) {}
#endif
  explicit SimProcess(std::string program) : program_(std::move(program)) {}
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;
  ~SimProcess() { Stop(); }

  // Starts zelsim with `args` and waits (at most `timeout_ms`) for "zelsim: ready". False, with
  // the reason in error(), when it did not come.
  bool Start(const std::vector<std::string>& args, int timeout_ms = 15000) {
    int fds[2];
    if (::pipe(fds) != 0) return Failed("pipe failed");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    posix_spawn_file_actions_addclose(&fa, fds[1]);
    const std::string& program = program_;
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(fds[1]);
    fd_ = fds[0];
    if (rc != 0) {
      pid_ = -1;
      return Failed("cannot start " + program);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < end) {
      if (!ReadSome(50)) break;
      for (const std::string& line : lines_) {
        if (line == "zelsim: ready") return true;
      }
    }
    return Failed("zelsim did not get ready; its output:\n" + Output());
  }

  // Writes a fleet configuration into `file` and starts zelsim with it.
  bool StartFleet(const std::filesystem::path& file, const std::string& config,
                  int timeout_ms = 15000) {
    std::ofstream(file) << config;
    return Start({"--config", file.string()}, timeout_ms);
  }

  // TCP port of the recorder named `name` ("recorder" for one started with --model); -1 when
  // no such line was printed.
  int Port(const std::string& name = "recorder") const {
    const std::string head = "zelsim: " + name + " (";
    const std::string mark = "listening on 127.0.0.1:";
    for (const std::string& line : lines_) {
      if (line.rfind(head, 0) != 0) continue;
      auto at = line.find(mark);
      if (at != std::string::npos) return std::atoi(line.c_str() + at + mark.size());
    }
    return -1;
  }

  // Ends the simulator (SIGTERM, then SIGKILL after `timeout_ms`) and returns all its output.
  std::string Stop(int timeout_ms = 5000) {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
      int status = 0;
      bool reaped = false;
      while (std::chrono::steady_clock::now() < end) {
        ReadSome(20);
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
          reaped = true;
          break;
        }
      }
      if (!reaped) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
      }
      while (ReadSome(0)) {
      }
      pid_ = -1;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return Output();
  }

  // The closing statistics line of recorder `name` ("NAME: 2 connections, 2 logins, ..."),
  // after Stop(); empty when there is none.
  std::string StatsLine(const std::string& name = "recorder") const {
    const std::string head = "zelsim: " + name + ": ";
    for (const std::string& line : lines_) {
      if (line.rfind(head, 0) == 0 && line.find("connections") != std::string::npos) return line;
    }
    return {};
  }
  // A number from the statistics line: StatsCount("recorder", "logins"); -1 when missing.
  int StatsCount(const std::string& name, const std::string& what) const {
    const std::string line = StatsLine(name);
    const std::string key = " " + what;
    for (std::size_t at = line.find(key); at != std::string::npos; at = line.find(key, at + 1)) {
      const std::size_t after = at + key.size();
      if (after < line.size() && line[after] != ',') continue;
      std::size_t b = at;
      while (b > 0 && std::isdigit(static_cast<unsigned char>(line[b - 1]))) --b;
      if (b < at) return std::atoi(line.substr(b, at - b).c_str());
    }
    return -1;
  }

  std::string Output() const {
    std::string all;
    for (const std::string& l : lines_) all += l + "\n";
    return all + partial_;
  }
  const std::string& error() const { return error_; }

 private:
  bool Failed(const std::string& why) {
    error_ = why;
    return false;
  }

  // Reads what is there within `wait_ms`; false at the end of the output.
  bool ReadSome(int wait_ms) {
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, wait_ms) <= 0) return true;
    char buf[4096];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n <= 0) return false;
    partial_.append(buf, static_cast<std::size_t>(n));
    for (std::size_t nl; (nl = partial_.find('\n')) != std::string::npos;) {
      lines_.push_back(partial_.substr(0, nl));
      partial_.erase(0, nl + 1);
    }
    return true;
  }

  std::string program_;
  pid_t pid_ = -1;
  int fd_ = -1;
  std::vector<std::string> lines_;
  std::string partial_;
  std::string error_;
};

// A fresh folder for one test, removed at the end.
class TempFolder {
 public:
  explicit TempFolder(const std::string& tag) {
    path_ = std::filesystem::temp_directory_path() /
            ("zel_" + tag + "_" + std::to_string(::getpid()) + "_" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Names of the entries directly in `folder` (files and folders), sorted.
inline std::vector<std::string> FileNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace zeltest
