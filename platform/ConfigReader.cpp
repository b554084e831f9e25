#include "platform/ConfigReader.h"

#include <QCoreApplication>

#include "platform/Numbers.h"
#include "platform/ProfileFile.h"

namespace vorta {

namespace {
// A value pasted by mistake can be a whole line of a data log.
constexpr qsizetype kShownText = 40;
}  // namespace

QString TConfigReader::Text(QAnyStringView section, QAnyStringView key) const {
  return file_.ReadString(section.toString(), key.toString(), QString());
}

std::int64_t TConfigReader::Int(QAnyStringView section, QAnyStringView key, std::int64_t def,
                                std::int64_t min, std::int64_t max) {
  return IntText(section, key, Text(section, key), def, min, max);
}

double TConfigReader::Real(QAnyStringView section, QAnyStringView key, double def) {
  return RealText(section, key, Text(section, key), def);
}

std::int64_t TConfigReader::IntText(QAnyStringView section, QAnyStringView key, const QString& text,
                                    std::int64_t def, std::int64_t min, std::int64_t max) {
  if (text.trimmed().isEmpty()) return def;
  const auto v = TryParseInt(text);
  if (!v) {
    NoteValue(section, key, text,
              QCoreApplication::translate("vorta::ConfigReader", "не целое число"),
              QString::number(def));
  } else if (*v < min || *v > max) {
    NoteValue(
        section, key, text,
        QCoreApplication::translate("vorta::ConfigReader", "вне пределов %1..%2").arg(min).arg(max),
        QString::number(def));
  } else {
    return *v;
  }
  return def;
}

double TConfigReader::RealText(QAnyStringView section, QAnyStringView key, const QString& text,
                               double def) {
  if (text.trimmed().isEmpty()) return def;
  if (const auto v = TryParseConfigReal(text)) return *v;
  NoteValue(section, key, text, QCoreApplication::translate("vorta::ConfigReader", "не число"),
            QString::number(def));
  return def;
}

std::optional<std::int64_t> TConfigReader::Checked(QAnyStringView section, QAnyStringView key,
                                                   std::int64_t def, std::int64_t min,
                                                   std::int64_t max) {
  return CheckedText(section, key, Text(section, key), def, min, max);
}

std::optional<std::int64_t> TConfigReader::CheckedText(QAnyStringView section, QAnyStringView key,
                                                       const QString& text, std::int64_t def,
                                                       std::int64_t min, std::int64_t max) {
  if (text.trimmed().isEmpty()) return def;
  const auto v = TryParseInt(text);
  if (v && *v >= min && *v <= max) return *v;
  QString shown = text.trimmed();
  if (shown.size() > kShownText) shown = shown.left(kShownText) + QStringLiteral("…");
  refused_ << QCoreApplication::translate("vorta::ConfigReader", "[%1] %2=%3: %4")
                  .arg(section.toString(), key.toString(), shown,
                       v ? QCoreApplication::translate("vorta::ConfigReader", "вне пределов %1..%2")
                               .arg(min)
                               .arg(max)
                         : QCoreApplication::translate("vorta::ConfigReader", "не целое число"));
  return std::nullopt;
}

QString TConfigReader::RefusedReport(const QString& consequence) const {
  if (refused_.isEmpty()) return {};
  return QCoreApplication::translate("vorta::ConfigReader", "Файл %1: недопустимые значения, %2:\n")
             .arg(file_.FileName(), consequence) +
         refused_.join(u'\n');
}

void TConfigReader::NoteValue(QAnyStringView section, QAnyStringView key, const QString& text,
                              const QString& why, const QString& def) {
  QString shown = text.trimmed();
  if (shown.size() > kShownText) shown = shown.left(kShownText) + QStringLiteral("…");
  notes_ << QCoreApplication::translate("vorta::ConfigReader", "[%1] %2=%3: %4, взято %5")
                .arg(section.toString(), key.toString(), shown, why, def);
}

QString TConfigReader::Report() const {
  if (notes_.isEmpty()) return {};
  return QCoreApplication::translate(
             "vorta::ConfigReader",
             "Файл %1: значения, которые нельзя принять, заменены значениями по "
             "умолчанию:\n")
             .arg(file_.FileName()) +
         notes_.join(u'\n');
}

}  // namespace vorta
