// Report writing speed: a KRV-517XL event file of 2 million records is turned into its text
// report; the time is compared with copying the same report bytes with cat. Prints, never
// asserts.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "zel/core/report.h"
#include "zel/event_file.h"
#include "zel/setup_database.h"

namespace fs = std::filesystem;

namespace {

double Seconds(const std::chrono::steady_clock::time_point& t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A KRV-517XL file: header line, fixed header, 45-byte state block, 20-byte records.
void WriteEventFile(const fs::path& path, int records) {
  const zel::EventLayout& l = *zel::FindEventLayout(zel::EventFileType::k517XL);
  std::vector<uint8_t> bytes(l.headerLine,
                             l.headerLine + std::char_traits<char>::length(l.headerLine));
  const uint16_t date = static_cast<uint16_t>(15 | (3 << 5) | (24 << 9));
  std::vector<uint8_t> fixed(static_cast<std::size_t>(14 + zel::InitialStateBlockSize(l)), 0);
  fixed[2] = fixed[8] = static_cast<uint8_t>(date);
  fixed[3] = fixed[9] = static_cast<uint8_t>(date >> 8);
  bytes.insert(bytes.end(), fixed.begin(), fixed.end());
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  const std::size_t start = bytes.size();
  bytes.resize(start + static_cast<std::size_t>(records) * l.recordSize, 0);
  for (int i = 0; i < records; ++i) {
    uint8_t* r = bytes.data() + start + static_cast<std::size_t>(i) * l.recordSize;
    const uint32_t time = static_cast<uint32_t>(static_cast<uint64_t>(i) * 8640000 / records);
    const int input = static_cast<int>(next() >> 8) % 571;
    const int16_t special = static_cast<int16_t>(next() >> 16);
    r[0] = static_cast<uint8_t>(time);
    r[1] = static_cast<uint8_t>(time >> 8);
    r[6] = static_cast<uint8_t>(time >> 16);
    r[2] = static_cast<uint8_t>(special);
    r[3] = static_cast<uint8_t>(special >> 8);
    r[4] = static_cast<uint8_t>(input);
    r[5] = static_cast<uint8_t>(input >> 8);
    r[16] = (next() & 0x100) ? 0xC0 : 0x80;
    r[18] = static_cast<uint8_t>(date);
    r[19] = static_cast<uint8_t>(date >> 8);
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 2000000;
  const fs::path dir = fs::temp_directory_path() / "zel_report_bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path event = dir / "240315-000000.bin";
  const fs::path report = dir / "240315-000000.txt";
  const fs::path copy = dir / "copy.txt";
  WriteEventFile(event, records);

  zel::SetupDatabase setup(5);
  setup.SetUnitName("Benchmark Yard");
  for (int n = 0; n < setup.NameCount(); ++n) {
    setup.SetName(n, "Input number " + std::to_string(n));
    setup.SetIdentifier(n, "IN" + std::to_string(n));
  }
  for (int p = 0; p < setup.EventPairCount(); ++p) {
    setup.SetOnName(p, "On");
    setup.SetOffName(p, "Off");
  }

  double best = 1e9;
  zel::core::ReportResult result;
  for (int run = 0; run < 3; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    result = zel::core::WriteReport(5, setup, event, report, zel::core::InputFilter());
    best = std::min(best, Seconds(t0));
  }
  if (!result.ok()) {
    std::printf("report failed: %s\n", result.error.c_str());
    return 1;
  }
  const std::string cmd = "cat '" + report.string() + "' > '" + copy.string() + "'";
  double bestCat = 1e9;
  for (int run = 0; run < 3; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    if (std::system(cmd.c_str()) != 0) {
      std::printf("cat failed\n");
      return 1;
    }
    bestCat = std::min(bestCat, Seconds(t0));
  }
  const double mb = static_cast<double>(fs::file_size(report)) / 1e6;
  std::printf("report_bench: %lld records, %lld lines, %.1f MB of report\n",
              static_cast<long long>(result.records), static_cast<long long>(result.lines), mb);
  std::printf("report_bench: report %.3f s = %.2f million records/s (%.0f MB/s); limit 2.00\n",
              best, result.records / best / 1e6, mb / best);
  std::printf("report_bench: cat of the same bytes %.3f s; report / cat time ratio %.2f\n", bestCat,
              best / bestCat);
  fs::remove_all(dir);
  return 0;
}
