// Opening a connection for the user: TCP/IP at once; a serial or modem line behind the modal
// "Connecting" dialog, which the user can cancel. The dialog itself is a ConnectingView (the
// Qt dialog, or TickingView for programs without windows); the logic lives here.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "zel/comm/connection.h"
#include "zel/platform/prompter.h"

namespace zel::comm {

// One connection attempt as its dialog sees it. The worker thread runs OpenConnection from
// construction on.
class ConnectAttempt {
 public:
  ConnectAttempt(Connection& c, int selector, int baud_code, std::optional<std::string> phone);
  ~ConnectAttempt();
  ConnectAttempt(const ConnectAttempt&) = delete;
  ConnectAttempt& operator=(const ConnectAttempt&) = delete;

  const std::string& title() const { return title_; }      // "Connecting"
  const std::string& caption() const { return caption_; }  // "Connecting:"
  const std::string& target() const { return target_; }    // the phone number or "Direct"
  int tick_ms() const { return tickMs_; }

  // One timer tick: true when the dialog ends now (the worker has returned).
  bool Tick();
  // The Cancel button: asks the worker to stop; the dialog still ends at a later tick.
  void Cancel();
  bool done() const { return done_.load(); }
  // OpenConnection's result; meaningful once Tick returned true.
  int result() const { return result_.load(); }

 private:
  Connection& conn_;
  std::string title_ = "Connecting";
  std::string caption_ = "Connecting:";
  std::string target_;
  int tickMs_;
  std::atomic<int> result_{0};
  std::atomic<bool> done_{false};
  std::thread worker_;
};

class ConnectingView {
 public:
  virtual ~ConnectingView() = default;
  // Shows the dialog for `attempt` and returns when it ends: calls attempt.Tick() every
  // attempt.tick_ms() until it returns true, and attempt.Cancel() when the user cancels.
  virtual void Run(ConnectAttempt& attempt) = 0;
};

// The dialog without a window: ticks on the calling thread until the worker has returned.
class TickingView : public ConnectingView {
 public:
  void Run(ConnectAttempt& attempt) override;
};

// Connects `selector`; returns 1 when connected, 0 when not (the user has been told, except
// for TCP/IP, which fails silently). `recorder_id` becomes the recorder status text while
// connecting.
int ConnectWithDialog(Connection& c, int selector, int baud_code,
                      const std::optional<std::string>& phone, const std::string& recorder_id,
                      ConnectingView& view, zel::platform::Prompter& prompter);

}  // namespace zel::comm
