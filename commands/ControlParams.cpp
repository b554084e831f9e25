// What the control parameters dialog shows and stores. Every text is read
// first; only when all of them can be stored does OK change the process, so
// a refused field never leaves half a dialog applied.

#include <QCoreApplication>
#include <limits>

#include "commands/ControlParams.h"
#include "commands/JournalChanges.h"
#include "devices/IoModule.h"
#include "platform/Numbers.h"
#include "process/OutputChannels.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kUInt16Max = std::numeric_limits<std::uint16_t>::max();

struct TFieldName {
  TCtrlText Field;
  const char* Name;
};

const TFieldName kFieldNames[] = {
    {&TCtrlFields::Period,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Стандарт / Период (сек):")},
    {&TCtrlFields::Low,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Стандарт / Нижняя граница:")},
    {&TCtrlFields::High,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Стандарт / Верхняя граница:")},
    {&TCtrlFields::DeadZone,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Стандарт / Зона нечувствительности:")},
    {&TCtrlFields::GainUp,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Стандарт / Коэф. усиления + :")},
    {&TCtrlFields::GainDown,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Стандарт / Коэф. усиления - :")},
    {&TCtrlFields::EppPeriod,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Таймеры / Период (сек): (первый таймер)")},
    {&TCtrlFields::EppWork,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Таймеры / Работа (сек): (первый таймер)")},
    {&TCtrlFields::MedPeriod,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Таймеры / Период (сек): (второй таймер)")},
    {&TCtrlFields::MedWork,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Таймеры / Работа (сек): (второй таймер)")},
    {&TCtrlFields::Po2Period,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Спец. pO / Период (сек):")},
    {&TCtrlFields::Po2Right,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Спец. pO / Обороты макс.:")},
    {&TCtrlFields::Po2Left,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Спец. pO / Обороты мин.:")},
    {&TCtrlFields::Po2Koef,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "Спец. pO / Коэф. воздействия:")},
    {&TCtrlFields::Ev1Hours,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "События / EFT, час. (первое событие)")},
    {&TCtrlFields::Ev1Minutes,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "События / EFT, мин. (первое событие)")},
    {&TCtrlFields::Ev2Hours,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "События / EFT, час. (второе событие)")},
    {&TCtrlFields::Ev2Minutes,
     QT_TRANSLATE_NOOP("vorta::ControlParamsApply", "События / EFT, мин. (второе событие)")},
};

// Reads the texts; the first one that cannot be stored is remembered and
// every later read only returns 0.
class TFieldReader {
 public:
  explicit TFieldReader(const TCtrlFields& fields) : f_(fields) {}

  double Real(TCtrlText field) {
    if (Error) return 0;
    const auto v = TryParseReal(f_.*field);
    if (!v)
      Fail(field, QCoreApplication::translate("vorta::ControlParamsApply",
                                              "не число (дробная часть отделяется точкой)"));
    return v.value_or(0);
  }

  std::int64_t Whole(TCtrlText field, std::int64_t lo, std::int64_t hi) {
    if (Error) return 0;
    const auto v = TryParseInt(f_.*field);
    if (!v) {
      Fail(field, QCoreApplication::translate("vorta::ControlParamsApply", "не целое число"));
      return 0;
    }
    return InRange(field, *v, lo, hi) ? *v : 0;
  }

  // A real truncated to a whole number and made even.
  std::int64_t EvenPeriod(TCtrlText field, std::int64_t lo, std::int64_t hi) {
    const double v = Real(field);
    if (Error) return 0;
    if (v <= static_cast<double>(kInt32Min) || v >= static_cast<double>(kInt32Max)) {
      InRange(field, v < 0 ? kInt32Min : kInt32Max, lo, hi);
      return 0;
    }
    const std::int64_t even = MakeEven(static_cast<std::int64_t>(v));
    return InRange(field, even, lo, hi) ? even : 0;
  }

  bool InRange(TCtrlText field, std::int64_t v, std::int64_t lo, std::int64_t hi) {
    if (v >= lo && v <= hi) return true;
    Fail(field, QCoreApplication::translate("vorta::ControlParamsApply", "вне пределов %1…%2")
                    .arg(lo)
                    .arg(hi));
    return false;
  }

  std::optional<TCtrlFieldError> Error;
  [[nodiscard]] const TCtrlFields& Fields() const { return f_; }

 private:
  void Fail(TCtrlText field, const QString& why) {
    if (Error) return;
    Error = TCtrlFieldError{
        field, QCoreApplication::translate("vorta::ControlParamsApply",
                                           "Значение поля «%1» не сохранено: «%2» — %3.")
                   .arg(CtrlFieldName(field), f_.*field, why)};
  }

  const TCtrlFields& f_;
};

struct TEventValues {
  // Only when hours or minutes are not 0 and differ from what the dialog
  // showed for the current period.
  std::optional<std::int32_t> Period;
  std::optional<std::int32_t> Work;  // only when the text is a whole number
};

TEventValues ReadEvent(TFieldReader& r, const QString& work, TCtrlText hoursField,
                       TCtrlText minutesField, std::int32_t current) {
  TEventValues v;
  const std::int64_t hours = r.Whole(hoursField, 0, kInt32Max);
  const std::int64_t minutes = r.Whole(minutesField, 0, kInt32Max);
  const std::int64_t period = hours * 3600 + minutes * 60;
  // The fields show whole minutes: left as shown, they must not cut the
  // seconds of a period the file gave (90 s stays 90 s).
  const bool asShown = hours == current / 3600 && minutes == (current % 3600) / 60;
  if (!r.Error && !asShown && (hours != 0 || minutes != 0) &&
      r.InRange(hoursField, period, 0, kInt32Max)) {
    v.Period = static_cast<std::int32_t>(period);
  }
  // A work time that is not a whole number leaves the old one.
  const auto w = TryParseInt(work);
  if (w && *w >= kInt32Min && *w <= kInt32Max) v.Work = static_cast<std::int32_t>(*w);
  return v;
}

void StoreEvent(TPulseGenerator& g, const TEventValues& v, bool exist, bool aperiod) {
  if (v.Period) g.Period = *v.Period;
  if (v.Work) g.Work = *v.Work;
  g.Exist = exist ? 1 : 0;
  g.Aperiod = aperiod ? 1 : 0;
  g.Count = 0;
}

// Every setting OK can change, by the key it is written back to and in the
// form the file holds it, so that the journal names what the file shows.
TFieldTexts CtrlSettings(const TVortaProcess& p, size_t e) {
  const auto real = [](double v) { return FormatFixed(v, 2); };
  const auto num = [](std::int64_t v) { return QString::number(v); };
  const auto key = [](const char* section, const char* name) {
    return QStringLiteral("[%1] %2").arg(QLatin1String(section), QLatin1String(name));
  };
  TFieldTexts t{
      {QStringLiteral("[WARMCTRL] DefWarm"), num(p.Env.Program.DefWarm)},
      {CtrlKey(p, e, 1, QStringLiteral("Период")), num(p.Channel[e].Config.CtrlPeriod)},
      {CtrlKey(p, e, 4, QStringLiteral("Регулирование")), num(p.Channel[e].Config.CtrlEnable)},
      {CtrlKey(p, e, 5, QStringLiteral("Нижняя граница")), real(p.Channel[e].Config.CtrlLow)},
      {CtrlKey(p, e, 6, QStringLiteral("Верхняя граница")), real(p.Channel[e].Config.CtrlHigh)},
      {CtrlKey(p, e, 7, QStringLiteral("Зона нечувствительности")),
       real(p.Channel[e].Config.DeadZone)},
      {CtrlKey(p, e, 8, QStringLiteral("Коэф. усиления +")), real(p.Channel[e].Config.GainUp)},
      {CtrlKey(p, e, 9, QStringLiteral("Коэф. усиления -")), real(p.Channel[e].Config.GainDown)},
      {key("Epp", "eppperiod"), num(p.Epp.Period)},
      {key("Epp", "eppact"), num(p.Epp.Work)},
      {key("Epp", "eppexist"), num(p.Epp.Exist)},
      {key("Med", "medperiod"), num(p.Med.Period)},
      {key("Med", "medact"), num(p.Med.Work)},
      {key("Med", "medexist"), num(p.Med.Exist)},
  };
  for (auto [g, section] : {std::pair{&p.Events1, "events1"}, std::pair{&p.Events2, "events2"}}) {
    t.emplace_back(key(section, "EFT"), num(g->Period));
    t.emplace_back(key(section, "WRK"), num(g->Work));
    t.emplace_back(key(section, "exist"), num(g->Exist));
    t.emplace_back(key(section, "aperiod"), num(g->Aperiod));
  }
  t.emplace_back(key("Ctrlpo2", "po2ctrlmotor"), num(p.Config.po2ctrlmotor));
  t.emplace_back(key("Ctrlpo2", "po2motorperiod"), num(p.Config.po2motorperiod));
  t.emplace_back(key("Ctrlpo2", "po2mixcoderightzone"), num(p.Config.po2mixcoderightzone));
  t.emplace_back(key("Ctrlpo2", "po2mixcodeleftzone"), num(p.Config.po2mixcodeleftzone));
  t.emplace_back(key("Ctrlpo2", "po2koef"), FormatFixed(p.Config.po2koef, 1));
  t.emplace_back(key("Ctrlspume", "Existpena"), num(p.Config.Existpena));
  return t;
}

QString TicksAsSeconds(std::int32_t ticks) {
  return QString::number(static_cast<std::int64_t>(ticks) * 2);
}

}  // namespace

bool IsChannelVariant(int selector) {
  return selector >= 1 && selector <= 4;
}

int CtrlEntry(int selector) {
  return IsChannelVariant(selector) ? selector : 5;
}

QString CtrlCaption(const TVortaProcess& p, int selector) {
  const QString base =
      QCoreApplication::translate("vorta::ControlParamsApply", "Параметры управления");
  if (!IsChannelVariant(selector))
    return base + QCoreApplication::translate("vorta::ControlParamsApply", " общие");
  return base + QStringLiteral(" - ") + p.Config.AssignName[static_cast<size_t>(selector)] +
         QStringLiteral(" - ") + p.Caption();
}

QString CtrlFieldName(TCtrlText field) {
  for (const TFieldName& n : kFieldNames) {
    if (n.Field == field) return QCoreApplication::translate("vorta::ControlParamsApply", n.Name);
  }
  return {};
}

std::int64_t MakeEven(std::int64_t value) {
  return (value / 2) * 2;
}

TCtrlFields ReadCtrlFields(const TVortaProcess& p, int entry) {
  const auto e = static_cast<size_t>(entry >= 1 && entry <= 5 ? entry : 5);
  const TChannelConfig& c = p.Channel[e].Config;
  TCtrlFields f;
  f.Period = QString::number(c.CtrlPeriod);
  f.Low = FormatFixed(c.CtrlLow, 2);
  f.High = FormatFixed(c.CtrlHigh, 2);
  f.DeadZone = FormatFixed(c.DeadZone, 2);
  f.GainUp = FormatFixed(c.GainUp, 1);
  f.GainDown = FormatFixed(c.GainDown, 1);
  f.Enable = c.CtrlEnable == 1;

  f.EppChName = p.Epp.ChName;
  f.EppPeriod = TicksAsSeconds(p.Epp.Period);
  f.EppWork = TicksAsSeconds(p.Epp.Work);
  f.EppExist = p.Epp.Exist == 1;
  f.MedChName = p.Med.ChName;
  f.MedPeriod = TicksAsSeconds(p.Med.Period);
  f.MedWork = TicksAsSeconds(p.Med.Work);
  f.MedExist = p.Med.Exist == 1;

  f.Po2Motor = p.Config.po2ctrlmotor == 1;
  f.Po2Period = QString::number(p.Config.po2motorperiod);
  f.Po2Right = QString::number(p.Config.po2mixcoderightzone);
  f.Po2Left = QString::number(p.Config.po2mixcodeleftzone);
  f.Po2Koef = FormatFixed(p.Config.po2koef, 1);

  f.Water = p.WaterHeating == 1;
  f.FoamLevelText =
      FoamLevelName(p.Config.Spumelevel)
          .value_or(QCoreApplication::translate("vorta::ControlParamsApply", "Макс."));
  f.FoamExist = p.Config.Existpena == 1;

  f.Ev1ChName = p.Events1.ChName;
  f.Ev1Hours = QString::number(p.Events1.Period / 3600);
  f.Ev1Minutes = QString::number((p.Events1.Period % 3600) / 60);
  f.Ev1Work = QString::number(p.Events1.Work);
  f.Ev1Exist = p.Events1.Exist == 1;
  f.Ev1Aperiod = p.Events1.Aperiod == 1;
  f.Ev2ChName = p.Events2.ChName;
  f.Ev2Hours = QString::number(p.Events2.Period / 3600);
  f.Ev2Minutes = QString::number((p.Events2.Period % 3600) / 60);
  f.Ev2Work = QString::number(p.Events2.Work);
  f.Ev2Exist = p.Events2.Exist == 1;
  f.Ev2Aperiod = p.Events2.Aperiod == 1;
  return f;
}

namespace {

// Every text of the dialog read into what the record holds.
struct TCtrlValues {
  std::int64_t Period = 0;
  double Low = 0, High = 0, DeadZone = 0, GainUp = 0, GainDown = 0;
  std::int64_t EppPeriod = 0, EppWork = 0, MedPeriod = 0, MedWork = 0;
  TEventValues Ev1, Ev2;
  std::int64_t Po2Period = 0, Po2Right = 0, Po2Left = 0;
  double Po2Koef = 0;
};

TCtrlValues ReadCtrlValues(const TVortaProcess& p, TFieldReader& r) {
  TCtrlValues v;
  v.Period = r.EvenPeriod(&TCtrlFields::Period, 0, kUInt16Max);
  v.Low = r.Real(&TCtrlFields::Low);
  v.High = r.Real(&TCtrlFields::High);
  v.DeadZone = r.Real(&TCtrlFields::DeadZone);
  v.GainUp = r.Real(&TCtrlFields::GainUp);
  v.GainDown = r.Real(&TCtrlFields::GainDown);
  v.EppPeriod = r.Whole(&TCtrlFields::EppPeriod, kInt32Min, kInt32Max);
  v.EppWork = r.Whole(&TCtrlFields::EppWork, kInt32Min, kInt32Max);
  v.MedPeriod = r.Whole(&TCtrlFields::MedPeriod, kInt32Min, kInt32Max);
  v.MedWork = r.Whole(&TCtrlFields::MedWork, kInt32Min, kInt32Max);
  v.Ev1 = ReadEvent(r, r.Fields().Ev1Work, &TCtrlFields::Ev1Hours, &TCtrlFields::Ev1Minutes,
                    p.Events1.Period);
  v.Ev2 = ReadEvent(r, r.Fields().Ev2Work, &TCtrlFields::Ev2Hours, &TCtrlFields::Ev2Minutes,
                    p.Events2.Period);
  v.Po2Period = r.EvenPeriod(&TCtrlFields::Po2Period, 0, kUInt16Max);
  v.Po2Right = r.Whole(&TCtrlFields::Po2Right, 0, kUInt16Max);
  v.Po2Left = r.Whole(&TCtrlFields::Po2Left, 0, kUInt16Max);
  v.Po2Koef = r.Real(&TCtrlFields::Po2Koef);
  return v;
}

}  // namespace

std::optional<TCtrlFieldError> CheckCtrlFields(const TVortaProcess& p, const TCtrlFields& fields) {
  TFieldReader r(fields);
  ReadCtrlValues(p, r);
  return r.Error;
}

std::optional<TCtrlFieldError> ApplyCtrlFields(TVortaProcess& p, int entry, const TCtrlFields& f,
                                               TJournalSource source, bool outputsOff) {
  // Read everything before anything is stored.
  TFieldReader r(f);
  const TCtrlValues v = ReadCtrlValues(p, r);
  if (r.Error) return r.Error;
  const std::int64_t period = v.Period;
  const double low = v.Low, high = v.High, deadZone = v.DeadZone, gainUp = v.GainUp,
               gainDown = v.GainDown;
  const std::int64_t eppPeriod = v.EppPeriod, eppWork = v.EppWork, medPeriod = v.MedPeriod,
                     medWork = v.MedWork;
  const TEventValues& ev1 = v.Ev1;
  const TEventValues& ev2 = v.Ev2;
  const std::int64_t po2Period = v.Po2Period, po2Right = v.Po2Right, po2Left = v.Po2Left;
  const double po2Koef = v.Po2Koef;
  const auto e = static_cast<size_t>(entry >= 1 && entry <= 5 ? entry : 5);
  const TFieldTexts before = CtrlSettings(p, e);

  // 1. Heating medium.
  p.Env.Program.DefWarm = f.Water ? 0 : 1;

  // 2. "Стандарт" into the entry (the common entry 5 in the common variant).
  TChannelConfig& c = p.Channel[e].Config;
  c.CtrlPeriod = static_cast<std::uint16_t>(period);
  c.CtrlLow = low;
  c.CtrlHigh = high;
  c.DeadZone = deadZone;
  c.GainUp = gainUp;
  c.GainDown = gainDown;

  // 3. Regulation switched off: every output on bits 0..10 goes off, when
  // the caller asks for it.
  c.CtrlEnable = f.Enable ? 1 : 0;
  if (!f.Enable && outputsOff) {
    p.OutputWord &= kCtrlKeepMask;
    if (p.Board != nullptr) p.Board->SetOutputs(p.OutputWord);
    for (size_t k = 1; k <= 8; ++k) p.ManualState[k] = 0;
  }

  // 4, 5. Interval timers count 2-s ticks.
  p.Epp.Period = static_cast<std::int32_t>(eppPeriod / 2);
  p.Epp.Work = static_cast<std::int32_t>(eppWork / 2);
  p.Epp.Exist = f.EppExist ? 1 : 0;
  p.Epp.Count = 0;
  p.Med.Period = static_cast<std::int32_t>(medPeriod / 2);
  p.Med.Work = static_cast<std::int32_t>(medWork / 2);
  p.Med.Exist = f.MedExist ? 1 : 0;
  p.Med.Count = 0;

  // 6. Event timers count elapsed seconds.
  StoreEvent(p.Events1, ev1, f.Ev1Exist, f.Ev1Aperiod);
  StoreEvent(p.Events2, ev2, f.Ev2Exist, f.Ev2Aperiod);

  // 7. pO2 by mixer speed.
  p.Config.po2ctrlmotor = f.Po2Motor ? 1 : 0;
  p.Config.po2motorperiod = static_cast<std::uint16_t>(po2Period);
  p.Config.po2mixcoderightzone = static_cast<std::uint16_t>(po2Right);
  p.Config.po2mixcodeleftzone = static_cast<std::uint16_t>(po2Left);
  p.Config.po2koef = po2Koef;

  // 8. Foam sensitivity outputs from the level the spin button left.
  switch (p.Config.Spumelevel) {
    case 0:
      p.FoamLevelOut12 = 0, p.FoamLevelOut13 = 1;
      break;
    case 1:
      p.FoamLevelOut12 = 1, p.FoamLevelOut13 = 0;
      break;
    case 2:
      p.FoamLevelOut12 = 0, p.FoamLevelOut13 = 0;
      break;
    default:
      break;
  }
  SetOutput(p, 12, p.FoamLevelOut12 != 0);
  SetOutput(p, 13, p.FoamLevelOut13 != 0);
  p.Config.Existpena = f.FoamExist ? 1 : 0;

  // 9. Written to the process file at the next measurement tick.
  p.SaveRequest.Add(TWriteBackGroup::ControlParameters);
  RecordChangedFields(p, before, CtrlSettings(p, e), source);
  return std::nullopt;
}

std::optional<QString> SpinTimerText(const QString& text, std::int32_t bound, bool up) {
  const auto v = TryParseInt(text);
  if (!v) return std::nullopt;
  if (up && *v < bound) return QString::number(*v + 2);
  if (!up && *v > 0) return QString::number(*v - 2);
  return std::nullopt;
}

std::optional<QString> FoamLevelName(std::int32_t level) {
  switch (level) {
    case 0:
      return QCoreApplication::translate("vorta::ControlParamsApply", "Мин.");
    case 1:
      return QCoreApplication::translate("vorta::ControlParamsApply", "Сред.");
    case 2:
      return QCoreApplication::translate("vorta::ControlParamsApply", "Мах.");
    default:
      return std::nullopt;
  }
}

std::optional<QString> FoamLevelStep(TVortaProcess& p, bool up, TJournalSource source) {
  if (up && p.Config.Spumelevel != 2 &&
      p.Config.Spumelevel < std::numeric_limits<std::int32_t>::max()) {
    p.Config.Spumelevel += 1;
  } else if (!up && p.Config.Spumelevel != 0 &&
             p.Config.Spumelevel > std::numeric_limits<std::int32_t>::min()) {
    p.Config.Spumelevel -= 1;
  } else {
    return std::nullopt;
  }
  // The spin button stores the level itself, whether or not OK follows.
  RecordChange(p, QStringLiteral("[Ctrlspume] Spumelevel"),
               QString::number(up ? p.Config.Spumelevel - 1 : p.Config.Spumelevel + 1),
               QString::number(p.Config.Spumelevel), source);
  return FoamLevelName(p.Config.Spumelevel);
}

}  // namespace vorta
