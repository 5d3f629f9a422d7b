// The recorder simulator (zelsim) as a child process for tests and benchmarks: started with a
// command line, its ports read from what it prints, stopped at the end. Every wait is bounded;
// a child that does not stop on SIGTERM is killed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "zel/platform/program_folder.h"

extern char** environ;

namespace zel::comm::testing {

// What zelsim prints for one recorder when it stops.
struct SimRecorderStats {
  int connections = -1;
  int logins = -1;
  int queries = -1;
  int setup_downloads = -1;
  int uploads = -1;
  int failed_transfers = -1;
};

class SimChild {
 public:
  SimChild() = default;
  ~SimChild() { Stop(); }
  SimChild(const SimChild&) = delete;
  SimChild& operator=(const SimChild&) = delete;

  // The zelsim program: beside the test program's folder definition when there is one, else
  // beside the running program.
  static std::string DefaultProgram() {
#ifdef ZEL_BIN_DIR
    return std::string(ZEL_BIN_DIR) + "/zelsim";
#else
    return zel::platform::ProgramFolder() + "zelsim";
#endif
  }

  // Starts `program` with `args` and waits up to `timeout_ms` for "zelsim: ready". False with
  // `error` set (including what the child printed) when it did not get there.
  bool Start(const std::vector<std::string>& args, int timeout_ms, std::string* error,
             const std::string& program = DefaultProgram()) {
    Stop();
    output_.clear();
    ports_.clear();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return Fail(error, "cannot make a pipe");
    std::vector<std::string> argv_s;
    argv_s.push_back(program);
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argv_s) argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(fds[1]);
    if (rc != 0) {
      ::close(fds[0]);
      return Fail(error, "cannot start " + program + ": " + std::strerror(rc));
    }
    pid_ = pid;
    out_fd_ = fds[0];
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (output_.find("zelsim: ready\n") == std::string::npos) {
      if (!ReadSome(deadline)) {
        const std::string seen = output_;
        Stop();
        return Fail(error, program + " did not get ready; it printed:\n" + seen);
      }
    }
    ParsePorts();
    return true;
  }

  bool running() const { return pid_ > 0; }

  // Port of the recorder called `name` ("recorder" when started with --model).
  int PortOf(const std::string& name = "recorder") const {
    auto it = ports_.find(name);
    return it == ports_.end() ? -1 : it->second;
  }

  // Everything the child printed so far (stdout and stderr).
  const std::string& output() const { return output_; }

  // SIGTERM, then waits up to `timeout_ms` for the exit (collecting the last output); SIGKILL
  // when it has not ended by then. Returns the exit status (-1 when it was killed or never ran).
  int Stop(int timeout_ms = 5000) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (out_fd_ >= 0 && ReadSome(deadline)) {
    }
    int status = 0;
    int result = -1;
    for (;;) {
      const pid_t w = ::waitpid(pid_, &status, WNOHANG);
      if (w == pid_) {
        if (WIFEXITED(status)) result = WEXITSTATUS(status);
        break;
      }
      if (w < 0 && errno != EINTR) break;
      if (Clock::now() >= deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      ::usleep(10000);
    }
    pid_ = -1;
    if (out_fd_ >= 0) ::close(out_fd_);
    out_fd_ = -1;
    return result;
  }

  // The statistics line zelsim prints for `name` when it stops (after Stop()); every field -1
  // when the line is missing.
  SimRecorderStats StatsOf(const std::string& name = "recorder") const {
    SimRecorderStats s;
    const std::string key = "zelsim: " + name + ": ";
    const size_t at = output_.find(key);
    if (at == std::string::npos) return s;
    const size_t eol = output_.find('\n', at);
    const std::string line = output_.substr(
        at + key.size(), eol == std::string::npos ? std::string::npos : eol - at - key.size());
    std::sscanf(line.c_str(),
                "%d connections, %d logins, %d queries, %d setup downloads, %d uploads, %d failed",
                &s.connections, &s.logins, &s.queries, &s.setup_downloads, &s.uploads,
                &s.failed_transfers);
    return s;
  }

 private:
  using Clock = std::chrono::steady_clock;

  static bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
  }

  // Reads what is there within the deadline; false on end of output or when time is up.
  bool ReadSome(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || out_fd_ < 0) return false;
    pollfd p{out_fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
    if (r < 0 && errno != EINTR) return false;
    if (r <= 0) return true;
    char buf[4096];
    const ssize_t n = ::read(out_fd_, buf, sizeof buf);
    if (n <= 0) {
      ::close(out_fd_);
      out_fd_ = -1;
      return false;
    }
    output_.append(buf, static_cast<size_t>(n));
    return true;
  }

  // "zelsim: NAME (MODEL) listening on 127.0.0.1:PORT"
  void ParsePorts() {
    size_t pos = 0;
    const std::string lead = "zelsim: ";
    const std::string mark = ") listening on 127.0.0.1:";
    while ((pos = output_.find(lead, pos)) != std::string::npos) {
      const size_t eol = output_.find('\n', pos);
      const std::string line = output_.substr(pos + lead.size(), eol - pos - lead.size());
      pos = eol == std::string::npos ? output_.size() : eol;
      const size_t m = line.find(mark);
      const size_t open = line.rfind(" (", m);
      if (m == std::string::npos || open == std::string::npos) continue;
      ports_[line.substr(0, open)] = std::atoi(line.c_str() + m + mark.size());
    }
  }

  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::string output_;
  std::map<std::string, int> ports_;
};

}  // namespace zel::comm::testing
