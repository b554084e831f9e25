#include "journal/AlarmCommand.h"

#include <sys/types.h>
#include <unistd.h>
#include <QCoreApplication>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <csignal>
#include <utility>

#include "platform/Messages.h"
#include "platform/TimerService.h"

namespace vorta {

namespace {

constexpr qsizetype kErrorTailBytes = 2048;
// What still runs this long after the polite end at the time limit is killed.
constexpr int kKillGraceMs = 5000;

// The last line a command wrote to its error output: usually why it failed.
QString LastLine(const QByteArray& tail) {
  const QStringList lines = QString::fromLocal8Bit(tail).split(u'\n');
  for (qsizetype i = lines.size() - 1; i >= 0; --i) {
    const QString line = lines[i].trimmed();
    if (!line.isEmpty()) return line.left(200);
  }
  return {};
}

// Each run leads a session of its own, so that the signal reaches every
// program it started too (a shell script's sleep or mail client).
void SignalGroup(const QProcess& process, int signal) {
  const qint64 pid = process.processId();
  if (pid > 0) ::kill(-static_cast<pid_t>(pid), signal);
}

}  // namespace

TAlarmCommand::TAlarmCommand(const QString& command, QString folder, TTimerService& time,
                             IMessageSink& messages, TAlarmCommandLimits limits)
    : folder_(std::move(folder)), time_(time), messages_(messages), limits_(limits) {
  QStringList parts = QProcess::splitCommand(command);
  if (!parts.isEmpty()) program_ = parts.takeFirst();
  fixed_ = parts;
}

TAlarmCommand::~TAlarmCommand() {
  EndAll();
}

bool TAlarmCommand::ProgramFound() const {
  if (!program_.contains(u'/')) return !QStandardPaths::findExecutable(program_).isEmpty();
  const QFileInfo file(QDir(folder_).filePath(program_));
  return file.isFile() && file.isExecutable();
}

bool TAlarmCommand::Run(const TAlarm& alarm, TAlarmEvent event) {
  if (program_.isEmpty() || closed_) return false;
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
    SignalGroup(*run.Process, SIGTERM);
    run.Limit->SetInterval(kKillGraceMs);
    return;
  }
  SignalGroup(*run.Process, SIGKILL);
  run.Limit->SetEnabled(false);
}

void TAlarmCommand::Finished(TRun& run, const QString& failure) {
  const auto it = std::find_if(running_.begin(), running_.end(),
                               [&run](const std::unique_ptr<TRun>& r) { return r.get() == &run; });
  if (it == running_.end()) return;
  const std::unique_ptr<TRun> ended = std::move(*it);
  running_.erase(it);
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
  for (const auto& run : running_) {
    QProcess& process = *run->Process;
    QObject::disconnect(&process, nullptr, nullptr, nullptr);
    SignalGroup(process, SIGKILL);
    // Killed already: this only collects the exit, so that no zombie is left.
    process.waitForFinished(1000);
  }
  running_.clear();
}

}  // namespace vorta
