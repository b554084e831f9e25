#include "journal/AlarmCommand.h"

#include <sys/types.h>
#include <unistd.h>
#include <QCoreApplication>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <utility>

#include "platform/ChildProcesses.h"
#include "platform/Messages.h"
#include "platform/TimerService.h"

namespace vorta {

namespace {

constexpr qsizetype kErrorTailBytes = 2048;
// What still runs this long after the polite end is killed.
constexpr int kKillGraceMs = 5000;
// How often what a run left behind is looked at while it is being ended.
constexpr int kLeftoverStepMs = 200;
// The environment entry every program of a run inherits.
constexpr char kRunMarkName[] = "VORTA_ALARM_RUN";
// Numbers the runs of every alarm command of the process: marks never repeat.
std::uint64_t gRunSerial = 0;

// The last line a command wrote to its error output: usually why it failed.
QString LastLine(const QByteArray& tail) {
  const QStringList lines = QString::fromLocal8Bit(tail).split(u'\n');
  for (qsizetype i = lines.size() - 1; i >= 0; --i) {
    const QString line = lines[i].trimmed();
    if (!line.isEmpty()) return line.left(200);
  }
  return {};
}

void SignalAll(const std::vector<pid_t>& pids, int signal) {
  for (const pid_t pid : pids) ::kill(pid, signal);
}

}  // namespace

TAlarmCommand::TAlarmCommand(const QString& command, QString folder, TTimerService& time,
                             IMessageSink& messages, TAlarmCommandLimits limits)
    : folder_(std::move(folder)), time_(time), messages_(messages), limits_(limits) {
  QStringList parts = QProcess::splitCommand(command);
  if (!parts.isEmpty()) program_ = parts.takeFirst();
  fixed_ = parts;
  // The orphans of a run (a child put in the background, a daemon) stay
  // ours, so that they can be found and ended with it.
  if (!program_.isEmpty()) BecomeChildSubreaper();
}

TAlarmCommand::~TAlarmCommand() {
  EndAll();
}

bool TAlarmCommand::ProgramFound() const {
  if (!program_.contains(u'/')) return !QStandardPaths::findExecutable(program_).isEmpty();
  const QFileInfo file(QDir(folder_).filePath(program_));
  return file.isFile() && file.isExecutable();
}

int TAlarmCommand::Ending() const {
  return static_cast<int>(std::count_if(leftovers_.begin(), leftovers_.end(),
                                        [](const auto& left) { return !left->Done; }));
}

bool TAlarmCommand::Run(const TAlarm& alarm, TAlarmEvent event) {
  if (program_.isEmpty() || closed_) return false;
  DropDoneLeftovers();
  // A missing program is told now; one that fails to start later, when it does.
  if (!ProgramFound()) {
    Fail(QCoreApplication::translate("vorta::AlarmCommand",
                                     "Не удалось запустить команду тревоги ") +
         program_);
    return false;
  }
  // Never through a shell: each field is one argument, whatever it contains.
  QStringList arguments = fixed_ + AlarmArguments(alarm, event);
  if (Running() < limits_.AtOnce) {
    Start(arguments);
    return true;
  }
  if (Waiting() < limits_.Waiting) {
    waiting_.push_back(std::move(arguments));
    return true;
  }
  if (!dropping_) {
    dropping_ = true;
    messages_.ShowError(
        QCoreApplication::translate(
            "vorta::AlarmCommand",
            "Команда тревоги %1: выполняются %2 и ждут %3, новые тревоги остаются без "
            "команды, пока очередь не освободится")
            .arg(program_)
            .arg(Running())
            .arg(Waiting()));
  }
  return false;
}

void TAlarmCommand::Start(const QStringList& arguments) {
  auto owned = std::make_unique<TRun>();
  TRun& run = *owned;
  run.Process = std::make_unique<QProcess>();
  QProcess& process = *run.Process;
  process.setProgram(program_);
  process.setArguments(arguments);
  process.setWorkingDirectory(folder_);
  // Nothing to read and its output nowhere: a run can neither wait for input
  // nor fill a pipe of the program's own. Its error output is read as it comes.
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  // Its own session: the time limit and the program's end reach its children,
  // and a Ctrl+C at the program's terminal does not reach it.
  process.setChildProcessModifier([] { ::setsid(); });
  // A program that leaves the session still carries the run's mark.
  run.Mark = QByteArray(kRunMarkName) + '=' + QByteArray::number(::getpid()) + '-' +
             QByteArray::number(++gRunSerial);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QString::fromLatin1(kRunMarkName),
                     QString::fromLatin1(run.Mark.mid(qsizetype{sizeof kRunMarkName})));
  process.setProcessEnvironment(environment);
  QObject::connect(&process, &QProcess::readyReadStandardError, &process, [&run] {
    run.ErrorTail += run.Process->readAllStandardError();
    if (run.ErrorTail.size() > kErrorTailBytes) {
      run.ErrorTail.remove(0, run.ErrorTail.size() - kErrorTailBytes);
    }
  });
  QObject::connect(&process, &QProcess::finished, &process,
                   [this, &run](int code, QProcess::ExitStatus status) {
                     OnExit(run, code, status == QProcess::CrashExit);
                   });
  QObject::connect(
      &process, &QProcess::errorOccurred, &process, [this, &run](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        Finished(run, QCoreApplication::translate("vorta::AlarmCommand",
                                                  "Не удалось запустить команду тревоги ") +
                          program_);
      });
  run.Limit = time_.CreateTimer(limits_.TimeLimit * 1000);
  run.Limit->OnTimer = [this, &run] { OnTimeLimit(run); };
  run.Limit->SetEnabled(true);
  run.Running.start();
  running_.push_back(std::move(owned));
  process.start();
  run.Leader = static_cast<pid_t>(process.processId());
}

void TAlarmCommand::OnExit(TRun& run, int code, bool crashed) {
  QString failure;
  if (run.Terminated) {
    failure = QCoreApplication::translate("vorta::AlarmCommand",
                                          "Команда тревоги %1 не завершилась за %2 с и остановлена")
                  .arg(program_)
                  .arg(limits_.TimeLimit);
  } else if (crashed) {
    failure = QCoreApplication::translate("vorta::AlarmCommand",
                                          "Команда тревоги %1 завершилась аварийно")
                  .arg(program_);
  } else if (code != 0) {
    failure = QCoreApplication::translate("vorta::AlarmCommand",
                                          "Команда тревоги %1 завершилась с кодом %2")
                  .arg(program_)
                  .arg(code);
    const QString why = LastLine(run.ErrorTail + run.Process->readAllStandardError());
    if (!why.isEmpty()) failure += QStringLiteral(": ") + why;
  }
  Finished(run, failure);
}

void TAlarmCommand::OnTimeLimit(TRun& run) {
  const qint64 limitMs = qint64{limits_.TimeLimit} * 1000;
  if (!run.Terminated && run.Running.elapsed() < limitMs) {
    // Virtual time ran ahead of the command's own: wait for the rest.
    run.Limit->SetInterval(static_cast<int>(std::max<qint64>(1, limitMs - run.Running.elapsed())));
    return;
  }
  if (!run.Terminated) {
    run.Terminated = true;
    run.TerminatedAt = time_.GetTickCount();
    Signal(run, SIGTERM);
    run.Limit->SetInterval(kKillGraceMs);
    return;
  }
  Signal(run, SIGKILL);
  run.Limit->SetEnabled(false);
}

void TAlarmCommand::Signal(TRun& run, int signal) {
  SignalAll(FindRunMembers(run.Leader, run.Mark, {}).Alive, signal);
}

void TAlarmCommand::KeepEnding(const TRun& run) {
  const TRunMembers members = FindRunMembers(run.Leader, run.Mark, {});
  if (members.Alive.empty() && members.Zombies.empty()) return;
  auto left = std::make_unique<TLeftover>();
  left->Leader = run.Leader;
  left->Mark = run.Mark;
  left->Seen = members.Alive;
  if (run.Terminated) {
    // The grace started at the limit, not now.
    left->WaitedMs = static_cast<int>(time_.GetTickCount() - run.TerminatedAt);
  } else {
    SignalAll(members.Alive, SIGTERM);
  }
  TLeftover& ref = *left;
  left->Step = time_.CreateTimer(kLeftoverStepMs);
  left->Step->OnTimer = [this, &ref] { StepLeftover(ref); };
  left->Step->SetEnabled(true);
  leftovers_.push_back(std::move(left));
}

void TAlarmCommand::StepLeftover(TLeftover& left) {
  left.WaitedMs += kLeftoverStepMs;
  TRunMembers members = FindRunMembers(left.Leader, left.Mark, left.Seen);
  ReapChildren(members.Zombies);
  for (const pid_t pid : members.Alive) {
    if (std::find(left.Seen.begin(), left.Seen.end(), pid) == left.Seen.end()) {
      left.Seen.push_back(pid);
    }
  }
  if (!left.Killed && left.WaitedMs >= kKillGraceMs) {
    left.Killed = true;
    SignalAll(members.Alive, SIGKILL);
  } else if (members.Alive.empty() || left.WaitedMs >= 3 * kKillGraceMs) {
    // Freed by the next call from outside: a timer is not deleted in its own handler.
    left.Done = true;
    left.Step->SetEnabled(false);
  }
}

void TAlarmCommand::DropDoneLeftovers() {
  leftovers_.erase(std::remove_if(leftovers_.begin(), leftovers_.end(),
                                  [](const auto& left) { return left->Done; }),
                   leftovers_.end());
}

void TAlarmCommand::Finished(TRun& run, const QString& failure) {
  const auto it = std::find_if(running_.begin(), running_.end(),
                               [&run](const std::unique_ptr<TRun>& r) { return r.get() == &run; });
  if (it == running_.end()) return;
  const std::unique_ptr<TRun> ended = std::move(*it);
  running_.erase(it);
  DropDoneLeftovers();
  // Its own program has exited; what it started goes too.
  KeepEnding(*ended);
  // Called from the process's own signal: it is freed once that has returned.
  QProcess* process = ended->Process.release();
  QObject::disconnect(process, nullptr, nullptr, nullptr);
  process->deleteLater();
  if (failure.isEmpty()) {
    failing_ = false;
  } else {
    Fail(failure);
  }
  while (!closed_ && Running() < limits_.AtOnce && !waiting_.empty()) {
    const QStringList next = std::move(waiting_.front());
    waiting_.pop_front();
    Start(next);
  }
  if (waiting_.empty()) dropping_ = false;
}

void TAlarmCommand::Fail(const QString& text) {
  if (failing_) return;
  failing_ = true;
  messages_.ShowError(text);
}

void TAlarmCommand::EndAll() {
  closed_ = true;
  waiting_.clear();
  struct TGroup {
    pid_t Leader;
    QByteArray Mark;
    std::vector<pid_t> Seen;
  };
  std::vector<TGroup> groups;
  std::vector<pid_t> leaders;  // collected by their QProcess, never reaped here
  for (const auto& run : running_) {
    QObject::disconnect(run->Process.get(), nullptr, nullptr, nullptr);
    groups.push_back({run->Leader, run->Mark, {}});
    leaders.push_back(run->Leader);
  }
  for (const auto& left : leftovers_) groups.push_back({left->Leader, left->Mark, left->Seen});
  leftovers_.clear();
  const auto alive = [&groups, &leaders](bool reap) {
    std::vector<pid_t> all;
    for (TGroup& g : groups) {
      TRunMembers members = FindRunMembers(g.Leader, g.Mark, g.Seen);
      std::erase_if(members.Zombies, [&leaders](pid_t pid) {
        return std::find(leaders.begin(), leaders.end(), pid) != leaders.end();
      });
      if (reap) ReapChildren(members.Zombies);
      g.Seen.insert(g.Seen.end(), members.Alive.begin(), members.Alive.end());
      all.insert(all.end(), members.Alive.begin(), members.Alive.end());
    }
    return all;
  };
  std::vector<pid_t> left = alive(false);
  SignalAll(left, SIGTERM);
  // The timers have stopped by now: this counts the system's own time, which
  // is what the programs take to end.
  QElapsedTimer waited;
  waited.start();
  while (!left.empty() && waited.elapsed() < kKillGraceMs) {
    for (const auto& run : running_) run->Process->waitForFinished(0);
    QThread::msleep(20);
    left = alive(true);
  }
  SignalAll(left, SIGKILL);
  // Collects the exits, so that no zombie is left.
  for (const auto& run : running_) run->Process->waitForFinished(1000);
  waited.restart();
  do {
    left = alive(true);
    if (!left.empty()) QThread::msleep(10);
  } while (!left.empty() && waited.elapsed() < 1000);
  alive(true);
  running_.clear();
}

}  // namespace vorta
