#pragma once
// A ready-made program folder with four vessels on the virtual plant, for
// trying the controller without hardware.

#include <QString>

namespace vorta {

// Writes the demo files into folder unless "Vorta.ini" is already there (an
// existing demo is reused, never overwritten). False when it could not write.
// vessels: how many (1..kMaxDemoVessels; the bus table holds two devices each).
inline constexpr int kMaxDemoVessels = 10;
bool PrepareDemoFolder(const QString& folder, QString* error, int vessels = 4);

class TVortaProcessList;

// The demo shows regulation: every vessel is put into batch mode, as an
// operator would do from the panel menu (written back like a menu choice).
void StartDemoVessels(TVortaProcessList& processes);

}  // namespace vorta
