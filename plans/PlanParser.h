#pragma once
// Reading a run plan from its YAML text. Every fault is reported with the
// line and column (1-based) it was found at, so that an operator can go
// straight to it; a plan with any fault is not returned.

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "plans/PlanModel.h"

namespace vorta {

struct TPlanError {
  int Line = 0;
  int Column = 0;
  QString Message;

  [[nodiscard]] QString Text() const;  // "12:5: message"
};

// The plan in `text` (UTF-8), or nullopt with every fault found in *errors.
// `fileName` is kept in the plan; the hash is that of `text`.
std::optional<TPlan> ParsePlan(const QByteArray& text, const QString& fileName,
                               std::vector<TPlanError>* errors);

// Reads the file whole, then parses it; a file that cannot be read is one error at 0:0.
std::optional<TPlan> LoadPlanFile(const QString& path, std::vector<TPlanError>* errors);

// "90", "45 s", "2 min", "1.5 h", "1 h 30 min", "2 d" in milliseconds; nullopt otherwise.
std::optional<std::int64_t> ParsePlanDuration(const QString& text);
// "pO2 > 60", "pH<=6.5"; nullopt otherwise.
std::optional<TPlanCondition> ParsePlanCondition(const QString& text);

}  // namespace vorta
