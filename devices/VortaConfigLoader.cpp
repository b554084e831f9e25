// Builds the adapter and the device table from "VortaCAN.ini". Type names
// compare exactly; "CANAdr" and "Active" compare without letter case.

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <limits>
#include <optional>

#include "devices/CANService.h"
#include "platform/ProfileFile.h"

namespace vorta {

namespace {

const QString kAdapterSection = QStringLiteral("CANAdapter");
const QString kDevicesSection = QStringLiteral("CANDevices");

// The index i of a key "Name<i>" as the loader would build it: decimal,
// without leading zeros. Letter case is ignored like every key name.
std::optional<std::int32_t> EntryIndex(const QString& key) {
  const QString prefix = QStringLiteral("Name");
  if (!key.startsWith(prefix, Qt::CaseInsensitive)) {
    return std::nullopt;
  }
  const QStringView digits = QStringView(key).mid(prefix.size());
  if (digits.isEmpty() || digits.size() > 10) {
    return std::nullopt;
  }
  if (digits.size() > 1 && digits.front() == u'0') {
    return std::nullopt;
  }
  std::int64_t value = 0;
  for (const QChar c : digits) {
    if (c < u'0' || c > u'9') {
      return std::nullopt;
    }
    value = value * 10 + (c.unicode() - u'0');
  }
  if (value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

void TCANService::Reset() {
  configured_ = false;
  ReleaseAdapter();
  queue_.Clear();
  bus_ = TCANBus();
  devices_.clear();
  releasing_ = false;
}

void TCANService::LoadConfig(TProfileFile& ini) {
  Reset();

  const QString type = ini.ReadString(kAdapterSection, QStringLiteral("Type"), QString());
  if (type.isEmpty()) {
    return;
  }
  // Only the two names of the configuration select an adapter (exact case);
  // DeviceNum is the USB adapter's device index.
  if (type != TAdapterFactory::kChaiType && type != TAdapterFactory::kUsbType) {
    return;
  }
  const TAdapterConfig config{ini, time_,
                              type == TAdapterFactory::kUsbType
                                  ? ini.ReadInteger(kAdapterSection, QStringLiteral("DeviceNum"), 0)
                                  : 0};
  adapter_ = factory_.Create(type, config);
  if (!adapter_) {
    Report(QCoreApplication::translate("vorta::VortaConfigLoader",
                                       "Адаптер CAN \"%1\" в этой программе недоступен")
               .arg(type));
    return;
  }
  // A failed open does not fail the configuration: the reconnect timer retries.
  adapter_->SetActive(true);

  LoadDevices(ini);
  configured_ = true;
}

void TCANService::LoadDevices(const TProfileFile& ini) {
  const std::int32_t count = ini.ReadInteger(kDevicesSection, QStringLiteral("Count"), 0);

  // Visiting the entries that exist, in index order, gives what a loop over
  // 0..Count-1 gives without walking a huge or garbage Count.
  std::vector<std::int32_t> indices;
  for (const QString& key : ini.ReadSection(kDevicesSection)) {
    const auto index = EntryIndex(key);
    if (index && *index < count) {
      indices.push_back(*index);
    }
  }
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());

  TCANAdapter* adapter = adapter_.get();
  queue_.SetOnSend([adapter](TCANFrame& frame) { adapter->Send(frame); });

  QStringList refused;
  for (const std::int32_t i : indices) {
    const QString section =
        ini.ReadString(kDevicesSection, QStringLiteral("Name%1").arg(i), QString());
    if (section.isEmpty()) {
      Report(QCoreApplication::translate("vorta::VortaConfigLoader",
                                         "Устройство CAN Name%1 не задано: пропущено")
                 .arg(i));
      continue;
    }
    const QString type = ini.ReadString(section, QStringLiteral("Type"), QString());
    if (type.isEmpty()) {
      Report(ini.SectionExists(section)
                 ? QCoreApplication::translate("vorta::VortaConfigLoader",
                                               "У устройства CAN [%1] не задан Type: пропущено")
                       .arg(section)
                 : QCoreApplication::translate("vorta::VortaConfigLoader",
                                               "Нет раздела [%1] устройства CAN: пропущено")
                       .arg(section));
      continue;
    }
    std::unique_ptr<TCANDevice> device = CreateDevice(type);
    if (!device) {
      Report(QCoreApplication::translate("vorta::VortaConfigLoader",
                                         "Устройство CAN [%1] неизвестного типа \"%2\": пропущено")
                 .arg(section, type));
      continue;
    }
    device->Name = section;
    device->Caption = ini.ReadString(section, QStringLiteral("Caption"), QString());
    device->DeviceUID = ini.ReadInteger(section, QStringLiteral("DeviceUID"), 0);
    device->Ext = ini.ReadString(section, QStringLiteral("CANAdr"), QStringLiteral("Ext"))
                      .compare(QStringLiteral("EXT"), Qt::CaseInsensitive) == 0;
    device->Active = ini.ReadString(section, QStringLiteral("Active"), QStringLiteral("ON"))
                         .compare(QStringLiteral("ON"), Qt::CaseInsensitive) == 0;
    device->BusRange = ini.ReadInteger(section, QStringLiteral("BusRange"), 255);
    TFrameQueue* queue = &queue_;
    device->SetOnSend([queue](TCANFrame& frame) { queue->Push(frame); });
    if (auto* omron = dynamic_cast<TMixerInverter*>(device.get())) {
      omron->SetMaxRpm(ini.ReadInteger(section, QStringLiteral("MaxRpm"), 3000));
    }
    if (!bus_.Add(device.get())) {
      refused << section;
      continue;
    }
    devices_.push_back(std::move(device));
  }
  if (!refused.isEmpty()) {
    Report(QCoreApplication::translate(
               "vorta::VortaConfigLoader",
               "Таблица устройств CAN заполнена (мест: %1), пропущено устройств: %2 (%3)")
               .arg(TCANBus::kCapacity)
               .arg(refused.size())
               .arg(refused.join(QStringLiteral(", "))));
  }
}

std::unique_ptr<TCANDevice> TCANService::CreateDevice(const QString& type) {
  if (type == QStringLiteral("TMixerOmron")) {
    return std::make_unique<TMixerInverter>(time_);
  }
  if (type == QStringLiteral("TMixerDC")) {
    return std::make_unique<TMixerDC>(time_);
  }
  if (type == QStringLiteral("TSUABB")) {
    return std::make_unique<TIoModule>(time_);
  }
  return nullptr;
}

}  // namespace vorta
