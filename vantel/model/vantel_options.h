// The terminal's command line. The station manager starts it with "/name=" options:
//   /port=N (COMn, 1-based; 0 with /ip=)  /baud=RATE (the rate itself, e.g. 38400)
//   /init="TEXT" (modem initialisation)   /dial="NUMBER" (dial through a modem on /port)
//   /ip=a.b.c.d:p (TCP/IP)
// and a person may add the terminal's own "--" options (log file, CR/LF mapping, echo, port map).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "line_map.h"

namespace zel::vantel {

enum class LineKind { kSerial, kModem, kTcp };

struct VantelOptions {
  LineKind line = LineKind::kSerial;
  int port = 0;         // COMn as given (1-based); 0 for TCP/IP
  int baudRate = 9600;  // the rate itself
  int baudCode = 5;     // its index 0-9 in the list of rates
  std::string init;     // modem initialisation; empty: plain "AT"
  std::string dial;     // number to dial (prefix included), kModem only
  uint32_t ip = 0;      // first octet most significant
  int tcpPort = 0;
  std::string logFile;  // --log: capture from the start
  std::string portMapFile;
  LineMap inMap;      // applied to what the recorder sends, before it is shown
  LineMap outMap;     // applied to typed keys, before they are sent
  bool echo = false;  // local echo of typed keys
  bool wake = true;   // send the recorder's wake-up (Esc X Y Esc) once connected
  bool help = false;
};

struct ParsedOptions {
  std::optional<VantelOptions> options;
  std::string error;  // one sentence, when options is empty
};

// Parses argv[1] onwards. Arguments starting with "/" are the "/name=" options (the value runs
// to the end of its argument; surrounding double quotes are dropped); "--" arguments are the
// terminal's own.
ParsedOptions ParseVantelArguments(const std::vector<std::string>& arguments);

// "a.b.c.d:p" with every part in range; nullopt otherwise.
struct IpEndpoint {
  uint32_t ip = 0;
  int port = 0;
};
std::optional<IpEndpoint> ParseIpEndpoint(const std::string& text);

// Index 0-9 of a line speed (300 ... 115200); -1 for any other number.
int BaudCodeOfRate(int rate);

// What the status line names: "127.0.0.1:5000" or "COM3 at 38400 baud".
std::string LineDescription(const VantelOptions& o);

// The usage text of --help.
std::string UsageText();

}  // namespace zel::vantel
