#include "zel/sim/recorder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <random>
#include <string_view>

#include "zel/value_format.h"

namespace zel::sim {
namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kLf = 0x0A;
constexpr size_t kMaxPassword = 32;
constexpr size_t kMaxQueryLine = 80;
constexpr size_t kMaxUpload = 1 << 20;  // far above any model's setup database

using Steady = std::chrono::steady_clock;

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now().time_since_epoch())
      .count();
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Reads "a<sep>b<sep>c" numbers; returns false unless exactly `n` numbers separated as given.
bool ParseNumbers(std::string_view s, size_t& pos, int* out, int n, char sep) {
  for (int i = 0; i < n; ++i) {
    if (i > 0) {
      if (pos >= s.size() || s[pos] != sep) return false;
      ++pos;
    }
    if (pos >= s.size() || s[pos] < '0' || s[pos] > '9') return false;
    long v = 0;
    int digits = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
      v = v * 10 + (s[pos] - '0');
      if (++digits > 4) return false;
      ++pos;
    }
    out[i] = static_cast<int>(v);
  }
  return true;
}

bool ValidTime(int h, int m, int s) {
  return h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 60;
}

}  // namespace

int64_t CivilMs(int year, int month, int day, int hour, int minute, int second) {
  return (DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second) * 1000;
}

int64_t LocalCivilNowMs() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  const int64_t ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return CivilMs(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec) +
         ms;
}

Recorder::Recorder(const RecorderConfig& config, const SimModel& model)
    : config_(config),
      model_(model),
      source_(model, config.seed, config.events_per_day),
      setup_(config.type) {
  clock_offset_ms_ = LocalCivilNowMs() - SteadyMs();
}

std::unique_ptr<Recorder> Recorder::Create(const RecorderConfig& config, std::string* error) {
  const SimModel* model = FindSimModel(config.type);
  if (model == nullptr) {
    if (error) *error = "model type " + std::to_string(config.type) + " cannot be simulated";
    return nullptr;
  }
  std::unique_ptr<Recorder> r(new Recorder(config, *model));
  if (!r->setup_.valid()) {
    if (error) *error = "model type " + std::to_string(config.type) + " has no setup database";
    return nullptr;
  }
  r->setup_.RestoreFactoryDefaults();
  if (!config.setup_file.empty()) {
    std::error_code ec;
    auto size = std::filesystem::file_size(config.setup_file, ec);
    if (ec || !r->setup_.LoadFile(config.setup_file)) {
      if (error) *error = "cannot read the setup database " + config.setup_file;
      return nullptr;
    }
    if (size < r->setup_.FieldLength()) {
      if (error)
        *error = "the setup database " + config.setup_file + " is too short for this model (" +
                 std::to_string(size) + " of " + std::to_string(r->setup_.FieldLength()) +
                 " bytes)";
      return nullptr;
    }
  }
  if (!config.password.empty()) r->setup_.SetAdministrativePassword(config.password);
  r->password_ = r->setup_.AdministrativePassword();
  return r;
}

std::vector<uint8_t> Recorder::SetupImage() const {
  std::lock_guard<std::mutex> lock(mu_);
  return setup_.SaveBytes();
}

std::string Recorder::Password() const {
  std::lock_guard<std::mutex> lock(mu_);
  return password_;
}

bool Recorder::AcceptSetup(const std::vector<uint8_t>& image) {
  zel::SetupDatabase fresh(config_.type);
  if (image.size() < fresh.FieldLength()) return false;
  fresh.LoadBytes(image);
  std::lock_guard<std::mutex> lock(mu_);
  setup_ = fresh;
  password_ = setup_.AdministrativePassword();
  return true;
}

int64_t Recorder::NowMs() const {
  std::lock_guard<std::mutex> lock(mu_);
  return SteadyMs() + clock_offset_ms_;
}

void Recorder::SetClockMs(int64_t civil_ms) {
  std::lock_guard<std::mutex> lock(mu_);
  clock_offset_ms_ = civil_ms - SteadyMs();
  clock_set_ = true;
}

bool Recorder::ClockWasSet() const {
  std::lock_guard<std::mutex> lock(mu_);
  return clock_set_;
}

std::vector<uint8_t> Recorder::QueryFile(int64_t start_ms, int64_t end_ms) const {
  const int64_t now = NowMs();
  // Events are recorded up to the present; the end second is taken whole.
  const int64_t to = std::min(end_ms + 1000, now);
  const std::vector<SimEvent> ev = source_.Events(start_ms, to);
  if (ev.empty()) return {};
  return BuildEventFile(model_, start_ms, end_ms, source_.StatesAt(start_ms), ev);
}

RecorderStats Recorder::Stats() const {
  std::lock_guard<std::mutex> lock(mu_);
  return stats_;
}

void Recorder::Count(int RecorderStats::*field) {
  std::lock_guard<std::mutex> lock(mu_);
  ++(stats_.*field);
}

std::string Recorder::ValueText(int analog, int value) const {
  int range = 0;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (setup_.Has(SetupField::kAnalogRange)) range = setup_.AnalogRange(analog);
  }
  std::string s = zel::ShowThreshold(range, value);
  return s.empty() ? std::to_string(value) : s;
}

int Recorder::ScaledMs(int ms) const {
  return std::max(1, static_cast<int>(std::lround(ms * config_.scale)));
}

XmodemTimes Recorder::Xmodem() const { return XmodemTimes{}.Scaled(config_.scale); }

// One connection's view of the recorder: where the user is in the menus.
class Session {
 public:
  Session(Recorder& r, Link& line, const std::atomic<bool>& stop, unsigned connection)
      : r_(r),
        line_(line),
        stop_(stop),
        rng_(static_cast<unsigned>(r.config().seed ^ 0x5EED) + connection),
        dup_rng_(static_cast<unsigned>(r.config().seed * 7919 + 17) + connection) {}

  void Run();

 private:
  enum class State {
    kLoggedOut,
    kPassword,
    kMenu,
    kClock,
    kClockConfirm,
    kUploadConfirm,
    kQuery,
    kQueryLine,
    kLive,
    kRealtime
  };

  void Say(std::string_view text) {
    if (!line_.Write(text)) gone_ = true;
  }
  void Feed(uint8_t b);
  void FeedLoggedOut(uint8_t b);
  void FeedPassword(uint8_t b);
  void FeedMenu(uint8_t b);
  void FeedClock(uint8_t b);
  void ClockKey(uint8_t key);
  void FeedQuery(uint8_t b);
  void RunQuery();
  void SendSetup();
  void ReceiveSetup();
  void MenuPrompt() { Say("\r\n> "); }
  void LogOff();
  bool CheckLogoff(uint8_t b);
  void StartLive();
  void StartRealtime();
  void Stream();
  int64_t TicksOfDay(int64_t ms) const {
    const int tick_ms = 1000 / r_.model().layout->ticks_per_second;
    return (ms - FloorDiv(ms, kMsPerDay) * kMsPerDay) / tick_ms;
  }
  int LiveState(int position) const;

  Recorder& r_;
  Link& line_;
  const std::atomic<bool>& stop_;
  SenderFaults Duplicates() {
    const RecorderConfig& c = r_.config();
    return SenderFaults{c.duplicate_rate, &dup_rng_, c.endless_transfers,
                        c.drip_ms > 0 ? r_.ScaledMs(c.drip_ms) : 0, &stop_};
  }

  std::mt19937 rng_;
  std::mt19937 dup_rng_;
  State state_ = State::kLoggedOut;
  bool gone_ = false;
  // Two-letter commands and the wake-up
  uint8_t prev_ = 0;
  uint8_t prev2_ = 0;
  int esc_run_ = 0;
  std::string entry_;
  // Clock editor: hour, minute, second / month, day, year
  int clock_[2][3] = {};
  int row_ = 0, col_ = 0;
  bool typing_ = false;
  int csi_ = 0;  // 0 none, 1 after ESC, 2 after ESC [
  // Streams
  std::vector<uint8_t> levels_;
  int64_t next_change_ = 0;
  int64_t next_mark_ = 0;
};

void Recorder::Serve(Link& line, const std::atomic<bool>& stop) {
  unsigned connection;
  {
    std::lock_guard<std::mutex> lock(mu_);
    connection = static_cast<unsigned>(++stats_.connections);
  }
  if (config_.faults.corrupt_rate > 0 || config_.faults.drop_rate > 0 ||
      config_.faults.disconnect_after >= 0 || config_.faults.bytes_per_second > 0) {
    FaultConfig f = config_.faults;
    f.seed = f.seed + connection * 131u;
    FaultyLink faulty(line, f);
    Session(*this, faulty, stop, connection).Run();
    FaultCounts c = faulty.Counts();
    std::lock_guard<std::mutex> lock(mu_);
    stats_.line.sent += c.sent;
    stats_.line.corrupted += c.corrupted;
    stats_.line.dropped += c.dropped;
    stats_.line.received += c.received;
    return;
  }
  Session(*this, line, stop, connection).Run();
}

void Session::Run() {
  const int babble = r_.config().babble_ms > 0 ? r_.ScaledMs(r_.config().babble_ms) : 0;
  const int step = std::clamp(r_.ScaledMs(50), 5, 50);
  int64_t next_babble = SteadyMs() + babble;
  while (!stop_.load() && !gone_ && !line_.IsClosed()) {
    if (babble > 0 && SteadyMs() >= next_babble) {
      // A line that never falls quiet: noise between everything the recorder says.
      Say("~");
      next_babble = SteadyMs() + babble;
    }
    int b = line_.ReadByte(babble > 0 ? std::min(step, babble) : step);
    if (b == kClosed) break;
    if (r_.config().no_answer) continue;
    if (b >= 0) {
      Feed(static_cast<uint8_t>(b));
    } else if (csi_ == 1 && (state_ == State::kClock)) {
      // A lone ESC at the end of the input.
      csi_ = 0;
      ClockKey(kEsc);
    }
    if (state_ == State::kLive || state_ == State::kRealtime) Stream();
  }
}

void Session::Feed(uint8_t b) {
  switch (state_) {
    case State::kLoggedOut:
      FeedLoggedOut(b);
      break;
    case State::kPassword:
      FeedPassword(b);
      break;
    case State::kMenu:
      FeedMenu(b);
      break;
    case State::kClock:
      FeedClock(b);
      break;
    case State::kClockConfirm:
      if (b == 'Y' || b == 'y' || b == 'N' || b == 'n') {
        const bool save = b == 'Y' || b == 'y';
        const int h = clock_[0][0], mi = clock_[0][1], s = clock_[0][2];
        const int mo = clock_[1][0], d = clock_[1][1], y = clock_[1][2];
        if (save && y >= 0 && y <= 99 && ValidTime(h, mi, s) && ValidDate(2000 + y, mo, d)) {
          r_.SetClockMs(CivilMs(2000 + y, mo, d, h, mi, s));
          r_.Count(&RecorderStats::clock_sets);
          Say("\r\nClock set\r\n");
        } else if (save) {
          Say("\r\nInvalid time, clock not changed\r\n");
        }
        state_ = State::kMenu;
        MenuPrompt();
      } else if (CheckLogoff(b)) {
      }
      break;
    case State::kUploadConfirm:
      if (b == 'Y' || b == 'y') {
        ReceiveSetup();
      } else if (b == 'N' || b == 'n' || b == kEsc) {
        state_ = State::kMenu;
        MenuPrompt();
      }
      break;
    case State::kQuery:
    case State::kQueryLine:
      FeedQuery(b);
      break;
    case State::kLive:
    case State::kRealtime:
      if (b == kEsc) {
        state_ = State::kQuery;
        esc_run_ = 0;
        Say("\r\n?");
      } else {
        CheckLogoff(b);
      }
      break;
  }
  prev2_ = prev_;
  prev_ = b;
}

// "XY" anywhere in the menus logs off; returns true when it did.
bool Session::CheckLogoff(uint8_t b) {
  if (b == 'Y' && prev_ == 'X') {
    LogOff();
    return true;
  }
  return false;
}

void Session::LogOff() {
  state_ = State::kLoggedOut;
  entry_.clear();
  Say("\r\nLogged off\r\n");
}

void Session::FeedLoggedOut(uint8_t b) {
  // The wake-up is ESC ... "XY" ESC: the ESC after "XY" brings the password prompt.
  if (b == kEsc && prev_ == 'Y' && prev2_ == 'X') {
    entry_.clear();
    state_ = State::kPassword;
    Say(r_.config().prompt);
  }
}

void Session::FeedPassword(uint8_t b) {
  if (b == kCr) {
    if (entry_ == r_.Password()) {
      r_.Count(&RecorderStats::logins);
      state_ = State::kMenu;
      entry_.clear();
      const SimModel& m = r_.model();
      std::string unit;
      {
        std::lock_guard<std::mutex> lock(r_.mu_);
        unit = r_.setup_.UnitName();
      }
      Say("\r\n" +
          std::string(m.layout->header_line, static_cast<size_t>(m.layout->LineLength() - 1)) +
          " recorder, unit " + unit + "\r\nMain menu");
      MenuPrompt();
    } else {
      r_.Count(&RecorderStats::bad_passwords);
      entry_.clear();
      Say("\r\nInvalid password\r\n");
      Say(r_.config().prompt);
    }
    return;
  }
  if (b == kEsc) {
    // Leaves the prompt; a new wake-up brings it back.
    state_ = State::kLoggedOut;
    entry_.clear();
    return;
  }
  if (b == 0x08 || b == 0x7F) {
    if (!entry_.empty()) entry_.pop_back();
    return;
  }
  if (b == kLf) return;
  if (entry_.size() < kMaxPassword) entry_.push_back(static_cast<char>(b));
}

void Session::FeedMenu(uint8_t b) {
  if (CheckLogoff(b)) return;
  if (b == 'T' && prev_ == 'S') {
    state_ = State::kClock;
    const int64_t now = r_.NowMs();
    const int64_t day = FloorDiv(now, kMsPerDay);
    int y, mo, d;
    CivilFromDays(day, y, mo, d);
    const int64_t sec = (now - day * kMsPerDay) / 1000;
    clock_[0][0] = static_cast<int>(sec / 3600);
    clock_[0][1] = static_cast<int>(sec / 60 % 60);
    clock_[0][2] = static_cast<int>(sec % 60);
    clock_[1][0] = mo;
    clock_[1][1] = d;
    clock_[1][2] = y % 100;
    row_ = col_ = 0;
    typing_ = false;
    csi_ = 0;
    char text[96];
    std::snprintf(text, sizeof text, "\r\nSet time  %02d:%02d:%02d  date %02d-%02d-%02d\r\n",
                  clock_[0][0], clock_[0][1], clock_[0][2], mo, d, y % 100);
    Say(text);
    return;
  }
  if (b == 'D' && prev_ == 'T') {
    SendSetup();
    return;
  }
  if (b == 'U' && prev_ == 'T') {
    state_ = State::kUploadConfirm;
    Say("\r\nReceive a new setup database (Y/N) ");
    return;
  }
  if (b == '|') {
    state_ = State::kQuery;
    esc_run_ = 0;
    Say("\r\n?");
    return;
  }
  if (b == kCr) MenuPrompt();
}

void Session::FeedClock(uint8_t b) {
  if (csi_ == 1) {
    if (b == '[') {
      csi_ = 2;
      return;
    }
    csi_ = 0;
    ClockKey(kEsc);
    if (state_ != State::kClock) {
      Feed(b);
      return;
    }
  } else if (csi_ == 2) {
    csi_ = 0;
    ClockKey(b == 'A' || b == 'B' || b == 'C' || b == 'D' ? static_cast<uint8_t>(0x80 | b) : 0);
    return;
  }
  if (b == kEsc) {
    csi_ = 1;
    return;
  }
  ClockKey(b);
}

// Keys of the clock editor: digits edit the field under the cursor, cursor keys (0x80 | letter)
// move it, CR or ESC end the entry and ask whether to keep it.
void Session::ClockKey(uint8_t key) {
  if (key >= '0' && key <= '9') {
    int& f = clock_[row_][col_];
    f = typing_ ? std::min(f * 10 + (key - '0'), 9999) : key - '0';
    typing_ = true;
    return;
  }
  switch (key) {
    case 0x80 | 'C':
      col_ = std::min(col_ + 1, 2);
      break;
    case 0x80 | 'D':
      col_ = std::max(col_ - 1, 0);
      break;
    case 0x80 | 'B':
      row_ = 1;
      break;
    case 0x80 | 'A':
      row_ = 0;
      break;
    case kCr:
    case kEsc:
      state_ = State::kClockConfirm;
      Say("\r\nSave the new time (Y/N) ");
      return;
    default:
      return;  // other keys do nothing in the editor
  }
  typing_ = false;
}

void Session::SendSetup() {
  r_.Count(&RecorderStats::setup_downloads);
  Say("\r\nSending the setup database\r\n");
  std::vector<uint8_t> image = r_.SetupImage();
  if (r_.config().setup_answer == RecorderConfig::SetupAnswer::kEotOnly) image.clear();
  if (r_.config().setup_answer == RecorderConfig::SetupAnswer::kOneBlock) image.resize(128);
  XmodemResult res = XmodemSend(line_, image, r_.Xmodem(), Duplicates());
  if (res != XmodemResult::kOk) r_.Count(&RecorderStats::failed_transfers);
  if (res == XmodemResult::kLineGone) gone_ = true;
  state_ = State::kMenu;
}

void Session::ReceiveSetup() {
  std::vector<uint8_t> image;
  XmodemResult res = XmodemReceive(line_, image, r_.Xmodem(), kMaxUpload);
  state_ = State::kMenu;
  if (res == XmodemResult::kLineGone) {
    gone_ = true;
    r_.Count(&RecorderStats::failed_transfers);
    return;
  }
  if (res != XmodemResult::kOk) {
    r_.Count(&RecorderStats::failed_transfers);
    Say("\r\nTransfer failed, setup database not changed\r\n");
    return;
  }
  if (!r_.AcceptSetup(image)) {
    // An empty or cut-short database would leave the recorder without a configuration.
    r_.Count(&RecorderStats::rejected_uploads);
    Say("\r\nSetup database too short, not changed\r\n");
    return;
  }
  r_.Count(&RecorderStats::setup_uploads);
  Say("\r\nSetup database received\r\n");
}

void Session::FeedQuery(uint8_t b) {
  if (state_ == State::kQueryLine) {
    if (b == kCr) {
      state_ = State::kQuery;
      RunQuery();
      entry_.clear();
    } else if (b == kEsc) {
      state_ = State::kQuery;
      entry_.clear();
      esc_run_ = 1;
    } else if (b != kLf) {
      if (entry_.size() < kMaxQueryLine + 1) entry_.push_back(static_cast<char>(b));
    }
    return;
  }
  if (b == kEsc) {
    if (++esc_run_ >= 2) {
      esc_run_ = 0;
      state_ = State::kMenu;
      MenuPrompt();
    }
    return;
  }
  esc_run_ = 0;
  if (CheckLogoff(b)) return;
  switch (b) {
    case 'A':
      state_ = State::kQueryLine;
      entry_.clear();
      break;
    case 'L':
      StartLive();
      break;
    case 'R':
      StartRealtime();
      break;
    case '|':
      Say("\r\n?");
      break;
    default:
      break;
  }
}

void Session::RunQuery() {
  // "M-D-Y h:m:s M-D-Y h:m:s", numbers with or without leading zeros.
  std::string_view s = entry_;
  int a[12];
  size_t pos = 0;
  bool ok = entry_.size() <= kMaxQueryLine && ParseNumbers(s, pos, a, 3, '-') && pos < s.size() &&
            s[pos++] == ' ' && ParseNumbers(s, pos, a + 3, 3, ':') && pos < s.size() &&
            s[pos++] == ' ' && ParseNumbers(s, pos, a + 6, 3, '-') && pos < s.size() &&
            s[pos++] == ' ' && ParseNumbers(s, pos, a + 9, 3, ':') && pos == s.size();
  ok = ok && a[2] <= 99 && a[8] <= 99 && ValidDate(2000 + a[2], a[0], a[1]) &&
       ValidDate(2000 + a[8], a[6], a[7]) && ValidTime(a[3], a[4], a[5]) &&
       ValidTime(a[9], a[10], a[11]);
  if (!ok) {
    Say("\r\nInvalid command\r\n?");
    return;
  }
  const int64_t start = CivilMs(2000 + a[2], a[0], a[1], a[3], a[4], a[5]);
  const int64_t end = CivilMs(2000 + a[8], a[6], a[7], a[9], a[10], a[11]);
  std::vector<uint8_t> file = end >= start ? r_.QueryFile(start, end) : std::vector<uint8_t>{};
  r_.Count(&RecorderStats::queries);
  if (file.empty()) r_.Count(&RecorderStats::empty_queries);
  XmodemResult res = XmodemSend(line_, file, r_.Xmodem(), Duplicates());
  if (res == XmodemResult::kLineGone) {
    gone_ = true;
    return;
  }
  if (res != XmodemResult::kOk) r_.Count(&RecorderStats::failed_transfers);
  Say("\r\n?");
}

int Session::LiveState(int position) const { return levels_[static_cast<size_t>(position)]; }

void Session::StartLive() {
  state_ = State::kLive;
  levels_ = r_.events().StatesAt(r_.NowMs());
  const SimModel& m = r_.model();
  // The present picture: every input that is not off, then every analog reading.
  std::string out;
  for (int p = 0; p < m.Positions() && !gone_; ++p) {
    if (LiveState(p) == 0) continue;
    out += std::to_string(p + 1) + " " + std::to_string(LiveState(p)) + "\r\n";
    if (out.size() > 1024) {
      Say(out);
      out.clear();
    }
  }
  const int64_t now = r_.NowMs();
  for (int a = 0; a < m.analog && !gone_; ++a) {
    out += std::to_string(a + 1) + ":" + r_.ValueText(a, r_.events().AnalogValue(a, now)) + "\r\n";
    if (out.size() > 1024) {
      Say(out);
      out.clear();
    }
  }
  Say(out);
  next_change_ = SteadyMs() + std::max(5, r_.ScaledMs(500));
}

void Session::StartRealtime() {
  state_ = State::kRealtime;
  const int64_t now = r_.NowMs();
  levels_ = r_.events().StatesAt(now);
  const SimModel& m = r_.model();
  Say(std::string("T").append(std::to_string(TicksOfDay(now))).append("\r\n"));
  // Block state lines: 64 inputs a line.
  for (int p = 0; p < m.Positions() && !gone_; p += 64) {
    std::string line = std::to_string(p + 1) + ":";
    for (int i = p; i < std::min(p + 64, m.Positions()); ++i) {
      int s = LiveState(i);
      line.push_back(static_cast<char>('0' + (m.three_state ? std::min(s, 2) : (s != 0))));
    }
    Say(line + "\r\n");
  }
  next_change_ = SteadyMs() + std::max(5, r_.ScaledMs(300));
  next_mark_ = SteadyMs() + std::max(5, r_.ScaledMs(1000));
}

void Session::Stream() {
  const SimModel& m = r_.model();
  const int64_t t = SteadyMs();
  if (state_ == State::kRealtime && t >= next_mark_) {
    Say(std::string("T").append(std::to_string(TicksOfDay(r_.NowMs()))).append("\r\n"));
    next_mark_ = t + std::max(5, r_.ScaledMs(1000));
  }
  if (t < next_change_) return;
  // A change of one input: mostly digital, sometimes virtual or an analog threshold.
  const int pick = static_cast<int>(rng_() % 10);
  int p;
  if (pick < 7)
    p = static_cast<int>(rng_() % static_cast<unsigned>(m.digital));
  else if (pick < 9)
    p = m.digital + m.analog + static_cast<int>(rng_() % static_cast<unsigned>(m.virtuals));
  else
    p = m.digital + static_cast<int>(rng_() % static_cast<unsigned>(m.analog));
  int s = LiveState(p);
  if (m.three_state)
    s = s == 0 ? static_cast<int>(1 + rng_() % 2) : 0;  // on or coding, then off again
  else
    s = s == 0 ? 1 : 0;
  levels_[static_cast<size_t>(p)] = static_cast<uint8_t>(s);
  const int64_t now = r_.NowMs();
  if (state_ == State::kLive) {
    std::string out = std::to_string(p + 1) + " " + std::to_string(s) + "\r\n";
    const int a = static_cast<int>(rng_() % static_cast<unsigned>(m.analog));
    out += std::to_string(a + 1) + ":" + r_.ValueText(a, r_.events().AnalogValue(a, now)) + "\r\n";
    Say(out);
    next_change_ = t + std::max(5, r_.ScaledMs(500));
  } else {
    Say(std::to_string(p + 1) + " " + std::to_string(s) + " " + std::to_string(TicksOfDay(now)) +
        "\r\n");
    next_change_ = t + std::max(5, r_.ScaledMs(300));
  }
}

}  // namespace zel::sim
