// What the real-time plotter holds and computes: the trace slots, the input state table, the
// change list with its one-hour history, the times (start, current, display), zoom, the repaint
// rate of the timer, and the drawing of one frame as plain pieces (grid marks, trace pieces)
// that the window paints through the shared timing painter.
//
// Geometry, in pixels (logical units of 1/96 inch): the plot's right edge is at the width less
// 128, the label column lies to its right; trace slot k occupies the row whose top is 15k + 15;
// a trace is high at row top + 2 and low at row top + 12. A time t lies at
//   edge + (t - display time, the shortest way around the day) x 10 / zoom,
// zoom being ticks per 10 pixels.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/rtp_models.h"
#include "model/stream_lines.h"

namespace zel::rtp {

inline constexpr int kSlotCount = 50;
inline constexpr int kRowHeight = 15;
inline constexpr int kLabelColumnWidth = 128;  // the plot edge is the width less this
inline constexpr int kLabelMenuWidth = 133;    // context menu: the label column's menu
inline constexpr int kHighOffset = 2;
inline constexpr int kLowOffset = 12;
inline constexpr int kStartZoom = 1000;
inline constexpr int kMinZoom = 25;
inline constexpr int kMaxZoom = 6400;
inline constexpr int kMinRepaintTicks = 10;  // timer ticks between repaints, at least
inline constexpr int kTimeLabelOffset = 20;  // time labels start this far left of a line
inline constexpr int kTickHeight = 15;
// A burst larger than this stays on the line for the next timer tick, so a recorder that never
// falls silent cannot hold the window.
inline constexpr int kMaxBytesPerTick = 65536;
// The change list is trimmed to one hour of history before every repaint; a stream whose times
// never fall behind the display time is bounded here instead (oldest changes go to the state
// table first).
inline constexpr std::size_t kMaxChanges = 1'000'000;

struct Change {
  int32_t position;  // 0-based
  uint8_t state;     // 0 low, 1 high, 2 flashing
  int64_t time;      // ticks since midnight
};

struct TraceSlot {
  int input = -1;             // position shown, -1 = empty
  uint32_t color = 0x000000;  // 0x00BBGGRR
};

// The difference a - b taken the shortest way around a day of `ticks_per_day` ticks: in
// (-ticks_per_day / 2, ticks_per_day / 2].
int64_t WrapDifference(int64_t a, int64_t b, int64_t ticks_per_day);
// Time of day of a tick count (any integer, wrapped into the day) as "%02d:%02d:%02d".
std::string TimeOfDayText(int64_t ticks, int64_t ticks_per_day);
// With the fraction of the model's resolution: "hh:mm:ss.fff", ".ff" or ".f".
std::string TimeOfDayTextFine(int64_t ticks, int64_t ticks_per_day);

struct GridMark {
  int x = 0;
  bool labelled = false;  // a full-height line with a time label; else a tick at the top
  int64_t time = 0;       // ticks since midnight (wrapped)
};

// Pieces that fall into one pixel column of a trace are merged into one: the column's vertical
// span covers every level the trace visits there, so a burst of changes in one column draws as
// one vertical line; level pieces in a row merge into one line, and a one-pixel horizontal
// between two verticals is left out. The pixels are those of drawing each change on its own.
struct TracePiece {
  int slot = 0;
  int x0 = 0, x1 = 0;  // the horizontal line at fromY
  int fromY = 0;
  bool edge = false;  // then a vertical line at x1 to toY
  int toY = 0;
  bool hatch = false;  // the band between bandTop and bandBottom over x0..x1 is hatched
  int bandTop = 0, bandBottom = 0;
};

struct PlotFrame {
  int edge = 0;          // x of the plot's right edge
  int rows = 0;          // slots shown
  int gridBottom = 0;    // bottom of the rows
  bool hasTime = false;  // a time has been received: grid and traces are drawn
  std::vector<GridMark> grid;
  std::vector<TracePiece> pieces;
};

class RealTimePlot {
 public:
  // `model` nullptr gives the defaults (no positions, 10 ms ticks). `flash_enabled` holds one
  // entry per position (missing entries count as not flash-enabled).
  explicit RealTimePlot(const RtpModel* model, std::vector<bool> flash_enabled = {});

  // --- stream ---
  // One byte from the line; a CR parses the line it ends.
  void FeedByte(uint8_t byte);
  void FeedBytes(std::string_view bytes) {
    for (char c : bytes) FeedByte(static_cast<uint8_t>(c));
  }
  // One complete line (without its CR).
  void HandleLine(std::string_view line);

  // --- timer ---
  // One 100 ms tick: true when the display time has just been set to the current time and the
  // window should repaint (every max(zoom / 100, 10) ticks).
  bool Tick();
  int RepaintPeriodTicks() const;

  // --- zoom: true when the value changed (the display time then moves to the current time) ---
  bool ZoomIn(int factor);
  bool ZoomOut(int factor);
  int zoom() const { return zoom_; }

  // --- slots ---
  const TraceSlot& Slot(int k) const { return slots_[static_cast<size_t>(k)]; }
  void SetSlotInput(int k, int position);
  void SetSlotColor(int k, uint32_t bbggrr);
  // Fills slots row, row + 1, ... with `positions` in order, stopping after the last slot;
  // returns how many were filled.
  int FillSlots(int row, const std::vector<int>& positions);
  // Row under a y coordinate for the context menu: y / 15 - 1, limited to 0-49.
  static int RowOfY(int y);

  // --- times and state ---
  std::optional<int64_t> startTime() const { return start_; }
  std::optional<int64_t> currentTime() const { return current_; }
  int64_t displayTime() const { return display_; }
  void SetDisplayTime(int64_t t) { display_ = t; }
  int64_t ticksPerDay() const { return ticksPerDay_; }
  int positions() const { return positions_; }
  bool threeState() const { return threeState_; }
  int StateOf(int position) const;
  const std::deque<Change>& changes() const { return changes_; }
  bool FlashEnabled(int position) const;

  // Takes changes more than one hour (ticks per day / 24) before the display time off the list
  // into the state table, and moves the start time up to at most one hour before it.
  void TrimHistory();

  // --- geometry ---
  static int PlotEdge(int width) { return width - kLabelColumnWidth; }
  static int RowsShown(int height);
  static int RowTop(int slot) { return kRowHeight * slot + kRowHeight; }
  int XOfTime(int64_t t, int edge) const;

  // Trims the history, then computes everything a repaint draws for a client area of this size.
  // Changes left of the plot are skipped by a binary search when the list's times run forward
  // and the start time is not inside the plot; the traces' levels at the first visible change
  // come from a cached walk that moves on with the display time (and restarts when it moves
  // back).
  PlotFrame Frame(int width, int height);
  // Index of the first change the last Frame walked (0 when it walked the whole list).
  std::size_t lastFrameFirstChange() const { return lastFirst_; }

 private:
  void AddChange(int position, int state, int64_t time);
  void PopFront();
  void NoteTime(int64_t time);
  // First change whose x is not left of 0 when that can be found by binary search, else 0.
  std::size_t FirstVisibleChange(int edge) const;
  // Moves the cached walk to just before change `index`.
  void MoveCursorTo(std::size_t index);

  int64_t ticksPerDay_;
  int positions_;
  bool threeState_;
  std::vector<bool> flash_;
  RtLineAssembler assembler_;

  std::vector<TraceSlot> slots_;
  std::vector<uint8_t> states_;  // per position, the state before the first change on the list
  std::deque<Change> changes_;
  // The list's order: adjacent pairs whose later time lies behind the earlier one (the shortest
  // way around the day), and the sum of the forward steps between adjacent changes.
  std::size_t descents_ = 0;
  int64_t spanTicks_ = 0;
  uint64_t firstSeq_ = 0;  // sequence number of the list's first change
  // Per position, state and level after every change before sequence number cursorSeq_ (valid
  // while cursorValid_; a block line moves the levels under it).
  struct CursorEntry {
    uint8_t state = 0;
    bool high = false;
  };
  std::vector<CursorEntry> cursor_;
  uint64_t cursorSeq_ = 0;
  bool cursorValid_ = false;
  std::size_t lastFirst_ = 0;
  std::optional<int64_t> start_;
  std::optional<int64_t> current_;
  int64_t display_ = 0;
  int zoom_ = kStartZoom;
  int tickCount_ = 0;
};

}  // namespace zel::rtp
