// Status lines for the open status window: the regulation status of a
// channel, the adapter's state and the DC drive's status word.

#include "devices/CANService.h"
#include "devices/CANDevices.h"
#include "process/ProcessConfig.h"
#include "process/StatusSink.h"
#include "process/ProcessCycles.h"
#include "process/ProcessRecord.h"

namespace vorta {

QString RegulationText(TRegulationStatus status) {
  switch (status) {
    using enum TRegulationStatus;
    case Normal:
      return QStringLiteral("Управление в норме");
    case Disabled:
      return QStringLiteral("Управление запрещено");
    case NoOutputs:
      return QStringLiteral("Не определены каналы управления");
    case InDeadZone:
      return QStringLiteral("Зона нечувствительности");
    case AboveHigh:
      return QStringLiteral("Превышение верхней границы");
    case BelowLow:
      return QStringLiteral("Превышение нижней границы");
    case OffInMode:
      return QStringLiteral("Управление запрещено в данном режиме");
    case Spike:
      return QStringLiteral("Управление запрещено из-за помех");
    case InvalidReading:
      return QStringLiteral("Управление запрещено из-за ошибки измерения");
  }
  return {};
}

namespace {

QString DriveBitText(int bit) {
  switch (bit) {
    case 1:
      return QStringLiteral("Верхнее положение ШИМ");
    case 2:
      return QStringLiteral("Нижнее положение ШИМ");
    case 3:
      return QStringLiteral("Период установления оборотов");
    case 4:
      return QStringLiteral("Фактические обороты не соответствуют заданным");
    case 5:
      return QStringLiteral("Превышение допустимых оборотов");
    case 6:
      return QStringLiteral("Превышение опасного порога потребления");
    case 7:
      return QStringLiteral("Превышение критического порога потребления");
    case 9:
      return QStringLiteral("Превышение критического порога температуры");
    default:
      return {};
  }
}

const QString kSeparator = QStringLiteral("______________________");

void DriveStatus(TVortaProcess& p, IStatusSink& sink) {
  if (p.Mixer == nullptr) return;
  if (!p.Mixer->LinkOK()) {
    sink.AppendLine(QStringLiteral("Ошибка связи"));
    return;
  }
  const std::uint16_t word = p.Mixer->GetStatus();
  if (p.Mixer->StatusBitsKnown()) {
    if (word == 0) sink.AppendLine(QStringLiteral("Начальное состояние"));
    sink.AppendLine((word & 1U) != 0 ? QStringLiteral("ШИМ включен")
                                     : QStringLiteral("ШИМ остановлен"));
    for (int bit : {1, 2, 3, 4, 5, 6, 7, 9}) {
      if ((word & (1U << bit)) != 0) sink.AppendLine(DriveBitText(bit));
    }
  }
  sink.AppendLine(kSeparator);
}

}  // namespace

void ShowStatusLine(TVortaProcess& p, int selector) {
  if (p.StatusSubject != selector || p.StatusSink == nullptr) return;
  IStatusSink& sink = *p.StatusSink;
  if (selector == 6) {
    TCANAdapter* adapter = p.Env.canService != nullptr ? p.Env.canService->Adapter() : nullptr;
    if (adapter != nullptr) {
      sink.AppendLine(adapter->Active() ? QStringLiteral("USB подключен")
                                        : QStringLiteral("USB НЕ подключен!"));
    }
  } else if (selector >= 1 && selector <= 4) {
    // In mode 0 the window keeps one line instead of accumulating them.
    if (!IsControlledMode(p.Mode)) {
      sink.ReplaceFirstLine(QStringLiteral("Неконтролируемый режим"));
    } else {
      sink.AppendLine(RegulationText(p.Channel[static_cast<size_t>(selector)].Status));
    }
  } else if (selector == 7) {
    DriveStatus(p, sink);
  }
}

}  // namespace vorta
