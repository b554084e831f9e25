// The DC stirrer drive: run command and speed setpoint by register, live
// registers 29..32 read back.

#include "devices/MixerDC.h"
#include "platform/TimerService.h"

namespace vorta {

namespace {
constexpr std::uint32_t kRunOffset = 2;    // register 1
constexpr std::uint32_t kSpeedOffset = 4;  // register 2
constexpr int kStatusRegister = 29;
constexpr int kSpeedRegister = 30;
constexpr int kTemperatureRegister = 31;
constexpr int kCurrentRegister = 32;
}  // namespace

void TMixerDC::ReadAll() {
  // Ten requests of eight bytes cover registers 0..39; the pauses give the
  // drive time to answer each one while windows keep running.
  for (std::uint32_t i = 0; i < 10; ++i) {
    TCANFrame frame;
    frame.Id = static_cast<std::uint32_t>(DeviceUID) + 8U * i;
    frame.Flags = kFlagExtended | kFlagRemote;
    frame.Len = 8;
    SendFrame(frame);
    WaitMs(Time, 500);
  }
}

void TMixerDC::Poll() {
  RequestRegisters(58, 8);
}

std::int32_t TMixerDC::GetSpeed() const {
  return static_cast<std::int16_t>(ReadWord(kSpeedRegister));
}

void TMixerDC::SetSpeed(std::int32_t rpm) {
  WriteWord(kSpeedOffset, static_cast<std::uint16_t>(rpm));
}

std::uint16_t TMixerDC::GetStatus() const {
  return ReadWord(kStatusRegister);
}

void TMixerDC::Start() {
  WriteWord(kRunOffset, 0x0101);
}

void TMixerDC::Stop() {
  WriteWord(kRunOffset, 0);
}

std::uint16_t TMixerDC::GetCurrent() const {
  return ReadWord(kCurrentRegister);
}

std::optional<std::uint16_t> TMixerDC::GetTemperature() const {
  return ReadWord(kTemperatureRegister);
}

}  // namespace vorta
