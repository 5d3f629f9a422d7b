// A monotonic clock for time-outs that can be replaced: the connection layer reads its waits'
// time from one, so a test can let a time-out pass without waiting for it.
#pragma once

#include <atomic>
#include <cstdint>

namespace zel::platform {

class MonotonicSource {
 public:
  virtual ~MonotonicSource() = default;
  virtual int64_t NowUs() const = 0;
  int64_t NowMs() const { return NowUs() / 1000; }
};

// The system's monotonic clock (MonotonicUs).
const MonotonicSource& SystemMonotonic();

// A monotonic clock that moves only when told to.
class FakeMonotonic : public MonotonicSource {
 public:
  int64_t NowUs() const override { return us_.load(); }
  void AdvanceUs(int64_t us) { us_.fetch_add(us); }
  void AdvanceMs(int64_t ms) { AdvanceUs(ms * 1000); }

 private:
  std::atomic<int64_t> us_{1'000'000'000};
};

}  // namespace zel::platform
