#pragma once
// A change the command layer refused is shown to the operator who asked.

#include "commands/Commands.h"
#include "platform/Messages.h"
#include "process/ProcessRecord.h"

namespace vorta {

inline void ShowRefusal(TVortaProcess& p, const TCommandResult& result) {
  if (!result) p.Env.Messages.ShowError(result.Text);
}

}  // namespace vorta
