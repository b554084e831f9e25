#pragma once
// Whom the program trusts. Its folder, the files that steer it and the
// program its alarms start must be this user's or root's and writable by
// nobody else; otherwise another user could make the program run their code
// or write where they choose, with this user's rights (root's, say).

#include <QString>

namespace vorta {

// Why `folder` is not safe to run on, or empty. Its group may write in it
// only when that is the program's own group (a service operated by a group)
// and the folder carries the sticky bit, so that no member can remove or
// replace a file of the program.
QString UnsafeFolder(const QString& folder);

// Why `path`, a file that steers the program (a configuration file, the alarm
// command's program), is not safe to take, or empty; a missing file is none.
// `withFolder`: the folder it lies in is checked too (a program elsewhere,
// which anyone who can write its folder could replace).
QString UnsafeFile(const QString& path, bool withFolder = false);

}  // namespace vorta
