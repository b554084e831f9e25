// Arbitrary byte streams, cut into arbitrary reads, through the packet reader
// the USB receive thread uses. The first bytes choose the read sizes. Besides
// the sanitizers, it checks that the cut never changes what is delivered and
// that every delivered frame is one the bus may get.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "can/UsbPacket.h"

namespace {

using namespace vorta;

std::vector<TCANFrame> Read(const std::uint8_t* data, std::size_t size, const std::uint8_t* cuts,
                            std::size_t cutCount) {
  TUsbPacketReader reader;
  std::vector<TCANFrame> frames;
  std::size_t pos = 0;
  for (std::size_t i = 0; pos < size; ++i) {
    std::size_t piece = cutCount == 0 ? size : cuts[i % cutCount] % 48 + 1;
    if (piece > size - pos) piece = size - pos;
    reader.Feed(data + pos, piece, [&](TUsbPayloadView payload) {
      if (const auto f = ReceivedFrameOf(payload)) frames.push_back(*f);
    });
    pos += piece;
  }
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t cutCount = data[0] % 8;
  if (size < 1 + cutCount) return 0;
  const std::uint8_t* cuts = data + 1;
  const std::uint8_t* stream = data + 1 + cutCount;
  const std::size_t streamSize = size - 1 - cutCount;

  const std::vector<TCANFrame> whole = Read(stream, streamSize, nullptr, 0);
  const std::vector<TCANFrame> pieces = Read(stream, streamSize, cuts, cutCount);
  if (whole.size() != pieces.size()) std::abort();
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (std::memcmp(&whole[i], &pieces[i], sizeof(TCANFrame)) != 0) std::abort();
    const TCANFrame& f = whole[i];
    if (f.Len > 8) std::abort();
    if ((f.Flags & kFlagExtended) == 0 && f.Id > 0x7FF) std::abort();
    // What the converter would send for this frame reads back as the same.
    const TUsbPacket again = BuildPacket(ReceivedFramePayload(f));
    const std::vector<TCANFrame> echo = Read(again.data(), again.size(), nullptr, 0);
    if (echo.size() != 1 || std::memcmp(&echo[0], &f, sizeof f) != 0) std::abort();
  }
  return 0;
}
