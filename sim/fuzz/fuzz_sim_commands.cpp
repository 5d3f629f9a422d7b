// Any bytes a peer may send to a simulated recorder: the protocol state machine, the clock
// editor, query lines and the start of transfers must neither crash nor run without end.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "zel/sim/recorder.h"

namespace {

// Hands the input over byte by byte, then reports the line gone.
class FeedLink : public zel::sim::Link {
 public:
  FeedLink(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  int ReadByte(int) override {
    if (pos_ >= n_) return zel::sim::kClosed;
    return d_[pos_++];
  }
  bool Write(const uint8_t*, size_t n) override {
    written_ += n;
    return written_ < (1u << 22);  // bounded output: a runaway stream ends the line
  }
  bool IsClosed() const override { return pos_ >= n_; }
  using zel::sim::Link::Write;

 private:
  const uint8_t* d_;
  size_t n_;
  size_t pos_ = 0;
  size_t written_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static std::unique_ptr<zel::sim::Recorder> recorders[2];
  const int which = data[0] & 1;
  if (!recorders[which]) {
    zel::sim::RecorderConfig c;
    c.type = which ? 7 : 18;
    c.password = "P";
    c.scale = 0.0001;  // transfers give up at once
    recorders[which] = zel::sim::Recorder::Create(c, nullptr);
  }
  std::atomic<bool> stop{false};
  FeedLink link(data + 1, size - 1);
  recorders[which]->Serve(link, stop);
  return 0;
}
