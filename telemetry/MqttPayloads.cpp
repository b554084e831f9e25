#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "commands/PanelActions.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "journal/JournalFormat.h"
#include "platform/RealTimerService.h"
#include "process/DataLogColumns.h"
#include "process/ProcessRecord.h"
#include "telemetry/MqttPayloads.h"

namespace vorta {

namespace {
const char* const kChannelNames[] = {"pH", "t°C", "pO2", "eH"};

QByteArray Compact(const QJsonObject& o) {
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonValue Number(double v) {
  return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

// A data log row's moment with its offset from UTC, null when it cannot be read.
QJsonValue RowTime(const QString& dateField, const QString& timeField, double now) {
  const QDateTime t = LogRowMoment(dateField, timeField, now);
  if (!t.isValid()) return {};
  return LocalTimeWithOffset(ToSystemDateTime(t));
}

}  // namespace

// A data log row carries the locale's short date cut to six characters (no
// year, often not even whole) and H:M:S without a zone, as written on this
// computer. Its day is the latest one, up to the day it is read, that the
// log would have written so: a backlog of up to a year reads right in any
// locale. The offset is the computer's zone at that moment.
QDateTime LogRowMoment(const QString& dateField, const QString& timeField, double now) {
  const QStringList hms = timeField.split(u':');
  if (hms.size() != 3 || dateField.isEmpty()) return {};
  bool okH = false;
  bool okM = false;
  bool okS = false;
  const QTime clock(hms[0].toInt(&okH), hms[1].toInt(&okM), hms[2].toInt(&okS));
  if (!okH || !okM || !okS || !clock.isValid()) return {};
  // Rows come in order: one day's rows ask for the same date.
  thread_local QString lastField;
  thread_local QDate lastToday;
  thread_local QDate lastDay;
  const QDate today = FromSystemDateTime(now).date();
  if (dateField != lastField || today != lastToday) {
    lastField = dateField;
    lastToday = today;
    lastDay = {};
    const QLocale locale = QLocale::system();
    for (int back = 0; back <= 366 && !lastDay.isValid(); ++back) {
      const QDate day = today.addDays(-back);
      if (locale.toString(day, QLocale::ShortFormat).left(6).trimmed() == dateField) lastDay = day;
    }
  }
  if (!lastDay.isValid()) return {};
  return QDateTime(lastDay, clock);
}

QByteArray StateJson(const TVortaProcess& p, std::int64_t utcMs, const QJsonObject& plan) {
  QJsonObject o;
  o[QLatin1String("time")] = LocalTimeWithOffsetAt(utcMs);
  o[QLatin1String("vessel")] = p.Config.NumProcess;
  o[QLatin1String("name")] = p.Caption();
  const int mode = ModeIndex(p.Mode);
  o[QLatin1String("mode")] = mode;
  o[QLatin1String("modeName")] = LogModeName(mode);
  o[QLatin1String("link")] = p.PanelState.StatusText[3].trimmed();
  o[QLatin1String("rpm")] = p.MixerRpm;
  o[QLatin1String("outputs")] = p.OutputWord;
  // The manual buttons the panel shows switched on, by their names.
  QJsonArray on;
  for (int k = 1; k <= kManualButtons; ++k) {
    if (OutputShownOn(p, ManualButtonOutput(p, k))) {
      on.append(p.OutputChannels[static_cast<size_t>(k)].ChName);
    }
  }
  o[QLatin1String("on")] = on;
  QJsonArray channels;
  for (size_t ch = 1; ch <= 4; ++ch) {
    QJsonObject c;
    c[QLatin1String("name")] = QString::fromUtf8(kChannelNames[ch - 1]);
    c[QLatin1String("value")] =
        p.Channel[ch].ReadingInvalid != 0 ? QJsonValue() : Number(p.Channel[ch].Value);
    c[QLatin1String("setpoint")] = Number(p.Channel[ch].Config.Setpoint);
    c[QLatin1String("status")] = static_cast<int>(p.Channel[ch].Status);
    channels.append(c);
  }
  o[QLatin1String("channels")] = channels;
  if (!plan.isEmpty()) o[QLatin1String("plan")] = plan;
  return Compact(o);
}

QByteArray InfoJson(const QString& name, const QStringList& operators) {
  QJsonObject o;
  o[QLatin1String("name")] = name;
  // The page shows its controls to these users only; the broker and the
  // program still decide what is run.
  if (!operators.isEmpty()) o[QLatin1String("operators")] = QJsonArray::fromStringList(operators);
  return Compact(o);
}

QByteArray AlarmListJson(const std::deque<TAlarm>& alarms) {
  QJsonArray list;
  for (const TAlarm& a : alarms) {
    if (!a.Active()) continue;
    QJsonObject o;
    o[QLatin1String("id")] = static_cast<double>(a.Id);
    o[QLatin1String("vessel")] = a.Vessel;
    o[QLatin1String("vesselName")] = a.VesselName;
    o[QLatin1String("kind")] = AlarmKindKey(a.Kind);
    o[QLatin1String("source")] = a.Source;
    o[QLatin1String("text")] = a.Text;
    o[QLatin1String("textLang")] = QStringLiteral("ru");
    // An operator working in English got the text in English as well.
    if (!a.ShownText.isEmpty()) o[QLatin1String("textEn")] = a.ShownText;
    o[QLatin1String("raised")] = EventStamp(a, TAlarmEvent::Raised);
    o[QLatin1String("acknowledgedBy")] = a.AckBy.isEmpty() ? QJsonValue() : QJsonValue(a.AckBy);
    o[QLatin1String("acknowledged")] =
        a.AckBy.isEmpty() ? QJsonValue() : QJsonValue(EventStamp(a, TAlarmEvent::Acknowledged));
    list.append(o);
  }
  QJsonObject o;
  o[QLatin1String("alarms")] = list;
  return Compact(o);
}

namespace {

// A field as QString::toDouble reads it, without a QString for the plain
// decimals that make up almost every row: their value is the same
// correctly rounded double either way. Other texts that could be numbers
// ("1e3", "inf") go the long way; the rest are no number at all.
std::optional<double> FieldNumber(QByteArrayView text) {
  bool plain = !text.isEmpty() && text.front() != '.' && text.back() != '.';
  bool seenPoint = false;
  bool maybe = true;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') continue;
    if (c == '-' && i == 0 && text.size() > 1 && text[1] != '.') continue;
    if (c == '.' && !seenPoint) {
      seenPoint = true;
      continue;
    }
    plain = false;
    // Not UTF-8 ASCII: other whitespace or digits may be involved.
    const bool ascii = static_cast<unsigned char>(c) < 0x80;
    if (ascii && (c == '\0' || std::strchr("+-.eEiInNfFaAtTyY", c) == nullptr)) maybe = false;
  }
  if (plain) {
    double v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error == std::errc() && end == text.data() + text.size()) return v;
  }
  if (!maybe) return std::nullopt;
  bool ok = false;
  const double v = QString::fromUtf8(text).trimmed().toDouble(&ok);
  return ok ? std::optional<double>(v) : std::nullopt;
}

}  // namespace

namespace {

// A text as the JSON writer puts it: quotes, backslashes and control
// characters escaped, everything else as UTF-8.
void AppendJsonString(QByteArray& out, const QString& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  const QByteArray utf8 = text.toUtf8();
  const char* const data = utf8.constData();
  out += '"';
  qsizetype plain = 0;  // where the run not yet appended begins
  for (qsizetype i = 0; i < utf8.size(); ++i) {
    const char c = data[i];
    if (static_cast<unsigned char>(c) >= 0x20 && c != '"' && c != '\\') continue;
    out.append(data + plain, i - plain);
    plain = i + 1;
    out += '\\';
    switch (c) {
      case '"':
        out += '"';
        break;
      case '\\':
        out += '\\';
        break;
      case '\b':
        out += 'b';
        break;
      case '\f':
        out += 'f';
        break;
      case '\n':
        out += 'n';
        break;
      case '\r':
        out += 'r';
        break;
      case '\t':
        out += 't';
        break;
      default:
        out += "u00";
        out += kHex[static_cast<unsigned char>(c) >> 4];
        out += kHex[c & 0xF];
    }
  }
  out.append(data + plain, utf8.size() - plain);
  out += '"';
}

// A number as the JSON writer puts it (whole ones as integers); false for
// those it is left to write itself.
bool AppendJsonNumber(QByteArray& out, double v) {
  constexpr double kExactWhole = 9007199254740992.0;  // 2^53
  if (!std::isfinite(v) || std::abs(v) >= kExactWhole) return false;
  if (v == std::trunc(v)) {
    out += QByteArray::number(static_cast<qint64>(v));
  } else {
    out += QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
  }
  return true;
}

struct TMinuteField {
  QString Name;
  std::optional<double> Number;
  QString Text;
};

bool IsTextColumn(const QString& name) {
  return name == QLatin1String(kLogDateColumn) || name == QLatin1String(kLogTimeColumn) ||
         name == QLatin1String(kLogMixStatusColumn) || name == QLatin1String(kLogNetColumn) ||
         name == QLatin1String(kLogModeColumn);
}

std::vector<TMinuteField> MinuteFields(const QStringList& header, const QByteArray& row) {
  std::vector<TMinuteField> fields;
  fields.reserve(static_cast<std::size_t>(header.size()));
  const QByteArrayView line(row);
  qsizetype from = 0;
  for (qsizetype i = 0; from <= line.size(); ++i) {
    qsizetype tab = line.indexOf('\t', from);
    if (tab < 0) tab = line.size();
    const QByteArrayView field = line.sliced(from, tab - from);
    from = tab + 1;
    TMinuteField& f = fields.emplace_back();
    f.Name = i < header.size() ? header[i] : QStringLiteral("field%1").arg(i + 1);
    if (!IsTextColumn(f.Name)) f.Number = FieldNumber(field.trimmed());
    if (!f.Number) f.Text = QString::fromUtf8(field).trimmed();
  }
  return fields;
}

// Through QJsonObject: any row, at several times the cost.
QByteArray MinuteJsonObject(std::int32_t vessel, const std::vector<TMinuteField>& fields,
                            double now) {
  QJsonObject o;
  o[QLatin1String("vessel")] = vessel;
  for (const TMinuteField& f : fields) {
    o[f.Name] = f.Number ? QJsonValue(*f.Number) : QJsonValue(f.Text);
  }
  o[QLatin1String("time")] = RowTime(o[QLatin1String(kLogDateColumn)].toString(),
                                     o[QLatin1String(kLogTimeColumn)].toString(), now);
  return Compact(o);
}

}  // namespace

// Written directly, keys in the object's order, for the rows the program
// writes (each column once, with its date and time); any other row goes
// through QJsonObject. Both give the same bytes.
QByteArray MinuteJson(std::int32_t vessel, const QStringList& header, const QByteArray& row,
                      double now) {
  std::vector<TMinuteField> fields = MinuteFields(header, row);
  std::vector<const TMinuteField*> sorted;
  sorted.reserve(fields.size() + 2);
  const TMinuteField* date = nullptr;
  const TMinuteField* time = nullptr;
  for (const TMinuteField& f : fields) {
    sorted.push_back(&f);
    if (f.Name == QLatin1String(kLogDateColumn)) date = &f;
    if (f.Name == QLatin1String(kLogTimeColumn)) time = &f;
  }
  const TMinuteField vesselField{QStringLiteral("vessel"), vessel, {}};
  const TMinuteField timeField{QStringLiteral("time"), std::nullopt, {}};
  sorted.push_back(&vesselField);
  sorted.push_back(&timeField);
  std::sort(sorted.begin(), sorted.end(),
            [](const TMinuteField* a, const TMinuteField* b) { return a->Name < b->Name; });
  const auto same = [](const TMinuteField* a, const TMinuteField* b) { return a->Name == b->Name; };
  if (date == nullptr || time == nullptr ||
      std::adjacent_find(sorted.begin(), sorted.end(), same) != sorted.end()) {
    return MinuteJsonObject(vessel, fields, now);
  }
  QByteArray out;
  out.reserve(64 * static_cast<qsizetype>(sorted.size()));
  out += '{';
  for (const TMinuteField* f : sorted) {
    if (out.size() > 1) out += ',';
    AppendJsonString(out, f->Name);
    out += ':';
    if (f == &timeField) {
      const QJsonValue t = RowTime(date->Text, time->Text, now);
      if (t.isString()) {
        AppendJsonString(out, t.toString());
      } else {
        out += "null";
      }
    } else if (f->Number) {
      if (!AppendJsonNumber(out, *f->Number)) return MinuteJsonObject(vessel, fields, now);
    } else {
      AppendJsonString(out, f->Text);
    }
  }
  out += '}';
  return out;
}

QByteArray JournalJson(const QStringList& header, const QByteArray& line, std::int32_t* vessel,
                       bool* alarm) {
  *vessel = 0;
  *alarm = false;
  // What a kill left of a line is no record.
  QString columns;
  QString chain;
  if (!SplitJournalLine(QString::fromUtf8(line), &columns, &chain)) return {};
  QJsonObject o;
  const QStringList fields = QString::fromUtf8(line).split(u'\t');
  for (qsizetype i = 0; i < fields.size(); ++i) {
    const QString name = i < header.size() ? header[i] : QStringLiteral("field%1").arg(i + 1);
    const QString text = UnescapeJournalField(fields[i]);
    if (name == QLatin1String("Vessel")) {
      *vessel = text.toInt();
      o[name] = text.isEmpty() ? QJsonValue() : QJsonValue(*vessel);
      continue;
    }
    if (name == QLatin1String("Kind")) {
      *alarm = text == JournalKindText(TJournalKind::Alarm) ||
               text == JournalKindText(TJournalKind::AlarmCleared) ||
               text == JournalKindText(TJournalKind::Acknowledged);
    }
    o[name] = text;
  }
  return Compact(o);
}

QByteArray UnjournalledAlarmJson(const TAlarm& alarm, TAlarmEvent event) {
  QJsonObject o;
  o[QLatin1String("Time")] = EventStamp(alarm, event);
  o[QLatin1String("User")] = OperatorName();
  o[QLatin1String("Vessel")] = alarm.Vessel != 0 ? QJsonValue(alarm.Vessel) : QJsonValue();
  o[QLatin1String("VesselName")] = alarm.VesselName;
  TJournalKind kind = TJournalKind::Alarm;
  if (event == TAlarmEvent::Cleared) kind = TJournalKind::AlarmCleared;
  if (event == TAlarmEvent::Acknowledged) kind = TJournalKind::Acknowledged;
  o[QLatin1String("Kind")] = JournalKindText(kind);
  o[QLatin1String("Subject")] = alarm.Text;
  o[QLatin1String("Old")] = QString();
  o[QLatin1String("New")] = event == TAlarmEvent::Acknowledged ? alarm.AckBy : QString();
  o[QLatin1String("Source")] =
      event == TAlarmEvent::Acknowledged ? QStringLiteral("Dialog") : QStringLiteral("Engine");
  // Not in the journal: no link of its chain.
  o[QLatin1String("Chain")] = QJsonValue();
  return Compact(o);
}

}  // namespace vorta
