#include "platform/Numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace vorta {

std::optional<std::int64_t> TryParseInt(QStringView text) {
  const QString t = text.trimmed().toString();
  if (t.isEmpty()) return std::nullopt;
  QString digits = t;
  bool negative = false;
  if (digits.startsWith(u'-') || digits.startsWith(u'+')) {
    negative = digits.startsWith(u'-');
    digits = digits.mid(1);
  }
  int base = 10;
  if (digits.startsWith(u'$')) {
    base = 16;
    digits = digits.mid(1);
  } else if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
    base = 16;
    digits = digits.mid(2);
  }
  if (digits.isEmpty()) return std::nullopt;
  bool ok = false;
  const qulonglong v = digits.toULongLong(&ok, base);
  // toULongLong would take a sign or blanks of its own; refuse them here.
  if (!ok || digits.front() == u'+' || digits.front() == u'-' || digits.front().isSpace()) {
    return std::nullopt;
  }
  if (v > static_cast<qulonglong>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
  const auto s = static_cast<std::int64_t>(v);
  return negative ? -s : s;
}

std::int32_t ParseIntDef(QStringView text, std::int32_t def) {
  const auto v = TryParseInt(text);
  if (!v || *v < std::numeric_limits<std::int32_t>::min() ||
      *v > std::numeric_limits<std::int32_t>::max()) {
    return def;
  }
  return static_cast<std::int32_t>(*v);
}

std::optional<double> TryParseReal(QStringView text) {
  const std::string s = text.trimmed().toString().toStdString();
  if (s.empty()) return std::nullopt;
  const char* first = s.data();
  if (*first == '+') ++first;
  double v = 0;
  const auto [end, ec] = std::from_chars(first, s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<double> TryParseConfigReal(QStringView text) {
  if (const auto v = TryParseReal(text)) return v;
  // Only a lone comma standing for the point: "1,234.5" or "1,2,3" stay unread.
  if (text.count(u',') != 1 || text.contains(u'.')) return std::nullopt;
  return TryParseReal(text.toString().replace(u',', u'.'));
}

double ParseRealDef(QStringView text, double def) {
  return TryParseConfigReal(text).value_or(def);
}

QString FormatFixed(double value, int decimals) {
  QString s = QString::number(value, 'f', decimals);
  // "-0.00" reads as a sign the operator cannot explain.
  bool allZero = true;
  for (QChar c : s) {
    if (c.isDigit() && c != u'0') allZero = false;
  }
  if (allZero && s.startsWith(u'-')) s.remove(0, 1);
  return s;
}

QString FormatHex4(std::uint16_t value) {
  return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

std::int64_t RoundHalfEven(double value) {
  return static_cast<std::int64_t>(std::nearbyint(value));
}

QString FormatProcessName(const QString& pattern, std::int32_t number) {
  QString out;
  bool usedArgument = false;
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    const QChar c = pattern[i];
    if (c != u'%') {
      out += c;
      continue;
    }
    qsizetype j = i + 1;
    if (j < pattern.size() && pattern[j] == u'%') {
      out += u'%';
      i = j;
      continue;
    }
    bool leftAlign = false;
    bool zeroPad = false;
    for (; j < pattern.size() && (pattern[j] == u'-' || pattern[j] == u'0'); ++j) {
      leftAlign |= pattern[j] == u'-';
      zeroPad |= pattern[j] == u'0';
    }
    int width = 0;
    for (; j < pattern.size() && pattern[j].isDigit() && width < 100; ++j) {
      width = width * 10 + pattern[j].digitValue();
    }
    if (j >= pattern.size() || usedArgument || (pattern[j] != u'd' && pattern[j] != u'u')) {
      return pattern;  // a pattern we do not expand is shown as it stands
    }
    QString digits = pattern[j] == u'u' ? QString::number(static_cast<std::uint32_t>(number))
                                        : QString::number(number);
    if (digits.size() < width) {
      const qsizetype fill = width - digits.size();
      if (leftAlign) {
        digits += QString(fill, u' ');
      } else if (zeroPad) {
        const bool neg = digits.startsWith(u'-');
        digits.insert(neg ? 1 : 0, QString(fill, u'0'));
      } else {
        digits.prepend(QString(fill, u' '));
      }
    }
    out += digits;
    usedArgument = true;
    i = j;
  }
  return out;
}

}  // namespace vorta
