#include "process/AlarmCommand.h"

#include <QProcess>

#include "platform/Messages.h"

namespace vorta {

TAlarmCommand::TAlarmCommand(const QString& command, QString folder, IMessageSink& messages)
    : folder_(std::move(folder)), messages_(messages) {
  QStringList parts = QProcess::splitCommand(command);
  if (!parts.isEmpty()) program_ = parts.takeFirst();
  fixed_ = parts;
}

bool TAlarmCommand::Run(const TAlarm& alarm, TAlarmEvent event) {
  if (program_.isEmpty()) return false;
  // Never through a shell: each field is one argument, whatever it contains.
  const bool started =
      QProcess::startDetached(program_, fixed_ + AlarmArguments(alarm, event), folder_);
  if (started) {
    failing_ = false;
  } else if (!failing_) {
    failing_ = true;
    messages_.ShowError(QStringLiteral("Не удалось запустить команду тревоги ") + program_);
  }
  return started;
}

}  // namespace vorta
