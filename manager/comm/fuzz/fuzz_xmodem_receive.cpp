// Feeds arbitrary bytes to the XMODEM receiver as the sender's side of the line. The receiver
// must never crash, must report success only when the file holds exactly the data of good blocks
// numbered 1, 2, 3 ... that appear in order in the input followed by an EOT, and must leave the
// previous file untouched (and no temporary file) when it fails.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "zel/comm/connection.h"
#include "zel/comm/crc16.h"
#include "zel/comm/xmodem.h"

namespace {

namespace fs = std::filesystem;
using namespace zel::comm;

// The peer's bytes become readable once the receiver has sent its first byte (its 'C'), so the
// start-up flush does not discard them.
class MemoryTransport : public Transport {
 public:
  MemoryTransport(const uint8_t* d, size_t n) : data_(d), size_(n) {}
  int Write(const uint8_t*, size_t n) override {
    started_ = true;
    return static_cast<int>(n);
  }
  int ReadByte() override {
    if (!started_ || pos_ >= size_) return -1;
    return data_[pos_++];
  }
  bool WaitReadable(int) override { return started_ && pos_ < size_; }
  void Close() override {}

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool started_ = false;
};

Timings Tiny() {
  Timings t;
  t.xmodem_start_ms = 1;
  t.xmodem_c_interval_ms = 1;
  t.xmodem_byte_ms = 1;
  t.xmodem_poll_ms = 1;
  return t;
}

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool GoodFrameAt(const uint8_t* d, size_t n, size_t i, uint8_t number, const uint8_t* block) {
  if (i + 133 > n || d[i] != kSoh || d[i + 1] != number || d[i + 2] != uint8_t(~number)) {
    return false;
  }
  if (std::memcmp(d + i + 3, block, 128) != 0) return false;
  const uint16_t crc = Crc16Xmodem(d + i + 3, 128);
  return d[i + 131] == (crc >> 8) && d[i + 132] == (crc & 0xFF);
}

// The file's blocks appear in the input in order as good frames, and an EOT follows them.
bool Explains(const uint8_t* d, size_t n, const std::vector<uint8_t>& file) {
  if (file.size() % 128 != 0) return false;
  size_t pos = 0;
  for (size_t k = 0; k * 128 < file.size(); ++k) {
    const uint8_t number = static_cast<uint8_t>(k + 1);
    size_t i = pos;
    while (i < n && !GoodFrameAt(d, n, i, number, file.data() + k * 128)) ++i;
    if (i >= n) return false;
    pos = i + 133;
  }
  return std::memchr(d + pos, kEot, pos < n ? n - pos : 0) != nullptr;
}

const fs::path& Folder() {
  static const fs::path dir = [] {
    fs::path p = fs::temp_directory_path() / ("zel_fuzz_xrx_" + std::to_string(::getpid()));
    fs::create_directories(p);
    return p;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;
  const fs::path target = Folder() / "events.bin";
  const std::vector<uint8_t> old{'o', 'l', 'd', 0, 1, 2};
  {
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(old.data()), static_cast<std::streamsize>(old.size()));
  }
  Connection c(Tiny());
  c.Attach(std::make_unique<MemoryTransport>(data, size));
  const int r = XmodemReceive(c, 0, target);
  const std::vector<uint8_t> file = ReadAll(target);
  if (r != 0 && r != 7) std::abort();
  if (r == 0 && !Explains(data, size, file)) std::abort();
  if (r != 0 && file != old) std::abort();
  size_t entries = 0;
  for (auto it = fs::directory_iterator(Folder()); it != fs::directory_iterator(); ++it) ++entries;
  if (entries != 1) std::abort();
  return 0;
}
