#pragma once
// The process configuration file: loading it into the process record, and
// writing the end-of-run mark and window settings back at the end.

#include <QString>

namespace vorta {

class TVortaProcess;

// Fills the process record from ProgramFolder + fileName and sets up the
// panel. On a device of the wrong kind the load is aborted and
// process.LoadError says why.
void LoadProcessFile(TVortaProcess& process, const QString& fileName);
// Terminated = "Y", mixer window placement, protocol period, and every
// group still waiting for the write-back.
void SaveProcessFile(TVortaProcess& process);

// The text before the first comma of list; removes it and the comma.
QString NextToken(QString& list);

}  // namespace vorta
