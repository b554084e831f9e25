#pragma once
// Foam detection and the antifoam output.

namespace vorta {

class TVortaProcess;

// Foam decision over a window of penaperiod calls; indicator and antifoam.
void DetectFoam(TVortaProcess& process);

}  // namespace vorta
