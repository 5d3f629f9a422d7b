#include "zel/platform/launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <system_error>
#include <thread>

extern char** environ;

namespace zel::platform {

namespace fs = std::filesystem;

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

// A file of `folder` named `name`: exactly, else ignoring case.
std::optional<fs::path> FindInFolder(const fs::path& folder, const std::string& name) {
  if (name.empty()) return std::nullopt;
  fs::path exact = folder / name;
  if (IsFile(exact)) return exact;
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
  if (ec) return std::nullopt;
  std::optional<fs::path> found;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::string candidate = it->path().filename().string();
    if (EqualNoCase(candidate, name) && IsFile(it->path())) {
      // Several spellings: take the first in name order, so the choice does not depend on
      // the order of the folder listing.
      fs::path p = folder / candidate;
      if (!found || p < *found) found = p;
    }
  }
  return found;
}

// Spawns argv detached: own session, standard streams on /dev/null, reaped by a waiter thread.
bool SpawnDetached(const std::string& file, const std::vector<std::string>& args,
                   const std::string& working_folder) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attr) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (!working_folder.empty())
    posix_spawn_file_actions_addchdir_np(&actions, working_folder.c_str());
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);

  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  int rc = posix_spawn(&pid, file.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return false;
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

std::optional<std::string> FindOnPath(const std::string& program) {
  if (program.find('/') != std::string::npos) {
    if (::access(program.c_str(), X_OK) == 0) return program;
    return std::nullopt;
  }
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // An empty entry of PATH is the current folder.
    std::string candidate = end > start ? dirs.substr(start, end - start) : std::string(1, '.');
    candidate += '/';
    candidate += program;
    if (IsFile(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view cmd) {
  std::vector<std::string> args;
  std::size_t i = 0;
  const std::size_t n = cmd.size();
  while (i < n && IsSpace(cmd[i])) ++i;
  if (i >= n) return args;

  // The program name: backslashes are literal; quotes only group.
  {
    std::string name;
    bool quoted = false;
    for (; i < n; ++i) {
      char c = cmd[i];
      if (c == '"') {
        quoted = !quoted;
        continue;
      }
      if (!quoted && IsSpace(c)) break;
      name.push_back(c);
    }
    args.push_back(std::move(name));
  }

  while (true) {
    while (i < n && IsSpace(cmd[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n) {
      char c = cmd[i];
      if (c == '\\') {
        std::size_t count = 0;
        while (i < n && cmd[i] == '\\') {
          ++count;
          ++i;
        }
        if (i < n && cmd[i] == '"') {
          arg.append(count / 2, '\\');
          if (count % 2 == 1) {
            arg.push_back('"');
            ++i;
          }
          // An even count leaves the quote to be handled as a quote below.
        } else {
          arg.append(count, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < n && cmd[i + 1] == '"') {
          arg.push_back('"');  // "" inside quotes: one literal quote
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      if (!quoted && IsSpace(c)) break;
      arg.push_back(c);
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::optional<fs::path> FindProgramFile(const std::string& program,
                                        const fs::path& program_folder) {
  if (program.empty()) return std::nullopt;
  std::string p = program;
#ifndef _WIN32
  std::replace(p.begin(), p.end(), '\\', '/');
#endif
  fs::path given(p);
  if (given.is_relative())
    given = (program_folder.empty() ? fs::path(".") : program_folder) / given;
  fs::path folder = given.parent_path();
  std::string name = given.filename().string();
  if (auto found = FindInFolder(folder, name)) return found;
  if (name.size() > 4 && EqualNoCase(name.substr(name.size() - 4), ".exe")) {
    if (auto found = FindInFolder(folder, name.substr(0, name.size() - 4))) return found;
  }
  return std::nullopt;
}

ProcessLauncher::ProcessLauncher(fs::path program_folder)
    : programFolder_(std::move(program_folder)) {}

bool ProcessLauncher::Start(const std::string& command_line, const std::string& working_folder,
                            WindowMode) {
  std::vector<std::string> args = SplitCommandLine(command_line);
  if (args.empty()) return false;
  auto file = FindProgramFile(args[0], programFolder_);
  if (!file && !programFolder_.empty()) {
    // A program named with a folder that is not here (a command line written for another
    // machine) is still one of ours: look for its file name in the program folder.
    std::string name = args[0];
    std::replace(name.begin(), name.end(), '\\', '/');
    std::string base = fs::path(name).filename().string();
    if (!base.empty()) file = FindProgramFile(base, programFolder_);
  }
  if (!file) return false;
  std::error_code ec;
  if (!working_folder.empty() && !fs::is_directory(working_folder, ec)) return false;
  args[0] = file->string();
  return SpawnDetached(args[0], args, working_folder);
}

bool ProcessLauncher::OpenWithDesktop(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !fs::exists(path, ec)) return false;
  auto opener = FindOnPath(opener_);
  if (!opener) return false;
  return SpawnDetached(*opener, {*opener, path}, {});
}

}  // namespace zel::platform
