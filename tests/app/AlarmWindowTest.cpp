// Alarms as the operator meets them: a dead base pump and a silent module on
// the demo, the panels' status bars and the "Тревоги" window opened from the
// panel menu, where "Квитировать" acknowledges the selected alarm and then
// all. With VORTA_SCREENSHOT_DIR set it writes the window and the panels.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>

#include "DemoRunFixture.h"
#include "app/DemoFolder.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "sim/VirtualPlant.h"
#include "windows/alarms/AlarmWindow.h"
#include "windows/panel/QtWindowFactory.h"
#include "windows/panel/VortaForm.h"

using namespace vorta;

namespace {

constexpr std::int64_t kMinute = 60'000;

class AlarmWindowTest : public test::TDemoRunFixture<TQtWindowFactory, false> {
 protected:
  static TVortaForm& Panel(TVortaProcess& p) { return dynamic_cast<TVortaForm&>(*p.Panel); }

  void WritePictures(const QString& panelsName, TAlarmWindow& window) {
    const QString dir = qEnvironmentVariable("VORTA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    const QSize cell(TVortaForm::kClientWidth, TVortaForm::kClientHeight);
    QImage image(cell.width() * 2 + 3, cell.height() * 2 + 3, QImage::Format_RGB32);
    image.fill(QColor(0x40, 0x60, 0x80));
    QPainter painter(&image);
    for (int i = 0; i < 4; ++i) {
      const QPoint at(1 + (i % 2) * (cell.width() + 1), 1 + (i / 2) * (cell.height() + 1));
      painter.drawPixmap(at, Panel(*form->Processes().ProcessAt(i)).grab());
    }
    painter.end();
    image.save(QDir(dir).filePath(panelsName));
    window.grab().save(QDir(dir).filePath(QStringLiteral("alarms.png")));
  }
};

}  // namespace

TEST_F(AlarmWindowTest, panelsTurnRedAndTheWindowAcknowledgesTheSelectedAlarmThenAll) {
  StartDemoVessels(form->Processes());
  time.AdvanceBy(30 * kMinute);
  plant->Plant()->Vessel(0).Model.SetActuatorFailed(sim::TActuator::Base, true);
  time.AdvanceBy(150 * kMinute);
  plant->Plant()->FindDevice(QStringLiteral("Board3"))->SetSilent(true);
  time.AdvanceBy(kMinute);

  TVortaProcess& first = *form->Processes().ProcessAt(0);
  TVortaProcess& third = *form->Processes().ProcessAt(2);
  EXPECT_TRUE(Panel(first).StatusAlarm()->isVisibleTo(&Panel(first)));
  EXPECT_TRUE(
      Panel(first).StatusAlarm()->text().contains(QStringLiteral("Дозирование без эффекта")));
  EXPECT_TRUE(Panel(third).StatusAlarm()->text().contains(QStringLiteral("Нет связи")));
  EXPECT_FALSE(Panel(*form->Processes().ProcessAt(1))
                   .StatusAlarm()
                   ->isVisibleTo(&Panel(*form->Processes().ProcessAt(1))));

  Panel(first).MenuItem({QStringLiteral("Тревоги")})->trigger();
  TAlarms& alarms = form->Alarms();
  auto* window = qobject_cast<TAlarmWindow*>(alarms.Window.data());
  ASSERT_NE(window, nullptr);
  QTableWidget& table = *window->Table();
  ASSERT_EQ(table.rowCount(), static_cast<int>(alarms.List().size()));
  int dosingRow = -1;
  for (int r = 0; r < table.rowCount(); ++r) {
    if (table.item(r, 2)->text().startsWith(QStringLiteral("Дозирование"))) dosingRow = r;
  }
  ASSERT_GE(dosingRow, 0);
  EXPECT_EQ(table.item(dosingRow, 1)->text(), first.Caption());

  table.selectRow(dosingRow);
  window->AcknowledgeButton()->click();
  const TAlarm* dosing = alarms.Find(1, TAlarmKind::DoseNoEffect, QStringLiteral("1"));
  ASSERT_NE(dosing, nullptr);
  EXPECT_EQ(dosing->AckBy, OperatorName());
  const TAlarm* link = alarms.Find(3, TAlarmKind::LinkLost, QStringLiteral("Board3"));
  ASSERT_NE(link, nullptr);
  EXPECT_TRUE(link->AckBy.isEmpty());
  EXPECT_NE(first.PanelState.AlarmColor, third.PanelState.AlarmColor)
      << "the panel shows the acknowledgement at once, not at the next cycle";
  WritePictures(QStringLiteral("panels-alarm.png"), *window);

  window->AcknowledgeAllButton()->click();
  for (const TAlarm& a : alarms.List()) EXPECT_FALSE(a.AckBy.isEmpty()) << a.Text.toStdString();
  window->close();
}
