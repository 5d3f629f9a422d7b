#include "vantel_options.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "gui/model/command_options.h"

namespace zel::vantel {
namespace {

constexpr std::array<int, 10> kRates = {300,  600,   1200,  2400,  4800,
                                        9600, 19200, 38400, 57600, 115200};

// A whole decimal number (no sign, no blanks); nullopt otherwise.
std::optional<long> WholeNumber(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc{} || end != text.data() + text.size() || v < 0) return std::nullopt;
  return v;
}

ParsedOptions Fail(std::string error) { return ParsedOptions{std::nullopt, std::move(error)}; }

std::string RateList() {
  std::string s;
  for (int r : kRates) {
    if (!s.empty()) s += ", ";
    s += std::to_string(r);
  }
  return s;
}

}  // namespace

int BaudCodeOfRate(int rate) {
  for (size_t i = 0; i < kRates.size(); ++i)
    if (kRates[i] == rate) return static_cast<int>(i);
  return -1;
}

std::optional<IpEndpoint> ParseIpEndpoint(const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string_view address(text.data(), colon);
  IpEndpoint e;
  for (int part = 0; part < 4; ++part) {
    const size_t dot = part < 3 ? address.find('.') : address.size();
    if (dot == std::string_view::npos) return std::nullopt;
    const auto octet = WholeNumber(address.substr(0, dot));
    if (!octet || *octet > 255 || dot > 3) return std::nullopt;
    e.ip = (e.ip << 8) | static_cast<uint32_t>(*octet);
    address = part < 3 ? address.substr(dot + 1) : std::string_view{};
  }
  const auto port = WholeNumber(std::string_view(text).substr(colon + 1));
  if (!port || *port < 1 || *port > 65535) return std::nullopt;
  e.port = static_cast<int>(*port);
  return e;
}

ParsedOptions ParseVantelArguments(const std::vector<std::string>& arguments) {
  VantelOptions o;
  std::vector<std::string> slashOptions;
  std::optional<std::string> inList, outList;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    // The terminal's own options take their value from the next argument or after "=".
    auto value = [&](const std::string& name) -> std::optional<std::string> {
      if (a == name) {
        if (i + 1 >= arguments.size()) return std::nullopt;
        return arguments[++i];
      }
      return a.substr(name.size() + 1);
    };
    auto is = [&](const std::string& name) { return a == name || a.rfind(name + "=", 0) == 0; };
    if (gui::LooksLikeOption(a)) {
      slashOptions.push_back(a);
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--echo") {
      o.echo = true;
    } else if (a == "--no-wake") {
      o.wake = false;
    } else if (is("--log") || is("--port-map") || is("--imap") || is("--omap")) {
      const std::string name = a.substr(0, a.find('='));
      const auto v = value(name);
      if (!v || (v->empty() && name != "--imap" && name != "--omap"))
        return Fail("Vantel: " + name + " needs a value.");
      if (name == "--log") o.logFile = *v;
      if (name == "--port-map") o.portMapFile = *v;
      if (name == "--imap") inList = *v;
      if (name == "--omap") outList = *v;
    } else {
      return Fail("Vantel: unknown argument \"" + a + "\" (--help lists the options).");
    }
  }
  if (o.help) return ParsedOptions{o, {}};

  std::string bad;
  if (inList) {
    const auto m = ParseLineMap(*inList, &bad);
    if (!m) return Fail("Vantel: --imap: unknown mapping \"" + bad + "\".");
    o.inMap = *m;
  }
  if (outList) {
    const auto m = ParseLineMap(*outList, &bad);
    if (!m) return Fail("Vantel: --omap: unknown mapping \"" + bad + "\".");
    o.outMap = *m;
  }

  const auto cl = gui::CommandOptions::FromArguments(slashOptions);
  const auto port = cl.Value("port");
  const auto baud = cl.Value("baud");
  const auto ip = cl.Value("ip");
  const auto dial = cl.Value("dial");
  const auto init = cl.Value("init");

  if (port) {
    const auto n = WholeNumber(*port);
    if (!n || *n > 255)
      return Fail("Vantel: /port=" + *port + " is not a port number (1 for COM1).");
    o.port = static_cast<int>(*n);
  }
  if (baud) {
    const auto n = WholeNumber(*baud);
    const int code = n ? BaudCodeOfRate(static_cast<int>(*n)) : -1;
    if (code < 0)
      return Fail("Vantel: /baud=" + *baud + " is not a line speed; use one of " + RateList() +
                  ".");
    o.baudRate = static_cast<int>(*n);
    o.baudCode = code;
  }
  if (init) o.init = *init;

  if (ip) {
    if (dial) return Fail("Vantel: /dial= and /ip= cannot be used together.");
    const auto e = ParseIpEndpoint(*ip);
    if (!e)
      return Fail("Vantel: /ip=" + *ip + " is not an address and port like 192.168.1.20:4001.");
    o.line = LineKind::kTcp;
    o.ip = e->ip;
    o.tcpPort = e->port;
    o.port = 0;
    return ParsedOptions{o, {}};
  }
  if (o.port < 1) return Fail("Vantel: no line given; use /port=N (COMn) or /ip=a.b.c.d:p.");
  if (dial) {
    if (dial->empty()) return Fail("Vantel: /dial= has no number to dial.");
    o.line = LineKind::kModem;
    o.dial = *dial;
  }
  return ParsedOptions{o, {}};
}

std::string LineDescription(const VantelOptions& o) {
  if (o.line == LineKind::kTcp) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u:%d", (o.ip >> 24) & 255u, (o.ip >> 16) & 255u,
                  (o.ip >> 8) & 255u, o.ip & 255u, o.tcpPort);
    return text;
  }
  return "COM" + std::to_string(o.port) + " at " + std::to_string(o.baudRate) + " baud";
}

std::string UsageText() {
  return "Usage: Vantel /port=N [/baud=RATE] [/init=\"TEXT\"] /dial=\"NUMBER\"   (through a "
         "modem)\n"
         "       Vantel /port=N [/baud=RATE]                                 (direct serial line)\n"
         "       Vantel [/port=0] /ip=a.b.c.d:PORT                            (TCP/IP)\n"
         "\n"
         "  /port=N         serial port COMn (1 is COM1); COMn is /dev/ttyS<n-1> unless a port\n"
         "                  map says otherwise\n"
         "  /baud=RATE      line speed: 300, 600, 1200, 2400, 4800, 9600 (default), 19200,\n"
         "                  38400, 57600 or 115200\n"
         "  /init=\"TEXT\"    modem initialisation string (default: AT)\n"
         "  /dial=\"NUMBER\"  dial this number (dial prefix included) and show the modem's "
         "answers\n"
         "  /ip=A.B.C.D:P   connect to a recorder or terminal server over TCP/IP\n"
         "  --log FILE      capture everything shown to FILE (appended; Ctrl-A L toggles)\n"
         "  --imap LIST     map received bytes, LIST of "
         "crlf,crcrlf,igncr,lfcr,lfcrlf,ignlf,bsdel,delbs\n"
         "  --omap LIST     map typed keys before they are sent (same names)\n"
         "  --echo          start with local echo on (Ctrl-A Ctrl-C toggles)\n"
         "  --no-wake       do not send the recorder's wake-up (Esc X Y Esc) on connecting\n"
         "  --port-map FILE COMn=/dev/path lines naming the device of a port\n"
         "\n"
         "Keys: Ctrl-A X hangs up and quits; Ctrl-A Ctrl-H lists every key.\n";
}

}  // namespace zel::vantel
