// zelpoll against misbehaving simulated recorders: setup databases of the wrong length in both
// directions, transfers without end, duplicate recorder IDs, and the reports of files whose
// last XMODEM block is padded.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "zel/catalogue.h"
#include "zel/core/zel_dat.h"
#include "zel/event_file.h"
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

std::string Bytes(const fs::path& file) { return zeltest::ReadText(file); }

class ZelpollGuardsTest : public ZelpollStation {
 protected:
  ZelpollGuardsTest() : ZelpollStation("zelpoll_guards") {}
  // A good setup database of the model with this password, as the editors write it.
  static std::string GoodSetup(const std::string& password, const std::string& model = kModel) {
    SetupDatabase db(ParseModel(model));
    db.RestoreFactoryDefaults();
    db.SetAdministrativePassword(password);
    const std::vector<uint8_t> b = db.SaveBytes();
    return std::string(b.begin(), b.end());
  }
  void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
  }
  // Files of ours left in a folder besides `keep` (temporary files of a transfer included).
  static std::vector<std::string> Others(const fs::path& folder,
                                         const std::vector<std::string>& keep) {
    std::vector<std::string> out;
    for (const std::string& n : zeltest::FileNames(folder))
      if (std::find(keep.begin(), keep.end(), n) == keep.end()) out.push_back(n);
    return out;
  }

  static std::string Field() {
    return std::to_string(SetupDatabase(ParseModel(kModel)).FieldLength());
  }
};

// A recorder that answers "TD" with a bare EOT or with one block: neither Download Setup nor
// Poll Setup keeps what came, and the log says why.
TEST_F(ZelpollGuardsTest, ShortSetupDatabaseIsNeverKept) {
  for (const char* answer : {"eot", "one_block"}) {
    SCOPED_TRACE(answer);
    fs::remove_all(data_);
    fs::create_directories(data_);
    SimProcess sim;
    START_SIM(sim, SimArgs("PW1", {"--setup-answer", answer}));
    Save({TcpRecorder("R1", "PW1", sim.Port())});
    const fs::path saved = data_ / "R1" / "setupdata.bin";
    const std::string good = GoodSetup("KEEPME");
    Write(saved, good);

    Ran down = Zelpoll("download-setup --direct");
    EXPECT_EQ(down.status, 1) << down.output;
    EXPECT_TRUE(Bytes(saved) == good) << "the saved database was replaced by a short one";
    std::string log = Log();
    EXPECT_NE(log.find("ERROR - the setup database received is "), std::string::npos) << log;
    EXPECT_NE(log.find("shorter than a KRV-517XL/A setup database (" + Field() + " bytes)"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\n Xmodem Fail\n"), std::string::npos) << log;
    EXPECT_EQ(Others(data_ / "R1", {"setupdata.bin"}), std::vector<std::string>{});

    // Poll Setup without a saved file: nothing is saved, the poll fails.
    fs::remove(saved);
    Ran poll = Zelpoll("poll --direct --today");
    EXPECT_EQ(poll.status, 1) << poll.output;
    EXPECT_FALSE(fs::exists(saved)) << "Poll Setup kept a short setupdata.bin";
    EXPECT_EQ(Others(data_ / "R1", {}), std::vector<std::string>{});
  }
}

// An empty or short setupdata.bin is refused before anything is sent; the recorder keeps its
// database and the station keeps the password that works.
TEST_F(ZelpollGuardsTest, ShortSetupDatabaseIsNeverUploaded) {
  SimProcess sim;
  START_SIM(sim, SimArgs("PW1", {}));
  Save({TcpRecorder("R1", "PW1", sim.Port())});
  const fs::path file = data_ / "R1" / "setupdata.bin";
  const std::string good = GoodSetup("NEWPW");
  const std::size_t field = std::stoul(Field());
  for (const std::string& bad : {std::string(), good.substr(0, 128), good.substr(0, field - 1),
                                 good + std::string(129, 0)}) {
    SCOPED_TRACE(bad.size());
    Write(file, bad);
    Ran up = Zelpoll("upload-setup --direct");
    EXPECT_EQ(up.status, 1) << up.output;
    const std::string log = Log();
    EXPECT_NE(log.find("ERROR - the setup database " + file.string() + " is " +
                       std::to_string(bad.size()) + " bytes; a KRV-517XL/A setup database is " +
                       Field() + " bytes (written as 23552 bytes). It was not sent"),
              std::string::npos)
        << log;
    ZelDatLoad loaded = LoadZelDat(zelDat_);
    ASSERT_EQ(loaded.contents.recorders.size(), 1u);
    EXPECT_EQ(loaded.contents.recorders[0].password, "PW1");
  }
  sim.Stop();
  const std::string stats = sim.Output();
  EXPECT_NE(stats.find(" 0 uploads"), std::string::npos) << stats;

  // The password still opens the recorder, and a whole database goes through.
  SimProcess sim2;
  START_SIM(sim2, SimArgs("PW1", {}));
  Save({TcpRecorder("R1", "PW1", sim2.Port())});
  Write(file, good);
  Ran up = Zelpoll("upload-setup --direct");
  EXPECT_EQ(up.status, 0) << up.output;
  EXPECT_EQ(LoadZelDat(zelDat_).contents.recorders[0].password, "NEWPW");
}

// A recorder that sends without end: the setup database stops at its model's written length
// plus one block, an event file at the Timings limit; the transfer is cancelled, nothing is kept.
TEST_F(ZelpollGuardsTest, EndlessTransfersAreCancelled) {
  SimProcess sim;
  START_SIM(sim, SimArgs("PW1", {"--endless-transfers"}));
  Save({TcpRecorder("R1", "PW1", sim.Port())});
  const fs::path saved = data_ / "R1" / "setupdata.bin";
  const std::string good = GoodSetup("KEEPME");
  Write(saved, good);

  Ran down = Zelpoll("download-setup --direct");
  EXPECT_EQ(down.status, 1) << down.output;
  EXPECT_TRUE(Bytes(saved) == good) << "the saved database was replaced";
  std::string log = Log();
  EXPECT_NE(log.find("ERROR - the setup database received ran past 23680 bytes, longer than a "
                     "KRV-517XL/A setup database; the transfer was cancelled"),
            std::string::npos)
      << log;
  EXPECT_EQ(Others(data_ / "R1", {"setupdata.bin"}), std::vector<std::string>{});

  // An event query: 64 MiB scaled by 0.01 is 671089 bytes.
  const fs::path out = tmp_.path() / "q.bin";
  Ran q = Zelpoll("query --from \"2024-03-05 00:00:00\" --to \"2024-03-05 23:59:59\" --out " +
                  out.string() + " --direct R1");
  EXPECT_EQ(q.status, 1) << q.output;
  EXPECT_FALSE(fs::exists(out));
  log = Log();
  EXPECT_NE(log.find("grew past 671089 bytes without an end; the transfer was cancelled and "
                     "nothing was kept"),
            std::string::npos)
      << log;
  EXPECT_EQ(Others(tmp_.path(), {"data", "zel.dat", ".zel.dat.lock"}), std::vector<std::string>{});
  sim.Stop();
  const std::string stats = sim.Output();
  EXPECT_NE(stats.find(" 2 failed transfers"), std::string::npos)
      << "the recorder saw both transfers cancelled:\n"
      << stats;
}

// Two recorders with one ID (the second cut to 20 characters on load) would share a folder:
// the later one is never polled. A cut password is reported once, without its text.
TEST_F(ZelpollGuardsTest, DuplicateIdsAreNotPolledAndCutPasswordsAreReported) {
  SimProcess first, second;
  START_SIM(first, SimArgs("PW1", {}));
  START_SIM(second, SimArgs("PW2", {}));
  const std::string id = "ABCDEFGHIJKLMNOPQRST";  // 20 characters
  Save({TcpRecorder(id, "PW1", first.Port()), TcpRecorder(id + "-B", "PW2", second.Port()),
        TcpRecorder("LONGPW", "SECRETPASSWORD12", first.Port())});
  Ran r = RunProgram("zelpoll", Common() + "poll --direct --today",
                     "2>" + (tmp_.path() / "err.txt").string());
  const std::string err = zeltest::ReadText(tmp_.path() / "err.txt");
  EXPECT_EQ(r.status, 1) << r.output << err;
  const std::string log = Log();
  EXPECT_NE(log.find("Polling:" + id + "\n Success\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Polling:" + id + "\nERROR - duplicate recorder ID\n \n"), std::string::npos)
      << log;
  EXPECT_EQ(zeltest::CountOf(log, "Polling:" + id + "\n"), 2) << log;
  EXPECT_EQ(zeltest::CountOf(err, "duplicate recorder ID"), 1) << err;
  // The second recorder was never reached.
  second.Stop();
  EXPECT_NE(second.Output().find(" 0 connections"), std::string::npos);

  EXPECT_EQ(zeltest::CountOf(err, "\"LONGPW\" password is longer than 10 characters"), 1) << err;
  EXPECT_EQ(err.find("SECRETPASS"), std::string::npos) << "a password was printed:\n" << err;
}

// Ordinary files of models whose records do not fill the last XMODEM block: the padding after
// the data is not reported as a cut record; a real cut still is.
TEST_F(ZelpollGuardsTest, PaddedEventFilesGiveNoCutRecordWarning) {
  for (const char* model : {"KRV-517XL", "KRV-61E/A", "KRV-583A"}) {
    SCOPED_TRACE(model);
    SimProcess sim;
    START_SIM(sim, SimArgs("PW1", {"--events-per-day", "37"}, model));
    Save({TcpRecorder("R1", "PW1", sim.Port(), model)});
    const fs::path out = tmp_.path() / "q.bin";
    fs::remove(out);
    // Yesterday's whole day: its events are all recorded.
    Ran q = Zelpoll("poll --direct --days 1");
    ASSERT_EQ(q.status, 0) << q.output;
    fs::path event;
    for (const std::string& n : zeltest::FileNames(data_ / "R1"))
      if (n.size() == 17 && n[6] == '-' && n.substr(13) == ".bin") event = data_ / "R1" / n;
    ASSERT_FALSE(event.empty());
    ASSERT_EQ(fs::file_size(event) % 128, 0u);
    Ran rep = RunProgram("zelreport", "--type " + std::to_string(ParseModel(model)) + " " +
                                          event.string() + " " + (tmp_.path() / "r.txt").string() +
                                          " --setup " + (data_ / "R1" / "setupdata.bin").string());
    EXPECT_EQ(rep.status, 0) << rep.output;
    EXPECT_EQ(rep.output.find("ends inside a record"), std::string::npos) << rep.output;

    // A record cut short (the last one again, less its last byte): still reported.
    const EventLayout* layout = FindEventLayout(EventFileTypeOfModel(ParseModel(model)));
    ASSERT_NE(layout, nullptr);
    EventRecordFile file;
    ASSERT_EQ(file.Open(event.string()), EventRecordFile::OpenResult::kOk);
    EventRecord rec;
    while (file.Next(rec)) {
    }
    ASSERT_GT(file.RecordsRead(), 0);
    const std::size_t consumed = static_cast<std::size_t>(
        layout->firstRecord + static_cast<int64_t>(file.RecordsRead()) * layout->recordSize);
    std::string bytes = Bytes(event).substr(0, consumed);
    bytes += bytes.substr(consumed - static_cast<std::size_t>(layout->recordSize),
                          static_cast<std::size_t>(layout->recordSize) - 1);
    Write(tmp_.path() / "cut.bin", bytes);
    Ran cut = RunProgram("zelreport", "--type " + std::to_string(ParseModel(model)) + " " +
                                          (tmp_.path() / "cut.bin").string() + " " +
                                          (tmp_.path() / "r2.txt").string() + " --setup " +
                                          (data_ / "R1" / "setupdata.bin").string());
    EXPECT_NE(cut.output.find("ends inside a record"), std::string::npos) << cut.output;
    fs::remove_all(data_);
    fs::create_directories(data_);
  }
}

}  // namespace
