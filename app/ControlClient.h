#pragma once
// "vorta ctl [--folder DIR | --instance NAME] [--json] COMMAND …": the client
// side, which sends a command to the copy running on a folder and prints its
// answer (or, with --json, every answer and error in one shape).

#include <QString>

namespace vorta {

// The folder of a service instance.
inline const QString kInstanceRoot = QStringLiteral("/var/lib/vorta");

int RunControlClient(int argc, char** argv);

}  // namespace vorta
