// Event record files of any content: every record read twice (before and after a rewind) must
// come out the same, and nothing may be read outside the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "zel/event_file.h"

namespace {

std::vector<zel::EventRecord> ReadAll(zel::EventRecordFile& f) {
  std::vector<zel::EventRecord> out;
  zel::EventRecord r;
  while (f.Next(r) && out.size() < 100000) out.push_back(r);
  return out;
}

void Check(zel::EventRecordFile& f) {
  const std::vector<uint8_t> initial = f.InitialStates();
  if (static_cast<int>(initial.size()) != f.InputCount()) std::abort();
  const auto first = ReadAll(f);
  f.Rewind();
  if (f.States() != initial) std::abort();
  const auto second = ReadAll(f);
  if (first != second) std::abort();
  for (const auto& r : first) {
    if (r.state == 0 || r.valueCount > zel::kMaxEventValues) std::abort();
    for (int i = 0; i < r.valueCount; ++i) {
      if (r.values[static_cast<size_t>(i)] < -256 || r.values[static_cast<size_t>(i)] > 255) {
        std::abort();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zel::EventRecordFile f;
  // As found by its header line.
  if (f.OpenMemory(data, size) == zel::EventRecordFile::OpenResult::kOk) Check(f);
  // With the type forced, as the report generator opens files: the first byte picks the type.
  if (size > 0) {
    const auto type = static_cast<zel::EventFileType>(data[0] % zel::kEventFileTypeCount);
    if (f.OpenMemoryAs(data + 1, size - 1, type) == zel::EventRecordFile::OpenResult::kOk) {
      Check(f);
    }
  }
  return 0;
}
