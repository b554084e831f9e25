#include "app/ControlWords.h"

#include <QRegularExpression>

#include "app/MainForm.h"
#include "platform/Numbers.h"
#include "process/DataLog.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

const char* const kChannelNames[] = {"pH", "t°C", "pO2", "eH"};
const char* const kModeKeys[] = {"uncontrolled", "batch", "chemostat", "turbidostat"};

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
