#include "app/ControlReports.h"

#include <unistd.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <array>
#include <cmath>

#include "app/ControlCommands.h"
#include "app/ControlWords.h"
#include "app/MainForm.h"
#include "commands/ControlParams.h"
#include "commands/MixerWindowLogic.h"
#include "commands/PanelActions.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "journal/JournalTail.h"
#include "platform/Numbers.h"
#include "platform/RealTimerService.h"
#include "process/ProcessRecord.h"
#include "process/StatusMessages.h"

namespace vorta {

namespace {

QJsonObject AlarmObject(const TAlarm& a) {
  QJsonObject o;
  o[QLatin1String("id")] = static_cast<double>(a.Id);
  o[QLatin1String("vessel")] = a.Vessel;
  o[QLatin1String("kind")] = AlarmKindKey(a.Kind);
  o[QLatin1String("source")] = a.Source;
  o[QLatin1String("text")] = a.Text;
  o[QLatin1String("raised")] = EventStamp(a, TAlarmEvent::Raised);
  o[QLatin1String("active")] = a.Active();
  if (!a.Active()) o[QLatin1String("cleared")] = EventStamp(a, TAlarmEvent::Cleared);
  o[QLatin1String("acknowledgedBy")] = a.AckBy.isEmpty() ? QJsonValue() : QJsonValue(a.AckBy);
  return o;
}

QString AlarmText(const TAlarm& a) {
  QString line =
      QStringLiteral("#%1 %2 %3").arg(a.Id).arg(EventStamp(a, TAlarmEvent::Raised), a.Text);
  if (!a.Source.isEmpty()) line += QStringLiteral(" (%1)").arg(a.Source);
  if (!a.Active()) line += QStringLiteral(", снята ") + EventStamp(a, TAlarmEvent::Cleared);
  line += a.AckBy.isEmpty() ? QStringLiteral(", не квитирована")
                            : QStringLiteral(", квитировал ") + a.AckBy;
  return line;
}

QJsonObject VesselObject(TMainForm& form, const TVortaProcess& p) {
  QJsonObject o;
  o[QLatin1String("vessel")] = p.Config.NumProcess;
  o[QLatin1String("name")] = p.Caption();
  const int mode = ModeIndex(p.Mode);
  o[QLatin1String("mode")] = mode;
  o[QLatin1String("modeKey")] = ModeKey(mode);
  o[QLatin1String("modeName")] = p.ModeName[static_cast<size_t>(mode)];
  o[QLatin1String("link")] = p.PanelState.StatusText[3].trimmed();
  o[QLatin1String("rpm")] = p.MixerRpm;
  QJsonArray channels;
  for (size_t ch = 1; ch <= 4; ++ch) {
    QJsonObject c;
    c[QLatin1String("channel")] = ChannelName(static_cast<int>(ch));
    c[QLatin1String("value")] =
        p.Channel[ch].ReadingInvalid != 0 || !std::isfinite(p.Channel[ch].Value)
            ? QJsonValue()
            : QJsonValue(p.Channel[ch].Value);
    c[QLatin1String("setpoint")] = p.Channel[ch].Config.Setpoint;
    c[QLatin1String("status")] = static_cast<int>(p.Channel[ch].Status);
    c[QLatin1String("statusText")] = RegulationText(p.Channel[ch].Status);
    channels.append(c);
  }
  o[QLatin1String("channels")] = channels;
  QJsonArray alarms;
  for (const TAlarm& a : form.Alarms().List()) {
    if (a.Active() && a.Vessel == p.Config.NumProcess) alarms.append(AlarmObject(a));
  }
  o[QLatin1String("alarms")] = alarms;
  return o;
}

QJsonObject JournalObject(const TJournalLine& r) {
  QJsonObject o;
  o[QLatin1String("time")] = r.Time;
  o[QLatin1String("user")] = r.User;
  o[QLatin1String("vessel")] = r.Vessel.toInt();
  o[QLatin1String("vesselName")] = r.VesselName;
  o[QLatin1String("kind")] = r.Kind;
  o[QLatin1String("subject")] = r.Subject;
  o[QLatin1String("old")] = r.OldValue;
  o[QLatin1String("new")] = r.NewValue;
  o[QLatin1String("source")] = r.Source;
  return o;
}

QString Duration(std::int64_t seconds) {
  const std::int64_t days = seconds / 86400;
  const QString clock = QStringLiteral("%1:%2:%3")
                            .arg(seconds / 3600 % 24, 2, 10, QLatin1Char('0'))
                            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
  return days > 0 ? QStringLiteral("%1 д %2").arg(days).arg(clock) : clock;
}

}  // namespace

TControlReply StatusReport(TMainForm& form) {
  QJsonArray vessels;
  QStringList lines;
  for (const auto& process : form.Processes()) {
    const TVortaProcess& p = *process;
    const QJsonObject o = VesselObject(form, p);
    vessels.append(o);
    lines << QStringLiteral("%1  %2  режим: %3  связь: %4  мешалка: %5 об/мин")
                 .arg(p.Config.NumProcess)
                 .arg(p.Caption(), o[QLatin1String("modeName")].toString(),
                      o[QLatin1String("link")].toString())
                 .arg(p.MixerRpm);
    for (size_t ch = 1; ch <= 4; ++ch) {
      const QString value = p.Channel[ch].ReadingInvalid != 0 ? QStringLiteral("—")
                                                              : FormatFixed(p.Channel[ch].Value, 2);
      lines << QStringLiteral("    %1 %2  уставка %3  %4")
                   .arg(ChannelName(static_cast<int>(ch)), -4)
                   .arg(value, 8)
                   .arg(FormatFixed(p.Channel[ch].Config.Setpoint, 2), 8)
                   .arg(RegulationText(p.Channel[ch].Status));
    }
    for (const TAlarm& a : form.Alarms().List()) {
      if (a.Active() && a.Vessel == p.Config.NumProcess)
        lines << QStringLiteral("    тревога ") + AlarmText(a);
    }
  }
  QJsonArray program;
  for (const TAlarm& a : form.Alarms().List()) {
    if (a.Active() && a.Vessel == 0) {
      lines << QStringLiteral("программа: тревога ") + AlarmText(a);
      program.append(AlarmObject(a));
    }
  }
  QJsonObject all;
  all[QLatin1String("vessels")] = vessels;
  all[QLatin1String("programAlarms")] = program;
  return {0, lines.join(u'\n'), all};
}

TControlReply AlarmsReport(TMainForm& form) {
  QJsonArray list;
  QStringList lines;
  for (const TAlarm& a : form.Alarms().List()) {
    list.append(AlarmObject(a));
    lines << (a.Vessel != 0 ? QStringLiteral("%1 %2: ").arg(a.Vessel).arg(a.VesselName)
                            : QStringLiteral("программа: ")) +
                 AlarmText(a);
  }
  return {0, lines.isEmpty() ? QStringLiteral("Тревог нет") : lines.join(u'\n'), list};
}

TControlReply JournalReport(TMainForm& form, const TJournalWords& words) {
  const TJournal* journal = form.Journal();
  if (journal == nullptr) return {kControlRefused, QStringLiteral("Журнал не открыт")};
  TJournalTailQuery query;
  query.Count = words.Count;
  query.Since = words.Since;
  query.Vessel = words.Vessel;
  const TJournalTail tail = ReadJournalTail(journal->Path(), query);
  if (!tail.Readable) {
    return {kControlRefused, QStringLiteral("Не удалось прочитать журнал %1").arg(journal->Path())};
  }
  QStringList lines;
  QJsonArray records;
  for (const TJournalLine& r : tail.Records) {
    records.append(JournalObject(r));
    QString line = QStringLiteral("%1  %2  %3  %4").arg(r.Time, r.User, r.Source, r.Kind);
    if (r.Vessel != QLatin1String("0"))
      line += QStringLiteral("  %1 %2").arg(r.Vessel, r.VesselName);
    line += QStringLiteral("  %1").arg(r.Subject);
    if (!r.OldValue.isEmpty() || !r.NewValue.isEmpty()) {
      line += QStringLiteral(": %1 → %2").arg(r.OldValue, r.NewValue);
    }
    // One record, one line.
    line.replace(u'\n', QStringLiteral("; "));
    lines << line;
  }
  if (tail.Records.empty()) lines << QStringLiteral("Записей нет");
  QJsonObject chain;
  chain[QLatin1String("linksChecked")] = tail.LinksChecked;
  chain[QLatin1String("matches")] = tail.BrokenAt.isEmpty();
  chain[QLatin1String("brokenAt")] = tail.BrokenAt.isEmpty() ? QJsonValue() : tail.BrokenAt;
  chain[QLatin1String("tornTail")] = tail.TornTail;
  if (tail.BrokenAt.isEmpty()) {
    lines << QStringLiteral("Цепочка сходится (проверено связей: %1)").arg(tail.LinksChecked);
  } else {
    lines << QStringLiteral(
                 "ЦЕПОЧКА НЕ СХОДИТСЯ у записи %1: запись изменена, удалена или вставлена; "
                 "весь журнал проверяет vorta --verify-journal")
                 .arg(tail.BrokenAt);
  }
  if (tail.TornTail) lines << QStringLiteral("Последняя строка журнала оборвана");
  QJsonObject data;
  data[QLatin1String("records")] = records;
  data[QLatin1String("chain")] = chain;
  return {0, lines.join(u'\n'), data};
}

TControlReply ParamsReport(const TVortaProcess& p, int channel) {
  QStringList lines{QStringLiteral("%1 %2: протокол каждые %3 мин")
                        .arg(p.Config.NumProcess)
                        .arg(p.Caption())
                        .arg(p.Config.ProtocolPeriodmin)};
  QJsonObject data;
  data[QLatin1String("vessel")] = p.Config.NumProcess;
  data[QLatin1String("logPeriodMinutes")] = p.Config.ProtocolPeriodmin;
  QJsonArray channels;
  for (int ch = 1; ch <= kCommonEntry; ++ch) {
    if (channel != 0 && ch != channel) continue;
    const TCtrlFields f = ExactCtrlFields(p, ch);
    QJsonObject o;
    o[QLatin1String("channel")] = ChannelName(ch);
    QStringList words;
    if (ch != kCommonEntry) {
      o[QLatin1String("setpoint")] = p.Channel[static_cast<size_t>(ch)].Config.Setpoint;
      words << QStringLiteral("(уставка %1)")
                   .arg(FormatFixed(p.Channel[static_cast<size_t>(ch)].Config.Setpoint, 2));
    }
    for (const QString& name : ParamKeys()) {
      const TParamKey& key = *FindParamKey(name);
      if (!key.PerChannel) continue;
      o[name] = ParamValue(f, key);
      words << name + u'=' + ParamValue(f, key);
    }
    channels.append(o);
    lines << QStringLiteral("  %1: %2").arg(ChannelName(ch), -6).arg(words.join(u' '));
  }
  data[QLatin1String("channels")] = channels;
  // The other pages of the dialog are the vessel's, whichever channel it shows.
  const TCtrlFields f = ExactCtrlFields(p, channel == 0 ? kCommonEntry : channel);
  QJsonObject vessel;
  QStringList words;
  for (const QString& name : ParamKeys()) {
    const TParamKey& key = *FindParamKey(name);
    if (key.PerChannel) continue;
    vessel[name] = ParamValue(f, key);
    words << name + u'=' + ParamValue(f, key);
  }
  data[QLatin1String("vesselParams")] = vessel;
  lines << QStringLiteral("  сосуд:  ") + words.join(u' ');
  return {0, lines.join(u'\n'), data};
}

TControlReply OutputsReport(const TVortaProcess& p) {
  // What drives each output, from the vessel's configuration.
  std::array<QStringList, 17> drivers;
  const auto add = [&drivers](int n, const QString& what) {
    if (n >= 1 && n <= 16) drivers[static_cast<size_t>(n)] << what;
  };
  for (int ch = 1; ch <= 4; ++ch) {
    const TChannelConfig& c = p.Channel[static_cast<size_t>(ch)].Config;
    add(c.CtrlOutUp, QStringLiteral("регулятор %1 +").arg(ChannelName(ch)));
    add(c.CtrlOutDown, QStringLiteral("регулятор %1 −").arg(ChannelName(ch)));
  }
  add(p.Epp.Ch, QStringLiteral("таймер 1"));
  add(p.Med.Ch, QStringLiteral("таймер 2"));
  add(p.Events1.Ch, QStringLiteral("событие 1"));
  add(p.Events2.Ch, QStringLiteral("событие 2"));
  add(p.Config.spumech, QStringLiteral("пеногашение"));
  add(p.Config.LightCh, QStringLiteral("свет"));
  add(p.Config.CommonPump, QStringLiteral("общий насос"));
  add(p.Config.Klapan, QStringLiteral("клапан подпитки"));
  for (int k = 1; k <= kManualButtons; ++k) {
    add(ManualButtonOutput(p, k), QStringLiteral("кнопка %1").arg(k));
  }
  add(12, QStringLiteral("чувствительность датчика пены"));
  add(13, QStringLiteral("чувствительность датчика пены"));
  add(14, QStringLiteral("питание насосов"));
  add(15, QStringLiteral("тип насосов"));
  add(16, QStringLiteral("сторожевой сигнал"));
  QStringList lines{QStringLiteral("%1 %2: выходы %3")
                        .arg(p.Config.NumProcess)
                        .arg(p.Caption(), FormatHex4(p.OutputWord))};
  QJsonArray outputs;
  for (int n = 1; n <= 16; ++n) {
    const bool on = ((p.OutputWord >> (n - 1)) & 1U) != 0;
    const QString name =
        n <= 12 ? p.OutputChannels[static_cast<size_t>(n)].ChName.trimmed() : QString();
    QJsonObject o;
    o[QLatin1String("output")] = n;
    o[QLatin1String("on")] = on;
    o[QLatin1String("name")] = name;
    o[QLatin1String("drivenBy")] = QJsonArray::fromStringList(drivers[static_cast<size_t>(n)]);
    outputs.append(o);
    lines << QStringLiteral("  %1 %2 %3 %4")
                 .arg(n, 2)
                 .arg(on ? QStringLiteral("вкл ") : QStringLiteral("выкл"))
                 .arg(name, -16)
                 .arg(drivers[static_cast<size_t>(n)].join(QStringLiteral(", ")));
  }
  QJsonObject data;
  data[QLatin1String("vessel")] = p.Config.NumProcess;
  data[QLatin1String("word")] = p.OutputWord;
  data[QLatin1String("outputs")] = outputs;
  return {0, lines.join(u'\n'), data};
}

TControlReply VersionReport(TMainForm& form) {
  const std::int64_t uptime = form.UptimeSeconds();
  // From the instant: the local days lose which of a repeated autumn hour it was.
  const QString started = LocalTimeWithOffsetAt(form.StartedAt().toMSecsSinceEpoch());
  const QString folder = QDir(form.Program().ProgramFolder).absolutePath();
  QJsonObject data;
  data[QLatin1String("program")] = QStringLiteral(VORTA_VERSION);
  data[QLatin1String("protocol")] = kControlProtocolVersion;
  data[QLatin1String("jsonVersion")] = kControlJsonVersion;
  data[QLatin1String("started")] = started;
  data[QLatin1String("uptimeSeconds")] = static_cast<double>(uptime);
  data[QLatin1String("folder")] = folder;
  data[QLatin1String("pid")] = static_cast<double>(::getpid());
  return {0,
          QStringLiteral("vorta %1, протокол %2, работает %3 (с %4), папка %5, PID %6")
              .arg(QStringLiteral(VORTA_VERSION))
              .arg(kControlProtocolVersion)
              .arg(Duration(uptime), started, folder)
              .arg(::getpid()),
          data};
}

}  // namespace vorta
