// One recorder of the station manager's list, as zel.dat stores it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "zel/catalogue.h"

namespace zel {

struct RecorderRecord {
  std::string id;        // at most 20 characters; names the recorder's folder
  std::string phone;     // at most 16 characters; dialled by modem
  std::string password;  // at most 10 characters
  RecorderType type = 0;
  std::array<int32_t, 5> reserved{};  // read and written back unchanged
  int32_t port = 0;         // -1 TCP/IP, 0 the default direct port, n >= 1 serial port COMn
  int32_t clockSetDay = 0;  // day number of the last clock setting by a poll
  uint32_t ipAddress = 0;   // first octet in the most significant byte
  int32_t tcpPort = 0;
  uint32_t listState = 0;   // selection state of the list view; never saved
  friend bool operator==(const RecorderRecord&, const RecorderRecord&) = default;
};

}  // namespace zel
