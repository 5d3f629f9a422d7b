#include "zel/testing/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "zel/testing/programs.h"

extern char** environ;

namespace zeltest {
namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point end) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
  return left.count() <= 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

SimProcess::SimProcess() : program_(ProgramPath("zelsim")) {}
SimProcess::SimProcess(std::string program) : program_(std::move(program)) {}
SimProcess::~SimProcess() { Stop(); }

bool SimProcess::Fail(const std::string& why) {
  error_ = why;
  return false;
}

bool SimProcess::Start(const std::vector<std::string>& args, int timeout_ms) {
  Stop();
  output_.clear();
  error_.clear();
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    return Fail(std::string("cannot make a pipe: ") + std::strerror(errno));
  }
  std::vector<std::string> all = {program_};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, program_.c_str(), &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    return Fail("cannot start " + program_ + ": " + std::strerror(rc));
  }
  pid_ = pid;
  fd_ = fds[0];
  const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (output_.find("zelsim: ready\n") == std::string::npos) {
    const int left = MsLeft(end);
    if (left == 0 || !ReadSome(std::min(left, 100))) {
      Stop();
      return Fail(program_ + " did not get ready; it printed:\n" + output_);
    }
  }
  return true;
}

bool SimProcess::StartFleet(const std::filesystem::path& file, const std::string& config,
                            int timeout_ms) {
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << config;
    if (!out.flush()) return Fail("cannot write the fleet configuration " + file.string());
  }
  return Start({"--config", file.string()}, timeout_ms);
}

// "zelsim: NAME (MODEL) listening on 127.0.0.1:PORT"
int SimProcess::Port(const std::string& name) const {
  const std::string head = "zelsim: " + name + " (";
  const std::string mark = ") listening on 127.0.0.1:";
  for (size_t at = 0; at < output_.size();) {
    size_t eol = output_.find('\n', at);
    if (eol == std::string::npos) eol = output_.size();
    const std::string_view line(output_.data() + at, eol - at);
    at = eol + 1;
    if (line.substr(0, head.size()) != head) continue;
    const size_t m = line.find(mark);
    if (m == std::string::npos) continue;
    return std::atoi(std::string(line.substr(m + mark.size())).c_str());
  }
  return -1;
}

int SimProcess::Stop(int timeout_ms) {
  int result = -1;
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    bool reaped = false;
    int status = 0;
    while (!reaped) {
      const pid_t w = ::waitpid(pid_, &status, WNOHANG);
      if (w == pid_) {
        reaped = true;
        break;
      }
      if (w < 0 && errno != EINTR) break;
      const int left = MsLeft(end);
      if (left == 0) break;
      // Reading is the pause between looks; once the output has ended, a short poll is.
      if (!ReadSome(std::min(left, 20))) ::poll(nullptr, 0, std::min(left, 5));
    }
    if (!reaped) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    } else if (WIFEXITED(status)) {
      result = WEXITSTATUS(status);
    }
    pid_ = -1;
  }
  while (fd_ >= 0 && ReadSome(0)) {
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  return result;
}

SimStats SimProcess::StatsOf(const std::string& name) const {
  SimStats s;
  const std::string key = "zelsim: " + name + ": ";
  for (size_t at = output_.find(key); at != std::string::npos; at = output_.find(key, at + 1)) {
    if (at != 0 && output_[at - 1] != '\n') continue;
    const size_t eol = output_.find('\n', at);
    const std::string line = output_.substr(
        at + key.size(), eol == std::string::npos ? std::string::npos : eol - at - key.size());
    if (line.find(" connections, ") == std::string::npos) continue;
    std::sscanf(line.c_str(),
                "%d connections, %d logins, %d queries, %d setup downloads, %d uploads, %d failed",
                &s.connections, &s.logins, &s.queries, &s.setup_downloads, &s.uploads,
                &s.failed_transfers);
    break;
  }
  return s;
}

bool SimProcess::ReadSome(int wait_ms) {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  const int r = ::poll(&p, 1, wait_ms);
  if (r < 0) return errno == EINTR;
  if (r == 0) return true;
  char buf[4096];
  const ssize_t n = ::read(fd_, buf, sizeof buf);
  if (n < 0 && errno == EINTR) return true;
  if (n <= 0) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  output_.append(buf, static_cast<size_t>(n));
  return true;
}

}  // namespace zeltest
