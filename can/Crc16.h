#pragma once
// CRC-16 of the converter's serial packets: polynomial 0x1021, start 0xFFFF,
// most significant bit first, no reflection, no final XOR.

#include <cstddef>
#include <cstdint>

namespace vorta {

inline constexpr std::uint16_t kCrc16Start = 0xFFFF;

// One byte, bit by bit: the reference the fast table is built from.
constexpr std::uint16_t UpdateCrc16(std::uint16_t crc, std::uint8_t byte) {
  crc = static_cast<std::uint16_t>(crc ^ (byte << 8));
  for (int i = 0; i < 8; ++i) {
    crc = (crc & 0x8000U) != 0 ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021U)
                               : static_cast<std::uint16_t>(crc << 1);
  }
  return crc;
}

// Over a buffer, a table step per byte (the decoder checks every packet).
std::uint16_t Crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc = kCrc16Start);

}  // namespace vorta
