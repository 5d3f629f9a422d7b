// zelpoll polling a fleet of simulated TCP/IP recorders over several lines at once: the same
// files, reports, setup databases and poll-log blocks as one line gives, faults that stay with
// their recorder, and an abort that stops every line and leaves no temporary file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "zel/catalogue.h"
#include "zel/core/poll_engine.h"
#include "zel/core/zel_dat.h"
#include "zel/platform/clock.h"
#include "zel/testing/files.h"
#include "zel/testing/programs.h"
#include "zel/testing/sim_process.h"
#include "zel/testing/temp_folder.h"
#include "zel/testing/wait.h"
#include "zelpoll_rig.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace zel;
using namespace zel::core;
using namespace zelpolltest;
using zeltest::SimProcess;
using zeltest::TempFolder;

// A recorder's password: at most 8 characters.
std::string PasswordOf(const std::string& id) { return "P" + id.substr(0, 7); }

// A fleet of `good` recorders R01..Rnn and three faulty ones: WRONGPW (zel.dat holds another
// password), SILENT (never answers) and CUT (the line drops mid-transfer).
std::string FleetConfig(int good, const std::string& extra) {
  std::string c = "scale = 0.01\n";
  auto add = [&](const std::string& name, const std::string& more) {
    c += "[recorder " + name + "]\nmodel = " + kModel + "\npassword = " + PasswordOf(name) +
         "\nseed = " + std::to_string(c.size() % 97 + 1) + "\ntcp = 0\n" + extra + more;
  };
  for (int i = 1; i <= good; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "R%02d", i);
    add(name, "");
  }
  add("WRONGPW", "");
  add("SILENT", "no_answer = yes\n");
  add("CUT", "disconnect_after = 3000\n");
  return c;
}

std::vector<std::string> FleetIds(int good) {
  std::vector<std::string> ids;
  for (int i = 1; i <= good; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "R%02d", i);
    ids.push_back(name);
  }
  ids.insert(ids.end(), {"WRONGPW", "SILENT", "CUT"});
  return ids;
}

// One attempt's block of the poll log with its time stamp removed, and the recorder it names.
struct Block {
  std::string recorder;
  std::string text;
  bool operator<(const Block& o) const {
    return std::tie(recorder, text) < std::tie(o.recorder, o.text);
  }
  bool operator==(const Block& o) const = default;
};

// Splits a poll log into blocks; a line that does not fit the block layout (lines of two
// attempts mixed) fails the test.
// The data folder's path in a line is shown as "DATA", so two stations' logs compare.
std::vector<Block> Blocks(std::string log, const std::string& data_folder = {}) {
  if (!data_folder.empty()) {
    for (std::size_t at = log.find(data_folder); at != std::string::npos;
         at = log.find(data_folder, at))
      log.replace(at, data_folder.size(), "DATA");
  }
  std::vector<Block> out;
  std::size_t at = 0;
  bool open = false;
  while (at < log.size()) {
    std::size_t end = log.find('\n', at);
    EXPECT_NE(end, std::string::npos) << "the log ends inside a line";
    if (end == std::string::npos) break;
    const std::string line = log.substr(at, end - at + 1);
    at = end + 1;
    const std::size_t polling = line.find(" Polling:");
    if (polling == 8 && line[2] == ':' && line[5] == ':') {
      EXPECT_FALSE(open) << "a block starts inside another one:\n" << log;
      open = true;
      out.push_back({line.substr(17, line.size() - 18), line.substr(8)});
    } else if (line.rfind("ERROR - ", 0) == 0 || line.rfind("WARNING - ", 0) == 0) {
      EXPECT_TRUE(open) << "a line outside any block: " << line;
      if (open) out.back().text += line;
    } else {
      EXPECT_TRUE(open && line[0] == ' ') << "a line outside any block: " << line;
      if (open) out.back().text += line;
      open = false;  // the result line closes the block
    }
  }
  EXPECT_FALSE(open) << "the last block has no result line";
  std::sort(out.begin(), out.end());
  return out;
}

// Every file under a recorder's folder, the poll time taken out of event and report names
// ("240305-101502.bin" -> "240305.bin"), with its contents.
std::map<std::string, std::string> FilesOf(const fs::path& data) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(data)) {
    if (!e.is_regular_file()) continue;
    std::string rel = fs::relative(e.path(), data).string();
    if (rel.rfind("Poll_log_", 0) == 0) continue;
    std::string name = e.path().filename().string();
    if (name.size() >= 17 && name[6] == '-') name = name.substr(0, 6) + name.substr(13);
    files[(fs::relative(e.path().parent_path(), data) / name).string()] =
        zeltest::ReadText(e.path());
  }
  return files;
}

// Temporary files of the safe writer (dot files) left anywhere under `data`.
std::vector<std::string> Leftovers(const fs::path& data) {
  std::vector<std::string> left;
  for (const auto& e : fs::recursive_directory_iterator(data)) {
    if (e.path().filename().string().front() == '.') left.push_back(e.path().string());
  }
  return left;
}

class ZelpollLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.retries = 2;
    settings_.preferedConnection = 1;
    settings_.clockSync = 1;
    settings_.makeText = 1;
  }
  // A zel.dat for the fleet with its own data folder `name`.
  fs::path Station(const std::string& name, const SimProcess& sim,
                   const std::vector<std::string>& ids) {
    const fs::path data = tmp_.path() / name / "data";
    fs::create_directories(data);
    StationSettings s = settings_;
    s.dataFolder = data.string();
    std::vector<RecorderRecord> recorders;
    for (const std::string& id : ids) {
      recorders.push_back(
          TcpRecorder(id, id == "WRONGPW" ? "NOT-IT" : PasswordOf(id), sim.Port(id)));
      EXPECT_GT(recorders.back().tcpPort, 0) << id;
    }
    const fs::path zelDat = tmp_.path() / name / "zel.dat";
    std::string error;
    EXPECT_TRUE(SaveZelDat(zelDat, s, recorders, &error)) << error;
    return zelDat;
  }

  TempFolder tmp_{"zelpoll-lines"};
  StationSettings settings_;
};

#define START_FLEET(sim, file, config) \
  ASSERT_TRUE((sim).StartFleet((file), (config), 30000)) << (sim).error()

TEST_F(ZelpollLinesTest, ManyLinesGiveWhatOneLineGivesAndFaultsStayWithTheirRecorder) {
  constexpr int kGood = 13;
  SimProcess sim;
  START_FLEET(sim, tmp_.path() / "fleet.conf", FleetConfig(kGood, ""));
  const std::vector<std::string> ids = FleetIds(kGood);
  const fs::path one = Station("one", sim, ids);
  const fs::path many = Station("many", sim, ids);

  Ran r1 = RunZelpoll("--config " + one.string() + " --scale 0.01 poll --direct --days 2");
  Ran r8 = RunZelpoll("--config " + many.string() +
                      " --scale 0.01 poll --direct --days 2 --lines 8 --progress-every 0.05");
  ASSERT_EQ(r1.status, 1) << r1.output;
  ASSERT_EQ(r8.status, 1) << r8.output;
  EXPECT_NE(r1.output.find("16 recorder(s) polled, 3 failed"), std::string::npos) << r1.output;
  EXPECT_NE(r8.output.find("16 recorder(s) polled, 3 failed"), std::string::npos) << r8.output;
  // A summary line while the run goes on; one line keeps its output as it was.
  EXPECT_NE(r8.output.find(" of 16 done, "), std::string::npos) << r8.output;
  EXPECT_EQ(r1.output.find(" of 16 done, "), std::string::npos) << r1.output;

  // The same files with the same contents, poll times in the names aside.
  const auto files1 = FilesOf(one.parent_path() / "data");
  const auto files8 = FilesOf(many.parent_path() / "data");
  EXPECT_EQ(files1.size(), files8.size());
  for (const auto& [name, bytes] : files1) {
    auto it = files8.find(name);
    ASSERT_NE(it, files8.end()) << name << " is missing from the run on 8 lines";
    EXPECT_TRUE(it->second == bytes) << name << " differs between 1 and 8 lines";
  }
  for (const std::string& id : ids) {
    const bool good = id[0] == 'R';
    EXPECT_EQ(files8.count(id + "/setupdata.bin"), good ? 1u : 0u) << id;
    // Two days back: two event files, each with its report.
    int events = 0;
    for (const auto& [name, bytes] : files8) {
      if (name.rfind(id + "/", 0) == 0 && name.size() == id.size() + 11 && name.ends_with(".bin"))
        ++events;
    }
    EXPECT_EQ(events, good ? 2 : 0) << id;
  }

  // The same blocks, in whatever order; every block whole.
  const std::vector<Block> b1 =
      Blocks(zeltest::ReadText(LogPathOf(r1.output)), (one.parent_path() / "data").string());
  const std::vector<Block> b8 =
      Blocks(zeltest::ReadText(LogPathOf(r8.output)), (many.parent_path() / "data").string());
  EXPECT_EQ(b1, b8);
  std::map<std::string, std::vector<std::string>> results;
  for (const Block& b : b8)
    results[b.recorder].push_back(b.text.substr(b.text.rfind('\n', b.text.size() - 2) + 1));
  for (const std::string& id : ids) {
    if (id[0] == 'R') {
      EXPECT_EQ(results[id], std::vector<std::string>{" Success\n"}) << id;
    } else {
      // Failed twice: Retries 2.
      ASSERT_EQ(results[id].size(), 2u) << id;
      EXPECT_NE(results[id][0], " Success\n") << id;
    }
  }
  EXPECT_EQ(results["WRONGPW"][0], " Wrong Password\n");
  EXPECT_EQ(results["CUT"][1], " Xmodem Fail\n");

  // zel.dat keeps the clock-set day of every recorder that logged in.
  const int today = DayNumberOf(platform::SystemClock().Now());
  for (const fs::path& dat : {one, many}) {
    ZelDatLoad saved = LoadZelDat(dat);
    for (const RecorderRecord& r : saved.contents.recorders) {
      if (r.id[0] == 'R') {
        EXPECT_EQ(r.clockSetDay, today) << dat << " " << r.id;
      }
    }
  }
  EXPECT_TRUE(Leftovers(many.parent_path() / "data").empty());
}

TEST_F(ZelpollLinesTest, AbortStopsEveryLineLeavesNoTemporaryFileAndSavesZelDat) {
  constexpr int kGood = 13;
  SimProcess sim;
  // Slow lines, so the run is still busy on every line when the signal comes.
  START_FLEET(sim, tmp_.path() / "fleet.conf", FleetConfig(kGood, "bytes_per_second = 3000\n"));
  const std::vector<std::string> ids = FleetIds(kGood);
  const fs::path dat = Station("abort", sim, ids);
  const fs::path data = dat.parent_path() / "data";
  const fs::path out = tmp_.path() / "abort.out";

  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&fa, 1, 2);
  std::vector<std::string> args{zeltest::ProgramPath("zelpoll"),
                                "--config",
                                dat.string(),
                                "--scale",
                                "0.01",
                                "poll",
                                "--direct",
                                "--days",
                                "3",
                                "--lines",
                                "4"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(::posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&fa);

  // Waits for the first recorder to finish, then interrupts the run.
  auto logText = [&] { return PollLogIn(data); };
  zeltest::WaitUntil([&] { return logText().find(" Success\n") != std::string::npos; },
                     std::chrono::seconds(60));
  ASSERT_NE(logText().find(" Success\n"), std::string::npos) << zeltest::ReadText(out);
  ::kill(pid, SIGINT);
  int status = 0;
  pid_t done = 0;
  zeltest::WaitUntil([&] { return (done = ::waitpid(pid, &status, WNOHANG)) != 0; },
                     std::chrono::seconds(30));
  if (done == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "zelpoll did not stop after SIGINT:\n" << zeltest::ReadText(out);
  }
  const std::string output = zeltest::ReadText(out);
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_NE(output.find("stopping the poll"), std::string::npos) << output;

  // Every block whole; the lines busy at the signal ended with "Poll Aborted", and not every
  // recorder was reached.
  const std::vector<Block> blocks = Blocks(logText());
  std::size_t successes = 0, aborted = 0;
  std::vector<std::string> succeeded;
  for (const Block& b : blocks) {
    if (b.text.ends_with("\n Success\n")) {
      ++successes;
      succeeded.push_back(b.recorder);
    }
    if (b.text.ends_with("\n Poll Aborted\n")) ++aborted;
  }
  EXPECT_GE(aborted, 1u) << logText();
  EXPECT_LT(successes, static_cast<std::size_t>(kGood)) << logText();
  EXPECT_TRUE(Leftovers(data).empty()) << Leftovers(data).front();

  // zel.dat saved: every recorder polled to the end keeps today's clock-set day.
  const int today = DayNumberOf(platform::SystemClock().Now());
  ZelDatLoad saved = LoadZelDat(dat);
  for (const RecorderRecord& r : saved.contents.recorders) {
    if (std::find(succeeded.begin(), succeeded.end(), r.id) != succeeded.end()) {
      EXPECT_EQ(r.clockSetDay, today) << r.id;
    }
  }
}

}  // namespace

namespace {

// Recorders behind two emulated modems: --modem-ports adds the second port, one call per port
// at a time, with the results of one modem; a port named there that does not exist fails only
// the recorders called over it.
TEST_F(ZelpollLinesTest, ExtraModemPortsCallAlongsideTheFirst) {
  SimProcess sim;
  const fs::path lines = tmp_.path() / "lines";
  fs::create_directories(lines);
  std::string config = "scale = 0.01\n";
  const std::vector<std::string> ids{"M1", "M2", "M3", "M4"};
  for (std::size_t i = 0; i < ids.size(); ++i) {
    config += "[recorder " + ids[i] + "]\nmodel = " + std::string(kModel) +
              "\npassword = " + PasswordOf(ids[i]) + "\nseed = " + std::to_string(i + 1) +
              "\nphone = 555-010" + std::to_string(i) + "\n";
  }
  config += "[modem first]\npty = " + (lines / "COM1").string() + "\n";
  config += "[modem second]\npty = " + (lines / "COM2").string() + "\n";
  START_FLEET(sim, tmp_.path() / "modems.conf", config);
  const fs::path portMap = tmp_.path() / "ports.map";
  std::ofstream(portMap) << "COM1=" << (lines / "COM1").string()
                         << "\nCOM2=" << (lines / "COM2").string() << "\n";

  auto station = [&](const std::string& name) {
    const fs::path data = tmp_.path() / name / "data";
    fs::create_directories(data);
    StationSettings s = settings_;
    s.dataFolder = data.string();
    s.port = 0;  // COM1
    s.retries = 1;
    std::vector<RecorderRecord> recorders;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      RecorderRecord r;
      r.id = ids[i];
      r.password = PasswordOf(ids[i]);
      r.type = ParseModel(kModel);
      r.phone = "555-010" + std::to_string(i);
      recorders.push_back(r);
    }
    const fs::path zelDat = tmp_.path() / name / "zel.dat";
    std::string error;
    EXPECT_TRUE(SaveZelDat(zelDat, s, recorders, &error)) << error;
    return zelDat;
  };
  const std::string common = " --port-map " + portMap.string() + " --scale 0.01 ";
  const fs::path one = station("one"), two = station("two"), bad = station("bad");
  Ran r1 = RunZelpoll("--config " + one.string() + common + "poll --days 1");
  Ran r2 = RunZelpoll("--config " + two.string() + common + "poll --days 1 --modem-ports COM2");
  ASSERT_EQ(r1.status, 0) << r1.output;
  ASSERT_EQ(r2.status, 0) << r2.output;
  EXPECT_EQ(Blocks(zeltest::ReadText(LogPathOf(r1.output))),
            Blocks(zeltest::ReadText(LogPathOf(r2.output))));
  EXPECT_EQ(FilesOf(one.parent_path() / "data"), FilesOf(two.parent_path() / "data"));

  // COM7 is not there: the recorders it takes fail with its name, the others succeed.
  Ran r7 = RunZelpoll("--config " + bad.string() + common + "poll --days 1 --modem-ports COM7");
  EXPECT_EQ(r7.status, 1) << r7.output;
  EXPECT_NE(r7.output.find("COM7"), std::string::npos) << r7.output;
  EXPECT_NE(r7.output.find("result: Success"), std::string::npos) << r7.output;

  Ran wrong = RunZelpoll("--config " + bad.string() + common + "poll --modem-ports LPT1");
  EXPECT_EQ(wrong.status, 2) << wrong.output;
  EXPECT_NE(wrong.output.find("--modem-ports takes serial port names"), std::string::npos)
      << wrong.output;
}

}  // namespace
