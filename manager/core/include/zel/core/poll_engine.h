// The poll engine: a poll run visits a list of recorders one after another on a worker thread,
// connects, runs the requested recorder steps in their fixed order, files what it receives
// under the data folder, writes the day's poll log and retries failed recorders.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "zel/comm/connection.h"
#include "zel/comm/protocol.h"
#include "zel/comm/status.h"
#include "zel/comm/timings.h"
#include "zel/core/recorder_list.h"
#include "zel/core/settings.h"
#include "zel/platform/clock.h"
#include "zel/platform/launcher.h"
#include "zel/recorder.h"

namespace zel::core {

// Operation flags of a poll run; the steps run in this order, each only when its flag is set.
inline constexpr uint32_t kOpLogin = 0x001;
inline constexpr uint32_t kOpPollSetup = 0x008;
inline constexpr uint32_t kOpDownloadSetup = 0x010;
inline constexpr uint32_t kOpUploadSetup = 0x020;
inline constexpr uint32_t kOpPollEvents = 0x040;
inline constexpr uint32_t kOpPollQuery = 0x080;
inline constexpr uint32_t kOpLogoff = 0x100;
inline constexpr uint32_t kOpQuickPlot = 0x200;

inline constexpr uint32_t kOpsEventsPoll = 329;     // login, poll setup, poll events, log off
inline constexpr uint32_t kOpsSetupDownload = 273;  // login, download setup, log off
inline constexpr uint32_t kOpsSetupUpload = 289;    // login, upload setup, log off
inline constexpr uint32_t kOpsQuery = 385;          // login, poll query, log off
inline constexpr uint32_t kOpsQuickPlot = 905;      // login, poll setup, poll query, log off, plot

// Results of polling one recorder. The numbers are stored and logged (the poll log, the 0-8
// result code); a failed connection may also leave a connection result (comm::ConnectResult:
// a negative code, or a socket error from 10000 on).
enum class PollResult : int {
  kSuccess = 0,
  kNoModem = 1,
  kBusy = 2,
  kNoCarrier = 3,
  kNoConnect = 4,
  kNoLogin = 5,
  kWrongPassword = 6,
  kXmodemFail = 7,
  kAborted = 8,
  // The ID cannot name a folder, or repeats an earlier recorder's ID: nothing is fetched or
  // written for it.
  kBadRecorderId = 9,
};
constexpr int Code(PollResult r) { return static_cast<int>(r); }
constexpr bool operator==(PollResult r, int code) { return Code(r) == code; }

static_assert(Code(PollResult::kNoLogin) == comm::kPollNoLogin &&
              Code(PollResult::kWrongPassword) == comm::kPollWrongPassword &&
              Code(PollResult::kXmodemFail) == comm::kPollTransferFailed &&
              Code(PollResult::kAborted) == comm::kPollAborted &&
              Code(PollResult::kNoConnect) == comm::Code(comm::ConnectResult::kNoConnect) &&
              Code(PollResult::kBusy) == comm::Code(comm::ConnectResult::kBusy));

inline constexpr int kPollBadRecorderId = Code(PollResult::kBadRecorderId);

// "Success", "No Modem", ... "Poll Aborted" for 0-8 (the poll log's texts); empty for any
// other code.
std::string PollResultText(int code);
inline std::string PollResultText(PollResult r) { return PollResultText(Code(r)); }
// What a person reads on the console for a result code: the texts above for 0-8, a sentence
// for the others ("Recorder ID cannot name a folder", "Connection refused by ...": `line` is the
// line the connection was tried on).
std::string PollResultSentence(int code, const std::string& line);

// Where a poll run's time goes, for the benchmarks: the connection's waits, and the pauses
// after each connection.
class PollObserver : public comm::ConnectionObserver {
 public:
  virtual void OnPauseAfterClose(int64_t us) { (void)us; }
};
// The observer the poll benchmark installs: sums in microseconds.
struct RunTimes {
  comm::WaitTimes waits;
  int64_t pauseUs = 0;
};
class RunTimeRecorder : public PollObserver {
 public:
  void OnLineWait(bool answered, int64_t us) override {
    (answered ? t_.waits.answeredUs : t_.waits.idleUs) += us;
  }
  void OnLineIo(int64_t us) override { t_.waits.lineIoUs += us; }
  void OnDiskSync(int64_t us) override { t_.waits.diskSyncUs += us; }
  void OnPauseAfterClose(int64_t us) override { t_.pauseUs += us; }
  // Read once the run has ended.
  const RunTimes& times() const { return t_; }
  void Reset() { t_ = {}; }

 private:
  RunTimes t_;
};
// "Poll_log_%02d%02d%02d.txt" with year % 100, month and day.
std::string PollLogName(const platform::LocalTime& day);
// Day number (days since 1 January 2000) of a local date.
int DayNumberOf(const platform::LocalTime& t);

// Interval, folder and file of the Poll Query step, and the quick-plot command line that a
// run with kOpQuickPlot starts after every step succeeded.
struct QueryTarget {
  platform::LocalTime start;
  platform::LocalTime end;
  std::filesystem::path folder;
  std::string fileName;
  std::string quickPlotCommand;
};

// What the run reports as it goes (for the console and for tests); called on the poll thread.
struct PollEvent {
  enum Kind { kRunStart, kAttempt, kStep, kResult, kFile, kWarning, kError, kRunEnd } kind;
  std::string recorder;
  std::string text;  // step name, result text, file path, or message
  int code = 0;      // result code for kResult
};

// The poll log: one file in the data folder, opened for appending for the whole run. Each
// attempt's lines are gathered and appended as one block, so attempts on several lines at once
// never interleave inside a block.
class PollLog {
 public:
  bool Open(const std::filesystem::path& file);
  bool IsOpen() const;
  void Write(const std::string& text);
  void Close();
  ~PollLog() { Close(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  mutable std::mutex mu_;
  std::FILE* f_ = nullptr;
  std::filesystem::path path_;
};

// How far a run has got, for a progress line: recorders finished (all attempts made), of those
// the failed ones, and the lines in an attempt at this moment.
struct PollProgress {
  std::size_t total = 0;
  std::size_t done = 0;
  std::size_t failed = 0;
  std::size_t busy = 0;
};
// "312 of 2000 done, 8 failed, 64 lines busy".
std::string ProgressLine(const PollProgress& p);

class PollEngine {
 public:
  struct Environment {
    RecorderList* recorders = nullptr;       // the station manager's list (required)
    platform::Clock* clock = nullptr;        // local time (required)
    platform::Launcher* launcher = nullptr;  // quick plot; may be null
    comm::StatusTexts* status = nullptr;     // may be null
    comm::Timings timings;
    comm::PortMap ports;
    int afterCloseMs = 3000;           // pause after closing each attempt's connection
    PollObserver* observer = nullptr;  // measurement (benchmarks); null in production
    // Recorders on TCP/IP are polled over up to `lines` connections at once, never two at once
    // at one address and port; 1 polls every recorder one after another on one line. With
    // more than one, recorders on a serial line are polled one at a time per port alongside,
    // and a modem run calls over the modem port and every port of `extraModemPorts`
    // (0-based), one call per port at a time.
    int lines = 1;
    std::vector<int> extraModemPorts;
  };

  explicit PollEngine(Environment env);
  ~PollEngine();
  PollEngine(const PollEngine&) = delete;
  PollEngine& operator=(const PollEngine&) = delete;

  // Starts a run: stops a running one, copies the recorders (every one when `all`, else those
  // whose listState is non-zero) into jobs and starts the poll thread. `settings` is copied.
  void StartPoll(const StationSettings& settings, bool all, bool direct, uint32_t ops,
                 int days_back);
  // Sets the abort flag, waits for the thread to end, clears the flag.
  void StopPoll();
  // Asks the running poll to stop (the Abort command); does not wait.
  void Abort() { abort_.store(1); }
  bool Running() const;
  // Waits for the running poll to end by itself.
  void Wait();

  // Interval and target of the Poll Query step (set before StartPoll).
  void SetQuery(QueryTarget q);

  // Observer of the run's progress; set before StartPoll.
  std::function<void(const PollEvent&)> onEvent;

  // Result of the last attempt on each recorder of the last run, in job order.
  struct Outcome {
    std::string id;
    int code = -1;  // -1: not polled (Retries 0 or aborted before)
    int attempts = 0;
  };
  std::vector<Outcome> LastOutcomes() const;
  std::filesystem::path LastLogPath() const;
  std::vector<std::filesystem::path> LastNewFiles() const;
  // Progress of the running (or the last) run; safe from any thread.
  PollProgress Progress() const;

  comm::AbortFlag& abort_flag() { return abort_; }

 private:
  struct Job {
    RecorderRecord record;
    uint64_t token = 0;
    bool duplicateId = false;  // an earlier recorder of the list has the same ID
  };
  struct Run {
    StationSettings settings;
    bool direct = false;
    uint32_t ops = 0;
    int daysBack = 0;
    int selector = 0;
    int baud = 0;
    QueryTarget query;
    std::vector<Job> jobs;
  };

  // The lines of one attempt in the poll log, gathered and appended as one block.
  using LogBlock = std::string;

  void Thread(Run run);
  // One connection with the run's settings; every line of a run has its own.
  std::unique_ptr<comm::Connection> MakeConnection(const Run& run, PollObserver* observer);
  // Several recorders at once: one worker per TCP/IP line, per serial port, per modem port.
  void RunLines(Run& run, PollLog& log, std::vector<Outcome>& outcomes);
  // Every attempt on one recorder (up to Retries), on the connection of the line it runs on.
  Outcome PollJob(Run& run, Job& job, comm::Connection& c, int selector, PollLog& log);
  int PollRecorder(Run& run, Job& job, comm::Connection& c, int selector, LogBlock& log);
  int PollSetup(Run& run, Job& job, comm::Connection& c, int selector,
                const std::filesystem::path& folder, LogBlock& log);
  int PollEvents(Run& run, Job& job, comm::Connection& c, int selector,
                 const std::filesystem::path& folder, LogBlock& log);
  int PollQuery(Run& run, Job& job, comm::Connection& c, int selector, LogBlock& log);
  // "ERROR - why" in the poll log and an error event; nothing when `why` is empty.
  void LogError(LogBlock& log, const std::string& recorder, const std::string& why);
  void Emit(PollEvent::Kind kind, const std::string& recorder, const std::string& text,
            int code = 0);
  void SetOperation(const std::string& s);
  void SetResult(const std::string& s);
  void PauseAfterClose(PollObserver* observer);

  Environment env_;
  comm::AbortFlag abort_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  QueryTarget query_;
  std::mutex emitMu_;  // one event at a time reaches onEvent
  std::atomic<std::size_t> total_{0}, done_{0}, failed_{0}, busy_{0};
  mutable std::mutex mu_;  // guards outcomes_, logPath_, newFiles_, query_
  std::vector<Outcome> outcomes_;
  std::filesystem::path logPath_;
  std::vector<std::filesystem::path> newFiles_;
};

}  // namespace zel::core
