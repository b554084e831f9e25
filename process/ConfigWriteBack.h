#pragma once
// Writing a changed group of settings back to the process file.

namespace vorta {

class TVortaProcess;

// Writes the group named by SaveRequest back to the file, then clears it.
void SaveRequestedGroup(TVortaProcess& process);

}  // namespace vorta
