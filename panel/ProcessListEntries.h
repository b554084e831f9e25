#pragma once
// Which entries of the main configuration's [Processes] list name a process
// file that may be loaded. A process file is written back while the vessel
// runs, so an entry that would make the program write into a file that is
// not a process file of its own folder is refused.

#include <QString>
#include <QStringList>

namespace vorta {

class IMessageSink;
class TProfileFile;

// The keys of the enabled entries (flag ending in 1) to load, in file order.
// An entry whose file is missing is skipped silently. Refused, with one
// message each naming the entry: a file that resolves outside programFolder,
// the program's own configuration files, a vessel's data log, a file without
// the [Port] section of a process file, and a file already listed (the same
// file by another name counts too).
QStringList ProcessFilesToLoad(const TProfileFile& mainConfig, const QString& programFolder,
                               IMessageSink& messages);

}  // namespace vorta
