#pragma once
// The 2-s cycle.

namespace vorta {

struct TCycleContext;

// 2 s: conversion, statistics, regulation, pulses, displays, minute work.
void RegulationCycle(TCycleContext& c);

}  // namespace vorta
