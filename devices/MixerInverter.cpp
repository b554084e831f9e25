// The inverter drive: speed as a 0..5000 frequency reference scaled by
// MaxRpm, run command as a word at offset 1.

#include "devices/MixerInverter.h"
#include "platform/Numbers.h"
#include "platform/TimerService.h"

namespace vorta {

namespace {
constexpr std::uint32_t kRunOffset = 1;
constexpr std::uint32_t kFrequencyOffset = 2;  // register 1
constexpr int kStatusRegister = 0;
constexpr int kOutputFrequencyRegister = 4;
constexpr int kCurrentRegister = 7;  // units of 100 mA
constexpr int kVoltageRegister = 8;
constexpr double kFullScale = 5000.0;
}  // namespace

void TMixerInverter::SetMaxRpm(std::int32_t v) {
  if (v > 0 && v <= 5000) {
    MaxRpm = v;
  }
}

void TMixerInverter::ReadAll() {
  for (std::uint32_t offset : {32U, 40U, 48U}) {
    TCANFrame frame;
    frame.Id = static_cast<std::uint32_t>(DeviceUID) + offset;
    frame.Flags = kFlagExtended | kFlagRemote;
    frame.Len = 8;
    SendFrame(frame);
    WaitMs(Time, 500);
  }
}

void TMixerInverter::Poll() {
  NextPoll();
  RequestRegisters(static_cast<std::uint32_t>(PollCount % 3) * 8U, 8);
}

std::int32_t TMixerInverter::GetSpeed() const {
  // Without a MaxRpm the scale is unknown: report standstill.
  if (MaxRpm <= 0) {
    return 0;
  }
  const double rpm = ReadWord(kOutputFrequencyRegister) / 100.0 * MaxRpm / 50.0;
  return static_cast<std::int32_t>(RoundHalfEven(rpm));
}

void TMixerInverter::SetSpeed(std::int32_t rpm) {
  // Without a MaxRpm there is no scale (0/0): send nothing rather than a
  // made-up reference.
  if (MaxRpm <= 0 || rpm < 0 || rpm > MaxRpm) {
    return;
  }
  const double reference = static_cast<double>(rpm) / MaxRpm * kFullScale;
  WriteWord(kFrequencyOffset, static_cast<std::uint16_t>(RoundHalfEven(reference)));
}

std::uint16_t TMixerInverter::GetStatus() const {
  return ReadWord(kStatusRegister);
}

void TMixerInverter::Start() {
  WriteWord(kRunOffset, 1);
}

void TMixerInverter::Stop() {
  WriteWord(kRunOffset, 0);
}

std::uint16_t TMixerInverter::GetCurrent() const {
  return static_cast<std::uint16_t>(ReadWord(kCurrentRegister) * 100U);
}

std::optional<std::uint16_t> TMixerInverter::GetVoltage() const {
  return ReadWord(kVoltageRegister);
}

}  // namespace vorta
