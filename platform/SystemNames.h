#pragma once
// What the system calls a user, a group and an error, for the program's
// messages: a name where the system knows one, the number otherwise.

#include <sys/types.h>
#include <QString>

namespace vorta {

QString UserName(uid_t uid);
QString GroupName(gid_t gid);
// The system's own text for an errno value ("No space left on device").
QString SystemReason(int error);

}  // namespace vorta
