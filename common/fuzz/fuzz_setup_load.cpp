// Setup files of any model: the first byte picks the model, the rest is the file. Loading,
// saving, reloading and comparing must agree, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "zel/setup_database.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const zel::RecorderType kTypes[] = {0,  1,  2,  3,  4,  5,  6,  7,  8, 9,
                                             10, 11, 12, 13, 14, 15, 16, 17, 18};
  const zel::RecorderType type = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];
  zel::SetupDatabase db(type);
  db.RestoreFactoryDefaults();
  const zel::SetupDatabase before = db;
  const std::size_t taken = db.LoadBytes(data + 1, size - 1);
  if (taken > size - 1 || taken > db.FieldLength()) std::abort();
  const auto saved = db.SaveBytes();
  if (saved.size() != db.WrittenLength()) std::abort();
  zel::SetupDatabase again(type);
  again.LoadBytes(saved);
  if (!(again == db) || !again.Differences(db).empty()) std::abort();
  if (again.SaveBytes() != saved) std::abort();
  // A load that reaches nothing leaves the record as it was.
  if (taken == 0 && !(db == before)) std::abort();
  // Names of every input number, including system inputs and numbers beyond them.
  for (int i = -1; i < db.NameCount() + 100; i += 37) {
    (void)db.NameOfInput(i);
    (void)db.IdentifierOfInput(i);
  }
  return 0;
}
