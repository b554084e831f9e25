#pragma once
// The running plan's state on disk: one small file per vessel, replaced whole
// at every step change (a crash leaves the old or the new one, never a torn
// one), so that after any end the plan resumes where it was.

#include <QString>
#include <optional>

#include "plans/PlanRunner.h"

namespace vorta {

// "VortaPlan<N>.json" in the program folder.
QString PlanStateFileName(const QString& folder, int vessel);

// False with the reason in *error when the file could not be replaced.
bool WritePlanState(const QString& path, const TPlanSnapshot& snapshot, QString* error);
// nullopt when the file is missing or not one this program wrote (*error says which).
std::optional<TPlanSnapshot> ReadPlanState(const QString& path, QString* error);

}  // namespace vorta
