#pragma once
// The communication data module: owns the one adapter, the bus with its
// devices and the outgoing frame queue, builds them from "VortaCAN.ini", and
// keeps the bus alive with three timers (the 20 ms pacer, the heartbeat that
// polls passive devices, the reconnect of a closed adapter).

#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "can/AdapterFactory.h"
#include "can/CANAdapter.h"
#include "can/FrameQueue.h"
#include "devices/CANBus.h"
#include "devices/CANDevice.h"

namespace vorta {

class TConfigReader;
class TProfileFile;
class TTimer;
class TTimerService;

class TCANService {
 public:
  // One line per device entry the loader skipped or refused.
  using TReportHook = std::function<void(const QString&)>;

  static constexpr int kPacerMs = 20;
  // A backlog leaves within kDrainTicks ticks (100 ms), at no more than
  // kMaxFramesPerTick per tick: 250 frames/s, under a quarter of a
  // 125 kbit/s bus. A short queue still leaves one frame per tick.
  static constexpr std::size_t kDrainTicks = 5;
  static constexpr std::size_t kMaxFramesPerTick = 5;
  static constexpr int kHeartMs = 1000;
  static constexpr int kReconnectMs = 10000;

  // The factory is copied: it only has to be complete when the module is
  // made. PacerTimer and HeartbeatTimer run from here on (on an empty bus).
  TCANService(TTimerService& time, TAdapterFactory factory, TReportHook report = {});
  ~TCANService();
  TCANService(const TCANService&) = delete;
  TCANService& operator=(const TCANService&) = delete;

  // Creates and opens the adapter and builds the device table. Configured()
  // tells whether it ran to its end (false: missing or unknown adapter type;
  // start-up then shows "Ошибка конфигурирования."). A second call starts
  // over: the devices of the first are freed.
  void LoadConfig(TProfileFile& ini);
  // The CAN configuration is never changed by the program: writes nothing.
  void SaveConfig(TProfileFile& ini);
  [[nodiscard]] bool Configured() const { return configured_; }

  // Enables HeartbeatTimer then ReconnectTimer, only when configured.
  void StartTimers();
  // Disables HeartbeatTimer then ReconnectTimer; PacerTimer keeps running.
  void StopTimers();

  // The adapter's frame handler: dispatches by identifier to the devices;
  // ignores frames once the devices are being freed.
  void HandleFrame(TCANFrame& frame);

  // Timer handlers (also called directly by tests).
  void OnPacerTimer();
  void OnHeartbeatTimer();
  void OnReconnectTimer();

  [[nodiscard]] TTimer& PacerTimer() { return *pacerTimer_; }
  [[nodiscard]] TTimer& HeartbeatTimer() { return *heartbeatTimer_; }
  [[nodiscard]] TTimer& ReconnectTimer() { return *reconnectTimer_; }

  // Null until LoadConfig found a known adapter type.
  [[nodiscard]] TCANAdapter* Adapter() { return adapter_.get(); }
  [[nodiscard]] TCANBus& Bus() { return bus_; }
  [[nodiscard]] TFrameQueue& FrameQueue() { return queue_; }

 private:
  void Reset();
  // Closes and frees the adapter first, so that nothing it still delivers
  // (a frame its receive thread was handing over) reaches freed devices.
  void ReleaseAdapter();
  void LoadDevices(const TProfileFile& ini, TConfigReader& numbers);
  // A device of the named type with its type's own keys of section read; none
  // for an unknown type.
  [[nodiscard]] std::unique_ptr<TCANDevice> CreateDevice(const QString& type,
                                                         TConfigReader& numbers,
                                                         const QString& section);
  // Reads the device's identifier and range; false (the device is refused)
  // when they cannot address it on the bus.
  [[nodiscard]] static bool ReadAddress(TCANDevice& device, const TProfileFile& ini,
                                        TConfigReader& numbers, const QString& section);
  void Report(const QString& text) const;

  TTimerService& time_;
  TAdapterFactory factory_;
  TReportHook report_;
  bool configured_ = false;
  bool releasing_ = false;  // the bus and devices are being freed
  std::size_t pace_ = 1;    // frames per PacerTimer tick while a backlog lasts

  // Declaration order is the reverse of destruction: the timers go first,
  // then the queue, the bus (with the devices it refers to) and the adapter;
  // the destructor has closed and freed the adapter before all of them.
  std::unique_ptr<TCANAdapter> adapter_;
  std::vector<std::unique_ptr<TCANDevice>> devices_;
  TCANBus bus_;
  TFrameQueue queue_;
  std::unique_ptr<TTimer> reconnectTimer_;
  std::unique_ptr<TTimer> heartbeatTimer_;
  std::unique_ptr<TTimer> pacerTimer_;
};

}  // namespace vorta
