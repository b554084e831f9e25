#include "app/PlantHost.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "app/DemoFolder.h"
#include "app/MainForm.h"
#include "app/PlanReport.h"
#include "can/AdapterFactory.h"
#include "can/Chai.h"
#include "commands/StatusClock.h"
#include "devices/CANService.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "plans/PlanHost.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
#include "platform/RealTimerService.h"
#include "platform/VirtualTimerService.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"
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

// A trial's state is still written at every step change.
constexpr std::int64_t kTrialSaveEveryMs = 3'600'000;

// Starts every trial's plan, watched by the report; false (and the faults
// on stderr) when one could not start.
bool StartTrials(TMainForm& form, TPlantHost& plant, TTimerService& time,
                 const std::vector<TPlanTrial>& trials, TPlanReport& report) {
  if (!plant.Running() || form.Plans() == nullptr) {
    std::fprintf(stderr, "vorta: --plan: %s\n",
                 qPrintable(QCoreApplication::translate(
                     "vorta::PlantHost",
                     "план пробуют только на виртуальной установке ([CHAI] Backend=virtual в "
                     "VortaCAN.ini)")));
    return false;
  }
  // The trial is the fermentation from inoculation: waits on its elapsed time count from here.
  if (!form.Env().Program.EftRunning) StartElapsedClock(form.Env(), time.Now());
  form.Plans()->SetSaveEvery(kTrialSaveEveryMs);
  for (const TPlanTrial& t : trials) {
    TVortaProcess* p = nullptr;
    for (const auto& candidate : form.Processes()) {
      if (candidate->Config.NumProcess == t.Vessel) p = candidate.get();
    }
    if (p == nullptr) {
      std::fprintf(
          stderr, "vorta: --plan: %s\n",
          qPrintable(QCoreApplication::translate("vorta::PlantHost", "сосуда %1 в этой папке нет")
                         .arg(t.Vessel)));
      return false;
    }
    TPlanHost& host = *form.Plans();
    report.Watch(*p, plant.Plant()->FindVessel(QFileInfo(p->IniFileName).fileName()),
                 QFileInfo(t.File).completeBaseName(),
                 [&host, &time, p]() -> std::optional<TPlanStatus> {
                   const TPlanRunner* r = host.Runner(*p);
                   if (r == nullptr) return std::nullopt;
                   return r->Status(time.MonotonicMs());
                 });
    const TPlanStartResult started = host.Start(*p, t.File);
    if (!started.Ok) {
      std::fprintf(stderr, "vorta: --plan %d=%s: %s\n", t.Vessel, qPrintable(t.File),
                   qPrintable(started.Text));
      for (const TPlanError& e : started.Errors) {
        std::fprintf(stderr, "%s:%d:%d: %s\n", qPrintable(t.File), e.Line, e.Column,
                     qPrintable(e.Message));
      }
      return false;
    }
    if (const TPlanRunner* r = host.Runner(*p)) report.NamePlan(*p, r->Plan().Name);
  }
  return true;
}

}  // namespace

bool ParsePlanTrial(const QString& text, TPlanTrial* trial) {
  const qsizetype eq = text.indexOf(u'=');
  if (eq <= 0 || eq + 1 >= text.size()) return false;
  bool ok = false;
  const int vessel = text.left(eq).trimmed().toInt(&ok);
  if (!ok || vessel <= 0) return false;
  trial->Vessel = vessel;
  trial->File = text.mid(eq + 1);
  return true;
}

int RunFastForward(const QString& folder, double hours, bool demo,
                   const std::function<bool()>& stopRequested, TFolderClaim claim,
                   const TFastForwardPlans& plans) {
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
  const std::int64_t startMono = time.MonotonicMs();
  TPlanReport report(
      [&time, startMono] { return static_cast<double>(time.MonotonicMs() - startMono) / kHourMs; });
  const bool trying = !plans.Trials.empty();
  if (trying) {
    if (form.Journal() != nullptr) report.Attach(*form.Journal());
    if (!StartTrials(form, plant, time, plans.Trials, report)) {
      form.Program().ShutdownRequested = true;
      time.AdvanceBy(40);
      return 2;
    }
  }
  for (std::int64_t done = 0; done < total && !(stopRequested && stopRequested());) {
    const std::int64_t step = std::min(kMinuteMs, total - done);
    time.AdvanceBy(step);
    done += step;
    if (trying) report.Sample();
    // Alarm commands run as processes on the system's time: their ends are
    // delivered as events.
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
    if (done % kHourMs == 0 || done == total) {
      std::fprintf(stdout, "fast-forward: %.2f h simulated\n", static_cast<double>(done) / kHourMs);
      std::fflush(stdout);
    }
  }
  if (trying) {
    QString error;
    if (!report.Write(folder, &error)) {
      std::fprintf(stderr, "vorta: --plan: %s\n", qPrintable(error));
      writeFailed = true;
    } else {
      for (const auto& run : report.Runs()) {
        std::fprintf(stdout, "plan report: %s\n",
                     qPrintable(QDir(folder).filePath(
                         QStringLiteral("PlanReport%1.txt").arg(run.Process->Config.NumProcess))));
      }
    }
    if (plans.Finished) plans.Finished(report);
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
