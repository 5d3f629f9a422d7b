// What the zelpoll tests share: running a program of the build, recorders on TCP/IP lines of
// simulated recorders, a station (zel.dat and its data folder in a temporary folder) and the
// poll log the program names.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "zel/catalogue.h"
#include "zel/core/zel_dat.h"
#include "zel/testing/files.h"
#include "zel/testing/programs.h"
#include "zel/testing/sim_process.h"
#include "zel/testing/temp_folder.h"

namespace zelpolltest {

namespace fs = std::filesystem;

inline constexpr char kModel[] = "KRV-517XL";

struct Ran {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string output;
};

// Runs a shell command line; what it writes to standard output is collected.
inline Ran RunCommand(const std::string& command) {
  Ran r;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  const int st = ::pclose(p);
  if (WIFEXITED(st)) r.status = WEXITSTATUS(st);
  return r;
}

// Runs a program of the build with `args`, bounded by `timeout 120` so a hung run ends the test;
// `err` says where its standard error goes ("2>&1" folds it into the output).
inline Ran RunProgram(const std::string& program, const std::string& args,
                      const std::string& err = "2>&1") {
  return RunCommand("timeout 120 " + zeltest::ProgramPath(program) + " " + args + " " + err);
}

inline Ran RunZelpoll(const std::string& args) { return RunProgram("zelpoll", args); }

// A recorder reached over TCP/IP on 127.0.0.1:`port`.
inline zel::RecorderRecord TcpRecorder(const std::string& id, const std::string& password, int port,
                                       const std::string& model = kModel) {
  zel::RecorderRecord r;
  r.id = id;
  r.password = password;
  r.type = zel::ParseModel(model);
  r.port = -1;
  r.ipAddress = 0x7F000001;
  r.tcpPort = port;
  return r;
}

// The arguments of one simulated recorder on a TCP/IP port of its choice, at a hundredth of
// the recorder's times, with `more` after them.
inline std::vector<std::string> SimArgs(const std::string& password,
                                        std::vector<std::string> more = {},
                                        const std::string& model = kModel) {
  std::vector<std::string> a = {"--model", model, "--password", password,
                                "--tcp",   "0",   "--scale",    "0.01"};
  a.insert(a.end(), more.begin(), more.end());
  return a;
}

// The path after "Poll log: " in a run's output; empty when it was not printed.
inline std::string LogPathOf(const std::string& output) {
  const std::string mark = "Poll log: ";
  const auto at = output.find(mark);
  if (at == std::string::npos) return {};
  const auto end = output.find('\n', at);
  return output.substr(at + mark.size(), end - at - mark.size());
}

// The text of the poll log in a data folder; empty when there is none.
inline std::string PollLogIn(const fs::path& data) {
  for (const std::string& n : zeltest::FileNames(data))
    if (n.rfind("Poll_log_", 0) == 0) return zeltest::ReadText(data / n);
  return {};
}

// One station: zel.dat and a data folder in a fresh temporary folder, recorders tried once,
// direct lines preferred.
class ZelpollStation : public ::testing::Test {
 protected:
  explicit ZelpollStation(std::string_view tag) : tmp_(tag) {}
  void SetUp() override {
    data_ = tmp_.path() / "data";
    fs::create_directories(data_);
    settings_.dataFolder = data_.string();
    settings_.retries = 1;
    settings_.preferedConnection = 1;
    zelDat_ = tmp_.path() / "zel.dat";
  }
  void Save(const std::vector<zel::RecorderRecord>& recorders) {
    std::string error;
    ASSERT_TRUE(zel::core::SaveZelDat(zelDat_, settings_, recorders, &error)) << error;
  }
  // The arguments every run on this station starts with.
  std::string Common() const { return "--config " + zelDat_.string() + " --scale 0.01 "; }
  Ran Zelpoll(const std::string& args) const { return RunZelpoll(Common() + args); }
  std::string Log() const { return PollLogIn(data_); }

  zeltest::TempFolder tmp_;
  fs::path data_, zelDat_;
  zel::core::StationSettings settings_;
};

}  // namespace zelpolltest

#define START_SIM(sim, args) ASSERT_TRUE((sim).Start(args)) << (sim).error()
