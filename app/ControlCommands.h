#pragma once
// The commands a running copy takes over its control socket ("vorta ctl"):
// what a lab running without a screen reads (the vessels, alarms, journal,
// parameters, outputs, the copy itself) and the changes it makes. Each change
// goes through the engine function the windows call, so it is checked and
// journalled the same way, with the caller as the user and "Command" as the
// source. Words and names are taken whatever their letter case.

#include "platform/ControlSocket.h"

namespace vorta {

class TMainForm;

// The version of the --json shape (an envelope around every answer, errors
// included: version, time, command, exit, ok, and result or error).
inline constexpr int kControlJsonVersion = 1;

// The commands and their words, for the usage text.
QString ControlUsage();

// Why the words are no command the copy takes (the command's name and the
// form of its words), or nothing when they are one: checked by the client
// too, so that a mistyped command is told as one even with no copy running.
std::optional<QString> ControlCommandProblem(const QStringList& args);
inline bool ControlCommandKnown(const QStringList& args) {
  return !ControlCommandProblem(args).has_value();
}

// What may follow the words typed so far (for the shell's completion); the
// running copy's vessel numbers where a vessel comes, none without one.
QStringList ControlCompletions(const QStringList& typed, const QStringList& vessels);

// The envelope --json prints, from a reply (the copy's or the client's own).
QByteArray ControlJson(const QStringList& args, const TControlReply& reply);

TControlReply RunControlCommand(TMainForm& form, const TControlRequest& request);

}  // namespace vorta
