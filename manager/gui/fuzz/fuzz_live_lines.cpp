// Live status stream lines from a recorder: any bytes, any model, any present modules and
// flash bits. Checks that every item keeps a known state and a text no longer than the line
// buffer allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/live_status.h"
#include "zel/identifiers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const zel::RecorderType type = data[0] % (zel::kModelTypeCount + 1);
  zel::SetupDatabase db(type);
  const unsigned modules = data[1] | (data[2] << 8);
  for (int g = 0; g < 16; ++g)
    if (modules & (1u << g)) db.SetSecondaryIp(g, {10, 0, 0, static_cast<uint8_t>(g + 1)});
  for (int d = 0; d < 64; ++d) db.SetFlashEnabled(d, (data[3] >> (d % 8)) & 1);
  zel::oxm::LiveStatusModel live(type, (data[0] & 0x80) ? nullptr : &db);
  live.Feed(std::string_view(reinterpret_cast<const char*>(data + 4), size - 4));
  live.TakeChanged();
  for (const auto& item : live.items()) {
    const int s = static_cast<int>(item.state);
    if (s < 1 || s > 4) std::abort();
    if (item.text.size() > zel::LiveIdentifier(type, item.position).size() + 1 + 30) std::abort();
    if (live.ItemOfPosition(item.position) < 0) std::abort();
  }
  return 0;
}
