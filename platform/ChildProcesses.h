#pragma once
// Keeping hold of what the program starts: every descendant stays ours, even
// one that left its session or lost its parent, so that it can be ended with
// the run that started it.

#include <sys/types.h>

#include <QByteArray>
#include <vector>

namespace vorta {

// Orphans of anything this process starts become its own children instead of
// init's. False when the kernel refused.
bool BecomeChildSubreaper();

struct TProcessEntry {
  pid_t Pid = 0;
  pid_t Parent = 0;
  pid_t Group = 0;
  pid_t Session = 0;
  bool Zombie = false;
};

// Every process the system lists now.
std::vector<TProcessEntry> ListProcesses();

// Whether the process's environment holds `entry` ("NAME=value") exactly; false
// when it cannot be read (gone, a zombie, another user's).
bool EnvironmentHas(pid_t pid, const QByteArray& entry);

// The processes of one started program: those in the group or session it
// leads (its pid), and those carrying `mark` in their environment, however
// they detached. Zombies only by group or session (their environment is gone)
// or when their pid is in `known`.
struct TRunMembers {
  std::vector<pid_t> Alive;
  std::vector<pid_t> Zombies;  // only this process's own children
};
TRunMembers FindRunMembers(pid_t leader, const QByteArray& mark, const std::vector<pid_t>& known);

// Collects the exit of each zombie child given, so that none is left behind.
void ReapChildren(const std::vector<pid_t>& zombies);

}  // namespace vorta
