// The connection layer: every byte exchanged with a recorder passes through here. One object
// holds what the recorder protocol calls the process-wide connection state (current selector,
// baud code, TCP endpoint, the open line); the abort flag and status texts are shared with the
// user interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "zel/comm/abort_flag.h"
#include "zel/comm/status.h"
#include "zel/comm/timings.h"
#include "zel/comm/transport.h"
#include "zel/platform/monotonic.h"
#include "zel/recorder.h"

namespace zel::comm {

constexpr int kTcpSelector = -1;

// Results of OpenConnection. Codes 1 to 8 are also the poll results of the same names; a
// socket error is kSocketError + the system's error number (ECONNREFUSED, ...).
enum class ConnectResult : int {
  kConnected = 0,
  kNoSuchPort = -1,
  kPortInUse = -2,
  kOpenFailed = -3,  // the device is there but cannot be used (no permission, not a port)
  kModemNotFound = 1,
  kBusy = 2,
  kNoCarrier = 3,
  kNoConnect = 4,  // no answer from the modem, or a TCP connect that did not complete in time
  kAborted = 8,
  kSocketError = 10000,
};

constexpr int Code(ConnectResult r) { return static_cast<int>(r); }
constexpr bool operator==(ConnectResult r, int code) { return Code(r) == code; }
// The result of a socket error number.
constexpr ConnectResult SocketError(int error_number) {
  return static_cast<ConnectResult>(Code(ConnectResult::kSocketError) + error_number);
}
// The system's error number of a socket error result; 0 for any other result.
constexpr int SocketErrorNumber(ConnectResult r) {
  return Code(r) > Code(ConnectResult::kSocketError) ? Code(r) - Code(ConnectResult::kSocketError)
                                                     : 0;
}

// Short name of a result for a log or a status line: "Connected", "No such port", "Port in
// use", ... "Connection refused" (the system's text of a socket error).
std::string ConnectResultText(ConnectResult r);

// A sentence telling a person what went wrong and where: "Connection refused by
// 127.0.0.1:5000", "Serial port COM4 is in use by another program", "No such serial port COM9".
// `line` is the endpoint ("127.0.0.1:5000") or the port's name ("COM4").
std::string ConnectResultSentence(ConnectResult r, const std::string& line);

// Where a connection's time goes, for the benchmarks; production installs none. Called on the
// thread that uses the connection.
class ConnectionObserver {
 public:
  virtual ~ConnectionObserver() = default;
  // A readiness wait on the line that ended with a byte (`answered`) or without one.
  virtual void OnLineWait(bool answered, int64_t us) { (void)answered, (void)us; }
  // Time in the system's read and write calls that moved the bytes.
  virtual void OnLineIo(int64_t us) { (void)us; }
  // A received file being made durable.
  virtual void OnDiskSync(int64_t us) { (void)us; }
  // An XMODEM transfer has moved `blocks` blocks so far (0: one starts), for a progress bar.
  virtual void OnTransferBlocks(int blocks) { (void)blocks; }
};

// The observer the benchmarks install: sums, in microseconds.
struct WaitTimes {
  int64_t answeredUs = 0;  // readiness waits that ended with a byte from the line
  int64_t idleUs = 0;      // readiness waits that ended without one (silence, time-outs)
  int64_t diskSyncUs = 0;  // received files being made durable
  int64_t lineIoUs = 0;    // the system's read and write calls on the lines
};
class WaitTimeRecorder : public ConnectionObserver {
 public:
  void OnLineWait(bool answered, int64_t us) override {
    (answered ? times_.answeredUs : times_.idleUs) += us;
  }
  void OnLineIo(int64_t us) override { times_.lineIoUs += us; }
  void OnDiskSync(int64_t us) override { times_.diskSyncUs += us; }
  const WaitTimes& times() const { return times_; }
  void Reset() { times_ = {}; }

 private:
  WaitTimes times_;
};

class SerialPort;

// Settings of zel.dat the connection layer reads.
struct ConnectionSettings {
  std::string modemInit;   // sent between two CRs; empty sends "\rAT\r"
  std::string dialPrefix;  // put between "ATDT" and the number
  int directPort = 0;      // 0-based serial port of the default direct line
  int directBaud = 7;
};

// Serial port numbers (0 = COM1) to device paths. By default port n is /dev/ttyS<n>; a map
// entry (tests: ptys; users: USB adapters) overrides it.
class PortMap {
 public:
  std::string DevicePathOf(int port) const;
  void Set(int port, std::string device) { map_[port] = std::move(device); }
  // Reads "COMn=/dev/path" lines; returns false when the file cannot be read.
  bool LoadFile(const std::string& path);

 private:
  std::map<int, std::string> map_;
};

// Line speed of a baud code 0-9; 0 for a code outside the list.
int BaudRateOf(int baud_code);

class Connection {
 public:
  explicit Connection(Timings timings = {}, AbortFlag* abort_flag = nullptr,
                      StatusTexts* status = nullptr);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void SetSettings(const ConnectionSettings& s) { settings_ = s; }
  const ConnectionSettings& settings() const { return settings_; }
  void SetPortMap(PortMap m) { ports_ = std::move(m); }
  const Timings& timings() const { return timings_; }
  void SetTimings(const Timings& t) { timings_ = t; }
  AbortFlag& abort_flag() { return *abort_; }
  bool Aborted() const { return abort_->load() != 0; }
  StatusTexts* status() { return status_; }

  // Current TCP endpoint (address with the first octet most significant).
  void SetTcpEndpoint(uint32_t ip, int port) {
    tcpIp_ = ip;
    tcpPort_ = port;
  }
  uint32_t tcpIp() const { return tcpIp_; }
  int tcpPort() const { return tcpPort_; }

  // The operations of the layer. A line that is still open when another is opened is closed
  // first. A TCP connect gives up after timings().connect_ms (kNoConnect) or when the abort
  // flag is raised (kAborted). After a failed modem step the port stays open as the current
  // line; the caller closes it.
  ConnectResult OpenConnection(int selector, int baud_code,
                               const std::optional<std::string>& phone);
  // The line `selector` names, as a person knows it: "127.0.0.1:5000" or "COM4".
  std::string LineName(int selector) const;
  void CloseConnection(int selector);
  int SendBlock(int selector, const uint8_t* bytes, int count);
  int SendByte(int selector, uint8_t byte);
  int ReadByte(int selector);
  void FlushInput(int selector);
  int WaitForText(int selector, int timeout_ms, std::string_view text);
  // Reads and discards until the line has been quiet for `quiet_ms`. True when it fell quiet;
  // false when `limit_ms` (negative: no limit) passed first (a line that never stops sending),
  // the abort flag was raised or the line is gone.
  bool WaitQuiet(int selector, int quiet_ms, int limit_ms = -1);
  // Waits at most `timeout_ms` for a byte to be readable (readiness, not a fixed sleep).
  bool WaitReadable(int selector, int timeout_ms);
  // Lets everything sent leave the line (before a close, so a last ACK is not lost).
  void Drain(int selector);
  bool IsOpen() const { return transport_ != nullptr; }
  // True when no line is open or the open one has been cut by the other end (a recorder or
  // terminal server closing its socket, a serial line hanging up): waiting can bring nothing.
  bool LineGone() const { return !transport_ || transport_->LineGone(); }
  // Longest single readiness wait of a loop that also watches the abort flag: long when
  // raising the flag wakes the line, otherwise the short polling step.
  int WaitStepMs() const;

  // Why the last received file could not be written ("disk full: cannot write ..."), kept
  // until taken, so the poll can say it; empty when nothing failed.
  void NoteFileError(std::string reason) { fileError_ = std::move(reason); }
  std::string TakeFileError() { return std::exchange(fileError_, {}); }

  // Measurement for the benchmarks (null: none).
  void SetObserver(ConnectionObserver* o);
  ConnectionObserver* observer() const { return observer_; }
  // The monotonic clock of the waits (tests let time-outs pass without waiting); not owned.
  void SetMonotonic(const platform::MonotonicSource& m) { mono_ = &m; }
  int64_t NowMs() const { return mono_->NowMs(); }

  // Uses a line that is already open (tests, the simulator) as the current connection; a line
  // that was open before is closed.
  void Attach(std::unique_ptr<Transport> t);

 private:
  Timings timings_;
  // Hands the abort flag's wake to the line just opened.
  void WatchAbort();

  AbortFlag ownAbort_;
  AbortFlag* abort_;
  // Hands the open line's read and write time since the last call to the observer.
  void ReportLineIo();

  bool wakeable_ = false;  // the open line ends its waits when the abort flag is raised
  ConnectionObserver* observer_ = nullptr;
  const platform::MonotonicSource* mono_ = &platform::SystemMonotonic();
  int64_t ioBase_ = 0;  // the open line's IoUs() at the last report
  std::string fileError_;
  StatusTexts* status_;
  ConnectionSettings settings_;
  PortMap ports_;
  uint32_t tcpIp_ = 0;
  int tcpPort_ = 0;
  std::unique_ptr<Transport> transport_;
  SerialPort* serial_ = nullptr;  // transport_ when it is a serial port we opened
};

// Selector of a recorder's direct connection; sets the TCP endpoint when it is TCP/IP (-1).
int DirectPortOf(Connection& c, const RecorderRecord& r);

// Text ConnectWithDialog shows for an OpenConnection result.
std::string ConnectionErrorText(int code);
inline std::string ConnectionErrorText(ConnectResult r) { return ConnectionErrorText(Code(r)); }

}  // namespace zel::comm
