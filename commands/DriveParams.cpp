// The drive-parameter pages, the read from the image and the paced write.

#include "commands/DriveParams.h"

#include <QCoreApplication>

#include "commands/JournalChanges.h"
#include "devices/CANMixer.h"
#include "platform/Messages.h"
#include "platform/Numbers.h"
#include "platform/TimerService.h"

namespace vorta {

// Captions and labels are the window's (translated there, context
// "vorta::DriveParams"); the journal records them as they stand here.
const std::array<TDriveParamPage, 4>& DriveParamPages() {
  static const std::array<TDriveParamPage, 4> pages{{
      {QT_TRANSLATE_NOOP("vorta::DriveParams", "Защитные"),
       {{"Editrpmstop", 8, QT_TRANSLATE_NOOP("vorta::DriveParams", "Критические"),
         QT_TRANSLATE_NOOP("vorta::DriveParams", "Обороты (rpm)")},
        {"EditIstop", 12, QT_TRANSLATE_NOOP("vorta::DriveParams", "Критические"),
         QT_TRANSLATE_NOOP("vorta::DriveParams", "Ток (mA)")},
        {"Edittcstop", 15, QT_TRANSLATE_NOOP("vorta::DriveParams", "Критические"),
         QT_TRANSLATE_NOOP("vorta::DriveParams", "Температура (C°)")},
        {"Editrpmrash", 9, QT_TRANSLATE_NOOP("vorta::DriveParams", "Предупреждающие"),
         QT_TRANSLATE_NOOP("vorta::DriveParams", "Расхождение оборотов (%)")},
        {"EditIalarm", 11, QT_TRANSLATE_NOOP("vorta::DriveParams", "Предупреждающие"),
         QT_TRANSLATE_NOOP("vorta::DriveParams", "Ток (mA)")},
        {"EditEvent", 23, "",
         QT_TRANSLATE_NOOP("vorta::DriveParams",
                           "Допустимое количество превышений значений параметров")}}},
      {QT_TRANSLATE_NOOP("vorta::DriveParams", "Калибровочные"),
       {{"EditIK", 24, QT_TRANSLATE_NOOP("vorta::DriveParams", "Ток"), "I_Koef"},
        {"EditIs", 25, QT_TRANSLATE_NOOP("vorta::DriveParams", "Ток"), "I_Shift"},
        {"EditTk", 26, QT_TRANSLATE_NOOP("vorta::DriveParams", "Температура"), "C_Koef"},
        {"EditTs", 27, QT_TRANSLATE_NOOP("vorta::DriveParams", "Температура"), "C_Shift"}}},
      {QT_TRANSLATE_NOOP("vorta::DriveParams", "Конструктивные"),
       {{"Editkz", 7, "",
         QT_TRANSLATE_NOOP("vorta::DriveParams", "Количество импульсов за оборот")},
        {"Editrazgon", 13, "", QT_TRANSLATE_NOOP("vorta::DriveParams", "Время разгона (Сек)")},
        {"Editfr", 6, "", QT_TRANSLATE_NOOP("vorta::DriveParams", "Частота ШИМ (Гц)")},
        {"Editgr", 18, "", QT_TRANSLATE_NOOP("vorta::DriveParams", "Дискретность ШИМ грубо (%)")},
        {"Edittoch", 19, "", QT_TRANSLATE_NOOP("vorta::DriveParams", "Дискретность ШИМ точно (%)")},
        {"Editcount", 22, "", QT_TRANSLATE_NOOP("vorta::DriveParams", "Счётчик коррекции ШИМ")}}},
      {QT_TRANSLATE_NOOP("vorta::DriveParams", "Логические"),
       {{"Editadr", 3, "", QT_TRANSLATE_NOOP("vorta::DriveParams", "Адрес устройства")},
        {"Editbaud", 4, "", QT_TRANSLATE_NOOP("vorta::DriveParams", "Скорость (Baud)")},
        {"Editsint1", 16, "", QT_TRANSLATE_NOOP("vorta::DriveParams", "Интервал SINT1(сек)")},
        {"Editsint2", 17, "", QT_TRANSLATE_NOOP("vorta::DriveParams", "Интервал SINT2(сек)")}}},
  }};
  return pages;
}

TCANMixer* ConfigurableDrive(TCANMixer* drive) {
  return drive != nullptr && drive->HasParameterRegisters() ? drive : nullptr;
}

void TDriveParams::LoadDrive(TCANMixer& drive) {
  Drive = &drive;
  // The drive's read requests are counted on their way out, so that the
  // window can show how far the five seconds have come.
  const auto base = static_cast<std::uint32_t>(drive.DeviceUID);
  auto previous = drive.OnSend;
  int step = 0;
  drive.SetOnSend([this, &step, previous, base](TCANFrame& frame) {
    if (previous) previous(frame);
    const bool request = (frame.Flags & kFlagRemote) != 0 && frame.Id >= base &&
                         frame.Id < base + 8U * kReadAllSteps && (frame.Id - base) % 8U == 0;
    if (request && step < kReadAllSteps && OnReadProgress) OnReadProgress(++step);
  });
  drive.ReadAll();
  drive.SetOnSend(previous);
  Modified = false;
}

QString TDriveParams::ReadReg(int k) const {
  return Drive != nullptr ? QString::number(Drive->ReadWord(k)) : QStringLiteral("0");
}

QStringList TDriveParams::ReadPage(int page) const {
  QStringList texts;
  if (page < 0 || page >= static_cast<int>(DriveParamPages().size())) return texts;
  for (const TDriveParamEdit& e : DriveParamPages()[static_cast<size_t>(page)].Edits) {
    texts << ReadReg(e.Register);
  }
  return texts;
}

std::optional<std::uint16_t> ParseRegisterValue(const QString& text) {
  const std::optional<std::int64_t> v = TryParseInt(text);
  if (!v || *v < 0 || *v > 0xFFFF) return std::nullopt;
  return static_cast<std::uint16_t>(*v);
}

int TDriveParams::WritePage(int page, const QStringList& texts, QString* refusal) {
  if (!Modified) return 0;
  Modified = false;
  if (Drive == nullptr || page < 0 || page >= static_cast<int>(DriveParamPages().size())) return 0;
  const auto& edits = DriveParamPages()[static_cast<size_t>(page)].Edits;
  int written = 0;
  for (size_t i = 0; i < edits.size(); ++i) {
    const QString text =
        i < static_cast<size_t>(texts.size()) ? texts[static_cast<qsizetype>(i)] : QString();
    const std::optional<std::uint16_t> value = ParseRegisterValue(text);
    if (!value) {
      // A wrapped or guessed value would set a protection limit the operator
      // never asked for: stop here and say where.
      const QString why = QCoreApplication::translate(
                              "vorta::DriveParams",
                              "Регистр %1 (%2): \"%3\" не целое число от 0 до 65535. Запись "
                              "остановлена, регистры после него не записаны.")
                              .arg(edits[i].Register)
                              .arg(QString::fromUtf8(edits[i].Label), text);
      messages_.ShowError(why);
      if (refusal != nullptr) *refusal = why;
      return written;
    }
    const std::uint16_t before = Drive->ReadWord(edits[i].Register);
    Drive->WriteRegister(edits[i].Register, *value);
    if (Process != nullptr) {
      const QString group = QString::fromUtf8(edits[i].Group);
      RecordChange(*Process,
                   QStringLiteral("Привод %1: регистр %2 «%3»")
                       .arg(Drive->Name)
                       .arg(edits[i].Register)
                       .arg((group.isEmpty() ? QString() : group + QStringLiteral(" / ")) +
                            QString::fromUtf8(edits[i].Label)),
                   QString::number(before), QString::number(*value), TJournalSource::Dialog);
    }
    ++written;
    if (i + 1 < edits.size()) WaitMs(time_, kWritePauseMs);
  }
  return written;
}

}  // namespace vorta
