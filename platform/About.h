#pragma once
// The About window's text: the version fields of the program file, in the
// order the window lists them.

#include <QString>
#include <QStringList>

namespace vorta {

inline constexpr char kNoVersionInfo[] = "No version information found";

// One line "display name: value" for every field of the file's version block
// that is present and not empty; the single line "No version information
// found" for a file without a block.
QStringList AboutVersionLines(const QString& fileName);

}  // namespace vorta
