#pragma once
// The one CAN frame record the whole system passes around, and the abstract
// adapter through which the bus is opened, frames are sent and received.

#include <QString>
#include <cstdint>
#include <functional>

namespace vorta {

#pragma pack(push, 1)
struct TCANFrame {
  std::uint32_t Id = 0;    // 11 bits standard, 29 bits extended (little-endian)
  std::uint8_t Flags = 0;  // 0x80 extended identifier, 0x40 remote request
  std::uint8_t Len = 0;    // 0..8; in a remote request the bytes asked for
  std::uint8_t Data[8] = {};
};
#pragma pack(pop)
static_assert(sizeof(TCANFrame) == 14, "TCANFrame is a 14-byte wire record");

inline constexpr std::uint8_t kFlagExtended = 0x80;
inline constexpr std::uint8_t kFlagRemote = 0x40;

// "Address: 0123-> 01 A0 " with "(RTR EID )" when flags are set.
QString FrameText(const TCANFrame& frame);

class TCANAdapter {
 public:
  using TLogHook = std::function<void(const QString&)>;
  using TFrameHandler = std::function<void(TCANFrame&)>;
  // direction: 0 received, 1 sent
  using TFrameHook = std::function<void(TCANFrame&, std::uint8_t direction)>;

  TCANAdapter() = default;
  virtual ~TCANAdapter() = default;
  TCANAdapter(const TCANAdapter&) = delete;
  TCANAdapter& operator=(const TCANAdapter&) = delete;

  TLogHook OnLog;
  TFrameHook OnFrame;

  [[nodiscard]] bool Active() const { return active_; }
  [[nodiscard]] std::int32_t Parameter() const { return parameter_; }

  // Virtual operations, in the adapters' slot order.
  virtual std::int32_t GetState() { return 0; }
  // Opens (true) or closes (false) the channel; the base only stores it.
  virtual void SetActive(bool value) { active_ = value; }
  virtual void SetParameter(std::int32_t value) { parameter_ = value; }
  virtual void Idle() {}
  // The received-frame path: frame hook, frame handler, log line.
  virtual void Receive(TCANFrame& frame);
  // Sent-frame bookkeeping; a concrete adapter calls this, then transmits.
  virtual void Send(TCANFrame& frame);

  void SetOnReceive(TFrameHandler handler) { onReceive_ = std::move(handler); }

 protected:
  // For concrete adapters: the open state they reached.
  void SetActiveState(bool value) { active_ = value; }
  [[nodiscard]] const TFrameHandler& OnReceive() const { return onReceive_; }

 private:
  bool active_ = false;
  TFrameHandler onReceive_;
  std::int32_t parameter_ = 0;
};

}  // namespace vorta
