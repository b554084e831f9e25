// What the setpoints dialog shows.

#include <QCoreApplication>

#include "commands/Setpoints.h"
#include "platform/Numbers.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

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

}  // namespace vorta
