#pragma once
// A process with its real panel, loaded from a file in a folder of the
// test's own, and the dialogs opened through the panel's menu as the
// operator opens them.

#include <QAction>
#include <QApplication>
#include <QStringList>

#include "process/CycleContext.h"
#include "process/MeasurementCycle.h"
#include "tests/windows/panel/PanelFixture.h"

namespace vorta::testing {

class DialogFixture : public PanelFixture {
 public:
  static TVortaForm& Panel(TVortaProcess& p) { return Form(p); }

 protected:
  // Triggers a menu item of the process's panel by its captions.
  void Menu(TVortaProcess& p, const QStringList& path) {
    QAction* item = Form(p).MenuItem(path);
    ASSERT_NE(item, nullptr) << path.join(u'/').toStdString();
    item->trigger();
  }

  template <typename Dialog>
  static Dialog* Opened(const TWindowSlot& slot) {
    return slot.Window<Dialog>();
  }

  // One 500-ms tick: the deferred write-back runs in it.
  void MeasurementTick() {
    TCycleContext c = Cycles();
    MeasurementCycle(c);
  }

  // Position n (1-based) of a section, as "key=value" from the file's text.
  QString Line(const QString& file, const QString& section, int position) {
    const QStringList lines = QString::fromUtf8(ReadFile(file)).split(QStringLiteral("\r\n"));
    const qsizetype at = lines.indexOf(u'[' + section + u']');
    if (at < 0 || at + position >= lines.size()) return {};
    return lines[at + position];
  }
};

}  // namespace vorta::testing
