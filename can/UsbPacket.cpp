#include "can/UsbPacket.h"

#include <algorithm>

namespace vorta {

namespace {

TUsbPayload FramePayload(std::uint8_t type, const TCANFrame& frame) {
  TUsbPayload payload{};
  payload[0] = type;
  PutFrame(frame, payload.data() + kUsbFrameOffset);
  return payload;
}

}  // namespace

void PutFrame(const TCANFrame& frame, std::uint8_t* out14) {
  out14[0] = static_cast<std::uint8_t>(frame.Id);
  out14[1] = static_cast<std::uint8_t>(frame.Id >> 8);
  out14[2] = static_cast<std::uint8_t>(frame.Id >> 16);
  out14[3] = static_cast<std::uint8_t>(frame.Id >> 24);
  out14[4] = frame.Flags;
  out14[5] = frame.Len;
  std::memcpy(out14 + 6, frame.Data, sizeof frame.Data);
}

TCANFrame GetFrame(const std::uint8_t* in14) {
  TCANFrame frame;
  frame.Id = static_cast<std::uint32_t>(in14[0]) | static_cast<std::uint32_t>(in14[1]) << 8 |
             static_cast<std::uint32_t>(in14[2]) << 16 | static_cast<std::uint32_t>(in14[3]) << 24;
  frame.Flags = in14[4];
  frame.Len = in14[5];
  std::memcpy(frame.Data, in14 + 6, sizeof frame.Data);
  return frame;
}

TUsbPayload SendFramePayload(const TCANFrame& frame) {
  return FramePayload(kUsbSendFrame, frame);
}

TUsbPayload SetParameterPayload(std::int32_t value) {
  TUsbPayload payload{};
  payload[0] = kUsbSetParameter;
  payload[kUsbFrameOffset] = static_cast<std::uint8_t>(value);
  return payload;
}

TUsbPayload ReceivedFramePayload(const TCANFrame& frame) {
  TUsbPayload payload = FramePayload(kUsbReceivedFrame, frame);
  payload[1] = 1;
  return payload;
}

TUsbPacket BuildPacket(const TUsbPayload& payload) {
  TUsbPacket packet{};
  packet[0] = kUsbSync;
  std::copy(payload.begin(), payload.end(), packet.begin() + 1);
  const std::uint16_t crc = Crc16(payload.data(), payload.size());
  packet[kUsbPacketSize - 2] = static_cast<std::uint8_t>(crc & 0xFF);
  packet[kUsbPacketSize - 1] = static_cast<std::uint8_t>(crc >> 8);
  return packet;
}

std::optional<TCANFrame> ReceivedFrameOf(TUsbPayloadView payload) {
  if (payload[0] != kUsbReceivedFrame || payload[1] != 1) return std::nullopt;
  TCANFrame frame = GetFrame(payload.data() + kUsbFrameOffset);
  if ((frame.Flags & kFlagExtended) == 0) frame.Id &= 0x7FFU;
  // Devices copy Len bytes out of Data: a corrupt length must not take them
  // past the eight bytes a frame has.
  frame.Len = std::min<std::uint8_t>(frame.Len, 8);
  return frame;
}

std::optional<TCANFrame> SendFrameOf(TUsbPayloadView payload) {
  if (payload[0] != kUsbSendFrame) return std::nullopt;
  return GetFrame(payload.data() + kUsbFrameOffset);
}

}  // namespace vorta
