// The device base: register image filled by received frames, link state, and
// the small frames every device sends.

#include "devices/CANDevice.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "platform/TimerService.h"

namespace vorta {

TCANDevice::TCANDevice(TTimerService& time) : Time(time) {}

void TCANDevice::Receive(TCANFrame& frame) {
  LastReceiveMs = Time.MonotonicMs();
  // 64-bit so that a base near the top of the identifier space cannot wrap.
  const std::int64_t id = frame.Id;
  const std::int64_t base = DeviceUID;
  if (id < base || id >= base + BusRange) {
    return;
  }
  // A remote request carries no data (its Len is the count asked for): storing
  // its bytes would overwrite live readings with zeros.
  if ((frame.Flags & kFlagRemote) != 0) {
    return;
  }
  // A frame is untrusted: take at most eight bytes, and only what fits in
  // the image from its offset on (offset 249 with Len 8 stores 7 bytes).
  const std::size_t offset = frame.Id & 0xFFU;
  const auto len = std::min<std::size_t>(
      {static_cast<std::size_t>(frame.Len), sizeof(frame.Data), Regs.size() - offset});
  std::copy_n(frame.Data, len, Regs.begin() + static_cast<std::ptrdiff_t>(offset));
}

bool TCANDevice::LinkOK() const {
  // On the monotonic clock: a change of daylight saving or a clock set by
  // hand is no silence. Exactly LinkTimeout seconds counts as lost.
  if (!LastReceiveMs) return false;
  return Time.MonotonicMs() - *LastReceiveMs < std::int64_t{LinkTimeout} * 1000;
}

void TCANDevice::RequestRegisters(std::uint32_t offset, std::uint8_t count) {
  TCANFrame frame;
  frame.Id = static_cast<std::uint32_t>(DeviceUID) + offset;
  frame.Flags = kFlagRemote;
  frame.Len = count;
  SendFrame(frame);
}

std::uint16_t TCANDevice::ReadWord(int k) const {
  if (k < 0 || k >= static_cast<int>(Regs.size() / 2)) {
    return 0;
  }
  const auto i = static_cast<std::size_t>(k) * 2;
  return static_cast<std::uint16_t>(Regs[i] | (Regs[i + 1] << 8));
}

void TCANDevice::WriteByte(std::uint32_t offset, std::uint8_t value) {
  TCANFrame frame;
  frame.Id = static_cast<std::uint32_t>(DeviceUID) + offset;
  frame.Len = 1;
  frame.Data[0] = value;
  SendFrame(frame);
}

void TCANDevice::WriteWord(std::uint32_t offset, std::uint16_t value) {
  TCANFrame frame;
  frame.Id = static_cast<std::uint32_t>(DeviceUID) + offset;
  frame.Len = 2;
  frame.Data[0] = static_cast<std::uint8_t>(value & 0xFFU);
  frame.Data[1] = static_cast<std::uint8_t>(value >> 8);
  SendFrame(frame);
}

void TCANDevice::WriteRegister(int k, std::uint16_t value) {
  WriteWord(static_cast<std::uint32_t>(k) * 2U, value);
}

void TCANDevice::SendFrame(TCANFrame& frame) {
  if (Ext) {
    frame.Flags |= kFlagExtended;
  } else {
    frame.Flags &= static_cast<std::uint8_t>(~kFlagExtended);
    frame.Id &= 0x7FFU;
  }
  if (OnSend) {
    OnSend(frame);
  }
}

void TCANDevice::NextPoll() {
  // Wraps instead of overflowing; the three-step cycle only restarts.
  PollCount = PollCount == std::numeric_limits<std::int32_t>::max() ? 0 : PollCount + 1;
}

}  // namespace vorta
