#include "process/Cycles.h"

namespace vorta {

void MeasurementCycle(TCycleContext& /*c*/) {}

}  // namespace vorta
