#include "zel/comm/crc16.h"

namespace zel::comm {

uint16_t Crc16Update(uint16_t crc, uint8_t byte) {
  crc = static_cast<uint16_t>(crc ^ (static_cast<uint16_t>(byte) << 8));
  for (int i = 0; i < 8; ++i) {
    crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                         : static_cast<uint16_t>(crc << 1);
  }
  return crc;
}

uint16_t Crc16Xmodem(const uint8_t* data, size_t n, uint16_t crc) {
  for (size_t i = 0; i < n; ++i) crc = Crc16Update(crc, data[i]);
  return crc;
}

}  // namespace zel::comm
