#include "zel/event_file.h"

#include <algorithm>
#include <cstring>

#include "zel/day_number.h"

namespace zel {
namespace {

using SK = StateKind;
using SP = SignPlace;
using FT = EventFileType;

// One row per file type, at the place of its EventFileType value; header lines are compared in
// this order.
// clang-format off
constexpr std::array<EventLayout, kEventFileTypeCount> kLayouts{{
    {.fileType = FT::k19XT, .headerLine = "KRV19xt 1.00 binary\n", .ticksPerSecond = 1000,
     .inputCount = 30, .firstRecord = 38, .recordSize = 13, .stateBytes = false,
     .stateKind = SK::kBit6, .plotOnMask = 0xC0, .plotOnValue = 0xC0,
     .stateOffset = 0, .timeBytes = 4, .timeOffsets = {1, 2, 3, 4},
     .inputOffset = 5, .inputBytes = 1, .signs = SP::kStateBits, .signOffset = -1,
     .valueOffset = 6, .valueCount = 4, .specialOffset = -1,
     .spareOffset = 10, .dateOffset = 11},
    {.fileType = FT::k19XL, .headerLine = "KRV19XL 1.00 binary\n", .ticksPerSecond = 1000,
     .inputCount = 30, .firstRecord = 38, .recordSize = 15, .stateBytes = false,
     .stateKind = SK::kBit6, .plotOnMask = 0xC0, .plotOnValue = 0xC0,
     .stateOffset = 0, .timeBytes = 4, .timeOffsets = {1, 2, 3, 4},
     .inputOffset = 5, .inputBytes = 1, .signs = SP::kStateBits, .signOffset = -1,
     .valueOffset = 6, .valueCount = 4, .specialOffset = 10,
     .spareOffset = 12, .dateOffset = 13},
    {.fileType = FT::k61, .headerLine = "KRV61 1.01 binary\n", .ticksPerSecond = 100,
     .inputCount = 88, .firstRecord = 43, .recordSize = 19, .stateBytes = false,
     .stateKind = SK::kBit0, .plotOnMask = 0xFF, .plotOnValue = 0x81,
     .stateOffset = 0, .timeBytes = 3, .timeOffsets = {1, 2, 3, -1},
     .inputOffset = 4, .inputBytes = 1, .signs = SP::kOneByte, .signOffset = 5,
     .valueOffset = 6, .valueCount = 8, .specialOffset = 14,
     .spareOffset = 16, .dateOffset = 17},
    {.fileType = FT::k517, .headerLine = "KRV517 3.00 binary\n", .ticksPerSecond = 100,
     .inputCount = 280, .firstRecord = 68, .recordSize = 20, .stateBytes = false,
     .stateKind = SK::kBit0, .plotOnMask = 0xFF, .plotOnValue = 0x81,
     .stateOffset = 0, .timeBytes = 3, .timeOffsets = {1, 2, 3, -1},
     .inputOffset = 4, .inputBytes = 2, .signs = SP::kOneByte, .signOffset = 6,
     .valueOffset = 7, .valueCount = 8, .specialOffset = 15,
     .spareOffset = 17, .dateOffset = 18},
    {.fileType = FT::k517E, .headerLine = "KRV517E 1.00 binary\n", .ticksPerSecond = 100,
     .inputCount = 360, .firstRecord = 79, .recordSize = 20, .stateBytes = false,
     .stateKind = SK::kBit0, .plotOnMask = 0xFF, .plotOnValue = 0x81,
     .stateOffset = 0, .timeBytes = 3, .timeOffsets = {1, 2, 3, -1},
     .inputOffset = 4, .inputBytes = 2, .signs = SP::kOneByte, .signOffset = 6,
     .valueOffset = 7, .valueCount = 8, .specialOffset = 15,
     .spareOffset = 17, .dateOffset = 18},
    {.fileType = FT::k517XL, .headerLine = "KRV517XL 1.00 binary\n", .ticksPerSecond = 100,
     .inputCount = 360, .firstRecord = 80, .recordSize = 20, .stateBytes = false,
     .stateKind = SK::kBit6, .plotOnMask = 0xFF, .plotOnValue = 0xC0,
     .stateOffset = 16, .timeBytes = 3, .timeOffsets = {0, 1, 6, -1},
     .inputOffset = 4, .inputBytes = 2, .signs = SP::kOneByte, .signOffset = 7,
     .valueOffset = 8, .valueCount = 8, .specialOffset = 2,
     .spareOffset = 17, .dateOffset = 18},
    {.fileType = FT::k517P, .headerLine = "KRV517P 1.00 binary\n", .ticksPerSecond = 100,
     .inputCount = 4256, .firstRecord = 566, .recordSize = 20, .stateBytes = false,
     .stateKind = SK::kBit0, .plotOnMask = 0xFF, .plotOnValue = 0x81,
     .stateOffset = 0, .timeBytes = 3, .timeOffsets = {1, 2, 3, -1},
     .inputOffset = 4, .inputBytes = 2, .signs = SP::kOneByte, .signOffset = 6,
     .valueOffset = 7, .valueCount = 8, .specialOffset = 15,
     .spareOffset = 17, .dateOffset = 18},
    {.fileType = FT::k583, .headerLine = "KRV583 1.00 binary\n", .ticksPerSecond = 100,
     .inputCount = 288, .firstRecord = 321, .recordSize = 27, .stateBytes = true,
     .stateKind = SK::kTwoBits, .plotOnMask = 0x01, .plotOnValue = 0x01,
     .stateOffset = 0, .timeBytes = 3, .timeOffsets = {1, 2, 3, -1},
     .inputOffset = 4, .inputBytes = 2, .signs = SP::kTwoBytes, .signOffset = 6,
     .valueOffset = 8, .valueCount = 16, .specialOffset = -1,
     .spareOffset = 24, .dateOffset = 25},
    {.fileType = FT::k583E, .headerLine = "KRV583E 1.00 binary\n", .ticksPerSecond = 100,
     .inputCount = 288, .firstRecord = 322, .recordSize = 27, .stateBytes = true,
     .stateKind = SK::kTwoBits, .plotOnMask = 0x01, .plotOnValue = 0x01,
     .stateOffset = 0, .timeBytes = 3, .timeOffsets = {1, 2, 3, -1},
     .inputOffset = 4, .inputBytes = 2, .signs = SP::kTwoBytes, .signOffset = 6,
     .valueOffset = 8, .valueCount = 16, .specialOffset = -1,
     .spareOffset = 24, .dateOffset = 25},
    {.fileType = FT::k85E, .headerLine = "KRV85E 1.00 binary\n", .ticksPerSecond = 100,
     .inputCount = 144, .firstRecord = 51, .recordSize = 10, .stateBytes = false,
     .stateKind = SK::kBit0, .plotOnMask = 0xFF, .plotOnValue = 0x81,
     .stateOffset = 0, .timeBytes = 3, .timeOffsets = {1, 2, 3, -1},
     .inputOffset = 4, .inputBytes = 1, .signs = SP::kNone, .signOffset = -1,
     .valueOffset = -1, .valueCount = 0, .specialOffset = 5,
     .spareOffset = 7, .dateOffset = 8},
    {.fileType = FT::k37E, .headerLine = "KRV37E 1.00 binary\n", .ticksPerSecond = 1000,
     .inputCount = 32, .firstRecord = 37, .recordSize = 15, .stateBytes = false,
     .stateKind = SK::kBit6, .plotOnMask = 0xC0, .plotOnValue = 0xC0,
     .stateOffset = 11, .timeBytes = 4, .timeOffsets = {0, 1, 2, 3},
     .inputOffset = 6, .inputBytes = 1, .signs = SP::kStateBits, .signOffset = -1,
     .valueOffset = 7, .valueCount = 4, .specialOffset = 4,
     .spareOffset = 12, .dateOffset = 13},
    {.fileType = FT::kSlg, .headerLine = "SLG 1.00 binary\n", .ticksPerSecond = 10,
     .inputCount = 268, .firstRecord = 64, .recordSize = 16, .stateBytes = false,
     .stateKind = SK::kBit6, .plotOnMask = 0xC0, .plotOnValue = 0xC0,
     .stateOffset = 12, .timeBytes = 4, .timeOffsets = {0, 1, 2, 3},
     .inputOffset = 6, .inputBytes = 2, .signs = SP::kStateBits, .signOffset = -1,
     .valueOffset = 8, .valueCount = 4, .specialOffset = 4,
     .spareOffset = 13, .dateOffset = 14},
    {.fileType = FT::kSlgML, .headerLine = "SLGML 1.00 binary\n", .ticksPerSecond = 10,
     .inputCount = 268, .firstRecord = 66, .recordSize = 16, .stateBytes = false,
     .stateKind = SK::kBit6, .plotOnMask = 0xC0, .plotOnValue = 0xC0,
     .stateOffset = 12, .timeBytes = 4, .timeOffsets = {0, 1, 2, 3},
     .inputOffset = 6, .inputBytes = 2, .signs = SP::kStateBits, .signOffset = -1,
     .valueOffset = 8, .valueCount = 4, .specialOffset = 4,
     .spareOffset = 13, .dateOffset = 14},
    {.fileType = FT::k61E, .headerLine = "KRV61E 1.00 binary\n", .ticksPerSecond = 100,
     .inputCount = 104, .firstRecord = 46, .recordSize = 19, .stateBytes = false,
     .stateKind = SK::kBit6, .plotOnMask = 0xC0, .plotOnValue = 0xC0,
     .stateOffset = 15, .timeBytes = 3, .timeOffsets = {0, 1, 4, -1},
     .inputOffset = 5, .inputBytes = 1, .signs = SP::kOneByte, .signOffset = 6,
     .valueOffset = 7, .valueCount = 8, .specialOffset = 2,
     .spareOffset = 16, .dateOffset = 17},
    {.fileType = FT::kSlg808, .headerLine = "SLG 1.01 binary\n", .ticksPerSecond = 10,
     .inputCount = 1011, .firstRecord = 157, .recordSize = 16, .stateBytes = false,
     .stateKind = SK::kBit6, .plotOnMask = 0xC0, .plotOnValue = 0xC0,
     .stateOffset = 12, .timeBytes = 4, .timeOffsets = {0, 1, 2, 3},
     .inputOffset = 6, .inputBytes = 2, .signs = SP::kStateBits, .signOffset = -1,
     .valueOffset = 8, .valueCount = 4, .specialOffset = 4,
     .spareOffset = 13, .dateOffset = 14},
    {.fileType = FT::k583A, .headerLine = "KRV583A 1.00 binary\n", .ticksPerSecond = 100,
     .inputCount = 288, .firstRecord = 322, .recordSize = 29, .stateBytes = true,
     .stateKind = SK::kTwoBits, .plotOnMask = 0x01, .plotOnValue = 0x01,
     .stateOffset = 25, .timeBytes = 3, .timeOffsets = {0, 1, 8, -1},
     .inputOffset = 4, .inputBytes = 2, .signs = SP::kTwoBytes, .signOffset = 6,
     .valueOffset = 9, .valueCount = 16, .specialOffset = 2,
     .spareOffset = 26, .dateOffset = 27},
    {.fileType = FT::k517AX, .headerLine = "KRV517AX 1.00 binary\n", .ticksPerSecond = 100,
     .inputCount = 4192, .firstRecord = 559, .recordSize = 15, .stateBytes = false,
     .stateKind = SK::kBit6, .plotOnMask = 0xC0, .plotOnValue = 0xC0,
     .stateOffset = 11, .timeBytes = 3, .timeOffsets = {0, 1, 6, -1},
     .inputOffset = 4, .inputBytes = 2, .signs = SP::kStateBits, .signOffset = -1,
     .valueOffset = 7, .valueCount = 4, .specialOffset = 2,
     .spareOffset = 12, .dateOffset = 13},
}};
// clang-format on

constexpr bool LayoutsAtTheirFileType() {
  for (int i = 0; i < kEventFileTypeCount; ++i)
    if (static_cast<int>(kLayouts[static_cast<size_t>(i)].fileType) != i) return false;
  return true;
}
static_assert(LayoutsAtTheirFileType(), "kLayouts must hold the row of file type i at place i");

struct ModelFileType {
  RecorderType model;
  EventFileType fileType;  // kUnknown: the model writes no event files
};

// The event file type each model writes, at the place of its type number. kSlgS7_808 and
// kSlgAS7 write the same file type.
constexpr std::array<ModelFileType, kModelTypeCount> kModelFileTypes{{
    {.model = model::kKrv19xt, .fileType = FT::k19XT},
    {.model = model::kKrv19xl, .fileType = FT::k19XL},
    {.model = model::kKrv43_61, .fileType = FT::k61},
    {.model = model::kKrv517, .fileType = FT::k517},
    {.model = model::kKrv517e, .fileType = FT::k517E},
    {.model = model::kKrv517xl, .fileType = FT::k517XL},
    {.model = model::kKrv517xc, .fileType = FT::k517P},
    {.model = model::kKrv583, .fileType = FT::k583},
    {.model = model::kKrv583e, .fileType = FT::k583E},
    {.model = model::kKrv85e, .fileType = FT::k85E},
    {.model = model::kKrv37e, .fileType = FT::k37E},
    {.model = model::kSlgS7_246, .fileType = FT::kSlg},
    {.model = model::kSlgMicrolok, .fileType = FT::kSlgML},
    {.model = model::kKrv61e, .fileType = FT::k61E},
    {.model = model::kSlgS7_808, .fileType = FT::kSlg808},
    {.model = model::kSlgAS7, .fileType = FT::kSlg808},
    {.model = model::kKrv583a, .fileType = FT::k583A},
    {.model = model::kKpd29a, .fileType = FT::kUnknown},
    {.model = model::kKrv517ax, .fileType = FT::k517AX},
}};
static_assert(RowsAtTheirType(kModelFileTypes, [](const ModelFileType& r) { return r.model; }),
              "kModelFileTypes must hold the row of model type i at place i");

constexpr size_t kBufferBytes = size_t{1} << 20;

}  // namespace

const std::array<EventLayout, kEventFileTypeCount>& EventLayouts() { return kLayouts; }

const EventLayout* FindEventLayout(EventFileType type) {
  const int i = static_cast<int>(type);
  if (i < 0 || i >= kEventFileTypeCount) return nullptr;
  return &kLayouts[static_cast<size_t>(i)];
}

EventFileType EventFileTypeOfModel(RecorderType type) {
  if (type < 0 || type >= static_cast<int>(kModelFileTypes.size())) return FT::kUnknown;
  return kModelFileTypes[static_cast<size_t>(type)].fileType;
}

EventFileType EventFileTypeOfHeaderLine(std::string_view line) {
  std::string text(line);
  if (text.size() >= 2 && text[text.size() - 2] == '\r' && text.back() == '\n') {
    text.erase(text.size() - 2, 1);
  }
  for (const auto& l : kLayouts) {
    if (text == l.headerLine) return l.fileType;
  }
  return FT::kUnknown;
}

int HeaderLineLength(EventFileType type) {
  const EventLayout* l = FindEventLayout(type);
  return l == nullptr ? 0 : static_cast<int>(std::strlen(l->headerLine));
}

int InitialStateBlockSize(const EventLayout& layout) {
  return layout.stateBytes ? layout.inputCount : (layout.inputCount + 7) / 8;
}

bool StateIsOn(const EventLayout& layout, uint8_t state) {
  switch (layout.stateKind) {
    case SK::kBit6:
      return (state & 0x40) != 0;
    case SK::kBit0:
      return (state & 0x01) != 0;
    case SK::kTwoBits:
      return (state & 0x01) != 0;  // levels 1 and 3
  }
  return false;
}

bool PlotStateIsOn(const EventLayout& layout, uint8_t state) {
  return (state & layout.plotOnMask) == layout.plotOnValue;
}

int StateLevel(const EventLayout& layout, uint8_t state) {
  if (layout.stateKind == SK::kTwoBits) return state & 0x03;
  return StateIsOn(layout, state) ? 1 : 0;
}

namespace {

// Decodes into `r`; `dayCache` keeps the last date and its first tick so that a run of records
// of one day computes its day number once.
struct DayCache {
  int date = -1;
  int64_t dayStart = 0;
};

inline void DecodeInto(const EventLayout& layout, const uint8_t* bytes, EventRecord& r,
                       DayCache& cache) {
  r.state = bytes[layout.stateOffset];
  const auto& to = layout.timeOffsets;
  uint32_t t = static_cast<uint32_t>(bytes[to[0]]) | (static_cast<uint32_t>(bytes[to[1]]) << 8) |
               (static_cast<uint32_t>(bytes[to[2]]) << 16);
  if (layout.timeBytes == 4) t |= static_cast<uint32_t>(bytes[to[3]]) << 24;
  r.time = t;
  r.input = layout.inputBytes == 2
                ? bytes[layout.inputOffset] | (bytes[layout.inputOffset + 1] << 8)
                : bytes[layout.inputOffset];
  unsigned signs = 0;
  switch (layout.signs) {
    case SP::kStateBits:
      signs = r.state & 0x0Fu;
      break;
    case SP::kOneByte:
      signs = bytes[layout.signOffset];
      break;
    case SP::kTwoBytes:
      signs = bytes[layout.signOffset] | (bytes[layout.signOffset + 1] << 8);
      break;
    case SP::kNone:
      break;
  }
  if (r.valueCount != layout.valueCount) {
    r.values.fill(0);
    r.valueCount = layout.valueCount;
  }
  const uint8_t* v = bytes + (layout.valueCount > 0 ? layout.valueOffset : 0);
  for (int i = 0; i < layout.valueCount; ++i) {
    r.values[static_cast<size_t>(i)] =
        static_cast<int>(v[i]) - static_cast<int>((signs >> i) & 1u) * 256;
  }
  r.special = layout.specialOffset >= 0
                  ? static_cast<int16_t>(static_cast<uint16_t>(
                        bytes[layout.specialOffset] | (bytes[layout.specialOffset + 1] << 8)))
                  : 0;
  r.spare = bytes[layout.spareOffset];
  r.date = static_cast<uint16_t>(bytes[layout.dateOffset] | (bytes[layout.dateOffset + 1] << 8));
  if (r.date != cache.date) {
    cache.date = r.date;
    cache.dayStart = AbsoluteTicks(r.date, 0, layout.ticksPerSecond);
  }
  r.absTime = cache.dayStart + static_cast<int64_t>(t);
}

}  // namespace

EventRecord DecodeEventRecord(const EventLayout& layout, const uint8_t* bytes) {
  EventRecord r;
  DayCache cache;
  DecodeInto(layout, bytes, r, cache);
  return r;
}

EventRecordFile::EventRecordFile() = default;

EventRecordFile::~EventRecordFile() { Close(); }

void EventRecordFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  memory_.clear();
  memory_.shrink_to_fit();
  inMemory_ = false;
  type_ = FT::kUnknown;
  layout_ = nullptr;
  headerComplete_ = false;
  interval_ = {};
  initial_.clear();
  states_.clear();
  buffer_.clear();
  bufPos_ = bufLen_ = 0;
  fileOffset_ = 0;
  atEnd_ = true;
  sourceDone_ = true;
  recordsRead_ = 0;
}

bool EventRecordFile::IsOpen() const {
  return layout_ != nullptr && (file_ != nullptr || inMemory_);
}

int EventRecordFile::TicksPerSecond() const {
  return layout_ == nullptr ? 0 : layout_->ticksPerSecond;
}

int64_t EventRecordFile::TicksPerDay() const {
  return layout_ == nullptr ? 0 : zel::TicksPerDay(layout_->ticksPerSecond);
}

int EventRecordFile::InputCount() const { return layout_ == nullptr ? 0 : layout_->inputCount; }

int64_t EventRecordFile::IntervalStartAbs() const {
  return AbsoluteTicks(interval_.startDate, interval_.startTime, TicksPerSecond());
}

int64_t EventRecordFile::IntervalEndAbs() const {
  return AbsoluteTicks(interval_.endDate, interval_.endTime, TicksPerSecond());
}

size_t EventRecordFile::ReadAt(int64_t offset, uint8_t* dst, size_t n) {
  if (offset < 0) return 0;
  if (inMemory_) {
    if (static_cast<uint64_t>(offset) >= memory_.size()) return 0;
    const size_t avail = memory_.size() - static_cast<size_t>(offset);
    const size_t k = std::min(n, avail);
    std::memcpy(dst, memory_.data() + offset, k);
    return k;
  }
  if (file_ == nullptr) return 0;
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return 0;
  return std::fread(dst, 1, n, file_);
}

EventRecordFile::OpenResult EventRecordFile::Open(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) return OpenResult::kCannotOpen;
  uint8_t buf[kMaxHeaderLineChars];
  const size_t got = std::fread(buf, 1, sizeof buf, file_);
  if (got == 0 && std::ferror(file_) != 0) {  // a folder, or a device that fails to read
    Close();
    return OpenResult::kCannotOpen;
  }
  size_t len = 0;
  while (len < got && buf[len] != '\n') ++len;
  if (len < got) ++len;  // keep the line feed
  headerLine_.assign(reinterpret_cast<const char*>(buf), len);
  const EventFileType type = EventFileTypeOfHeaderLine(headerLine_);
  if (headerLine_.size() >= 2 && headerLine_[headerLine_.size() - 2] == '\r' &&
      headerLine_.back() == '\n') {
    headerLine_.erase(headerLine_.size() - 2, 1);
  }
  if (type == FT::kUnknown) {
    std::string keep = headerLine_;
    Close();
    headerLine_ = keep;
    return OpenResult::kUnknownType;
  }
  return Finish(type);
}

EventRecordFile::OpenResult EventRecordFile::OpenAs(const std::string& path, EventFileType type) {
  Close();
  headerLine_.clear();
  if (FindEventLayout(type) == nullptr) return OpenResult::kUnknownType;
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) return OpenResult::kCannotOpen;
  return Finish(type);
}

EventRecordFile::OpenResult EventRecordFile::OpenForModel(const std::string& path,
                                                          RecorderType model) {
  return OpenAs(path, EventFileTypeOfModel(model));
}

EventRecordFile::OpenResult EventRecordFile::OpenMemory(const uint8_t* data, size_t size) {
  Close();
  headerLine_.clear();
  const size_t limit = std::min<size_t>(size, kMaxHeaderLineChars);
  size_t len = 0;
  while (len < limit && data[len] != '\n') ++len;
  if (len < limit) ++len;
  headerLine_.assign(reinterpret_cast<const char*>(data), len);
  const EventFileType type = EventFileTypeOfHeaderLine(headerLine_);
  if (headerLine_.size() >= 2 && headerLine_[headerLine_.size() - 2] == '\r' &&
      headerLine_.back() == '\n') {
    headerLine_.erase(headerLine_.size() - 2, 1);
  }
  if (type == FT::kUnknown) return OpenResult::kUnknownType;
  memory_.assign(data, data + size);
  inMemory_ = true;
  return Finish(type);
}

EventRecordFile::OpenResult EventRecordFile::OpenMemoryAs(const uint8_t* data, size_t size,
                                                          EventFileType type) {
  Close();
  headerLine_.clear();
  if (FindEventLayout(type) == nullptr) return OpenResult::kUnknownType;
  memory_.assign(data, data + size);
  inMemory_ = true;
  return Finish(type);
}

EventRecordFile::OpenResult EventRecordFile::Finish(EventFileType type) {
  type_ = type;
  layout_ = FindEventLayout(type);
  const int lineLen = HeaderLineLength(type);
  const int block = InitialStateBlockSize(*layout_);
  std::vector<uint8_t> fixed(static_cast<size_t>(kFixedHeaderStates + block), 0);
  const size_t got = ReadAt(lineLen, fixed.data(), fixed.size());
  headerComplete_ = got == fixed.size();
  auto u16 = [&](int at) { return static_cast<uint16_t>(fixed[at] | (fixed[at + 1] << 8)); };
  auto u32 = [&](int at) {
    return static_cast<uint32_t>(fixed[at]) | (static_cast<uint32_t>(fixed[at + 1]) << 8) |
           (static_cast<uint32_t>(fixed[at + 2]) << 16) |
           (static_cast<uint32_t>(fixed[at + 3]) << 24);
  };
  interval_.startDate = u16(kFixedHeaderStartDate);
  interval_.startTime = u32(kFixedHeaderStartTime);
  interval_.endDate = u16(kFixedHeaderEndDate);
  interval_.endTime = u32(kFixedHeaderEndTime);
  initial_.assign(static_cast<size_t>(layout_->inputCount), 0);
  const uint8_t* states = fixed.data() + kFixedHeaderStates;
  for (int i = 0; i < layout_->inputCount; ++i) {
    initial_[static_cast<size_t>(i)] = static_cast<uint8_t>(
        layout_->stateBytes ? (states[i] & 0x03) : ((states[i / 8] >> (i % 8)) & 1));
  }
  if (!inMemory_) {
    // A buffer of whole records, no larger than the records the file can hold.
    const size_t r = static_cast<size_t>(layout_->recordSize);
    size_t want = kBufferBytes;
    if (std::fseek(file_, 0, SEEK_END) == 0) {
      const long size = std::ftell(file_);
      if (size >= 0) {
        const size_t data = static_cast<size_t>(size) > static_cast<size_t>(layout_->firstRecord)
                                ? static_cast<size_t>(size) - layout_->firstRecord
                                : 0;
        want = std::min(want, data + r);
      }
    }
    buffer_.resize(std::max(r, want - want % r));
  }
  Rewind();
  return OpenResult::kOk;
}

void EventRecordFile::Rewind() {
  states_ = initial_;
  cacheDate_ = -1;
  recordsRead_ = 0;
  bufPos_ = bufLen_ = 0;
  if (layout_ == nullptr) {
    atEnd_ = sourceDone_ = true;
    return;
  }
  fileOffset_ = layout_->firstRecord;
  atEnd_ = false;
  sourceDone_ = false;
  if (inMemory_) {
    // The bytes in memory are the buffer itself.
    const size_t h = static_cast<size_t>(layout_->firstRecord);
    bufPos_ = std::min(h, memory_.size());
    bufLen_ = memory_.size();
    sourceDone_ = true;
  } else if (file_ != nullptr) {
    sourceDone_ = std::fseek(file_, static_cast<long>(fileOffset_), SEEK_SET) != 0;
  }
}

bool EventRecordFile::Fill() {
  if (inMemory_ || sourceDone_ || file_ == nullptr) return false;
  const size_t rest = bufLen_ - bufPos_;
  if (rest > 0) std::memmove(buffer_.data(), buffer_.data() + bufPos_, rest);
  bufPos_ = 0;
  bufLen_ = rest;
  const size_t got = std::fread(buffer_.data() + rest, 1, buffer_.size() - rest, file_);
  fileOffset_ += static_cast<int64_t>(got);
  bufLen_ += got;
  if (got == 0) sourceDone_ = true;
  return got > 0;
}

bool EventRecordFile::Next(EventRecord& out) {
  if (atEnd_ || layout_ == nullptr) return false;
  const size_t r = static_cast<size_t>(layout_->recordSize);
  const uint8_t* base = inMemory_ ? memory_.data() : buffer_.data();
  while (bufLen_ - bufPos_ < r) {
    if (!Fill()) {
      atEnd_ = true;
      return false;
    }
    base = buffer_.data();
  }
  const uint8_t* rec = base + bufPos_;
  if (rec[layout_->stateOffset] == 0) {
    atEnd_ = true;
    return false;
  }
  DayCache cache{cacheDate_, cacheDayStart_};
  DecodeInto(*layout_, rec, out, cache);
  cacheDate_ = cache.date;
  cacheDayStart_ = cache.dayStart;
  bufPos_ += r;
  ++recordsRead_;
  if (out.input >= 0 && out.input < layout_->inputCount) {
    states_[static_cast<size_t>(out.input)] = static_cast<uint8_t>(StateLevel(*layout_, out.state));
  }
  return true;
}

}  // namespace zel
