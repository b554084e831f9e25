#pragma once
// What the three cyclic events of the main form (OutputCycle, MeasurementCycle,
// RegulationCycle) work on: every process, in list order.

namespace vorta {

class TVortaProcessList;
struct TProgramState;
class TTimerService;
class TAlarmChecks;

struct TCycleContext {
  TProgramState& Program;
  TVortaProcessList& Processes;
  TTimerService& Time;
  TAlarmChecks* AlarmChecks = nullptr;  // run by the 2-s cycle when set
};

}  // namespace vorta
