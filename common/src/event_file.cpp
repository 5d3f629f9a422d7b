#include "zel/event_file.h"

#include <algorithm>
#include <cstring>

#include "zel/day_number.h"

namespace zel {
namespace {

using SK = StateKind;
using SP = SignPlace;
using FT = EventFileType;

// clang-format off
constexpr std::array<EventLayout, kEventFileTypeCount> kLayouts{{
  // type, header line, tick, N, H, R, state bytes, state kind, plot mask, plot value,
  // state, time bytes, time places, input, input bytes, signs, sign place, values, K,
  // special, spare, date
  {FT::k19XT, "KRV19xt 1.00 binary\n", 1000, 30, 38, 13, false, SK::kBit6, 0xC0, 0xC0,
   0, 4, {1, 2, 3, 4}, 5, 1, SP::kStateBits, -1, 6, 4, -1, 10, 11},
  {FT::k19XL, "KRV19XL 1.00 binary\n", 1000, 30, 38, 15, false, SK::kBit6, 0xC0, 0xC0,
   0, 4, {1, 2, 3, 4}, 5, 1, SP::kStateBits, -1, 6, 4, 10, 12, 13},
  {FT::k61, "KRV61 1.01 binary\n", 100, 88, 43, 19, false, SK::kBit0, 0xFF, 0x81,
   0, 3, {1, 2, 3, -1}, 4, 1, SP::kOneByte, 5, 6, 8, 14, 16, 17},
  {FT::k517, "KRV517 3.00 binary\n", 100, 280, 68, 20, false, SK::kBit0, 0xFF, 0x81,
   0, 3, {1, 2, 3, -1}, 4, 2, SP::kOneByte, 6, 7, 8, 15, 17, 18},
  {FT::k517E, "KRV517E 1.00 binary\n", 100, 360, 79, 20, false, SK::kBit0, 0xFF, 0x81,
   0, 3, {1, 2, 3, -1}, 4, 2, SP::kOneByte, 6, 7, 8, 15, 17, 18},
  {FT::k517XL, "KRV517XL 1.00 binary\n", 100, 360, 80, 20, false, SK::kBit6, 0xFF, 0xC0,
   16, 3, {0, 1, 6, -1}, 4, 2, SP::kOneByte, 7, 8, 8, 2, 17, 18},
  {FT::k517P, "KRV517P 1.00 binary\n", 100, 4256, 566, 20, false, SK::kBit0, 0xFF, 0x81,
   0, 3, {1, 2, 3, -1}, 4, 2, SP::kOneByte, 6, 7, 8, 15, 17, 18},
  {FT::k583, "KRV583 1.00 binary\n", 100, 288, 321, 27, true, SK::kTwoBits, 0x01, 0x01,
   0, 3, {1, 2, 3, -1}, 4, 2, SP::kTwoBytes, 6, 8, 16, -1, 24, 25},
  {FT::k583E, "KRV583E 1.00 binary\n", 100, 288, 322, 27, true, SK::kTwoBits, 0x01, 0x01,
   0, 3, {1, 2, 3, -1}, 4, 2, SP::kTwoBytes, 6, 8, 16, -1, 24, 25},
  {FT::k85E, "KRV85E 1.00 binary\n", 100, 144, 51, 10, false, SK::kBit0, 0xFF, 0x81,
   0, 3, {1, 2, 3, -1}, 4, 1, SP::kNone, -1, -1, 0, 5, 7, 8},
  {FT::k37E, "KRV37E 1.00 binary\n", 1000, 32, 37, 15, false, SK::kBit6, 0xC0, 0xC0,
   11, 4, {0, 1, 2, 3}, 6, 1, SP::kStateBits, -1, 7, 4, 4, 12, 13},
  {FT::kSlg, "SLG 1.00 binary\n", 10, 268, 64, 16, false, SK::kBit6, 0xC0, 0xC0,
   12, 4, {0, 1, 2, 3}, 6, 2, SP::kStateBits, -1, 8, 4, 4, 13, 14},
  {FT::kSlgML, "SLGML 1.00 binary\n", 10, 268, 66, 16, false, SK::kBit6, 0xC0, 0xC0,
   12, 4, {0, 1, 2, 3}, 6, 2, SP::kStateBits, -1, 8, 4, 4, 13, 14},
  {FT::k61E, "KRV61E 1.00 binary\n", 100, 104, 46, 19, false, SK::kBit6, 0xC0, 0xC0,
   15, 3, {0, 1, 4, -1}, 5, 1, SP::kOneByte, 6, 7, 8, 2, 16, 17},
  {FT::kSlg808, "SLG 1.01 binary\n", 10, 1011, 157, 16, false, SK::kBit6, 0xC0, 0xC0,
   12, 4, {0, 1, 2, 3}, 6, 2, SP::kStateBits, -1, 8, 4, 4, 13, 14},
  {FT::k583A, "KRV583A 1.00 binary\n", 100, 288, 322, 29, true, SK::kTwoBits, 0x01, 0x01,
   25, 3, {0, 1, 8, -1}, 4, 2, SP::kTwoBytes, 6, 9, 16, 2, 26, 27},
  {FT::k517AX, "KRV517AX 1.00 binary\n", 100, 4192, 559, 15, false, SK::kBit6, 0xC0, 0xC0,
   11, 3, {0, 1, 6, -1}, 4, 2, SP::kStateBits, -1, 7, 4, 2, 12, 13},
}};
// clang-format on

constexpr std::array<EventFileType, 19> kModelFileTypes{
    FT::k19XT,   FT::k19XL,   FT::k61,   FT::k517,     FT::k517E, FT::k517XL, FT::k517P,
    FT::k583,    FT::k583E,   FT::k85E,  FT::k37E,     FT::kSlg,  FT::kSlgML, FT::k61E,
    FT::kSlg808, FT::kSlg808, FT::k583A, FT::kUnknown, FT::k517AX};

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
  return kModelFileTypes[static_cast<size_t>(type)];
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
