#include "zel/core/settings.h"

#include <cstdio>

namespace zel::core {

int BaudRateOfCode(int code) {
  if (code < 0 || code > kMaxBaudCode) return 0;
  return kBaudRates[static_cast<std::size_t>(code)];
}

std::string ScheduleTimeText(int quarter_hours) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d", quarter_hours / 4, (quarter_hours % 4) * 15);
  return buf;
}

StationSettings StationSettings::Empty() {
  StationSettings s;
  s.directPort = 0;
  s.directBaud = 0;
  s.port = 0;
  s.baud = 0;
  s.preferedConnection = 0;
  s.autoDelete = 0;
  s.retries = 0;
  s.clockSync = 0;
  s.useTxtFile = 0;
  s.makeText = 0;
  s.schedule = {};
  return s;
}

}  // namespace zel::core
