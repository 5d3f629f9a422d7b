#include "zel/comm/connect_dialog.h"

#include <algorithm>
#include <chrono>

namespace zel::comm {

ConnectAttempt::ConnectAttempt(Connection& c, int selector, int baud_code,
                               std::optional<std::string> phone)
    : conn_(c), target_(phone ? *phone : "Direct"), tickMs_(c.timings().dialog_tick_ms) {
  worker_ = std::thread([this, selector, baud_code, phone = std::move(phone)] {
    result_ = Code(conn_.OpenConnection(selector, baud_code, phone));
    done_ = true;
  });
}

ConnectAttempt::~ConnectAttempt() {
  // A dialog that ended without waiting for the worker (closed by the window manager, say)
  // must not leave it running against the connection.
  if (worker_.joinable()) {
    if (!done_) Cancel();
    worker_.join();
  }
}

bool ConnectAttempt::Tick() {
  if (!done_) return false;
  if (worker_.joinable()) worker_.join();
  return true;
}

void ConnectAttempt::Cancel() { conn_.abort_flag() = 1; }

void TickingView::Run(ConnectAttempt& attempt) {
  while (!attempt.Tick())
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(1, attempt.tick_ms())));
}

int ConnectWithDialog(Connection& c, int selector, int baud_code,
                      const std::optional<std::string>& phone, const std::string& recorder_id,
                      ConnectingView& view, zel::platform::Prompter& prompter) {
  if (selector == kTcpSelector) return c.OpenConnection(selector, baud_code, phone) == 0 ? 1 : 0;

  if (c.status()) c.status()->SetRecorder(recorder_id);
  c.abort_flag() = 0;
  int result;
  {
    ConnectAttempt attempt(c, selector, baud_code, phone);
    view.Run(attempt);
    if (!attempt.done()) attempt.Cancel();
    while (!attempt.Tick())
      std::this_thread::sleep_for(std::chrono::milliseconds(std::max(1, attempt.tick_ms())));
    result = attempt.result();
  }
  if (c.status()) c.status()->Clear();
  if (result == 0) return 1;
  c.CloseConnection(selector);
  prompter.Show("Connection error", ConnectionErrorText(result), zel::platform::PromptButtons::Ok);
  return 0;
}

}  // namespace zel::comm
