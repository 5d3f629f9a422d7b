// The plotter's command line as the station manager builds it:
//   /setup="D\R\setupdata.bin" /recorder=KRV517 /port=2 /baud=7 [/init="..."] [/dial="..."]
//   [/ip=a.b.c.d:port]
// Each option may stand anywhere; a value that starts with a double quote runs to the next one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gui/model/command_options.h"
#include "model/rtp_models.h"

namespace zel::rtp {

struct RtpCommandLine {
  std::string setupPath;
  std::string liveCode;
  const RtpModel* model = nullptr;  // nullptr for a live code the table does not know
  int selector = 0;                 // -1 TCP/IP, else 0-based serial port
  int baudCode = 0;
  std::optional<std::string> init;  // absent: "\rAT\r" is sent to the modem instead
  std::optional<std::string> dial;  // absent: a direct line, no modem steps
  uint32_t ip = 0;                  // first octet most significant
  int tcpPort = 0;
  bool hasIp = false;

  // Empty when the plotter can connect; otherwise one sentence per problem for a person, said
  // instead of showing an empty window.
  std::vector<std::string> problems;
  bool CanConnect() const { return problems.empty(); }
};

RtpCommandLine ParseRtpCommandLine(const gui::CommandOptions& options);

// "%u.%u.%u.%u:%u" with every number in range (octets 0-255, port 1-65535).
bool ParseIpOption(const std::string& text, uint32_t* ip, int* port);

}  // namespace zel::rtp
