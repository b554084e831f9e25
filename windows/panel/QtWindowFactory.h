#pragma once
// Creates the real windows of a process: the panel and the chart window.

#include "process/PanelView.h"

namespace vorta {

class TQtWindowFactory final : public IWindowFactory {
 public:
  // showPanels: show each panel once the event loop runs (the program);
  // tests keep them hidden and show what they need.
  explicit TQtWindowFactory(bool showPanels = true) : showPanels_(showPanels) {}

  std::unique_ptr<IVortaPanel> CreatePanel(TVortaProcess& process) override;
  std::unique_ptr<IChartView> CreateChart(TVortaProcess& process) override;

 private:
  bool showPanels_;
};

}  // namespace vorta
