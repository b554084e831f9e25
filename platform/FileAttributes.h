#pragma once
// File existence and the read-only attribute (read-only = no write bits),
// and the clean-up of temporaries a killed save left behind.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace vorta {

bool FileExists(const QString& path);
bool IsReadOnly(const QString& path);
// Sets or clears the read-only attribute; false when the file has none to set.
bool SetReadOnly(const QString& path, bool readOnly);

// Removes the temporaries a save killed before its rename leaves beside a
// file ("Process1.ini.aB3xY9"): only those of the given files of the folder
// (plain names), only regular files, only older than `before`. Returns the
// names removed.
QStringList RemoveStaleSaveFiles(const QString& folder, const QStringList& ownFiles,
                                 const QDateTime& before);

}  // namespace vorta
