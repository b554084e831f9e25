#pragma once
// Writing the changed groups of settings back to the process file.

namespace vorta {

class TProfileFile;
class TVortaProcess;

// Writes every group pending in SaveRequest back to the file and clears the
// set once the file was written; false (the groups stay pending, the failure
// reported once per episode) when it could not be.
bool SaveRequestedGroup(TVortaProcess& process);

// Puts the pending groups into an open file object, for a caller that writes
// the file itself; the caller clears SaveRequest once that write succeeded.
void WritePendingGroups(const TVortaProcess& process, TProfileFile& file);

// [Mode] mode with the mark that it holds the mode in force: a start after a
// crash takes it rather than the data log's older last row.
void WriteModeInForce(const TVortaProcess& process, TProfileFile& file);

}  // namespace vorta
