#include "zel/platform/serial_ports.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <tuple>

namespace zel::platform {

namespace fs = std::filesystem;

namespace {

// Splits "ttyUSB12" into "ttyUSB" and 12; the number is -1 when there is none.
std::pair<std::string, long> SplitName(const std::string& name) {
  size_t i = name.size();
  while (i > 0 && std::isdigit(static_cast<unsigned char>(name[i - 1]))) --i;
  if (i == name.size() || name.size() - i > 6) return {name, -1};
  return {name.substr(0, i), std::stol(name.substr(i))};
}

bool HasDevice(const fs::path& entry) {
  std::error_code ec;
  return fs::exists(entry / "device", ec);
}

// A built-in UART slot without hardware reports type 0 (unknown).
bool UartPresent(const fs::path& entry) {
  std::ifstream f(entry / "type");
  int type = -1;
  if (!(f >> type)) return true;  // no type to go by: trust the device link
  return type != 0;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts(const std::string& sys_class_tty,
                                            const std::string& dev_dir) {
  struct Found {
    std::string prefix;
    long index;
    std::string name;
  };
  std::vector<Found> builtIn, others;
  long highestSlot = -1;
  std::error_code ec;
  for (fs::directory_iterator it(sys_class_tty, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    auto [prefix, index] = SplitName(name);
    if (prefix == "ttyS" && index >= 0) highestSlot = std::max(highestSlot, index);
    if (!HasDevice(it->path())) continue;
    if (prefix == "ttyS" && index >= 0) {
      if (UartPresent(it->path())) builtIn.push_back({prefix, index, name});
    } else {
      others.push_back({prefix, index, name});
    }
  }
  auto byName = [](const Found& a, const Found& b) {
    return std::tie(a.prefix, a.index, a.name) < std::tie(b.prefix, b.index, b.name);
  };
  std::sort(builtIn.begin(), builtIn.end(), byName);
  std::sort(others.begin(), others.end(), byName);

  std::vector<SerialPortInfo> ports;
  auto add = [&](int number, const std::string& name) {
    ports.push_back({number, "COM" + std::to_string(number + 1), dev_dir + "/" + name});
  };
  for (const auto& f : builtIn) add(static_cast<int>(f.index), f.name);
  int next = static_cast<int>(highestSlot + 1);
  for (const auto& f : others) add(next++, f.name);
  return ports;
}

}  // namespace zel::platform
