#include "commands/JournalChanges.h"

#include "process/ProcessRecord.h"

namespace vorta {

void RecordChange(const TVortaProcess& p, const QString& subject, const QString& oldValue,
                  const QString& newValue, TJournalSource source) {
  if (p.Env.Journal == nullptr) return;
  p.Env.Journal->Change(p.Config.NumProcess, p.Caption(), subject, oldValue, newValue, source);
}

void RecordProgramChange(const TVortaEnv& env, const QString& subject, const QString& oldValue,
                         const QString& newValue, TJournalSource source) {
  if (env.Journal == nullptr) return;
  env.Journal->Change(0, QString(), subject, oldValue, newValue, source);
}

QString ChannelKey(const TVortaProcess& p, std::size_t n, int position, const QString& what) {
  const QString section = n < p.Config.AssignName.size() ? p.Config.AssignName[n] : QString();
  return QStringLiteral("[%1] #%2 %3").arg(section).arg(position).arg(what);
}

QString CtrlKey(const TVortaProcess& p, std::size_t n, int position, const QString& what) {
  const QString section = n < p.Config.AssignName.size() ? p.Config.AssignName[n] : QString();
  return QStringLiteral("[Ctrl%1] #%2 %3").arg(section).arg(position).arg(what);
}

QString OnOffText(bool on) {
  return on ? QStringLiteral("вкл") : QStringLiteral("выкл");
}

void RecordChangedFields(const TVortaProcess& p, const TFieldTexts& before,
                         const TFieldTexts& after, TJournalSource source) {
  // Both lists come from one snapshot function, so they pair up by index.
  for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
    RecordChange(p, after[i].first, before[i].second, after[i].second, source);
  }
}

}  // namespace vorta
