#pragma once
// The USB-CAN converter's firmware as vorta-sim plays it, without I/O: bytes
// from the line become frames for the bus, frames from the bus become bytes
// for the line, with the line faults a test asks for.

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "can/UsbPacket.h"

namespace vorta::sim {

struct TLineFaults {
  // Every n-th packet to the controller (0: never) ...
  int GarbageEvery = 0;  // ... is preceded by 1..8 random bytes (0x55 among them)
  int BadCrcEvery = 0;   // ... carries a wrong CRC
  int SplitEvery = 0;    // ... goes out in two writes
};

class TSimConverter {
 public:
  explicit TSimConverter(TLineFaults faults = {}, std::uint32_t seed = 1);

  // Bytes the controller wrote: type-5 packets go to toBus, type 3 sets the
  // parameter; anything else is dropped as the controller's reader drops it.
  void FromLine(const std::uint8_t* data, std::size_t size,
                const std::function<void(const TCANFrame&)>& toBus);

  // A frame from the bus as type-6 packet bytes, in one chunk, or two when
  // this packet is to be split (write them apart).
  std::vector<QByteArray> ToLine(const TCANFrame& frame);

  // The last parameter the controller set (its low byte); -1 before any.
  [[nodiscard]] int Parameter() const { return parameter_; }
  [[nodiscard]] std::uint64_t FramesIn() const { return framesIn_; }
  [[nodiscard]] std::uint64_t FramesOut() const { return framesOut_; }
  [[nodiscard]] std::uint64_t BadPacketsIn() const { return reader_.BadPackets(); }
  // A new line starts without a partial packet.
  void Reset() { reader_.Reset(); }

 private:
  static bool Due(int every, std::uint64_t n) { return every > 0 && n % every == 0; }

  TLineFaults faults_;
  std::mt19937 random_;
  TUsbPacketReader reader_;
  int parameter_ = -1;
  std::uint64_t framesIn_ = 0;
  std::uint64_t framesOut_ = 0;
};

}  // namespace vorta::sim
