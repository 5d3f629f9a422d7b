#include "model/event_data.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>

#include "zel/identifiers.h"
#include "zel/value_format.h"

namespace zel::qplot {
namespace {

constexpr int64_t kBlockRecords = 64;
constexpr size_t kKindFanOut = 16;  // entries of a summary level per entry of the next

constexpr uint8_t kKindBits = 0x0F;  // the kinds of an entry; its bits 4-7 may hold a level
constexpr int kLevelShift = 4;
uint8_t KindsOf(uint8_t entry) { return static_cast<uint8_t>(entry & kKindBits); }

// Bit of the edge kind a piece draws: from-high x 2 + to-high.
uint8_t KindBit(bool from_high, bool to_high) {
  return static_cast<uint8_t>(1u << ((from_high ? 2 : 0) | (to_high ? 1 : 0)));
}

// Adds coarser levels over levels[0] until a level has at most kKindFanOut entries.
void BuildKindLevels(std::vector<std::vector<uint8_t>>& levels) {
  while (levels.back().size() > kKindFanOut) {
    const std::vector<uint8_t>& below = levels.back();
    std::vector<uint8_t> up((below.size() + kKindFanOut - 1) / kKindFanOut, 0);
    for (size_t k = 0; k < below.size(); ++k) up[k / kKindFanOut] |= KindsOf(below[k]);
    levels.push_back(std::move(up));
  }
}

// OR of levels[0][a, b): whole aligned runs are read one level up.
uint8_t KindsIn(const std::vector<std::vector<uint8_t>>& levels, size_t a, size_t b) {
  uint8_t kinds = 0;
  for (size_t level = 0; a < b; ++level) {
    const std::vector<uint8_t>& l = levels[level];
    if (level + 1 == levels.size()) {
      for (; a < b; ++a) kinds |= KindsOf(l[a]);
      break;
    }
    while (a < b && a % kKindFanOut != 0) kinds |= KindsOf(l[a++]);
    while (a < b && b % kKindFanOut != 0) kinds |= KindsOf(l[--b]);
    if (kinds == kKindBits) break;  // every kind already found
    a /= kKindFanOut;
    b /= kKindFanOut;
  }
  return kinds;
}
constexpr size_t kLabelChars = 16;

RecorderType ModelOfFileType(EventFileType type) {
  for (RecorderType m = 0; m < kModelTypeCount; ++m) {
    if (EventFileTypeOfModel(m) == type) return m;
  }
  return -1;
}

}  // namespace

// The changes of one equation's output over the whole file, with the summaries of their kinds.
struct EventData::EquationChanges {
  uint8_t initial = 0;
  std::vector<int64_t> time;
  std::vector<uint8_t> level;
  std::vector<std::vector<uint8_t>> kinds;
};

struct EventData::Checkpoint {
  std::vector<uint8_t> states;   // inputs 0..N-1
  std::vector<int64_t> changed;  // last change of each input
};

const char* LoadMessage(LoadResult r) {
  switch (r) {
    case LoadResult::kOk:
      return "";
    case LoadResult::kEventFileNotFound:
      return "Event file not found";
    case LoadResult::kUnknownType:
      return "Unknown event recorder type";
    case LoadResult::kSetupNotFound:
      return "Setup database file not found";
  }
  return "";
}

EventData::EventData() = default;
EventData::~EventData() = default;

void EventData::Clear() {
  type_ = EventFileType::kUnknown;
  layout_ = nullptr;
  model_ = -1;
  n_ = 0;
  tps_ = 100;
  start_ = end_ = 0;
  setup_.reset();
  initial_.clear();
  flashing_.clear();
  memory_.clear();
  fileBytes_ = 0;
  time_.clear();
  input_.clear();
  level_.clear();
  blockMax_.clear();
  perInputStart_.clear();
  perInputRecords_.clear();
  checkpoints_.clear();
  kindLevels_.clear();
  perInputTime_.clear();
  timesInOrder_ = true;
  eqValid_ = false;
  eqChangesValid_ = false;
  eqChanges_.clear();
}

LoadResult EventData::Load(const std::string& event_path, const std::string& setup_path) {
  Clear();
  EventRecordFile file;
  switch (file.Open(event_path)) {
    case EventRecordFile::OpenResult::kCannotOpen:
      return LoadResult::kEventFileNotFound;
    case EventRecordFile::OpenResult::kUnknownType:
      return LoadResult::kUnknownType;
    case EventRecordFile::OpenResult::kOk:
      break;
  }
  const RecorderType model = ModelOfFileType(file.Type());
  auto setup = std::make_unique<SetupDatabase>(model);
  if (!setup->LoadFile(setup_path)) return LoadResult::kSetupNotFound;
  eventPath_ = event_path;
  std::error_code ec;
  fileBytes_ = static_cast<size_t>(std::filesystem::file_size(event_path, ec));
  return Finish(file, std::move(setup));
}

LoadResult EventData::LoadBytes(const std::vector<uint8_t>& event_bytes,
                                std::unique_ptr<SetupDatabase> setup) {
  Clear();
  EventRecordFile file;
  if (file.OpenMemory(event_bytes.data(), event_bytes.size()) != EventRecordFile::OpenResult::kOk)
    return LoadResult::kUnknownType;
  const RecorderType model = ModelOfFileType(file.Type());
  if (!setup || setup->type() != model) setup = std::make_unique<SetupDatabase>(model);
  memory_ = event_bytes;
  fileBytes_ = event_bytes.size();
  eventPath_.clear();
  return Finish(file, std::move(setup));
}

LoadResult EventData::Finish(EventRecordFile& file, std::unique_ptr<SetupDatabase> setup) {
  type_ = file.Type();
  layout_ = file.Layout();
  model_ = setup->type();
  setup_ = std::move(setup);
  n_ = file.InputCount();
  tps_ = file.TicksPerSecond();
  start_ = static_cast<double>(file.IntervalStartAbs());
  end_ = static_cast<double>(file.IntervalEndAbs());
  initial_ = file.InitialStates();
  initial_.resize(static_cast<size_t>(n_), 0);

  flashing_.assign(static_cast<size_t>(n_), 0);
  if (HasFlashBits(model_)) {
    const int digital = std::min(n_, setup_->DigitalCount());
    for (int i = 0; i < digital; ++i) flashing_[static_cast<size_t>(i)] = setup_->FlashEnabled(i);
  }

  const bool three_state = Is583Family();
  EventRecord r;
  int64_t running_max = INT64_MIN;
  std::vector<uint32_t> counts(static_cast<size_t>(n_) + 1, 0);
  while (file.Next(r)) {
    time_.push_back(r.absTime);
    input_.push_back(static_cast<uint16_t>(std::clamp(r.input, 0, 65535)));
    level_.push_back(static_cast<uint8_t>(
        three_state ? StateLevel(*layout_, r.state) : (PlotStateIsOn(*layout_, r.state) ? 1 : 0)));
    running_max = std::max(running_max, r.absTime);
    if (static_cast<int64_t>(time_.size()) % kBlockRecords == 0) blockMax_.push_back(running_max);
    if (r.input >= 0 && r.input < n_) ++counts[static_cast<size_t>(r.input)];
  }
  if (static_cast<int64_t>(time_.size()) % kBlockRecords != 0) blockMax_.push_back(running_max);

  perInputStart_.assign(static_cast<size_t>(n_) + 1, 0);
  for (int i = 0; i < n_; ++i)
    perInputStart_[static_cast<size_t>(i) + 1] =
        perInputStart_[static_cast<size_t>(i)] + counts[static_cast<size_t>(i)];
  perInputRecords_.assign(perInputStart_.back(), 0);
  std::vector<uint32_t> fill(perInputStart_.begin(), perInputStart_.end() - 1);
  for (size_t k = 0; k < input_.size(); ++k) {
    const int in = input_[k];
    if (in < n_) perInputRecords_[fill[static_cast<size_t>(in)]++] = static_cast<uint32_t>(k);
  }
  for (size_t k = 1; k < time_.size(); ++k)
    if (time_[k] < time_[k - 1]) timesInOrder_ = false;
  perInputTime_.resize(perInputRecords_.size());
  for (size_t k = 0; k < perInputRecords_.size(); ++k)
    perInputTime_[k] = time_[perInputRecords_[k]];
  std::vector<uint8_t> kinds(perInputRecords_.size(), 0);
  for (int in = 0; in < n_; ++in) {
    uint8_t state = initial_[static_cast<size_t>(in)];
    for (uint32_t k = perInputStart_[static_cast<size_t>(in)];
         k < perInputStart_[static_cast<size_t>(in) + 1]; ++k) {
      const uint8_t now = level_[perInputRecords_[k]];
      kinds[k] = static_cast<uint8_t>(
          (three_state ? KindBit(state != 0, state == 0) : KindBit(state != 0, now != 0)) |
          (now << kLevelShift));
      state = now;
    }
  }
  kindLevels_.clear();
  kindLevels_.push_back(std::move(kinds));
  BuildKindLevels(kindLevels_);
  BuildCheckpoints();
  return LoadResult::kOk;
}

void EventData::SetCheckpointSpacing(int records) {
  spacing_ = std::max(1, records);
  BuildCheckpoints();
}

void EventData::BuildCheckpoints() {
  checkpoints_.clear();
  eqValid_ = false;
  if (!Loaded()) return;
  Checkpoint cp;
  cp.states = initial_;
  cp.changed.assign(static_cast<size_t>(n_), static_cast<int64_t>(start_));
  const size_t count = time_.size();
  for (size_t i = 0;; ++i) {
    if (i % static_cast<size_t>(spacing_) == 0) checkpoints_.push_back(cp);
    if (i == count) break;
    const int in = input_[i];
    if (in >= n_) continue;
    cp.states[static_cast<size_t>(in)] = level_[i];
    cp.changed[static_cast<size_t>(in)] = time_[i];
  }
}

bool EventData::Is583Family() const { return layout_ && layout_->stateKind == StateKind::kTwoBits; }

bool EventData::IsSlg() const { return FamilyOf(model_) == ModelFamily::kSlg; }

bool EventData::Flashing(int input) const {
  return input >= 0 && input < n_ && flashing_[static_cast<size_t>(input)] != 0;
}

std::string EventData::UnitName() const { return setup_ ? setup_->UnitName() : std::string(); }

std::string EventData::Identifier(int input) const {
  if (input < 0 || input >= n_) return {};
  return SetupIdentifier(model_, input);
}

std::string EventData::Name(int input) const {
  if (!setup_ || input < 0 || input >= n_) return {};
  return setup_->NameOfInput(input);
}

std::string EventData::IdOf(int input) const {
  if (!setup_ || input < 0 || input >= n_) return {};
  return setup_->IdentifierOfInput(input);
}

std::string EventData::Label(int input) const {
  if (input >= 0 && input < n_) {
    std::string label = Identifier(input) + ":" + Name(input);
    if (label.size() > kLabelChars) label.resize(kLabelChars);
    return label;
  }
  if (input >= n_ && input < n_ + kEquationCount && Loaded()) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "E%02d", input - n_ + 1);
    return buf;
  }
  return "(none)";
}

int EventData::UnitOfInput(int input) const {
  if (type_ != EventFileType::k517P && type_ != EventFileType::k517AX) return 0;
  if (input < 4096) return input / 256;
  if (input < 4224) return (input - 4096) / 8;
  if (input < 5274) return 0;
  const int unit = (input - 5274) / 4;
  return unit > 15 ? 0 : unit;
}

bool EventData::Selectable(int input) const {
  if (input < 0 || input >= n_) return false;
  if (Name(input) == "Invalid input number") return false;
  if (type_ == EventFileType::k517P || type_ == EventFileType::k517AX) {
    const int per_unit = type_ == EventFileType::k517P ? 8 : 4;
    if (input < 4096) return setup_->ModulePresent(input / 256);
    if (input < 4096 + 16 * per_unit) return setup_->ModulePresent((input - 4096) / per_unit);
  }
  return true;
}

std::optional<EventRecord> EventData::ReadRecord(int64_t i) const {
  if (!layout_ || i < 0 || i >= RecordCount()) return std::nullopt;
  const size_t size = static_cast<size_t>(layout_->recordSize);
  const int64_t offset = layout_->firstRecord + i * layout_->recordSize;
  std::vector<uint8_t> bytes(size);
  if (!memory_.empty()) {
    if (static_cast<size_t>(offset) + size > memory_.size()) return std::nullopt;
    std::copy_n(memory_.begin() + offset, size, bytes.begin());
  } else {
    std::ifstream in(eventPath_, std::ios::binary);
    in.seekg(offset);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (!in) return std::nullopt;
  }
  return DecodeEventRecord(*layout_, bytes.data());
}

std::vector<int64_t> EventData::EventsOf(int input) const {
  std::vector<int64_t> out;
  if (input < 0 || input >= n_) return out;
  for (uint32_t k = perInputStart_[static_cast<size_t>(input)];
       k < perInputStart_[static_cast<size_t>(input) + 1]; ++k)
    out.push_back(perInputRecords_[k]);
  return out;
}

std::optional<int64_t> EventData::NearestEvent(int input, double t) const {
  if (input < 0 || input >= n_) return std::nullopt;
  std::optional<int64_t> before, after;
  for (uint32_t k = perInputStart_[static_cast<size_t>(input)];
       k < perInputStart_[static_cast<size_t>(input) + 1]; ++k) {
    const int64_t i = perInputRecords_[k];
    if (static_cast<double>(time_[static_cast<size_t>(i)]) <= t) {
      before = i;
    } else {
      after = i;
      break;
    }
  }
  if (!before) return after;
  if (!after) return before;
  const double d_before = t - static_cast<double>(time_[static_cast<size_t>(*before)]);
  const double d_after = static_cast<double>(time_[static_cast<size_t>(*after)]) - t;
  return d_after < d_before ? after : before;
}

std::optional<int64_t> EventData::NextEvent(int input, double t) const {
  if (input < 0 || input >= n_) return std::nullopt;
  for (uint32_t k = perInputStart_[static_cast<size_t>(input)];
       k < perInputStart_[static_cast<size_t>(input) + 1]; ++k) {
    const int64_t i = perInputRecords_[k];
    if (static_cast<double>(time_[static_cast<size_t>(i)]) > t) return i;
  }
  return std::nullopt;
}

std::optional<int64_t> EventData::PreviousEvent(int input, double t) const {
  if (input < 0 || input >= n_) return std::nullopt;
  std::optional<int64_t> previous;
  for (uint32_t k = perInputStart_[static_cast<size_t>(input)];
       k < perInputStart_[static_cast<size_t>(input) + 1]; ++k) {
    const int64_t i = perInputRecords_[k];
    if (static_cast<double>(time_[static_cast<size_t>(i)]) >= t) break;
    previous = i;
  }
  return previous;
}

std::optional<double> EventData::ChangeNear(const CZelQplotDoc& doc, int input, double t,
                                            bool forward) const {
  if (input >= 0 && input < n_) {
    const auto r = forward ? NextEvent(input, t) : PreviousEvent(input, t);
    if (!r) return std::nullopt;
    return static_cast<double>(time_[static_cast<size_t>(*r)]);
  }
  if (!Loaded() || input < n_ || input >= n_ + kEquationCount) return std::nullopt;
  EnsureEquationChanges(doc);
  // The same rule as for an input's events, over the output's changes in file order.
  std::optional<double> found;
  for (int64_t when : eqChanges_[static_cast<size_t>(input - n_)].time) {
    const double u = static_cast<double>(when);
    if (forward && u > t) return u;
    if (!forward) {
      if (u >= t) break;
      found = u;
    }
  }
  return found;
}

size_t EventData::IndexBytes() const {
  size_t bytes = time_.capacity() * sizeof(int64_t) + input_.capacity() * sizeof(uint16_t) +
                 level_.capacity() + blockMax_.capacity() * sizeof(int64_t) +
                 (perInputStart_.capacity() + perInputRecords_.capacity()) * sizeof(uint32_t);
  for (const Checkpoint& cp : checkpoints_)
    bytes += cp.states.capacity() + cp.changed.capacity() * sizeof(int64_t);
  bytes +=
      eqStates_.capacity() * sizeof(eqStates_[0]) + eqChanged_.capacity() * sizeof(eqChanged_[0]);
  for (const auto& level : kindLevels_) bytes += level.capacity();
  bytes += perInputTime_.capacity() * sizeof(int64_t);
  for (const EquationChanges& q : eqChanges_) {
    bytes += q.time.capacity() * sizeof(int64_t) + q.level.capacity();
    for (const auto& level : q.kinds) bytes += level.capacity();
  }
  return bytes;
}

// The state of one pass over the records: every input's and equation's state and last change.
struct EventData::Pass {
  std::vector<uint8_t> states;   // N + 8
  std::vector<int64_t> changed;  // N + 8
};

template <class Start, class Before, class Change>
void EventData::ReplayEquations(const std::vector<CVequation>& eqs, Start start, Before before,
                                Change change) const {
  const size_t total = static_cast<size_t>(n_) + kEquationCount;
  // Only records of inputs some equation reads can change an output.
  std::vector<uint8_t> marked(total, 0);
  for (const CVequation& q : eqs)
    for (int32_t in : q.in)
      if (in >= 0 && static_cast<size_t>(in) < total) marked[static_cast<size_t>(in)] = 1;
  std::vector<uint8_t> states(total, 0);
  std::copy(initial_.begin(), initial_.end(), states.begin());
  auto eval = [&](int e) -> uint8_t {
    std::array<bool, kEquationInputs> s{};
    for (size_t k = 0; k < kEquationInputs; ++k) {
      const int in = eqs[static_cast<size_t>(e)].in[k];
      s[k] = in >= 0 && static_cast<size_t>(in) < total && states[static_cast<size_t>(in)] != 0;
    }
    return eqs[static_cast<size_t>(e)].Output(s) ? 1 : 0;
  };
  for (int e = 0; e < kEquationCount; ++e) {
    const uint8_t v = eval(e);
    states[static_cast<size_t>(n_ + e)] = v;
    start(e, v);
  }
  const size_t count = time_.size();
  for (size_t i = 0;; ++i) {
    before(i, states);
    if (i == count) break;
    const int in = input_[i];
    if (in >= n_ || !marked[static_cast<size_t>(in)]) continue;
    states[static_cast<size_t>(in)] = level_[i];
    for (int e = 0; e < kEquationCount; ++e) {
      const uint8_t v = eval(e);
      uint8_t& old = states[static_cast<size_t>(n_ + e)];
      if (v == old) continue;
      old = v;
      change(e, v, i);
    }
  }
}

void EventData::EnsureEquationCheckpoints(const CZelQplotDoc& doc) const {
  std::vector<CVequation> eqs;
  for (int e = 0; e < kEquationCount; ++e) eqs.push_back(doc.Equation(e));
  if (eqValid_ && eqs == eqFor_) return;
  eqFor_ = eqs;
  eqValid_ = true;
  eqStates_.clear();
  eqChanged_.clear();
  std::array<int64_t, kEquationCount> changed;
  changed.fill(static_cast<int64_t>(start_));
  ReplayEquations(
      eqs, [](int, uint8_t) {},
      [&](size_t i, const std::vector<uint8_t>& states) {
        if (i % static_cast<size_t>(spacing_) != 0) return;
        std::array<uint8_t, kEquationCount> s;
        for (int e = 0; e < kEquationCount; ++e)
          s[static_cast<size_t>(e)] = states[static_cast<size_t>(n_ + e)];
        eqStates_.push_back(s);
        eqChanged_.push_back(changed);
      },
      [&](int e, uint8_t, size_t i) { changed[static_cast<size_t>(e)] = time_[i]; });
}

void EventData::Trace(const CZelQplotDoc& doc, const PlotView& view, bool full_pass,
                      const std::function<void(const TraceOp&)>& emit) const {
  lastRead_ = 0;
  if (!Loaded()) return;
  const size_t total = static_cast<size_t>(n_) + kEquationCount;
  // Channels showing each input and equation.
  std::vector<std::vector<int>> channels_of(total);
  for (int c = 0; c < kChannelCount; ++c) {
    const int in = doc.Channel(c).input;
    if (in >= 0 && static_cast<size_t>(in) < total)
      channels_of[static_cast<size_t>(in)].push_back(c);
  }
  std::vector<uint8_t> marked(total, 0);
  for (int e = 0; e < kEquationCount; ++e)
    for (int32_t in : doc.Equation(e).in)
      if (in >= 0 && static_cast<size_t>(in) < total) marked[static_cast<size_t>(in)] = 1;

  Pass p;
  p.states.assign(total, 0);
  p.changed.assign(total, static_cast<int64_t>(start_));
  auto eval = [&](int e) -> uint8_t {
    const CVequation& q = doc.Equation(e);
    std::array<bool, kEquationInputs> s{};
    for (size_t k = 0; k < kEquationInputs; ++k) {
      const int in = q.in[k];
      s[k] = in >= 0 && static_cast<size_t>(in) < total && p.states[static_cast<size_t>(in)] != 0;
    }
    return q.Output(s) ? 1 : 0;
  };

  size_t first = 0;
  if (full_pass) {
    std::copy(initial_.begin(), initial_.end(), p.states.begin());
    for (int e = 0; e < kEquationCount; ++e) p.states[static_cast<size_t>(n_ + e)] = eval(e);
  } else {
    EnsureEquationCheckpoints(doc);
    // The first record with x >= 128: the first block whose running maximum reaches the plot
    // area holds it (every earlier record lies left of the area).
    auto visible = [&](int64_t t) { return view.XOfTime(static_cast<double>(t)) >= kPlotLeft; };
    const auto block = std::partition_point(blockMax_.begin(), blockMax_.end(),
                                            [&](int64_t m) { return !visible(m); });
    size_t f = time_.size();
    if (block != blockMax_.end()) {
      size_t i = static_cast<size_t>(block - blockMax_.begin()) * kBlockRecords;
      const size_t block_end = std::min(time_.size(), i + kBlockRecords);
      for (; i < block_end; ++i)
        if (visible(time_[i])) break;
      f = i;
    }
    const size_t cp = f / static_cast<size_t>(spacing_);
    first = cp * static_cast<size_t>(spacing_);
    std::copy(checkpoints_[cp].states.begin(), checkpoints_[cp].states.end(), p.states.begin());
    std::copy(checkpoints_[cp].changed.begin(), checkpoints_[cp].changed.end(), p.changed.begin());
    for (int e = 0; e < kEquationCount; ++e) {
      p.states[static_cast<size_t>(n_ + e)] = eqStates_[cp][static_cast<size_t>(e)];
      p.changed[static_cast<size_t>(n_ + e)] = eqChanged_[cp][static_cast<size_t>(e)];
    }
  }

  const bool three_state = Is583Family();
  auto x_of = [&](int64_t t) { return view.XOfTime(static_cast<double>(t)); };
  size_t i = first;
  for (; i < time_.size(); ++i) {
    const int in = input_[i];
    // A record of a number beyond the recorder's inputs changes nothing (it must not reach
    // the equations' states behind them).
    if (in >= n_) continue;
    const int64_t t = time_[i];
    const int x = x_of(t);
    if (x > kPlotRight) break;
    const size_t si = static_cast<size_t>(in);
    const uint8_t old = p.states[si];
    const uint8_t now = level_[i];
    if (x >= kPlotLeft && !channels_of[si].empty()) {
      const int x0 = std::max(x_of(p.changed[si]), kPlotLeft);
      const bool from_high = old != 0;
      const bool to_high = three_state ? !from_high : now != 0;
      const bool hatch =
          x - x0 >= 2 && (three_state ? old == 2 : (now == 0 && old != 0 && Flashing(in)));
      for (int c : channels_of[si]) emit({c, x0, x, from_high, true, to_high, hatch});
    }
    p.states[si] = now;
    p.changed[si] = t;
    if (!marked[si]) continue;
    for (int e = 0; e < kEquationCount; ++e) {
      const size_t se = static_cast<size_t>(n_ + e);
      const uint8_t v = eval(e);
      if (v == p.states[se]) continue;
      if (x >= kPlotLeft) {
        const int x0 = std::max(x_of(p.changed[se]), kPlotLeft);
        for (int c : channels_of[se]) emit({c, x0, x, p.states[se] != 0, true, v != 0, false});
      }
      p.states[se] = v;
      p.changed[se] = t;
    }
  }
  lastRead_ = static_cast<int64_t>(i - first);

  const int x_end = std::min(view.XOfTime(end_), kPlotRight);
  for (int c = 0; c < kChannelCount; ++c) {
    const int in = doc.Channel(c).input;
    if (in < 0 || static_cast<size_t>(in) >= total) continue;
    const size_t si = static_cast<size_t>(in);
    const int x0 = std::max(x_of(p.changed[si]), kPlotLeft);
    // A last change right of the interval end (or an end left of the plot area) leaves nothing
    // to draw rather than a line running backwards into the label column.
    if (x_end < x0) continue;
    const uint8_t s = p.states[si];
    const bool hatch =
        x_end - x0 >= 2 && in < n_ && (three_state ? s == 2 : (s != 0 && Flashing(in)));
    emit({c, x0, x_end, s != 0, false, s != 0, hatch});
  }
}

void EventData::EnsureEquationChanges(const CZelQplotDoc& doc) const {
  std::vector<CVequation> eqs;
  for (int e = 0; e < kEquationCount; ++e) eqs.push_back(doc.Equation(e));
  if (eqChangesValid_ && eqs == eqChangesFor_) return;
  eqChangesFor_ = eqs;
  eqChangesValid_ = true;
  eqChanges_.assign(kEquationCount, EquationChanges{});
  ReplayEquations(
      eqs, [&](int e, uint8_t v) { eqChanges_[static_cast<size_t>(e)].initial = v; },
      [](size_t, const std::vector<uint8_t>&) {},
      [&](int e, uint8_t v, size_t i) {
        eqChanges_[static_cast<size_t>(e)].time.push_back(time_[i]);
        eqChanges_[static_cast<size_t>(e)].level.push_back(v);
      });
  for (EquationChanges& q : eqChanges_) {
    std::vector<uint8_t> kinds(q.level.size());
    for (size_t k = 0; k < q.level.size(); ++k)
      kinds[k] = KindBit(q.level[k] == 0, q.level[k] != 0);
    q.kinds.clear();
    q.kinds.push_back(std::move(kinds));
    BuildKindLevels(q.kinds);
  }
}

namespace {

// One trace's changes in time order, positions [begin, end): their times, states and edge
// kinds, and the state and last change before the first.
template <class LevelAt>
struct TrackWalk {
  size_t begin = 0, end = 0;
  const int64_t* time = nullptr;  // time[k] for positions k
  LevelAt level;
  const std::vector<std::vector<uint8_t>>* kinds = nullptr;
  uint8_t state = 0;
  int64_t changed = 0;
};

// Walks the pixel columns of one track: per column the piece of its first change (the segment
// from the last change, with its hatching) and one piece per kind of edge of the changes after
// it. Leaves the state and last change after the last change drawn (the pass's stopping point).
template <class LevelAt, class Piece, class Edge>
void WalkColumns(TrackWalk<LevelAt>& w, const PlotView& view, Piece piece, Edge edge) {
  auto x_at = [&](size_t k) { return view.XOfTime(static_cast<double>(w.time[k])); };
  auto first_where = [&](size_t lo, size_t hi, auto pred) {  // first k in [lo, hi) with pred
    while (lo < hi) {
      const size_t mid = lo + (hi - lo) / 2;
      if (pred(mid))
        hi = mid;
      else
        lo = mid + 1;
    }
    return lo;
  };
  const size_t lo = first_where(w.begin, w.end, [&](size_t k) { return x_at(k) >= kPlotLeft; });
  const size_t hi = first_where(lo, w.end, [&](size_t k) { return x_at(k) > kPlotRight; });
  if (lo > w.begin) {
    w.state = w.level(lo - 1);
    w.changed = w.time[lo - 1];
  }
  size_t pos = lo;
  while (pos < hi) {
    const int x = x_at(pos);
    // The column's end: a few changes one by one (most columns hold few), then gallop, then
    // halve.
    constexpr int kSteps = 8;
    size_t end = pos + 1;
    int stepped = 0;
    while (end < hi && stepped < kSteps && x_at(end) <= x) {
      ++end;
      ++stepped;
    }
    if (stepped == kSteps && end < hi && x_at(end) <= x) {
      size_t known = end;  // x_at(known) <= x
      size_t step = 1;
      size_t probe = known + 1;
      while (probe < hi && x_at(probe) <= x) {
        known = probe;
        step *= 2;
        probe = known + step;
      }
      end = first_where(known + 1, std::min(probe, hi), [&](size_t k) { return x_at(k) > x; });
    }
    piece(x, w.state, w.changed, w.level(pos));
    if (end - pos > 1) {
      const uint8_t kinds = KindsIn(*w.kinds, pos + 1, end);
      for (int bit = 0; bit < 4; ++bit)
        if (kinds & (1u << bit)) edge(x, (bit & 2) != 0, (bit & 1) != 0);
    }
    w.state = w.level(end - 1);
    w.changed = w.time[end - 1];
    pos = end;
  }
}

}  // namespace

void EventData::TraceColumns(const CZelQplotDoc& doc, const PlotView& view,
                             const std::bitset<kChannelCount>& channels,
                             const std::function<void(const TraceOp&)>& emit) const {
  lastRead_ = 0;
  if (!CanTraceByColumns()) return;
  const size_t total = static_cast<size_t>(n_) + kEquationCount;
  std::vector<std::vector<int>> channels_of(total);
  for (int c = 0; c < kChannelCount; ++c) {
    const int in = doc.Channel(c).input;
    if (channels.test(static_cast<size_t>(c)) && in >= 0 && static_cast<size_t>(in) < total)
      channels_of[static_cast<size_t>(in)].push_back(c);
  }
  bool equations_shown = false;
  for (int e = 0; e < kEquationCount; ++e)
    equations_shown |= !channels_of[static_cast<size_t>(n_ + e)].empty();
  if (equations_shown) EnsureEquationChanges(doc);

  const bool three_state = Is583Family();
  auto x_of = [&](int64_t t) { return view.XOfTime(static_cast<double>(t)); };
  const int x_end = std::min(view.XOfTime(end_), kPlotRight);
  int64_t visited = 0;
  for (size_t si = 0; si < total; ++si) {
    const std::vector<int>& shown = channels_of[si];
    if (shown.empty()) continue;
    const int in = static_cast<int>(si);
    const bool equation = in >= n_;
    const bool flashing = !equation && Flashing(in);
    const bool edges_opposite = three_state && !equation;
    auto piece = [&](int x, uint8_t old, int64_t changed, uint8_t now) {
      ++visited;
      const int x0 = std::max(x_of(changed), kPlotLeft);
      const bool from_high = old != 0;
      const bool to_high = edges_opposite ? !from_high : now != 0;
      const bool hatch =
          !equation && x - x0 >= 2 && (three_state ? old == 2 : (now == 0 && old != 0 && flashing));
      for (int c : shown) emit({c, x0, x, from_high, true, to_high, hatch});
    };
    auto edge = [&](int x, bool from_high, bool to_high) {
      for (int c : shown) emit({c, x, x, from_high, true, to_high, false});
    };
    uint8_t final_state = 0;
    int64_t final_changed = 0;
    if (equation) {
      const EquationChanges& q = eqChanges_[si - static_cast<size_t>(n_)];
      const uint8_t* levels = q.level.data();
      auto level_at = [levels](size_t k) { return levels[k]; };
      TrackWalk<decltype(level_at)> w{.level = level_at};
      w.end = q.time.size();
      w.time = q.time.data();
      w.kinds = &q.kinds;
      w.state = q.initial;
      w.changed = static_cast<int64_t>(start_);
      WalkColumns(w, view, piece, edge);
      final_state = w.state;
      final_changed = w.changed;
    } else {
      const uint8_t* entries = kindLevels_[0].data();
      auto level_at = [entries](size_t k) {
        return static_cast<uint8_t>(entries[k] >> kLevelShift);
      };
      TrackWalk<decltype(level_at)> w{.level = level_at};
      w.begin = perInputStart_[si];
      w.end = perInputStart_[si + 1];
      w.time = perInputTime_.data();
      w.kinds = &kindLevels_;
      w.state = initial_[si];
      w.changed = static_cast<int64_t>(start_);
      WalkColumns(w, view, piece, edge);
      final_state = w.state;
      final_changed = w.changed;
    }
    // The final segment up to the interval end.
    const int x0 = std::max(x_of(final_changed), kPlotLeft);
    if (x_end < x0) continue;
    const uint8_t s = final_state;
    const bool hatch =
        !equation && x_end - x0 >= 2 && (three_state ? s == 2 : (s != 0 && flashing));
    for (int c : shown) emit({c, x0, x_end, s != 0, false, s != 0, hatch});
  }
  lastRead_ = visited;
}

}  // namespace zel::qplot
