#include "commands/Calibration.h"

#include <QCoreApplication>

#include "commands/JournalChanges.h"
#include "platform/Numbers.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

bool ValidChannel(int channel) {
  return channel >= 1 && channel <= 4;
}

bool IsDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}

}  // namespace

bool OkLimit(double value, double min, double max) {
  return min <= value && value <= max;
}

std::optional<int> NumberErrorPosition(QStringView text) {
  const qsizetype n = text.size();
  qsizetype i = 0;
  while (i < n && text[i] == u' ') ++i;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
  int digits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++digits;
  if (i < n && text[i] == u'.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return static_cast<int>(i + 1);
  qsizetype exponentAt = -1;
  if (i < n && (text[i] == u'e' || text[i] == u'E')) {
    exponentAt = i;
    ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
    int expDigits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++expDigits;
    if (expDigits == 0) return static_cast<int>(i + 1);
  }
  if (i < n) return static_cast<int>(i + 1);
  // The shape is right; a value beyond a double is refused where it grows.
  if (!TryParseReal(text)) return static_cast<int>(exponentAt >= 0 ? exponentAt + 1 : 1);
  return std::nullopt;
}

TCheckResult CheckCalibrationValue(const TVortaProcess& p, int channel, const QString& text) {
  TCheckResult r;
  if (const auto k = NumberErrorPosition(text)) {
    r.Warning = QCoreApplication::translate("vorta::Calibration", "Ошибка в позиции ") +
                QString::number(*k) + QStringLiteral(" \"") + text + u'"';
    return r;
  }
  r.ParsedValue = TryParseReal(text).value_or(0);
  const auto n = static_cast<size_t>(ValidChannel(channel) ? channel : 0);
  if (!OkLimit(r.ParsedValue, p.Channel[n].Config.MinValue, p.Channel[n].Config.MaxValue)) {
    r.Warning = QCoreApplication::translate("vorta::Calibration", "Ошибка предела \rmin=") +
                FormatFixed(p.Channel[n].Config.MinValue, 2) + QStringLiteral(", max=") +
                FormatFixed(p.Channel[n].Config.MaxValue, 2);
    return r;
  }
  r.Ok = true;
  return r;
}

void CalibrResetWork(TVortaProcess& p, int channel) {
  if (!ValidChannel(channel)) return;
  const TChannelConfig& c = p.Channel[static_cast<size_t>(channel)].Config;
  p.CalWork.Value1 = c.CalValue1;
  p.CalWork.Value2 = c.CalValue2;
  p.CalWork.Adc1 = c.CalAdc1;
  p.CalWork.Adc2 = c.CalAdc2;
}

void CalibrOpen(TVortaProcess& p, int channel) {
  CalibrResetWork(p, channel);
  p.CalibBlinkColor = kClBtnFace;
  p.CalibLive = 1;
}

QString CalibrCaption(const TVortaProcess& p, int channel) {
  const QString name =
      ValidChannel(channel) ? p.Config.AssignName[static_cast<size_t>(channel)] : QString();
  return QCoreApplication::translate("vorta::Calibration", "Калибровка") + QStringLiteral(" - ") +
         name;
}

std::int32_t CalibrColor(int channel) {
  switch (channel) {
    case 1:
      return 0x008000;
    case 2:
      return 0x0000FF;
    case 3:
      return 0xFF0000;
    case 4:
      return 0x800080;
    default:
      return kClBtnFace;
  }
}

void CalibrSetPoint(TVortaProcess& p, int point, double value, std::uint16_t code) {
  if (point == 1) {
    p.CalWork.Value1 = value;
    p.CalWork.Adc1 = code;
  } else if (point == 2) {
    p.CalWork.Value2 = value;
    p.CalWork.Adc2 = code;
  }
}

void CalibrSave(TVortaProcess& p, int channel, TJournalSource source) {
  if (!ValidChannel(channel)) return;
  const auto n = static_cast<size_t>(channel);
  TChannelConfig& c = p.Channel[n].Config;
  const auto real = [](double v) { return FormatFixed(v, 2); };
  const auto code = [](std::uint16_t v) { return QString::number(v); };
  const auto src = source;
  RecordChange(p, ChannelKey(p, n, 5, QStringLiteral("Калибровка: значение 1")), real(c.CalValue1),
               real(p.CalWork.Value1), src);
  RecordChange(p, ChannelKey(p, n, 6, QStringLiteral("Калибровка: значение 2")), real(c.CalValue2),
               real(p.CalWork.Value2), src);
  RecordChange(p, ChannelKey(p, n, 7, QStringLiteral("Калибровка: код 1")), code(c.CalAdc1),
               code(p.CalWork.Adc1), src);
  RecordChange(p, ChannelKey(p, n, 8, QStringLiteral("Калибровка: код 2")), code(c.CalAdc2),
               code(p.CalWork.Adc2), src);
  RecordChange(p, ChannelKey(p, n, 2, QStringLiteral("Линейная подстройка")), real(c.LinAdjust),
               real(0), src);
  c.CalValue1 = p.CalWork.Value1;
  c.CalValue2 = p.CalWork.Value2;
  c.CalAdc1 = p.CalWork.Adc1;
  c.CalAdc2 = p.CalWork.Adc2;
  c.LinAdjust = 0;
  p.SaveRequest.Add(TWriteBackGroup::Calibration);
}

}  // namespace vorta
