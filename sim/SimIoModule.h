#pragma once
// The I/O module from its own side. Image layout (offsets from DeviceUID):
//   32 + 2i  analog input i (0..7), 12-bit code, little-endian
//   48       bit 0: foam contact (1 = closed)
//   50       output word, bit n-1 = output n (written as two bytes)
//   32 + k   byte outputs; k = 26 pump power, 27..30 speed codes of pumps 1..4
// The module knows nothing of vessels: the plant reads its outputs and feeds
// its inputs.

#include <array>
#include <cstdint>

#include "sim/SimDevice.h"

namespace vorta::sim {

class TSimIoModule final : public TSimDevice {
 public:
  static constexpr int kAnalogBase = 32;
  static constexpr int kFoamByte = 48;
  static constexpr int kOutputWord = 50;
  static constexpr int kByteOutputBase = 32;
  static constexpr int kPumpPower = 26;
  static constexpr int kFirstPumpCode = 27;  // pump 1 (acid) .. pump 4 (feed 2) at 27..30

  TSimIoModule(QString name, std::uint32_t deviceUid, bool ext, bool active);

  void SetAnalog(int i, std::uint16_t code);
  [[nodiscard]] std::uint16_t Analog(int i) const { return Word(kAnalogBase / 2 + i); }
  void SetFoamContact(bool closed);
  [[nodiscard]] bool FoamContact() const { return (Byte(kFoamByte) & 1) != 0; }

  [[nodiscard]] std::uint16_t OutputWord() const { return outputs_; }
  // Output n (1..16) on.
  [[nodiscard]] bool Output(int n) const { return n >= 1 && n <= 16 && (outputs_ >> (n - 1)) & 1; }
  [[nodiscard]] std::uint8_t ByteOutput(int k) const { return Byte(kByteOutputBase + k); }

  // Fraction of [from, to] (plant ms) that each output n (index n-1) was on,
  // as the output word changed in between; starts the next interval at to.
  std::array<double, 16> TakeDuty(std::int64_t from, std::int64_t to);

 protected:
  [[nodiscard]] std::vector<std::pair<int, int>> LiveBlocks() const override;
  void OnWrite(int offset, const std::uint8_t* data, int len) override;

 private:
  void Accumulate(std::int64_t now);

  std::uint16_t outputs_ = 0;
  std::int64_t markMs_ = 0;
  std::array<std::int64_t, 16> onMs_{};
};

}  // namespace vorta::sim
