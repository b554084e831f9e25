#include "app/ControlCommands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <optional>

#include "app/MainForm.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "platform/Numbers.h"
#include "platform/RealTimerService.h"
#include "process/DataLog.h"
#include "process/PanelActions.h"
#include "process/ProcessRecord.h"
#include "process/Setpoints.h"
#include "process/StatusMessages.h"

namespace vorta {

namespace {

const char* const kChannelNames[] = {"pH", "t°C", "pO2", "eH"};
// The mode keys a caller may type, by mode number; the data log's
// abbreviations, the panel's names and the numbers are taken too.
const char* const kModeKeys[] = {"uncontrolled", "batch", "chemostat", "turbidostat"};

TControlReply Refused(const QString& text) {
  return {kControlRefused, text};
}

TControlReply Usage(const QString& text) {
  return {kControlUsage, text + u'\n' + ControlUsage()};
}

QString Json(const QJsonValue& v) {
  return QString::fromUtf8(v.isArray()
                               ? QJsonDocument(v.toArray()).toJson(QJsonDocument::Indented)
                               : QJsonDocument(v.toObject()).toJson(QJsonDocument::Indented));
}

TVortaProcess* FindVessel(TMainForm& form, const QString& text) {
  bool ok = false;
  const int number = text.toInt(&ok);
  if (!ok) return nullptr;
  for (const auto& p : form.Processes()) {
    if (p->Config.NumProcess == number) return p.get();
  }
  return nullptr;
}

QString VesselList(TMainForm& form) {
  QStringList numbers;
  for (const auto& p : form.Processes()) numbers << QString::number(p->Config.NumProcess);
  return numbers.isEmpty() ? QStringLiteral("нет сосудов") : numbers.join(QStringLiteral(", "));
}

std::optional<int> ParseMode(const TVortaProcess& p, const QString& text) {
  bool ok = false;
  const int number = text.toInt(&ok);
  if (ok) return number >= 0 && number <= 3 ? std::optional<int>(number) : std::nullopt;
  if (const int m = ModeFromAbbreviation(text); m >= 0) return m;
  for (int m = 0; m < 4; ++m) {
    if (text.compare(QLatin1String(kModeKeys[m]), Qt::CaseInsensitive) == 0 ||
        text.compare(p.ModeName[static_cast<size_t>(m)], Qt::CaseInsensitive) == 0) {
      return m;
    }
  }
  return std::nullopt;
}

std::optional<int> ParseChannel(const QString& text) {
  static const QStringList kExtra[] = {
      {QStringLiteral("1"), QStringLiteral("ph")},
      {QStringLiteral("2"), QStringLiteral("t"), QStringLiteral("tc"), QStringLiteral("t°c")},
      {QStringLiteral("3"), QStringLiteral("po2")},
      {QStringLiteral("4"), QStringLiteral("eh")}};
  for (int ch = 0; ch < 4; ++ch) {
    if (kExtra[ch].contains(text.toLower())) return ch + 1;
  }
  return std::nullopt;
}

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
  o[QLatin1String("modeKey")] = QLatin1String(kModeKeys[mode]);
  o[QLatin1String("modeName")] = p.ModeName[static_cast<size_t>(mode)];
  o[QLatin1String("link")] = p.PanelState.StatusText[3].trimmed();
  o[QLatin1String("rpm")] = p.MixerRpm;
  QJsonArray channels;
  for (size_t ch = 1; ch <= 4; ++ch) {
    QJsonObject c;
    c[QLatin1String("channel")] = QString::fromUtf8(kChannelNames[ch - 1]);
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

TControlReply Status(TMainForm& form, bool json) {
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
                   .arg(QString::fromUtf8(kChannelNames[ch - 1]), -4)
                   .arg(value, 8)
                   .arg(FormatFixed(p.Channel[ch].Config.Setpoint, 2), 8)
                   .arg(RegulationText(p.Channel[ch].Status));
    }
    for (const TAlarm& a : form.Alarms().List()) {
      if (a.Active() && a.Vessel == p.Config.NumProcess)
        lines << QStringLiteral("    тревога ") + AlarmText(a);
    }
  }
  for (const TAlarm& a : form.Alarms().List()) {
    if (a.Active() && a.Vessel == 0) lines << QStringLiteral("программа: тревога ") + AlarmText(a);
  }
  if (json) {
    QJsonObject all;
    all[QLatin1String("vessels")] = vessels;
    QJsonArray program;
    for (const TAlarm& a : form.Alarms().List()) {
      if (a.Active() && a.Vessel == 0) program.append(AlarmObject(a));
    }
    all[QLatin1String("programAlarms")] = program;
    return {0, Json(all)};
  }
  return {0, lines.join(u'\n')};
}

TControlReply Alarms(TMainForm& form, bool json) {
  QJsonArray list;
  QStringList lines;
  for (const TAlarm& a : form.Alarms().List()) {
    list.append(AlarmObject(a));
    lines << (a.Vessel != 0 ? QStringLiteral("%1 %2: ").arg(a.Vessel).arg(a.VesselName)
                            : QStringLiteral("программа: ")) +
                 AlarmText(a);
  }
  if (json) return {0, Json(list)};
  return {0, lines.isEmpty() ? QStringLiteral("Тревог нет") : lines.join(u'\n')};
}

TControlReply Mode(TMainForm& form, const QStringList& args) {
  TVortaProcess* p = FindVessel(form, args[1]);
  if (p == nullptr) {
    return Refused(QStringLiteral("Нет сосуда «%1»; сосуды: %2").arg(args[1], VesselList(form)));
  }
  const std::optional<int> mode = ParseMode(*p, args[2]);
  if (!mode) {
    return Refused(QStringLiteral("Неизвестный режим «%1»; режимы: uncontrolled, batch, "
                                  "chemostat, turbidostat (или 0..3)")
                       .arg(args[2]));
  }
  ChangeMode(*p, *mode);
  return {
      0, QStringLiteral("%1: режим %2").arg(p->Caption(), p->ModeName[static_cast<size_t>(*mode)])};
}

TControlReply Setpoint(TMainForm& form, const QStringList& args) {
  TVortaProcess* p = FindVessel(form, args[1]);
  if (p == nullptr) {
    return Refused(QStringLiteral("Нет сосуда «%1»; сосуды: %2").arg(args[1], VesselList(form)));
  }
  const std::optional<int> ch = ParseChannel(args[2]);
  if (!ch) {
    return Refused(
        QStringLiteral("Неизвестный канал «%1»; каналы: pH, t, pO2, eH (или 1..4)").arg(args[2]));
  }
  // A script's number: a point and nothing else, so that "6,5" is never
  // taken for something the caller did not mean.
  static const QRegularExpression kNumber(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)$)"));
  if (!kNumber.match(args[3]).hasMatch()) {
    return Refused(QStringLiteral("«%1» — не число (дробную часть отделяет точка)").arg(args[3]));
  }
  const double value = args[3].toDouble();
  const double low = p->Channel[static_cast<size_t>(*ch)].Config.MinValue;
  const double high = p->Channel[static_cast<size_t>(*ch)].Config.MaxValue;
  if (low < high && (value < low || value > high)) {
    return Refused(QStringLiteral("Уставка %1 вне пределов измерения канала %2: %3..%4")
                       .arg(FormatFixed(value, 2), QString::fromUtf8(kChannelNames[*ch - 1]),
                            FormatFixed(low, 2), FormatFixed(high, 2)));
  }
  TSetTexts texts = SetDialogTexts(*p, kSetpointMode);
  texts[static_cast<size_t>(*ch - 1)] = FormatFixed(value, 2);
  if (const auto error = ApplySetDialog(*p, kSetpointMode, texts)) return Refused(error->Message);
  return {0, QStringLiteral("%1: уставка %2 = %3")
                 .arg(p->Caption(), QString::fromUtf8(kChannelNames[*ch - 1]),
                      FormatFixed(p->Channel[static_cast<size_t>(*ch)].Config.Setpoint, 2))};
}

TControlReply Acknowledge(TMainForm& form, const TControlRequest& request) {
  const QString& which = request.Args[1];
  int count = 0;
  if (which == QLatin1String("all")) {
    count = form.Alarms().AcknowledgeAll(request.User);
  } else {
    const TVortaProcess* p = FindVessel(form, which);
    if (p == nullptr) {
      return Refused(
          QStringLiteral("Нет сосуда «%1»; сосуды: %2 или all").arg(which, VesselList(form)));
    }
    std::vector<std::int64_t> ids;
    for (const TAlarm& a : form.Alarms().List()) {
      if (a.Vessel == p->Config.NumProcess && a.AckBy.isEmpty()) ids.push_back(a.Id);
    }
    for (const std::int64_t id : ids) count += form.Alarms().Acknowledge(id, request.User) ? 1 : 0;
  }
  return {0, QStringLiteral("Квитировано тревог: %1").arg(count)};
}

}  // namespace

QString ControlUsage() {
  return QStringLiteral(
      "Команды:\n"
      "  status                     сосуды: режим, связь, каналы, тревоги\n"
      "  alarms                     тревоги: действующие и недавние\n"
      "  mode VESSEL MODE           режим: uncontrolled, batch, chemostat, turbidostat\n"
      "  setpoint VESSEL CHANNEL VALUE   уставка канала pH, t, pO2 или eH\n"
      "  ack VESSEL|all             квитировать тревоги\n"
      "--json: ответ status и alarms в JSON");
}

TControlReply RunControlCommand(TMainForm& form, const TControlRequest& request) {
  const QStringList& args = request.Args;
  if (args.isEmpty()) return Usage(QStringLiteral("Нет команды."));
  const QString& command = args[0];
  const auto words = [&args](qsizetype n) { return args.size() == n; };
  if (command == QLatin1String("status") && words(1)) return Status(form, request.Json);
  if (command == QLatin1String("alarms") && words(1)) return Alarms(form, request.Json);
  const bool change = (command == QLatin1String("mode") && words(3)) ||
                      (command == QLatin1String("setpoint") && words(4)) ||
                      (command == QLatin1String("ack") && words(2));
  if (!change) return Usage(QStringLiteral("Непонятная команда: %1").arg(args.join(u' ')));
  if (form.Closed()) return Refused(QStringLiteral("Программа завершает работу"));
  // The records this change writes name the caller and the source "Command".
  TJournal* journal = form.Journal();
  if (journal != nullptr) journal->SetActor(TJournal::TActor{request.User});
  TControlReply reply;
  if (command == QLatin1String("mode")) {
    reply = Mode(form, args);
  } else if (command == QLatin1String("setpoint")) {
    reply = Setpoint(form, args);
  } else {
    reply = Acknowledge(form, request);
  }
  if (journal != nullptr) journal->SetActor(std::nullopt);
  return reply;
}

}  // namespace vorta
