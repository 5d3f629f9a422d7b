// One setup database record driven by its model's layout table.
#include "zel/setup_database.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <istream>
#include <ostream>
#include <random>
#include <system_error>

#include "zel/identifiers.h"

namespace zel {
namespace {

using F = SetupField;
using M = SetupMember;

bool InRange(int i, int n) { return i >= 0 && i < n; }

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

std::string SetupDifference::Describe() const {
  if (field == nullptr) return "model: " + left + " != " + right;
  std::string where = field->key;
  if (field->count > 1 || field->kind == FieldKind::kRecords) {
    where += "[" + std::to_string(index) + "]";
  }
  if (member != nullptr) {
    where += "." + member->key;
    if (member->count > 1) where += "[" + std::to_string(slot) + "]";
  } else if (field->kind == FieldKind::kBytes) {
    where += field->id == SetupField::kFlashEnableBits ? " bit " : " byte ";
    where += std::to_string(slot);
  }
  return where + ": " + left + " != " + right;
}

SetupDatabase::SetupDatabase(RecorderType type) : type_(type), layout_(LayoutOf(type)) {
  if (layout_ != nullptr) image_.assign(layout_->fieldLength, 0);
}

// --- counts ---
int SetupDatabase::DigitalCount() const { return layout_ ? layout_->digitalCount : 0; }
int SetupDatabase::AnalogCount() const { return layout_ ? layout_->analogCount : 0; }
int SetupDatabase::VirtualCount() const { return layout_ ? layout_->virtualCount : 0; }
int SetupDatabase::TimerCount() const { return layout_ ? layout_->timerCount : 0; }
int SetupDatabase::SpeedMonitorCount() const { return layout_ ? layout_->speedMonitorCount : 0; }
int SetupDatabase::EventPairCount() const { return layout_ ? layout_->eventPairCount : 0; }
int SetupDatabase::NameCount() const { return layout_ ? layout_->NameCount() : 0; }
int SetupDatabase::NameWidth() const { return layout_ ? layout_->nameWidth : 0; }
int SetupDatabase::IdentifierWidth() const { return layout_ ? layout_->identifierWidth : 0; }
int SetupDatabase::EventNameWidth() const { return layout_ ? layout_->eventNameWidth : 0; }
bool SetupDatabase::HasCodingNames() const { return layout_ && layout_->hasCodingNames; }
std::size_t SetupDatabase::FieldLength() const { return layout_ ? layout_->fieldLength : 0; }
std::size_t SetupDatabase::WrittenLength() const { return layout_ ? layout_->writtenLength : 0; }
bool SetupDatabase::Has(SetupField field) const { return FieldOf(field) != nullptr; }

const LayoutField* SetupDatabase::FieldOf(SetupField field) const {
  return layout_ ? layout_->Find(field) : nullptr;
}

// Start of one element, or nullptr when index, member or slot is outside the field.
const uint8_t* SetupDatabase::ElementPtr(const LayoutField& f, int index, const LayoutMember* m,
                                         int slot) const {
  if (!InRange(index, f.count)) return nullptr;
  std::size_t at = f.offset + static_cast<std::size_t>(index) * f.width;
  switch (f.kind) {
    case FieldKind::kNumber:
    case FieldKind::kText:
      if (m != nullptr || slot != 0) return nullptr;
      break;
    case FieldKind::kBytes:
      if (m != nullptr || !InRange(slot, f.width)) return nullptr;
      at += static_cast<std::size_t>(slot);
      break;
    case FieldKind::kRecords:
      if (m == nullptr || m->reserved() || !InRange(slot, m->count)) return nullptr;
      at += static_cast<std::size_t>(m->offset) + static_cast<std::size_t>(slot) * m->width;
      break;
    case FieldKind::kReserved:
      return nullptr;
  }
  if (at >= image_.size()) return nullptr;
  return image_.data() + at;
}

// --- whole record ---
void SetupDatabase::Clear() { std::fill(image_.begin(), image_.end(), uint8_t{0}); }

std::size_t SetupDatabase::LoadBytes(const uint8_t* data, std::size_t size) {
  if (layout_ == nullptr || data == nullptr) return 0;
  const std::size_t n = std::min(size, image_.size());
  std::memcpy(image_.data(), data, n);
  return n;
}

std::size_t SetupDatabase::LoadBytes(const std::vector<uint8_t>& data) {
  return LoadBytes(data.data(), data.size());
}

std::size_t SetupDatabase::Load(std::istream& in) {
  if (layout_ == nullptr) return 0;
  in.clear();
  in.seekg(0, std::ios::beg);
  in.clear();  // a stream that cannot seek reads from where it stands
  std::vector<uint8_t> buffer(image_.size());
  in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
  const auto got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
  return LoadBytes(buffer.data(), got);
}

bool SetupDatabase::LoadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return false;
  Load(in);
  return true;
}

std::vector<uint8_t> SetupDatabase::SaveBytes() const {
  if (layout_ == nullptr) return {};
  std::vector<uint8_t> out(layout_->writtenLength, 0);
  for (const auto& f : layout_->fields()) {
    const uint8_t* src = image_.data() + f.offset;
    uint8_t* dst = out.data() + f.offset;
    switch (f.kind) {
      case FieldKind::kReserved:
        break;
      case FieldKind::kNumber:
      case FieldKind::kBytes:
        std::memcpy(dst, src, f.size());
        break;
      case FieldKind::kText:
        for (int i = 0; i < f.count; ++i) {
          const std::size_t at = static_cast<std::size_t>(i) * f.width;
          const std::size_t len = strnlen(reinterpret_cast<const char*>(src + at),
                                          static_cast<std::size_t>(f.width - 1));
          std::memcpy(dst + at, src + at, len);
        }
        break;
      case FieldKind::kRecords:
        for (int i = 0; i < f.count; ++i) {
          const std::size_t at = static_cast<std::size_t>(i) * f.width;
          for (const auto& m : f.members) {
            if (m.reserved()) continue;
            std::memcpy(dst + at + m.offset, src + at + m.offset, m.size());
          }
        }
        break;
    }
  }
  return out;
}

bool SetupDatabase::Save(std::ostream& out) const {
  if (layout_ == nullptr) return false;
  const auto bytes = SaveBytes();
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.flush();
  return static_cast<bool>(out);
}

bool SetupDatabase::SaveFile(const std::filesystem::path& path) const {
  if (layout_ == nullptr) return false;
  std::random_device rd;
  const auto tmp =
      path.parent_path() / (path.filename().string() + ".tmp" + std::to_string(rd() % 1000000u));
  bool ok = false;
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (out.is_open()) {
      ok = Save(out);
      out.close();
      ok = ok && !out.fail();
    }
  }
  std::error_code ec;
  if (ok) {
    std::filesystem::rename(tmp, path, ec);
    ok = !ec;
  }
  if (!ok) std::filesystem::remove(tmp, ec);
  return ok;
}

// --- comparison ---
namespace {

// Walks every comparable element of two records of one layout; visit returns false to stop.
using Visit = std::function<bool(const LayoutField&, int, const LayoutMember*, int, std::string,
                                 std::string)>;

std::string TextAt(const uint8_t* p, int width) {
  const auto len = strnlen(reinterpret_cast<const char*>(p), static_cast<std::size_t>(width - 1));
  return std::string(reinterpret_cast<const char*>(p), len);
}

void Walk(const SetupLayout& l, const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
          const Visit& visit) {
  for (const auto& f : l.fields()) {
    const uint8_t* pa = a.data() + f.offset;
    const uint8_t* pb = b.data() + f.offset;
    switch (f.kind) {
      case FieldKind::kReserved:
        break;
      case FieldKind::kText:
        for (int i = 0; i < f.count; ++i) {
          const uint8_t* ea = pa + static_cast<std::size_t>(i) * f.width;
          const uint8_t* eb = pb + static_cast<std::size_t>(i) * f.width;
          const auto max = static_cast<std::size_t>(f.width - 1);
          const auto la = strnlen(reinterpret_cast<const char*>(ea), max);
          const auto lb = strnlen(reinterpret_cast<const char*>(eb), max);
          if (la == lb && std::memcmp(ea, eb, la) == 0) continue;
          if (!visit(f, i, nullptr, 0, Quote(TextAt(ea, f.width)), Quote(TextAt(eb, f.width)))) {
            return;
          }
        }
        break;
      case FieldKind::kNumber:
        for (int i = 0; i < f.count; ++i) {
          const auto at = static_cast<std::size_t>(i) * f.width;
          const auto va = ReadLittleEndian(pa + at, f.width, f.isSigned);
          const auto vb = ReadLittleEndian(pb + at, f.width, f.isSigned);
          if (va != vb && !visit(f, i, nullptr, 0, std::to_string(va), std::to_string(vb))) {
            return;
          }
        }
        break;
      case FieldKind::kBytes:
        if (f.id == SetupField::kFlashEnableBits) {
          const int bits = std::min(l.digitalCount, f.width * 8);
          for (int n = 0; n < bits; ++n) {
            const int ba = (pa[n / 8] >> (n % 8)) & 1;
            const int bb = (pb[n / 8] >> (n % 8)) & 1;
            if (ba != bb && !visit(f, 0, nullptr, n, std::to_string(ba), std::to_string(bb))) {
              return;
            }
          }
          break;
        }
        for (int i = 0; i < f.count; ++i) {
          for (int k = 0; k < f.width; ++k) {
            const auto at = static_cast<std::size_t>(i) * f.width + k;
            if (pa[at] != pb[at] &&
                !visit(f, i, nullptr, k, std::to_string(pa[at]), std::to_string(pb[at]))) {
              return;
            }
          }
        }
        break;
      case FieldKind::kRecords:
        for (int i = 0; i < f.count; ++i) {
          for (const auto& m : f.members) {
            if (m.reserved()) continue;
            for (int s = 0; s < m.count; ++s) {
              const auto at = static_cast<std::size_t>(i) * f.width + m.offset +
                              static_cast<std::size_t>(s) * m.width;
              const auto va = ReadLittleEndian(pa + at, m.width, m.isSigned);
              const auto vb = ReadLittleEndian(pb + at, m.width, m.isSigned);
              if (va != vb && !visit(f, i, &m, s, std::to_string(va), std::to_string(vb))) {
                return;
              }
            }
          }
        }
        break;
    }
  }
}

}  // namespace

bool SetupDatabase::Equals(const SetupDatabase& other) const {
  if (layout_ != other.layout_) return false;
  if (layout_ == nullptr) return true;
  bool equal = true;
  Walk(*layout_, image_, other.image_,
       [&](const LayoutField&, int, const LayoutMember*, int, std::string, std::string) {
         equal = false;
         return false;
       });
  return equal;
}

std::vector<SetupDifference> SetupDatabase::Differences(const SetupDatabase& other) const {
  std::vector<SetupDifference> out;
  if (layout_ != other.layout_) {
    SetupDifference d;
    d.left = layout_ ? layout_->modelName : "none";
    d.right = other.layout_ ? other.layout_->modelName : "none";
    out.push_back(std::move(d));
    return out;
  }
  if (layout_ == nullptr) return out;
  Walk(
      *layout_, image_, other.image_,
      [&](const LayoutField& f, int i, const LayoutMember* m, int s, std::string a, std::string b) {
        out.push_back(SetupDifference{&f, i, m, s, std::move(a), std::move(b)});
        return true;
      });
  return out;
}

// --- generic access ---
int SetupDatabase::Number(SetupField field, int index, SetupMember member, int slot) const {
  const LayoutField* f = FieldOf(field);
  if (f == nullptr || f->kind == FieldKind::kText) return 0;
  const LayoutMember* m = f->Member(member);
  if (member != SetupMember::kNone && m == nullptr) return 0;
  const uint8_t* p = ElementPtr(*f, index, m, slot);
  if (p == nullptr) return 0;
  if (m != nullptr) return static_cast<int>(ReadLittleEndian(p, m->width, m->isSigned));
  if (f->kind == FieldKind::kBytes) return *p;
  return static_cast<int>(ReadLittleEndian(p, f->width, f->isSigned));
}

void SetupDatabase::SetNumber(SetupField field, int index, int value, SetupMember member,
                              int slot) {
  const LayoutField* f = FieldOf(field);
  if (f == nullptr || f->kind == FieldKind::kText) return;
  const LayoutMember* m = f->Member(member);
  if (member != SetupMember::kNone && m == nullptr) return;
  auto* p = const_cast<uint8_t*>(ElementPtr(*f, index, m, slot));
  if (p == nullptr) return;
  int width = m != nullptr ? m->width : f->width;
  if (f->kind == FieldKind::kBytes) width = 1;
  WriteLittleEndian(p, width, value);
}

std::string SetupDatabase::Text(SetupField field, int index) const {
  const LayoutField* f = FieldOf(field);
  if (f == nullptr || f->kind != FieldKind::kText) return {};
  const uint8_t* p = ElementPtr(*f, index, nullptr, 0);
  if (p == nullptr) return {};
  return TextAt(p, f->width);
}

void SetupDatabase::SetText(SetupField field, int index, std::string_view text) {
  const LayoutField* f = FieldOf(field);
  if (f == nullptr || f->kind != FieldKind::kText) return;
  auto* p = const_cast<uint8_t*>(ElementPtr(*f, index, nullptr, 0));
  if (p == nullptr) return;
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(f->width - 1));
  std::memset(p, 0, static_cast<std::size_t>(f->width));
  std::memcpy(p, text.data(), n);
}

std::vector<uint8_t> SetupDatabase::Bytes(SetupField field, int index) const {
  const LayoutField* f = FieldOf(field);
  if (f == nullptr || f->kind != FieldKind::kBytes) return {};
  const uint8_t* p = ElementPtr(*f, index, nullptr, 0);
  if (p == nullptr) return {};
  return std::vector<uint8_t>(p, p + f->width);
}

void SetupDatabase::SetBytes(SetupField field, int index, const std::vector<uint8_t>& bytes) {
  const LayoutField* f = FieldOf(field);
  if (f == nullptr || f->kind != FieldKind::kBytes) return;
  auto* p = const_cast<uint8_t*>(ElementPtr(*f, index, nullptr, 0));
  if (p == nullptr) return;
  std::memcpy(p, bytes.data(), std::min(bytes.size(), static_cast<std::size_t>(f->width)));
}

std::optional<int> SetupDatabase::Number(std::string_view key, int index, std::string_view member,
                                         int slot) const {
  if (layout_ == nullptr) return std::nullopt;
  const LayoutField* f = layout_->Find(key);
  if (f == nullptr || f->kind == FieldKind::kText) return std::nullopt;
  const LayoutMember* m = nullptr;
  if (!member.empty()) {
    m = f->Member(member);
    if (m == nullptr) return std::nullopt;
  }
  const uint8_t* p = ElementPtr(*f, index, m, slot);
  if (p == nullptr) return std::nullopt;
  if (m != nullptr) return static_cast<int>(ReadLittleEndian(p, m->width, m->isSigned));
  if (f->kind == FieldKind::kBytes) return *p;
  return static_cast<int>(ReadLittleEndian(p, f->width, f->isSigned));
}

bool SetupDatabase::SetNumber(std::string_view key, int index, int value, std::string_view member,
                              int slot) {
  if (layout_ == nullptr) return false;
  const LayoutField* f = layout_->Find(key);
  if (f == nullptr || f->kind == FieldKind::kText) return false;
  const LayoutMember* m = nullptr;
  if (!member.empty()) {
    m = f->Member(member);
    if (m == nullptr) return false;
  }
  auto* p = const_cast<uint8_t*>(ElementPtr(*f, index, m, slot));
  if (p == nullptr) return false;
  int width = m != nullptr ? m->width : f->width;
  if (f->kind == FieldKind::kBytes) width = 1;
  WriteLittleEndian(p, width, value);
  return true;
}

std::optional<std::string> SetupDatabase::Text(std::string_view key, int index) const {
  if (layout_ == nullptr) return std::nullopt;
  const LayoutField* f = layout_->Find(key);
  if (f == nullptr || f->kind != FieldKind::kText || !InRange(index, f->count)) {
    return std::nullopt;
  }
  return Text(f->id, index);
}

bool SetupDatabase::SetText(std::string_view key, int index, std::string_view text) {
  if (layout_ == nullptr) return false;
  const LayoutField* f = layout_->Find(key);
  if (f == nullptr || f->kind != FieldKind::kText || !InRange(index, f->count)) return false;
  SetText(f->id, index, text);
  return true;
}

bool SetupDatabase::IsNoInput(SetupField field, int value, SetupMember member) const {
  const LayoutField* f = FieldOf(field);
  if (f == nullptr) return false;
  int width = f->width;
  if (member != SetupMember::kNone) {
    const LayoutMember* m = f->Member(member);
    if (m == nullptr) return false;
    width = m->width;
  }
  if (width <= 0 || width > 4) return false;
  const uint64_t mask = (uint64_t{1} << (8 * width)) - 1;
  return (static_cast<uint64_t>(static_cast<int64_t>(value)) & mask) == mask;
}

// --- inputs and pairs ---
std::string SetupDatabase::Name(int input) const { return Text(F::kInputNames, input); }
void SetupDatabase::SetName(int input, std::string_view t) { SetText(F::kInputNames, input, t); }
std::string SetupDatabase::Identifier(int input) const { return Text(F::kInputIdentifiers, input); }
void SetupDatabase::SetIdentifier(int input, std::string_view t) {
  SetText(F::kInputIdentifiers, input, t);
}
int SetupDatabase::EventPair(int input) const { return Number(F::kEventPair, input); }
void SetupDatabase::SetEventPair(int input, int pair) { SetNumber(F::kEventPair, input, pair); }

std::string SetupDatabase::NameOfInput(int input) const {
  if (layout_ == nullptr || input < 0) return {};
  if (input < NameCount()) return Name(input);
  return SystemInputLongName(type_, input);
}

std::string SetupDatabase::IdentifierOfInput(int input) const {
  if (layout_ == nullptr || input < 0) return {};
  if (input < NameCount()) return Identifier(input);
  return SystemInputShortName(type_, input);
}

std::string SetupDatabase::OnName(int pair) const { return Text(F::kOnEventNames, pair); }
void SetupDatabase::SetOnName(int pair, std::string_view t) { SetText(F::kOnEventNames, pair, t); }
std::string SetupDatabase::OffName(int pair) const { return Text(F::kOffEventNames, pair); }
void SetupDatabase::SetOffName(int pair, std::string_view t) {
  SetText(F::kOffEventNames, pair, t);
}
std::string SetupDatabase::CodingName(int pair) const { return Text(F::kCodingEventNames, pair); }
void SetupDatabase::SetCodingName(int pair, std::string_view t) {
  SetText(F::kCodingEventNames, pair, t);
}

// --- digital ---
int SetupDatabase::DetectTime(int d) const { return Number(F::kDetectTimes, d); }
void SetupDatabase::SetDetectTime(int d, int v) { SetNumber(F::kDetectTimes, d, v); }

bool SetupDatabase::FlashEnabled(int d) const {
  if (!InRange(d, DigitalCount())) return false;
  return (Number(F::kFlashEnableBits, 0, M::kNone, d / 8) >> (d % 8)) & 1;
}

void SetupDatabase::SetFlashEnabled(int d, bool on) {
  const LayoutField* f = FieldOf(F::kFlashEnableBits);
  if (f == nullptr || !InRange(d, DigitalCount()) || d / 8 >= f->width) return;
  int byte = Number(F::kFlashEnableBits, 0, M::kNone, d / 8);
  const int bit = 1 << (d % 8);
  byte = on ? (byte | bit) : (byte & ~bit);
  SetNumber(F::kFlashEnableBits, 0, byte, M::kNone, d / 8);
}

// --- analog ---
int SetupDatabase::AnalogRange(int a) const { return Number(F::kAnalogRange, a); }
void SetupDatabase::SetAnalogRange(int a, int v) { SetNumber(F::kAnalogRange, a, v); }
int SetupDatabase::AnalogFilter(int a) const { return Number(F::kAnalogFilter, a); }
void SetupDatabase::SetAnalogFilter(int a, int v) { SetNumber(F::kAnalogFilter, a, v); }
int SetupDatabase::HighThreshold(int a) const { return Number(F::kAnalogHighThresholds, a); }
void SetupDatabase::SetHighThreshold(int a, int v) { SetNumber(F::kAnalogHighThresholds, a, v); }
int SetupDatabase::LowThreshold(int a) const { return Number(F::kAnalogLowThresholds, a); }
void SetupDatabase::SetLowThreshold(int a, int v) { SetNumber(F::kAnalogLowThresholds, a, v); }

// --- virtual ---
int SetupDatabase::VirtualSource(int v, int slot) const {
  return Number(F::kVirtualInputs, v, M::kSourceInputs, slot);
}
void SetupDatabase::SetVirtualSource(int v, int slot, int input) {
  SetNumber(F::kVirtualInputs, v, input, M::kSourceInputs, slot);
}
int SetupDatabase::TruthTable(int v) const { return Number(F::kVirtualInputs, v, M::kTruthTable); }
void SetupDatabase::SetTruthTable(int v, int t) {
  SetNumber(F::kVirtualInputs, v, t, M::kTruthTable);
}
int SetupDatabase::RelayFlags(int v) const { return Number(F::kVirtualInputs, v, M::kRelayFlags); }
void SetupDatabase::SetRelayFlags(int v, int flags) {
  SetNumber(F::kVirtualInputs, v, flags, M::kRelayFlags);
}
int SetupDatabase::RelayCount() const {
  return layout_ ? static_cast<int>(layout_->relayBits.size()) : 0;
}
bool SetupDatabase::Relay(int v, int relay) const {
  if (!InRange(relay, RelayCount())) return false;
  return (RelayFlags(v) >> layout_->relayBits[static_cast<std::size_t>(relay)]) & 1;
}
void SetupDatabase::SetRelay(int v, int relay, bool on) {
  if (!InRange(relay, RelayCount()) || !InRange(v, VirtualCount())) return;
  const int bit = 1 << layout_->relayBits[static_cast<std::size_t>(relay)];
  const int flags = RelayFlags(v);
  SetRelayFlags(v, on ? (flags | bit) : (flags & ~bit));
}
int SetupDatabase::DialOut(int v) const { return Number(F::kVirtualInputs, v, M::kDialOut); }
void SetupDatabase::SetDialOut(int v, int value) {
  SetNumber(F::kVirtualInputs, v, value, M::kDialOut);
}

// --- speed: records in most models, one record in KRV-583/583E, plain fields in KRV-19 ---
namespace {

F SpeedRecordField(const SetupDatabase& db) {
  return db.Has(F::kSpeedMonitors) ? F::kSpeedMonitors : F::kSpeedMeasurement;
}

F Krv19SpeedField(M member) {
  switch (member) {
    case M::kSensor1:
      return F::kSpeedSensor1;
    case M::kSensor2:
      return F::kSpeedSensor2;
    case M::kDistance:
      return F::kDistanceBetweenSensors;
    case M::kThreshold:
      return F::kExcessiveSpeedLimit;
    case M::kDistanceUnit:
      return F::kDistanceUnit;
    default:
      return F::kReserved;
  }
}

}  // namespace

#define ZEL_SPEED_ACCESSORS(Getter, Setter, MemberId)                                 \
  int SetupDatabase::Getter(int m) const {                                            \
    if (Has(F::kSpeedSensor1)) return m == 0 ? Number(Krv19SpeedField(MemberId)) : 0; \
    return Number(SpeedRecordField(*this), m, MemberId);                              \
  }                                                                                   \
  void SetupDatabase::Setter(int m, int value) {                                      \
    if (Has(F::kSpeedSensor1)) {                                                      \
      if (m == 0) SetNumber(Krv19SpeedField(MemberId), 0, value);                     \
      return;                                                                         \
    }                                                                                 \
    SetNumber(SpeedRecordField(*this), m, value, MemberId);                           \
  }

ZEL_SPEED_ACCESSORS(SpeedSensor1, SetSpeedSensor1, M::kSensor1)
ZEL_SPEED_ACCESSORS(SpeedSensor2, SetSpeedSensor2, M::kSensor2)
ZEL_SPEED_ACCESSORS(SpeedDistance, SetSpeedDistance, M::kDistance)
ZEL_SPEED_ACCESSORS(SpeedThreshold, SetSpeedThreshold, M::kThreshold)
ZEL_SPEED_ACCESSORS(SpeedDistanceUnit, SetSpeedDistanceUnit, M::kDistanceUnit)
#undef ZEL_SPEED_ACCESSORS

// --- timers ---
int SetupDatabase::TimerFrom(int t) const { return Number(F::kTimerFromInput, t); }
void SetupDatabase::SetTimerFrom(int t, int v) { SetNumber(F::kTimerFromInput, t, v); }
int SetupDatabase::TimerFromState(int t) const { return Number(F::kTimerFromState, t); }
void SetupDatabase::SetTimerFromState(int t, int v) { SetNumber(F::kTimerFromState, t, v); }
int SetupDatabase::TimerTo(int t) const { return Number(F::kTimerToInput, t); }
void SetupDatabase::SetTimerTo(int t, int v) { SetNumber(F::kTimerToInput, t, v); }
int SetupDatabase::TimerToState(int t) const { return Number(F::kTimerToState, t); }
void SetupDatabase::SetTimerToState(int t, int v) { SetNumber(F::kTimerToState, t, v); }
int SetupDatabase::TimerLowLimit(int t) const { return Number(F::kTimerLowLimit, t); }
void SetupDatabase::SetTimerLowLimit(int t, int v) { SetNumber(F::kTimerLowLimit, t, v); }
int SetupDatabase::TimerHighLimit(int t) const { return Number(F::kTimerHighLimit, t); }
void SetupDatabase::SetTimerHighLimit(int t, int v) { SetNumber(F::kTimerHighLimit, t, v); }

// --- single fields ---
int SetupDatabase::Baud() const { return Has(F::kBaud) ? Number(F::kBaud) : Number(F::kBaudPort1); }
void SetupDatabase::SetBaud(int code) {
  if (Has(F::kBaud)) {
    SetNumber(F::kBaud, 0, code);
  } else {
    SetNumber(F::kBaudPort1, 0, code);
  }
}
int SetupDatabase::BaudPort1() const { return Baud(); }
void SetupDatabase::SetBaudPort1(int code) { SetBaud(code); }
int SetupDatabase::BaudPort2() const { return Number(F::kBaudPort2); }
void SetupDatabase::SetBaudPort2(int code) { SetNumber(F::kBaudPort2, 0, code); }

std::string SetupDatabase::UnitName() const { return Text(F::kUnitName); }
void SetupDatabase::SetUnitName(std::string_view t) { SetText(F::kUnitName, 0, t); }
std::string SetupDatabase::AdministrativePassword() const {
  return Text(F::kAdministrativePassword);
}
void SetupDatabase::SetAdministrativePassword(std::string_view t) {
  SetText(F::kAdministrativePassword, 0, t);
}
std::string SetupDatabase::RestrictedPassword() const { return Text(F::kRestrictedPassword); }
void SetupDatabase::SetRestrictedPassword(std::string_view t) {
  SetText(F::kRestrictedPassword, 0, t);
}
std::string SetupDatabase::Passcode() const { return Text(F::kPasscode); }
void SetupDatabase::SetPasscode(std::string_view t) { SetText(F::kPasscode, 0, t); }
int SetupDatabase::RingCount() const { return Number(F::kRingCount); }
void SetupDatabase::SetRingCount(int c) { SetNumber(F::kRingCount, 0, c); }
std::string SetupDatabase::PrimaryDialNumber() const { return Text(F::kPrimaryDialNumber); }
void SetupDatabase::SetPrimaryDialNumber(std::string_view t) {
  SetText(F::kPrimaryDialNumber, 0, t);
}
std::string SetupDatabase::SecondaryDialNumber() const { return Text(F::kSecondaryDialNumber); }
void SetupDatabase::SetSecondaryDialNumber(std::string_view t) {
  SetText(F::kSecondaryDialNumber, 0, t);
}
int SetupDatabase::ClockSyncInput() const { return Number(F::kClockSyncInput); }
void SetupDatabase::SetClockSyncInput(int v) { SetNumber(F::kClockSyncInput, 0, v); }
int SetupDatabase::ClockSyncMode() const { return Number(F::kClockSyncMode); }
void SetupDatabase::SetClockSyncMode(int v) { SetNumber(F::kClockSyncMode, 0, v); }
int SetupDatabase::OpenClockSyncInput() const { return Number(F::kOpenClockSyncInput); }
void SetupDatabase::SetOpenClockSyncInput(int v) { SetNumber(F::kOpenClockSyncInput, 0, v); }
int SetupDatabase::HighTemperatureLimit() const { return Number(F::kHighTemperatureLimit); }
void SetupDatabase::SetHighTemperatureLimit(int v) { SetNumber(F::kHighTemperatureLimit, 0, v); }
int SetupDatabase::LowTemperatureLimit() const { return Number(F::kLowTemperatureLimit); }
void SetupDatabase::SetLowTemperatureLimit(int v) { SetNumber(F::kLowTemperatureLimit, 0, v); }
int SetupDatabase::TimeZone() const { return Number(F::kTimeZone); }
void SetupDatabase::SetTimeZone(int v) { SetNumber(F::kTimeZone, 0, v); }
int SetupDatabase::DaylightSavingTime() const { return Number(F::kDaylightSavingTime); }
void SetupDatabase::SetDaylightSavingTime(int v) { SetNumber(F::kDaylightSavingTime, 0, v); }
int SetupDatabase::RecordFlashDetails() const { return Number(F::kRecordFlashDetailsFlag); }
void SetupDatabase::SetRecordFlashDetails(int v) { SetNumber(F::kRecordFlashDetailsFlag, 0, v); }

// --- network ---
namespace {

template <std::size_t N>
std::array<uint8_t, N> ToArray(const std::vector<uint8_t>& v) {
  std::array<uint8_t, N> a{};
  std::copy_n(v.begin(), std::min(v.size(), N), a.begin());
  return a;
}

template <std::size_t N>
std::vector<uint8_t> ToVector(const std::array<uint8_t, N>& a) {
  return std::vector<uint8_t>(a.begin(), a.end());
}

}  // namespace

std::array<uint8_t, 4> SetupDatabase::IpAddress() const { return ToArray<4>(Bytes(F::kIpAddress)); }
void SetupDatabase::SetIpAddress(const std::array<uint8_t, 4>& o) {
  SetBytes(F::kIpAddress, 0, ToVector(o));
}
std::array<uint8_t, 4> SetupDatabase::SubnetMask() const {
  return ToArray<4>(Bytes(F::kSubnetMask));
}
void SetupDatabase::SetSubnetMask(const std::array<uint8_t, 4>& o) {
  SetBytes(F::kSubnetMask, 0, ToVector(o));
}
std::array<uint8_t, 4> SetupDatabase::Gateway() const { return ToArray<4>(Bytes(F::kGateway)); }
void SetupDatabase::SetGateway(const std::array<uint8_t, 4>& o) {
  SetBytes(F::kGateway, 0, ToVector(o));
}
std::array<uint8_t, 6> SetupDatabase::MacAddress() const {
  return ToArray<6>(Bytes(F::kMacAddress));
}
void SetupDatabase::SetMacAddress(const std::array<uint8_t, 6>& o) {
  SetBytes(F::kMacAddress, 0, ToVector(o));
}
std::array<uint8_t, 4> SetupDatabase::SntpServer() const {
  return ToArray<4>(Bytes(F::kSntpServerAddress));
}
void SetupDatabase::SetSntpServer(const std::array<uint8_t, 4>& o) {
  SetBytes(F::kSntpServerAddress, 0, ToVector(o));
}
int SetupDatabase::TcpPort() const { return Number(F::kTcpPort); }
void SetupDatabase::SetTcpPort(int p) { SetNumber(F::kTcpPort, 0, p); }
int SetupDatabase::TcpMode() const { return Number(F::kTcpMode); }
void SetupDatabase::SetTcpMode(int m) { SetNumber(F::kTcpMode, 0, m); }
int SetupDatabase::UdpPort() const {
  return Has(F::kUdpPort) ? Number(F::kUdpPort) : Number(F::kPrimaryUdpPort);
}
void SetupDatabase::SetUdpPort(int p) {
  if (Has(F::kUdpPort)) {
    SetNumber(F::kUdpPort, 0, p);
  } else {
    SetNumber(F::kPrimaryUdpPort, 0, p);
  }
}
int SetupDatabase::SecondaryUdpPort() const { return Number(F::kSecondaryUdpPort); }
void SetupDatabase::SetSecondaryUdpPort(int p) { SetNumber(F::kSecondaryUdpPort, 0, p); }
int SetupDatabase::SecondaryIpCount() const {
  const LayoutField* f = FieldOf(F::kSecondaryIpAddresses);
  return f ? f->count : 0;
}
std::array<uint8_t, 4> SetupDatabase::SecondaryIp(int module) const {
  return ToArray<4>(Bytes(F::kSecondaryIpAddresses, module));
}
void SetupDatabase::SetSecondaryIp(int module, const std::array<uint8_t, 4>& o) {
  SetBytes(F::kSecondaryIpAddresses, module, ToVector(o));
}
bool SetupDatabase::ModulePresent(int module) const {
  if (!InRange(module, SecondaryIpCount())) return false;
  const auto ip = SecondaryIp(module);
  const bool anySet = std::any_of(ip.begin(), ip.end(), [](uint8_t b) { return b != 0; });
  if (type_ == model::kKrv517ax) {
    const bool allOnes = std::all_of(ip.begin(), ip.end(), [](uint8_t b) { return b == 255; });
    return anySet && !allOnes;
  }
  return anySet;
}

// --- SLGML peer protocol ---
int SetupDatabase::PeerLinkCount() const {
  const LayoutField* f = FieldOf(F::kPeerProtocolLinks);
  return f ? f->count : 0;
}
int SetupDatabase::PeerSourceAddress(int l) const {
  return Number(F::kPeerProtocolLinks, l, M::kSourceAddress);
}
void SetupDatabase::SetPeerSourceAddress(int l, int v) {
  SetNumber(F::kPeerProtocolLinks, l, v, M::kSourceAddress);
}
int SetupDatabase::PeerDestinationAddress(int l) const {
  return Number(F::kPeerProtocolLinks, l, M::kDestinationAddress);
}
void SetupDatabase::SetPeerDestinationAddress(int l, int v) {
  SetNumber(F::kPeerProtocolLinks, l, v, M::kDestinationAddress);
}
int SetupDatabase::PeerType(int l) const { return Number(F::kPeerProtocolLinks, l, M::kLinkType); }
void SetupDatabase::SetPeerType(int l, int v) {
  SetNumber(F::kPeerProtocolLinks, l, v, M::kLinkType);
}
int SetupDatabase::PeerBooleanInputBits(int l) const {
  return Number(F::kPeerProtocolLinks, l, M::kBooleanInputBits);
}
void SetupDatabase::SetPeerBooleanInputBits(int l, int v) {
  SetNumber(F::kPeerProtocolLinks, l, v, M::kBooleanInputBits);
}
int SetupDatabase::StaleDataTimeout() const { return Number(F::kStaleDataTimeout); }
void SetupDatabase::SetStaleDataTimeout(int v) { SetNumber(F::kStaleDataTimeout, 0, v); }
int SetupDatabase::MicrolokClockSync() const { return Number(F::kMicrolokClockSyncFlag); }
void SetupDatabase::SetMicrolokClockSync(int v) { SetNumber(F::kMicrolokClockSyncFlag, 0, v); }

}  // namespace zel
