#include "zel/comm/connection.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "zel/comm/modem_io.h"
#include "zel/comm/serial_port.h"
#include "zel/comm/tcp_transport.h"
#include "zel/platform/clock.h"

namespace zel::comm {

namespace {

constexpr std::array<int, 10> kBaudRates = {300,  600,   1200,  2400,  4800,
                                            9600, 19200, 38400, 57600, 115200};

// The last bytes received, for matching a text that may arrive in pieces.
constexpr size_t kRingSize = 20;

constexpr int kBytesPerPass = 256;

}  // namespace

int BaudRateOf(int baud_code) {
  if (baud_code < 0 || baud_code >= static_cast<int>(kBaudRates.size())) return 0;
  return kBaudRates[static_cast<size_t>(baud_code)];
}

Connection::Connection(Timings timings, AbortFlag* abort_flag, StatusTexts* status)
    : timings_(timings), abort_(abort_flag ? abort_flag : &ownAbort_), status_(status) {}

Connection::~Connection() { CloseConnection(kTcpSelector); }

void Connection::Attach(std::unique_ptr<Transport> t) {
  CloseConnection(kTcpSelector);
  transport_ = std::move(t);
  WatchAbort();
}

void Connection::WatchAbort() {
  wakeable_ = transport_ && abort_->wake_fd() >= 0 && transport_->SetWakeFd(abort_->wake_fd());
}

void Connection::SetObserver(ConnectionObserver* o) {
  observer_ = o;
  ioBase_ = transport_ ? transport_->IoUs() : 0;
}

void Connection::ReportLineIo() {
  if (!observer_ || !transport_) return;
  const int64_t io = transport_->IoUs();
  if (io != ioBase_) observer_->OnLineIo(io - ioBase_);
  ioBase_ = io;
}

int Connection::WaitStepMs() const {
  return std::max(1, wakeable_ ? timings_.wake_poll_ms : timings_.xmodem_poll_ms);
}

void Connection::CloseConnection(int /*selector*/) {
  if (!transport_) return;
  // Everything sent leaves the line first, so a last acknowledgement is not lost; then a
  // serial line drops DTR (a modem hangs up) and closes.
  transport_->Drain();
  if (serial_ != nullptr) serial_->SetDtr(false);
  transport_->Close();
  ReportLineIo();
  ioBase_ = 0;
  transport_.reset();
  serial_ = nullptr;
  wakeable_ = false;
}

int Connection::SendBlock(int /*selector*/, const uint8_t* bytes, int count) {
  if (!transport_ || count < 0 || (count > 0 && bytes == nullptr)) return -1;
  if (count == 0) return 0;
  const int written = transport_->Write(bytes, static_cast<size_t>(count));
  ReportLineIo();
  return written == count ? count : -1;
}

int Connection::SendByte(int /*selector*/, uint8_t byte) {
  if (!transport_) return -1;
  const int written = transport_->Write(&byte, 1);
  ReportLineIo();
  return written == 1 ? 0 : -1;
}

int Connection::ReadByte(int /*selector*/) {
  if (!transport_) return -1;
  return transport_->ReadByte();
}

void Connection::FlushInput(int selector) {
  while (ReadByte(selector) >= 0) {
  }
}

bool Connection::WaitReadable(int /*selector*/, int timeout_ms) {
  if (!transport_) return false;
  if (!observer_) return transport_->WaitReadable(timeout_ms);
  const int64_t start = platform::MonotonicUs();
  const bool readable = transport_->WaitReadable(timeout_ms);
  observer_->OnLineWait(readable, platform::MonotonicUs() - start);
  ReportLineIo();
  return readable;
}

void Connection::Drain(int /*selector*/) {
  if (transport_) transport_->Drain();
}

int Connection::WaitForText(int selector, int timeout_ms, std::string_view text) {
  const int64_t start = NowMs();
  std::array<uint8_t, kRingSize> ring{};
  size_t next = 0;   // where the next byte goes
  size_t count = 0;  // bytes held, at most kRingSize
  const int step = WaitStepMs();
  for (;;) {
    int b;
    // At most a bounded number of bytes per pass, so a line that never stops sending still
    // lets the time-out and the abort flag be seen.
    for (int n = 0; n < kBytesPerPass && (b = ReadByte(selector)) >= 0; ++n) {
      ring[next] = static_cast<uint8_t>(b);
      next = (next + 1) % kRingSize;
      if (count < kRingSize) ++count;
      const size_t len = text.size();
      // An empty text is there with the first byte; one longer than the ring never is.
      if (len > kRingSize || count < len) continue;
      bool match = true;
      for (size_t i = 0; i < len && match; ++i) {
        size_t pos = (next + kRingSize - len + i) % kRingSize;
        match = ring[pos] == static_cast<uint8_t>(text[i]);
      }
      if (match) return 1;
    }
    const int64_t elapsed = NowMs() - start;
    if (elapsed > timeout_ms || Aborted() || LineGone()) return 0;
    const int64_t left = timeout_ms - elapsed + 1;
    WaitReadable(selector, static_cast<int>(std::min<int64_t>(left, step)));
  }
}

bool Connection::WaitQuiet(int selector, int quiet_ms, int limit_ms) {
  const int step = WaitStepMs();
  const int64_t start = NowMs();
  int64_t lastByte = start;
  for (;;) {
    if (Aborted() || LineGone()) return false;
    bool got = false;
    for (int n = 0; n < kBytesPerPass && ReadByte(selector) >= 0; ++n) got = true;
    const int64_t now = NowMs();
    if (got) lastByte = now;
    const int64_t left = lastByte + quiet_ms - now;
    if (left <= 0) return true;
    // A line that never stops sending ends the wait at its limit.
    int64_t wait = std::min<int64_t>(left, step);
    if (limit_ms >= 0) {
      const int64_t limitLeft = start + limit_ms - now;
      if (limitLeft <= 0) return false;
      wait = std::min(wait, limitLeft);
    }
    WaitReadable(selector, static_cast<int>(wait));
  }
}

std::string Connection::LineName(int selector) const {
  if (selector == kTcpSelector) {
    return TcpTransport::AddressText(tcpIp_) + ":" + std::to_string(tcpPort_);
  }
  return "COM" + std::to_string(selector + 1);
}

ConnectResult Connection::OpenConnection(int selector, int baud_code,
                                         const std::optional<std::string>& phone) {
  using R = ConnectResult;
  CloseConnection(selector);
  if (selector == kTcpSelector) {
    std::unique_ptr<TcpTransport> tcp;
    const R r = TcpTransport::Connect(tcpIp_, tcpPort_, timings_.connect_ms, abort_, &tcp);
    if (r != R::kConnected) return r;
    transport_ = std::move(tcp);
    WatchAbort();
    return R::kConnected;
  }

  std::unique_ptr<SerialPort> port;
  switch (SerialPort::Open(ports_.DevicePathOf(selector), &port)) {
    case SerialPort::kOpened:
      break;
    case SerialPort::kNoSuchPort:
      return R::kNoSuchPort;
    case SerialPort::kPortInUse:
      return R::kPortInUse;
    default:
      return R::kOpenFailed;
  }
  SerialPort& line = *port;
  serial_ = port.get();
  transport_ = std::move(port);
  WatchAbort();
  line.SetBaud(baud_code);
  line.SetDtr(true);
  line.SetRts(true);
  if (!phone) {
    line.SetHandshake('H');
    return R::kConnected;
  }

  line.SetHandshake('N');
  if (status_) status_->SetOperation("Init. Modem");
  ModemIo modem(line, abort_, WaitStepMs(), *mono_);
  auto send = [&](std::string_view text) {
    modem.Send(text);
    return Aborted();
  };
  if (settings_.modemInit.empty()) {
    if (send("\rAT\r")) return R::kAborted;
  } else {
    if (send("\r") || send(settings_.modemInit) || send("\r")) return R::kAborted;
  }
  int ok = modem.WaitFor("OK", timings_.modem_ok_ms);
  if (Aborted()) return R::kAborted;
  if (ok == 0) return R::kModemNotFound;

  line.SetHandshake('H');
  if (status_) status_->SetOperation("Dialing");
  if (send("ATDT")) return R::kAborted;
  if (!settings_.dialPrefix.empty() && send(settings_.dialPrefix)) return R::kAborted;
  if (send(*phone) || send("\r")) return R::kAborted;
  int answer = modem.WaitFor("BUSY|NO CARRIER|CONNECT", timings_.dial_ms);
  if (Aborted()) return R::kAborted;
  switch (answer) {
    case '0':
      return R::kBusy;
    case '1':
      return R::kNoCarrier;
    case '2':
      return R::kConnected;
    default:
      return R::kNoConnect;
  }
}

int DirectPortOf(Connection& c, const RecorderRecord& r) {
  if (r.port < 0) {
    c.SetTcpEndpoint(r.ipAddress, r.tcpPort);
    return r.port;
  }
  if (r.port == 0) return c.settings().directPort;
  return r.port - 1;
}

std::string ConnectionErrorText(int code) {
  switch (code) {
    case -2:
      return "Port in use";
    case -1:
      return "No such port";
    case 1:
      return "Modem not found";
    case 2:
      return "Line was busy";
    case 3:
      return "No carier";
    case 4:
      return "Failed to connect";
    case 8:
      return "Cancelled by user";
    default:
      return "Unknown error";
  }
}

}  // namespace zel::comm

namespace zel::comm {

std::string ConnectResultText(ConnectResult r) {
  using R = ConnectResult;
  switch (r) {
    case R::kConnected:
      return "Connected";
    case R::kNoSuchPort:
      return "No such port";
    case R::kPortInUse:
      return "Port in use";
    case R::kOpenFailed:
      return "Port cannot be opened";
    case R::kModemNotFound:
      return "Modem not found";
    case R::kBusy:
      return "Line was busy";
    case R::kNoCarrier:
      return "No carrier";
    case R::kNoConnect:
      return "No connect";
    case R::kAborted:
      return "Cancelled by user";
    case R::kSocketError:
      break;
  }
  if (const int e = SocketErrorNumber(r)) return std::generic_category().message(e);
  return "Unknown error " + std::to_string(Code(r));
}

std::string ConnectResultSentence(ConnectResult r, const std::string& line) {
  using R = ConnectResult;
  switch (r) {
    case R::kConnected:
      return "Connected to " + line;
    case R::kNoSuchPort:
      return "No such serial port " + line;
    case R::kPortInUse:
      return "Serial port " + line + " is in use by another program";
    case R::kOpenFailed:
      return "Serial port " + line + " cannot be opened (no permission, or not a serial port)";
    case R::kModemNotFound:
      return "No modem answered on " + line;
    case R::kBusy:
      return "The line was busy";
    case R::kNoCarrier:
      return "No carrier: the recorder's modem did not answer";
    case R::kNoConnect:
      return "No connection to " + line + " could be made in time";
    case R::kAborted:
      return "Connecting to " + line + " was cancelled";
    case R::kSocketError:
      break;
  }
  if (const int e = SocketErrorNumber(r)) {
    std::string text = std::generic_category().message(e);
    switch (e) {
      case ECONNREFUSED:
        return "Connection refused by " + line;
      case ETIMEDOUT:
        return "No answer from " + line + " (connection timed out)";
      case EHOSTUNREACH:
      case ENETUNREACH:
        return line + " cannot be reached (" + text + ")";
      default:
        return "Cannot connect to " + line + ": " + text;
    }
  }
  return "Connection to " + line + " failed (unknown error " + std::to_string(Code(r)) + ")";
}

}  // namespace zel::comm
