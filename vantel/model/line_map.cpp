#include "line_map.h"

#include <array>
#include <utility>

namespace zel::vantel {

std::string LineMap::Apply(uint8_t byte) const {
  switch (byte) {
    case '\r':
      if (igncr) return {};
      if (crlf) return "\n";
      if (crcrlf) return "\r\n";
      break;
    case '\n':
      if (ignlf) return {};
      if (lfcr) return "\r";
      if (lfcrlf) return "\r\n";
      break;
    case 0x08:
      if (bsdel) return "\x7f";
      break;
    case 0x7f:
      if (delbs) return "\x08";
      break;
    default:
      break;
  }
  return std::string(1, static_cast<char>(byte));
}

std::string LineMap::Apply(std::string_view bytes) const {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) out += Apply(static_cast<uint8_t>(c));
  return out;
}

std::optional<LineMap> ParseLineMap(std::string_view list, std::string* bad) {
  LineMap m;
  const std::array<std::pair<std::string_view, bool LineMap::*>, 8> names = {{
      {"crlf", &LineMap::crlf},
      {"crcrlf", &LineMap::crcrlf},
      {"igncr", &LineMap::igncr},
      {"lfcr", &LineMap::lfcr},
      {"lfcrlf", &LineMap::lfcrlf},
      {"ignlf", &LineMap::ignlf},
      {"bsdel", &LineMap::bsdel},
      {"delbs", &LineMap::delbs},
  }};
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    if (name.empty()) continue;
    bool found = false;
    for (const auto& [n, member] : names) {
      if (n == name) {
        m.*member = true;
        found = true;
      }
    }
    if (!found) {
      if (bad) *bad = std::string(name);
      return std::nullopt;
    }
  }
  return m;
}

}  // namespace zel::vantel
