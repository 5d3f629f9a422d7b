// The three status texts the main window shows beside "Polling Recorder:" (recorder ID,
// operation, result), written by the poll thread and read by the user-interface thread.
#pragma once

#include <mutex>
#include <string>

namespace zel::comm {

class StatusTexts {
 public:
  struct Snapshot {
    std::string recorder, operation, result;
  };
  void SetRecorder(std::string s) {
    std::lock_guard l(mu_);
    s_.recorder = std::move(s);
  }
  void SetOperation(std::string s) {
    std::lock_guard l(mu_);
    s_.operation = std::move(s);
  }
  void SetResult(std::string s) {
    std::lock_guard l(mu_);
    s_.result = std::move(s);
  }
  void Clear() {
    std::lock_guard l(mu_);
    s_ = {};
  }
  Snapshot Get() const {
    std::lock_guard l(mu_);
    return s_;
  }

 private:
  mutable std::mutex mu_;
  Snapshot s_;
};

}  // namespace zel::comm
