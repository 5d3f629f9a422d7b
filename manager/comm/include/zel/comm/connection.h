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

#include "zel/comm/abort_flag.h"
#include "zel/comm/status.h"
#include "zel/comm/timings.h"
#include "zel/comm/transport.h"
#include "zel/recorder.h"

namespace zel::comm {

constexpr int kTcpSelector = -1;

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

  // The operations of the layer. Result codes: 0 connected, -1 no such port, -2 port in use,
  // 1 modem not found, 2 busy, 3 no carrier, 4 no connect, 8 aborted, other: unknown error
  // (a socket error is kSocketErrorBase + the system's error number). A line that is still
  // open when another is opened is closed first. After a failed modem step the port stays
  // open as the current line; the caller closes it.
  int OpenConnection(int selector, int baud_code, const std::optional<std::string>& phone);
  void CloseConnection(int selector);
  int SendBlock(int selector, const uint8_t* bytes, int count);
  int SendByte(int selector, uint8_t byte);
  int ReadByte(int selector);
  void FlushInput(int selector);
  int WaitForText(int selector, int timeout_ms, std::string_view text);
  void WaitQuiet(int selector, int quiet_ms);
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

  // Where the time of this connection's waits went, in microseconds since the last reset.
  struct WaitTimes {
    int64_t answeredUs = 0;  // readiness waits that ended with a byte from the line
    int64_t idleUs = 0;      // readiness waits that ended without one (silence, time-outs)
    int64_t diskSyncUs = 0;  // received files being made durable (AddDiskSync)
    int64_t lineIoUs = 0;    // the system's read and write calls on the lines
  };
  WaitTimes wait_times() const;
  void ResetWaitTimes();
  void AddDiskSync(int64_t us) { waitTimes_.diskSyncUs += us; }

  // Uses a line that is already open (tests, the simulator) as the current connection; a line
  // that was open before is closed.
  void Attach(std::unique_ptr<Transport> t);

 private:
  Timings timings_;
  // Hands the abort flag's wake to the line just opened.
  void WatchAbort();

  AbortFlag ownAbort_;
  AbortFlag* abort_;
  bool wakeable_ = false;  // the open line ends its waits when the abort flag is raised
  WaitTimes waitTimes_;
  int64_t ioBase_ = 0;  // the open line's IoUs() at the last reset
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

}  // namespace zel::comm
