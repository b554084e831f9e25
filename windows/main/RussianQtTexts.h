#pragma once
// Qt's own texts in the program's windows (file and colour dialogs, standard
// buttons) in Russian, like the rest of what the operator reads.

class QCoreApplication;

namespace vorta {

// Loads Qt's Russian translation into app; false (texts stay in English)
// when the translation files are not installed.
bool InstallRussianQtTexts(QCoreApplication& app);

}  // namespace vorta
