#include "app/ControlWords.h"

#include <QLocale>
#include <QRegularExpression>

#include "app/MainForm.h"
#include "platform/Numbers.h"
#include "process/DataLog.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

const char* const kChannelNames[] = {"pH", "t°C", "pO2", "eH"};
const char* const kModeKeys[] = {"uncontrolled", "batch", "chemostat", "turbidostat"};

const TParamKey kParamKeys[] = {
    {"period", &TCtrlFields::Period, nullptr, true},
    {"low", &TCtrlFields::Low, nullptr, true},
    {"high", &TCtrlFields::High, nullptr, true},
    {"deadzone", &TCtrlFields::DeadZone, nullptr, true},
    {"gainup", &TCtrlFields::GainUp, nullptr, true},
    {"gaindown", &TCtrlFields::GainDown, nullptr, true},
    {"regulation", nullptr, &TCtrlFields::Enable, true},
    {"heating", nullptr, &TCtrlFields::Water},
    {"timer1", nullptr, &TCtrlFields::EppExist},
    {"timer1.period", &TCtrlFields::EppPeriod},
    {"timer1.work", &TCtrlFields::EppWork},
    {"timer2", nullptr, &TCtrlFields::MedExist},
    {"timer2.period", &TCtrlFields::MedPeriod},
    {"timer2.work", &TCtrlFields::MedWork},
    {"event1", nullptr, &TCtrlFields::Ev1Exist},
    {"event1.aperiodic", nullptr, &TCtrlFields::Ev1Aperiod},
    {"event1.hours", &TCtrlFields::Ev1Hours},
    {"event1.minutes", &TCtrlFields::Ev1Minutes},
    {"event1.work", &TCtrlFields::Ev1Work},
    {"event2", nullptr, &TCtrlFields::Ev2Exist},
    {"event2.aperiodic", nullptr, &TCtrlFields::Ev2Aperiod},
    {"event2.hours", &TCtrlFields::Ev2Hours},
    {"event2.minutes", &TCtrlFields::Ev2Minutes},
    {"event2.work", &TCtrlFields::Ev2Work},
    {"po2.stirrer", nullptr, &TCtrlFields::Po2Motor},
    {"po2.period", &TCtrlFields::Po2Period},
    {"po2.max", &TCtrlFields::Po2Right},
    {"po2.min", &TCtrlFields::Po2Left},
    {"po2.koef", &TCtrlFields::Po2Koef},
    {"foam", nullptr, &TCtrlFields::FoamExist},
};

// The shortest text that reads back as the same number.
QString Exact(double v) {
  return QLocale::c().toString(v, 'f', QLocale::FloatingPointShortest);
}

bool IsHeating(const TParamKey& key) {
  return key.Switch == &TCtrlFields::Water;
}

}  // namespace

QString ChannelName(int channel) {
  if (channel == kCommonEntry) return QStringLiteral("common");
  return channel >= 1 && channel <= 4 ? QString::fromUtf8(kChannelNames[channel - 1]) : QString();
}

std::optional<int> ParseChannel(const QString& text, bool common) {
  static const QStringList kNames[] = {
      {QStringLiteral("1"), QStringLiteral("ph")},
      {QStringLiteral("2"), QStringLiteral("t"), QStringLiteral("tc"), QStringLiteral("t°c")},
      {QStringLiteral("3"), QStringLiteral("po2")},
      {QStringLiteral("4"), QStringLiteral("eh")}};
  const QString word = text.toLower();
  for (int ch = 0; ch < 4; ++ch) {
    if (kNames[ch].contains(word)) return ch + 1;
  }
  if (common && (word == QLatin1String("common") || word == QLatin1String("5"))) {
    return kCommonEntry;
  }
  return std::nullopt;
}

std::optional<int> ParseMode(const TVortaProcess& p, const QString& text) {
  bool ok = false;
  const int number = text.toInt(&ok);
  if (ok) return number >= 0 && number <= 3 ? std::optional<int>(number) : std::nullopt;
  if (const int m = ModeFromAbbreviation(text.toUpper()); m >= 0) return m;
  for (int m = 0; m < 4; ++m) {
    if (text.compare(QLatin1String(kModeKeys[m]), Qt::CaseInsensitive) == 0 ||
        text.compare(p.ModeName[static_cast<size_t>(m)], Qt::CaseInsensitive) == 0) {
      return m;
    }
  }
  return std::nullopt;
}

std::optional<bool> ParseSwitch(const QString& text) {
  const QString word = text.toLower();
  if (word == QLatin1String("on") || word == QLatin1String("1") || word == QLatin1String("yes")) {
    return true;
  }
  if (word == QLatin1String("off") || word == QLatin1String("0") || word == QLatin1String("no")) {
    return false;
  }
  return std::nullopt;
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

QString ModeKey(int mode) {
  return mode >= 0 && mode <= 3 ? QLatin1String(kModeKeys[mode]) : QString();
}

const TParamKey* FindParamKey(const QString& key) {
  for (const TParamKey& k : kParamKeys) {
    if (key.compare(QLatin1String(k.Key), Qt::CaseInsensitive) == 0) return &k;
  }
  return nullptr;
}

QStringList ParamKeys() {
  QStringList keys;
  for (const TParamKey& k : kParamKeys) keys << QLatin1String(k.Key);
  return keys;
}

TCtrlFields ExactCtrlFields(const TVortaProcess& p, int entry) {
  TCtrlFields f = ReadCtrlFields(p, entry);
  // The dialog shows some reals rounded; OK with them unchanged would store the rounding.
  const TChannelConfig& c = p.Channel[static_cast<size_t>(entry)].Config;
  f.Low = Exact(c.CtrlLow);
  f.High = Exact(c.CtrlHigh);
  f.DeadZone = Exact(c.DeadZone);
  f.GainUp = Exact(c.GainUp);
  f.GainDown = Exact(c.GainDown);
  f.Po2Koef = Exact(p.Config.po2koef);
  return f;
}

QString ParamValue(const TCtrlFields& f, const TParamKey& key) {
  if (IsHeating(key)) return f.Water ? QStringLiteral("water") : QStringLiteral("steam");
  if (key.Switch != nullptr) return f.*key.Switch ? QStringLiteral("on") : QStringLiteral("off");
  return f.*key.Text;
}

std::optional<QString> SetParamValue(TCtrlFields& f, const TParamKey& key, const QString& value) {
  if (IsHeating(key)) {
    const QString word = value.toLower();
    if (word != QLatin1String("water") && word != QLatin1String("steam")) {
      return QStringLiteral("%1=%2: нагрев water или steam").arg(QLatin1String(key.Key), value);
    }
    f.Water = word == QLatin1String("water");
    return std::nullopt;
  }
  if (key.Switch != nullptr) {
    const std::optional<bool> on = ParseSwitch(value);
    if (!on) return QStringLiteral("%1=%2: нужно on или off").arg(QLatin1String(key.Key), value);
    f.*key.Switch = *on;
    return std::nullopt;
  }
  // The dialog's own reading checks the number; an empty text is no value.
  if (value.trimmed().isEmpty()) {
    return QStringLiteral("%1: нет значения").arg(QLatin1String(key.Key));
  }
  f.*key.Text = value;
  return std::nullopt;
}

std::optional<TJournalWords> ParseJournalWords(const QStringList& words, QString* problem) {
  TJournalWords result;
  for (qsizetype i = 0; i < words.size(); ++i) {
    const QString option = words[i].toLower();
    if (i + 1 >= words.size()) {
      *problem = QStringLiteral("journal: %1 без значения").arg(words[i]);
      return std::nullopt;
    }
    const QString& value = words[++i];
    if (option == QLatin1String("-n")) {
      bool ok = false;
      result.Count = value.toInt(&ok);
      if (!ok || result.Count < 1 || result.Count > 100000) {
        *problem = QStringLiteral("journal: -n %1 — нужно число записей 1..100000").arg(value);
        return std::nullopt;
      }
    } else if (option == QLatin1String("--vessel")) {
      bool ok = false;
      result.Vessel = value.toInt(&ok);
      if (!ok) {
        *problem = QStringLiteral("journal: --vessel %1 — нужен номер сосуда").arg(value);
        return std::nullopt;
      }
    } else if (option == QLatin1String("--since")) {
      static const QRegularExpression kAge(QStringLiteral(R"(^(\d{1,6})([mhd])$)"),
                                           QRegularExpression::CaseInsensitiveOption);
      const QDateTime now = QDateTime::currentDateTime();
      QDateTime since;
      if (const auto m = kAge.match(value); m.hasMatch()) {
        const qint64 n = m.captured(1).toLongLong();
        const QChar unit = m.captured(2).toLower()[0];
        since = now.addSecs(-n * (unit == u'm' ? 60 : unit == u'h' ? 3600 : 86400));
      } else if (const QTime t = QTime::fromString(value, Qt::ISODate); t.isValid()) {
        since = QDateTime(now.date(), t);
        if (since > now) since = since.addDays(-1);
      } else if (const QDate d = QDate::fromString(value, Qt::ISODate); d.isValid()) {
        since = d.startOfDay();
      } else {
        since = QDateTime::fromString(value, Qt::ISODate);
      }
      if (!since.isValid()) {
        *problem = QStringLiteral(
                       "journal: --since %1 — нужно время: 2024-05-06, 2024-05-06T08:00, 08:00 "
                       "или возраст 30m, 12h, 2d")
                       .arg(value);
        return std::nullopt;
      }
      result.Since = since;
    } else {
      *problem = QStringLiteral("journal: непонятный ключ %1 (-n N, --since TIME, --vessel N)")
                     .arg(words[i - 1]);
      return std::nullopt;
    }
  }
  return result;
}

}  // namespace vorta
