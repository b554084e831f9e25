#pragma once
// The lab's own hook for alarms ("[Alarms] Command=" of Vorta.ini): a program
// started for every alarm change with the alarm's fields as arguments, so
// that mail, a messenger or a siren can be attached without the controller
// knowing any of them.
//
// A run can never hold up the cycles: it reads nothing, its output goes
// nowhere (only the tail of its error output is kept for the report), it is
// ended at its time limit, and only a few run at once with a bounded queue
// behind them. Everything a run starts stays the program's (it reaps the
// orphans of its children) and is ended with the run: at its time limit, when
// its own program has exited, and at the program's end.

#include <sys/types.h>
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "journal/Alarms.h"

class QProcess;

namespace vorta {

class IMessageSink;
class TTimer;
class TTimerService;

struct TAlarmCommandLimits {
  std::int32_t TimeLimit = 30;  // "[Alarms] CommandTimeLimit": s a run may take before it is ended
  int AtOnce = 4;               // runs at the same time
  int Waiting = 16;             // runs queued behind them; any more are dropped
};

class TAlarmCommand {
 public:
  // command: the program and any fixed arguments of its own, split as a
  // command line is (quotes group, nothing else is interpreted); folder: the
  // working folder it starts in; time: the clock of the time limit.
  TAlarmCommand(const QString& command, QString folder, TTimerService& time, IMessageSink& messages,
                TAlarmCommandLimits limits = {});
  // Ends what still runs (EndAll).
  ~TAlarmCommand();
  TAlarmCommand(const TAlarmCommand&) = delete;
  TAlarmCommand& operator=(const TAlarmCommand&) = delete;

  // Starts the program for this change and returns at once, or queues it
  // while AtOnce runs are in progress. False when the program cannot be
  // started, the queue is full (the change is dropped) or EndAll has run.
  // A failure (no start, an exit other than 0, a crash, the time limit) is
  // told once until a run exits with 0; dropped changes are told once until
  // the queue has emptied.
  bool Run(const TAlarm& alarm, TAlarmEvent event);

  // The program's orderly end: every run still in progress is ended with the
  // programs it started (SIGTERM, SIGKILL after the grace to what is left),
  // the queue is dropped, and nothing starts any more. Waits for them.
  void EndAll();

  [[nodiscard]] const QString& Program() const { return program_; }
  [[nodiscard]] int Running() const { return static_cast<int>(running_.size()); }
  [[nodiscard]] int Waiting() const { return static_cast<int>(waiting_.size()); }
  // Runs whose own program has exited while programs it started are being ended.
  [[nodiscard]] int Ending() const;

 private:
  struct TRun {
    std::unique_ptr<QProcess> Process;
    std::unique_ptr<TTimer> Limit;
    QByteArray ErrorTail;  // the last bytes of its error output
    // The command runs on the system's time even when the program runs on
    // virtual time (a fast-forward): its limit is measured on that.
    QElapsedTimer Running;
    bool Terminated = false;
    std::uint32_t TerminatedAt = 0;  // tick of the SIGTERM at the limit
    pid_t Leader = 0;                // its program's pid: the group and session it leads
    QByteArray Mark;                 // in the environment of everything it starts
  };
  // What a run started and left behind when its own program exited: sent
  // SIGTERM, then SIGKILL after the grace, and reaped.
  struct TLeftover {
    pid_t Leader = 0;
    QByteArray Mark;
    std::vector<pid_t> Seen;
    std::unique_ptr<TTimer> Step;
    int WaitedMs = 0;
    bool Killed = false;
    bool Done = false;
  };

  [[nodiscard]] bool ProgramFound() const;
  void Start(const QStringList& arguments);
  void OnExit(TRun& run, int code, bool crashed);
  void OnTimeLimit(TRun& run);
  void Finished(TRun& run, const QString& failure);
  void Fail(const QString& text);
  void Signal(TRun& run, int signal);
  void KeepEnding(const TRun& run);
  void StepLeftover(TLeftover& left);
  void DropDoneLeftovers();

  QString program_;
  QStringList fixed_;
  QString folder_;
  TTimerService& time_;
  IMessageSink& messages_;
  TAlarmCommandLimits limits_;
  std::vector<std::unique_ptr<TRun>> running_;
  std::deque<QStringList> waiting_;
  std::vector<std::unique_ptr<TLeftover>> leftovers_;
  bool failing_ = false;
  bool dropping_ = false;
  bool closed_ = false;
};

}  // namespace vorta
