#include "modem_dialog.h"

#include <algorithm>
#include <cstdint>

#include "zel/platform/clock.h"

namespace zel::vantel {

int SendAndWait(ModemDialog& d, std::string_view text, const std::vector<std::string>& answers,
                int timeout_ms) {
  if (!text.empty() && d.line.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size()) !=
                           static_cast<int>(text.size()))
    return -3;
  size_t longest = 1;
  for (const auto& a : answers) longest = std::max(longest, a.size());
  std::string recent;
  const int64_t deadline = platform::MonotonicMs() + timeout_ms;
  for (;;) {
    std::string got;
    for (int b; got.size() < 4096 && (b = d.line.ReadByte()) >= 0;) {
      got.push_back(static_cast<char>(b));
      recent.push_back(static_cast<char>(b));
      if (recent.size() > longest) recent.erase(0, recent.size() - longest);
      for (size_t i = 0; i < answers.size(); ++i) {
        const std::string& a = answers[i];
        if (recent.size() >= a.size() &&
            recent.compare(recent.size() - a.size(), a.size(), a) == 0) {
          if (d.show) d.show(got);
          return static_cast<int>(i);
        }
      }
    }
    if (!got.empty() && d.show) d.show(got);
    if (d.cancelled && d.cancelled()) return -2;
    if (d.line.LineGone()) return -3;
    const int64_t left = deadline - platform::MonotonicMs();
    if (left <= 0) return -1;
    d.line.WaitReadable(static_cast<int>(std::min<int64_t>(left, d.stepMs)));
  }
}

DialResult Dial(ModemDialog& d, const std::string& init, const std::string& number,
                const std::function<void()>& after_ok) {
  const std::string initText = init.empty() ? std::string("\rAT\r") : "\r" + init + "\r";
  const int ok = SendAndWait(d, initText, {"OK", "ERROR"}, d.okMs);
  if (ok == -2) return DialResult::kCancelled;
  if (ok == -3) return DialResult::kLineGone;
  if (ok == -1) return DialResult::kNoModem;
  if (ok == 1) return DialResult::kInitError;
  if (after_ok) after_ok();
  const int r = SendAndWait(
      d, "ATDT" + number + "\r",
      {"CONNECT", "BUSY", "NO CARRIER", "NO DIALTONE", "NO DIAL TONE", "NO ANSWER", "ERROR"},
      d.dialMs);
  switch (r) {
    case 0:
      // The rest of the modem's line ("CONNECT 9600") is still the modem's.
      SendAndWait(d, "", {"\n"}, std::min(d.okMs, 2000));
      return DialResult::kConnected;
    case 1:
      return DialResult::kBusy;
    case 2:
      return DialResult::kNoCarrier;
    case 3:
    case 4:
      return DialResult::kNoDialtone;
    case 5:
      return DialResult::kNoAnswer;
    case 6:
      return DialResult::kDialError;
    case -2:
      return DialResult::kCancelled;
    case -3:
      return DialResult::kLineGone;
    default:
      return DialResult::kNoConnect;
  }
}

std::string DialResultText(DialResult r) {
  switch (r) {
    case DialResult::kConnected:
      return "Connected.";
    case DialResult::kNoModem:
      return "The modem did not answer OK; check that it is on and on the right port.";
    case DialResult::kInitError:
      return "The modem refused the initialisation string (ERROR); check the modem settings.";
    case DialResult::kBusy:
      return "The line was busy; try again later.";
    case DialResult::kNoCarrier:
      return "No carrier: the recorder's modem did not answer the call.";
    case DialResult::kNoDialtone:
      return "No dial tone: check the telephone line of the modem.";
    case DialResult::kNoAnswer:
      return "No answer from the number dialled.";
    case DialResult::kDialError:
      return "The modem refused the dial command (ERROR); check the number and dial prefix.";
    case DialResult::kNoConnect:
      return "Failed to connect: the modem gave no answer to the call in time.";
    case DialResult::kCancelled:
      return "Dialling cancelled.";
    case DialResult::kLineGone:
      return "The serial line to the modem was lost.";
  }
  return "Failed to connect.";
}

}  // namespace zel::vantel
