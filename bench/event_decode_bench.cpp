// Decoding speed of the event record reader: a 2-million-record KRV-517XL file, decoded
// record by record, against reading the same bytes with cat. Prints, never asserts.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "zel/event_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void WriteFile(const std::string& path, int records) {
  const zel::EventLayout& l = *zel::FindEventLayout(zel::EventFileType::k517XL);
  std::vector<uint8_t> bytes(l.headerLine,
                             l.headerLine + std::char_traits<char>::length(l.headerLine));
  bytes.resize(static_cast<size_t>(l.firstRecord), 0);
  std::mt19937 rng(7);
  std::vector<uint8_t> rec(static_cast<size_t>(l.recordSize));
  bytes.reserve(bytes.size() + static_cast<size_t>(records) * rec.size());
  for (int i = 0; i < records; ++i) {
    for (auto& b : rec) b = static_cast<uint8_t>(rng());
    const uint32_t t = static_cast<uint32_t>(i) * 4u % 8640000u;
    rec[static_cast<size_t>(l.timeOffsets[0])] = static_cast<uint8_t>(t);
    rec[static_cast<size_t>(l.timeOffsets[1])] = static_cast<uint8_t>(t >> 8);
    rec[static_cast<size_t>(l.timeOffsets[2])] = static_cast<uint8_t>(t >> 16);
    rec[static_cast<size_t>(l.stateOffset)] = (i & 1) != 0 ? 0xC0 : 0x80;
    rec[static_cast<size_t>(l.dateOffset)] = 0x21;
    rec[static_cast<size_t>(l.dateOffset + 1)] = 0x30;
    bytes.insert(bytes.end(), rec.begin(), rec.end());
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 2'000'000;
  const int rounds = 5;
  const fs::path dir =
      fs::temp_directory_path() / ("zel_event_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "events.bin").string();
  WriteFile(path, records);

  double best = 1e9;
  long long checksum = 0;
  int64_t count = 0;
  for (int r = 0; r < rounds; ++r) {
    const auto a = Clock::now();
    zel::EventRecordFile f;
    if (f.Open(path) != zel::EventRecordFile::OpenResult::kOk) {
      std::fprintf(stderr, "event_decode_bench: cannot read back %s\n", path.c_str());
      return 1;
    }
    zel::EventRecord rec;
    count = 0;
    while (f.Next(rec)) {
      checksum += rec.absTime + rec.values[7] + rec.special;
      ++count;
    }
    best = std::min(best, Seconds(a, Clock::now()));
  }
  double bestCat = 1e9;
  const std::string cat = "cat '" + path + "' > /dev/null";
  for (int r = 0; r < rounds; ++r) {
    const auto a = Clock::now();
    if (std::system(cat.c_str()) != 0) std::fprintf(stderr, "event_decode_bench: cat failed\n");
    bestCat = std::min(bestCat, Seconds(a, Clock::now()));
  }
  std::error_code ec;
  fs::remove_all(dir, ec);

  const double rate = static_cast<double>(count) / best;
  std::printf("event_decode: %lld records (%lld bytes) of KRV-517XL, best of %d\n",
              static_cast<long long>(count), static_cast<long long>(count) * 20, rounds);
  std::printf(
      "event_decode: decode %.4f s = %.1f M records/s (target 20 M records/s: ratio %.2f)\n", best,
      rate / 1e6, rate / 20e6);
  std::printf("event_decode: cat    %.4f s; decode / cat time ratio %.2f\n", bestCat,
              best / bestCat);
  std::printf("event_decode: checksum %lld\n", checksum);
  return count == records ? 0 : 1;
}
