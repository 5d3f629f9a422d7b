// API-STABLE
// Field sequences of setupdata.bin for every model with a setup database (types 0-16 and 18;
// 14 and 15 share one layout, 17 has none). One table per model drives loading, saving,
// comparing and listing; nothing in the file itself tells the model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zel/catalogue.h"

namespace zel {

// What a top-level field of a layout means. The same meaning keeps the same id in every model.
enum class SetupField : int {
  kReserved = 0,  // reserved bytes: skipped on reading, written as zero, never compared
  // NET group and ports
  kMacAddress,            // byte group, 6 octets in display order
  kIpAddress,             // byte group, 4 octets, first octet first
  kSubnetMask,            // byte group, 4
  kGateway,               // byte group, 4
  kTcpPort,               // u16
  kTcpMode,               // 1 byte: 0 raw TCP/IP, 1 Telnet
  kBaud,                  // "baud index": terminal baud code of a one-port model
  kBaudPort1,             // "baud index port 1"
  kBaudPort2,             // "baud index port 2"
  kUdpPort,               // KRV-517AX "UDP port"
  kPrimaryUdpPort,        // KRV-517XC
  kSecondaryUdpPort,      // KRV-517XC
  kSecondaryIpAddresses,  // byte group, 16 addresses of 4 octets (KRV-517XC, KRV-517AX)
  // SYS group
  kUnitName,
  kAdministrativePassword,
  kRestrictedPassword,
  kPasscode,
  kRingCount,
  // inputs
  kInputNames,
  kInputIdentifiers,
  kOnEventNames,
  kOffEventNames,
  kCodingEventNames,  // KRV-583 family only
  kEventPair,         // one number per input: 0-based index of its event pair
  kDetectTimes,
  kFlashEnableBits,  // byte group, bit (n mod 8) of byte (n div 8) for digital input n
  kAnalogRange,
  kAnalogFilter,
  kAnalogHighThresholds,
  kAnalogLowThresholds,
  kVirtualInputs,  // records: source inputs[4], truth table, relay flags, dial out
  kPrimaryDialNumber,
  kSecondaryDialNumber,
  kClockSyncInput,      // input number (u16 0xFFFF or one byte 255 for none)
  kClockSyncMode,       // 0 none, 1 SNTP, 2 GPS
  kOpenClockSyncInput,  // the "open" byte of KRV-37E and KRV-61E: stored, compared, not shown
  kHighTemperatureLimit,
  kLowTemperatureLimit,
  kSpeedMonitors,     // records: sensor 1, sensor 2, distance, threshold [, distance unit]
  kSpeedMeasurement,  // the one speed record of KRV-583 / KRV-583E
  // KRV-19 keeps its one speed measurement as plain fields
  kSpeedSensor1,
  kSpeedSensor2,
  kDistanceBetweenSensors,
  kExcessiveSpeedLimit,
  kDistanceUnit,  // 0 inches, 1 feet
  // timers (parallel arrays)
  kTimerFromInput,
  kTimerFromState,
  kTimerToInput,
  kTimerToState,
  kTimerLowLimit,
  kTimerHighLimit,
  // clock and network extras
  kTimeZone,
  kDaylightSavingTime,
  kSntpServerAddress,       // byte group, 4
  kRecordFlashDetailsFlag,  // KRV-37E, KRV-61E
  kPeerProtocolLinks,       // SLGML records: source/destination address, type, boolean bits
  kStaleDataTimeout,        // SLGML, tenths of a second
  kMicrolokClockSyncFlag,   // SLGML "Microlok II clock synchronisation flag"
};

// What a member of a record means.
enum class SetupMember : int {
  kNone = 0,  // "no member": the field is not a record
  kReserved,
  kSourceInputs,  // 4 slots
  kTruthTable,
  kRelayFlags,
  kDialOut,
  kSensor1,
  kSensor2,
  kDistance,
  kThreshold,
  kDistanceUnit,
  kSourceAddress,
  kDestinationAddress,
  kLinkType,  // 0 disabled, 1 vital, 2 non-vital
  kBooleanInputBits,
};

enum class FieldKind {
  kNumber,    // count elements of width 1, 2 or 4 bytes, little-endian
  kText,      // count zero-terminated texts of width bytes (width includes the terminator)
  kBytes,     // count groups of width raw bytes (addresses, MAC, flash bits)
  kReserved,  // width * count bytes, read and skipped, written as zero
  kRecords,   // count records of width bytes made of members
};

struct LayoutMember {
  SetupMember id;
  const char* name;  // "source inputs", "truth table", "sensor 1", ...
  std::string key;   // name in lower case, every run of other characters as one '_'
  int width;         // bytes per element (0 never)
  int count;         // elements (4 for source inputs, n for reserved runs)
  bool isSigned;
  int offset;  // from the start of the record
  bool reserved() const { return id == SetupMember::kReserved; }
  int size() const { return width * count; }
};

struct LayoutField {
  SetupField id;
  const char* name;  // "unit name", "input names", "baud index port 1", "TCP/IP port", ...
  std::string key;   // "unit_name", "input_names", "baud_index_port_1", "tcp_ip_port", ...
  FieldKind kind;
  int width;                          // bytes per element (per record for kRecords)
  int count;                          // elements
  bool isSigned;                      // numbers only
  std::vector<LayoutMember> members;  // kRecords only
  std::size_t offset = 0;             // from the start of the file
  std::size_t size() const { return static_cast<std::size_t>(width) * count; }
  bool reserved() const { return kind == FieldKind::kReserved; }
  // The member of a record by id or key; nullptr when there is none.
  const LayoutMember* Member(SetupMember member) const;
  const LayoutMember* Member(std::string_view key) const;
};

// One model's layout and its counts.
class SetupLayout {
 public:
  RecorderType type = -1;      // the first type number that uses it (14 for SLG808)
  const char* modelName = "";  // short model name: "KRV-517", "SLG808", ...
  int digitalCount = 0;
  int analogCount = 0;
  int virtualCount = 0;
  int timerCount = 0;
  int speedMonitorCount = 0;  // 1 for KRV-19, KRV-583 and KRV-583E (system page)
  int eventPairCount = 0;
  int nameWidth = 21;             // bytes, terminator included
  int identifierWidth = 9;        // bytes
  int eventNameWidth = 9;         // bytes
  bool hasCodingNames = false;    // KRV-583 family: ON, OFF and CODING per pair
  std::vector<int> relayBits;     // bit of each relay in the virtual relay flags, relay 1 first
  std::size_t fieldLength = 0;    // sum of all field sizes
  std::size_t writtenLength = 0;  // fieldLength padded with zeros to a multiple of 128

  // Entries of the name, identifier and event-pair arrays: digital + analog + virtual + timers.
  int NameCount() const { return digitalCount + analogCount + virtualCount + timerCount; }
  int FirstAnalog() const { return digitalCount; }
  int FirstVirtual() const { return digitalCount + analogCount; }
  int FirstTimer() const { return digitalCount + analogCount + virtualCount; }

  const std::vector<LayoutField>& fields() const { return fields_; }
  // A field by meaning or by key; nullptr when the model has none. Reserved runs are not found.
  const LayoutField* Find(SetupField id) const;
  const LayoutField* Find(std::string_view key) const;
  bool Has(SetupField id) const { return Find(id) != nullptr; }

  // Builds offsets, lengths and keys; used by the table code.
  void SetFields(std::vector<LayoutField> fields);

 private:
  std::vector<LayoutField> fields_;
  std::vector<int> byId_;  // field index by SetupField value, -1 when absent
};

// Layout of a model type; nullptr for type 17 and unknown types. Types 14 and 15 give the same
// object.
const SetupLayout* LayoutOf(RecorderType type);

// Every distinct layout (17 of them), in type order.
std::vector<const SetupLayout*> AllLayouts();

// "TCP/IP port" -> "tcp_ip_port": lower case, each run of non-alphanumerics one underscore.
std::string FieldKey(std::string_view name);

// Little-endian number of width 1, 2 or 4 at p, zero- or sign-extended.
int64_t ReadLittleEndian(const uint8_t* p, int width, bool isSigned);
// Stores the low width bytes of value (two's complement) at p.
void WriteLittleEndian(uint8_t* p, int width, int64_t value);

}  // namespace zel
