// The configuration file of a fleet of simulated recorders:
//
//   # comment
//   scale = 0.01                 (before any section: applies to every recorder)
//   [recorder NAME]
//   model = KRV-517XL            (anything ParseModel takes: 5, "KRV-517XL/A", "krv-517xl")
//   password = SECRET            (default: the setup database's administrative password)
//   setup = /path/setupdata.bin  (default: factory defaults)
//   seed = 7
//   events_per_day = 24
//   tcp = 5000                   (0: any free port)
//   pty = /tmp/zel/COM3          (direct line: a symlink to the pty made for it)
//   phone = 555-0101             (reachable through every modem)
//   corrupt_rate = 0.001         drop_rate = 0.001       duplicate_rate = 0.05
//   disconnect_after = 5000      bytes_per_second = 960  no_answer = yes
//   prompt = "Password: "        (wrong prompt text; quotes keep blanks, \r \n \e \\ \")
//   setup_answer = eot           ("TD" answers with EOT only; one_block: the first 128 bytes;
//                                 database: the whole database, the default)
//   babble_ms = 500              (a noise byte this often, scaled: the line never falls quiet)
//   endless_transfers = yes      (files sent never end: filler blocks follow, no EOT)
//   drip_ms = 14000              (each byte of a block sent alone, this far apart, scaled)
//   [modem NAME]
//   pty = /tmp/zel/COM1
//   busy = 555-0199              no_carrier = 555-0198   no_answer = 555-0197
//
// Keys may repeat where a list makes sense (busy, no_carrier, no_answer).
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "zel/sim/modem.h"
#include "zel/sim/recorder.h"

namespace zel::sim {

struct RecorderEntry {
  RecorderConfig config;
  int tcp = -1;  // -1: no TCP port
  std::string pty;
  std::string phone;
};

struct ModemEntry {
  std::string name;
  std::string pty;
  std::vector<DialEntry> numbers;  // busy / no carrier / no answer (recorders added later)
};

struct SimConfig {
  double scale = 1.0;
  std::vector<RecorderEntry> recorders;
  std::vector<ModemEntry> modems;
};

// False with `error` ("line 12: ...") on the first bad line.
bool ParseConfig(std::istream& in, SimConfig& out, std::string* error);

// "database", "eot" or "one_block" (any case); false for anything else.
bool ParseSetupAnswer(const std::string& text, RecorderConfig::SetupAnswer& out);

// A config value: trimmed; in double quotes, blanks are kept and \r \n \e \t \\ \" decoded.
bool ParseValue(const std::string& raw, std::string& value);

}  // namespace zel::sim
