#pragma once
// Creates the CAN adapter named by "CANAdapter"/"Type" in the CAN
// configuration. Each concrete adapter registers a creator under its exact
// type name, so the bus service never names a concrete adapter and tests can
// put a fake behind the same name.
//
// How an adapter plugs in:
//
//   // can/UsbCanAdapter.cpp (for example)
//   void RegisterUsbCanAdapter(TAdapterFactory& factory) {
//     factory.Register(QStringLiteral("QTR4"), [](const TAdapterConfig& config) {
//       auto adapter = std::make_unique<TUsbCanAdapter>(config.Time);
//       adapter->SetDeviceNum(config.DeviceNum);
//       adapter->SetPort(config.Ini.ReadString("CANAdapter", "Port", {}));
//       return adapter;
//     });
//   }
//
// and adds one call to RegisterStandardAdapters() (can/AdapterFactory.cpp).
// The program builds one factory at start-up with RegisterStandardAdapters()
// and hands it to TCANService, which asks it once per LoadConfig.
//
// The creator only constructs: TCANService opens the channel with SetActive(true)
// right after, and a failed open is retried by the reconnect timer. A creator
// may return null when it cannot construct at all; LoadConfig then fails as
// for an unknown type.

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "can/CANAdapter.h"

namespace vorta {

class TProfileFile;
class TTimerService;

// What a creator may use. The references are valid only during the call:
// copy what the adapter keeps (a receive thread must not read the file).
struct TAdapterConfig {
  // The opened "VortaCAN.ini", for keys of the adapter's own in "CANAdapter"
  // (the USB adapter's "Port", for example).
  const TProfileFile& Ini;
  TTimerService& Time;
  // "CANAdapter"/"DeviceNum" (default 0): index of the USB device to open.
  std::int32_t DeviceNum = 0;
};

using TAdapterCreator = std::function<std::unique_ptr<TCANAdapter>(const TAdapterConfig&)>;

class TAdapterFactory {
 public:
  // The type names of the configuration.
  static inline const QString kChaiType = QStringLiteral("Marathon");
  static inline const QString kUsbType = QStringLiteral("QTR4");

  // type is matched exactly (letter case counts). A second registration
  // under the same name replaces the first (tests put a fake in place).
  void Register(const QString& type, TAdapterCreator creator);
  [[nodiscard]] bool Has(const QString& type) const;
  // Null for an empty or unregistered type.
  [[nodiscard]] std::unique_ptr<TCANAdapter> Create(const QString& type,
                                                    const TAdapterConfig& config) const;

 private:
  std::map<QString, TAdapterCreator> creators_;
};

// Registers every adapter this program is built with.
void RegisterStandardAdapters(TAdapterFactory& factory);

}  // namespace vorta
