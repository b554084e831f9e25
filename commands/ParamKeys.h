#pragma once
// The control parameters by the names callers give them (`vorta ctl params`,
// run plans, the browser): one table, one reading of each value.

#include <QString>
#include <QStringList>
#include <optional>

#include "commands/ControlParams.h"

namespace vorta {

class TVortaProcess;

// on/off, 1/0, yes/no, true/false, in any case.
std::optional<bool> ParseSwitch(const QString& text);

// A control parameter a caller names: a text field or a switch of the
// control parameters dialog, per channel ("Стандарт") or for the vessel.
struct TParamKey {
  const char* Key;
  TCtrlText Text = nullptr;
  bool TCtrlFields::*Switch = nullptr;
  bool PerChannel = false;
};
const TParamKey* FindParamKey(const QString& key);
QStringList ParamKeys();
// The keys of one channel's entry ("Стандарт"): what a plan or the browser may set.
QStringList ChannelParamKeys();
// The fields of the entry with each real as exactly as it is held, so that
// a change of one key leaves the others as they were.
TCtrlFields ExactCtrlFields(const TVortaProcess& p, int entry);
// A key's value as `params` shows it and takes it back.
QString ParamValue(const TCtrlFields& f, const TParamKey& key);
// Stores the typed value into the fields; the reason when it cannot.
std::optional<QString> SetParamValue(TCtrlFields& f, const TParamKey& key, const QString& value);

}  // namespace vorta
