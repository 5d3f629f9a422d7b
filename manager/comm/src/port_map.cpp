#include <cctype>
#include <fstream>
#include <string>

#include "zel/comm/connection.h"

namespace zel::comm {

std::string PortMap::DevicePathOf(int port) const {
  auto it = map_.find(port);
  if (it != map_.end()) return it->second;
  if (port < 0) return {};
  return "/dev/ttyS" + std::to_string(port);
}

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

}  // namespace

bool PortMap::LoadFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string name = Trim(line.substr(0, eq));
    std::string device = Trim(line.substr(eq + 1));
    if (name.size() < 4 || device.empty()) continue;
    if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M')
      continue;
    int n = 0;
    bool ok = true;
    for (size_t i = 3; i < name.size() && ok; ++i) {
      ok = std::isdigit(static_cast<unsigned char>(name[i])) && n < 100000;
      if (ok) n = n * 10 + (name[i] - '0');
    }
    if (!ok || n < 1) continue;
    Set(n - 1, device);
  }
  return true;
}

}  // namespace zel::comm
