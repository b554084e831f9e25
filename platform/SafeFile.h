#pragma once
// Opening the program's files without ever blocking on them. A FIFO, a
// device or a folder put where a file is expected would block open() for
// ever or swallow the data, so every file the program reads or writes must be
// a regular file.

#include <QByteArray>
#include <QString>

namespace vorta {

// Empty when `path` does not exist or is a regular file (symbolic links are
// followed); otherwise a message naming the file and what it is instead.
QString NotARegularFile(const QString& path);
// The same message in the program's source language, whatever the operator's
// language, for what is recorded (the journal).
QString NotARegularFileRecorded(const QString& path);

// The last byte of a regular file, or -1 when it is empty, missing or cannot
// be read.
int LastByte(const QString& path);

}  // namespace vorta
