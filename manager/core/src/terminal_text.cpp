#include "zel/core/terminal_text.h"

namespace zel::core {

std::string TerminalText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) {
      out.push_back(c);
      continue;
    }
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += "\\x";
        out.push_back(kHex[u >> 4]);
        out.push_back(kHex[u & 0xF]);
    }
  }
  return out;
}

}  // namespace zel::core
