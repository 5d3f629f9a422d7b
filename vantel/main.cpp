// Vantel: a small terminal to a recorder over a serial line, a modem or TCP/IP. Keys go to the
// recorder as typed; what the recorder sends goes to the screen, escape sequences and all.
// Started without a terminal (the station manager starts programs detached), it starts itself
// again inside the desktop's terminal emulator.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/terminal_host.h"
#include "model/terminal_session.h"
#include "model/vantel_options.h"
#include "src/modem_dialog.h"
#include "zel/comm/connection.h"
#include "zel/comm/serial_port.h"
#include "zel/comm/tcp_transport.h"

namespace {

using namespace zel::vantel;
namespace comm = zel::comm;

std::atomic<bool> g_stop{false};
std::atomic<bool> g_cancel{false};

void OnStop(int) { g_stop = true; }
void OnCancel(int) { g_cancel = true; }

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

// The keyboard in raw mode for the session; the settings it had come back at the end.
class RawKeyboard {
 public:
  bool Enter() {
    if (::tcgetattr(0, &saved_) != 0) return false;
    termios raw = saved_;
    ::cfmakeraw(&raw);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (::tcsetattr(0, TCSAFLUSH, &raw) != 0) return false;
    active_ = true;
    return true;
  }
  void Leave() {
    if (active_) ::tcsetattr(0, TCSAFLUSH, &saved_);
    active_ = false;
  }
  ~RawKeyboard() { Leave(); }

 private:
  termios saved_{};
  bool active_ = false;
};

bool Hosted() { return std::getenv(kHostedVariable) != nullptr; }

// Ends the program with a message. Inside an emulator window that would close at once, the
// person gets to read it first.
int Finish(int code, const std::string& message) {
  if (!message.empty()) std::fprintf(code == 0 ? stdout : stderr, "%s\n", message.c_str());
  if (Hosted() && ::isatty(0)) {
    std::fputs("Press Enter to close this window.", stdout);
    std::fflush(stdout);
    char buf[64];
    while (::read(0, buf, sizeof buf) < 0 && errno == EINTR) {
    }
  }
  return code;
}

std::optional<std::string> FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) {
    if (::access(name.c_str(), X_OK) == 0) return name;
    return std::nullopt;
  }
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    const std::string candidate = dir + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate))
      return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

// Started with no terminal: runs this program again inside the desktop's terminal emulator.
int StartInEmulator(const std::vector<std::string>& arguments) {
  if (Hosted()) {
    std::fprintf(stderr, "Vantel: the terminal emulator gave this program no terminal.\n");
    return 1;
  }
  std::error_code ec;
  std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  if (ec || self.empty()) self = "Vantel";
  const char* terminal = std::getenv("TERMINAL");
  const std::vector<std::string> command =
      HostCommand(terminal ? terminal : "", self, arguments, FindProgram);
  if (command.empty()) {
    std::fprintf(stderr,
                 "Vantel: needs a terminal, and no terminal emulator was found; set TERMINAL or "
                 "install one that provides x-terminal-emulator.\n");
    return 1;
  }
  ::setenv(kHostedVariable, "1", 1);
  std::vector<char*> argv;
  for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(command.front().c_str(), argv.data());
  std::fprintf(stderr, "Vantel: cannot start %s: %s\n", command.front().c_str(),
               std::strerror(errno));
  return 1;
}

std::string SerialOpenText(int code, const std::string& com, const std::string& device) {
  switch (code) {
    case comm::SerialPort::kNoSuchPort:
      return com + " (" + device + ") does not exist; check the port number or the port map.";
    case comm::SerialPort::kPortInUse:
      return com + " (" + device + ") is in use by another program.";
    default:
      return com + " (" + device + ") cannot be opened: " + std::strerror(errno) + ".";
  }
}

struct Capture {
  std::FILE* file = nullptr;
  std::string path;
  ~Capture() { Close(); }
  bool Open(std::string* error) {
    file = std::fopen(path.c_str(), "ab");
    if (!file) *error = std::strerror(errno);
    return file != nullptr;
  }
  void Close() {
    if (file) std::fclose(file);
    file = nullptr;
  }
  void Write(std::string_view bytes) {
    if (file && !bytes.empty()) {
      std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fflush(file);
    }
  }
};

int Run(const VantelOptions& o) {
  std::unique_ptr<comm::FdTransport> line;
  comm::SerialPort* serial = nullptr;
  const std::string what = LineDescription(o);

  if (o.line == LineKind::kTcp) {
    std::printf("Connecting to %s ...\n", what.c_str());
    std::fflush(stdout);
    std::unique_ptr<comm::TcpTransport> tcp;
    const comm::ConnectResult r = comm::TcpTransport::Connect(o.ip, o.tcpPort, &tcp);
    if (r != comm::ConnectResult::kConnected)
      return Finish(1,
                    "Vantel: cannot connect to " + what + ": " + comm::ConnectResultText(r) + ".");
    line = std::move(tcp);
  } else {
    comm::PortMap map;
    if (!o.portMapFile.empty() && !map.LoadFile(o.portMapFile))
      return Finish(1, "Vantel: cannot read the port map " + o.portMapFile + ".");
    const std::string com = "COM" + std::to_string(o.port);
    const std::string device = map.DevicePathOf(o.port - 1);
    if (o.line == LineKind::kModem)
      std::printf("Dialing %s on %s ...\n", o.dial.c_str(), what.c_str());
    else
      std::printf("Connecting to %s ...\n", what.c_str());
    std::fflush(stdout);
    std::unique_ptr<comm::SerialPort> port;
    const int r = comm::SerialPort::Open(device, &port);
    if (r != comm::SerialPort::kOpened)
      return Finish(1, "Vantel: " + SerialOpenText(r, com, device));
    if (!port->SetBaud(o.baudCode))
      return Finish(1, "Vantel: " + com + " refuses " + std::to_string(o.baudRate) + " baud.");
    port->SetDtr(true);
    port->SetRts(true);
    serial = port.get();
    line = std::move(port);
    if (o.line == LineKind::kModem) {
      serial->SetHandshake('N');
      struct sigaction sa {};
      sa.sa_handler = OnCancel;
      ::sigaction(SIGINT, &sa, nullptr);
      ModemDialog d{*line, [](std::string_view b) { WriteAll(1, b); },
                    [] { return g_cancel.load() || g_stop.load(); }};
      const DialResult dr = Dial(d, o.init, o.dial, [serial] { serial->SetHandshake('H'); });
      std::signal(SIGINT, SIG_DFL);
      if (dr != DialResult::kConnected) {
        serial->SetDtr(false);  // hangs up
        line->Close();
        return Finish(1, "\nVantel: " + DialResultText(dr));
      }
    } else {
      serial->SetHandshake('H');
    }
  }

  RawKeyboard keyboard;
  if (!keyboard.Enter()) return Finish(1, "Vantel: cannot put the keyboard in raw mode.");
  WriteAll(1, "\r\nConnected to " + what +
                  ". Ctrl-A Ctrl-H shows the keys, Ctrl-A X hangs up and quits.\r\n");

  TerminalSession session(o.inMap, o.outMap, o.echo);
  Capture capture;
  capture.path = o.logFile.empty() ? "Vantel.log" : o.logFile;
  if (!o.logFile.empty()) {
    std::string error;
    if (!capture.Open(&error))
      WriteAll(1, "*** Cannot open the capture file " + capture.path + ": " + error + "\r\n");
    else
      WriteAll(1, "*** Capture to " + capture.path + " on\r\n");
  }
  auto toLine = [&](std::string_view bytes) {
    return bytes.empty() || line->Write(reinterpret_cast<const uint8_t*>(bytes.data()),
                                        bytes.size()) == static_cast<int>(bytes.size());
  };
  if (o.wake) toLine(kWakeUp);

  std::string ending;  // message after the session; empty when the person quit
  int code = 0;
  for (;;) {
    std::string got;
    for (int b; got.size() < 8192 && (b = line->ReadByte()) >= 0;)
      got.push_back(static_cast<char>(b));
    if (!got.empty()) {
      const std::string shown = session.Received(got);
      WriteAll(1, shown);
      capture.Write(shown);
    }
    if (line->LineGone()) {
      ending = "*** The line was closed by the other end.";
      break;
    }
    if (g_stop) break;
    pollfd fds[2] = {{0, POLLIN, 0}, {line->fd(), POLLIN, 0}};
    const int ready = ::poll(fds, 2, got.size() >= 8192 ? 0 : 1000);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    if (fds[0].revents & POLLIN) {
      char keys[256];
      const ssize_t n = ::read(0, keys, sizeof keys);
      if (n <= 0) break;  // the terminal went away
      const TerminalSession::Output out =
          session.Keyboard(std::string_view(keys, static_cast<size_t>(n)));
      if (!toLine(out.toLine)) {
        ending = "*** The line refused the keys; it was closed or stalled.";
        code = 1;
        break;
      }
      WriteAll(1, out.toScreen);
      capture.Write(out.toScreen);
      WriteAll(1, out.notice);
      if (out.toggleLog) {
        if (capture.file) {
          capture.Close();
          WriteAll(1, "\r\n*** Capture off\r\n");
        } else {
          std::string error;
          if (capture.Open(&error))
            WriteAll(1, "\r\n*** Capture to " + capture.path + " on\r\n");
          else
            WriteAll(
                1, "\r\n*** Cannot open the capture file " + capture.path + ": " + error + "\r\n");
        }
      }
      if (out.quit) break;
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      break;
    }
  }
  // Hang up: everything typed leaves, DTR drops (a modem ends the call), the line closes.
  line->Drain();
  if (serial) serial->SetDtr(false);
  line->Close();
  keyboard.Leave();
  if (!ending.empty()) return Finish(code, "\n" + ending);
  std::printf("\nDisconnected.\n");
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  const ParsedOptions parsed = ParseVantelArguments(arguments);
  if (parsed.options && parsed.options->help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  // Without a terminal, even a mistake in the options is shown in the emulator's window.
  if (!::isatty(0) || !::isatty(1)) return StartInEmulator(arguments);

  struct sigaction sa {};
  sa.sa_handler = OnStop;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  if (!parsed.options) return Finish(1, parsed.error);
  return Run(*parsed.options);
}
