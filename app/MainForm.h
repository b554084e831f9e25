#pragma once
// The main form: start-up, the three cyclic timers that drive measurement,
// regulation and outputs, and the orderly shutdown. Its window stays hidden
// during work and is shown only while the processes are being shut down.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

#include "app/FolderClaim.h"
#include "process/CycleTimers.h"
#include "process/ProcessRecord.h"
#include "process/ProgramState.h"

namespace vorta {

class TCANService;
class TTimer;
class TTimerService;
class IMessageSink;
class IWindowFactory;
class TSingleInstance;
class TFolderLock;
class TControlServer;
class TFillControl;
class TJournal;
class TAlarms;
class TAlarmChecks;
class TAlarmCommand;
class TPlanHost;

class THeadlessMainWindow final : public IMainWindow {
 public:
  void SetCaption(const QString& caption) override { Caption = caption; }
  void ShowShutdownPanel() override { ShutdownShown = true; }
  void BringToFront() override { ++RaiseRequests; }
  bool CloseModalWindows() override {
    if (ModalWindowsOpen == 0) return false;
    --ModalWindowsOpen;
    return true;
  }
  QString Caption = QStringLiteral("-");
  bool ShutdownShown = false;
  int RaiseRequests = 0;
  int ModalWindowsOpen = 0;  // tests: modal windows that close when asked
};

class TMainForm {
 public:
  // SecondInstance: a copy of the same user runs on the folder and was asked
  // to come to the front; FolderInUse: another copy holds the folder (any
  // user), StartProblem() names it; Refused: the folder, a file that steers
  // the program or its alarm command could be changed by others, or the
  // folder cannot be locked (StartProblem() names it; nothing was written).
  enum class TStartResult { Running, NoMainConfig, SecondInstance, FolderInUse, Refused };

  struct TDeps {
    TTimerService& Time;
    IMessageSink& Messages;
    IWindowFactory& Windows;
    IMainWindow& Window;
    TCANService& canService;
  };

  // programFolder: where "Vorta.ini" and the process files are looked up.
  TMainForm(TDeps deps, const QString& programFolder);
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // The folder taken by ClaimFolder before anything in it was read (the
  // program does so); Start() takes it itself otherwise.
  void Adopt(TFolderClaim claim);
  // Start-up in its order; Running when the timers run.
  TStartResult Start();
  // Shutdown in its order; ends with OnTerminate.
  void Shutdown();
  void Finish();

  // Asks the application to terminate (end of Shutdown).
  std::function<void()> OnTerminate;

  [[nodiscard]] TProgramState& Program() { return program_; }
  [[nodiscard]] TVortaProcessList& Processes() { return processes_; }
  [[nodiscard]] TVortaEnv& Env() { return env_; }
  [[nodiscard]] bool Closed() const { return closed_; }
  // Why the start was refused (FolderInUse).
  [[nodiscard]] const QString& StartProblem() const { return startProblem_; }

  TTimer& OutputTimer() { return cycles_->Output(); }
  TTimer& MeasureTimer() { return cycles_->Measurement(); }
  TTimer& RegulationTimer() { return cycles_->Regulation(); }
  TTimer& FillPhaseTimer() { return *fillPhaseTimer_; }
  // The fill run behind the fill window; null before start-up and after shutdown.
  [[nodiscard]] TFillControl* Fill() { return fill_.get(); }
  // The folder's journal; null before start-up and for a second copy.
  [[nodiscard]] TJournal* Journal() { return journal_.get(); }
  // When this run started (UTC) and for how long it has run since, on the
  // monotonic clock: a clock step does not change it.
  [[nodiscard]] const QDateTime& StartedAt() const { return startedAt_; }
  [[nodiscard]] std::int64_t UptimeSeconds() const;
  // The program's alarms, checked by the 2-s cycle.
  [[nodiscard]] TAlarms& Alarms() { return *alarms_; }
  // The vessels' run plans, ticked by the 2-s cycle after regulation; null
  // before start-up and after shutdown.
  [[nodiscard]] TPlanHost* Plans() { return plans_.get(); }

  // What a start from the menu has to tell the operator (where it put the
  // demo), said once in a box when the vessels' windows are open: such a
  // start shows no standard output. Empty: nothing.
  QString StartNote;

  // The fill run's dose target ("Podpitka"/"DozeCount"), written back at the end.
  std::int32_t DozeCount = 10;

 private:
  [[nodiscard]] QString MainConfigPath() const;
  void LoadCanConfig();
  void CreateProcesses();
  void ResolveFeedReferences();
  // Why a process file to load or the alarm command's program could be
  // changed by others; empty when none can.
  [[nodiscard]] QString UnsafeSteeringFile(const class TProfileFile& mainConfig) const;

  TDeps deps_;
  TProgramState program_;
  // Before the processes: they may record while they are destroyed.
  std::unique_ptr<TJournal> journal_;
  QStringList journalFiles_;  // the configuration files whose changes are recorded
  TVortaProcessList processes_;
  TVortaEnv env_;
  // After the processes: its runners refer to them.
  std::unique_ptr<TPlanHost> plans_;
  std::unique_ptr<TAlarms> alarms_;
  std::unique_ptr<TAlarmChecks> alarmChecks_;    // the 2-s cycle's checks that feed alarms_
  std::unique_ptr<TAlarmCommand> alarmCommand_;  // "[Alarms] Command=" of Vorta.ini
  std::unique_ptr<TSingleInstance> instance_;
  std::unique_ptr<TFolderLock> lock_;  // held for the whole run
  QStringList processFiles_;           // the process files to load, as Vorta.ini names them
  std::unique_ptr<TControlServer> control_;
  QString startProblem_;
  QDateTime startedAt_;
  std::chrono::steady_clock::time_point startedClock_;
  std::unique_ptr<TCycleTimers> cycles_;
  std::unique_ptr<TTimer> fillPhaseTimer_;
  std::unique_ptr<class QFile> eventLog_;
  bool closed_ = false;
  // Vorta.ini existed but could not be read: it is not written back.
  bool mainConfigUnreadable_ = false;
  std::unique_ptr<TFillControl> fill_;
};

}  // namespace vorta
