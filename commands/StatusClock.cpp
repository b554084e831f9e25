// Caption of the status window and the elapsed-time clock it starts and stops.

#include <QCoreApplication>
#include <QLocale>

#include "commands/JournalChanges.h"
#include "commands/StatusClock.h"
#include "platform/RealTimerService.h"
#include "platform/TimerService.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

// The machine's long time format without its time-zone field: the system
// this follows shows hours, minutes and seconds only.
QString LongTimeFormat(const QLocale& locale) {
  const QString format = locale.timeFormat(QLocale::LongFormat);
  QString out;
  bool quoted = false;
  for (QChar c : format) {
    if (c == u'\'') quoted = !quoted;
    if (!quoted && c == u't') continue;
    out += c;
  }
  return out.trimmed();
}

QString ClockText(const TProgramState& program) {
  return (program.EftRunning ? QStringLiteral("идут, ") : QStringLiteral("стоят, ")) +
         program.EftText;
}

// The clock is the program's, not a vessel's: recorded without one.
QString ClockSubject() {
  return QStringLiteral("Часы EFT");
}

}  // namespace

QString StatusCaption(const TVortaProcess& p, int subject) {
  QString base = QCoreApplication::translate("vorta::StatusClock", "Статус");
  if (subject >= 1 && subject <= 4) {
    return base + QStringLiteral(" - ") + p.Config.AssignName[static_cast<size_t>(subject)];
  }
  switch (subject) {
    case 5:
      return base + QCoreApplication::translate("vorta::StatusClock", " - Миксер");
    case 6:
      return base + QStringLiteral(" - USB");
    case kStatusProcess:
      return base + QCoreApplication::translate("vorta::StatusClock", " - Процесс");
    default:
      return base;
  }
}

bool StatusShowsClock(int subject) {
  return subject == kStatusProcess;
}

void StartElapsedClock(TVortaEnv& env, double now) {
  TProgramState& program = env.Program;
  RecordProgramChange(env, ClockSubject(), ClockText(program), QStringLiteral("идут с нуля"),
                      TJournalSource::Button);
  program.EftRunning = true;
  program.EftStart = now;
  program.EftStartMs = env.Time.MonotonicMs();
  program.EftStop = 0;
  program.EftSeconds = 0;
  program.EftLastSecond = 0;
  program.TwoSecondTicks = 0;
}

void StopElapsedClock(TVortaEnv& env, double now) {
  const QString before = ClockText(env.Program);
  env.Program.EftRunning = false;
  env.Program.EftStop = now;
  RecordProgramChange(env, ClockSubject(), before, ClockText(env.Program), TJournalSource::Button);
}

QString StatusDateTimeText(double when) {
  const QDateTime t = FromSystemDateTime(when);
  const QLocale locale = QLocale::system();
  return locale.toString(t.date(), QLocale::ShortFormat) + u' ' +
         locale.toString(t.time(), LongTimeFormat(locale));
}

}  // namespace vorta
