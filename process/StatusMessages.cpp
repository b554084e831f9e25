// Status lines for the open status window: the regulation status of a
// channel, the adapter's state and the DC drive's status word.

#include <QCoreApplication>

#include "devices/CANMixer.h"
#include "devices/CANService.h"
#include "process/ProcessRecord.h"
#include "process/StatusMessages.h"
#include "process/StatusSink.h"

namespace vorta {

// Kept Russian: "vorta ctl" answers with it; the status window translates it.
QString RegulationText(TRegulationStatus status) {
  switch (status) {
    using enum TRegulationStatus;
    case Normal:
      return QString::fromUtf8(QT_TRANSLATE_NOOP("vorta::StatusMessages", "Управление в норме"));
    case Disabled:
      return QString::fromUtf8(QT_TRANSLATE_NOOP("vorta::StatusMessages", "Управление запрещено"));
    case NoOutputs:
      return QString::fromUtf8(
          QT_TRANSLATE_NOOP("vorta::StatusMessages", "Не определены каналы управления"));
    case InDeadZone:
      return QString::fromUtf8(
          QT_TRANSLATE_NOOP("vorta::StatusMessages", "Зона нечувствительности"));
    case AboveHigh:
      return QString::fromUtf8(
          QT_TRANSLATE_NOOP("vorta::StatusMessages", "Превышение верхней границы"));
    case BelowLow:
      return QString::fromUtf8(
          QT_TRANSLATE_NOOP("vorta::StatusMessages", "Превышение нижней границы"));
    case OffInMode:
      return QString::fromUtf8(
          QT_TRANSLATE_NOOP("vorta::StatusMessages", "Управление запрещено в данном режиме"));
    case Spike:
      return QString::fromUtf8(
          QT_TRANSLATE_NOOP("vorta::StatusMessages", "Управление запрещено из-за помех"));
    case InvalidReading:
      return QString::fromUtf8(QT_TRANSLATE_NOOP("vorta::StatusMessages",
                                                 "Управление запрещено из-за ошибки измерения"));
    case ModuleSilent:
      return QString::fromUtf8(
          QT_TRANSLATE_NOOP("vorta::StatusMessages", "Управление запрещено: нет связи с модулем"));
  }
  return {};
}

namespace {

QString DriveBitText(int bit) {
  switch (bit) {
    case 1:
      return QCoreApplication::translate("vorta::StatusMessages", "Верхнее положение ШИМ");
    case 2:
      return QCoreApplication::translate("vorta::StatusMessages", "Нижнее положение ШИМ");
    case 3:
      return QCoreApplication::translate("vorta::StatusMessages", "Период установления оборотов");
    case 4:
      return QCoreApplication::translate("vorta::StatusMessages",
                                         "Фактические обороты не соответствуют заданным");
    case 5:
      return QCoreApplication::translate("vorta::StatusMessages", "Превышение допустимых оборотов");
    case 6:
      return QCoreApplication::translate("vorta::StatusMessages",
                                         "Превышение опасного порога потребления");
    case 7:
      return QCoreApplication::translate("vorta::StatusMessages",
                                         "Превышение критического порога потребления");
    case 9:
      return QCoreApplication::translate("vorta::StatusMessages",
                                         "Превышение критического порога температуры");
    default:
      return {};
  }
}

const QString kSeparator = QStringLiteral("______________________");

void DriveStatus(TVortaProcess& p, IStatusSink& sink) {
  if (p.Mixer == nullptr) return;
  if (!p.Mixer->LinkOK()) {
    sink.AppendLine(QCoreApplication::translate("vorta::StatusMessages", "Ошибка связи"));
    return;
  }
  const std::uint16_t word = p.Mixer->GetStatus();
  if (p.Mixer->StatusBitsKnown()) {
    if (word == 0)
      sink.AppendLine(QCoreApplication::translate("vorta::StatusMessages", "Начальное состояние"));
    sink.AppendLine((word & 1U) != 0
                        ? QCoreApplication::translate("vorta::StatusMessages", "ШИМ включен")
                        : QCoreApplication::translate("vorta::StatusMessages", "ШИМ остановлен"));
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
      sink.AppendLine(
          adapter->Active()
              ? QCoreApplication::translate("vorta::StatusMessages", "USB подключен")
              : QCoreApplication::translate("vorta::StatusMessages", "USB НЕ подключен!"));
    }
  } else if (selector >= 1 && selector <= 4) {
    // In mode 0 the window keeps one line instead of accumulating them.
    if (!IsControlledMode(p.Mode)) {
      sink.ReplaceFirstLine(
          QCoreApplication::translate("vorta::StatusMessages", "Неконтролируемый режим"));
    } else {
      sink.AppendLine(QCoreApplication::translate(
          "vorta::StatusMessages",
          RegulationText(p.Channel[static_cast<size_t>(selector)].Status).toUtf8().constData()));
    }
  } else if (selector == 7) {
    DriveStatus(p, sink);
  }
}

QString ModeStatusText(const TVortaProcess& p, std::size_t mode) {
  // The names stay as the data log and the journal write them; only the
  // status bar shows them translated.
  // The one name that differs in English ("Batch" and the others do not).
  [[maybe_unused]] static const char* const kUncontrolled =
      QT_TRANSLATE_NOOP("vorta::StatusMessages", "Неконтролируемый");
  const QString& name = p.ModeName[std::min(mode, p.ModeName.size() - 1)];
  return QCoreApplication::translate("vorta::StatusMessages", "Режим: %1")
      .arg(QCoreApplication::translate("vorta::StatusMessages", name.toUtf8().constData()));
}

void ShowModeAndClock(TVortaProcess& p) {
  p.PanelState.StatusText[2] = ModeStatusText(p, static_cast<std::size_t>(p.Mode));
  p.PanelState.ShownMode = -1;
  p.PanelState.StatusText[4] = p.Env.Program.EftText;
}

}  // namespace vorta
