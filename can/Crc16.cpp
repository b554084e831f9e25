#include "can/Crc16.h"

#include <array>

namespace vorta {

namespace {

constexpr std::array<std::uint16_t, 256> MakeTable() {
  std::array<std::uint16_t, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = UpdateCrc16(0, static_cast<std::uint8_t>(i));
  return table;
}

constexpr std::array<std::uint16_t, 256> kTable = MakeTable();

constexpr std::uint16_t CheckValue() {
  std::uint16_t crc = kCrc16Start;
  for (const char c : {'1', '2', '3', '4', '5', '6', '7', '8', '9'}) {
    crc = UpdateCrc16(crc, static_cast<std::uint8_t>(c));
  }
  return crc;
}
// The catalogue check value of this parameter set.
static_assert(CheckValue() == 0x29B1);

}  // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc) {
  for (std::size_t i = 0; i < size; ++i) {
    crc = static_cast<std::uint16_t>((crc << 8) ^ kTable[(crc >> 8) ^ data[i]]);
  }
  return crc;
}

}  // namespace vorta
