// Where the operator reads an alarm: the panel's alarm field and the
// "Тревоги" window. With VORTA_SCREENSHOT_DIR set it writes both.

#include <QAbstractItemView>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "journal/Alarms.h"
#include "tests/windows/panel/PanelFixture.h"
#include "windows/alarms/AlarmWindow.h"

namespace vorta::testing {
namespace {

using AlarmViewsTest = PanelFixture;

QRect InForm(const QWidget* w, const QWidget& form) {
  return {w->mapTo(&form, QPoint(0, 0)), w->size()};
}

TEST_F(AlarmViewsTest, panelKeepsSpeedAndModeInSightAndGivesTheAlarmInFull) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  const QString text =
      QStringLiteral("ТРЕВОГА: Нет связи: Модуль ввода-вывода 3, нет ответа на запросы (+1)");
  p.PanelState.AlarmText = text;
  p.PanelState.AlarmDetails =
      QStringLiteral("Нет связи: Модуль ввода-вывода 3, нет ответа на запросы\nПена");
  p.PanelState.AlarmColor = 0x0000FF;
  form.PanelStateChanged();
  form.show();

  const QLabel* alarm = form.StatusAlarm();
  ASSERT_TRUE(alarm->isVisible());
  for (int i : {1, 2}) {
    ASSERT_TRUE(form.StatusPanel(i)->isVisible()) << i;
    EXPECT_FALSE(InForm(alarm, form).intersects(InForm(form.StatusPanel(i), form)))
        << "the alarm covers status panel " << i;
  }
  EXPECT_TRUE(form.rect().contains(InForm(alarm, form)));
  EXPECT_TRUE(alarm->toolTip().contains(QStringLiteral("нет ответа на запросы")));
  EXPECT_TRUE(alarm->toolTip().contains(QStringLiteral("Пена")));
  Shot(form, QStringLiteral("panel-alarm"));
  form.hide();
}

TEST_F(AlarmViewsTest, windowRowsKeepOneLineAndAcknowledgeWithoutASelectionSaysWhatToDo) {
  TAlarms alarms(time_, env_.Journal);
  for (int i = 1; i <= 8; ++i) {
    alarms.Raise(i, QStringLiteral("Ферментёр %1").arg(i), TAlarmKind::LinkLost,
                 QStringLiteral("Board%1").arg(i),
                 QStringLiteral("Нет связи: Модуль ввода-вывода %1, нет ответа на запросы "
                                "с начала смены, проверьте кабель и питание модуля")
                     .arg(i));
  }
  TAlarmWindow* window = TAlarmWindow::Open(alarms, nullptr);
  QTableWidget& table = *window->Table();
  ASSERT_EQ(table.rowCount(), 8);
  const int line = table.fontMetrics().height();
  for (int r = 0; r < 8; ++r) {
    EXPECT_LT(table.rowHeight(r), 2 * line) << "row " << r << " is " << table.rowHeight(r);
    EXPECT_TRUE(table.item(r, 2)->toolTip().contains(QStringLiteral("питание модуля"))) << r;
  }
  EXPECT_LE(table.visualItemRect(table.item(7, 0)).bottom(), table.viewport()->height())
      << "all eight in sight";

  table.clearSelection();
  window->AcknowledgeButton()->click();
  const QLabel* hint = window->findChild<QLabel*>(QStringLiteral("AcknowledgeHint"));
  ASSERT_NE(hint, nullptr);
  EXPECT_TRUE(hint->isVisible());
  EXPECT_TRUE(hint->text().contains(QStringLiteral("Квитировать все")))
      << hint->text().toStdString();
  for (const TAlarm& a : alarms.List()) EXPECT_TRUE(a.AckBy.isEmpty());
  Shot(*window, QStringLiteral("alarms-eight"));

  table.selectRow(0);
  EXPECT_FALSE(hint->isVisible()) << "the hint goes once a row is chosen";
  window->close();
}

}  // namespace
}  // namespace vorta::testing
