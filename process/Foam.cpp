// Foam decision over a window of 2-s calls: foam only when every call of the
// window saw it, so that a splash does not start the antifoam pump.

#include "process/Foam.h"
#include "devices/IoModule.h"
#include "process/OutputChannels.h"
#include "process/ProcessRecord.h"

namespace vorta {

void DetectFoam(TVortaProcess& p) {
  const int input = (p.Board != nullptr && p.Board->GetFoamInput()) ? 1 : 0;
  p.FoamCalls += 1;
  if ((p.Config.InversPena == 1 && input == 1) || (p.Config.InversPena == 0 && input == 0))
    p.FoamHits += 1;
  if (p.FoamCalls == p.Config.penaperiod) {
    p.FoamCalls = 0;
    p.Foam = p.FoamHits >= p.Config.penaperiod ? 1 : 0;
    p.FoamHits = 0;
  }
  const bool foam = p.Foam == 1 && p.Config.Existpena == 1;
  p.PanelState.FoamIndicator = foam;
  // Uncontrolled: the operator sees the foam, the antifoam output is left alone.
  if (IsControlledMode(p.Mode)) SetOutput(p, static_cast<std::uint8_t>(p.Config.spumech), foam);
}

}  // namespace vorta
