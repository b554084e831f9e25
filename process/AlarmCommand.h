#pragma once
// The lab's own hook for alarms ("[Alarms] Command=" of Vorta.ini): a program
// started for every alarm change with the alarm's fields as arguments, so
// that mail, a messenger or a siren can be attached without the controller
// knowing any of them.

#include <QString>
#include <QStringList>

#include "process/Alarms.h"

namespace vorta {

class IMessageSink;

class TAlarmCommand {
 public:
  // command: the program and any fixed arguments of its own, split as a
  // command line is (quotes group, nothing else is interpreted); folder: the
  // working folder it starts in.
  TAlarmCommand(const QString& command, QString folder, IMessageSink& messages);

  // Starts the program detached and returns at once; a start that fails is
  // told once until one succeeds again.
  bool Run(const TAlarm& alarm, TAlarmEvent event);

  [[nodiscard]] const QString& Program() const { return program_; }

 private:
  QString program_;
  QStringList fixed_;
  QString folder_;
  IMessageSink& messages_;
  bool failing_ = false;
};

}  // namespace vorta
