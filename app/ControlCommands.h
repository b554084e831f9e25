#pragma once
// The commands a running copy takes over its control socket ("vorta ctl"):
// the vessels' state and the alarms, and the few changes an operator away
// from the screen needs. Each change goes through the engine function the
// windows call, so it is checked and journalled the same way, with the
// caller as the user and "Command" as the source.

#include "platform/ControlSocket.h"

namespace vorta {

class TMainForm;

// The commands and their words, for the usage text and completion.
QString ControlUsage();

// Whether the words name a command with its number of words: checked by the
// client too, so that a mistyped command is told as one even with no copy running.
bool ControlCommandKnown(const QStringList& args);

TControlReply RunControlCommand(TMainForm& form, const TControlRequest& request);

}  // namespace vorta
