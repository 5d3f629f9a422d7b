#include "model/rtp_command_line.h"

#include <cctype>
#include <charconv>

namespace zel::rtp {
namespace {

// A whole decimal number (an optional minus sign, then digits, nothing else).
std::optional<long long> WholeNumber(const std::string& text) {
  long long v = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first == last) return std::nullopt;
  auto [end, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || end != last) return std::nullopt;
  return v;
}

// Digits at `pos` as an unsigned number no larger than `max`; advances `pos`.
bool Number(const std::string& s, size_t& pos, unsigned max, unsigned* out) {
  const size_t start = pos;
  unsigned long long v = 0;
  while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
    v = v * 10 + static_cast<unsigned>(s[pos] - '0');
    if (v > max) return false;
    ++pos;
  }
  *out = static_cast<unsigned>(v);
  return pos > start;
}

}  // namespace

bool ParseIpOption(const std::string& text, uint32_t* ip, int* port) {
  size_t pos = 0;
  uint32_t address = 0;
  for (int i = 0; i < 4; ++i) {
    unsigned octet = 0;
    if (!Number(text, pos, 255, &octet)) return false;
    address = (address << 8) | octet;
    if (pos >= text.size() || text[pos] != (i < 3 ? '.' : ':')) return false;
    ++pos;
  }
  unsigned p = 0;
  if (!Number(text, pos, 65535, &p) || p == 0 || pos != text.size()) return false;
  *ip = address;
  *port = static_cast<int>(p);
  return true;
}

RtpCommandLine ParseRtpCommandLine(const gui::CommandOptions& options) {
  RtpCommandLine c;
  auto missing = [&](const char* option) {
    c.problems.push_back(std::string("The command line has no ") + option +
                         " option; start the real-time plot from the station manager.");
  };

  if (auto setup = options.Value("setup"); setup && !setup->empty())
    c.setupPath = *setup;
  else
    missing("/setup=");

  if (auto code = options.Value("recorder"); code && !code->empty()) {
    c.liveCode = *code;
    c.model = FindRtpModel(c.liveCode);
    if (!c.model)
      c.problems.push_back("The recorder model \"" + c.liveCode +
                           "\" has no real-time plot; check the recorder's type in the station "
                           "manager.");
  } else {
    missing("/recorder=");
  }

  if (auto port = options.Value("port")) {
    auto v = WholeNumber(*port);
    if (v && *v >= -1 && *v <= 255)
      c.selector = static_cast<int>(*v);
    else
      c.problems.push_back("The port \"" + *port +
                           "\" is not a port number (-1 for TCP/IP, 0 for the first serial "
                           "port).");
  } else {
    missing("/port=");
  }

  if (auto baud = options.Value("baud")) {
    auto v = WholeNumber(*baud);
    if (v && *v >= 0 && *v <= 9)
      c.baudCode = static_cast<int>(*v);
    else
      c.problems.push_back("The baud code \"" + *baud + "\" is not one of 0 to 9.");
  } else {
    missing("/baud=");
  }

  c.init = options.Value("init");
  c.dial = options.Value("dial");

  if (auto ip = options.Value("ip")) {
    if (ParseIpOption(*ip, &c.ip, &c.tcpPort))
      c.hasIp = true;
    else
      c.problems.push_back("The address \"" + *ip +
                           "\" is not of the form a.b.c.d:port; check the recorder's IP "
                           "address and port number.");
  }
  if (c.selector == -1 && !c.hasIp && !options.Value("ip"))
    c.problems.push_back(
        "The recorder is reached over TCP/IP but the command line has no /ip= option.");
  return c;
}

}  // namespace zel::rtp
