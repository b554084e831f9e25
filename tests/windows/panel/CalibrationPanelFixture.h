#pragma once
// The calibration vessel with its real panel window (hidden).

#include <QWidget>

#include "tests/process/CalibrationFixture.h"
#include "windows/panel/QtWindowFactory.h"
#include "windows/panel/VortaForm.h"

namespace vorta::testing {

class CalibrationPanelFixture : public TCalibrationFixture<TQtWindowFactory, false> {
 protected:
  // Writes the window to $VORTA_SCREENSHOT_DIR/<name>.png when that is set.
  static void Shot(QWidget& w, const QString& name) {
    const QString dir = qEnvironmentVariable("VORTA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w.grab().save(dir + u'/' + name + QStringLiteral(".png"));
  }

  TVortaForm& Panel() { return *dynamic_cast<TVortaForm*>(Process().Panel.get()); }
};

}  // namespace vorta::testing
