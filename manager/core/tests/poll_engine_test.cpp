// End-to-end polls: the poll engine against simulated recorders (zelsim child processes on
// 127.0.0.1) with scaled protocol waits and a fake wall clock.
#include "zel/core/poll_engine.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "zel/catalogue.h"
#include "zel/core/query.h"
#include "zel/core/schedule.h"
#include "zel/platform/prompter.h"
#include "zel/setup_database.h"
#include "zel/testing/files.h"
#include "zel/testing/programs.h"
#include "zel/testing/sim_process.h"
#include "zel/testing/temp_folder.h"
#include "zel/testing/wait.h"

namespace {

namespace fs = std::filesystem;
using namespace zel;
using namespace zel::core;
using zeltest::CountOf;
using zeltest::FileNames;
using zeltest::ReadText;
using zeltest::SimProcess;
using zeltest::TempFolder;

constexpr char kModel[] = "KRV-517XL";
constexpr uint32_t kLoopback = 0x7F000001;
// Wednesday 6 March 2024, 02:15:00.
const platform::LocalTime kWednesday{2024, 3, 6, 2, 15, 0, 0, 3};
constexpr uint32_t kOpsLoginOnly = kOpLogin | kOpLogoff;
constexpr uint32_t kOpsPollSetupOnly = kOpLogin | kOpPollSetup | kOpLogoff;

RecorderType ModelType() { return ParseModel(kModel); }

RecorderRecord TcpRecorder(const std::string& id, const std::string& password, int tcp_port) {
  RecorderRecord r;
  r.id = id;
  r.password = password;
  r.type = ModelType();
  r.port = -1;
  r.ipAddress = kLoopback;
  r.tcpPort = tcp_port;
  r.listState = 1;
  return r;
}

// One simulated recorder with its own process.
std::vector<std::string> SimArgs(const std::string& password, std::vector<std::string> extra = {}) {
  std::vector<std::string> a = {"--model", kModel, "--password", password,
                                "--tcp",   "0",    "--scale",    "0.01"};
  a.insert(a.end(), extra.begin(), extra.end());
  return a;
}

std::vector<uint8_t> FileBytes(const fs::path& p) {
  const std::string s = ReadText(p);
  return std::vector<uint8_t>(s.begin(), s.end());
}

std::string FirstLine(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::string line;
  std::getline(in, line);
  return line;
}

// The header line an event file of the test model starts with.
void ExpectModelHeader(const fs::path& file) {
  const ModelEntry* m = FindModel(ModelType());
  ASSERT_NE(m, nullptr);
  ASSERT_NE(m->eventTag, nullptr);
  const std::string line = FirstLine(file);
  EXPECT_EQ(line.rfind(m->eventTag, 0), 0u) << file << " starts with \"" << line << "\"";
  EXPECT_NE(line.find("binary"), std::string::npos) << file << ": " << line;
}

// A setup database of the test model as the simulator starts with (factory defaults and the
// administrative password), optionally with one input renamed.
SetupDatabase SimSetup(const std::string& password, const std::string& rename = {}) {
  SetupDatabase db(ModelType());
  db.RestoreFactoryDefaults();
  db.SetAdministrativePassword(password);
  if (!rename.empty()) db.SetName(0, rename);
  return db;
}

// A data folder, a recorder list, a fake clock and an engine with waits scaled to 1/100.
class Rig {
 public:
  explicit Rig(const std::string& tag, int afterCloseMs = 5) : tmp_(tag), clock_(kWednesday) {
    data_ = tmp_.path() / "data";
    fs::create_directories(data_);
    settings.dataFolder = data_.string();
    settings.retries = 1;
    settings.preferedConnection = 1;
    PollEngine::Environment env;
    env.recorders = &list;
    env.clock = &clock_;
    env.launcher = &launcher;
    env.status = &status;
    env.timings = comm::Timings{}.Scaled(0.01);
    env.afterCloseMs = afterCloseMs;
    env.observer = &times;
    engine = std::make_unique<PollEngine>(env);
    engine->onEvent = [this](const PollEvent& e) {
      std::lock_guard l(mu_);
      events_.push_back(e);
    };
  }
  ~Rig() { engine.reset(); }

  RunTimeRecorder times;  // where the runs' time went

  void Add(RecorderRecord r) { list.Append(std::move(r)); }

  // Starts a run over the direct line (TCP/IP recorders) and does not wait.
  void Start(uint32_t ops, int days_back, bool all = true) {
    {
      std::lock_guard l(mu_);
      events_.clear();
    }
    engine->StartPoll(settings, all, true, ops, days_back);
  }
  // Waits at most `timeout_ms` for the run to end by itself; stops it and fails otherwise.
  bool Finish(int timeout_ms = 20000) {
    if (!zeltest::WaitUntil([&] { return !engine->Running(); },
                            std::chrono::milliseconds(timeout_ms))) {
      engine->StopPoll();
      return false;
    }
    engine->Wait();
    return true;
  }
  bool Run(uint32_t ops, int days_back, bool all = true) {
    Start(ops, days_back, all);
    return Finish();
  }
  // Waits (bounded) until the run has reported step `step` for `recorder`.
  bool AwaitStep(const std::string& recorder, const std::string& step) {
    return zeltest::WaitUntil([&] { return SawStep(recorder, step); });
  }

  // Waits (bounded) until the run has reported the result of an attempt on `recorder`.
  bool AwaitResult(const std::string& recorder) {
    return zeltest::WaitUntil([&] {
      std::lock_guard l(mu_);
      for (const PollEvent& e : events_) {
        if (e.kind == PollEvent::kResult && e.recorder == recorder) return true;
      }
      return false;
    });
  }

  bool SawStep(const std::string& recorder, const std::string& step) const {
    std::lock_guard l(mu_);
    for (const PollEvent& e : events_) {
      if (e.kind == PollEvent::kStep && e.recorder == recorder && e.text == step) return true;
    }
    return false;
  }
  std::string EventText() const {
    std::lock_guard l(mu_);
    std::string s;
    for (const PollEvent& e : events_) {
      s += std::to_string(static_cast<int>(e.kind)) + " " + e.recorder + " " + e.text + " " +
           std::to_string(e.code) + "\n";
    }
    return s;
  }
  std::string Log() const { return ReadText(engine->LastLogPath()); }
  int Code(std::size_t job = 0) const {
    auto o = engine->LastOutcomes();
    return job < o.size() ? o[job].code : -100;
  }
  fs::path Folder(const std::string& id) const { return data_ / id; }
  const fs::path& data() const { return data_; }
  const fs::path& root() const { return tmp_.path(); }
  platform::FakeClock& clock() { return clock_; }
  // Another data folder for the next runs.
  void UseDataFolder(const std::string& name) {
    data_ = tmp_.path() / name;
    fs::create_directories(data_);
    settings.dataFolder = data_.string();
  }

  StationSettings settings;
  RecorderList list;
  platform::RecordingLauncher launcher;
  comm::StatusTexts status;
  std::unique_ptr<PollEngine> engine;

 private:
  TempFolder tmp_;
  platform::FakeClock clock_;
  fs::path data_;
  mutable std::mutex mu_;
  std::vector<PollEvent> events_;
};

#define START_SIM(sim, args) ASSERT_TRUE((sim).Start(args)) << (sim).error()

// ---------------------------------------------------------------------------------------------

TEST(PollEngineSim, TodaysDataIsOneFileNamedForToday) {
  SimProcess sim;
  START_SIM(sim, SimArgs("ADMIN1"));
  Rig rig("poll_today");
  rig.Add(TcpRecorder("R1", "ADMIN1", sim.Port()));
  ASSERT_TRUE(rig.Run(kOpsEventsPoll, 0)) << "the poll did not end";
  ASSERT_EQ(rig.Code(), 0) << rig.Log() << rig.EventText();
  EXPECT_EQ(FileNames(rig.Folder("R1")),
            (std::vector<std::string>{"240306-021500.bin", "setupdata.bin"}));
  ExpectModelHeader(rig.Folder("R1") / "240306-021500.bin");
  EXPECT_EQ(rig.engine->LastLogPath().filename(), "Poll_log_240306.txt");
  EXPECT_EQ(rig.Log(), "02:15:00 Polling:R1\n Success\n");
  // The window's three status texts after the run.
  const comm::StatusTexts::Snapshot st = rig.status.Get();
  EXPECT_EQ(st.recorder, "R1");
  EXPECT_EQ(st.operation, "Done");
  EXPECT_EQ(st.result, "Success");
}

TEST(PollEngineSim, DaysBackFetchesTheWholeDaysBeforeTodayOnly) {
  SimProcess sim;
  START_SIM(sim, SimArgs("ADMIN1"));
  Rig rig("poll_back");
  rig.Add(TcpRecorder("R1", "ADMIN1", sim.Port()));
  ASSERT_TRUE(rig.Run(kOpsEventsPoll, 3));
  ASSERT_EQ(rig.Code(), 0) << rig.Log() << rig.EventText();
  const std::vector<std::string> want = {"240303-021500.bin", "240304-021500.bin",
                                         "240305-021500.bin", "setupdata.bin"};
  EXPECT_EQ(FileNames(rig.Folder("R1")), want);
  for (int i = 0; i < 3; ++i) ExpectModelHeader(rig.Folder("R1") / want[i]);
  // Each file holds its own day: the three are not one image copied.
  EXPECT_NE(ReadText(rig.Folder("R1") / want[0]), ReadText(rig.Folder("R1") / want[1]));

  // Back across the end of a month and the leap day: 1 March 2024, two days back.
  rig.UseDataFolder("data_march");
  rig.clock().Set({2024, 3, 1, 23, 59, 58});
  ASSERT_TRUE(rig.Run(kOpsEventsPoll, 2));
  ASSERT_EQ(rig.Code(), 0) << rig.Log();
  EXPECT_EQ(FileNames(rig.Folder("R1")),
            (std::vector<std::string>{"240228-235958.bin", "240229-235958.bin", "setupdata.bin"}));
}

TEST(PollEngineSim, FailedLoginsAreRetriedAndLoggedPerAttempt) {
  SimProcess sim;
  START_SIM(sim, SimArgs("RIGHTPW"));
  Rig rig("poll_wrongpw");
  rig.settings.retries = 3;
  rig.Add(TcpRecorder("R1", "WRONGPW", sim.Port()));
  ASSERT_TRUE(rig.Run(kOpsEventsPoll, 0));
  EXPECT_EQ(rig.engine->LastLogPath().filename(), "Poll_log_240306.txt");
  const std::string log = rig.Log();
  EXPECT_EQ(CountOf(log, "Polling:R1\n"), 3) << log;
  EXPECT_EQ(CountOf(log, "\n Wrong Password\n"), 3) << log;
  ASSERT_EQ(rig.engine->LastOutcomes().size(), 1u);
  EXPECT_EQ(rig.engine->LastOutcomes()[0].code, 6);
  EXPECT_EQ(rig.engine->LastOutcomes()[0].attempts, 3);
  // Nothing was fetched: the folder may exist but holds no file.
  EXPECT_TRUE(FileNames(rig.Folder("R1")).empty());

  // A recorder that never answers: no prompt, " No Login" for each attempt.
  SimProcess mute;
  START_SIM(mute, SimArgs("RIGHTPW", {"--no-answer"}));
  rig.UseDataFolder("data_mute");
  rig.settings.retries = 2;
  rig.list.Replace({TcpRecorder("R2", "RIGHTPW", mute.Port())});
  ASSERT_TRUE(rig.Run(kOpsEventsPoll, 0));
  EXPECT_EQ(rig.Code(), 5);
  EXPECT_EQ(CountOf(rig.Log(), "Polling:R2\n No Login\n"), 2) << rig.Log();

  // Retries 0 polls nothing and logs nothing for the recorder.
  rig.UseDataFolder("data_none");
  rig.settings.retries = 0;
  ASSERT_TRUE(rig.Run(kOpsEventsPoll, 0));
  ASSERT_EQ(rig.engine->LastOutcomes().size(), 1u);
  EXPECT_EQ(rig.engine->LastOutcomes()[0].attempts, 0);
  EXPECT_EQ(CountOf(rig.Log(), "Polling:"), 0);
}

TEST(PollEngineSim, OpenFailureOutsideTheResultCodesLogsABlankLine) {
  // A port nobody listens on: bind one, learn it, close it.
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  const int port = ntohs(a.sin_port);
  ::close(fd);

  Rig rig("poll_refused");
  rig.settings.retries = 2;
  rig.Add(TcpRecorder("R1", "ADMIN1", port));
  ASSERT_TRUE(rig.Run(kOpsEventsPoll, 0));
  // A refused connection is a socket error, passed on as it is: no result text.
  const int code = rig.Code();
  EXPECT_TRUE(code < 0 || code > 8) << code;
  EXPECT_EQ(rig.Log(), "02:15:00 Polling:R1\n \n02:15:00 Polling:R1\n \n");
  EXPECT_EQ(rig.status.Get().result, "") << "a code without a text shows no result";
  EXPECT_FALSE(fs::exists(rig.Folder("R1") / "setupdata.bin"));
}

TEST(PollEngineSim, PollSetupKeepsTheSavedDatabaseAndWarnsOnADifference) {
  SimProcess sim;
  START_SIM(sim, SimArgs("ADMIN1"));
  Rig rig("poll_setup");
  rig.Add(TcpRecorder("R1", "ADMIN1", sim.Port()));
  const fs::path saved = rig.Folder("R1") / "setupdata.bin";

  // No saved database: the polled one becomes it, and no new_setupdata.bin stays.
  ASSERT_TRUE(rig.Run(kOpsPollSetupOnly, 0));
  ASSERT_EQ(rig.Code(), 0) << rig.Log();
  EXPECT_EQ(FileNames(rig.Folder("R1")), std::vector<std::string>{"setupdata.bin"});
  SetupDatabase got(ModelType());
  ASSERT_TRUE(got.LoadFile(saved));
  EXPECT_TRUE(got.Equals(SimSetup("ADMIN1"))) << "the saved database is not the recorder's";

  // Saved and polled are equal: both stay, no warning.
  ASSERT_TRUE(rig.Run(kOpsPollSetupOnly, 0));
  EXPECT_EQ(rig.Code(), 0);
  EXPECT_EQ(FileNames(rig.Folder("R1")),
            (std::vector<std::string>{"new_setupdata.bin", "setupdata.bin"}));
  EXPECT_EQ(CountOf(rig.Log(), "WARNING"), 0) << rig.Log();

  // A saved database that differs: warning line inside the attempt's block, poll succeeds,
  // saved file unchanged byte for byte.
  ASSERT_TRUE(SimSetup("ADMIN1", "EDITED OFF LINE").SaveFile(saved));
  const std::vector<uint8_t> before = FileBytes(saved);
  ASSERT_TRUE(rig.Run(kOpsPollSetupOnly, 0));
  EXPECT_EQ(rig.Code(), 0);
  EXPECT_EQ(FileBytes(saved), before);
  EXPECT_EQ(FileNames(rig.Folder("R1")),
            (std::vector<std::string>{"new_setupdata.bin", "setupdata.bin"}));
  const std::string log = rig.Log();
  EXPECT_EQ(CountOf(log, "WARNING - setup database does not match saved version\n"), 1) << log;
  EXPECT_NE(log.find("Polling:R1\nWARNING - setup database does not match saved version\n "
                     "Success\n"),
            std::string::npos)
      << log;
  SetupDatabase fresh(ModelType());
  ASSERT_TRUE(fresh.LoadFile(rig.Folder("R1") / "new_setupdata.bin"));
  EXPECT_TRUE(fresh.Equals(SimSetup("ADMIN1")));

  // An empty saved file is a difference too, and stays empty.
  std::ofstream(saved, std::ios::trunc).close();
  ASSERT_TRUE(rig.Run(kOpsPollSetupOnly, 0));
  EXPECT_EQ(rig.Code(), 0);
  EXPECT_EQ(CountOf(rig.Log(), "WARNING - setup database does not match saved version\n"), 2)
      << rig.Log();
  EXPECT_EQ(fs::file_size(saved), 0u);
}

TEST(PollEngineSim, UploadSetupTakesThePasswordOfTheUploadedFile) {
  SimProcess sim;
  START_SIM(sim, SimArgs("OLDPASS"));
  Rig rig("poll_upload");
  rig.Add(TcpRecorder("R1", "OLDPASS", sim.Port()));
  fs::create_directories(rig.Folder("R1"));
  ASSERT_TRUE(SimSetup("NEWPW7", "UPLOADED").SaveFile(rig.Folder("R1") / "setupdata.bin"));

  ASSERT_TRUE(rig.Run(kOpsSetupUpload, 0));
  ASSERT_EQ(rig.Code(), 0) << rig.Log() << rig.EventText();
  EXPECT_EQ(rig.list.Get(0)->password, "NEWPW7");

  // The recorder now logs in with the new password only.
  ASSERT_TRUE(rig.Run(kOpsLoginOnly, 0));
  EXPECT_EQ(rig.Code(), 0) << rig.Log();
  rig.list.Update(0, [](RecorderRecord& r) { r.password = "OLDPASS"; });
  ASSERT_TRUE(rig.Run(kOpsLoginOnly, 0));
  EXPECT_EQ(rig.Code(), 6) << rig.Log();

  // And it sends the uploaded database back.
  rig.list.Update(0, [](RecorderRecord& r) { r.password = "NEWPW7"; });
  ASSERT_TRUE(rig.Run(kOpsPollSetupOnly, 0));
  EXPECT_EQ(rig.Code(), 0);
  EXPECT_EQ(CountOf(rig.Log(), "WARNING"), 0) << "the recorder did not keep the uploaded setup";
  sim.Stop();
  EXPECT_EQ(sim.StatsOf("recorder").uploads, 1) << sim.Output();
  EXPECT_EQ(sim.StatsOf("recorder").logins, 3) << sim.Output();
}

TEST(PollEngineSim, ClockIsSetOnceADay) {
  SimProcess sim;
  START_SIM(sim, SimArgs("ADMIN1"));
  Rig rig("poll_clock");
  rig.settings.clockSync = 1;
  rig.Add(TcpRecorder("R1", "ADMIN1", sim.Port()));
  const int today = DayNumberOf(kWednesday);

  ASSERT_TRUE(rig.Run(kOpsLoginOnly, 0));
  EXPECT_EQ(rig.Code(), 0);
  EXPECT_TRUE(rig.SawStep("R1", "Set Clock")) << rig.EventText();
  EXPECT_EQ(rig.list.Get(0)->clockSetDay, today);

  // Later the same day: no second setting.
  rig.clock().AdvanceSeconds(3 * 3600);
  ASSERT_TRUE(rig.Run(kOpsLoginOnly, 0));
  EXPECT_EQ(rig.Code(), 0);
  EXPECT_FALSE(rig.SawStep("R1", "Set Clock")) << rig.EventText();
  EXPECT_EQ(rig.list.Get(0)->clockSetDay, today);

  // The next day: set again.
  rig.clock().AdvanceSeconds(24 * 3600);
  ASSERT_TRUE(rig.Run(kOpsLoginOnly, 0));
  EXPECT_TRUE(rig.SawStep("R1", "Set Clock")) << rig.EventText();
  EXPECT_EQ(rig.list.Get(0)->clockSetDay, today + 1);

  // ClockSync off: never, even on a new day.
  rig.settings.clockSync = 0;
  rig.clock().AdvanceSeconds(24 * 3600);
  ASSERT_TRUE(rig.Run(kOpsLoginOnly, 0));
  EXPECT_FALSE(rig.SawStep("R1", "Set Clock"));
  EXPECT_EQ(rig.list.Get(0)->clockSetDay, today + 1);
}

TEST(PollEngineSim, AbortEndsTheRunAndPollsNoFurtherRecorder) {
  TempFolder cfgDir("abortcfg");
  SimProcess sim;
  ASSERT_TRUE(sim.StartFleet(cfgDir.path() / "fleet.ini",
                             "scale = 0.01\n"
                             "[recorder SLOW]\nmodel = KRV-517XL\npassword = PW1\ntcp = 0\n"
                             "bytes_per_second = 200\n"
                             "[recorder B]\nmodel = KRV-517XL\npassword = PW2\ntcp = 0\n"
                             "[recorder C]\nmodel = KRV-517XL\npassword = PW3\ntcp = 0\n"))
      << sim.error();
  Rig rig("poll_abort");
  rig.settings.retries = 3;
  rig.Add(TcpRecorder("SLOW", "PW1", sim.Port("SLOW")));
  rig.Add(TcpRecorder("B", "PW2", sim.Port("B")));
  rig.Add(TcpRecorder("C", "PW3", sim.Port("C")));
  rig.Start(kOpsEventsPoll, 3);
  // The abort comes while the slow recorder's setup database is on its way.
  ASSERT_TRUE(rig.AwaitStep("SLOW", "Poll Setup")) << rig.EventText();
  rig.engine->Abort();
  ASSERT_TRUE(rig.Finish()) << "the run did not end after the abort";
  const std::string log = rig.Log();
  EXPECT_EQ(log.rfind("02:15:00 Polling:SLOW\n Poll Aborted\n", 0), 0u) << log;
  EXPECT_EQ(CountOf(log, "Polling:"), 1) << log;
  const auto out = rig.engine->LastOutcomes();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].code, 8);
  EXPECT_EQ(out[0].attempts, 1);
  EXPECT_EQ(out[1].attempts, 0);
  EXPECT_EQ(out[2].attempts, 0);
  EXPECT_FALSE(fs::exists(rig.Folder("B")));
  EXPECT_FALSE(fs::exists(rig.Folder("C")));
  EXPECT_FALSE(fs::exists(rig.Folder("SLOW") / "setupdata.bin"));
  // The simulator saw one connection, to the first recorder only.
  sim.Stop();
  EXPECT_EQ(sim.StatsOf("SLOW").connections, 1) << sim.Output();
  EXPECT_EQ(sim.StatsOf("B").connections, 0) << sim.Output();
  EXPECT_EQ(sim.StatsOf("C").connections, 0) << sim.Output();
}

TEST(PollEngineSim, AbortCutsThePauseAfterCloseShort) {
  TempFolder cfgDir("pausecfg");
  SimProcess sim;
  ASSERT_TRUE(sim.StartFleet(cfgDir.path() / "fleet.ini",
                             "scale = 0.01\n"
                             "[recorder A]\nmodel = KRV-517XL\npassword = PW1\ntcp = 0\n"
                             "[recorder B]\nmodel = KRV-517XL\npassword = PW2\ntcp = 0\n"))
      << sim.error();
  // A minute's pause after each connection: only the abort can end this run in time.
  Rig rig("poll_pause", 60000);
  rig.Add(TcpRecorder("A", "PW1", sim.Port("A")));
  rig.Add(TcpRecorder("B", "PW2", sim.Port("B")));
  rig.Start(kOpsLoginOnly, 0);
  ASSERT_TRUE(rig.AwaitResult("A")) << rig.EventText();
  // Not a wait for a state: the pause must have lasted this long for the accounting below.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  rig.engine->Abort();
  // Well inside the minute the pause would take.
  ASSERT_TRUE(rig.Finish(30000)) << "the pause went on after the abort";
  const auto out = rig.engine->LastOutcomes();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].code, 0);
  EXPECT_EQ(out[1].attempts, 0);
  EXPECT_EQ(rig.Log(), "02:15:00 Polling:A\n Success\n");
  // The run's time is accounted: the login's silences (40 + 50 ms at this scale), the
  // recorder's prompt, and the pause until the abort.
  const RunTimes t = rig.times.times();
  EXPECT_GE(t.waits.idleUs, 80000);
  EXPECT_GT(t.waits.answeredUs, 0);
  EXPECT_EQ(t.waits.diskSyncUs, 0);
  EXPECT_GE(t.pauseUs, 90000);
  EXPECT_LT(t.pauseUs, 5000000);
}

TEST(PollEngineSim, NewRunStopsTheRunningOne) {
  TempFolder cfgDir("replacecfg");
  SimProcess sim;
  ASSERT_TRUE(sim.StartFleet(cfgDir.path() / "fleet.ini",
                             "scale = 0.01\n"
                             "[recorder SLOW]\nmodel = KRV-517XL\npassword = PW1\ntcp = 0\n"
                             "bytes_per_second = 200\n"
                             "[recorder B]\nmodel = KRV-517XL\npassword = PW2\ntcp = 0\n"))
      << sim.error();
  Rig rig("poll_replace");
  rig.settings.retries = 2;
  rig.Add(TcpRecorder("SLOW", "PW1", sim.Port("SLOW")));
  rig.Add(TcpRecorder("B", "PW2", sim.Port("B")));
  rig.Start(kOpsEventsPoll, 3);
  ASSERT_TRUE(rig.AwaitStep("SLOW", "Poll Setup")) << rig.EventText();
  // Only B selected for the new run, which replaces the first at once.
  rig.list.Update(0, [](RecorderRecord& r) { r.listState = 0; });
  rig.Start(kOpsLoginOnly, 0, false);
  ASSERT_TRUE(rig.Finish());
  const auto out = rig.engine->LastOutcomes();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].id, "B");
  EXPECT_EQ(out[0].code, 0);
  // One log for the day: the stopped run's block, then the new run's; the stopped run did not
  // go on to B.
  EXPECT_EQ(rig.Log(), "02:15:00 Polling:SLOW\n Poll Aborted\n02:15:00 Polling:B\n Success\n");
}

TEST(PollEngineSim, MissingDataFolderWritesNothing) {
  Rig rig("poll_nofolder");
  rig.Add(TcpRecorder("R1", "ADMIN1", 1));
  const fs::path missing = rig.root() / "gone";
  rig.settings.dataFolder = missing.string();
  ASSERT_TRUE(rig.Run(kOpsEventsPoll, 0));
  EXPECT_EQ(rig.Code(), kPollBadRecorderId);
  EXPECT_FALSE(fs::exists(missing)) << "the poll made the data folder or a recorder folder";
  EXPECT_NE(rig.EventText().find("data folder does not exist"), std::string::npos)
      << rig.EventText();
}

TEST(PollEngineSim, MakeTextWritesReportsBesideTheEventFiles) {
  SimProcess sim;
  START_SIM(sim, SimArgs("ADMIN1"));
  Rig rig("poll_text");
  rig.settings.makeText = 1;
  rig.Add(TcpRecorder("R1", "ADMIN1", sim.Port()));
  for (int txt = 0; txt <= 1; ++txt) {
    SCOPED_TRACE(txt ? "UseTxtFile 1" : "UseTxtFile 0");
    rig.UseDataFolder(txt ? "data_txt" : "data_wri");
    rig.settings.useTxtFile = txt;
    ASSERT_TRUE(rig.Run(kOpsEventsPoll, 2));
    ASSERT_EQ(rig.Code(), 0) << rig.Log();
    const std::string ext = txt ? ".txt" : ".wri";
    const std::vector<std::string> want = {"240304-021500.bin", "240304-021500" + ext,
                                           "240305-021500.bin", "240305-021500" + ext,
                                           "setupdata.bin"};
    EXPECT_EQ(FileNames(rig.Folder("R1")), want);
    for (const char* stem : {"240304-021500", "240305-021500"}) {
      EXPECT_GT(fs::file_size(rig.Folder("R1") / (std::string(stem) + ext)), 0u) << stem;
    }
  }
  // MakeText off: no reports.
  rig.UseDataFolder("data_off");
  rig.settings.makeText = 0;
  ASSERT_TRUE(rig.Run(kOpsEventsPoll, 1));
  EXPECT_EQ(FileNames(rig.Folder("R1")),
            (std::vector<std::string>{"240305-021500.bin", "setupdata.bin"}));
}

TEST(PollEngineSim, FailedSetupDownloadLeavesTheSavedDatabaseAlone) {
  // The line is cut inside the setup transfer, after the login went through.
  SimProcess sim;
  START_SIM(sim, SimArgs("ADMIN1", {"--disconnect-after", "400"}));
  Rig rig("poll_cut");
  rig.settings.retries = 2;
  rig.Add(TcpRecorder("R1", "ADMIN1", sim.Port()));
  fs::create_directories(rig.Folder("R1"));
  const fs::path saved = rig.Folder("R1") / "setupdata.bin";
  ASSERT_TRUE(SimSetup("ADMIN1", "KEEP ME").SaveFile(saved));
  const std::vector<uint8_t> before = FileBytes(saved);

  ASSERT_TRUE(rig.Run(kOpsSetupDownload, 0));
  EXPECT_TRUE(rig.SawStep("R1", "Download Setup"))
      << "the login did not go through; " << rig.EventText();
  EXPECT_EQ(rig.Code(), 7) << rig.Log();
  EXPECT_EQ(CountOf(rig.Log(), " Xmodem Fail\n"), 2) << rig.Log();
  EXPECT_EQ(FileBytes(saved), before) << "a failed download changed setupdata.bin";
  EXPECT_EQ(FileNames(rig.Folder("R1")), std::vector<std::string>{"setupdata.bin"})
      << "a failed download left a file behind";

  // The same through Poll Setup: the saved database stays as it was.
  ASSERT_TRUE(rig.Run(kOpsPollSetupOnly, 0));
  EXPECT_EQ(rig.Code(), 7);
  EXPECT_EQ(FileBytes(saved), before);
  EXPECT_EQ(FileNames(rig.Folder("R1")), std::vector<std::string>{"setupdata.bin"})
      << "a failed poll of the setup left a partial new_setupdata.bin";
}

TEST(PollEngineSim, ScheduledWednesdayPollFetchesSevenDays) {
  SimProcess sim;
  START_SIM(sim, SimArgs("ADMIN1"));
  Rig rig("poll_schedule");
  rig.Add(TcpRecorder("R1", "ADMIN1", sim.Port()));
  rig.list.Update(0, [](RecorderRecord& r) { r.listState = 0; });  // all recorders anyway
  rig.settings.schedule[3] = {1, 9};                               // Wednesday 02:15

  ScheduleCheck check;
  int fired = 0, back = -1;
  check.startPoll = [&](int days_back) {
    ++fired;
    back = days_back;
    rig.engine->StartPoll(rig.settings, true, rig.settings.preferedConnection == 1, kOpsEventsPoll,
                          days_back);
  };
  check.housekeeping = [] {};
  // Tick once a second from 02:13:30 to 02:17:00; the engine's clock follows the ticks until
  // the poll starts and then stays there.
  platform::FakeClock ticks({2024, 3, 6, 2, 13, 30});
  for (int i = 0; i <= 210; ++i) {
    if (fired == 0) rig.clock().Set(ticks.Now());
    check.Tick(ticks.Now(), rig.settings.schedule);
    ticks.AdvanceSeconds(1);
  }
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(back, 7);
  ASSERT_TRUE(rig.Finish());
  ASSERT_EQ(rig.Code(), 0) << rig.Log();
  EXPECT_EQ(FileNames(rig.Folder("R1")),
            (std::vector<std::string>{"240228-021500.bin", "240229-021500.bin", "240301-021500.bin",
                                      "240302-021500.bin", "240303-021500.bin", "240304-021500.bin",
                                      "240305-021500.bin", "setupdata.bin"}));
}

TEST(PollEngineSim, FetchedEventFilesGoAtThirtyDaysNotAtTwentyNine) {
  SimProcess sim;
  START_SIM(sim, SimArgs("ADMIN1"));
  Rig rig("poll_old");
  rig.settings.makeText = 1;
  rig.Add(TcpRecorder("R1", "ADMIN1", sim.Port()));
  ASSERT_TRUE(rig.Run(kOpsEventsPoll, 3));  // 3, 4 and 5 March 2024
  ASSERT_EQ(rig.Code(), 0) << rig.Log();
  fs::create_directories(rig.Folder("R1") / "Query");
  std::ofstream(rig.Folder("R1") / "Query" / "240101-000000.bin") << "kept";

  rig.settings.autoDelete = 0;
  platform::RecordingPrompter prompter;
  // 3 April 2024: 4 March is 30 days back, 5 March 29.
  const platform::LocalTime april3{2024, 4, 3, 10, 0, 0};
  EXPECT_EQ(HandleOldEventFiles(rig.settings, rig.list.Snapshot(), april3, prompter), 2);
  EXPECT_EQ(FileNames(rig.Folder("R1")),
            (std::vector<std::string>{"240303-021500.wri", "240304-021500.wri", "240305-021500.bin",
                                      "240305-021500.wri", "Query", "setupdata.bin"}));
  EXPECT_TRUE(fs::exists(rig.Folder("R1") / "Query" / "240101-000000.bin"));
  // A day later the last one goes too.
  EXPECT_EQ(HandleOldEventFiles(rig.settings, rig.list.Snapshot(),
                                platform::LocalTime{2024, 4, 4, 0, 0, 0}, prompter),
            1);
  EXPECT_FALSE(fs::exists(rig.Folder("R1") / "240305-021500.bin"));
}

TEST(PollEngineSim, UnsafeRecorderIdIsNeverUsedAsAPath) {
  SimProcess sim;
  START_SIM(sim, SimArgs("ADMIN1"));
  Rig rig("poll_unsafe");
  rig.settings.retries = 2;
  rig.Add(TcpRecorder("..", "ADMIN1", sim.Port()));
  rig.Add(TcpRecorder("R2", "ADMIN1", sim.Port()));
  for (uint32_t ops : {kOpsEventsPoll, kOpsSetupDownload, kOpsSetupUpload}) {
    SCOPED_TRACE(ops);
    ASSERT_TRUE(rig.Run(ops, 1));
    const auto out = rig.engine->LastOutcomes();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].code, kPollBadRecorderId);
    EXPECT_EQ(out[0].attempts, 1) << "an ID that can never work is not retried";
    const std::string log = rig.Log();
    EXPECT_NE(log.find("Polling:..\nERROR - "), std::string::npos) << log;
    // Nothing beside the data folder, nothing but the log and the safe recorder's folder in it.
    EXPECT_EQ(FileNames(rig.root()), std::vector<std::string>{"data"});
    EXPECT_EQ(FileNames(rig.data()), (std::vector<std::string>{"Poll_log_240306.txt", "R2"}));
  }
  EXPECT_EQ(rig.Code(1), 0) << "the safe recorder after it was not polled";
}

TEST(PollEngineSim, QuickPlotStartsThePlotterOnlyAfterEveryStepSucceeded) {
  SimProcess sim;
  START_SIM(sim, SimArgs("ADMIN1"));
  Rig rig("poll_quick");
  rig.Add(TcpRecorder("R1", "ADMIN1", sim.Port()));
  const ToolEnv tools{"/opt/zel/", '/'};
  std::string error;
  auto target = QuickPlotTarget(tools, rig.settings, *rig.list.Get(0), kWednesday, 24,
                                (rig.data() / "PlotAll.zpl").string(), &error);
  ASSERT_TRUE(target) << error;
  EXPECT_EQ(target->fileName, "Quickplot.bin");
  rig.engine->SetQuery(*target);
  ASSERT_TRUE(rig.Run(kOpsQuickPlot, 0));
  ASSERT_EQ(rig.Code(), 0) << rig.Log() << rig.EventText();
  const fs::path quick = rig.Folder("R1") / "Query" / "Quickplot.bin";
  ASSERT_TRUE(fs::exists(quick));
  ExpectModelHeader(quick);
  EXPECT_TRUE(fs::exists(rig.Folder("R1") / "setupdata.bin"));
  auto started = rig.launcher.started();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].commandLine, target->quickPlotCommand);
  EXPECT_NE(started[0].commandLine.find("Quickplot.bin"), std::string::npos);
  EXPECT_EQ(started[0].mode, platform::WindowMode::Normal);

  // The next quick plot, of 12 hours, replaces the file with the shorter interval.
  const std::string first = ReadText(quick);
  auto twelve = QuickPlotTarget(tools, rig.settings, *rig.list.Get(0), kWednesday, 12,
                                (rig.data() / "PlotAll.zpl").string(), &error);
  ASSERT_TRUE(twelve) << error;
  rig.engine->SetQuery(*twelve);
  ASSERT_TRUE(rig.Run(kOpsQuickPlot, 0));
  ASSERT_EQ(rig.Code(), 0) << rig.Log();
  EXPECT_LT(fs::file_size(quick), first.size()) << "Quickplot.bin was not replaced";
  ExpectModelHeader(quick);
  ASSERT_EQ(rig.launcher.started().size(), 2u);

  // A run that fails (wrong password) starts nothing, even over several attempts.
  rig.settings.retries = 2;
  rig.list.Update(0, [](RecorderRecord& r) { r.password = "BADPW"; });
  ASSERT_TRUE(rig.Run(kOpsQuickPlot, 0));
  EXPECT_EQ(rig.Code(), 6);
  EXPECT_EQ(rig.launcher.started().size(), 2u);

  // Without a chosen query target the Poll Query step fails and nothing starts.
  rig.list.Update(0, [](RecorderRecord& r) { r.password = "ADMIN1"; });
  rig.engine->SetQuery(QueryTarget{});
  ASSERT_TRUE(rig.Run(kOpsQuickPlot, 0));
  EXPECT_EQ(rig.Code(), 7);
  EXPECT_EQ(rig.launcher.started().size(), 2u);
}

}  // namespace
