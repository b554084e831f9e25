#include "sim/SimDevice.h"

#include <algorithm>

namespace vorta::sim {

namespace {
constexpr std::uint32_t kExtMask = 0x1FFFFFFF;
constexpr std::uint32_t kStdMask = 0x7FF;
}  // namespace

TSimDevice::TSimDevice(QString name, std::uint32_t deviceUid, bool ext, bool active)
    : name_(std::move(name)), uid_(deviceUid), ext_(ext), active_(active) {}

std::uint16_t TSimDevice::Word(int reg) const {
  return static_cast<std::uint16_t>(regs_.at(2 * static_cast<std::size_t>(reg)) |
                                    (regs_.at(2 * static_cast<std::size_t>(reg) + 1) << 8));
}

void TSimDevice::SetWord(int reg, std::uint16_t value) {
  const auto at = 2 * static_cast<std::size_t>(reg);
  regs_.at(at) = static_cast<std::uint8_t>(value & 0xFF);
  regs_.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

int TSimDevice::OffsetOf(const TCANFrame& frame) const {
  // Standard and extended identifiers are different addresses on the bus.
  const bool frameExt = (frame.Flags & kFlagExtended) != 0;
  if (frameExt != ext_) {
    return -1;
  }
  const std::uint32_t mask = ext_ ? kExtMask : kStdMask;
  const std::uint32_t offset = ((frame.Id & mask) - (uid_ & mask)) & mask;
  return offset < 256 ? static_cast<int>(offset) : -1;
}

bool TSimDevice::HandleFrame(const TCANFrame& frame) {
  if (silent_) {
    return false;
  }
  const int offset = OffsetOf(frame);
  if (offset < 0) {
    return false;
  }
  const int len = std::min<int>(frame.Len, 8);
  if (frame.Flags & kFlagRemote) {
    Send(offset, len);
    return true;
  }
  const int stored = std::min(len, 256 - offset);
  if (StoresWrite(offset)) {
    std::copy_n(frame.Data, stored, regs_.begin() + offset);
  }
  OnWrite(offset, frame.Data, stored);
  return true;
}

void TSimDevice::Send(int offset, int len) {
  if (!OnSend) {
    return;
  }
  TCANFrame reply;
  const std::uint32_t mask = ext_ ? kExtMask : kStdMask;
  reply.Id = (uid_ + static_cast<std::uint32_t>(offset)) & mask;
  reply.Flags = ext_ ? kFlagExtended : 0;
  reply.Len = static_cast<std::uint8_t>(len);
  for (int i = 0; i < len && offset + i < 256; ++i) {
    reply.Data[i] = regs_[offset + i];
  }
  OnSend(reply);
}

void TSimDevice::SendLive() {
  if (silent_) {
    return;
  }
  for (const auto& [offset, len] : LiveBlocks()) {
    Send(offset, len);
  }
}

}  // namespace vorta::sim
