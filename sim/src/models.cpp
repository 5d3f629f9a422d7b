#include "zel/sim/models.h"

#include <array>
#include <cstring>

#include "zel/catalogue.h"

namespace zel::sim {
namespace {

using TF = TimeField;
using SC = StateCoding;

// The event file each model writes. kSlg101 is shared by kSlgS7_808 and kSlgAS7.
// clang-format off
constexpr FileLayout k19xt{
    .header_line = "KRV19xt 1.00 binary\n", .ticks_per_second = 1000, .n_inputs = 30,
    .record_size = 13, .state_bytes = false, .coding = SC::kBit6, .state_at = 0,
    .time_kind = TF::k32, .time_at = 1, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 5, .input_width = 1, .signs_at = -1, .signs_width = 0,
    .values_at = 6, .value_count = 4, .special_at = -1, .spare_at = 10,
    .date_at = 11};
constexpr FileLayout k19xl{
    .header_line = "KRV19XL 1.00 binary\n", .ticks_per_second = 1000, .n_inputs = 30,
    .record_size = 15, .state_bytes = false, .coding = SC::kBit6, .state_at = 0,
    .time_kind = TF::k32, .time_at = 1, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 5, .input_width = 1, .signs_at = -1, .signs_width = 0,
    .values_at = 6, .value_count = 4, .special_at = 10, .spare_at = 12,
    .date_at = 13};
constexpr FileLayout k61{
    .header_line = "KRV61 1.01 binary\n", .ticks_per_second = 100, .n_inputs = 88,
    .record_size = 19, .state_bytes = false, .coding = SC::kBit0, .state_at = 0,
    .time_kind = TF::k24, .time_at = 1, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 4, .input_width = 1, .signs_at = 5, .signs_width = 1,
    .values_at = 6, .value_count = 8, .special_at = 14, .spare_at = 16,
    .date_at = 17};
constexpr FileLayout k517{
    .header_line = "KRV517 3.00 binary\n", .ticks_per_second = 100, .n_inputs = 280,
    .record_size = 20, .state_bytes = false, .coding = SC::kBit0, .state_at = 0,
    .time_kind = TF::k24, .time_at = 1, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 4, .input_width = 2, .signs_at = 6, .signs_width = 1,
    .values_at = 7, .value_count = 8, .special_at = 15, .spare_at = 17,
    .date_at = 18};
constexpr FileLayout k517e{
    .header_line = "KRV517E 1.00 binary\n", .ticks_per_second = 100, .n_inputs = 360,
    .record_size = 20, .state_bytes = false, .coding = SC::kBit0, .state_at = 0,
    .time_kind = TF::k24, .time_at = 1, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 4, .input_width = 2, .signs_at = 6, .signs_width = 1,
    .values_at = 7, .value_count = 8, .special_at = 15, .spare_at = 17,
    .date_at = 18};
constexpr FileLayout k517xl{
    .header_line = "KRV517XL 1.00 binary\n", .ticks_per_second = 100, .n_inputs = 360,
    .record_size = 20, .state_bytes = false, .coding = SC::kBit6, .state_at = 16,
    .time_kind = TF::kSplit24, .time_at = 0, .time_mid_at = 1, .time_hi_at = 6,
    .input_at = 4, .input_width = 2, .signs_at = 7, .signs_width = 1,
    .values_at = 8, .value_count = 8, .special_at = 2, .spare_at = 17,
    .date_at = 18};
constexpr FileLayout k517p{
    .header_line = "KRV517P 1.00 binary\n", .ticks_per_second = 100, .n_inputs = 4256,
    .record_size = 20, .state_bytes = false, .coding = SC::kBit0, .state_at = 0,
    .time_kind = TF::k24, .time_at = 1, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 4, .input_width = 2, .signs_at = 6, .signs_width = 1,
    .values_at = 7, .value_count = 8, .special_at = 15, .spare_at = 17,
    .date_at = 18};
constexpr FileLayout k583{
    .header_line = "KRV583 1.00 binary\n", .ticks_per_second = 100, .n_inputs = 288,
    .record_size = 27, .state_bytes = true, .coding = SC::kTwoBits, .state_at = 0,
    .time_kind = TF::k24, .time_at = 1, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 4, .input_width = 2, .signs_at = 6, .signs_width = 2,
    .values_at = 8, .value_count = 16, .special_at = -1, .spare_at = 24,
    .date_at = 25};
constexpr FileLayout k583e{
    .header_line = "KRV583E 1.00 binary\n", .ticks_per_second = 100, .n_inputs = 288,
    .record_size = 27, .state_bytes = true, .coding = SC::kTwoBits, .state_at = 0,
    .time_kind = TF::k24, .time_at = 1, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 4, .input_width = 2, .signs_at = 6, .signs_width = 2,
    .values_at = 8, .value_count = 16, .special_at = -1, .spare_at = 24,
    .date_at = 25};
constexpr FileLayout k85e{
    .header_line = "KRV85E 1.00 binary\n", .ticks_per_second = 100, .n_inputs = 144,
    .record_size = 10, .state_bytes = false, .coding = SC::kBit0, .state_at = 0,
    .time_kind = TF::k24, .time_at = 1, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 4, .input_width = 1, .signs_at = -2, .signs_width = 0,
    .values_at = -1, .value_count = 0, .special_at = 5, .spare_at = 7,
    .date_at = 8};
constexpr FileLayout k37e{
    .header_line = "KRV37E 1.00 binary\n", .ticks_per_second = 1000, .n_inputs = 32,
    .record_size = 15, .state_bytes = false, .coding = SC::kBit6, .state_at = 11,
    .time_kind = TF::k32, .time_at = 0, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 6, .input_width = 1, .signs_at = -1, .signs_width = 0,
    .values_at = 7, .value_count = 4, .special_at = 4, .spare_at = 12,
    .date_at = 13};
constexpr FileLayout kSlg{
    .header_line = "SLG 1.00 binary\n", .ticks_per_second = 10, .n_inputs = 268,
    .record_size = 16, .state_bytes = false, .coding = SC::kBit6, .state_at = 12,
    .time_kind = TF::k32, .time_at = 0, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 6, .input_width = 2, .signs_at = -1, .signs_width = 0,
    .values_at = 8, .value_count = 4, .special_at = 4, .spare_at = 13,
    .date_at = 14};
constexpr FileLayout kSlgml{
    .header_line = "SLGML 1.00 binary\n", .ticks_per_second = 10, .n_inputs = 268,
    .record_size = 16, .state_bytes = false, .coding = SC::kBit6, .state_at = 12,
    .time_kind = TF::k32, .time_at = 0, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 6, .input_width = 2, .signs_at = -1, .signs_width = 0,
    .values_at = 8, .value_count = 4, .special_at = 4, .spare_at = 13,
    .date_at = 14};
constexpr FileLayout k61e{
    .header_line = "KRV61E 1.00 binary\n", .ticks_per_second = 100, .n_inputs = 104,
    .record_size = 19, .state_bytes = false, .coding = SC::kBit6, .state_at = 15,
    .time_kind = TF::kSplit24, .time_at = 0, .time_mid_at = 1, .time_hi_at = 4,
    .input_at = 5, .input_width = 1, .signs_at = 6, .signs_width = 1,
    .values_at = 7, .value_count = 8, .special_at = 2, .spare_at = 16,
    .date_at = 17};
constexpr FileLayout kSlg101{
    .header_line = "SLG 1.01 binary\n", .ticks_per_second = 10, .n_inputs = 1011,
    .record_size = 16, .state_bytes = false, .coding = SC::kBit6, .state_at = 12,
    .time_kind = TF::k32, .time_at = 0, .time_mid_at = 0, .time_hi_at = 0,
    .input_at = 6, .input_width = 2, .signs_at = -1, .signs_width = 0,
    .values_at = 8, .value_count = 4, .special_at = 4, .spare_at = 13,
    .date_at = 14};
constexpr FileLayout k583a{
    .header_line = "KRV583A 1.00 binary\n", .ticks_per_second = 100, .n_inputs = 288,
    .record_size = 29, .state_bytes = true, .coding = SC::kTwoBits, .state_at = 25,
    .time_kind = TF::kSplit24, .time_at = 0, .time_mid_at = 1, .time_hi_at = 8,
    .input_at = 4, .input_width = 2, .signs_at = 6, .signs_width = 2,
    .values_at = 9, .value_count = 16, .special_at = 2, .spare_at = 26,
    .date_at = 27};
constexpr FileLayout k517ax{
    .header_line = "KRV517AX 1.00 binary\n", .ticks_per_second = 100, .n_inputs = 4192,
    .record_size = 15, .state_bytes = false, .coding = SC::kBit6, .state_at = 11,
    .time_kind = TF::kSplit24, .time_at = 0, .time_mid_at = 1, .time_hi_at = 6,
    .input_at = 4, .input_width = 2, .signs_at = -1, .signs_width = 0,
    .values_at = 7, .value_count = 4, .special_at = 2, .spare_at = 12,
    .date_at = 13};
// clang-format on

// One row per model that speaks the protocol (every model but kKpd29a).
constexpr std::array<SimModel, 18> kModels{{
    {.type = model::kKrv19xt,
     .digital = 18,
     .analog = 4,
     .virtuals = 8,
     .timers = 0,
     .flash_details = 0,
     .systems = 1,
     .three_state = false,
     .layout = &k19xt},
    {.type = model::kKrv19xl,
     .digital = 18,
     .analog = 4,
     .virtuals = 8,
     .timers = 16,
     .flash_details = 0,
     .systems = 2,
     .three_state = false,
     .layout = &k19xl},
    {.type = model::kKrv43_61,
     .digital = 64,
     .analog = 8,
     .virtuals = 16,
     .timers = 32,
     .flash_details = 0,
     .systems = 7,
     .three_state = false,
     .layout = &k61},
    {.type = model::kKrv517,
     .digital = 256,
     .analog = 8,
     .virtuals = 16,
     .timers = 200,
     .flash_details = 0,
     .systems = 11,
     .three_state = false,
     .layout = &k517},
    {.type = model::kKrv517e,
     .digital = 256,
     .analog = 8,
     .virtuals = 96,
     .timers = 200,
     .flash_details = 0,
     .systems = 12,
     .three_state = false,
     .layout = &k517e},
    {.type = model::kKrv517xl,
     .digital = 256,
     .analog = 8,
     .virtuals = 96,
     .timers = 200,
     .flash_details = 0,
     .systems = 11,
     .three_state = false,
     .layout = &k517xl},
    {.type = model::kKrv517xc,
     .digital = 4096,
     .analog = 128,
     .virtuals = 32,
     .timers = 999,
     .flash_details = 0,
     .systems = 83,
     .three_state = false,
     .layout = &k517p},
    {.type = model::kKrv583,
     .digital = 256,
     .analog = 16,
     .virtuals = 16,
     .timers = 0,
     .flash_details = 0,
     .systems = 3,
     .three_state = true,
     .layout = &k583},
    {.type = model::kKrv583e,
     .digital = 256,
     .analog = 16,
     .virtuals = 16,
     .timers = 0,
     .flash_details = 0,
     .systems = 3,
     .three_state = true,
     .layout = &k583e},
    {.type = model::kKrv85e,
     .digital = 64,
     .analog = 32,
     .virtuals = 48,
     .timers = 32,
     .flash_details = 0,
     .systems = 3,
     .three_state = false,
     .layout = &k85e},
    {.type = model::kKrv37e,
     .digital = 20,
     .analog = 4,
     .virtuals = 8,
     .timers = 16,
     .flash_details = 20,
     .systems = 11,
     .three_state = false,
     .layout = &k37e},
    {.type = model::kSlgS7_246,
     .digital = 256,
     .analog = 4,
     .virtuals = 8,
     .timers = 16,
     .flash_details = 0,
     .systems = 6,
     .three_state = false,
     .layout = &kSlg},
    {.type = model::kSlgMicrolok,
     .digital = 256,
     .analog = 4,
     .virtuals = 8,
     .timers = 16,
     .flash_details = 0,
     .systems = 7,
     .three_state = false,
     .layout = &kSlgml},
    {.type = model::kKrv61e,
     .digital = 64,
     .analog = 8,
     .virtuals = 32,
     .timers = 32,
     .flash_details = 64,
     .systems = 11,
     .three_state = false,
     .layout = &k61e},
    {.type = model::kSlgS7_808,
     .digital = 999,
     .analog = 4,
     .virtuals = 8,
     .timers = 16,
     .flash_details = 0,
     .systems = 6,
     .three_state = false,
     .layout = &kSlg101},
    {.type = model::kSlgAS7,
     .digital = 999,
     .analog = 4,
     .virtuals = 8,
     .timers = 16,
     .flash_details = 0,
     .systems = 6,
     .three_state = false,
     .layout = &kSlg101},
    {.type = model::kKrv583a,
     .digital = 256,
     .analog = 16,
     .virtuals = 16,
     .timers = 0,
     .flash_details = 0,
     .systems = 3,
     .three_state = true,
     .layout = &k583a},
    {.type = model::kKrv517ax,
     .digital = 4096,
     .analog = 64,
     .virtuals = 32,
     .timers = 99,
     .flash_details = 0,
     .systems = 87,
     .three_state = false,
     .layout = &k517ax},
}};

static_assert(OneRowPerModel(kModels, [](const SimModel& m) { return m.type; }, {model::kKpd29a}),
              "the simulator needs one row for every model that speaks the protocol");

void Put16(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  f[at] = static_cast<uint8_t>(v & 0xFF);
  f[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  Put16(f, at, v & 0xFFFF);
  Put16(f, at + 2, v >> 16);
}

constexpr int64_t kMsPerDay = 86'400'000;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

int FileLayout::LineLength() const { return static_cast<int>(std::strlen(header_line)); }

const SimModel* FindSimModel(int type) {
  for (const auto& m : kModels)
    if (m.type == type) return &m;
  return nullptr;
}

// Days since 1 Jan 1970 of a civil date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int year, int month, int day) {
  int64_t y = year - (month <= 2 ? 1 : 0);
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t mp = (month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool ValidDate(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1) return false;
  static constexpr int kLen[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int len = kLen[month - 1];
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) len = 29;
  return day <= len;
}

uint16_t PackDate(int year, int month, int day) {
  return static_cast<uint16_t>((day & 0x1F) | ((month & 0x0F) << 5) | (((year % 100) & 0x7F) << 9));
}

std::vector<uint8_t> BuildEventFile(const SimModel& model, int64_t start_ms, int64_t end_ms,
                                    const std::vector<uint8_t>& initial_states,
                                    const std::vector<SimEvent>& events) {
  const FileLayout& L = *model.layout;
  const int line = L.LineLength();
  const int tick_ms = 1000 / L.ticks_per_second;
  std::vector<uint8_t> f(static_cast<size_t>(L.FirstRecordOffset()), 0);
  std::memcpy(f.data(), L.header_line, static_cast<size_t>(line));
  auto put_stamp = [&](size_t at, int64_t ms) {
    int64_t days = FloorDiv(ms, kMsPerDay);
    int y, mo, d;
    CivilFromDays(days, y, mo, d);
    uint32_t ticks = static_cast<uint32_t>((ms - days * kMsPerDay) / tick_ms);
    Put16(f, at, PackDate(y, mo, d));
    Put32(f, at + 2, ticks);
  };
  // Two bytes behind the line: the count of records, capped (no reader uses it).
  Put16(f, static_cast<size_t>(line),
        static_cast<uint32_t>(std::min<size_t>(events.size(), 0xFFFF)));
  put_stamp(static_cast<size_t>(line) + 2, start_ms);
  put_stamp(static_cast<size_t>(line) + 8, end_ms);
  const size_t block = static_cast<size_t>(line) + 14;
  for (int i = 0; i < L.n_inputs && i < static_cast<int>(initial_states.size()); ++i) {
    const uint8_t s = initial_states[static_cast<size_t>(i)];
    if (L.state_bytes)
      f[block + static_cast<size_t>(i)] = static_cast<uint8_t>(s & 3);
    else if (s != 0)
      f[block + static_cast<size_t>(i / 8)] |= static_cast<uint8_t>(1u << (i % 8));
  }
  for (const SimEvent& e : events) {
    const size_t r = f.size();
    f.resize(r + static_cast<size_t>(L.record_size), 0);
    auto at = [&](int off) { return r + static_cast<size_t>(off); };
    int64_t days = FloorDiv(e.when_ms, kMsPerDay);
    int y, mo, d;
    CivilFromDays(days, y, mo, d);
    const uint32_t ticks = static_cast<uint32_t>((e.when_ms - days * kMsPerDay) / tick_ms);
    // Values and their sign bits.
    uint32_t signs = 0;
    for (int k = 0; k < L.value_count && k < 16; ++k) {
      int v = e.values[k];
      if (v < -256) v = -256;
      if (v > 255) v = 255;
      if (v < 0) signs |= 1u << k;
      f[at(L.values_at + k)] = static_cast<uint8_t>(v & 0xFF);
    }
    // State byte: bit 7 always set, so that a record is never taken for the end mark.
    uint8_t state = 0x80;
    switch (L.coding) {
      case StateCoding::kBit6:
        state |= e.state != 0 ? 0x40 : 0x00;
        break;
      case StateCoding::kBit0:
        state |= e.state != 0 ? 0x01 : 0x00;
        break;
      case StateCoding::kTwoBits:
        state |= static_cast<uint8_t>(e.state & 3);
        break;
    }
    if (L.signs_at == -1) state |= static_cast<uint8_t>(signs & 0x0F);
    f[at(L.state_at)] = state;
    if (L.signs_at >= 0) {
      f[at(L.signs_at)] = static_cast<uint8_t>(signs & 0xFF);
      if (L.signs_width == 2) f[at(L.signs_at + 1)] = static_cast<uint8_t>((signs >> 8) & 0xFF);
    }
    switch (L.time_kind) {
      case TimeField::k32:
        Put32(f, at(L.time_at), ticks);
        break;
      case TimeField::k24:
        f[at(L.time_at)] = static_cast<uint8_t>(ticks & 0xFF);
        f[at(L.time_at + 1)] = static_cast<uint8_t>((ticks >> 8) & 0xFF);
        f[at(L.time_at + 2)] = static_cast<uint8_t>((ticks >> 16) & 0xFF);
        break;
      case TimeField::kSplit24:
        f[at(L.time_at)] = static_cast<uint8_t>(ticks & 0xFF);
        f[at(L.time_mid_at)] = static_cast<uint8_t>((ticks >> 8) & 0xFF);
        f[at(L.time_hi_at)] = static_cast<uint8_t>((ticks >> 16) & 0xFF);
        break;
    }
    if (L.input_width == 1)
      f[at(L.input_at)] = static_cast<uint8_t>(e.input & 0xFF);
    else
      Put16(f, at(L.input_at), static_cast<uint32_t>(e.input) & 0xFFFF);
    if (L.special_at >= 0) Put16(f, at(L.special_at), static_cast<uint16_t>(e.special));
    f[at(L.spare_at)] = 0;
    Put16(f, at(L.date_at), PackDate(y, mo, d));
  }
  return f;
}

}  // namespace zel::sim
