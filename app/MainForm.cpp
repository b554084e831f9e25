#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>

#include "app/ControlCommands.h"
#include "app/DefaultFolder.h"
#include "app/MainForm.h"
#include "commands/FillRun.h"
#include "devices/CANService.h"
#include "journal/AlarmCommand.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "journal/JournalSession.h"
#include "plans/PlanHost.h"
#include "platform/ConfigReader.h"
#include "platform/ControlSocket.h"
#include "platform/FileAttributes.h"
#include "platform/FolderFiles.h"
#include "platform/FolderLock.h"
#include "platform/Messages.h"
#include "platform/Ownership.h"
#include "platform/ProfileFile.h"
#include "platform/SafeFile.h"
#include "platform/SingleInstance.h"
#include "platform/TimerService.h"
#include "process/AlarmChecks.h"
#include "process/CycleContext.h"
#include "process/CycleTimers.h"
#include "process/PanelView.h"
#include "process/ProcessListEntries.h"

namespace vorta {

namespace {
const QString kMainConfig = QStringLiteral("Vorta.ini");
const QString kCanConfig = QStringLiteral("VortaCAN.ini");
}  // namespace

TMainForm::TMainForm(TDeps deps, const QString& programFolder)
    : deps_(deps), env_{program_,   deps.Time, deps.Messages, deps.Windows, &deps.canService.Bus(),
                        &processes_} {
  // Paths on this system are case-sensitive: the folder is kept as given.
  QString folder = QDir(programFolder).absolutePath();
  if (!folder.endsWith(u'/')) folder += u'/';
  program_.ProgramFolder = folder;
  env_.canService = &deps.canService;
  alarms_ = std::make_unique<TAlarms>(deps_.Time, env_.Journal);
  env_.Alarms = alarms_.get();
  alarmChecks_ = std::make_unique<TAlarmChecks>(env_, *alarms_);

  cycles_ = std::make_unique<TCycleTimers>(
      deps_.Time, TCycleContext{program_, processes_, deps_.Time, alarmChecks_.get()});
  // A modal window is asked to close first; the shutdown runs at a later
  // tick, once its loop has returned.
  cycles_->AfterOutputCycle = [this] {
    if (program_.ShutdownRequested && !closed_ && !deps_.Window.CloseModalWindows()) Shutdown();
  };
  fillPhaseTimer_ = deps_.Time.CreateTimer(120);
}

TMainForm::~TMainForm() {
  Finish();
}

QString TMainForm::MainConfigPath() const {
  return program_.ProgramFolder + kMainConfig;
}

void TMainForm::Adopt(TFolderClaim claim) {
  lock_ = std::move(claim.Lock);
  program_.Folder = std::move(claim.Folder);
}

std::int64_t TMainForm::UptimeSeconds() const {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() -
                                                          startedClock_)
      .count();
}

TMainForm::TStartResult TMainForm::Start() {
  program_.ShutdownRequested = false;
  const QDateTime started = QDateTime::currentDateTimeUtc();
  startedAt_ = started;
  startedClock_ = std::chrono::steady_clock::now();
  // Before anything in the folder is read or written: one copy per folder,
  // whatever its user, on a folder no one else rules. A copy of the same user
  // is asked to come to the front.
  if (!lock_) {
    TFolderClaim claim = ClaimFolder(program_.ProgramFolder);
    startProblem_ = claim.Problem;
    switch (claim.Result) {
      case TFolderClaim::TResult::NoMainConfig:
        return TStartResult::NoMainConfig;
      case TFolderClaim::TResult::SecondInstance:
        return TStartResult::SecondInstance;
      case TFolderClaim::TResult::FolderInUse:
        return TStartResult::FolderInUse;
      case TFolderClaim::TResult::Refused:
        return TStartResult::Refused;
      case TFolderClaim::TResult::Claimed:
        break;
    }
    Adopt(std::move(claim));
  }

  // Read, never written, before anything is: a process file or an alarm
  // command someone else could change refuses the start as a whole.
  TProfileFile mainConfig(MainConfigPath());
  processFiles_ = ProcessFilesToLoad(mainConfig, program_.ProgramFolder, deps_.Messages);
  if (startProblem_ = UnsafeSteeringFile(mainConfig); !startProblem_.isEmpty()) {
    lock_.reset();
    return TStartResult::Refused;
  }

  // The event log beside the executable: opened for appending, never written.
  // An installed executable's folder (/usr/bin) is not the program's to write.
  QString exeFolder = QCoreApplication::instance() != nullptr
                          ? QCoreApplication::applicationDirPath()
                          : program_.ProgramFolder;
  if (IsInstalledExecutableFolder(exeFolder)) exeFolder = program_.ProgramFolder;
  const QString eventLog = QDir(exeFolder).filePath(QStringLiteral("Vorta.log"));
  // An open for appending would wait for ever on a FIFO in its place; a link
  // in its place is never followed.
  QString eventLogError;
  if (const QString special = NotARegularFile(eventLog); !special.isEmpty()) {
    deps_.Messages.ShowInfo(QCoreApplication::translate("vorta::MainForm", "Не удалось открыть ") +
                            special);
  } else if (const int fd = OpenForAppendAt(eventLog, program_.Folder.get(), &eventLogError);
             fd >= 0) {
    eventLog_ = std::make_unique<QFile>(eventLog);
    if (!eventLog_->open(fd, QIODevice::Append, QFileDevice::AutoCloseHandle)) eventLog_.reset();
  } else {
    deps_.Messages.ShowInfo(QCoreApplication::translate("vorta::MainForm", "Не удалось открыть ") +
                            eventLog + QStringLiteral(": ") + eventLogError);
  }

  (void)QRandomGenerator::global();

  LoadCanConfig();

  mainConfigUnreadable_ = mainConfig.Unreadable();
  if (mainConfigUnreadable_) {
    deps_.Messages.ShowError(
        UnreadableFileText(mainConfig) +
        QCoreApplication::translate("vorta::MainForm", " Процессы не запущены."));
  }

  // The folder is this copy's: later copies of its user ask it to come to
  // the front through this channel.
  instance_ = TSingleInstance::ForFolder(program_.ProgramFolder);
  const bool listening = instance_->Listen();
  if (!instance_->Problem().isEmpty()) {
    deps_.Messages.ShowInfo(instance_->Problem());
  } else if (!listening) {
    deps_.Messages.ShowInfo(QCoreApplication::translate(
        "vorta::MainForm", "Не удалось открыть канал единственного экземпляра"));
  }
  instance_->OnRaiseRequest = [this] { deps_.Window.BringToFront(); };
  // Only the copy that owns the folder writes its journal.
  journal_ = std::make_unique<TJournal>(program_.ProgramFolder + kJournalFileName, deps_.Time);
  journal_->Messages = &deps_.Messages;
  journal_->Folder = program_.Folder;
  // A journal that cannot be written is reported by its first record.
  if (journal_->Open() && journal_->TornTail()) deps_.Messages.ShowInfo(journal_->Problem());
  env_.Journal = journal_.get();
  // Only files of the folder that the program loads: a line of [Processes]
  // naming /etc/shadow must not have it read and hashed.
  journalFiles_ = QStringList{kMainConfig, kCanConfig} + processFiles_;
  RecordProgramStart(*journal_, QStringLiteral(VORTA_VERSION), program_.ProgramFolder,
                     journalFiles_);
  // Operating without windows ("vorta ctl"): the folder's group may.
  control_ = std::make_unique<TControlServer>(
      program_.ProgramFolder,
      [this](const TControlRequest& request) { return RunControlCommand(*this, request); });
  // A flood of connections is told once, on the screen or the service's log
  // and in the journal, so that a `vorta ctl` that is refused has its reason.
  control_->OnOverload = [this](const QString& shown, const QString& recorded) {
    deps_.Messages.ShowInfo(shown);
    if (journal_) {
      journal_->Record({0, QString(), TJournalKind::Program,
                        QStringLiteral("Канал управления перегружен"), QString(), recorded,
                        TJournalSource::Engine});
    }
  };
  if (QString problem; !control_->Listen(&problem)) {
    deps_.Messages.ShowInfo(problem);
    control_.reset();
  } else if (!control_->Note().isEmpty()) {
    deps_.Messages.ShowInfo(control_->Note());
  }

  // Only this copy works in the folder now: what a killed save left is stale
  // (of a listed file too that is missing now).
  RemoveStaleSaveFiles(
      program_.ProgramFolder,
      QStringList{kMainConfig, kCanConfig} + mainConfig.ReadSection(QStringLiteral("Processes")),
      started);
  deps_.Window.SetCaption(QStringLiteral("Vorta2"));

  // Every number of the main configuration is read here, so that the ones
  // that cannot be taken are reported in one message. The heating choice
  // comes before the processes: each loader picks its heating output from it.
  TConfigReader numbers(mainConfig);
  fillPhaseTimer_->SetInterval(
      static_cast<int>(numbers.Int("Podpitka", "FazaPeriod", 120, 1, INT32_MAX)));
  const auto dozeCount =
      static_cast<std::int32_t>(numbers.Int("Podpitka", "DozeCount", 10, 0, INT32_MAX));
  program_.DefWarm = numbers.Int<std::int32_t>("WARMCTRL", "DefWarm", 0);
  // Each becomes the heating output of every vessel's t°C channel: one past
  // the module would be cut to another output, so no vessel starts on it.
  const std::optional<std::int64_t> water = numbers.Checked("WARMCTRL", "IndexWater", 8, 0, 16);
  const std::optional<std::int64_t> steam = numbers.Checked("WARMCTRL", "IndexSteam", 7, 0, 16);
  program_.IndexWater = static_cast<std::int32_t>(water.value_or(0));
  program_.IndexSteam = static_cast<std::int32_t>(steam.value_or(0));
  alarms_->ClearHold =
      static_cast<std::int32_t>(numbers.Int("Alarms", "ClearHold", alarms_->ClearHold, 0, 86'400));
  TAlarmCommandLimits commandLimits;
  commandLimits.TimeLimit = static_cast<std::int32_t>(
      numbers.Int("Alarms", "CommandTimeLimit", commandLimits.TimeLimit, 1, 3'600));
  if (!numbers.Notes().isEmpty()) deps_.Messages.ShowInfo(numbers.Report());
  const QString alarmCommand =
      mainConfig.ReadString(QStringLiteral("Alarms"), QStringLiteral("Command"), QString());
  if (!alarmCommand.trimmed().isEmpty()) {
    alarmCommand_ = std::make_unique<TAlarmCommand>(alarmCommand, program_.ProgramFolder,
                                                    deps_.Time, deps_.Messages, commandLimits);
    alarms_->Subscribe(
        [this](const TAlarm& alarm, TAlarmEvent event) { alarmCommand_->Run(alarm, event); });
  }
  if (numbers.Refused().isEmpty()) {
    CreateProcesses();
  } else {
    deps_.Messages.ShowError(numbers.RefusedReport(
        QCoreApplication::translate("vorta::MainForm", "процессы не запущены")));
  }
  ResolveFeedReferences();
  // Loading writes the process files: the next start compares with this.
  RecordConfigHashes(*journal_, program_.ProgramFolder, journalFiles_);
  fill_ = std::make_unique<TFillControl>(
      TFillControl::TDeps{program_, processes_, deps_.Time, deps_.Messages, cycles_->Measurement(),
                          cycles_->Regulation(), DozeCount},
      fillPhaseTimer_->Interval());

  DozeCount = dozeCount;
  fill_->SetTarget(DozeCount);

  // A plan that was running when the program last ended goes on, the down
  // time counted.
  plans_ = std::make_unique<TPlanHost>(deps_.Time, program_.ProgramFolder);
  plans_->ResumeAll(processes_);
  cycles_->AfterRegulationCycle = [this] {
    if (plans_) plans_->Tick();
  };

  cycles_->Start();
  program_.EftText = QStringLiteral("EFT:0:0");
  if (!StartNote.isEmpty()) deps_.Messages.ShowInfo(StartNote);
  return TStartResult::Running;
}

void TMainForm::LoadCanConfig() {
  TCANService& dm = deps_.canService;
  TProfileFile canConfig(program_.ProgramFolder + kCanConfig);
  if (canConfig.Unreadable()) deps_.Messages.ShowError(UnreadableFileText(canConfig));
  dm.LoadConfig(canConfig);
  if (dm.Configured() && dm.Adapter() != nullptr) {
    dm.Adapter()->SetOnReceive([&dm](TCANFrame& frame) { dm.HandleFrame(frame); });
  } else {
    deps_.Messages.ShowError(
        QCoreApplication::translate("vorta::MainForm", "Ошибка конфигурирования."));
  }
  dm.StartTimers();
}

QString TMainForm::UnsafeSteeringFile(const TProfileFile& mainConfig) const {
  for (const QString& key : processFiles_) {
    if (QString why = UnsafeFile(QDir(program_.ProgramFolder).filePath(key)); !why.isEmpty()) {
      return why;
    }
  }
  const QString command =
      mainConfig.ReadString(QStringLiteral("Alarms"), QStringLiteral("Command"), QString());
  const QStringList words = QProcess::splitCommand(command);
  if (words.isEmpty()) return {};
  // Found as the command will find it: by the search path, or in the folder.
  const QString program = words.constFirst().contains(u'/')
                              ? QDir(program_.ProgramFolder).filePath(words.constFirst())
                              : QStandardPaths::findExecutable(words.constFirst());
  return program.isEmpty() ? QString() : UnsafeFile(program, true);
}

void TMainForm::CreateProcesses() {
  for (const QString& key : processFiles_) {
    auto process = std::make_unique<TVortaProcess>(env_, key);
    if (process->LoadError.isEmpty()) processes_.Add(std::move(process));
  }
}

void TMainForm::ResolveFeedReferences() {
  // Each vessel number is looked up once: a search per reference would make
  // a list of thousands of vessels quadratic.
  QHash<std::int16_t, std::int16_t> found;
  for (const auto& process : processes_) {
    TVortaProcess& p = *process;
    for (auto* pair : {&p.Config.Ventil, &p.Config.Sreda, &p.Config.PodpPump}) {
      std::int16_t& ref = (*pair)[0];
      auto it = found.constFind(ref);
      if (it == found.cend()) {
        it = found.insert(ref,
                          static_cast<std::int16_t>(processes_.FindProcess(QString::number(ref))));
      }
      ref = *it;
    }
    if (p.Config.Ventil[0] == -1 || p.Config.PodpPump[0] == -1) p.Config.FazaCount = 0;
  }
}

void TMainForm::Shutdown() {
  if (closed_) return;
  closed_ = true;
  TCANService& dm = deps_.canService;
  dm.StopTimers();
  {
    TProfileFile canConfig(program_.ProgramFolder + kCanConfig);
    dm.SaveConfig(canConfig);
  }
  if (!mainConfigUnreadable_) {
    TProfileFile mainConfig(MainConfigPath());
    mainConfig.WriteInteger(QStringLiteral("Podpitka"), QStringLiteral("DozeCount"), DozeCount);
    mainConfig.WriteInteger(QStringLiteral("WARMCTRL"), QStringLiteral("DefWarm"),
                            program_.DefWarm);
    UpdateFileOrReport(mainConfig, deps_.Messages, program_.FailedWrites);
  }
  program_.ShutdownRequested = true;
  control_.reset();
  cycles_->Stop();
  fillPhaseTimer_->SetEnabled(false);
  deps_.Window.SetCaption(QString());
  deps_.Window.ShowShutdownPanel();
  fill_.reset();
  // The plans' last state, for the gap the next start counts; before the
  // vessels they refer to go.
  if (plans_) plans_->SaveAll();
  plans_.reset();
  processes_.Clear();
  // Alarm commands still running are ended with what they started: none is
  // left behind to outlive the program.
  if (alarmCommand_) alarmCommand_->EndAll();
  if (journal_) {
    RecordConfigHashes(*journal_, program_.ProgramFolder, journalFiles_);
    RecordProgramEnd(*journal_, program_.KeepModesAtEnd);
  }
  if (OnTerminate) OnTerminate();
}

void TMainForm::Finish() {
  control_.reset();
  instance_.reset();
  eventLog_.reset();
  // Last: nothing of this run touches the folder after the lock is gone.
  lock_.reset();
}

}  // namespace vorta
