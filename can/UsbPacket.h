#pragma once
// The USB-CAN converter's serial packets: 22 bytes, a sync byte 0x55, a
// 19-byte payload and its CRC-16 low byte first. Pure functions and an
// incremental reader, no I/O: the adapter, the converter behind vorta-sim,
// the fuzzer and the benchmark all use the same code.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "can/CANAdapter.h"
#include "can/Crc16.h"

namespace vorta {

inline constexpr std::size_t kUsbPacketSize = 22;
inline constexpr std::size_t kUsbPayloadSize = 19;
// What follows the sync byte: payload and CRC.
inline constexpr std::size_t kUsbBodySize = kUsbPacketSize - 1;
inline constexpr std::uint8_t kUsbSync = 0x55;
// Offset of the frame record (or the parameter byte) within the payload.
inline constexpr std::size_t kUsbFrameOffset = 5;

// Payload types: 5 and 3 go to the converter, 6 comes from it.
enum : std::uint8_t {
  kUsbSetParameter = 3,
  kUsbSendFrame = 5,
  kUsbReceivedFrame = 6,
};

using TUsbPayload = std::array<std::uint8_t, kUsbPayloadSize>;
using TUsbPacket = std::array<std::uint8_t, kUsbPacketSize>;
using TUsbPayloadView = std::span<const std::uint8_t, kUsbPayloadSize>;

// The 14-byte wire record of a frame (identifier little-endian) and back.
void PutFrame(const TCANFrame& frame, std::uint8_t* out14);
TCANFrame GetFrame(const std::uint8_t* in14);

TUsbPayload SendFramePayload(const TCANFrame& frame);
// Only the low byte of the parameter travels.
TUsbPayload SetParameterPayload(std::int32_t value);
// The converter's side: a frame it received from the bus.
TUsbPayload ReceivedFramePayload(const TCANFrame& frame);

// Sync byte, payload, CRC of the payload low byte first.
TUsbPacket BuildPacket(const TUsbPayload& payload);

// A checked payload of type 6 with second byte 1 as the frame the bus gets:
// a standard identifier is cut to 11 bits, the length to 8 bytes. Any other
// payload gives nothing.
std::optional<TCANFrame> ReceivedFrameOf(TUsbPayloadView payload);
// The converter's side: the frame of a type-5 payload, as sent.
std::optional<TCANFrame> SendFrameOf(TUsbPayloadView payload);

// Reassembles packets from a byte stream delivered in pieces of any size.
// Outside a packet it skips a byte at a time until the sync byte; then it
// takes the next 21 bytes whatever they hold. A packet whose CRC fails is
// dropped whole: its bytes are not searched for another sync byte.
class TUsbPacketReader {
 public:
  // Calls onPayload(TUsbPayloadView) for every packet whose CRC checks, in
  // stream order. Returns the number of such packets.
  template <class F>
  std::size_t Feed(const std::uint8_t* data, std::size_t size, F&& onPayload);

  // Packets dropped for a bad CRC, and bytes skipped while looking for sync.
  [[nodiscard]] std::uint64_t BadPackets() const { return badPackets_; }
  [[nodiscard]] std::uint64_t SkippedBytes() const { return skippedBytes_; }
  // Forgets a partly received packet (the line was reopened).
  void Reset() {
    have_ = 0;
    inPacket_ = false;
  }

 private:
  std::array<std::uint8_t, kUsbBodySize> body_{};
  std::size_t have_ = 0;
  bool inPacket_ = false;
  std::uint64_t badPackets_ = 0;
  std::uint64_t skippedBytes_ = 0;
};

// True when the CRC in the last two bytes matches the 19 before them.
inline bool PacketBodyValid(const std::uint8_t* body) {
  const std::uint16_t crc = Crc16(body, kUsbPayloadSize);
  return body[kUsbPayloadSize] == (crc & 0xFF) && body[kUsbPayloadSize + 1] == (crc >> 8);
}

template <class F>
std::size_t TUsbPacketReader::Feed(const std::uint8_t* data, std::size_t size, F&& onPayload) {
  std::size_t packets = 0;
  std::size_t pos = 0;
  while (pos < size) {
    if (!inPacket_) {
      const void* sync = std::memchr(data + pos, kUsbSync, size - pos);
      if (sync == nullptr) {
        skippedBytes_ += size - pos;
        return packets;
      }
      const auto at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(sync) - data);
      skippedBytes_ += at - pos;
      pos = at + 1;
      inPacket_ = true;
      have_ = 0;
      continue;
    }
    const std::size_t take = std::min(kUsbBodySize - have_, size - pos);
    std::memcpy(body_.data() + have_, data + pos, take);
    have_ += take;
    pos += take;
    if (have_ < kUsbBodySize) break;
    inPacket_ = false;
    have_ = 0;
    if (PacketBodyValid(body_.data())) {
      ++packets;
      onPayload(TUsbPayloadView(body_.data(), kUsbPayloadSize));
    } else {
      ++badPackets_;
    }
  }
  return packets;
}

}  // namespace vorta
