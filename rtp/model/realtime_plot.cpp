#include "model/realtime_plot.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "gui/model/time_axis.h"

namespace zel::rtp {
namespace {

int64_t FloorMod(int64_t a, int64_t m) {
  const int64_t r = a % m;
  return r < 0 ? r + m : r;
}

int64_t FloorDiv(int64_t a, int64_t m) { return (a - FloorMod(a, m)) / m; }

}  // namespace

int64_t WrapDifference(int64_t a, int64_t b, int64_t ticks_per_day) {
  // Times of one day differ by less than a day: no division needed (this runs for every change
  // of every repaint).
  int64_t d = a - b;
  if (d > -ticks_per_day && d < ticks_per_day) {
    if (d < 0) d += ticks_per_day;
  } else {
    d = FloorMod(d, ticks_per_day);
  }
  if (d > ticks_per_day / 2) d -= ticks_per_day;
  return d;
}

std::string TimeOfDayText(int64_t ticks, int64_t ticks_per_day) {
  const int64_t per_second = std::max<int64_t>(1, ticks_per_day / 86'400);
  const int64_t s = FloorMod(ticks, ticks_per_day) / per_second;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(s / 3600),
                static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
  return text;
}

std::string TimeOfDayTextFine(int64_t ticks, int64_t ticks_per_day) {
  const int64_t per_second = std::max<int64_t>(1, ticks_per_day / 86'400);
  const int64_t t = FloorMod(ticks, ticks_per_day);
  std::string text = TimeOfDayText(t, ticks_per_day);
  const int digits = per_second >= 1000 ? 3 : per_second >= 100 ? 2 : per_second >= 10 ? 1 : 0;
  if (digits > 0) {
    char frac[8];
    std::snprintf(frac, sizeof frac, ".%0*d", digits, static_cast<int>(t % per_second));
    text += frac;
  }
  return text;
}

RealTimePlot::RealTimePlot(const RtpModel* model, std::vector<bool> flash_enabled)
    : ticksPerDay_(model ? model->ticksPerDay : kDefaultTicksPerDay),
      positions_(model ? model->positions : 0),
      threeState_(model ? model->threeState : false),
      flash_(std::move(flash_enabled)),
      slots_(kSlotCount),
      states_(static_cast<size_t>(positions_), 0) {}

bool RealTimePlot::FlashEnabled(int position) const {
  return position >= 0 && static_cast<size_t>(position) < flash_.size() &&
         flash_[static_cast<size_t>(position)];
}

int RealTimePlot::StateOf(int position) const {
  if (position < 0 || position >= positions_) return 0;
  return states_[static_cast<size_t>(position)];
}

void RealTimePlot::FeedByte(uint8_t byte) {
  if (assembler_.Feed(byte)) HandleLine(assembler_.line());
}

void RealTimePlot::NoteTime(int64_t time) {
  current_ = time;
  if (!start_) {
    start_ = time;
    // The view starts at the stream's first time, not at midnight: a paint before the first
    // repaint tick must not take the afternoon's first changes for ones over an hour old.
    display_ = time;
  }
}

void RealTimePlot::AddChange(int position, int state, int64_t time) {
  if (changes_.size() >= kMaxChanges) PopFront();
  if (!changes_.empty()) {
    const int64_t step = WrapDifference(time, changes_.back().time, ticksPerDay_);
    if (step < 0)
      ++descents_;
    else
      spanTicks_ += step;
  }
  changes_.push_back(Change{static_cast<int32_t>(position), static_cast<uint8_t>(state), time});
}

// Takes the oldest change off the list into the state table.
void RealTimePlot::PopFront() {
  const Change& old = changes_.front();
  states_[static_cast<size_t>(old.position)] = old.state;
  if (changes_.size() >= 2) {
    const int64_t step = WrapDifference(changes_[1].time, old.time, ticksPerDay_);
    if (step < 0)
      --descents_;
    else
      spanTicks_ -= step;
  }
  changes_.pop_front();
  ++firstSeq_;
}

void RealTimePlot::HandleLine(std::string_view text) {
  const RtLine line = ParseRtLine(text);
  switch (line.kind) {
    case RtLine::Kind::kNone:
      return;
    case RtLine::Kind::kTimeMark:
      if (line.time < ticksPerDay_) NoteTime(line.time);
      return;
    case RtLine::Kind::kChange:
      if (line.position < 0 || line.position >= positions_ || line.state > 2 ||
          line.time >= ticksPerDay_)
        return;
      AddChange(line.position, line.state, line.time);
      NoteTime(line.time);
      return;
    case RtLine::Kind::kBlock: {
      int p = line.position;
      for (char c : line.states) {
        if (p >= positions_) break;
        const int s = c - '0';
        if (s > 2) continue;
        states_[static_cast<size_t>(p++)] = static_cast<uint8_t>(s);
      }
      cursorValid_ = false;  // the levels before the first change have moved
      return;
    }
  }
}

int RealTimePlot::RepaintPeriodTicks() const { return std::max(zoom_ / 100, kMinRepaintTicks); }

bool RealTimePlot::Tick() {
  if (++tickCount_ < RepaintPeriodTicks()) return false;
  tickCount_ = 0;
  if (current_) display_ = *current_;
  return true;
}

bool RealTimePlot::ZoomIn(int factor) {
  if (factor < 1) return false;
  const int z = std::max(kMinZoom, zoom_ / factor);
  if (z == zoom_) return false;
  zoom_ = z;
  if (current_) display_ = *current_;
  return true;
}

bool RealTimePlot::ZoomOut(int factor) {
  if (factor < 1) return false;
  const int z = static_cast<int>(std::min<int64_t>(kMaxZoom, int64_t{zoom_} * factor));
  if (z == zoom_) return false;
  zoom_ = z;
  if (current_) display_ = *current_;
  return true;
}

void RealTimePlot::SetSlotInput(int k, int position) {
  if (k < 0 || k >= kSlotCount) return;
  slots_[static_cast<size_t>(k)].input = position >= 0 && position < positions_ ? position : -1;
}

void RealTimePlot::SetSlotColor(int k, uint32_t bbggrr) {
  if (k < 0 || k >= kSlotCount) return;
  slots_[static_cast<size_t>(k)].color = bbggrr & 0xFFFFFF;
}

int RealTimePlot::FillSlots(int row, const std::vector<int>& positions) {
  int k = std::clamp(row, 0, kSlotCount - 1);
  int filled = 0;
  for (int p : positions) {
    if (k >= kSlotCount) break;
    SetSlotInput(k++, p);
    ++filled;
  }
  return filled;
}

int RealTimePlot::RowOfY(int y) { return std::clamp(y / kRowHeight - 1, 0, kSlotCount - 1); }

int RealTimePlot::RowsShown(int height) {
  const int rows = height / kRowHeight - 1;
  return std::clamp(rows, 0, kSlotCount);
}

int RealTimePlot::XOfTime(int64_t t, int edge) const {
  const int64_t d10 = WrapDifference(t, display_, ticksPerDay_) * 10;
  // The same quotient in 32 bits when it fits: a 64-bit division costs several times as much.
  if (d10 > INT32_MIN && d10 < INT32_MAX) return edge + static_cast<int32_t>(d10) / zoom_;
  return edge + static_cast<int>(d10 / zoom_);
}

void RealTimePlot::TrimHistory() {
  const int64_t hour = ticksPerDay_ / 24;
  while (!changes_.empty() && WrapDifference(changes_.front().time, display_, ticksPerDay_) < -hour)
    PopFront();
  if (start_ && WrapDifference(*start_, display_, ticksPerDay_) < -hour)
    start_ = FloorMod(display_ - hour, ticksPerDay_);
}

std::size_t RealTimePlot::FirstVisibleChange(int edge) const {
  // The x of the list's changes runs forward only when no time steps back and the list, counted
  // on from its first time, stays on the near side of the display time (no time reads as half
  // a day away the other way round).
  if (changes_.empty() || descents_ != 0) return 0;
  const int64_t first = WrapDifference(changes_.front().time, display_, ticksPerDay_);
  if (first + spanTicks_ > ticksPerDay_ / 2) return 0;
  std::size_t lo = 0, hi = changes_.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (XOfTime(changes_[mid].time, edge) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

void RealTimePlot::MoveCursorTo(std::size_t index) {
  const uint64_t target = firstSeq_ + index;
  if (!cursorValid_ || cursorSeq_ < firstSeq_ || cursorSeq_ > target) {
    cursor_.resize(static_cast<size_t>(positions_));
    for (size_t p = 0; p < cursor_.size(); ++p)
      cursor_[p] = CursorEntry{states_[p], states_[p] != 0};
    cursorSeq_ = firstSeq_;
    cursorValid_ = true;
  }
  for (size_t i = static_cast<size_t>(cursorSeq_ - firstSeq_); i < index; ++i) {
    const Change& c = changes_[i];
    CursorEntry& e = cursor_[static_cast<size_t>(c.position)];
    e.high = threeState_ ? !e.high : c.state != 0;
    e.state = c.state;
  }
  cursorSeq_ = target;
}

PlotFrame RealTimePlot::Frame(int width, int height) {
  TrimHistory();
  PlotFrame f;
  f.edge = PlotEdge(width);
  f.rows = RowsShown(height);
  f.gridBottom = RowTop(f.rows);
  f.hasTime = start_.has_value();
  if (!f.hasTime || f.edge <= 0) return f;

  // Grid: every multiple of the tick step from the left border to the edge.
  const gui::TimeSteps steps = gui::ChooseTimeSteps(TicksPerSecond(ticksPerDay_), zoom_, 10);
  const int64_t left = display_ - int64_t{f.edge} * zoom_ / 10;
  for (int64_t t = FloorDiv(left, steps.tickTicks) * steps.tickTicks; t <= display_;
       t += steps.tickTicks) {
    const int x = f.edge + static_cast<int>((t - display_) * 10 / zoom_);
    if (x < 0) continue;
    f.grid.push_back(GridMark{x, FloorMod(t, steps.labelTicks) == 0, FloorMod(t, ticksPerDay_)});
  }

  // Slots shown, by position: first slot and the next slot of the same position.
  std::vector<int16_t> first(static_cast<size_t>(positions_), -1);
  std::vector<int16_t> next(kSlotCount, -1);
  for (int k = f.rows - 1; k >= 0; --k) {
    const int p = slots_[static_cast<size_t>(k)].input;
    if (p < 0 || p >= positions_) continue;
    next[static_cast<size_t>(k)] = first[static_cast<size_t>(p)];
    first[static_cast<size_t>(p)] = static_cast<int16_t>(k);
  }

  // Changes left of the plot draw nothing; they only set the levels the traces enter it with.
  // That holds while the start time is not right of the left border: a trace's first line runs
  // from the start time, and would run back from there to a change timed before the start.
  const int start_x = XOfTime(*start_, f.edge);
  const std::size_t first_change = start_x <= 0 ? FirstVisibleChange(f.edge) : 0;
  lastFirst_ = first_change;
  MoveCursorTo(first_change);

  struct Trace {
    int state = 0;
    int x = 0;
    int y = 0;
    int last = -1;  // index of its last piece in f.pieces
  };
  std::vector<Trace> trace(kSlotCount);
  auto high = [](int k) { return RowTop(k) + kHighOffset; };
  auto low = [](int k) { return RowTop(k) + kLowOffset; };
  for (int k = 0; k < f.rows; ++k) {
    const int p = slots_[static_cast<size_t>(k)].input;
    if (p < 0 || p >= positions_) continue;
    const CursorEntry& e = cursor_[static_cast<size_t>(p)];
    Trace& tr = trace[static_cast<size_t>(k)];
    tr.state = e.state;
    tr.x = start_x;
    tr.y = e.high ? high(k) : low(k);
  }

  // One piece: a horizontal line x0..x at from_y, then the vertical at x to to_y. A piece in the
  // column its trace's last piece ended in widens that piece's vertical instead; a level piece
  // continuing a level piece lengthens it. Both leave the pixels as they are.
  auto emit = [&](int k, Trace& tr, int x0, int x, int from_y, int to_y, bool hatch) {
    if (tr.last >= 0 && !hatch) {
      TracePiece& p = f.pieces[static_cast<size_t>(tr.last)];
      if (x0 == x && p.x1 == x) {
        const int lo = std::min(p.fromY, p.toY), hi = std::max(p.fromY, p.toY);
        const int new_lo = std::min(from_y, to_y), new_hi = std::max(from_y, to_y);
        if (new_lo <= hi + 1 && new_hi >= lo - 1) {
          const int u_lo = std::min(lo, new_lo), u_hi = std::max(hi, new_hi);
          if (p.fromY == u_lo) {
            p.toY = u_hi;
            return;
          }
          if (p.fromY == u_hi) {
            p.toY = u_lo;
            return;
          }
        }
      }
      if (!p.hatch && p.fromY == p.toY && from_y == to_y && from_y == p.fromY && p.x0 <= x0 &&
          x0 == p.x1 && x >= x0) {
        p.x1 = x;
        return;
      }
    }
    // A horizontal line one pixel long between two verticals covers no pixel of its own.
    if (tr.last >= 0 && !hatch && x - x0 == 1) {
      const TracePiece& p = f.pieces[static_cast<size_t>(tr.last)];
      if (p.edge && p.x1 == x0 && from_y >= std::min(p.fromY, p.toY) &&
          from_y <= std::max(p.fromY, p.toY))
        x0 = x;
    }
    tr.last = static_cast<int>(f.pieces.size());
    f.pieces.push_back(TracePiece{k, x0, x, from_y, true, to_y, hatch, high(k), low(k)});
  };

  for (std::size_t i = first_change; i < changes_.size(); ++i) {
    const Change& c = changes_[i];
    int k = first[static_cast<size_t>(c.position)];
    if (k < 0) continue;
    const int x = XOfTime(c.time, f.edge);
    for (; k >= 0; k = next[static_cast<size_t>(k)]) {
      Trace& tr = trace[static_cast<size_t>(k)];
      const int x0 = std::max(tr.x, 0);
      const int to_y =
          threeState_ ? (tr.y == high(k) ? low(k) : high(k)) : (c.state != 0 ? high(k) : low(k));
      const bool hatch =
          x - x0 > 1 && (threeState_ ? tr.state == 2 : c.state == 0 && FlashEnabled(c.position));
      const bool outside = (x < 0 && x0 <= 0) || (x0 > f.edge && x > f.edge);
      if (!outside) emit(k, tr, x0, x, tr.y, to_y, hatch);
      tr.state = c.state;
      tr.x = x;
      tr.y = to_y;
    }
  }
  // Every shown trace goes on at its present level to the edge.
  for (int k = 0; k < f.rows; ++k) {
    const int p = slots_[static_cast<size_t>(k)].input;
    if (p < 0 || p >= positions_) continue;
    const Trace& tr = trace[static_cast<size_t>(k)];
    const int x0 = std::max(tr.x, 0);
    if (x0 > f.edge) continue;
    const bool hatch =
        f.edge - x0 > 1 && (threeState_ ? tr.state == 2 : tr.state != 0 && FlashEnabled(p));
    f.pieces.push_back(TracePiece{k, x0, f.edge, tr.y, false, tr.y, hatch, high(k), low(k)});
  }
  return f;
}

}  // namespace zel::rtp
