#pragma once
// Reading and showing numbers the same way on every machine: a point is the
// decimal separator, whatever the locale.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace vorta {

// Decimal, or hexadecimal with "0x"/"$"; surrounding blanks allowed.
std::optional<std::int64_t> TryParseInt(QStringView text);
// Like TryParseInt, and the caller's default for any other text or a value
// that does not fit 32 bits.
std::int32_t ParseIntDef(QStringView text, std::int32_t def);

// A real with a point as separator; surrounding blanks allowed.
std::optional<double> TryParseReal(QStringView text);
// A real as configuration files hold it: with a point, or with one decimal
// comma in its place ("7,00"), as an operator on a Russian keyboard types it.
std::optional<double> TryParseConfigReal(QStringView text);
// TryParseConfigReal, and the caller's default for any other text.
double ParseRealDef(QStringView text, double def);

// Display patterns "0", "0.0", "0.00": fixed decimals, a point, and the
// sign only when the rounded value is not zero.
QString FormatFixed(double value, int decimals);
// Four upper-case hexadecimal digits ("0000").
QString FormatHex4(std::uint16_t value);

// Nearest integer, halves to even.
std::int64_t RoundHalfEven(double value);

// NameProcess is a format read from a file: only %d, %u (with flags '0'/'-',
// width) and %% are expanded; any other pattern is shown as it stands.
QString FormatProcessName(const QString& pattern, std::int32_t number);

}  // namespace vorta
