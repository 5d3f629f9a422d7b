// The zelpoll console program against simulated recorders: exit statuses, the poll log it
// names, and the recorder list it saves back to zel.dat.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "zel/catalogue.h"
#include "zel/core/zel_dat.h"
#include "zel/platform/station_lock.h"
#include "zel/setup_database.h"
#include "zel/testing/files.h"
#include "zel/testing/programs.h"
#include "zel/testing/sim_process.h"
#include "zel/testing/temp_folder.h"
#include "zelpoll_rig.h"

namespace {

namespace fs = std::filesystem;
using namespace zel;
using namespace zel::core;
using namespace zelpolltest;
using zeltest::SimProcess;

class ZelpollTest : public zelpolltest::ZelpollStation {
 protected:
  ZelpollTest() : ZelpollStation("zelpoll") {}
};

TEST_F(ZelpollTest, SuccessfulPollExitsZeroAndNamesThePollLog) {
  SimProcess sim;
  START_SIM(sim, SimArgs("PW1"));
  Save({TcpRecorder("R1", "PW1", sim.Port())});
  Ran r = Zelpoll("poll --direct --today");
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
  START_SIM(sim, SimArgs("PW1"));
  Save({TcpRecorder("GOOD", "PW1", sim.Port()), TcpRecorder("BAD", "NOTIT", sim.Port())});
  Ran r = Zelpoll("poll --direct --today");
  EXPECT_EQ(r.status, 1) << "a failed recorder exits with 1 (2 is for usage errors):\n" << r.output;
  EXPECT_NE(r.output.find("2 recorder(s) polled, 1 failed"), std::string::npos) << r.output;
  const std::string text = zeltest::ReadText(LogPathOf(r.output));
  EXPECT_NE(text.find("Polling:BAD\n Wrong Password\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Polling:GOOD\n Success\n"), std::string::npos) << text;

  // Only the good one named: success.
  Ran good = Zelpoll("poll --direct --today GOOD");
  EXPECT_EQ(good.status, 0) << good.output;
  // An ID that is not in the list: refused before anything is polled.
  Ran none = Zelpoll("poll --direct --today NOSUCH");
  EXPECT_NE(none.status, 0);
  EXPECT_NE(none.output.find("NOSUCH"), std::string::npos) << none.output;
}

TEST_F(ZelpollTest, UploadedPasswordIsSavedToZelDat) {
  SimProcess sim;
  START_SIM(sim, SimArgs("OLDPW"));
  Save({TcpRecorder("R1", "OLDPW", sim.Port())});
  fs::create_directories(data_ / "R1");
  SetupDatabase db(ParseModel(kModel));
  db.RestoreFactoryDefaults();
  db.SetAdministrativePassword("NEWPW");
  ASSERT_TRUE(db.SaveFile(data_ / "R1" / "setupdata.bin"));

  // --no-save leaves zel.dat as it was.
  const std::string before = zeltest::ReadText(zelDat_);
  Ran dry = Zelpoll("--no-save upload-setup --direct");
  ASSERT_EQ(dry.status, 0) << dry.output;
  EXPECT_EQ(zeltest::ReadText(zelDat_), before);

  // The recorder now wants NEWPW while the unsaved list still says OLDPW: the next run fails.
  Ran up = Zelpoll("upload-setup --direct");
  EXPECT_NE(up.status, 0) << "logged in with the old password after it was replaced:\n"
                          << up.output;

  // With the password that the recorder holds now, an upload saves it into zel.dat.
  Save({TcpRecorder("R1", "NEWPW", sim.Port())});
  db.SetAdministrativePassword("THIRDPW");
  ASSERT_TRUE(db.SaveFile(data_ / "R1" / "setupdata.bin"));
  up = Zelpoll("upload-setup --direct");
  ASSERT_EQ(up.status, 0) << up.output;
  ZelDatLoad loaded = LoadZelDat(zelDat_);
  ASSERT_EQ(loaded.contents.recorders.size(), 1u);
  EXPECT_EQ(loaded.contents.recorders[0].password, "THIRDPW");

  // And the saved password works on the next run.
  Ran poll = Zelpoll("poll --direct --today");
  EXPECT_EQ(poll.status, 0) << poll.output;
}

TEST_F(ZelpollTest, MissingDataFolderIsRefused) {
  settings_.dataFolder = (tmp_.path() / "nowhere").string();
  Save({TcpRecorder("R1", "PW1", 1)});
  Ran r = Zelpoll("poll --direct --today");
  EXPECT_EQ(r.status, 2) << r.output;
  EXPECT_NE(r.output.find("does not exist"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(tmp_.path() / "nowhere"));
}

TEST_F(ZelpollTest, SecondRunOnTheSameStationTouchesNothing) {
  Save({TcpRecorder("R1", "PW1", 1)});
  const std::string before = zeltest::ReadText(zelDat_);
  // This test process stands for the first run.
  zel::platform::StationLock first;
  ASSERT_EQ(first.TryLock(zelDat_), zel::platform::StationLock::Result::kLocked) << first.error();
  for (const char* cmd : {"poll --direct --today", "upload-setup --direct", "run"}) {
    Ran r = Zelpoll(cmd);
    EXPECT_EQ(r.status, 2) << cmd << "\n" << r.output;
    EXPECT_NE(r.output.find("Another poll of this station is running (process " +
                            std::to_string(::getpid()) + ")"),
              std::string::npos)
        << r.output;
  }
  EXPECT_EQ(zeltest::ReadText(zelDat_), before);
  EXPECT_TRUE(fs::is_empty(data_)) << "no poll log, no recorder folder";
  first.Unlock();
  Ran r = Zelpoll("poll --direct --today");
  EXPECT_EQ(r.output.find("Another poll"), std::string::npos) << r.output;
}

// A recorder that answers a connection only when the test lets it: it holds the run at a known
// point while the test edits zel.dat.
class HeldListener {
 public:
  HeldListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 4);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~HeldListener() {
    if (conn_ >= 0) ::close(conn_);
    ::close(fd_);
  }
  int port() const { return port_; }
  // Waits (at most 30 s) for the run to connect.
  bool Accept() {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 30000) != 1) return false;
    conn_ = ::accept(fd_, nullptr, nullptr);
    return conn_ >= 0;
  }
  void Hangup() {
    if (conn_ >= 0) ::close(conn_);
    conn_ = -1;
  }

 private:
  int fd_ = -1, conn_ = -1, port_ = 0;
};

TEST_F(ZelpollTest, RecordersEditedDuringTheRunAreKept) {
  SimProcess sim;
  START_SIM(sim, SimArgs("PW1"));
  HeldListener held;
  settings_.clockSync = 1;
  Save({TcpRecorder("HELD", "PW0", held.port()), TcpRecorder("R1", "PW1", sim.Port())});
  // The run starts in the background; it first reaches HELD and waits there.
  const std::string cmd = "timeout 60 " + zeltest::ProgramPath("zelpoll") + " " + Common() +
                          "poll --direct --today >/dev/null 2>&1";
  FILE* run = ::popen(cmd.c_str(), "r");
  ASSERT_NE(run, nullptr);
  ASSERT_TRUE(held.Accept()) << "the run never reached the held recorder";
  // Meanwhile a person adds a recorder, changes HELD's password and a setting.
  StationSettings edited = settings_;
  edited.retries = 4;
  RecorderRecord added = TcpRecorder("ADDED", "PWA", 1);
  std::string error;
  ASSERT_TRUE(SaveZelDat(
      zelDat_, edited,
      {TcpRecorder("HELD", "EDITED", held.port()), TcpRecorder("R1", "PW1", sim.Port()), added},
      &error))
      << error;
  held.Hangup();
  const int st = ::pclose(run);
  EXPECT_TRUE(WIFEXITED(st));
  EXPECT_EQ(WEXITSTATUS(st), 1) << "HELD failed, R1 was polled";

  const ZelDatLoad now = LoadZelDat(zelDat_);
  ASSERT_EQ(now.contents.recorders.size(), 3u) << zeltest::ReadText(zelDat_);
  EXPECT_EQ(now.contents.settings.retries, 4);
  EXPECT_EQ(now.contents.recorders[0].password, "EDITED");
  EXPECT_EQ(now.contents.recorders[2].id, "ADDED");
  // What the run changed is there too: R1's clock was set today.
  EXPECT_NE(now.contents.recorders[1].clockSetDay, 0);
}

TEST_F(ZelpollTest, BadPathsGiveAClearErrorNotAnAbort) {
  Save({TcpRecorder("R1", "PW1", 1)});
  const std::string before = zeltest::ReadText(zelDat_);
  struct Case {
    std::string dataFolder, args, expected;
  };
  fs::create_directory_symlink(tmp_.path() / "loop", tmp_.path() / "loop");
  const std::vector<Case> cases = {
      {(tmp_.path() / "loop").string(), "poll --direct --today", "symbolic links"},
      {"/" + std::string(258, 'n'), "poll --direct --today", "too long"},
      {data_.string(), "query --from '2024-01-01 00:00' --to '2024-01-02 00:00' --out '' R1",
       "--out needs"},
      {data_.string(),
       "query --from '2024-01-01 00:00' --to '2024-01-02 00:00' --out " + zelDat_.string() + " R1",
       "is the input file"},
  };
  for (const Case& c : cases) {
    settings_.dataFolder = c.dataFolder;
    Save({TcpRecorder("R1", "PW1", 1)});
    const std::string saved = zeltest::ReadText(zelDat_);
    Ran r = Zelpoll(c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("terminate"), std::string::npos) << r.output;
    EXPECT_EQ(zeltest::ReadText(zelDat_), saved);
  }
}

TEST_F(ZelpollTest, RecorderFolderLeadingOutsideIsNotWrittenInto) {
  SimProcess sim;
  START_SIM(sim, SimArgs("PW1"));
  const fs::path outside = tmp_.path() / "outside";
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, data_ / "R1");
  Save({TcpRecorder("R1", "PW1", sim.Port()), TcpRecorder("R2", "PW1", sim.Port())});
  Ran r = Zelpoll("poll --direct --today");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("leads outside the data folder"), std::string::npos) << r.output;
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_TRUE(fs::exists(data_ / "R2" / "setupdata.bin")) << "the other recorder is polled";
  const std::string log = zeltest::ReadText(LogPathOf(r.output));
  EXPECT_NE(log.find("ERROR - "), std::string::npos) << log;
}

}  // namespace

namespace {

// A TCP port on 127.0.0.1 that nobody listens on.
int ClosedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return -1;
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

}  // namespace

TEST_F(ZelpollTest, ConnectionResultsPrintAsSentencesAndIdsEscaped) {
  const int port = ClosedPort();
  ASSERT_GT(port, 0);
  // An ID with an escape sequence and a bell in it (unsafe as a folder name, so never polled
  // for files; it still has a console line).
  Save({TcpRecorder("R1", "PW1", port), TcpRecorder("X\x1b[2J\a", "PW1", port)});
  Ran r = Zelpoll("poll --direct --today");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("R1: result: Connection refused by 127.0.0.1:" + std::to_string(port)),
            std::string::npos)
      << r.output;
  EXPECT_EQ(r.output.find("result 10"), std::string::npos) << "no raw code:\n" << r.output;
  EXPECT_EQ(r.output.find("(error)"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find('\x1b'), std::string::npos) << "a raw escape reached the terminal";
  EXPECT_EQ(r.output.find('\a'), std::string::npos);
  EXPECT_NE(r.output.find("X\\x1B[2J\\x07: result: Recorder ID cannot name a folder"),
            std::string::npos)
      << r.output;
  // The poll log keeps its lines as they were.
  const std::string text = zeltest::ReadText(LogPathOf(r.output));
  EXPECT_NE(text.find("Polling:R1\n \n"), std::string::npos) << text;
}

// A data folder on a file system with no room left: the transfer fails, and the console and
// the poll log's ERROR line say the disk is full. A private mount (unshare) gives a small
// tmpfs without touching the machine's.
TEST_F(ZelpollTest, FullDiskDuringATransferSaysDiskFull) {
  if (std::system("unshare -Urm true >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "unshare cannot make a private mount here";
  }
  SimProcess sim;
  START_SIM(sim, SimArgs("PW1"));
  Save({TcpRecorder("R1", "PW1", sim.Port())});
  const std::string d = data_.string();
  // Fill the tmpfs, then free one page: room for the poll log, none for a received file.
  const std::string script =
      "mount -t tmpfs -o size=64k tmpfs '" + d + "' && mkdir '" + d + "/R1' && head -c 4096 " +
      "/dev/zero > '" + d + "/page' && (cat /dev/zero > '" + d + "/filler' 2>/dev/null; " + "rm '" +
      d + "/page') && " + zeltest::ProgramPath("zelpoll") + " " + Common() +
      "poll --direct --today; echo \"exit=\\$?\"; echo '--- log'; cat '" + d + "'/Poll_log_*";
  const Ran r = RunCommand("timeout 60 unshare -Urm sh -c \"" + script + "\" 2>&1");
  EXPECT_NE(r.output.find("exit=1"), std::string::npos) << r.output;
  const auto logAt = r.output.find("--- log");
  ASSERT_NE(logAt, std::string::npos) << r.output;
  const std::string console = r.output.substr(0, logAt);
  const std::string log = r.output.substr(logAt);
  EXPECT_NE(console.find("zelpoll: R1: disk full: cannot write "), std::string::npos) << console;
  EXPECT_NE(console.find("No space left on device"), std::string::npos) << console;
  EXPECT_NE(log.find("\nERROR - disk full: cannot write "), std::string::npos) << log;
  EXPECT_NE(log.find(" Xmodem Fail\n"), std::string::npos) << "the result line keeps its text";
}
