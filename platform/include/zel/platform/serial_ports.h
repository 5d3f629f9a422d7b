// The serial ports of this PC, for the port lists of the settings and recorder dialogs.
// Ports are numbered as zel.dat stores them: 0 is COM1. A built-in port ttyS<n> is number n,
// which is where the connection layer looks for it by default; other ports (USB adapters
// ttyUSB*, ttyACM*, ...) follow after the highest ttyS number and need a port map entry
// ("COMn=/dev/...") to be used.
#pragma once

#include <string>
#include <vector>

namespace zel::platform {

struct SerialPortInfo {
  int number = 0;      // 0-based; COM1 is 0
  std::string name;    // "COM1"
  std::string device;  // "/dev/ttyS0"
  friend bool operator==(const SerialPortInfo&, const SerialPortInfo&) = default;
};

// Ports listed under `sys_class_tty` that have a device behind them (built-in UARTs whose
// type is unknown are empty slots and left out), with device paths under `dev_dir`, in the
// order of their numbers.
std::vector<SerialPortInfo> ListSerialPorts(const std::string& sys_class_tty = "/sys/class/tty",
                                            const std::string& dev_dir = "/dev");

}  // namespace zel::platform
