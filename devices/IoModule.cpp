// The I/O module: analog inputs, the foam contact, the output word and the
// byte outputs, all through the register image and small frames.

#include "devices/IoModule.h"

namespace vorta {

void TIoModule::Poll() {
  NextPoll();
  switch (PollCount % 3) {
    case 0:
      RequestRegisters(32, 8);  // inputs 0..3
      break;
    case 1:
      RequestRegisters(40, 8);  // inputs 4..7
      break;
    default:
      RequestRegisters(48, 4);  // discrete input block
      break;
  }
}

std::int16_t TIoModule::GetAnalog(int i) const {
  if (i < 0 || i >= AnalogCount) {
    return 4096;
  }
  return static_cast<std::int16_t>(ReadWord(16 + i));
}

bool TIoModule::GetFoamInput() const {
  return (Regs[48] & 0x01U) != 0;
}

void TIoModule::SetOutputs(std::uint16_t word) {
  WriteWord(50, word);
}

void TIoModule::SetOutputByte(int k, std::uint8_t value) {
  WriteByte(32U + (static_cast<std::uint32_t>(k) & 0xFFU), value);
}

}  // namespace vorta
