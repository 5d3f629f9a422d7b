// Event record files built byte by byte, one per file type, and what the reader makes of them.
#include "zel/event_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "zel/testing/files.h"
#include "zel/testing/temp_folder.h"

namespace zel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, int v) {
  b.push_back(static_cast<uint8_t>(v & 0xFF));
  b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}
void PutN(Bytes& b, const uint8_t* p, int n) { b.insert(b.end(), p, p + n); }

// One record's contents, as a recorder would put them down.
struct Rec {
  int state;  // the whole state byte (sign bits already in it where they live there)
  uint32_t time;
  int input;
  int signs;  // sign field (1 or 2 bytes) where it is separate
  int special;
  int spare;
  int date;
};

const uint8_t kVals[16] = {0x05, 0x80, 0xFF, 0x10, 0x00, 0x7F, 0x01, 0xFE,
                           0x05, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

// Record builders, written out field by field in each type's byte order.
Bytes R19xt(const Rec& r) {
  Bytes b{static_cast<uint8_t>(r.state)};
  Put32(b, r.time);
  b.push_back(static_cast<uint8_t>(r.input));
  PutN(b, kVals, 4);
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}
Bytes R19xl(const Rec& r) {
  Bytes b{static_cast<uint8_t>(r.state)};
  Put32(b, r.time);
  b.push_back(static_cast<uint8_t>(r.input));
  PutN(b, kVals, 4);
  Put16(b, r.special);
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}
Bytes R61(const Rec& r) {
  Bytes b{static_cast<uint8_t>(r.state),
          static_cast<uint8_t>(r.time & 0xFF),
          static_cast<uint8_t>((r.time >> 8) & 0xFF),
          static_cast<uint8_t>((r.time >> 16) & 0xFF),
          static_cast<uint8_t>(r.input),
          static_cast<uint8_t>(r.signs)};
  PutN(b, kVals, 8);
  Put16(b, r.special);
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}
Bytes R517(const Rec& r) {
  Bytes b{static_cast<uint8_t>(r.state), static_cast<uint8_t>(r.time & 0xFF),
          static_cast<uint8_t>((r.time >> 8) & 0xFF), static_cast<uint8_t>((r.time >> 16) & 0xFF)};
  Put16(b, r.input);
  b.push_back(static_cast<uint8_t>(r.signs));
  PutN(b, kVals, 8);
  Put16(b, r.special);
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}
Bytes R517xl(const Rec& r) {
  Bytes b{static_cast<uint8_t>(r.time & 0xFF), static_cast<uint8_t>((r.time >> 8) & 0xFF)};
  Put16(b, r.special);
  Put16(b, r.input);
  b.push_back(static_cast<uint8_t>((r.time >> 16) & 0xFF));
  b.push_back(static_cast<uint8_t>(r.signs));
  PutN(b, kVals, 8);
  b.push_back(static_cast<uint8_t>(r.state));
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}
Bytes R517ax(const Rec& r) {
  Bytes b{static_cast<uint8_t>(r.time & 0xFF), static_cast<uint8_t>((r.time >> 8) & 0xFF)};
  Put16(b, r.special);
  Put16(b, r.input);
  b.push_back(static_cast<uint8_t>((r.time >> 16) & 0xFF));
  PutN(b, kVals, 4);
  b.push_back(static_cast<uint8_t>(r.state));
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}
Bytes R583(const Rec& r) {
  Bytes b{static_cast<uint8_t>(r.state), static_cast<uint8_t>(r.time & 0xFF),
          static_cast<uint8_t>((r.time >> 8) & 0xFF), static_cast<uint8_t>((r.time >> 16) & 0xFF)};
  Put16(b, r.input);
  Put16(b, r.signs);
  PutN(b, kVals, 16);
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}
Bytes R583a(const Rec& r) {
  Bytes b{static_cast<uint8_t>(r.time & 0xFF), static_cast<uint8_t>((r.time >> 8) & 0xFF)};
  Put16(b, r.special);
  Put16(b, r.input);
  Put16(b, r.signs);
  b.push_back(static_cast<uint8_t>((r.time >> 16) & 0xFF));
  PutN(b, kVals, 16);
  b.push_back(static_cast<uint8_t>(r.state));
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}
Bytes R85e(const Rec& r) {
  Bytes b{static_cast<uint8_t>(r.state), static_cast<uint8_t>(r.time & 0xFF),
          static_cast<uint8_t>((r.time >> 8) & 0xFF), static_cast<uint8_t>((r.time >> 16) & 0xFF),
          static_cast<uint8_t>(r.input)};
  Put16(b, r.special);
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}
Bytes R37e(const Rec& r) {
  Bytes b;
  Put32(b, r.time);
  Put16(b, r.special);
  b.push_back(static_cast<uint8_t>(r.input));
  PutN(b, kVals, 4);
  b.push_back(static_cast<uint8_t>(r.state));
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}
Bytes RSlg(const Rec& r) {
  Bytes b;
  Put32(b, r.time);
  Put16(b, r.special);
  Put16(b, r.input);
  PutN(b, kVals, 4);
  b.push_back(static_cast<uint8_t>(r.state));
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}
Bytes R61e(const Rec& r) {
  Bytes b{static_cast<uint8_t>(r.time & 0xFF), static_cast<uint8_t>((r.time >> 8) & 0xFF)};
  Put16(b, r.special);
  b.push_back(static_cast<uint8_t>((r.time >> 16) & 0xFF));
  b.push_back(static_cast<uint8_t>(r.input));
  b.push_back(static_cast<uint8_t>(r.signs));
  PutN(b, kVals, 8);
  b.push_back(static_cast<uint8_t>(r.state));
  b.push_back(static_cast<uint8_t>(r.spare));
  Put16(b, r.date);
  return b;
}

enum class St { kBit6, kBit0, kTwo };
enum class Sg { kState, kOne, kTwo, kNone };

struct Case {
  const char* name;
  std::string line;
  EventFileType type;
  RecorderType model;
  int tick;
  int n;
  int block;  // B, worked out by hand
  int h;
  int r;
  bool byteStates;
  St st;
  Sg sg;
  int k;
  bool special;
  bool time32;
  bool wideInput;
  std::function<Bytes(const Rec&)> build;
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"19XT", "KRV19xt 1.00 binary\n", EventFileType::k19XT, 0, 1000, 30, 4, 38, 13, false,
       St::kBit6, Sg::kState, 4, false, true, false, R19xt},
      {"19XL", "KRV19XL 1.00 binary\n", EventFileType::k19XL, 1, 1000, 30, 4, 38, 15, false,
       St::kBit6, Sg::kState, 4, true, true, false, R19xl},
      {"61", "KRV61 1.01 binary\n", EventFileType::k61, 2, 100, 88, 11, 43, 19, false, St::kBit0,
       Sg::kOne, 8, true, false, false, R61},
      {"517", "KRV517 3.00 binary\n", EventFileType::k517, 3, 100, 280, 35, 68, 20, false,
       St::kBit0, Sg::kOne, 8, true, false, true, R517},
      {"517E", "KRV517E 1.00 binary\n", EventFileType::k517E, 4, 100, 360, 45, 79, 20, false,
       St::kBit0, Sg::kOne, 8, true, false, true, R517},
      {"517XL", "KRV517XL 1.00 binary\n", EventFileType::k517XL, 5, 100, 360, 45, 80, 20, false,
       St::kBit6, Sg::kOne, 8, true, false, true, R517xl},
      {"517P", "KRV517P 1.00 binary\n", EventFileType::k517P, 6, 100, 4256, 532, 566, 20, false,
       St::kBit0, Sg::kOne, 8, true, false, true, R517},
      {"583", "KRV583 1.00 binary\n", EventFileType::k583, 7, 100, 288, 288, 321, 27, true,
       St::kTwo, Sg::kTwo, 16, false, false, true, R583},
      {"583E", "KRV583E 1.00 binary\n", EventFileType::k583E, 8, 100, 288, 288, 322, 27, true,
       St::kTwo, Sg::kTwo, 16, false, false, true, R583},
      {"85E", "KRV85E 1.00 binary\n", EventFileType::k85E, 9, 100, 144, 18, 51, 10, false,
       St::kBit0, Sg::kNone, 0, true, false, false, R85e},
      {"37E", "KRV37E 1.00 binary\n", EventFileType::k37E, 10, 1000, 32, 4, 37, 15, false,
       St::kBit6, Sg::kState, 4, true, true, false, R37e},
      {"SLG", "SLG 1.00 binary\n", EventFileType::kSlg, 11, 10, 268, 34, 64, 16, false, St::kBit6,
       Sg::kState, 4, true, true, true, RSlg},
      {"SLGML", "SLGML 1.00 binary\n", EventFileType::kSlgML, 12, 10, 268, 34, 66, 16, false,
       St::kBit6, Sg::kState, 4, true, true, true, RSlg},
      {"61E", "KRV61E 1.00 binary\n", EventFileType::k61E, 13, 100, 104, 13, 46, 19, false,
       St::kBit6, Sg::kOne, 8, true, false, false, R61e},
      {"SLG808", "SLG 1.01 binary\n", EventFileType::kSlg808, 14, 10, 1011, 127, 157, 16, false,
       St::kBit6, Sg::kState, 4, true, true, true, RSlg},
      {"583A", "KRV583A 1.00 binary\n", EventFileType::k583A, 16, 100, 288, 288, 322, 29, true,
       St::kTwo, Sg::kTwo, 16, true, false, true, R583a},
      {"517AX", "KRV517AX 1.00 binary\n", EventFileType::k517AX, 18, 100, 4192, 524, 559, 15, false,
       St::kBit6, Sg::kState, 4, true, false, true, R517ax},
  };
  return cases;
}

// 29 Feb 2000, 1 Mar 2000, 1 Jan 2001 packed by hand: day | month << 5 | year << 9.
constexpr int kFeb29 = 29 | (2 << 5);
constexpr int kMar1 = 1 | (3 << 5);
constexpr int kJan1st2001 = 1 | (1 << 5) | (1 << 9);

struct Built {
  Bytes bytes;
  std::vector<Rec> recs;         // the records the reader must return
  std::vector<uint8_t> initial;  // expected initial states
  int afterEnd = 0;              // records present behind the state-0 record
};

int OnState(const Case& c) { return c.st == St::kBit0 ? 0x81 : c.st == St::kBit6 ? 0xC0 : 0x03; }
int OffState(const Case& c) { return c.st == St::kBit0 ? 0x80 : c.st == St::kBit6 ? 0x80 : 0x82; }

Built Build(const Case& c, bool withEnd) {
  Built b;
  b.bytes.assign(c.line.begin(), c.line.end());
  b.bytes.push_back(0xAA);  // two bytes nobody interprets
  b.bytes.push_back(0x55);
  Put16(b.bytes, kJan1st2001);
  Put32(b.bytes, 12345);
  Put16(b.bytes, kMar1);
  Put32(b.bytes, 0x01020304);
  b.initial.assign(static_cast<size_t>(c.n), 0);
  Bytes block(static_cast<size_t>(c.block), 0);
  if (c.byteStates) {
    block[0] = 0x01;
    block[1] = 0xFE;
    block[2] = 0x03;
    block.back() = 0x07;
    b.initial[0] = 1;
    b.initial[1] = 2;
    b.initial[2] = 3;
    b.initial.back() = 3;
  } else {
    block[0] = 0x05;
    block.back() = 0x80;
    b.initial[0] = 1;
    b.initial[2] = 1;
    if (8 * c.block - 1 < c.n) b.initial[static_cast<size_t>(8 * c.block - 1)] = 1;
  }
  b.bytes.insert(b.bytes.end(), block.begin(), block.end());
  EXPECT_EQ(static_cast<int>(b.bytes.size()), c.h) << c.name;

  // lo 0x10, mid 0x27, hi 0x00 is 10000 for the 24-bit times.
  const uint32_t t1 = c.time32 ? 45296789u : 10000u;
  const uint32_t t2 = c.time32 ? 0x89ABCDEFu : 0xABCDEFu;
  const int in2 = c.wideInput ? 0x0102 : 200;
  Rec r1{OnState(c), t1, 3, c.sg == Sg::kTwo ? 0x8005 : 0x85, -1234, 0x5A, kFeb29};
  if (c.sg == Sg::kState) r1.state |= 0x05;
  Rec r2{OffState(c), t2, in2, 0, 32767, 0xA5, kMar1};
  b.recs = {r1, r2};
  for (const Rec& r : b.recs) {
    Bytes rb = c.build(r);
    EXPECT_EQ(static_cast<int>(rb.size()), c.r) << c.name;
    b.bytes.insert(b.bytes.end(), rb.begin(), rb.end());
  }
  if (withEnd) {
    Rec zero = r2;
    zero.state = 0;
    Bytes z = c.build(zero);
    b.bytes.insert(b.bytes.end(), z.begin(), z.end());
    Bytes after = c.build(r1);
    b.bytes.insert(b.bytes.end(), after.begin(), after.end());
    b.afterEnd = 1;
  }
  return b;
}

// Writes `bytes` as `name` in `dir`; the file's path.
std::string WriteIn(const zeltest::TempFolder& dir, const std::string& name, const Bytes& bytes) {
  EXPECT_TRUE(zeltest::WriteBytes(dir / name, bytes)) << name;
  return (dir / name).string();
}

int64_t Day(int d, int tick) { return static_cast<int64_t>(d) * 86400 * tick; }

void ExpectRecord(const Case& c, const Rec& in, const EventRecord& out, int dayNumber) {
  SCOPED_TRACE(c.name);
  EXPECT_EQ(out.state, in.state);
  EXPECT_EQ(out.time, in.time);
  EXPECT_EQ(out.input, in.input);
  EXPECT_EQ(out.date, in.date);
  EXPECT_EQ(out.special, c.special ? in.special : 0);
  EXPECT_EQ(out.spare, in.spare);
  EXPECT_EQ(out.absTime, Day(dayNumber, c.tick) + in.time);
  ASSERT_EQ(out.valueCount, c.k);
  int signs = 0;
  if (c.sg == Sg::kState) signs = in.state & 0x0F;
  if (c.sg == Sg::kOne || c.sg == Sg::kTwo) signs = in.signs;
  for (int i = 0; i < c.k; ++i) {
    const int expect = ((signs >> i) & 1) != 0 ? kVals[i] - 256 : kVals[i];
    EXPECT_EQ(out.values[static_cast<size_t>(i)], expect) << "value " << i;
  }
}

TEST(EventFileTypes, EveryHandBuiltTypeDecodes) {
  zeltest::TempFolder dir("events");
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const Built b = Build(c, true);
    const std::string path = WriteIn(dir, std::string(c.name) + ".bin", b.bytes);
    EventRecordFile f;
    ASSERT_EQ(f.Open(path), EventRecordFile::OpenResult::kOk);
    EXPECT_EQ(f.Type(), c.type);
    EXPECT_EQ(f.HeaderLine(), c.line);
    EXPECT_EQ(f.TicksPerSecond(), c.tick);
    EXPECT_EQ(f.TicksPerDay(), 86400LL * c.tick);
    EXPECT_EQ(f.InputCount(), c.n);
    EXPECT_TRUE(f.FixedHeaderComplete());
    EXPECT_EQ(f.Interval().startDate, kJan1st2001);
    EXPECT_EQ(f.Interval().startTime, 12345u);
    EXPECT_EQ(f.Interval().endDate, kMar1);
    EXPECT_EQ(f.Interval().endTime, 0x01020304u);
    EXPECT_EQ(f.IntervalStartAbs(), Day(366, c.tick) + 12345);
    EXPECT_EQ(f.IntervalEndAbs(), Day(60, c.tick) + 0x01020304);
    EXPECT_EQ(f.InitialStates(), b.initial);

    for (int pass = 0; pass < 2; ++pass) {
      SCOPED_TRACE(pass == 0 ? "first pass" : "after rewind");
      EventRecord r;
      ASSERT_TRUE(f.Next(r));
      ExpectRecord(c, b.recs[0], r, 59);
      ASSERT_TRUE(f.Next(r));
      ExpectRecord(c, b.recs[1], r, 60);
      // The state-0 record ends the data although a good record follows it.
      EXPECT_FALSE(f.Next(r));
      EXPECT_FALSE(f.Next(r));
      EXPECT_EQ(f.RecordsRead(), 2);
      // Input 3 went on; the second input changed where it is one of the N.
      std::vector<uint8_t> states = b.initial;
      states[3] = c.st == St::kTwo ? 3 : 1;
      if (b.recs[1].input < c.n)
        states[static_cast<size_t>(b.recs[1].input)] = c.st == St::kTwo ? 2 : 0;
      EXPECT_EQ(f.States(), states);
      f.Rewind();
      EXPECT_EQ(f.States(), b.initial);
    }
  }
}

TEST(EventFileTypes, TableAgreesWithHandWorkedSizes) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const EventLayout* l = FindEventLayout(c.type);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->headerLine, c.line);
    EXPECT_EQ(l->inputCount, c.n);
    EXPECT_EQ(l->firstRecord, c.h);
    EXPECT_EQ(l->recordSize, c.r);
    EXPECT_EQ(InitialStateBlockSize(*l), c.block);
    // H is always the line length + 14 + B.
    EXPECT_EQ(l->firstRecord, HeaderLineLength(c.type) + 14 + c.block);
    EXPECT_EQ(EventFileTypeOfModel(c.model), c.type);
    EXPECT_EQ(EventFileTypeOfHeaderLine(c.line), c.type);
    // Every byte place lies inside the record.
    for (int off :
         {l->stateOffset, l->inputOffset + l->inputBytes - 1, l->spareOffset, l->dateOffset + 1}) {
      EXPECT_GE(off, 0);
      EXPECT_LT(off, l->recordSize);
    }
    if (l->valueCount > 0) {
      EXPECT_LE(l->valueOffset + l->valueCount, l->recordSize);
    }
  }
  EXPECT_EQ(EventFileTypeOfModel(15), EventFileType::kSlg808);
  EXPECT_EQ(EventFileTypeOfModel(17), EventFileType::kUnknown);
  EXPECT_EQ(EventFileTypeOfModel(19), EventFileType::kUnknown);
  EXPECT_EQ(EventFileTypeOfModel(-1), EventFileType::kUnknown);
  EXPECT_EQ(FindEventLayout(EventFileType::kUnknown), nullptr);
}

TEST(EventFileTypes, StateTests) {
  const EventLayout& xl = *FindEventLayout(EventFileType::k517XL);
  const EventLayout& p = *FindEventLayout(EventFileType::k517);
  const EventLayout& slg = *FindEventLayout(EventFileType::kSlg);
  const EventLayout& k583 = *FindEventLayout(EventFileType::k583);
  // The report tests one bit; the plotter the whole pattern.
  EXPECT_TRUE(StateIsOn(xl, 0x40));
  EXPECT_FALSE(PlotStateIsOn(xl, 0x40));
  EXPECT_TRUE(PlotStateIsOn(xl, 0xC0));
  EXPECT_FALSE(PlotStateIsOn(xl, 0xC1));  // 517XL wants the byte equal to 0xC0
  EXPECT_TRUE(PlotStateIsOn(slg, 0xC5));  // bit-6 types: bits 6 and 7 both set
  EXPECT_FALSE(PlotStateIsOn(slg, 0x45));
  EXPECT_TRUE(StateIsOn(p, 0x01));
  EXPECT_FALSE(StateIsOn(p, 0x40));
  EXPECT_TRUE(PlotStateIsOn(p, 0x81));
  EXPECT_FALSE(PlotStateIsOn(p, 0x83));
  EXPECT_EQ(StateLevel(k583, 0x86), 2);
  EXPECT_EQ(StateLevel(k583, 0x84), 0);
  EXPECT_TRUE(StateIsOn(k583, 0x03));
  EXPECT_FALSE(StateIsOn(k583, 0x02));
}

TEST(EventFileHeader, ComparisonIsExact) {
  zeltest::TempFolder dir("events");
  const Case& c517 = Cases()[3];
  Built b = Build(c517, false);
  // Trailing blank before the line feed: unknown, nothing read.
  Bytes blank = b.bytes;
  blank.insert(blank.begin() + 18, ' ');
  EventRecordFile f;
  EXPECT_EQ(f.Open(WriteIn(dir, "blank.bin", blank)), EventRecordFile::OpenResult::kUnknownType);
  EXPECT_EQ(f.Type(), EventFileType::kUnknown);
  EXPECT_FALSE(f.IsOpen());
  EXPECT_TRUE(f.InitialStates().empty());
  EventRecord r;
  EXPECT_FALSE(f.Next(r));

  // "KRV19xt" and "KRV19XL" differ in case: "KRV19XT" is neither.
  for (const char* line :
       {"KRV19XT 1.00 binary\n", "krv19xl 1.00 binary\n", "KRV19xl 1.00 binary\n"}) {
    Bytes x(line, line + std::strlen(line));
    x.resize(200, 0x11);
    EXPECT_EQ(f.Open(WriteIn(dir, "case.bin", x)), EventRecordFile::OpenResult::kUnknownType)
        << line;
  }
  Bytes lower = Build(Cases()[0], false).bytes;
  ASSERT_EQ(f.Open(WriteIn(dir, "xt.bin", lower)), EventRecordFile::OpenResult::kOk);
  EXPECT_EQ(f.Type(), EventFileType::k19XT);

  // The line feed belongs to the line: a file that is only the text without it is unknown.
  Bytes nolf(c517.line.begin(), c517.line.end() - 1);
  EXPECT_EQ(f.Open(WriteIn(dir, "nolf.bin", nolf)), EventRecordFile::OpenResult::kUnknownType);
  EXPECT_EQ(f.Open(WriteIn(dir, "empty.bin", {})), EventRecordFile::OpenResult::kUnknownType);
  EXPECT_EQ(f.Open((dir.path() / "missing.bin").string()),
            EventRecordFile::OpenResult::kCannotOpen);
  EXPECT_EQ(f.Open(dir.path().string()), EventRecordFile::OpenResult::kCannotOpen);  // a folder
}

TEST(EventFileHeader, CarriageReturnAheadOfLineFeedIsDropped) {
  zeltest::TempFolder dir("events");
  Bytes x;
  const std::string line = "KRV517 3.00 binary\r\n";
  x.assign(line.begin(), line.end());
  x.resize(100, 0);
  EventRecordFile f;
  ASSERT_EQ(f.Open(WriteIn(dir, "crlf.bin", x)), EventRecordFile::OpenResult::kOk);
  EXPECT_EQ(f.Type(), EventFileType::k517);
  EXPECT_EQ(f.HeaderLine(), "KRV517 3.00 binary\n");
  EXPECT_EQ(EventFileTypeOfHeaderLine("SLG 1.01 binary\r\n"), EventFileType::kSlg808);
  // A carriage return elsewhere is not dropped.
  EXPECT_EQ(EventFileTypeOfHeaderLine("SLG 1.01\r binary\n"), EventFileType::kUnknown);
  EXPECT_EQ(EventFileTypeOfHeaderLine("SLG 1.01 binary\r\r\n"), EventFileType::kUnknown);
}

TEST(EventFileHeader, LongLineWithoutLineFeedIsUnknown) {
  zeltest::TempFolder dir("events");
  Bytes x(1000, 'K');
  EventRecordFile f;
  EXPECT_EQ(f.Open(WriteIn(dir, "long.bin", x)), EventRecordFile::OpenResult::kUnknownType);
  EXPECT_LE(f.HeaderLine().size(), 254u);
}

TEST(EventFileOpen, ForcedTypeSkipsTheLine) {
  zeltest::TempFolder dir("events");
  const Case& c = Cases()[5];  // 517XL
  Built b = Build(c, true);
  // The report generator does not look at the line: damage it and the data still reads.
  b.bytes[0] = 'X';
  const std::string path = WriteIn(dir, "forced.bin", b.bytes);
  EventRecordFile f;
  EXPECT_EQ(f.Open(path), EventRecordFile::OpenResult::kUnknownType);
  ASSERT_EQ(f.OpenForModel(path, 5), EventRecordFile::OpenResult::kOk);
  EXPECT_EQ(f.Type(), EventFileType::k517XL);
  EXPECT_EQ(f.Interval().startTime, 12345u);
  EventRecord r;
  ASSERT_TRUE(f.Next(r));
  ExpectRecord(c, b.recs[0], r, 59);
  EXPECT_EQ(f.OpenForModel(path, 17), EventRecordFile::OpenResult::kUnknownType);
  EXPECT_EQ(f.OpenAs((dir.path() / "none.bin").string(), EventFileType::k517),
            EventRecordFile::OpenResult::kCannotOpen);
}

TEST(EventFileOpen, MemoryAndFileAgree) {
  zeltest::TempFolder dir("events");
  for (const Case& c : Cases()) {
    const Built b = Build(c, false);
    EventRecordFile a;
    EventRecordFile m;
    ASSERT_EQ(a.Open(WriteIn(dir, "m.bin", b.bytes)), EventRecordFile::OpenResult::kOk);
    ASSERT_EQ(m.OpenMemory(b.bytes.data(), b.bytes.size()), EventRecordFile::OpenResult::kOk);
    EXPECT_EQ(a.Type(), m.Type());
    EXPECT_EQ(a.InitialStates(), m.InitialStates());
    EventRecord ra;
    EventRecord rm;
    int n = 0;
    while (a.Next(ra)) {
      ASSERT_TRUE(m.Next(rm));
      EXPECT_EQ(ra, rm);
      ++n;
    }
    EXPECT_FALSE(m.Next(rm));
    EXPECT_EQ(n, 2) << c.name;
  }
}

TEST(EventFileEnd, ShortReadsEndTheData) {
  zeltest::TempFolder dir("events");
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const Built full = Build(c, false);
    // Cut inside the second record: one record comes back.
    for (int cut = 1; cut < c.r; cut += 3) {
      Bytes b(full.bytes.begin(), full.bytes.end() - cut);
      EventRecordFile f;
      ASSERT_EQ(f.Open(WriteIn(dir, "short.bin", b)), EventRecordFile::OpenResult::kOk);
      EventRecord r;
      EXPECT_TRUE(f.Next(r));
      EXPECT_FALSE(f.Next(r));
    }
    // Cut inside the fixed header: the header is incomplete, no records.
    Bytes head(full.bytes.begin(), full.bytes.begin() + c.h - 1);
    EventRecordFile f;
    ASSERT_EQ(f.Open(WriteIn(dir, "head.bin", head)), EventRecordFile::OpenResult::kOk);
    EXPECT_FALSE(f.FixedHeaderComplete());
    EventRecord r;
    EXPECT_FALSE(f.Next(r));
    // Only the line: fields read as zero.
    Bytes line(c.line.begin(), c.line.end());
    ASSERT_EQ(f.Open(WriteIn(dir, "line.bin", line)), EventRecordFile::OpenResult::kOk);
    EXPECT_EQ(f.Interval().startDate, 0);
    EXPECT_EQ(f.InitialStates().size(), static_cast<size_t>(c.n));
    EXPECT_FALSE(f.Next(r));
  }
}

TEST(EventFileEnd, ManyRecordsAcrossBufferRefills) {
  zeltest::TempFolder dir("events");
  const Case& c = Cases()[5];  // 517XL, 20-byte records
  Built b = Build(c, false);
  b.bytes.resize(static_cast<size_t>(c.h));
  const int count = 70000;  // 1.4 MB: more than one buffer
  for (int i = 0; i < count; ++i) {
    Rec r{0xC0, static_cast<uint32_t>(i % 8640000), i % 360, i & 0xFF, i % 30000, 0, kMar1};
    Bytes rb = c.build(r);
    b.bytes.insert(b.bytes.end(), rb.begin(), rb.end());
  }
  b.bytes.push_back(0x10);  // a stray byte at the end
  EventRecordFile f;
  ASSERT_EQ(f.Open(WriteIn(dir, "big.bin", b.bytes)), EventRecordFile::OpenResult::kOk);
  for (int pass = 0; pass < 2; ++pass) {
    EventRecord r;
    int i = 0;
    bool ok = true;
    while (f.Next(r)) {
      ok = ok && r.time == static_cast<uint32_t>(i % 8640000) && r.input == i % 360 &&
           r.special == i % 30000;
      ++i;
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(i, count);
    f.Rewind();
  }
}

TEST(EventFileRobustness, RandomBytesNeverCrash) {
  std::mt19937 rng(12345);
  for (int t = 0; t < 400; ++t) {
    const Case& c = Cases()[static_cast<size_t>(t) % Cases().size()];
    Bytes b(c.line.begin(), c.line.end());
    const size_t extra = rng() % 400;
    for (size_t i = 0; i < extra; ++i) b.push_back(static_cast<uint8_t>(rng()));
    EventRecordFile f;
    ASSERT_EQ(f.OpenMemory(b.data(), b.size()), EventRecordFile::OpenResult::kOk);
    std::vector<EventRecord> first;
    EventRecord r;
    while (f.Next(r)) {
      EXPECT_GE(r.special, -32768);
      EXPECT_LE(r.special, 32767);
      for (int i = 0; i < r.valueCount; ++i) {
        EXPECT_GE(r.values[static_cast<size_t>(i)], -256);
        EXPECT_LE(r.values[static_cast<size_t>(i)], 255);
      }
      first.push_back(r);
    }
    f.Rewind();
    std::vector<EventRecord> second;
    while (f.Next(r)) second.push_back(r);
    EXPECT_EQ(first, second);
  }
}

TEST(EventFileRobustness, UnopenedReaderIsInert) {
  EventRecordFile f;
  EventRecord r;
  EXPECT_FALSE(f.IsOpen());
  EXPECT_FALSE(f.Next(r));
  f.Rewind();
  EXPECT_FALSE(f.Next(r));
  EXPECT_EQ(f.InputCount(), 0);
  EXPECT_EQ(f.OpenMemoryAs(nullptr, 0, EventFileType::kUnknown),
            EventRecordFile::OpenResult::kUnknownType);
  const uint8_t one = 0x41;
  EXPECT_EQ(f.OpenMemoryAs(&one, 1, EventFileType::k85E), EventRecordFile::OpenResult::kOk);
  EXPECT_FALSE(f.FixedHeaderComplete());
  EXPECT_FALSE(f.Next(r));
}

}  // namespace
}  // namespace zel
