// Every message box of the suite goes through one Prompter, so tests see the exact texts.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace zel::platform {

enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Shows `text` under `caption` and returns the button chosen. `timeout_ms` > 0 lets the box
  // close by itself after that long with `on_timeout` (a confirmation that defaults on its own).
  virtual PromptAnswer Show(const std::string& caption, const std::string& text,
                            PromptButtons buttons = PromptButtons::Ok, int timeout_ms = 0,
                            PromptAnswer on_timeout = PromptAnswer::Ok) = 0;
};

// Records every prompt and answers from a script (then with the default answer).
class RecordingPrompter : public Prompter {
 public:
  struct Entry {
    std::string caption;
    std::string text;
    PromptButtons buttons;
    int timeout_ms;
  };
  explicit RecordingPrompter(PromptAnswer default_answer = PromptAnswer::Ok)
      : default_answer_(default_answer) {}
  void QueueAnswer(PromptAnswer a) {
    std::lock_guard lock(mu_);
    answers_.push_back(a);
  }
  PromptAnswer Show(const std::string& caption, const std::string& text, PromptButtons buttons,
                    int timeout_ms, PromptAnswer) override {
    std::lock_guard lock(mu_);
    entries_.push_back({caption, text, buttons, timeout_ms});
    if (answers_.empty()) return default_answer_;
    PromptAnswer a = answers_.front();
    answers_.pop_front();
    return a;
  }
  std::vector<Entry> entries() const {
    std::lock_guard lock(mu_);
    return entries_;
  }

 private:
  mutable std::mutex mu_;
  PromptAnswer default_answer_;
  std::deque<PromptAnswer> answers_;
  std::vector<Entry> entries_;
};

// For console programs: prints the message to stderr and answers with the default.
class ConsolePrompter : public Prompter {
 public:
  explicit ConsolePrompter(PromptAnswer answer = PromptAnswer::Ok) : answer_(answer) {}
  PromptAnswer Show(const std::string& caption, const std::string& text, PromptButtons buttons,
                    int timeout_ms, PromptAnswer on_timeout) override;

 private:
  PromptAnswer answer_;
};

}  // namespace zel::platform
