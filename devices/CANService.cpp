// The communication data module's life cycle and timers.

#include "devices/CANService.h"

#include <QLoggingCategory>
#include <algorithm>

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
