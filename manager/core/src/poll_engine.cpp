#include "zel/core/poll_engine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <set>
#include <system_error>

#include "zel/catalogue.h"
#include "zel/comm/protocol.h"
#include "zel/core/paths.h"
#include "zel/core/report.h"
#include "zel/day_number.h"
#include "zel/setup_database.h"

namespace zel::core {
namespace fs = std::filesystem;

std::string PollResultText(int code) {
  static const char* const kTexts[] = {"Success",        "No Modem",    "Busy",
                                       "No Carrier",     "No Connect",  "No Login",
                                       "Wrong Password", "Xmodem Fail", "Poll Aborted"};
  if (code < 0 || code > 8) return {};
  return kTexts[code];
}

std::string PollLogName(const platform::LocalTime& day) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "Poll_log_%02d%02d%02d.txt", day.year % 100, day.month, day.day);
  return buf;
}

std::string PollResultSentence(int code, const std::string& line) {
  if (code >= 0 && code <= 8) return PollResultText(code);
  if (code == kPollBadRecorderId) return "Recorder ID cannot name a folder";
  return comm::ConnectResultSentence(static_cast<comm::ConnectResult>(code), line);
}

int DayNumberOf(const platform::LocalTime& t) { return DayNumber(t.year % 100, t.month, t.day); }

namespace {

std::string TimeStamp(const platform::LocalTime& t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return buf;
}

platform::LocalTime LocalDateOfDayNumber(int day_number) {
  platform::LocalTime t;
  if (auto d = DateOfDayNumber(day_number)) {
    t.year = 2000 + d->year;
    t.month = d->month;
    t.day = d->day;
    t.weekday = platform::WeekdayOf(t.year, t.month, t.day);
  }
  return t;
}

// The measurement observer shared by several lines: one call at a time reaches it.
class SharedObserver : public PollObserver {
 public:
  explicit SharedObserver(PollObserver* target) : target_(target) {}
  void OnLineWait(bool answered, int64_t us) override {
    std::lock_guard l(mu_);
    target_->OnLineWait(answered, us);
  }
  void OnLineIo(int64_t us) override {
    std::lock_guard l(mu_);
    target_->OnLineIo(us);
  }
  void OnDiskSync(int64_t us) override {
    std::lock_guard l(mu_);
    target_->OnDiskSync(us);
  }
  void OnPauseAfterClose(int64_t us) override {
    std::lock_guard l(mu_);
    target_->OnPauseAfterClose(us);
  }
  void OnTransferBlocks(int blocks) override {
    std::lock_guard l(mu_);
    target_->OnTransferBlocks(blocks);
  }

 private:
  std::mutex mu_;
  PollObserver* target_;
};

}  // namespace

std::string ProgressLine(const PollProgress& p) {
  return std::to_string(p.done) + " of " + std::to_string(p.total) + " done, " +
         std::to_string(p.failed) + " failed, " + std::to_string(p.busy) +
         (p.busy == 1 ? " line busy" : " lines busy");
}

// ---------------------------------------------------------------------------------------------
// Poll log

bool PollLog::Open(const fs::path& file) {
  Close();
  std::lock_guard l(mu_);
  path_ = file;
  f_ = std::fopen(file.c_str(), "ab");
  return f_ != nullptr;
}

bool PollLog::IsOpen() const {
  std::lock_guard l(mu_);
  return f_ != nullptr;
}

void PollLog::Write(const std::string& text) {
  std::lock_guard l(mu_);
  if (!f_) return;
  // Text mode: the log's lines end as the platform's text files do.
  std::fwrite(text.data(), 1, text.size(), f_);
  std::fflush(f_);
}

void PollLog::Close() {
  std::lock_guard l(mu_);
  if (f_) std::fclose(f_);
  f_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Engine

PollEngine::PollEngine(Environment env) : env_(std::move(env)) {}

PollEngine::~PollEngine() { StopPoll(); }

bool PollEngine::Running() const { return running_.load(); }

void PollEngine::SetQuery(QueryTarget q) {
  std::lock_guard l(mu_);
  query_ = std::move(q);
}

std::vector<PollEngine::Outcome> PollEngine::LastOutcomes() const {
  std::lock_guard l(mu_);
  return outcomes_;
}

PollProgress PollEngine::Progress() const {
  return PollProgress{total_.load(), done_.load(), failed_.load(), busy_.load()};
}

fs::path PollEngine::LastLogPath() const {
  std::lock_guard l(mu_);
  return logPath_;
}

std::vector<fs::path> PollEngine::LastNewFiles() const {
  std::lock_guard l(mu_);
  return newFiles_;
}

void PollEngine::StopPoll() {
  if (thread_.joinable()) {
    abort_.store(1);
    thread_.join();
    abort_.store(0);
  }
  running_ = false;
}

void PollEngine::Wait() {
  if (thread_.joinable()) thread_.join();
  running_ = false;
}

void PollEngine::StartPoll(const StationSettings& settings, bool all, bool direct, uint32_t ops,
                           int days_back) {
  Run run;
  run.settings = settings;
  run.direct = direct;
  run.ops = ops;
  run.daysBack = days_back;
  run.selector = direct ? settings.directPort : settings.port;
  run.baud = direct ? settings.directBaud : settings.baud;
  StopPoll();
  abort_.store(0);
  {
    std::lock_guard l(mu_);
    run.query = query_;
    outcomes_.clear();
    newFiles_.clear();
    logPath_.clear();
  }
  RecorderList& list = *env_.recorders;
  std::set<std::string> seenIds;
  for (std::size_t pos = 0; pos < list.Count(); ++pos) {
    std::optional<RecorderRecord> r = list.Get(pos);
    if (!r) continue;
    // Two recorders with one ID would share one folder: only the first one is polled.
    const bool duplicate = !seenIds.insert(r->id).second;
    if (!all && r->listState == 0) continue;
    Job job;
    job.record = *r;
    job.duplicateId = duplicate;
    job.token = list.MarkJob(pos);
    run.jobs.push_back(std::move(job));
  }
  total_ = run.jobs.size();
  done_ = 0;
  failed_ = 0;
  busy_ = 0;
  running_ = true;
  thread_ = std::thread([this, run = std::move(run)]() mutable { Thread(std::move(run)); });
}

void PollEngine::Emit(PollEvent::Kind kind, const std::string& recorder, const std::string& text,
                      int code) {
  if (!onEvent) return;
  std::lock_guard l(emitMu_);
  onEvent(PollEvent{kind, recorder, text, code});
}

void PollEngine::LogError(LogBlock& log, const std::string& recorder, const std::string& why) {
  if (why.empty()) return;
  log += "ERROR - " + why + "\n";
  Emit(PollEvent::kError, recorder, why);
}

void PollEngine::SetOperation(const std::string& s) {
  if (env_.status) env_.status->SetOperation(s);
}

void PollEngine::SetResult(const std::string& s) {
  if (env_.status) env_.status->SetResult(s);
}

void PollEngine::PauseAfterClose(PollObserver* observer) {
  // The line rests after each attempt before the next connection; an abort cuts it short, as
  // nothing else will be polled.
  const int64_t start = observer ? platform::MonotonicUs() : 0;
  abort_.WaitFor(env_.afterCloseMs);
  if (observer) observer->OnPauseAfterClose(platform::MonotonicUs() - start);
}

std::unique_ptr<comm::Connection> PollEngine::MakeConnection(const Run& run,
                                                             PollObserver* observer) {
  auto conn = std::make_unique<comm::Connection>(env_.timings, &abort_, env_.status);
  conn->SetObserver(observer);
  conn->SetPortMap(env_.ports);
  comm::ConnectionSettings cs;
  cs.modemInit = run.settings.modemInit;
  cs.dialPrefix = run.settings.dialPrefix;
  cs.directPort = run.settings.directPort;
  cs.directBaud = run.settings.directBaud;
  conn->SetSettings(cs);
  return conn;
}

PollEngine::Outcome PollEngine::PollJob(Run& run, Job& job, comm::Connection& c, int selector,
                                        PollLog& log) {
  if (env_.status) env_.status->SetRecorder(job.record.id);
  Outcome outcome;
  outcome.id = job.record.id;
  for (int attempt = 0; attempt < run.settings.retries; ++attempt) {
    SetResult("");
    if (abort_.load()) break;
    Emit(PollEvent::kAttempt, job.record.id, std::to_string(attempt + 1));
    LogBlock block;
    ++busy_;
    outcome.code = PollRecorder(run, job, c, selector, block);
    // The attempt's lines reach the log together, whatever the other lines are doing.
    log.Write(block);
    PauseAfterClose(dynamic_cast<PollObserver*>(c.observer()));
    --busy_;
    outcome.attempts = attempt + 1;
    if (outcome.code == 0 || outcome.code == kPollBadRecorderId) break;
  }
  SetOperation("Done");
  env_.recorders->EndJob(job.token);
  if (outcome.code != 0) ++failed_;
  ++done_;
  return outcome;
}

void PollEngine::RunLines(Run& run, PollLog& log, std::vector<Outcome>& outcomes) {
  // Measurement calls from several lines reach the benchmark's observer one at a time.
  std::optional<SharedObserver> shared;
  if (env_.observer) shared.emplace(env_.observer);
  PollObserver* observer = shared ? &*shared : nullptr;

  // Queues of groups of job numbers: one shared by the TCP/IP lines, one per serial port, one
  // shared by the modem ports. A line takes a whole group and polls its jobs one after the
  // other: the recorders reached at one TCP/IP address and port (a terminal server's port, a
  // recorder listed under two IDs) are one group, so that line is never used twice at once,
  // as a serial port is not. Queues and groups keep the list's order.
  struct Queue {
    std::mutex mu;
    std::deque<std::vector<std::size_t>> groups;
    std::vector<std::size_t> Next() {
      std::lock_guard l(mu);
      if (groups.empty()) return {};
      std::vector<std::size_t> g = std::move(groups.front());
      groups.pop_front();
      return g;
    }
  };
  Queue tcp, modem;
  std::map<int, Queue> serial;
  {
    std::map<std::pair<uint32_t, int32_t>, std::size_t> tcpGroupOf;
    auto probe = MakeConnection(run, nullptr);
    for (std::size_t j = 0; j < run.jobs.size(); ++j) {
      if (!run.direct) {
        modem.groups.push_back({j});
        continue;
      }
      const RecorderRecord& r = run.jobs[j].record;
      const int selector = comm::DirectPortOf(*probe, r);
      if (selector != comm::kTcpSelector) {
        serial[selector].groups.push_back({j});
        continue;
      }
      const auto [at, isNew] = tcpGroupOf.try_emplace({r.ipAddress, r.tcpPort}, tcp.groups.size());
      if (isNew) tcp.groups.emplace_back();
      tcp.groups[at->second].push_back(j);
    }
  }

  // A line takes the next group of its queue until the queue is empty; after an abort the
  // remaining jobs are taken without being polled, as one line does.
  auto serve = [&](Queue& q, std::optional<int> fixedSelector) {
    auto conn = MakeConnection(run, observer);
    for (std::vector<std::size_t> group = q.Next(); !group.empty(); group = q.Next()) {
      for (std::size_t j : group) {
        Job& job = run.jobs[j];
        const int selector = fixedSelector ? *fixedSelector : comm::DirectPortOf(*conn, job.record);
        outcomes[j] = PollJob(run, job, *conn, selector, log);
      }
    }
  };
  std::vector<std::thread> lines;
  const std::size_t tcpLines =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(1, env_.lines)), tcp.groups.size());
  for (std::size_t i = 0; i < tcpLines; ++i) lines.emplace_back(serve, std::ref(tcp), std::nullopt);
  for (auto& [port, q] : serial) lines.emplace_back(serve, std::ref(q), port);
  if (!modem.groups.empty()) {
    std::vector<int> ports{run.selector};
    for (int p : env_.extraModemPorts) {
      if (std::find(ports.begin(), ports.end(), p) == ports.end()) ports.push_back(p);
    }
    for (std::size_t i = 0; i < ports.size() && i < modem.groups.size(); ++i)
      lines.emplace_back(serve, std::ref(modem), ports[i]);
  }
  for (std::thread& t : lines) t.join();
}

void PollEngine::Thread(Run run) {
  const platform::LocalTime started = env_.clock->Now();
  PollLog log;
  Emit(PollEvent::kRunStart, "", std::to_string(run.jobs.size()));
  if (run.settings.dataFolder.empty()) {
    Emit(PollEvent::kError, "",
         "No data folder is set: the poll log and the recorders' files cannot be written. Set "
         "DataFolder in zel.dat (Properties).");
  } else {
    fs::path logFile = fs::path(run.settings.dataFolder) / PollLogName(started);
    if (!log.Open(logFile)) {
      std::error_code ec;
      Emit(PollEvent::kError, "",
           "Cannot write the poll log " + logFile.string() +
               (fs::is_directory(run.settings.dataFolder, ec)
                    ? ": the data folder is not writable."
                    : ": the data folder does not exist. Create it or choose another one."));
    }
    std::lock_guard l(mu_);
    logPath_ = logFile;
  }

  if (env_.lines > 1 || !env_.extraModemPorts.empty()) {
    std::vector<Outcome> outcomes(run.jobs.size());
    RunLines(run, log, outcomes);
    std::lock_guard l(mu_);
    outcomes_ = std::move(outcomes);
  } else {
    // One line: every recorder after the other, in the list's order.
    auto conn = MakeConnection(run, env_.observer);
    for (Job& job : run.jobs) {
      int selector = run.selector;
      if (run.direct) selector = comm::DirectPortOf(*conn, job.record);
      Outcome outcome = PollJob(run, job, *conn, selector, log);
      std::lock_guard l(mu_);
      outcomes_.push_back(outcome);
    }
  }
  log.Close();
  Emit(PollEvent::kRunEnd, "", "");
  running_ = false;
}

int PollEngine::PollRecorder(Run& run, Job& job, comm::Connection& c, int selector, LogBlock& log) {
  const RecorderRecord& r = job.record;
  const platform::LocalTime now = env_.clock->Now();
  log += TimeStamp(now) + " Polling:" + r.id + "\n";

  if (job.duplicateId) {
    log += "ERROR - duplicate recorder ID\n";
    Emit(PollEvent::kError, r.id,
         "duplicate recorder ID: an earlier recorder in the list has the ID \"" + r.id +
             "\", so this one is not polled. Give it an ID of its own.");
    log += " \n";
    Emit(PollEvent::kResult, r.id, "Recorder ID repeats an earlier recorder's ID",
         kPollBadRecorderId);
    return kPollBadRecorderId;
  }

  // Steps that file something need the recorder's folder; an ID that cannot name one is
  // refused before anything is sent.
  constexpr uint32_t kFileSteps =
      kOpPollSetup | kOpDownloadSetup | kOpUploadSetup | kOpPollEvents | kOpPollQuery;
  std::optional<fs::path> folder;
  if (run.ops & kFileSteps) {
    FolderResult f = EnsureRecorderFolder(run.settings.dataFolder, r.id);
    if (!f) {
      log += "ERROR - " + f.error + "\n";
      Emit(PollEvent::kError, r.id, f.error);
      log += " \n";
      Emit(PollEvent::kResult, r.id, PollResultSentence(kPollBadRecorderId, ""),
           kPollBadRecorderId);
      return kPollBadRecorderId;
    }
    folder = *f.path;
  }

  auto step = [&](const char* name) {
    SetOperation(name);
    Emit(PollEvent::kStep, r.id, name);
  };

  c.TakeFileError();
  int code = comm::Code(c.OpenConnection(
      selector, run.baud, run.direct ? std::nullopt : std::optional<std::string>(r.phone)));
  if (code == 0 && (run.ops & kOpLogin)) {
    step("Login");
    code = comm::Login(c, selector, r);
    if (code == 0 && run.settings.clockSync) {
      const int today = DayNumberOf(env_.clock->Now());
      if (today != r.clockSetDay) {
        step("Set Clock");
        comm::SetClock(c, selector, r, *env_.clock);
        // Only while the record still belongs to this job (a newer run may own it).
        env_.recorders->UpdateJob(job.token,
                                  [today](RecorderRecord& rec) { rec.clockSetDay = today; });
        job.record.clockSetDay = today;
      }
    }
  }
  if (code == 0 && (run.ops & kOpPollSetup)) {
    step("Poll Setup");
    code = PollSetup(run, job, c, selector, *folder, log);
  }
  if (code == 0 && (run.ops & kOpDownloadSetup)) {
    step("Download Setup");
    fs::path target = *folder / comm::kSetupFileName;
    std::string why;
    code = comm::DownloadSetup(c, selector, r, target, &why);
    LogError(log, r.id, why);
    if (code == 0) {
      std::lock_guard l(mu_);
      newFiles_.push_back(target);
    }
  }
  if (code == 0 && (run.ops & kOpUploadSetup)) {
    step("Upload Setup");
    RecorderList* list = env_.recorders;
    std::string why;
    code = comm::UploadSetup(
        c, selector, r, *folder,
        [list](const std::string& id, const std::string& password) {
          list->UpdateById(
              id, [&](RecorderRecord& rec) { rec.password = password.substr(0, kMaxPassword); });
        },
        &why);
    LogError(log, r.id, why);
  }
  if (code == 0 && (run.ops & kOpPollEvents)) {
    step("Poll Events");
    code = PollEvents(run, job, c, selector, *folder, log);
  }
  if (code == 0 && (run.ops & kOpPollQuery)) {
    step("Poll Query");
    code = PollQuery(run, job, c, selector, log);
  }
  if (code == 0 && (run.ops & kOpLogoff)) {
    step("Logoff");
    code = comm::Logoff(c, selector, r);
    if (code == 0 && (run.ops & kOpQuickPlot) && env_.launcher &&
        !run.query.quickPlotCommand.empty()) {
      env_.launcher->Start(run.query.quickPlotCommand, folder ? folder->string() : "",
                           platform::WindowMode::Normal);
    }
  }

  // A file that could not be written (a full disk) is said on the console and in the log; the
  // result line keeps its text.
  if (const std::string fileError = c.TakeFileError(); code != 0 && !fileError.empty()) {
    log += "ERROR - " + fileError + "\n";
    Emit(PollEvent::kError, r.id, fileError);
  }
  const std::string text = PollResultText(code);
  if (code >= 0 && code <= 8) SetResult(text);
  log += " " + text + "\n";
  Emit(PollEvent::kResult, r.id, PollResultSentence(code, c.LineName(selector)), code);
  c.CloseConnection(selector);
  return code;
}

int PollEngine::PollSetup(Run&, Job& job, comm::Connection& c, int selector, const fs::path& folder,
                          LogBlock& log) {
  const RecorderRecord& r = job.record;
  const fs::path fresh = folder / "new_setupdata.bin";
  const fs::path saved = folder / comm::kSetupFileName;
  std::string why;
  int code = comm::DownloadSetup(c, selector, r, fresh, &why);
  LogError(log, r.id, why);
  if (code == comm::kPollAborted) return code;
  if (code != 0) return comm::kPollTransferFailed;
  std::error_code ec;
  if (fs::exists(saved, ec)) {
    SetupDatabase a(r.type), b(r.type);
    if (a.valid() && a.LoadFile(saved) && b.LoadFile(fresh) && !a.Equals(b)) {
      log += "WARNING - setup database does not match saved version\n";
      Emit(PollEvent::kWarning, r.id, "setup database does not match saved version");
    }
  } else {
    fs::rename(fresh, saved, ec);
    if (ec) {
      Emit(PollEvent::kError, r.id,
           "Cannot rename " + fresh.string() + " to " + saved.string() + ": " + ec.message());
      return comm::kPollTransferFailed;
    }
    std::lock_guard l(mu_);
    newFiles_.push_back(saved);
  }
  return 0;
}

int PollEngine::PollEvents(Run& run, Job& job, comm::Connection& c, int selector,
                           const fs::path& folder, LogBlock& log) {
  const RecorderRecord& r = job.record;
  const platform::LocalTime pollTime = env_.clock->Now();
  if (!InProtocolSet(r.type)) return abort_.load() ? comm::kPollAborted : comm::kPollTransferFailed;
  if (!comm::EnterQueryMode(c, selector, r)) return comm::kPollTransferFailed;

  const int today = DayNumberOf(pollTime);
  std::vector<int> days;
  if (run.daysBack <= 0) {
    days.push_back(today);
  } else {
    for (int d = today - run.daysBack; d < today; ++d) days.push_back(d);
  }
  int code = 0;
  for (int d : days) {
    std::string why;
    code = comm::QueryDay(c, selector, r, d, pollTime, folder, &why);
    LogError(log, r.id, why);
    if (code != 0) break;
    const fs::path file = folder / comm::EventFileName(LocalDateOfDayNumber(d), pollTime);
    {
      std::lock_guard l(mu_);
      newFiles_.push_back(file);
    }
    Emit(PollEvent::kFile, r.id, file.string());
    if (run.settings.makeText) {
      const fs::path report = ReportPathBeside(file, run.settings.useTxtFile != 0);
      ReportResult rr = MakeReport(r, run.settings.dataFolder, file, report);
      if (rr.ok()) {
        Emit(PollEvent::kFile, r.id, report.string());
      } else {
        Emit(PollEvent::kError, r.id, "No report of " + file.string() + ": " + rr.error);
      }
    }
    if (abort_.load()) break;
  }
  comm::LeaveQueryMode(c, selector, r);
  if (abort_.load()) return comm::kPollAborted;
  return code == 0 ? 0 : comm::kPollTransferFailed;
}

int PollEngine::PollQuery(Run& run, Job& job, comm::Connection& c, int selector, LogBlock& log) {
  const RecorderRecord& r = job.record;
  const QueryTarget& q = run.query;
  if (q.folder.empty() || q.fileName.empty()) {
    Emit(PollEvent::kError, r.id, "No query interval and file were chosen for this poll.");
    return comm::kPollTransferFailed;
  }
  std::error_code ec;
  fs::create_directories(q.folder, ec);
  if (!comm::EnterQueryMode(c, selector, r)) return comm::kPollTransferFailed;
  const fs::path target = q.folder / q.fileName;
  std::string why;
  int code = comm::QueryInterval(c, selector, r, q.start, q.end, target, &why);
  LogError(log, r.id, why);
  comm::LeaveQueryMode(c, selector, r);
  if (code == 0) {
    std::lock_guard l(mu_);
    newFiles_.push_back(target);
  }
  if (code == 0) Emit(PollEvent::kFile, r.id, target.string());
  return code == 0 ? 0 : comm::kPollTransferFailed;
}

}  // namespace zel::core
