// API-STABLE
// One recorder's setup database (setupdata.bin) in the layout of its model.
//
// The record holds the file image of the model's fields. Numbers are returned widened to int as
// the loader widens them: u16 input numbers read 65535 for none, one-byte ones 255, i16 ones -1
// (IsNoInput tells them apart for any field). Setters store the low bytes of the value, so -1
// stores "none" in any input-number field. Getters of a missing field or of an index outside
// the array return "" or 0; setters of those change nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zel/catalogue.h"
#include "zel/setup_layout.h"

namespace zel {

// One field element that differs between two records (for listings such as "zelsetup diff").
struct SetupDifference {
  const LayoutField* field = nullptr;
  int index = 0;                         // element of the field (input, pair, record ...)
  const LayoutMember* member = nullptr;  // member of a record, nullptr otherwise
  int slot = 0;                          // source slot, byte of a byte group, flash bit
  std::string left;                      // value in this record, as text
  std::string right;                     // value in the other record, as text
  std::string Describe() const;          // "input_names[3]: \"A\" != \"B\""
};

class SetupDatabase {
 public:
  // A zero-filled record of the model; an unknown type or 17 gives a record with no fields
  // (valid() false): every getter returns empty, every load or save does nothing.
  explicit SetupDatabase(RecorderType type);

  bool valid() const { return layout_ != nullptr; }
  RecorderType type() const { return type_; }
  const SetupLayout* layout() const { return layout_; }

  // --- counts of the model ---
  int DigitalCount() const;
  int AnalogCount() const;
  int VirtualCount() const;
  int TimerCount() const;
  int SpeedMonitorCount() const;
  int EventPairCount() const;
  int NameCount() const;  // entries of the name arrays
  int NameWidth() const;
  int IdentifierWidth() const;
  int EventNameWidth() const;
  bool HasCodingNames() const;
  std::size_t FieldLength() const;
  std::size_t WrittenLength() const;
  bool Has(SetupField field) const;

  // --- whole record ---
  void Clear();                   // every byte zero
  void RestoreFactoryDefaults();  // the model's factory defaults (keeps nothing)
  // What the editors' create prompt adds after the defaults: SLGML time zone 0 and daylight
  // saving time 1; no change for any other model.
  void ApplyCreatePromptDefaults();

  // Reads fields in layout order from the current start of the data. A short input is not an
  // error: fields it does not reach keep their prior values. Returns the bytes taken.
  std::size_t LoadBytes(const uint8_t* data, std::size_t size);
  std::size_t LoadBytes(const std::vector<uint8_t>& data);
  std::size_t Load(std::istream& in);  // reads from offset 0 (seeks when it can)
  // False when the file cannot be opened; the record then keeps its content.
  bool LoadFile(const std::filesystem::path& path);

  // Every field in layout order, reserved bytes as zero, texts up to their terminator then
  // zeros, zero padding to a multiple of 128.
  std::vector<uint8_t> SaveBytes() const;
  bool Save(std::ostream& out) const;
  // Writes a temporary file beside path and renames it over path; false (and path unchanged)
  // when that fails.
  bool SaveFile(const std::filesystem::path& path) const;

  // Field by field: texts as zero-terminated strings, numbers after widening, flash bits over
  // the digital inputs, records member by member; reserved bytes and padding not compared.
  // Records of different models are never equal.
  bool Equals(const SetupDatabase& other) const;
  friend bool operator==(const SetupDatabase& a, const SetupDatabase& b) { return a.Equals(b); }
  // Every differing element in layout order (empty when Equals); a different model gives one
  // entry with field nullptr.
  std::vector<SetupDifference> Differences(const SetupDatabase& other) const;

  // --- generic access (zelsetup, converters) ---
  // index: element of the field; member: record member (kNone for non-records); slot: source
  // slot of a record member array or byte of a byte group (kBytes: index picks the group).
  int Number(SetupField field, int index = 0, SetupMember member = SetupMember::kNone,
             int slot = 0) const;
  void SetNumber(SetupField field, int index, int value, SetupMember member = SetupMember::kNone,
                 int slot = 0);
  std::string Text(SetupField field, int index = 0) const;
  void SetText(SetupField field, int index, std::string_view text);
  std::vector<uint8_t> Bytes(SetupField field, int index = 0) const;  // one byte group
  void SetBytes(SetupField field, int index, const std::vector<uint8_t>& bytes);
  // By key ("unit_name", "virtual_inputs" + "truth_table"); nullopt when the model has no such
  // field or member, or the index is outside it, or the kind does not fit.
  std::optional<int> Number(std::string_view key, int index, std::string_view member = {},
                            int slot = 0) const;
  bool SetNumber(std::string_view key, int index, int value, std::string_view member = {},
                 int slot = 0);
  std::optional<std::string> Text(std::string_view key, int index = 0) const;
  bool SetText(std::string_view key, int index, std::string_view text);
  // True when value is the "none" input number of the field (all bits set in its width).
  bool IsNoInput(SetupField field, int value, SetupMember member = SetupMember::kNone) const;

  // --- inputs (index = input number, 0 .. NameCount()-1) ---
  std::string Name(int input) const;
  void SetName(int input, std::string_view text);
  std::string Identifier(int input) const;
  void SetIdentifier(int input, std::string_view text);
  int EventPair(int input) const;
  void SetEventPair(int input, int pair);
  // Any input number, system inputs included: the stored texts inside the name arrays, the
  // fixed long / short system names beyond them.
  std::string NameOfInput(int input) const;
  std::string IdentifierOfInput(int input) const;

  // --- event pairs ---
  std::string OnName(int pair) const;
  void SetOnName(int pair, std::string_view text);
  std::string OffName(int pair) const;
  void SetOffName(int pair, std::string_view text);
  std::string CodingName(int pair) const;  // KRV-583 family
  void SetCodingName(int pair, std::string_view text);

  // --- digital inputs ---
  int DetectTime(int digital) const;
  void SetDetectTime(int digital, int value);
  bool FlashEnabled(int digital) const;
  void SetFlashEnabled(int digital, bool on);

  // --- analog inputs (index 0 .. AnalogCount()-1) ---
  int AnalogRange(int analog) const;
  void SetAnalogRange(int analog, int range);
  int AnalogFilter(int analog) const;
  void SetAnalogFilter(int analog, int filter);
  int HighThreshold(int analog) const;
  void SetHighThreshold(int analog, int value);
  int LowThreshold(int analog) const;
  void SetLowThreshold(int analog, int value);

  // --- virtual inputs (index 0 .. VirtualCount()-1, slot 0-3) ---
  int VirtualSource(int virt, int slot) const;
  void SetVirtualSource(int virt, int slot, int input);
  int TruthTable(int virt) const;
  void SetTruthTable(int virt, int table);
  int RelayFlags(int virt) const;
  void SetRelayFlags(int virt, int flags);
  // Relay r (0-based) by the model's relay bit; other bits keep their value.
  bool Relay(int virt, int relay) const;
  void SetRelay(int virt, int relay, bool on);
  int RelayCount() const;
  int DialOut(int virt) const;
  void SetDialOut(int virt, int value);

  // --- speed monitors (index 0 .. SpeedMonitorCount()-1; KRV-19's plain fields are index 0) ---
  int SpeedSensor1(int monitor) const;
  void SetSpeedSensor1(int monitor, int input);
  int SpeedSensor2(int monitor) const;
  void SetSpeedSensor2(int monitor, int input);
  int SpeedDistance(int monitor) const;
  void SetSpeedDistance(int monitor, int value);
  int SpeedThreshold(int monitor) const;
  void SetSpeedThreshold(int monitor, int value);
  int SpeedDistanceUnit(int monitor) const;  // KRV-19, KRV-19XL, KRV-37E
  void SetSpeedDistanceUnit(int monitor, int unit);

  // --- timers (index 0 .. TimerCount()-1) ---
  int TimerFrom(int timer) const;
  void SetTimerFrom(int timer, int input);
  int TimerFromState(int timer) const;
  void SetTimerFromState(int timer, int state);
  int TimerTo(int timer) const;
  void SetTimerTo(int timer, int input);
  int TimerToState(int timer) const;
  void SetTimerToState(int timer, int state);
  int TimerLowLimit(int timer) const;
  void SetTimerLowLimit(int timer, int value);
  int TimerHighLimit(int timer) const;
  void SetTimerHighLimit(int timer, int value);

  // --- single fields ---
  int Baud() const;  // "baud index", or port 1 in two-port models
  void SetBaud(int code);
  int BaudPort1() const;
  void SetBaudPort1(int code);
  int BaudPort2() const;
  void SetBaudPort2(int code);
  std::string UnitName() const;
  void SetUnitName(std::string_view text);
  std::string AdministrativePassword() const;  // the password an upload logs in with
  void SetAdministrativePassword(std::string_view text);
  std::string RestrictedPassword() const;
  void SetRestrictedPassword(std::string_view text);
  std::string Passcode() const;
  void SetPasscode(std::string_view text);
  int RingCount() const;
  void SetRingCount(int count);
  std::string PrimaryDialNumber() const;
  void SetPrimaryDialNumber(std::string_view text);
  std::string SecondaryDialNumber() const;
  void SetSecondaryDialNumber(std::string_view text);
  int ClockSyncInput() const;
  void SetClockSyncInput(int input);
  int ClockSyncMode() const;
  void SetClockSyncMode(int mode);
  int OpenClockSyncInput() const;
  void SetOpenClockSyncInput(int value);
  int HighTemperatureLimit() const;
  void SetHighTemperatureLimit(int value);
  int LowTemperatureLimit() const;
  void SetLowTemperatureLimit(int value);
  int TimeZone() const;
  void SetTimeZone(int index);
  int DaylightSavingTime() const;
  void SetDaylightSavingTime(int value);
  int RecordFlashDetails() const;
  void SetRecordFlashDetails(int value);

  // network (zeros when the model has no such field)
  std::array<uint8_t, 4> IpAddress() const;
  void SetIpAddress(const std::array<uint8_t, 4>& octets);
  std::array<uint8_t, 4> SubnetMask() const;
  void SetSubnetMask(const std::array<uint8_t, 4>& octets);
  std::array<uint8_t, 4> Gateway() const;
  void SetGateway(const std::array<uint8_t, 4>& octets);
  std::array<uint8_t, 6> MacAddress() const;
  void SetMacAddress(const std::array<uint8_t, 6>& octets);
  std::array<uint8_t, 4> SntpServer() const;
  void SetSntpServer(const std::array<uint8_t, 4>& octets);
  int TcpPort() const;
  void SetTcpPort(int port);
  int TcpMode() const;
  void SetTcpMode(int mode);
  int UdpPort() const;  // KRV-517AX "UDP port", KRV-517XC primary UDP port
  void SetUdpPort(int port);
  int SecondaryUdpPort() const;  // KRV-517XC
  void SetSecondaryUdpPort(int port);
  int SecondaryIpCount() const;  // 16 in KRV-517XC and KRV-517AX, else 0
  std::array<uint8_t, 4> SecondaryIp(int module) const;
  void SetSecondaryIp(int module, const std::array<uint8_t, 4>& octets);
  // An input module counts as present when its secondary address is set (KRV-517XC: any octet
  // nonzero; KRV-517AX: neither 0.0.0.0 nor 255.255.255.255).
  bool ModulePresent(int module) const;

  // SLGML peer protocol (link 0 "Station 1", 1 "Station 2")
  int PeerLinkCount() const;
  int PeerSourceAddress(int link) const;
  void SetPeerSourceAddress(int link, int value);
  int PeerDestinationAddress(int link) const;
  void SetPeerDestinationAddress(int link, int value);
  int PeerType(int link) const;
  void SetPeerType(int link, int value);
  int PeerBooleanInputBits(int link) const;
  void SetPeerBooleanInputBits(int link, int value);
  int StaleDataTimeout() const;
  void SetStaleDataTimeout(int tenths);
  int MicrolokClockSync() const;
  void SetMicrolokClockSync(int value);

 private:
  const LayoutField* FieldOf(SetupField field) const;
  const uint8_t* ElementPtr(const LayoutField& f, int index, const LayoutMember* m, int slot) const;

  RecorderType type_;
  const SetupLayout* layout_;
  std::vector<uint8_t> image_;  // fieldLength bytes, the fields at their file offsets
};

}  // namespace zel
