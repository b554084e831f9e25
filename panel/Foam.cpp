// Foam decision over a window of 2-s calls: foam only when every call of the
// window saw it, so that a splash does not start the antifoam pump.

#include "devices/uSUABB.h"
#include "panel/mainlo.h"
#include "process/OutputChannels.h"
#include "process/ProcUnit.h"
#include "process/ProcessCycles.h"

namespace vorta {

void defpena(TVortaProcess& p) {
  const int input = (p.Board != nullptr && p.Board->GetFoamInput()) ? 1 : 0;
  p.PenaCalls += 1;
  if ((p.InversPena == 1 && input == 1) || (p.InversPena == 0 && input == 0)) p.PenaHits += 1;
  if (p.PenaCalls == p.penaperiod) {
    p.PenaCalls = 0;
    p.Foam = p.PenaHits >= p.penaperiod ? 1 : 0;
    p.PenaHits = 0;
  }
  const bool foam = p.Foam == 1 && p.Existpena == 1;
  p.PanelState.FoamIndicator = foam;
  // Uncontrolled: the operator sees the foam, the antifoam output is left alone.
  if (IsControlledMode(p.Mode)) SetOutput(p, static_cast<std::uint8_t>(p.spumech), foam);
}

}  // namespace vorta
