// A connection's clock for time-out tests over real lines: a readiness wait that ends with a
// byte counts as `answeredMs`, one that ends without as `silentMs` (0 and 0: the clock stands
// still, so only bytes, the abort, the line's end or the test's own AdvanceMs can finish a
// wait). A clock that moves only with bytes keeps a busy far end's line busy however late the
// test's threads run. The waits are counted, so a far end can wait for the connection to have
// taken its bytes and found the line silent before it sends more, instead of sleeping.
#pragma once

#include <atomic>
#include <cstdint>

#include "zel/comm/connection.h"
#include "zel/platform/monotonic.h"

namespace zel::comm::testing {

class StepClock : public platform::FakeMonotonic, public ConnectionObserver {
 public:
  StepClock(int answeredMs, int silentMs) : answeredMs_(answeredMs), silentMs_(silentMs) {}
  ~StepClock() override { Detach(); }
  StepClock(const StepClock&) = delete;
  StepClock& operator=(const StepClock&) = delete;
  void OnLineWait(bool answered, int64_t) override {
    AdvanceMs((answered ? answeredMs_ : silentMs_) + pending_.exchange(0));
    ++(answered ? answered_ : silent_);
  }
  // Moves the clock on by `ms` when the connection's current (or next) wait ends, between two
  // of its passes: a pass never sees the time move between reading the line and looking at
  // the clock.
  void AdvanceAtNextWaitMs(int ms) { pending_ += ms; }
  // True once every such step has been taken.
  bool Settled() const { return pending_ == 0; }
  int silent() const { return silent_; }
  int answered() const { return answered_; }
  int waits() const { return silent_ + answered_; }

  // Puts `c` on this clock (until the clock goes) as it is.
  void Attach(Connection& c) {
    c_ = &c;
    c.SetMonotonic(*this);
    c.SetObserver(this);
  }
  // Gives the connection its own clock back.
  void Detach() {
    if (c_ == nullptr) return;
    c_->SetObserver(nullptr);
    c_->SetMonotonic(platform::SystemMonotonic());
    c_ = nullptr;
  }
  // The same with readiness waits of 5 ms, so a wait of the fake clock takes little real time.
  void Drive(Connection& c) {
    Timings t = c.timings();
    t.wake_poll_ms = 5;
    t.xmodem_poll_ms = 5;
    c.SetTimings(t);
    Attach(c);
  }

 private:
  const int answeredMs_, silentMs_;
  Connection* c_ = nullptr;
  std::atomic<int> silent_{0}, answered_{0}, pending_{0};
};

}  // namespace zel::comm::testing
