#include "model/rtp_login.h"

#include <cstring>

namespace zel::rtp {

std::string PhaseText(RtpPhase phase, int connect_code) {
  switch (phase) {
    case RtpPhase::kIdle:
      return "";
    case RtpPhase::kConnecting:
      return "Connecting";
    case RtpPhase::kLoggingIn:
      return "Logging in";
    case RtpPhase::kStreaming:
      return "Streaming";
    case RtpPhase::kConnectFailed:
      return "Connection failed: " + comm::ConnectionErrorText(connect_code);
    case RtpPhase::kLoginFailed:
      return "Login failed";
    case RtpPhase::kNoModeAnswer:
      return "No answer to the mode request";
  }
  return "";
}

RtpPhase ConnectAndStartStream(comm::Connection& c, const RtpCommandLine& line,
                               const std::string& password, const RtpWaits& waits,
                               std::atomic<RtpPhase>* phase, int* connect_code) {
  auto set = [&](RtpPhase p) {
    if (phase) phase->store(p);
    return p;
  };
  set(RtpPhase::kConnecting);
  // The dial text arrives complete: no dial prefix of our own.
  comm::ConnectionSettings settings = c.settings();
  settings.modemInit = line.init.value_or("");
  settings.dialPrefix.clear();
  c.SetSettings(settings);
  if (line.selector == comm::kTcpSelector) c.SetTcpEndpoint(line.ip, line.tcpPort);
  const int code = comm::Code(c.OpenConnection(line.selector, line.baudCode, line.dial));
  if (connect_code) *connect_code = code;
  if (code != 0) {
    c.CloseConnection(line.selector);
    return set(RtpPhase::kConnectFailed);
  }

  set(RtpPhase::kLoggingIn);
  const int s = line.selector;
  c.SendBlock(s, reinterpret_cast<const uint8_t*>(kWakeUp), static_cast<int>(std::strlen(kWakeUp)));
  if (c.WaitForText(s, waits.prompt_ms, kPasswordPrompt) != 1) return set(RtpPhase::kLoginFailed);
  // A line that never falls quiet fails the login rather than holding it for ever.
  if (!c.WaitQuiet(s, waits.quiet_ms, waits.prompt_ms)) return set(RtpPhase::kLoginFailed);
  c.SendBlock(s, reinterpret_cast<const uint8_t*>(password.data()),
              static_cast<int>(password.size()));
  c.SendByte(s, '\r');
  if (c.WaitForText(s, waits.password_ms, kPasswordPrompt) == 1) return set(RtpPhase::kLoginFailed);

  c.SendByte(s, '|');
  if (c.WaitForText(s, waits.mode_ms, "?") != 1) return set(RtpPhase::kNoModeAnswer);
  c.SendByte(s, 'R');
  return set(RtpPhase::kStreaming);
}

}  // namespace zel::rtp
