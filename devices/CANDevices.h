#pragma once
// CAN devices: the register-image base, the bus table, the I/O module and the
// stirrer drives. Devices never talk to the adapter: every outgoing frame goes
// to OnSend (the frame queue).

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

  // time: the clock for LastReceive/LinkOK (and WaitMs of the drives).
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
  double LastReceive = 0;
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

class TCANBus {
 public:
  static constexpr int kCapacity = 21;

  // False (and the device is not taken) when the table is full.
  bool Add(TCANDevice* device);
  void Dispatch(TCANFrame& frame);
  // The first device whose Name equals name exactly (case counts), or null.
  [[nodiscard]] TCANDevice* FindByName(const QString& name) const;

  std::array<TCANDevice*, kCapacity> Devices{};
  std::int32_t Count = 0;
};

class TIoModule final : public TCANDevice {
 public:
  static constexpr int AnalogCount = 8;
  using TCANDevice::TCANDevice;

  void Poll() override;
  // Raw converter code of input i (0..7); 4096 for any other i.
  [[nodiscard]] std::int16_t GetAnalog(int i) const;
  [[nodiscard]] bool GetFoamInput() const;
  void SetOutputs(std::uint16_t word);
  void SetOutputByte(int k, std::uint8_t value);
};

class TCANMixer : public TCANDevice {
 public:
  using TCANDevice::TCANDevice;

  [[nodiscard]] virtual std::int32_t GetSpeed() const = 0;
  virtual void SetSpeed(std::int32_t rpm) = 0;
  [[nodiscard]] virtual std::uint16_t GetStatus() const = 0;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  // Motor current, mA.
  [[nodiscard]] virtual std::uint16_t GetCurrent() const = 0;
  // Drive temperature, °C; nothing from a drive that does not report it.
  [[nodiscard]] virtual std::optional<std::uint16_t> GetTemperature() const { return {}; }
  // Output voltage, V; nothing from a drive that does not report it.
  [[nodiscard]] virtual std::optional<std::uint16_t> GetVoltage() const { return {}; }
  // Whether the status word's bits have the meanings the status window
  // spells out; otherwise it is shown as a number only.
  [[nodiscard]] virtual bool StatusBitsKnown() const { return false; }
  // Whether the drive has the parameter registers the drive window edits
  // (DriveParamPages).
  [[nodiscard]] virtual bool HasParameterRegisters() const { return false; }
};

class TMixerDC final : public TCANMixer {
 public:
  using TCANMixer::TCANMixer;

  void ReadAll() override;
  void Poll() override;
  [[nodiscard]] std::int32_t GetSpeed() const override;
  void SetSpeed(std::int32_t rpm) override;
  [[nodiscard]] std::uint16_t GetStatus() const override;
  void Start() override;
  void Stop() override;
  [[nodiscard]] std::uint16_t GetCurrent() const override;
  [[nodiscard]] std::optional<std::uint16_t> GetTemperature() const override;
  [[nodiscard]] bool StatusBitsKnown() const override { return true; }
  [[nodiscard]] bool HasParameterRegisters() const override { return true; }
};

class TMixerInverter final : public TCANMixer {
 public:
  using TCANMixer::TCANMixer;

  void SetMaxRpm(std::int32_t v);
  void ReadAll() override;
  void Poll() override;
  [[nodiscard]] std::int32_t GetSpeed() const override;
  void SetSpeed(std::int32_t rpm) override;
  [[nodiscard]] std::uint16_t GetStatus() const override;
  void Start() override;
  void Stop() override;
  [[nodiscard]] std::uint16_t GetCurrent() const override;
  [[nodiscard]] std::optional<std::uint16_t> GetVoltage() const override;

  std::int32_t MaxRpm = 0;
};

}  // namespace vorta
