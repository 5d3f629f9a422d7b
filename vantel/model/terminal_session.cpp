#include "terminal_session.h"

namespace zel::vantel {

EscapeKeys::Step EscapeKeys::Feed(uint8_t key) {
  if (!pending_) {
    if (key == kEscapeKey) {
      pending_ = true;
      return {};
    }
    return {Command::kNone, std::string(1, static_cast<char>(key))};
  }
  pending_ = false;
  switch (key) {
    case kEscapeKey:
    case 'a':
    case 'A':
      return {Command::kNone, std::string(1, static_cast<char>(kEscapeKey))};
    case 'x':
    case 'X':
    case 0x18:  // Ctrl-X
    case 'q':
    case 'Q':
      return {Command::kQuit, {}};
    case 0x08:  // Ctrl-H
    case 'h':
    case 'H':
    case 'z':
    case 'Z':
      return {Command::kHelp, {}};
    case 0x03:  // Ctrl-C
    case 'c':
    case 'C':
    case 'e':
    case 'E':
      return {Command::kToggleEcho, {}};
    case 'l':
    case 'L':
    case 0x0c:  // Ctrl-L
      return {Command::kToggleLog, {}};
    case 'w':
    case 'W':
    case 0x17:  // Ctrl-W
      return {Command::kWake, {}};
    default:
      return {Command::kUnknown, {}};
  }
}

std::string KeysHelpText() {
  return "\r\n*** Vantel keys (Ctrl-A, then):\r\n"
         "***   X        hang up and quit\r\n"
         "***   Ctrl-H   this list\r\n"
         "***   Ctrl-C   local echo on/off\r\n"
         "***   L        capture to the log file on/off\r\n"
         "***   W        wake the recorder (sends Esc X Y Esc: password prompt)\r\n"
         "***   Ctrl-A   send Ctrl-A itself\r\n";
}

TerminalSession::Output TerminalSession::Keyboard(std::string_view keys) {
  Output out;
  for (char c : keys) {
    const EscapeKeys::Step step = keys_.Feed(static_cast<uint8_t>(c));
    if (!step.send.empty()) {
      out.toLine += outMap_.Apply(step.send);
      // Local echo shows the key as typed, mapped as a received byte would be.
      if (echo_) out.toScreen += inMap_.Apply(step.send);
    }
    switch (step.command) {
      case Command::kNone:
        break;
      case Command::kQuit:
        out.quit = true;
        return out;  // keys after the quit are not sent
      case Command::kHelp:
        out.notice += KeysHelpText();
        break;
      case Command::kToggleEcho:
        echo_ = !echo_;
        out.notice += echo_ ? "\r\n*** Local echo on\r\n" : "\r\n*** Local echo off\r\n";
        break;
      case Command::kToggleLog:
        out.toggleLog = !out.toggleLog;
        break;
      case Command::kWake:
        out.toLine += kWakeUp;
        break;
      case Command::kUnknown:
        out.notice += "\r\n*** Unknown key after Ctrl-A (Ctrl-A Ctrl-H lists the keys)\r\n";
        break;
    }
  }
  return out;
}

}  // namespace zel::vantel
