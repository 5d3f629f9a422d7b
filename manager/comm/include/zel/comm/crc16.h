// CRC-16/XMODEM: polynomial 0x1021, initial value 0, no reflection, no final XOR.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::comm {

// Adds one byte to a running CRC.
uint16_t Crc16Update(uint16_t crc, uint8_t byte);

// CRC of `n` bytes, starting from `crc` (0 for a fresh CRC).
uint16_t Crc16Xmodem(const uint8_t* data, size_t n, uint16_t crc = 0);

}  // namespace zel::comm
