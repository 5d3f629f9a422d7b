// zelpoll --lines with recorders on direct serial lines beside recorders on TCP/IP: the serial
// ones are polled one at a time on their port while the TCP/IP lines go on, and every recorder
// gets what a run on one line gives it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "zel/catalogue.h"
#include "zel/core/zel_dat.h"
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

// Every file under the data folder but the poll log, the poll time taken out of event and report
// names ("240305-101502.bin" -> "240305.bin"), with its contents.
std::map<std::string, std::string> FilesOf(const fs::path& data) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(data)) {
    if (!e.is_regular_file()) continue;
    std::string name = e.path().filename().string();
    if (name.rfind("Poll_log_", 0) == 0) continue;
    if (name.size() >= 17 && name[6] == '-') name = name.substr(0, 6) + name.substr(13);
    files[(fs::relative(e.path().parent_path(), data) / name).string()] =
        zeltest::ReadText(e.path());
  }
  return files;
}

// Where `text` is in zelpoll's output; npos when it is not there.
std::size_t At(const std::string& out, const std::string& text) { return out.find(text); }

// Eight recorders on TCP/IP and two on direct lines of their own (ptys named COM3 and COM4).
// COM3's recorder is in zel.dat three times: twice named by its port and once through the
// station's default direct port, which is COM3 too; all three must share that one port. T1 is
// in it twice as well, at one address and port, which is one line just as a serial port is.
TEST(ZelpollSerialLines, OneLineAtATimePerPortOrAddressBesideTheTcpLines) {
  zeltest::TempFolder tmp("zelpoll-serial-lines");
  const fs::path ports = tmp.path() / "ports";
  fs::create_directories(ports);
  std::string config = "scale = 0.01\n";
  auto add = [&](const std::string& name, int seed, const std::string& where) {
    config += "[recorder " + name + "]\nmodel = " + std::string(kModel) + "\npassword = PW" + name +
              "\nseed = " + std::to_string(seed) + "\n" + where;
  };
  std::vector<std::string> tcpIds;
  for (int i = 1; i <= 8; ++i) {
    tcpIds.push_back("T" + std::to_string(i));
    add(tcpIds.back(), i, "tcp = 0\n");
  }
  add("S3", 31, "pty = " + (ports / "COM3").string() + "\n");
  add("S4", 41, "pty = " + (ports / "COM4").string() + "\n");
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.StartFleet(tmp.path() / "fleet.conf", config, 30000)) << sim.error();
  const fs::path portMap = tmp.path() / "ports.map";
  std::ofstream(portMap) << "COM3=" << (ports / "COM3").string()
                         << "\nCOM4=" << (ports / "COM4").string() << "\n";

  // The station's records: ID, the simulated recorder behind it, its direct port (0: the
  // station's default, DirectPort=2, that is COM3).
  struct Entry {
    std::string id, sim;
    int port;
  };
  std::vector<Entry> entries{{"S3A", "S3", 3}, {"S3B", "S3", 0}, {"S3C", "S3", 3}, {"S4", "S4", 4}};
  for (const std::string& id : tcpIds) {
    entries.push_back({id, id, -1});
    // T1 listed twice: a second ID at the same address and port.
    if (id == "T1") entries.push_back({"T1B", "T1", -1});
  }
  auto station = [&](const std::string& name) {
    const fs::path data = tmp.path() / name / "data";
    fs::create_directories(data);
    StationSettings s;
    s.dataFolder = data.string();
    s.directPort = 2;
    s.retries = 1;  // a port taken by another line would fail its recorder at once
    s.preferedConnection = 1;
    s.clockSync = 1;
    s.makeText = 1;
    std::vector<RecorderRecord> recorders;
    for (const Entry& e : entries) {
      RecorderRecord r;
      r.id = e.id;
      r.password = "PW" + e.sim;
      r.type = ParseModel(kModel);
      r.port = e.port;
      if (e.port < 0) {
        r.ipAddress = 0x7F000001;
        r.tcpPort = sim.Port(e.sim);
        EXPECT_GT(r.tcpPort, 0) << e.id;
      }
      recorders.push_back(r);
    }
    const fs::path zelDat = tmp.path() / name / "zel.dat";
    std::string error;
    EXPECT_TRUE(SaveZelDat(zelDat, s, recorders, &error)) << error;
    return zelDat;
  };
  const fs::path one = station("one"), many = station("many");
  const std::string common =
      " --port-map " + portMap.string() + " --scale 0.01 poll --direct --days 1";
  Ran r1 = RunZelpoll("--config " + one.string() + common);
  Ran r2 = RunZelpoll("--config " + many.string() + common + " --lines 2");
  ASSERT_EQ(r1.status, 0) << r1.output;
  ASSERT_EQ(r2.status, 0) << r2.output;
  EXPECT_NE(r2.output.find("13 recorder(s) polled, 0 failed"), std::string::npos) << r2.output;

  // COM3's three records one after another, in the list's order, and so the two records at
  // T1's address and port: each attempt starts after the one before it has its result.
  for (const std::vector<std::string>& line :
       {std::vector<std::string>{"S3A", "S3B", "S3C"}, std::vector<std::string>{"T1", "T1B"}}) {
    for (std::size_t i = 0; i < line.size(); ++i) {
      const std::size_t started = At(r2.output, line[i] + ": attempt 1\n");
      const std::size_t ended = At(r2.output, line[i] + ": result: Success\n");
      ASSERT_NE(started, std::string::npos) << r2.output;
      ASSERT_NE(ended, std::string::npos) << r2.output;
      EXPECT_LT(started, ended);
      if (i + 1 < line.size()) {
        EXPECT_LT(ended, At(r2.output, line[i + 1] + ": attempt 1\n")) << r2.output;
      }
    }
  }
  // The TCP/IP lines do not wait for the serial port: while COM3 is busy with its three
  // recorders, TCP/IP recorders start.
  const std::size_t com3From = At(r2.output, "S3A: attempt 1\n");
  const std::size_t com3To = At(r2.output, "S3C: result: ");
  int tcpDuring = 0;
  for (const std::string& id : tcpIds) {
    const std::size_t at = At(r2.output, id + ": attempt 1\n");
    tcpDuring += at > com3From && at < com3To;
  }
  EXPECT_GT(tcpDuring, 0) << r2.output;

  // What one line gives: the same files, reports and setup databases.
  const auto files1 = FilesOf(one.parent_path() / "data");
  const auto files2 = FilesOf(many.parent_path() / "data");
  EXPECT_EQ(files1.size(), files2.size());
  for (const auto& [name, bytes] : files1) {
    auto it = files2.find(name);
    ASSERT_NE(it, files2.end()) << name << " is missing from the run on 2 lines";
    EXPECT_TRUE(it->second == bytes) << name << " differs between 1 and 2 lines";
  }
  // Every record: its setup database and, a day back, one event file.
  std::map<std::string, std::string> events;
  for (const Entry& e : entries) {
    EXPECT_EQ(files2.count(e.id + "/setupdata.bin"), 1u) << e.id;
    for (const auto& [name, bytes] : files2) {
      if (name.rfind(e.id + "/", 0) == 0 && name.size() == e.id.size() + 11 &&
          name.ends_with(".bin")) {
        EXPECT_EQ(events.count(e.id), 0u) << e.id << " has more than one event file";
        events[e.id] = bytes;
      }
    }
    EXPECT_FALSE(events[e.id].empty()) << e.id;
  }
  // The records of one recorder hold its day.
  EXPECT_EQ(events["S3A"], events["S3B"]);
  EXPECT_EQ(events["S3A"], events["S3C"]);
  EXPECT_EQ(events["T1"], events["T1B"]);
  EXPECT_NE(events["S3A"], events["S4"]);

  // The serial recorders were reached over their lines: COM3's recorder three times a run.
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_EQ(sim.StatsOf("S3").logins, 6) << sim.Output();  // three records, two runs
  EXPECT_EQ(sim.StatsOf("S4").logins, 2) << sim.Output();
}

}  // namespace
