#pragma once
// The process panel as the windows it opens see it. The panel opens every
// other window of its process, so it sits above them; they reach it only
// through this interface, which the panel implements.

#include <QCoreApplication>
#include <QStringList>

#include "windows/common/WindowSlot.h"

class QAction;
class QWidget;

namespace vorta {

class TVortaProcess;

// The windows a panel opens for its process, one slot per kind.
struct TPanelWindows {
  TWindowSlot Setpoints;      // "Уставки", "Линейная подстройка"
  TWindowSlot ControlParams;  // "Параметры управления"
  TWindowSlot Status;         // "Статус", "Режим" → "Процесс"
  TWindowSlot Calibration;    // "Калибровка"
  TWindowSlot Mixer;          // "Миксер"
  TWindowSlot Plan;           // "План…"
};

// A caption of the panel's menu in the operator's language, as the panel
// itself translates it: MenuItem compares captions as shown.
inline QString PanelMenuText(const char* source) {
  return QCoreApplication::translate("vorta::TVortaForm", source);
}

class IProcessPanel {
 public:
  virtual ~IProcessPanel() = default;

  [[nodiscard]] virtual TVortaProcess& PanelProcess() = 0;
  // The panel's own window: the dialogs' parent, the place they open beside.
  [[nodiscard]] virtual QWidget& PanelWidget() = 0;
  [[nodiscard]] virtual TPanelWindows& Windows() = 0;

  // An item of the panel's menu by its captions from the top, e.g.
  // {"График", "Пауза"}; null when there is none.
  [[nodiscard]] virtual QAction* MenuItem(const QStringList& path) const = 0;
  // Row 2 ("Уставка") from the process's setpoints.
  virtual void ShowSetpoints() = 0;
  // The buttons and the menu, refused while a calibration code is fixed.
  virtual void SetControlsEnabled(bool enabled) = 0;
};

}  // namespace vorta
