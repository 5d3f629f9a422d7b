#include "zel/comm/modem_io.h"

#include <algorithm>

namespace zel::comm {

ModemIo::ModemIo(Transport& line, const AbortFlag* abort_flag, int poll_ms,
                 const platform::MonotonicSource& clock)
    : line_(line), abort_(abort_flag), pollMs_(std::max(1, poll_ms)), clock_(clock) {}

bool ModemIo::Send(std::string_view text) {
  if (text.empty()) return true;
  return line_.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size()) ==
         static_cast<int>(text.size());
}

void ModemIo::StartWait(std::string_view answers, int timeout_ms) {
  answers_.clear();
  size_t start = 0;
  for (;;) {
    size_t bar = answers.find('|', start);
    answers_.emplace_back(answers.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  keep_ = 0;
  for (const auto& a : answers_) keep_ = std::max(keep_, a.size());
  recent_.clear();
  result_ = 0;
  deadline_ = clock_.NowMs() + std::max(0, timeout_ms);
  mode_ = Mode::kText;
}

void ModemIo::StartQuiet(int quiet_ms) {
  result_ = 0;
  quietMs_ = std::max(0, quiet_ms);
  deadline_ = clock_.NowMs() + quietMs_;
  mode_ = Mode::kQuiet;
}

bool ModemIo::Advance() {
  if (mode_ == Mode::kIdle) return false;
  if (Aborted()) {
    mode_ = Mode::kIdle;
    return false;
  }
  int b;
  // A bounded number of bytes per pass keeps the deadline and the abort flag in view.
  for (int n = 0; n < 256 && (b = line_.ReadByte()) >= 0; ++n) {
    if (mode_ == Mode::kQuiet) {
      deadline_ = clock_.NowMs() + quietMs_;
      continue;
    }
    if (keep_ == 0) continue;
    recent_.push_back(static_cast<char>(b));
    if (recent_.size() > keep_) recent_.erase(0, recent_.size() - keep_);
    // The first answer (in the order given) that the latest byte completes wins.
    for (size_t i = 0; i < answers_.size(); ++i) {
      const std::string& a = answers_[i];
      if (!a.empty() && recent_.size() >= a.size() &&
          recent_.compare(recent_.size() - a.size(), a.size(), a) == 0) {
        result_ = '0' + static_cast<int>(i);
        mode_ = Mode::kIdle;
        return false;
      }
    }
  }
  const int64_t left = deadline_ - clock_.NowMs();
  if (left <= 0) {
    mode_ = Mode::kIdle;
    return false;
  }
  line_.WaitReadable(static_cast<int>(std::min<int64_t>(left, pollMs_)));
  return true;
}

int ModemIo::WaitFor(std::string_view answers, int timeout_ms) {
  StartWait(answers, timeout_ms);
  while (Advance()) {
  }
  return result_;
}

void ModemIo::WaitQuiet(int quiet_ms) {
  StartQuiet(quiet_ms);
  while (Advance()) {
  }
}

}  // namespace zel::comm
