#include "model/live_session.h"

#include <algorithm>
#include <cmath>

#include "zel/comm/protocol.h"
#include "zel/core/recorder_rules.h"

namespace zel::oxm {

LiveTimings LiveTimings::Scaled(double factor) const {
  LiveTimings t = *this;
  auto s = [factor](int& v) { v = std::max(1, static_cast<int>(std::lround(v * factor))); };
  s(t.quiet_ms);
  s(t.answer_ms);
  return t;
}

LiveOpen OpenLiveStatus(comm::Connection& c, const RecorderRecord& r, bool direct,
                        const core::StationSettings& settings, const LiveTimings& timings,
                        comm::ConnectingView& view, platform::Prompter& prompter) {
  c.abort_flag() = 0;
  LiveOpen out;
  std::optional<std::string> phone;
  int baud;
  if (direct) {
    out.selector = comm::DirectPortOf(c, r);
    baud = settings.directBaud;
  } else {
    out.selector = settings.port;
    baud = settings.baud;
    phone = r.phone;
  }
  if (!comm::ConnectWithDialog(c, out.selector, baud, phone, r.id, view, prompter)) {
    c.CloseConnection(out.selector);
    return out;
  }
  auto fail = [&](const char* text) {
    prompter.Show(core::kMessageTitle, text, platform::PromptButtons::Ok);
    c.CloseConnection(out.selector);
    return out;
  };
  if (comm::Login(c, out.selector, r) != comm::kPollSuccess) return fail(kLoginFailed);
  // A line that never falls quiet is no answer: it must not hold the window for ever.
  if (!c.WaitQuiet(out.selector, timings.quiet_ms, timings.answer_ms)) return fail(kNoLiveResponse);
  c.SendByte(out.selector, static_cast<uint8_t>(comm::kEnterQueryCommand[0]));
  if (!c.WaitForText(out.selector, timings.answer_ms, comm::kQueryPrompt))
    return fail(kNoLiveResponse);
  c.SendByte(out.selector, static_cast<uint8_t>(kLiveCommand[0]));
  if (c.status()) c.status()->SetOperation("");
  out.connected = true;
  return out;
}

}  // namespace zel::oxm
