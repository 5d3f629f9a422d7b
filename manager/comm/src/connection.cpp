#include "zel/comm/connection.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "zel/comm/modem_io.h"
#include "zel/comm/serial_port.h"
#include "zel/comm/tcp_transport.h"
#include "zel/platform/clock.h"

namespace zel::comm {

using zel::platform::MonotonicMs;
using zel::platform::MonotonicUs;

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

Connection::WaitTimes Connection::wait_times() const {
  WaitTimes t = waitTimes_;
  if (transport_) t.lineIoUs += transport_->IoUs() - ioBase_;
  return t;
}

void Connection::ResetWaitTimes() {
  waitTimes_ = {};
  ioBase_ = transport_ ? transport_->IoUs() : 0;
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
  waitTimes_.lineIoUs += transport_->IoUs() - ioBase_;
  ioBase_ = 0;
  transport_.reset();
  serial_ = nullptr;
  wakeable_ = false;
}

int Connection::SendBlock(int /*selector*/, const uint8_t* bytes, int count) {
  if (!transport_ || count < 0 || (count > 0 && bytes == nullptr)) return -1;
  if (count == 0) return 0;
  return transport_->Write(bytes, static_cast<size_t>(count)) == count ? count : -1;
}

int Connection::SendByte(int /*selector*/, uint8_t byte) {
  if (!transport_) return -1;
  return transport_->Write(&byte, 1) == 1 ? 0 : -1;
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
  const int64_t start = MonotonicUs();
  const bool readable = transport_->WaitReadable(timeout_ms);
  (readable ? waitTimes_.answeredUs : waitTimes_.idleUs) += MonotonicUs() - start;
  return readable;
}

void Connection::Drain(int /*selector*/) {
  if (transport_) transport_->Drain();
}

int Connection::WaitForText(int selector, int timeout_ms, std::string_view text) {
  const int64_t start = MonotonicMs();
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
    const int64_t elapsed = MonotonicMs() - start;
    if (elapsed > timeout_ms || Aborted() || LineGone()) return 0;
    const int64_t left = timeout_ms - elapsed + 1;
    WaitReadable(selector, static_cast<int>(std::min<int64_t>(left, step)));
  }
}

void Connection::WaitQuiet(int selector, int quiet_ms) {
  const int step = WaitStepMs();
  int64_t lastByte = MonotonicMs();
  for (;;) {
    if (Aborted() || LineGone()) return;
    bool got = false;
    for (int n = 0; n < kBytesPerPass && ReadByte(selector) >= 0; ++n) got = true;
    const int64_t now = MonotonicMs();
    if (got) lastByte = now;
    const int64_t left = lastByte + quiet_ms - now;
    if (left <= 0) return;
    WaitReadable(selector, static_cast<int>(std::min<int64_t>(left, step)));
  }
}

int Connection::OpenConnection(int selector, int baud_code,
                               const std::optional<std::string>& phone) {
  CloseConnection(selector);
  if (selector == kTcpSelector) {
    std::unique_ptr<TcpTransport> tcp;
    int r = TcpTransport::Connect(tcpIp_, tcpPort_, &tcp);
    if (r != 0) return r;
    transport_ = std::move(tcp);
    WatchAbort();
    return 0;
  }

  std::unique_ptr<SerialPort> port;
  int r = SerialPort::Open(ports_.DevicePathOf(selector), &port);
  if (r != 0) return r;
  SerialPort& line = *port;
  serial_ = port.get();
  transport_ = std::move(port);
  WatchAbort();
  line.SetBaud(baud_code);
  line.SetDtr(true);
  line.SetRts(true);
  if (!phone) {
    line.SetHandshake('H');
    return 0;
  }

  line.SetHandshake('N');
  if (status_) status_->SetOperation("Init. Modem");
  ModemIo modem(line, abort_, WaitStepMs());
  auto send = [&](std::string_view text) {
    modem.Send(text);
    return Aborted();
  };
  if (settings_.modemInit.empty()) {
    if (send("\rAT\r")) return 8;
  } else {
    if (send("\r") || send(settings_.modemInit) || send("\r")) return 8;
  }
  int ok = modem.WaitFor("OK", timings_.modem_ok_ms);
  if (Aborted()) return 8;
  if (ok == 0) return 1;

  line.SetHandshake('H');
  if (status_) status_->SetOperation("Dialing");
  if (send("ATDT")) return 8;
  if (!settings_.dialPrefix.empty() && send(settings_.dialPrefix)) return 8;
  if (send(*phone) || send("\r")) return 8;
  int answer = modem.WaitFor("BUSY|NO CARRIER|CONNECT", timings_.dial_ms);
  if (Aborted()) return 8;
  switch (answer) {
    case '0':
      return 2;
    case '1':
      return 3;
    case '2':
      return 0;
    case 0:
      return 4;
    default:
      return answer;
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
