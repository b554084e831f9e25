#pragma once
// The 40-ms cycle.

namespace vorta {

struct TCycleContext;

// 40 ms: output display and output-time counting, end of dosing pulses.
void OutputCycle(TCycleContext& c);

}  // namespace vorta
