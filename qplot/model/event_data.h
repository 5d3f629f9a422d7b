// The event file and setup database the plotter was started with, loaded once, and what the
// plot draws from them. Loading keeps an index: every record's time, input and state in arrays,
// the records of each input, the largest time so far per block of records, and the states of
// all inputs every few thousand records. A redraw then reads only the records whose x lies in
// the plot area (plus at most one checkpoint's stretch before them), and draws exactly what a
// pass from the first record would draw.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/plot_document.h"
#include "model/plot_view.h"
#include "zel/event_file.h"
#include "zel/setup_database.h"

namespace zel::qplot {

enum class LoadResult { kOk, kEventFileNotFound, kUnknownType, kSetupNotFound };
// "Event file not found", "Unknown event recorder type", "Setup database file not found".
const char* LoadMessage(LoadResult r);

// One channel's piece of trace: a horizontal line from x0 to x1 at the level of `fromHigh`,
// then (with `edge`) a vertical line at x1 to the level of `toHigh`; `hatch` fills the span
// between the levels over x0..x1 first.
struct TraceOp {
  int channel = 0;
  int x0 = 0;
  int x1 = 0;
  bool fromHigh = false;
  bool edge = false;
  bool toHigh = false;
  bool hatch = false;
  friend bool operator==(const TraceOp&, const TraceOp&) = default;
};

class EventData {
 public:
  EventData();
  ~EventData();

  // Loads the event file and the setup database. On failure nothing stays loaded (N is 0).
  LoadResult Load(const std::string& event_path, const std::string& setup_path);

  bool Loaded() const { return type_ != EventFileType::kUnknown; }
  EventFileType Type() const { return type_; }
  const EventLayout* Layout() const { return layout_; }
  RecorderType Model() const { return model_; }
  int InputCount() const { return n_; }  // N
  int TicksPerSecond() const { return tps_; }
  double IntervalStart() const { return start_; }
  double IntervalEnd() const { return end_; }
  bool Is583Family() const;
  bool IsSlg() const;
  const SetupDatabase* Setup() const { return setup_.get(); }
  std::string UnitName() const;

  // Channel label of input n: "<identifier>:<name>" cut to 16 characters, "E%02d" for the
  // equations, "(none)" otherwise.
  std::string Label(int input) const;
  std::string Identifier(int input) const;  // setup identifier; "" outside 0..N-1
  std::string Name(int input) const;
  std::string IdOf(int input) const;  // the input's identifier field
  // Unit of an input of the 16-unit types (KRV517P, KRV517AX); 0 for the others.
  int UnitOfInput(int input) const;
  // Whether input n is one the selection dialog lists (a name other than "Invalid input
  // number", and of an installed unit in the 16-unit types).
  bool Selectable(int input) const;

  // --- records ---
  int64_t RecordCount() const { return static_cast<int64_t>(time_.size()); }
  int64_t RecordTime(int64_t i) const { return time_[static_cast<size_t>(i)]; }
  int RecordInput(int64_t i) const { return input_[static_cast<size_t>(i)]; }
  int RecordLevel(int64_t i) const { return level_[static_cast<size_t>(i)]; }
  // The whole record (values, special, date) read again from the file; nullopt when it cannot.
  std::optional<EventRecord> ReadRecord(int64_t i) const;
  // Initial state of every input (0/1, or 0-3 in the KRV-583 family).
  const std::vector<uint8_t>& InitialStates() const { return initial_; }

  // The input's event nearest to t: the last one at or before t and the first after it, the
  // closer of the two, a tie to the earlier. Record index; nullopt when the input has none.
  std::optional<int64_t> NearestEvent(int input, double t) const;
  // The input's first event later than t, and its last event earlier than t.
  std::optional<int64_t> NextEvent(int input, double t) const;
  std::optional<int64_t> PreviousEvent(int input, double t) const;
  // Time of the first change later than t (`forward`), or of the last change earlier than t, of
  // what a channel showing `input` draws: the input's events, or for N + e the changes of
  // equation e's output under the document's equations. nullopt when there is none.
  std::optional<double> ChangeNear(const CZelQplotDoc& doc, int input, double t,
                                   bool forward) const;
  // Records of one input in file order.
  std::vector<int64_t> EventsOf(int input) const;

  // Bytes the index holds (arrays, per-input lists, block maxima, checkpoints).
  size_t IndexBytes() const;
  size_t FileBytes() const { return fileBytes_; }

  // --- drawing ---
  // The trace pieces of the timing diagram for the view, in the order a pass from the first
  // record draws them: segments and edges of the records in the plot area, equation outputs,
  // then every shown channel's final segment up to the interval end. `full_pass` reads from
  // the first record (the original's cost); otherwise the index is used. Both give the same
  // pieces.
  void Trace(const CZelQplotDoc& doc, const PlotView& view, bool full_pass,
             const std::function<void(const TraceOp&)>& emit) const;
  // The drawing of Trace for the channels in `channels`, visiting per shown input and equation
  // only the pixel columns where it changes: of a column's changes after its first, only the
  // kinds of edge they draw (from the per-input summaries) are given, each once. The pieces
  // differ from Trace's in number and order but draw the same pixels (the pen is opaque and one
  // colour per channel). Needs times in file order: CanTraceByColumns().
  bool CanTraceByColumns() const { return Loaded() && timesInOrder_; }
  void TraceColumns(const CZelQplotDoc& doc, const PlotView& view,
                    const std::bitset<kChannelCount>& channels,
                    const std::function<void(const TraceOp&)>& emit) const;
  // Records the last Trace read (for the benchmark).
  int64_t LastRecordsRead() const { return lastRead_; }

  // Builds the index with checkpoints every `records` records (tests use small values).
  void SetCheckpointSpacing(int records);

  // For tests and the benchmark: loads bytes of an event file with a given setup database.
  LoadResult LoadBytes(const std::vector<uint8_t>& event_bytes,
                       std::unique_ptr<SetupDatabase> setup);

 private:
  struct Checkpoint;
  struct Pass;
  struct EquationChanges;
  void EnsureEquationChanges(const CZelQplotDoc& doc) const;
  // Replays the records through `eqs`: `start(e, level)` with each output at the start,
  // `before(i, states)` before record i and once more with i = the record count (states: every
  // input's and output's level), `change(e, level, i)` when record i changes output e.
  template <class Start, class Before, class Change>
  void ReplayEquations(const std::vector<CVequation>& eqs, Start start, Before before,
                       Change change) const;
  LoadResult Finish(EventRecordFile& file, std::unique_ptr<SetupDatabase> setup);
  void BuildCheckpoints();
  void EnsureEquationCheckpoints(const CZelQplotDoc& doc) const;
  bool Flashing(int input) const;
  void Clear();

  EventFileType type_ = EventFileType::kUnknown;
  const EventLayout* layout_ = nullptr;
  RecorderType model_ = -1;
  int n_ = 0;
  int tps_ = 100;
  double start_ = 0, end_ = 0;
  std::unique_ptr<SetupDatabase> setup_;
  std::vector<uint8_t> initial_;
  std::vector<uint8_t> flashing_;  // per input: flash enable set (hatching rule)
  std::string eventPath_;
  std::vector<uint8_t> memory_;  // event file bytes when loaded from memory
  size_t fileBytes_ = 0;

  std::vector<int64_t> time_;
  std::vector<uint16_t> input_;
  std::vector<uint8_t> level_;
  std::vector<int64_t> blockMax_;        // largest time of records [0, (b+1) x 64)
  std::vector<uint32_t> perInputStart_;  // CSR over inputs 0..N
  std::vector<uint32_t> perInputRecords_;
  // Per position of perInputRecords_: the kind of edge the record draws when it is not the
  // first of its pixel column (bits 0-3: bit from-high x 2 + to-high) and the record's level
  // (bits 4-7); then coarser levels, each the OR of the kinds of 16 entries of the level below.
  std::vector<std::vector<uint8_t>> kindLevels_;
  std::vector<int64_t> perInputTime_;  // per position of perInputRecords_: the record's time
  bool timesInOrder_ = true;
  int spacing_ = 4096;
  std::vector<Checkpoint> checkpoints_;
  // Equation outputs at the checkpoints, for the equations they were computed for.
  mutable std::vector<CVequation> eqFor_;
  mutable bool eqValid_ = false;
  mutable std::vector<std::array<uint8_t, kEquationCount>> eqStates_;
  mutable std::vector<std::array<int64_t, kEquationCount>> eqChanged_;
  mutable std::vector<CVequation> eqChangesFor_;
  mutable bool eqChangesValid_ = false;
  mutable std::vector<EquationChanges> eqChanges_;
  mutable int64_t lastRead_ = 0;
};

}  // namespace zel::qplot
