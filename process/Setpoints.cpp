// What the setpoints dialog shows and stores; the file follows at the next
// measurement tick through the deferred write-back.

#include <QCoreApplication>

#include "platform/Numbers.h"
#include "process/JournalChanges.h"
#include "process/ProcessRecord.h"
#include "process/Setpoints.h"

namespace vorta {

namespace {

const char* const kEditNames[] = {"pH:", "t°C:", "pO2:", "eH:"};

// The channel setting the dialog shows and edits in this mode.
double TChannelConfig::*EditedValue(int mode) {
  return mode == kLinAdjustMode ? &TChannelConfig::LinAdjust : &TChannelConfig::Setpoint;
}

}  // namespace

QString SetDialogCaption(int mode) {
  return mode == kLinAdjustMode
             ? QCoreApplication::translate("vorta::SetpointsApply", "Линейная подстройка")
             : QCoreApplication::translate("vorta::SetpointsApply", "Уставки");
}

TSetTexts SetDialogTexts(const TVortaProcess& p, int mode) {
  const double TChannelConfig::*value = EditedValue(mode);
  TSetTexts texts;
  for (size_t k = 0; k < 4; ++k) texts[k] = FormatFixed(p.Channel[k + 1].Config.*value, 2);
  return texts;
}

std::optional<double> ReadSetValue(const QString& text) {
  if (const auto v = TryParseReal(text)) return v;
  if (text.count(u',') == 1 && !text.contains(u'.')) {
    return TryParseReal(QString(text).replace(u',', u'.'));
  }
  return std::nullopt;
}

std::optional<TSetFieldError> ApplySetDialog(TVortaProcess& p, int mode, const TSetTexts& texts) {
  if (mode != kSetpointMode && mode != kLinAdjustMode) return std::nullopt;
  std::array<double, 4> values{};
  for (size_t k = 0; k < 4; ++k) {
    const auto v = ReadSetValue(texts[k]);
    if (!v) {
      return TSetFieldError{
          static_cast<int>(k) + 1,
          QCoreApplication::translate("vorta::SetpointsApply",
                                      "%1 «%2»: «%3» — не число. Значения не сохранены.")
              .arg(SetDialogCaption(mode), QString::fromUtf8(kEditNames[k]), texts[k])};
    }
    values[k] = *v;
  }
  double TChannelConfig::*const target = EditedValue(mode);
  const QString what =
      mode == kLinAdjustMode ? QStringLiteral("Линейная подстройка") : QStringLiteral("Уставка");
  for (size_t k = 0; k < 4; ++k) {
    // As the file will hold them, so that an unchanged value is no change.
    RecordChange(p, ChannelKey(p, k + 1, mode == kLinAdjustMode ? 2 : 1, what),
                 FormatFixed(p.Channel[k + 1].Config.*target, 2), FormatFixed(values[k], 2),
                 TJournalSource::Dialog);
    p.Channel[k + 1].Config.*target = values[k];
  }
  p.SaveRequest.Add(mode == kLinAdjustMode ? TWriteBackGroup::LinearAdjustment
                                           : TWriteBackGroup::Setpoints);
  return std::nullopt;
}

}  // namespace vorta
