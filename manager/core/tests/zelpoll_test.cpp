// The zelpoll console program against simulated recorders: exit statuses, the poll log it
// names, and the recorder list it saves back to zel.dat.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "sim_process.h"
#include "zel/catalogue.h"
#include "zel/core/zel_dat.h"
#include "zel/setup_database.h"

namespace {

namespace fs = std::filesystem;
using namespace zel;
using namespace zel::core;
using zeltest::SimProcess;
using zeltest::TempFolder;

constexpr char kModel[] = "KRV-517XL";

struct Ran {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string output;
};

// Runs zelpoll with `args` (bounded by `timeout 60`), standard error folded into the output.
Ran RunZelpoll(const std::string& args) {
  const std::string cmd = "timeout 60 " + zeltest::ZelBin("zelpoll") + " " + args + " 2>&1";
  Ran r;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  const int st = ::pclose(p);
  if (WIFEXITED(st)) r.status = WEXITSTATUS(st);
  return r;
}

RecorderRecord TcpRecorder(const std::string& id, const std::string& password, int port) {
  RecorderRecord r;
  r.id = id;
  r.password = password;
  r.type = ParseModel(kModel);
  r.port = -1;
  r.ipAddress = 0x7F000001;
  r.tcpPort = port;
  return r;
}

class ZelpollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = tmp_.path() / "data";
    fs::create_directories(data_);
    settings_.dataFolder = data_.string();
    settings_.retries = 1;
    settings_.preferedConnection = 1;
    zelDat_ = tmp_.path() / "zel.dat";
  }
  void Save(const std::vector<RecorderRecord>& recorders) {
    std::string error;
    ASSERT_TRUE(SaveZelDat(zelDat_, settings_, recorders, &error)) << error;
  }
  std::string Common() const { return "--config " + zelDat_.string() + " --scale 0.01 "; }
  // The path after "Poll log: " in the output; empty when not printed.
  static std::string LogPathOf(const std::string& out) {
    const std::string mark = "Poll log: ";
    auto at = out.find(mark);
    if (at == std::string::npos) return {};
    auto end = out.find('\n', at);
    return out.substr(at + mark.size(), end - at - mark.size());
  }

  TempFolder tmp_{"zelpoll"};
  fs::path data_, zelDat_;
  StationSettings settings_;
};

#define START_SIM(sim, args) ASSERT_TRUE((sim).Start(args)) << (sim).error()

TEST_F(ZelpollTest, SuccessfulPollExitsZeroAndNamesThePollLog) {
  SimProcess sim;
  START_SIM(sim, (std::vector<std::string>{"--model", kModel, "--password", "PW1", "--tcp", "0",
                                           "--scale", "0.01"}));
  Save({TcpRecorder("R1", "PW1", sim.Port())});
  Ran r = RunZelpoll(Common() + "poll --direct --today");
  EXPECT_EQ(r.status, 0) << r.output;
  const std::string log = LogPathOf(r.output);
  ASSERT_FALSE(log.empty()) << r.output;
  EXPECT_EQ(fs::path(log).parent_path(), data_);
  ASSERT_TRUE(fs::exists(log)) << log;
  const std::string text = zeltest::ReadText(log);
  EXPECT_NE(text.find(" Polling:R1\n Success\n"), std::string::npos) << text;
  EXPECT_TRUE(fs::exists(data_ / "R1" / "setupdata.bin"));
  int bins = 0;
  for (const std::string& n : zeltest::FileNames(data_ / "R1")) {
    if (n.size() == 17 && n[6] == '-' && n.substr(13) == ".bin") ++bins;
  }
  EXPECT_EQ(bins, 1) << "one event file for today";
}

TEST_F(ZelpollTest, FailedRecorderGivesNonZeroExit) {
  SimProcess sim;
  START_SIM(sim, (std::vector<std::string>{"--model", kModel, "--password", "PW1", "--tcp", "0",
                                           "--scale", "0.01"}));
  Save({TcpRecorder("GOOD", "PW1", sim.Port()), TcpRecorder("BAD", "NOTIT", sim.Port())});
  Ran r = RunZelpoll(Common() + "poll --direct --today");
  EXPECT_EQ(r.status, 1) << "a failed recorder exits with 1 (2 is for usage errors):\n" << r.output;
  EXPECT_NE(r.output.find("2 recorder(s) polled, 1 failed"), std::string::npos) << r.output;
  const std::string text = zeltest::ReadText(LogPathOf(r.output));
  EXPECT_NE(text.find("Polling:BAD\n Wrong Password\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Polling:GOOD\n Success\n"), std::string::npos) << text;

  // Only the good one named: success.
  Ran good = RunZelpoll(Common() + "poll --direct --today GOOD");
  EXPECT_EQ(good.status, 0) << good.output;
  // An ID that is not in the list: refused before anything is polled.
  Ran none = RunZelpoll(Common() + "poll --direct --today NOSUCH");
  EXPECT_NE(none.status, 0);
  EXPECT_NE(none.output.find("NOSUCH"), std::string::npos) << none.output;
}

TEST_F(ZelpollTest, UploadedPasswordIsSavedToZelDat) {
  SimProcess sim;
  START_SIM(sim, (std::vector<std::string>{"--model", kModel, "--password", "OLDPW", "--tcp", "0",
                                           "--scale", "0.01"}));
  Save({TcpRecorder("R1", "OLDPW", sim.Port())});
  fs::create_directories(data_ / "R1");
  SetupDatabase db(ParseModel(kModel));
  db.RestoreFactoryDefaults();
  db.SetAdministrativePassword("NEWPW");
  ASSERT_TRUE(db.SaveFile(data_ / "R1" / "setupdata.bin"));

  // --no-save leaves zel.dat as it was.
  const std::string before = zeltest::ReadText(zelDat_);
  Ran dry = RunZelpoll(Common() + "--no-save upload-setup --direct");
  ASSERT_EQ(dry.status, 0) << dry.output;
  EXPECT_EQ(zeltest::ReadText(zelDat_), before);

  // The recorder now wants NEWPW while the unsaved list still says OLDPW: the next run fails.
  Ran up = RunZelpoll(Common() + "upload-setup --direct");
  EXPECT_NE(up.status, 0) << "logged in with the old password after it was replaced:\n"
                          << up.output;

  // With the password that the recorder holds now, an upload saves it into zel.dat.
  Save({TcpRecorder("R1", "NEWPW", sim.Port())});
  db.SetAdministrativePassword("THIRDPW");
  ASSERT_TRUE(db.SaveFile(data_ / "R1" / "setupdata.bin"));
  up = RunZelpoll(Common() + "upload-setup --direct");
  ASSERT_EQ(up.status, 0) << up.output;
  ZelDatLoad loaded = LoadZelDat(zelDat_);
  ASSERT_EQ(loaded.contents.recorders.size(), 1u);
  EXPECT_EQ(loaded.contents.recorders[0].password, "THIRDPW");

  // And the saved password works on the next run.
  Ran poll = RunZelpoll(Common() + "poll --direct --today");
  EXPECT_EQ(poll.status, 0) << poll.output;
}

TEST_F(ZelpollTest, MissingDataFolderIsRefused) {
  settings_.dataFolder = (tmp_.path() / "nowhere").string();
  Save({TcpRecorder("R1", "PW1", 1)});
  Ran r = RunZelpoll(Common() + "poll --direct --today");
  EXPECT_EQ(r.status, 2) << r.output;
  EXPECT_NE(r.output.find("does not exist"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(tmp_.path() / "nowhere"));
}

}  // namespace
