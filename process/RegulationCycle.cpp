#include "process/Cycles.h"

namespace vorta {

void RegulationCycle(TCycleContext& /*c*/) {}

}  // namespace vorta
