#pragma once
// File existence and the read-only attribute (read-only = no write bits).

#include <QString>

namespace vorta {

bool FileExists(const QString& path);
bool IsReadOnly(const QString& path);
// Sets or clears the read-only attribute; false when the file has none to set.
bool SetReadOnly(const QString& path, bool readOnly);

}  // namespace vorta
