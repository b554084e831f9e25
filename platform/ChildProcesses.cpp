#include "platform/ChildProcesses.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <algorithm>

namespace vorta {

bool BecomeChildSubreaper() {
  return ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0;
}

namespace {

// "pid (comm) S ppid pgrp session …": the command name may hold anything,
// so the fields are counted from its last ')'.
bool ParseStat(const QByteArray& text, TProcessEntry* entry) {
  const qsizetype close = text.lastIndexOf(')');
  if (close < 0) return false;
  const QList<QByteArray> fields = text.mid(close + 2).split(' ');
  if (fields.size() < 4) return false;
  bool ok1 = false, ok2 = false, ok3 = false;
  entry->Zombie = fields[0] == "Z";
  entry->Parent = static_cast<pid_t>(fields[1].toInt(&ok1));
  entry->Group = static_cast<pid_t>(fields[2].toInt(&ok2));
  entry->Session = static_cast<pid_t>(fields[3].toInt(&ok3));
  return ok1 && ok2 && ok3;
}

}  // namespace

std::vector<TProcessEntry> ListProcesses() {
  std::vector<TProcessEntry> list;
  const QStringList names =
      QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& name : names) {
    bool ok = false;
    const int pid = name.toInt(&ok);
    if (!ok || pid <= 0) continue;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) continue;  // gone meanwhile
    TProcessEntry entry;
    entry.Pid = static_cast<pid_t>(pid);
    if (ParseStat(stat.readAll(), &entry)) list.push_back(entry);
  }
  return list;
}

bool EnvironmentHas(pid_t pid, const QByteArray& entry) {
  QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray all = file.readAll();
  for (const QByteArray& e : all.split('\0')) {
    if (e == entry) return true;
  }
  return false;
}

TRunMembers FindRunMembers(pid_t leader, const QByteArray& mark, const std::vector<pid_t>& known) {
  TRunMembers members;
  const pid_t self = ::getpid();
  for (const TProcessEntry& p : ListProcesses()) {
    if (p.Pid == self) continue;
    const bool byId = leader > 0 && (p.Group == leader || p.Session == leader);
    if (p.Zombie) {
      if (p.Parent == self &&
          (byId || std::find(known.begin(), known.end(), p.Pid) != known.end())) {
        members.Zombies.push_back(p.Pid);
      }
    } else if (byId || (!mark.isEmpty() && EnvironmentHas(p.Pid, mark))) {
      members.Alive.push_back(p.Pid);
    }
  }
  return members;
}

void ReapChildren(const std::vector<pid_t>& zombies) {
  for (const pid_t pid : zombies) ::waitpid(pid, nullptr, WNOHANG);
}

}  // namespace vorta
