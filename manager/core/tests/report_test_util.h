// Hand-built event record files for the report tests. The byte places of each file type are
// written out here on their own, so a wrong place in the library's layouts shows up as a wrong
// report line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zel::core::testing {

// Where one file type keeps a record's fields.
struct FileShape {
  const char* headerLine;  // including the line feed
  int stateBlock;          // bytes of the initial-state block
  int recordSize;
  int state;
  int time[4];  // bytes of the time, least significant first; time[3] -1 for 24-bit times
  int input;
  int inputBytes;
  int special;  // -1: none
  int date;
};

// clang-format off
inline constexpr FileShape k19XTShape{"KRV19xt 1.00 binary\n", 4, 13, 0, {1, 2, 3, 4}, 5, 1, -1, 11};
inline constexpr FileShape k19XLShape{"KRV19XL 1.00 binary\n", 4, 15, 0, {1, 2, 3, 4}, 5, 1, 10, 13};
inline constexpr FileShape k61Shape{"KRV61 1.01 binary\n", 11, 19, 0, {1, 2, 3, -1}, 4, 1, 14, 17};
inline constexpr FileShape k517Shape{"KRV517 3.00 binary\n", 35, 20, 0, {1, 2, 3, -1}, 4, 2, 15, 18};
inline constexpr FileShape k517EShape{"KRV517E 1.00 binary\n", 45, 20, 0, {1, 2, 3, -1}, 4, 2, 15, 18};
inline constexpr FileShape k517XLShape{"KRV517XL 1.00 binary\n", 45, 20, 16, {0, 1, 6, -1}, 4, 2, 2, 18};
inline constexpr FileShape k517XCShape{"KRV517P 1.00 binary\n", 532, 20, 0, {1, 2, 3, -1}, 4, 2, 15, 18};
inline constexpr FileShape k583Shape{"KRV583 1.00 binary\n", 288, 27, 0, {1, 2, 3, -1}, 4, 2, -1, 25};
inline constexpr FileShape k583EShape{"KRV583E 1.00 binary\n", 288, 27, 0, {1, 2, 3, -1}, 4, 2, -1, 25};
inline constexpr FileShape k85EShape{"KRV85E 1.00 binary\n", 18, 10, 0, {1, 2, 3, -1}, 4, 1, 5, 8};
inline constexpr FileShape k37EShape{"KRV37E 1.00 binary\n", 4, 15, 11, {0, 1, 2, 3}, 6, 1, 4, 13};
inline constexpr FileShape kSlgShape{"SLG 1.00 binary\n", 34, 16, 12, {0, 1, 2, 3}, 6, 2, 4, 14};
inline constexpr FileShape kSlgMLShape{"SLGML 1.00 binary\n", 34, 16, 12, {0, 1, 2, 3}, 6, 2, 4, 14};
inline constexpr FileShape k61EShape{"KRV61E 1.00 binary\n", 13, 19, 15, {0, 1, 4, -1}, 5, 1, 2, 17};
inline constexpr FileShape kSlg808Shape{"SLG 1.01 binary\n", 127, 16, 12, {0, 1, 2, 3}, 6, 2, 4, 14};
inline constexpr FileShape k583AShape{"KRV583A 1.00 binary\n", 288, 29, 25, {0, 1, 8, -1}, 4, 2, 2, 27};
inline constexpr FileShape k517AXShape{"KRV517AX 1.00 binary\n", 524, 15, 11, {0, 1, 6, -1}, 4, 2, 2, 13};
// clang-format on

inline uint16_t Date(int year, int month, int day) {
  return static_cast<uint16_t>(day | (month << 5) | (year << 9));
}

struct Rec {
  uint8_t state;
  uint32_t time;
  int input;
  int special;
  uint16_t date;
};

inline void Put(std::vector<uint8_t>& b, std::size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline std::vector<uint8_t> RecordBytes(const FileShape& s, const Rec& r) {
  std::vector<uint8_t> b(static_cast<std::size_t>(s.recordSize), 0xEE);  // values, signs, spare
  b[s.state] = r.state;
  for (int i = 0; i < 4; ++i) {
    if (s.time[i] >= 0) b[s.time[i]] = static_cast<uint8_t>(r.time >> (8 * i));
  }
  Put(b, s.input, static_cast<uint32_t>(r.input), s.inputBytes);
  if (s.special >= 0) Put(b, s.special, static_cast<uint32_t>(r.special), 2);
  Put(b, s.date, r.date, 2);
  return b;
}

inline std::vector<uint8_t> EventFile(const FileShape& s, uint16_t startDate, uint32_t startTime,
                                      uint16_t endDate, uint32_t endTime,
                                      const std::vector<Rec>& records) {
  std::string line = s.headerLine;
  std::vector<uint8_t> b(line.begin(), line.end());
  std::vector<uint8_t> fixed(static_cast<std::size_t>(14 + s.stateBlock), 0x5A);
  Put(fixed, 0, 0xBEEF, 2);
  Put(fixed, 2, startDate, 2);
  Put(fixed, 4, startTime, 4);
  Put(fixed, 8, endDate, 2);
  Put(fixed, 10, endTime, 4);
  b.insert(b.end(), fixed.begin(), fixed.end());
  for (const Rec& r : records) {
    std::vector<uint8_t> rb = RecordBytes(s, r);
    b.insert(b.end(), rb.begin(), rb.end());
  }
  return b;
}

// The lines of a report text, line feeds dropped.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace zel::core::testing
