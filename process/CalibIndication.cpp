// Live code and blinking point group of the open calibration dialog.

#include "process/CalibIndication.h"
#include "process/ProcessRecord.h"
#include "process/StatusSink.h"

namespace vorta {

void SetCalibPoint1Color(TVortaProcess& p, int color) {
  if (p.CalibView != nullptr) p.CalibView->SetPoint1Color(color);
}

void SetCalibPoint2Color(TVortaProcess& p, int color) {
  if (p.CalibView != nullptr) p.CalibView->SetPoint2Color(color);
}

void IndicateCalibration(TVortaProcess& p) {
  if (p.CalibLive != 1) return;
  p.CalibBlink = p.CalibBlink != 0 ? 0 : 1;
  p.CalibBlinkColor = p.CalibBlink == 1 ? kClBtnFace : kClBtnShadow;
  if (p.CalibView == nullptr) return;
  const int ch = p.DialogSelector;
  const QString live = (ch >= 1 && ch <= 4)
                           ? QString::number(p.Channel[static_cast<size_t>(ch)].AdcCode)
                           : QString();
  switch (p.CalibView->SelectedPoint()) {
    case 1:
      SetCalibPoint1Color(p, p.CalibBlinkColor);
      p.CalibView->SetCodeLabels(live, QString::number(p.CalWork.Adc2));
      break;
    case 2:
      SetCalibPoint2Color(p, p.CalibBlinkColor);
      p.CalibView->SetCodeLabels(QString::number(p.CalWork.Adc1), live);
      break;
    default:
      break;
  }
}

}  // namespace vorta
