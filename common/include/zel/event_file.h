// API-STABLE
// Event record files: the layout of every file type and the reader `EventRecordFile`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zel/catalogue.h"

namespace zel {

// The 17 file types, in the order their header lines are compared.
enum class EventFileType : int {
  kUnknown = -1,
  k19XT = 0,
  k19XL,
  k61,
  k517,
  k517E,
  k517XL,
  k517P,
  k583,
  k583E,
  k85E,
  k37E,
  kSlg,
  kSlgML,
  k61E,
  kSlg808,
  k583A,
  k517AX,
};
constexpr int kEventFileTypeCount = 17;

// Where the sign bits of a record's values live.
enum class SignPlace {
  kStateBits,  // bits 0-3 of the state byte
  kOneByte,    // one byte at signOffset
  kTwoBytes,   // two bytes at signOffset, low byte first (16 sign bits)
  kNone,       // no values
};

// How the state byte carries the input's new state.
enum class StateKind {
  kBit6,     // bit 6 set: on
  kBit0,     // bit 0 set: on
  kTwoBits,  // KRV-583 family: low two bits 0-3 (0 OFF, 2 CODING, 1 and 3 ON)
};

struct EventLayout {
  EventFileType fileType;
  const char* headerLine;  // whole line including its line feed
  int ticksPerSecond;      // 1000, 100 or 10
  int inputCount;          // N
  int firstRecord;         // H: offset of the first record
  int recordSize;          // R
  bool stateBytes;         // initial states one byte per input (KRV-583 family), else bits
  StateKind stateKind;
  uint8_t plotOnMask;  // the plotter's "on": (state & plotOnMask) == plotOnValue
  uint8_t plotOnValue;
  // Byte places inside a record (-1 for none).
  int stateOffset;
  int timeBytes;                   // 4 (32-bit) or 3 (24-bit)
  std::array<int, 4> timeOffsets;  // places of time bytes, least significant first; [3] is -1
                                   // for 24-bit times (lo, mid, hi may be non-adjacent)
  int inputOffset;
  int inputBytes;  // 1 or 2
  SignPlace signs;
  int signOffset;     // -1 for kStateBits and kNone
  int valueOffset;    // -1 when valueCount is 0
  int valueCount;     // K: 0, 4, 8 or 16
  int specialOffset;  // -1 when the type has no special value
  int spareOffset;
  int dateOffset;
};

// Offsets inside the fixed header, counted from the end of the header line.
constexpr int kFixedHeaderStartDate = 2;
constexpr int kFixedHeaderStartTime = 4;
constexpr int kFixedHeaderEndDate = 8;
constexpr int kFixedHeaderEndTime = 10;
constexpr int kFixedHeaderStates = 14;
constexpr int kMaxEventValues = 16;
constexpr int kMaxHeaderLineChars = 254;

// Layout of a file type; nullptr for kUnknown or a value outside the 17 types.
const EventLayout* FindEventLayout(EventFileType type);
// All 17 layouts in header compare order.
const std::array<EventLayout, kEventFileTypeCount>& EventLayouts();
// File type of a model type (types 14 and 15 share one); kUnknown for type 17 and unknown
// types.
EventFileType EventFileTypeOfModel(RecorderType type);
// File type of a header line read from a file (with its line feed; a carriage return ahead of
// the line feed is dropped first). Exact, case-sensitive, first equal row.
EventFileType EventFileTypeOfHeaderLine(std::string_view line);
// Length of the header line of a type, line feed included; 0 for kUnknown.
int HeaderLineLength(EventFileType type);
// Length B of the initial-state block.
int InitialStateBlockSize(const EventLayout& layout);

// The report's test of a state byte (bit 6 or bit 0; KRV-583 family: level 1 or 3).
bool StateIsOn(const EventLayout& layout, uint8_t state);
// The plotter's test of a state byte (whole pattern; KRV-583 family: level 1 or 3).
bool PlotStateIsOn(const EventLayout& layout, uint8_t state);
// The state value a record carries: 0/1 by StateIsOn, or 0-3 for the KRV-583 family.
int StateLevel(const EventLayout& layout, uint8_t state);

struct EventRecord {
  uint8_t state = 0;
  uint32_t time = 0;  // ticks since midnight
  uint16_t date = 0;  // packed date
  int input = 0;
  int valueCount = 0;
  std::array<int, kMaxEventValues> values{};  // signed readings -256..255
  int special = 0;                            // signed 16-bit; 0 for types without one
  uint8_t spare = 0;
  int64_t absTime = 0;  // day number x ticks per day + time
  friend bool operator==(const EventRecord&, const EventRecord&) = default;
};

// Decodes one record of R bytes (never reads beyond layout.recordSize bytes of `bytes`).
EventRecord DecodeEventRecord(const EventLayout& layout, const uint8_t* bytes);

struct EventInterval {
  uint16_t startDate = 0;
  uint32_t startTime = 0;
  uint16_t endDate = 0;
  uint32_t endTime = 0;
};

class EventRecordFile {
 public:
  enum class OpenResult { kOk, kCannotOpen, kUnknownType };

  EventRecordFile();
  ~EventRecordFile();
  EventRecordFile(const EventRecordFile&) = delete;
  EventRecordFile& operator=(const EventRecordFile&) = delete;

  // Opens a file, finds its type by the header line and reads the fixed header. For an
  // unknown line nothing else is read (the file stays closed, Type() is kUnknown).
  OpenResult Open(const std::string& path);
  // Opens with the type given: the header line is not read; the fixed header is taken at
  // the type's line length.
  OpenResult OpenAs(const std::string& path, EventFileType type);
  OpenResult OpenForModel(const std::string& path, RecorderType model);
  // The same on bytes in memory (copied).
  OpenResult OpenMemory(const uint8_t* data, size_t size);
  OpenResult OpenMemoryAs(const uint8_t* data, size_t size, EventFileType type);
  void Close();

  bool IsOpen() const;
  EventFileType Type() const { return type_; }
  const EventLayout* Layout() const { return layout_; }
  // The header line as read (at most 254 characters, carriage return dropped; empty when
  // opened with a forced type).
  const std::string& HeaderLine() const { return headerLine_; }
  int TicksPerSecond() const;
  int64_t TicksPerDay() const;
  int InputCount() const;  // N

  // False when the file ends inside the fixed header (missing fields read as 0).
  bool FixedHeaderComplete() const { return headerComplete_; }
  const EventInterval& Interval() const { return interval_; }
  int64_t IntervalStartAbs() const;
  int64_t IntervalEndAbs() const;
  // Initial state of every input: 0/1, or 0-3 for the KRV-583 family.
  const std::vector<uint8_t>& InitialStates() const { return initial_; }
  // Current state of every input: the initial states, updated by each record read whose
  // input is below N. Rewind restores the initial states.
  const std::vector<uint8_t>& States() const { return states_; }

  // Next record; false at the end (short read or state byte 0). Once at the end, stays there
  // until Rewind.
  bool Next(EventRecord& out);
  // Back to the first record (offset H); the states return to the initial states.
  void Rewind();
  // Records read since the open or the last rewind.
  int64_t RecordsRead() const { return recordsRead_; }

 private:
  OpenResult Finish(EventFileType type);
  bool Fill();
  size_t ReadAt(int64_t offset, uint8_t* dst, size_t n);

  EventFileType type_ = EventFileType::kUnknown;
  const EventLayout* layout_ = nullptr;
  std::string headerLine_;
  bool headerComplete_ = false;
  EventInterval interval_;
  std::vector<uint8_t> initial_;
  std::vector<uint8_t> states_;

  std::FILE* file_ = nullptr;
  std::vector<uint8_t> memory_;
  bool inMemory_ = false;

  std::vector<uint8_t> buffer_;
  size_t bufPos_ = 0;
  size_t bufLen_ = 0;
  int64_t fileOffset_ = 0;  // offset of the byte after the buffered ones
  bool atEnd_ = false;
  bool sourceDone_ = false;
  int64_t recordsRead_ = 0;
  int cacheDate_ = -1;  // packed date of the last record and the first tick of its day
  int64_t cacheDayStart_ = 0;
};

}  // namespace zel
