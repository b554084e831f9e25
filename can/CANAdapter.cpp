#include <algorithm>

#include "can/CANAdapter.h"

namespace vorta {

QString FrameText(const TCANFrame& frame) {
  QString text = QStringLiteral("Address: ");
  if ((frame.Flags & kFlagExtended) != 0) {
    text += QStringLiteral("%1").arg(frame.Id, 8, 16, QLatin1Char('0')).toUpper();
  } else {
    text += QStringLiteral("%1").arg(frame.Id & 0x7FFU, 4, 16, QLatin1Char('0')).toUpper();
  }
  text += QStringLiteral("-> ");
  const int n = std::min<int>(frame.Len, 8);
  for (int i = 0; i < n; ++i) {
    text += QStringLiteral("%1 ").arg(frame.Data[i], 2, 16, QLatin1Char('0')).toUpper();
  }
  if (frame.Flags != 0) {
    text += u'(';
    if ((frame.Flags & kFlagRemote) != 0) text += QStringLiteral("RTR ");
    if ((frame.Flags & kFlagExtended) != 0) text += QStringLiteral("EID ");
    text += u')';
  }
  return text;
}

void TCANAdapter::Receive(TCANFrame& frame) {
  if (OnFrame) OnFrame(frame, 0);
  if (onReceive_) onReceive_(frame);
  if (OnLog) OnLog(QStringLiteral("In frame: ") + FrameText(frame));
}

void TCANAdapter::Send(TCANFrame& frame) {
  if (OnFrame) OnFrame(frame, 1);
  if (OnLog) OnLog(QStringLiteral("Out frame: ") + FrameText(frame));
}

}  // namespace vorta
