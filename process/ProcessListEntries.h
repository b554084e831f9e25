#pragma once
// Which entries of the main configuration's [Processes] list name a process
// file that may be loaded. A process file is written back while the vessel
// runs, and its data log is appended to, so an entry that would make the
// program write into a file that is not that vessel's own is refused.

#include <QString>
#include <QStringList>

namespace vorta {

class IMessageSink;
class TProfileFile;

// The data log's name as the process file gives it ([Port] Protocolname),
// relative to the program folder.
QString DataLogName(const TProfileFile& processFile);

// The keys of the enabled entries (flag ending in 1) to load, in file order.
// An entry whose file is missing is skipped silently. Refused: a file that is
// not a regular file (never opened), that resolves outside programFolder, the
// program's own files, a vessel's data log, a file without the [Port] section
// of a process file, a file already listed (the same file by another name
// counts too), and a vessel whose data log would be outside the folder, one
// of the program's own files, a listed process file or the data log of a
// vessel listed before it. The refusals reach the operator as one message
// that shows the first few.
QStringList ProcessFilesToLoad(const TProfileFile& mainConfig, const QString& programFolder,
                               IMessageSink& messages);

}  // namespace vorta
