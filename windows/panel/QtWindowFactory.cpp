#include "windows/panel/QtWindowFactory.h"

#include <QTimer>

#include "windows/charts/ChartForm.h"
#include "windows/panel/VortaForm.h"

namespace vorta {

std::unique_ptr<IVortaPanel> TQtWindowFactory::CreatePanel(TVortaProcess& process) {
  auto form = std::make_unique<TVortaForm>(process);
  if (showPanels_) {
    // Shown after the load has placed and filled it; a process whose load is
    // aborted frees its panel first, and the queued show goes with it.
    TVortaForm* raw = form.get();
    QTimer::singleShot(0, raw, [raw] { raw->show(); });
  }
  return form;
}

std::unique_ptr<IChartView> TQtWindowFactory::CreateChart(TVortaProcess& process) {
  return std::make_unique<TChartForm>(process);
}

}  // namespace vorta
