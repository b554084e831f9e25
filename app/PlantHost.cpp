#include "app/PlantHost.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <cstdio>

#include "app/DemoFolder.h"
#include "app/MainForm.h"
#include "can/AdapterFactory.h"
#include "can/Chai.h"
#include "devices/CANService.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
#include "platform/RealTimerService.h"
#include "platform/VirtualTimerService.h"
#include "process/PanelView.h"
#include "sim/ChaiPlantBridge.h"
#include "sim/VirtualPlant.h"

namespace vorta {

TPlantHost::TPlantHost(const QString& folder, TTimerService& time) {
  const TProfileFile can(QDir(folder).filePath(QStringLiteral("VortaCAN.ini")));
  const bool virtualBus =
      can.ReadString(QStringLiteral("CHAI"), QStringLiteral("Backend"), QString())
          .compare(QLatin1String("virtual"), Qt::CaseInsensitive) == 0;
  if (!virtualBus) return;
  plant_ = std::make_unique<sim::TVirtualPlant>(sim::LoadPlantConfig(folder));
  bridge_ = std::make_unique<sim::TChaiPlantBridge>(*plant_);
  plant_->Attach(time);
}

TPlantHost::~TPlantHost() {
  bridge_.reset();
  if (plant_) plant_->Detach();
}

namespace {

// The converter of the folder's CAN configuration answers in real time (the
// USB converter, or the board library on a real bus), so virtual time that
// races ahead of it would only flood it.
bool RealTimeLink(const QString& folder, const TPlantHost& plant) {
  const TProfileFile can(QDir(folder).filePath(QStringLiteral("VortaCAN.ini")));
  const QString type = can.ReadString(QStringLiteral("CANAdapter"), QStringLiteral("Type"), {});
  return type == TAdapterFactory::kUsbType ||
         (type == TAdapterFactory::kChaiType && !plant.Running());
}

}  // namespace

int RunFastForward(const QString& folder, double hours, bool demo,
                   const std::function<bool()>& stopRequested, TFolderClaim claim) {
  if (!claim.Lock) {
    claim = ClaimFolder(folder);
    if (claim.Result != TFolderClaim::TResult::Claimed) return ReportUnclaimed(claim, folder, 1);
  }
  TVirtualTimerService time(ToSystemDateTime(QDateTime::currentDateTime()));
  TStderrMessageSink messages;
  THeadlessWindowFactory windows;
  THeadlessMainWindow window;
  TPlantHost plant(folder, time);
  if (RealTimeLink(folder, plant)) {
    std::fprintf(stderr, "vorta: --fast-forward: %s\n",
                 qPrintable(QCoreApplication::translate(
                     "vorta::PlantHost",
                     "преобразователь CAN этой папки работает в реальном времени; ускоренный "
                     "прогон возможен только на виртуальной установке ([CHAI] Backend=virtual "
                     "в VortaCAN.ini)")));
    return 2;
  }
  TAdapterFactory factory;
  RegisterStandardAdapters(factory);
  TCANService canService(time, factory,
                         [&messages](const QString& text) { messages.ShowInfo(text); });
  TMainForm form({time, messages, windows, window, canService}, folder);
  form.Adopt(std::move(claim));
  bool terminated = false;
  form.OnTerminate = [&terminated] { terminated = true; };
  switch (form.Start()) {
    case TMainForm::TStartResult::NoMainConfig:
      std::fprintf(stderr, "vorta: %s not found; nothing to supervise\n",
                   QDir(folder).filePath(QStringLiteral("Vorta.ini")).toLocal8Bit().constData());
      return 1;
    case TMainForm::TStartResult::SecondInstance:
      std::fprintf(stderr, "vorta: already running on %s\n",
                   QDir(folder).absolutePath().toLocal8Bit().constData());
      return 1;
    case TMainForm::TStartResult::FolderInUse:
      std::fprintf(stderr, "vorta: %s\n", form.StartProblem().toLocal8Bit().constData());
      return kExitFolderInUse;
    case TMainForm::TStartResult::Refused:
      std::fprintf(stderr, "vorta: %s\n", form.StartProblem().toLocal8Bit().constData());
      return kExitRefused;
    case TMainForm::TStartResult::Running:
      break;
  }
  PrintAlarmsToStderr(form.Alarms());
  // A run whose data did not all reach the disk must not look like a good one.
  bool writeFailed = false;
  form.Alarms().Subscribe([&writeFailed](const TAlarm& alarm, TAlarmEvent event) {
    if (event == TAlarmEvent::Raised && alarm.Kind == TAlarmKind::WriteFailed) writeFailed = true;
  });
  if (demo) StartDemoVessels(form.Processes());
  const auto total = static_cast<std::int64_t>(hours * 3'600'000.0);
  constexpr std::int64_t kHourMs = 3'600'000;
  constexpr std::int64_t kMinuteMs = 60'000;
  for (std::int64_t done = 0; done < total && !(stopRequested && stopRequested());) {
    const std::int64_t step = std::min(kMinuteMs, total - done);
    time.AdvanceBy(step);
    done += step;
    // Alarm commands run as processes on the system's time: their ends are
    // delivered as events.
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
    if (done % kHourMs == 0 || done == total) {
      std::fprintf(stdout, "fast-forward: %.2f h simulated\n", static_cast<double>(done) / kHourMs);
      std::fflush(stdout);
    }
  }
  form.Program().ShutdownRequested = true;
  time.AdvanceBy(40);
  if (!terminated) return 1;
  writeFailed = writeFailed || !form.Program().FailedWrites.isEmpty() ||
                (form.Journal() != nullptr && form.Journal()->Failing());
  if (writeFailed) {
    std::fprintf(stderr, "vorta: --fast-forward: %s\n",
                 qPrintable(QCoreApplication::translate(
                     "vorta::PlantHost", "не все записи попали на диск (см. сообщения выше)")));
    return kExitWriteFailed;
  }
  return 0;
}

}  // namespace vorta
