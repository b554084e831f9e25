// The communication data module's life cycle and timers.

#include "devices/CANService.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringList>
#include <algorithm>
#include <limits>
#include <optional>

#include "devices/IoModule.h"
#include "devices/MixerDC.h"
#include "devices/MixerInverter.h"
#include "platform/ConfigReader.h"
#include "platform/ProfileFile.h"
#include "platform/TimerService.h"

namespace vorta {

Q_LOGGING_CATEGORY(lcCan, "vorta.can")

TCANService::TCANService(TTimerService& time, TAdapterFactory factory, TReportHook report)
    : time_(time), factory_(std::move(factory)), report_(std::move(report)) {
  reconnectTimer_ = time_.CreateTimer(kReconnectMs);
  reconnectTimer_->OnTimer = [this] { OnReconnectTimer(); };
  heartbeatTimer_ = time_.CreateTimer(kHeartMs);
  heartbeatTimer_->OnTimer = [this] { OnHeartbeatTimer(); };
  pacerTimer_ = time_.CreateTimer(kPacerMs);
  pacerTimer_->OnTimer = [this] { OnPacerTimer(); };
  heartbeatTimer_->SetEnabled(true);
  pacerTimer_->SetEnabled(true);
}

TCANService::~TCANService() {
  StopTimers();
  ReleaseAdapter();
}

void TCANService::ReleaseAdapter() {
  releasing_ = true;
  queue_.SetOnSend({});
  if (adapter_) {
    // Detached before the close: the close still serves a hand-over the
    // receive thread has started, and that frame must go nowhere.
    adapter_->SetOnReceive({});
    adapter_->SetActive(false);
    adapter_.reset();
  }
}

void TCANService::SaveConfig(TProfileFile& ini) {
  (void)ini;
}

void TCANService::StartTimers() {
  if (!configured_) {
    return;
  }
  heartbeatTimer_->SetEnabled(true);
  reconnectTimer_->SetEnabled(true);
}

void TCANService::StopTimers() {
  heartbeatTimer_->SetEnabled(false);
  reconnectTimer_->SetEnabled(false);
}

void TCANService::HandleFrame(TCANFrame& frame) {
  if (releasing_) return;
  bus_.Dispatch(frame);
}

void TCANService::OnPacerTimer() {
  // One frame per tick (50 frames/s) while the queue is short. A backlog is
  // sent at a rate that clears it within kDrainTicks ticks, kept until the
  // queue is empty (recomputing it from the shrinking queue would slow the
  // tail down), so that a switch-off behind a burst of polls still reaches
  // its device within 100 ms.
  const std::size_t needed = (queue_.Count() + kDrainTicks - 1) / kDrainTicks;
  pace_ = std::clamp<std::size_t>(std::max(pace_, needed), 1, kMaxFramesPerTick);
  for (std::size_t i = 0; i < pace_ && queue_.SendNext(); ++i) {
  }
  if (queue_.Empty()) pace_ = 1;
}

void TCANService::OnHeartbeatTimer() {
  for (std::int32_t i = 0; i < bus_.Count && i < TCANBus::kCapacity; ++i) {
    TCANDevice* device = bus_.Devices[static_cast<std::size_t>(i)];
    if (device != nullptr && !device->Active) {
      device->Poll();
    }
  }
}

void TCANService::OnReconnectTimer() {
  if (adapter_ && !adapter_->Active()) {
    adapter_->SetActive(true);
  }
}

void TCANService::Report(const QString& text) const {
  if (report_) {
    report_(text);
  } else {
    qCWarning(lcCan).noquote() << text;
  }
}

}  // namespace vorta

// Builds the adapter and the device table from "VortaCAN.ini". Type names
// compare exactly; "CANAdr" and "Active" compare without letter case.

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
  // Numbers that cannot be taken are said once, with the file, at the end.
  TConfigReader numbers(ini);
  const TAdapterConfig config{
      ini, time_,
      type == TAdapterFactory::kUsbType
          ? static_cast<std::int32_t>(numbers.Int(kAdapterSection, "DeviceNum", 0, 0, INT32_MAX))
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

  LoadDevices(ini, numbers);
  if (!numbers.Notes().isEmpty()) Report(numbers.Report());
  if (!numbers.Refused().isEmpty()) {
    Report(numbers.RefusedReport(
        QCoreApplication::translate("vorta::VortaConfigLoader", "эти устройства не запущены")));
  }
  configured_ = true;
}

void TCANService::LoadDevices(const TProfileFile& ini, TConfigReader& numbers) {
  const auto count =
      static_cast<std::int32_t>(numbers.Int(kDevicesSection, "Count", 0, 0, INT32_MAX));

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
    std::unique_ptr<TCANDevice> device = CreateDevice(type, numbers, section);
    if (!device) {
      Report(QCoreApplication::translate("vorta::VortaConfigLoader",
                                         "Устройство CAN [%1] неизвестного типа \"%2\": пропущено")
                 .arg(section, type));
      continue;
    }
    device->Name = section;
    device->Caption = ini.ReadString(section, QStringLiteral("Caption"), QString());
    device->Active = ini.ReadString(section, QStringLiteral("Active"), QStringLiteral("ON"))
                         .compare(QStringLiteral("ON"), Qt::CaseInsensitive) == 0;
    if (!ReadAddress(*device, ini, numbers, section)) continue;
    TFrameQueue* queue = &queue_;
    device->SetOnSend([queue](TCANFrame& frame) { queue->Push(frame); });
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

bool TCANService::ReadAddress(TCANDevice& device, const TProfileFile& ini, TConfigReader& numbers,
                              const QString& section) {
  device.Ext = ini.ReadString(section, QStringLiteral("CANAdr"), QStringLiteral("Ext"))
                   .compare(QStringLiteral("EXT"), Qt::CaseInsensitive) == 0;
  const std::int64_t top = device.Ext ? 0x1FFFFFFF : 0x7FF;
  // The register image holds 256 bytes: a wider range would alias offsets.
  const std::optional<std::int64_t> range = numbers.Checked(section, "BusRange", 255, 1, 255);
  const std::optional<std::int64_t> uid = numbers.Checked(section, "DeviceUID", 0, 0, top);
  if (!range || !uid) return false;
  // Frames are matched by the identifier with the range's bits masked off:
  // a base with any of them set, or past the top, is never reached.
  if ((*uid & *range) != 0 || *uid + *range > top) {
    numbers.Refuse(QCoreApplication::translate(
                       "vorta::VortaConfigLoader",
                       "[%1] DeviceUID=%2: с BusRange=%3 не адресуется на шине (до 0x%4)")
                       .arg(section)
                       .arg(*uid)
                       .arg(*range)
                       .arg(top, 0, 16));
    return false;
  }
  device.DeviceUID = static_cast<std::int32_t>(*uid);
  device.BusRange = static_cast<std::int32_t>(*range);
  return true;
}

std::unique_ptr<TCANDevice> TCANService::CreateDevice(const QString& type, TConfigReader& numbers,
                                                      const QString& section) {
  if (type == QStringLiteral("TMixerOmron")) {
    auto inverter = std::make_unique<TMixerInverter>(time_);
    // The drive's speeds are scaled by it: outside 1..5000 the default, said.
    inverter->SetMaxRpm(static_cast<std::int32_t>(numbers.Int(section, "MaxRpm", 3000, 1, 5000)));
    return inverter;
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
