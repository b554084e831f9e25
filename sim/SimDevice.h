#pragma once
// A CAN device seen from its own side: a 256-byte register image addressed at
// DeviceUID + offset. A remote request is answered with a data frame of the
// asked length read from the image at that offset; a data frame is a write
// into the image, which the concrete device then acts on.

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "can/CANAdapter.h"

namespace vorta::sim {

class TSimDevice {
 public:
  using TSendHook = std::function<void(const TCANFrame&)>;
  // Plant time in ms; devices that time their outputs read it on a write.
  using TClock = std::function<std::int64_t()>;

  TSimDevice(QString name, std::uint32_t deviceUid, bool ext, bool active);
  virtual ~TSimDevice() = default;
  TSimDevice(const TSimDevice&) = delete;
  TSimDevice& operator=(const TSimDevice&) = delete;

  [[nodiscard]] const QString& Name() const { return name_; }
  [[nodiscard]] std::uint32_t DeviceUID() const { return uid_; }
  [[nodiscard]] bool Ext() const { return ext_; }
  // Active: sends its live registers by itself every second.
  [[nodiscard]] bool Active() const { return active_; }

  // Takes a frame from the bus. False when it is not addressed to this
  // device (or the device is silent). A reply goes out through OnSend
  // before this returns.
  bool HandleFrame(const TCANFrame& frame);
  // Advances the device's own dynamics (drive ramps, ...) by dt seconds.
  virtual void Step(double /*dtSeconds*/) {}
  // Sends the live register blocks (what an active device sends each second).
  void SendLive();

  // Fault: off the bus, neither answering nor sending; its outputs keep
  // their last state.
  void SetSilent(bool silent) { silent_ = silent; }
  [[nodiscard]] bool Silent() const { return silent_; }

  [[nodiscard]] std::uint8_t Byte(int offset) const { return regs_.at(offset); }
  // Register k: bytes 2k (low) and 2k+1 (high).
  [[nodiscard]] std::uint16_t Word(int reg) const;
  void SetWord(int reg, std::uint16_t value);
  void SetByte(int offset, std::uint8_t value) { regs_.at(offset) = value; }

  TSendHook OnSend;
  TClock Clock;

 protected:
  // Offset and length of each block sent by SendLive.
  [[nodiscard]] virtual std::vector<std::pair<int, int>> LiveBlocks() const = 0;
  // A write of len bytes at offset. The base has already stored them unless
  // StoresWrite said otherwise.
  virtual void OnWrite(int /*offset*/, const std::uint8_t* /*data*/, int /*len*/) {}
  // False for command locations that are not memory.
  [[nodiscard]] virtual bool StoresWrite(int /*offset*/) const { return true; }
  [[nodiscard]] std::int64_t NowMs() const { return Clock ? Clock() : 0; }

  std::array<std::uint8_t, 256> regs_{};

 private:
  // Offset of the identifier inside this device's block, or -1.
  [[nodiscard]] int OffsetOf(const TCANFrame& frame) const;
  void Send(int offset, int len);

  QString name_;
  std::uint32_t uid_;
  bool ext_;
  bool active_;
  bool silent_ = false;
};

}  // namespace vorta::sim
