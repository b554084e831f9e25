#include "app/vorta-sim/SimConverter.h"

namespace vorta::sim {

TSimConverter::TSimConverter(TLineFaults faults, std::uint32_t seed)
    : faults_(faults), random_(seed) {}

void TSimConverter::FromLine(const std::uint8_t* data, std::size_t size,
                             const std::function<void(const TCANFrame&)>& toBus) {
  reader_.Feed(data, size, [&](TUsbPayloadView payload) {
    if (payload[0] == kUsbSetParameter) {
      parameter_ = payload[kUsbFrameOffset];
    } else if (const auto frame = SendFrameOf(payload)) {
      ++framesIn_;
      if (toBus) toBus(*frame);
    }
  });
}

std::vector<QByteArray> TSimConverter::ToLine(const TCANFrame& frame) {
  const std::uint64_t n = ++framesOut_;
  TUsbPacket packet = BuildPacket(ReceivedFramePayload(frame));
  if (Due(faults_.BadCrcEvery, n)) packet[kUsbPacketSize - 1] ^= 0xA5;

  QByteArray bytes;
  if (Due(faults_.GarbageEvery, n)) {
    const int count = std::uniform_int_distribution<int>(1, 8)(random_);
    for (int i = 0; i < count; ++i) {
      bytes.append(static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random_)));
    }
  }
  bytes.append(reinterpret_cast<const char*>(packet.data()), packet.size());
  if (!Due(faults_.SplitEvery, n)) return {bytes};
  const auto cut = std::uniform_int_distribution<qsizetype>(1, bytes.size() - 1)(random_);
  return {bytes.left(cut), bytes.mid(cut)};
}

}  // namespace vorta::sim
