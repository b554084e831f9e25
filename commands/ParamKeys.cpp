#include "commands/ParamKeys.h"

#include <QLocale>

#include "process/ProcessRecord.h"

namespace vorta {

namespace {

const TParamKey kParamKeys[] = {
    {"period", &TCtrlFields::Period, nullptr, true},
    {"low", &TCtrlFields::Low, nullptr, true},
    {"high", &TCtrlFields::High, nullptr, true},
    {"deadzone", &TCtrlFields::DeadZone, nullptr, true},
    {"gainup", &TCtrlFields::GainUp, nullptr, true},
    {"gaindown", &TCtrlFields::GainDown, nullptr, true},
    {"regulation", nullptr, &TCtrlFields::Enable, true},
    {"heating", nullptr, &TCtrlFields::Water},
    {"timer1", nullptr, &TCtrlFields::EppExist},
    {"timer1.period", &TCtrlFields::EppPeriod},
    {"timer1.work", &TCtrlFields::EppWork},
    {"timer2", nullptr, &TCtrlFields::MedExist},
    {"timer2.period", &TCtrlFields::MedPeriod},
    {"timer2.work", &TCtrlFields::MedWork},
    {"event1", nullptr, &TCtrlFields::Ev1Exist},
    {"event1.aperiodic", nullptr, &TCtrlFields::Ev1Aperiod},
    {"event1.hours", &TCtrlFields::Ev1Hours},
    {"event1.minutes", &TCtrlFields::Ev1Minutes},
    {"event1.work", &TCtrlFields::Ev1Work},
    {"event2", nullptr, &TCtrlFields::Ev2Exist},
    {"event2.aperiodic", nullptr, &TCtrlFields::Ev2Aperiod},
    {"event2.hours", &TCtrlFields::Ev2Hours},
    {"event2.minutes", &TCtrlFields::Ev2Minutes},
    {"event2.work", &TCtrlFields::Ev2Work},
    {"po2.stirrer", nullptr, &TCtrlFields::Po2Motor},
    {"po2.period", &TCtrlFields::Po2Period},
    {"po2.max", &TCtrlFields::Po2Right},
    {"po2.min", &TCtrlFields::Po2Left},
    {"po2.koef", &TCtrlFields::Po2Koef},
    {"foam", nullptr, &TCtrlFields::FoamExist},
};

// The shortest text that reads back as the same number.
QString Exact(double v) {
  return QLocale::c().toString(v, 'f', QLocale::FloatingPointShortest);
}

bool IsHeating(const TParamKey& key) {
  return key.Switch == &TCtrlFields::Water;
}

}  // namespace

std::optional<bool> ParseSwitch(const QString& text) {
  const QString word = text.toLower();
  if (word == QLatin1String("on") || word == QLatin1String("1") || word == QLatin1String("yes") ||
      word == QLatin1String("true")) {
    return true;
  }
  if (word == QLatin1String("off") || word == QLatin1String("0") || word == QLatin1String("no") ||
      word == QLatin1String("false")) {
    return false;
  }
  return std::nullopt;
}

const TParamKey* FindParamKey(const QString& key) {
  for (const TParamKey& k : kParamKeys) {
    if (key.compare(QLatin1String(k.Key), Qt::CaseInsensitive) == 0) return &k;
  }
  return nullptr;
}

QStringList ParamKeys() {
  QStringList keys;
  for (const TParamKey& k : kParamKeys) keys << QLatin1String(k.Key);
  return keys;
}

QStringList ChannelParamKeys() {
  QStringList keys;
  for (const TParamKey& k : kParamKeys) {
    if (k.PerChannel) keys << QLatin1String(k.Key);
  }
  return keys;
}

TCtrlFields ExactCtrlFields(const TVortaProcess& p, int entry) {
  TCtrlFields f = ReadCtrlFields(p, entry);
  // The dialog shows some reals rounded; OK with them unchanged would store the rounding.
  const TChannelConfig& c = p.Channel[static_cast<size_t>(entry)].Config;
  f.Low = Exact(c.CtrlLow);
  f.High = Exact(c.CtrlHigh);
  f.DeadZone = Exact(c.DeadZone);
  f.GainUp = Exact(c.GainUp);
  f.GainDown = Exact(c.GainDown);
  f.Po2Koef = Exact(p.Config.po2koef);
  return f;
}

QString ParamValue(const TCtrlFields& f, const TParamKey& key) {
  if (IsHeating(key)) return f.Water ? QStringLiteral("water") : QStringLiteral("steam");
  if (key.Switch != nullptr) return f.*key.Switch ? QStringLiteral("on") : QStringLiteral("off");
  return f.*key.Text;
}

std::optional<QString> SetParamValue(TCtrlFields& f, const TParamKey& key, const QString& value) {
  if (IsHeating(key)) {
    const QString word = value.toLower();
    if (word != QLatin1String("water") && word != QLatin1String("steam")) {
      return QStringLiteral("%1=%2: нагрев water или steam").arg(QLatin1String(key.Key), value);
    }
    f.Water = word == QLatin1String("water");
    return std::nullopt;
  }
  if (key.Switch != nullptr) {
    const std::optional<bool> on = ParseSwitch(value);
    if (!on) return QStringLiteral("%1=%2: нужно on или off").arg(QLatin1String(key.Key), value);
    f.*key.Switch = *on;
    return std::nullopt;
  }
  // The dialog's own reading checks the number; an empty text is no value.
  if (value.trimmed().isEmpty()) {
    return QStringLiteral("%1: нет значения").arg(QLatin1String(key.Key));
  }
  f.*key.Text = value;
  return std::nullopt;
}

}  // namespace vorta
