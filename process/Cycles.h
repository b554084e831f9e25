#pragma once
// The three cyclic events of the main form, over every process in list order.

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

// 40 ms: output display and output-time counting, end of dosing pulses.
void OutputCycle(TCycleContext& c);
// 500 ms: elapsed-time clock, sampling, median of three, stirrer speed,
// deferred write-back.
void MeasurementCycle(TCycleContext& c);
// 2 s: conversion, statistics, regulation, pulses, displays, minute work.
void RegulationCycle(TCycleContext& c);

}  // namespace vorta
