#pragma once
// Where the program keeps its folder when started without --folder. A build
// tree keeps everything beside the executable; an installed executable lives
// in a folder the user cannot write (/usr/bin), so the user's data folder is
// used instead, with the demo prepared there on the first start.

#include <QProcessEnvironment>
#include <QString>

namespace vorta {

// True for an executable installed into a bin folder (/usr/bin, /usr/local/bin,
// ~/.local/bin); a build tree's executable sits in build/app.
bool IsInstalledExecutableFolder(const QString& exeFolder);

// $XDG_DATA_HOME/vorta, or ~/.local/share/vorta when that is unset or not an
// absolute path.
QString UserProgramFolder(const QProcessEnvironment& env);

// The folder without --folder: the executable's own in a build tree, the
// user's program folder for an installed program.
QString DefaultProgramFolder(const QString& exeFolder, const QProcessEnvironment& env);

// For the user's program folder: prepares the demo there unless it already
// holds a Vorta.ini. *note says where the files are. *operatorNote, when
// given, says it to the operator in the windows' language, and only on the
// start that prepared the demo (empty on any other). False when the folder
// cannot be written (*error says why).
bool PrepareUserProgramFolder(const QString& folder, QString* note, QString* error,
                              QString* operatorNote = nullptr);

}  // namespace vorta
