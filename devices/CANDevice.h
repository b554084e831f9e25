#pragma once
// The CAN device base: the register image that received frames fill, the link
// state, and the small frames every device sends. Devices never talk to the
// adapter: every outgoing frame goes to OnSend (the frame queue).

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "can/CANAdapter.h"

namespace vorta {

class TTimerService;

class TCANDevice {
 public:
  using TSendHook = std::function<void(TCANFrame&)>;

  // time: the clock for LastReceiveMs/LinkOK (and WaitMs of the drives).
  explicit TCANDevice(TTimerService& time);
  virtual ~TCANDevice() = default;
  TCANDevice(const TCANDevice&) = delete;
  TCANDevice& operator=(const TCANDevice&) = delete;

  // Virtual operations, in slot order.
  virtual void Receive(TCANFrame& frame);
  virtual void ReadAll() {}
  virtual void Poll() {}

  [[nodiscard]] bool LinkOK() const;
  void RequestRegisters(std::uint32_t offset, std::uint8_t count);
  [[nodiscard]] std::uint16_t ReadWord(int k) const;
  void WriteByte(std::uint32_t offset, std::uint8_t value);
  void WriteWord(std::uint32_t offset, std::uint16_t value);
  void WriteRegister(int k, std::uint16_t value);
  void SendFrame(TCANFrame& frame);
  void SetOnSend(TSendHook hook) { OnSend = std::move(hook); }

  std::int32_t PollCount = 0;
  TSendHook OnSend;
  // The monotonic clock's ms at the last frame; none before the first.
  std::optional<std::int64_t> LastReceiveMs;
  std::array<std::uint8_t, 256> Regs{};
  std::int32_t BusRange = 255;
  std::int32_t LinkTimeout = 10;
  QString Name;
  QString Caption;
  std::int32_t DeviceUID = 0;
  bool Ext = true;
  bool Active = false;

 protected:
  // PollCount + 1, wrapping to 0 instead of overflowing.
  void NextPoll();

  TTimerService& Time;
};

}  // namespace vorta
