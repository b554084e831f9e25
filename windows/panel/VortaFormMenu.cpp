// The panel's popup menu: every item in the order the operator knows it.
// Items whose windows are not part of the panel yet are present and inert.

#include <QAction>
#include <QActionGroup>
#include <QFileDialog>
#include <QMenu>

#include "windows/dialogs/AboutForm.h"
#include "windows/alarms/AlarmWindow.h"
#include "windows/dialogs/CalibrationForm.h"
#include "windows/dialogs/ControlParamsDialog.h"
#include "windows/dialogs/StatusWindow.h"
#include "process/PanelActions.h"
#include "windows/dialogs/SetpointsDialog.h"
#include "windows/panel/VortaForm.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

QAction* Item(QMenu* menu, const QString& text) {
  return menu->addAction(text);
}

QAction* Hidden(QMenu* menu, const QString& text) {
  QAction* a = menu->addAction(text);
  a->setVisible(false);
  return a;
}

QActionGroup* RadioGroup(QObject* owner) {
  auto* g = new QActionGroup(owner);
  g->setExclusive(true);
  return g;
}

}  // namespace

void TVortaForm::BuildMenu() {
  menu_ = new QMenu(this);

  QMenu* mode = menu_->addMenu(QStringLiteral("Режим"));
  connect(mode, &QMenu::aboutToShow, this, [this] { ShowModeCheck(); });
  QActionGroup* modes = RadioGroup(mode);
  const QString modeCaptions[] = {QStringLiteral("Неконтролируемый"), QStringLiteral("Butch"),
                                  QStringLiteral("Chemostat"), QStringLiteral("Turbidostat")};
  for (int m = 0; m < 4; ++m) {
    QAction* a = Item(mode, modeCaptions[m]);
    a->setCheckable(true);
    modes->addAction(a);
    modeItems_[static_cast<size_t>(m)] = a;
    connect(a, &QAction::triggered, this, [this, m] {
      ChangeMode(Process, m);
      PanelStateChanged();
      OutputsChanged();
    });
  }
  mode->addSeparator();
  connect(Item(mode, QStringLiteral("Процесс")), &QAction::triggered, this,
          [this] { TStatusWindow::Open(*this, 8); });

  connect(Item(menu_, QStringLiteral("Уставки")), &QAction::triggered, this,
          [this] { TSetpointsDialog::Open(*this, 1); });
  connect(Item(menu_, QStringLiteral("Линейная подстройка")), &QAction::triggered, this,
          [this] { TSetpointsDialog::Open(*this, 2); });
  QMenu* ctrl = menu_->addMenu(QStringLiteral("Параметры управления"));
  int ctrlSelector = 0;
  for (const char* c : {"pH", "t°C", "pO2", "eH", "Общие"}) {
    const int n = ++ctrlSelector;
    // "eH" and "Общие" open a dialog even while one is open.
    connect(Item(ctrl, QString::fromUtf8(c)), &QAction::triggered, this,
            [this, n] { TControlParamsDialog::Open(*this, n, n <= 3); });
  }
  QMenu* status = menu_->addMenu(QStringLiteral("Статус"));
  int statusSelector = 0;
  for (const char* c : {"pH", "t°C", "pO2", "eH", "Миксер", "USB"}) {
    const int n = ++statusSelector;
    connect(Item(status, QString::fromUtf8(c)), &QAction::triggered, this,
            [this, n] { TStatusWindow::Open(*this, n); });
  }
  connect(Item(menu_, QStringLiteral("Тревоги")), &QAction::triggered, this, [this] {
    if (Process.Env.Alarms != nullptr) TAlarmWindow::Open(*Process.Env.Alarms, this);
  });
  Hidden(menu_, QStringLiteral("Заполнение"));
  menu_->addSeparator();
  QMenu* calibr = menu_->addMenu(QStringLiteral("Калибровка"));
  int calibrChannel = 0;
  for (const char* c : {"pH", "t°C", "pO2", "eH"}) {
    const int n = ++calibrChannel;
    connect(Item(calibr, QString::fromUtf8(c)), &QAction::triggered, this,
            [this, n] { OpenCalibration(*this, n); });
  }
  menu_->addSeparator();
  connect(Item(menu_, QStringLiteral("Миксер")), &QAction::triggered, this,
          [this] { OpenMixerWindow(false); });
  motorItem_ = Item(menu_, QStringLiteral("Параметры двигателя"));
  motorItem_->setVisible(false);
  connect(motorItem_, &QAction::triggered, this, [this] { OpenDriveParams(); });
  menu_->addSeparator();

  chartMenu_ = menu_->addMenu(QStringLiteral("График"));
  BuildChartMenu(chartMenu_);

  QMenu* protocol = menu_->addMenu(QStringLiteral("Протокол"));
  protocolGroup_ = new QActionGroup(protocol);
  // A period the menu does not offer loads with no item checked.
  protocolGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (int minutes : {1, 2, 5, 10, 15}) {
    QAction* a = Item(protocol, QStringLiteral("%1 мин.").arg(minutes));
    a->setCheckable(true);
    a->setData(minutes);
    protocolGroup_->addAction(a);
    connect(a, &QAction::triggered, this, [this, minutes] {
      ChangeProtocolPeriod(Process, minutes);
      ShowProtocolCheck();
    });
  }
  menu_->addSeparator();
  connect(Item(menu_, QStringLiteral("О программе")), &QAction::triggered, this,
          [this] { ShowAbout(this); });
  menu_->addSeparator();
  Hidden(menu_, QStringLiteral("Свернуть"));
  QAction* exit = Item(menu_, QStringLiteral("Выход"));
  connect(exit, &QAction::triggered, this, [this] { close(); });
}

void TVortaForm::BuildChartMenu(QMenu* chart) {
  chart->menuAction()->setCheckable(true);
  chart->menuAction()->setChecked(chartChecked_);
  chartShowItem_ = Item(chart, QStringLiteral("Показать"));
  // The chart window is made after the panel: reach it at click time.
  connect(chartShowItem_, &QAction::triggered, this, [this] {
    if (Process.ChartForm) Process.ChartForm->SetFormVisible(!chartChecked_);
  });
  QMenu* zoom = chart->addMenu(QStringLiteral("Масштаб"));
  QActionGroup* zooms = RadioGroup(zoom);
  int tag = 0;
  for (const char* c : {"2 сек", "10 сек", "30 сек", "1 мин", "5 мин", "15 мин"}) {
    QAction* a = Item(zoom, QString::fromUtf8(c));
    a->setCheckable(true);
    a->setChecked(tag == 0);
    a->setData(tag);
    zooms->addAction(a);
    connect(a, &QAction::triggered, this, [this, a, tag] {
      if (Process.ChartForm) Process.ChartForm->SetZoom(tag);
      a->setChecked(true);
    });
    ++tag;
  }
  QAction* actuations = Hidden(chart, QStringLiteral("Срабатывания"));
  actuations->setCheckable(true);
  connect(actuations, &QAction::triggered, this, [this](bool checked) {
    if (Process.ChartForm) Process.ChartForm->SetStripVisible(checked);
  });
  QAction* pause = Hidden(chart, QStringLiteral("Пауза"));
  pause->setCheckable(true);
  connect(pause, &QAction::triggered, this, [this, pause] {
    // The chart sets the mark to its own state.
    pause->setChecked(!pause->isChecked());
    if (Process.ChartForm) Process.ChartForm->TogglePause();
  });
  QAction* exportItem = Item(chart, QStringLiteral("Экспорт"));
  connect(exportItem, &QAction::triggered, this, [this] { ExportChart(); });
  chart->addSeparator();
}

void TVortaForm::ExportChart() {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QStringLiteral("XLS files (*.dat)"));
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  // Where the process's own files are, not wherever the program was started.
  dialog.setDirectory(Process.Env.Program.ProgramFolder);
  const int result = ExecExportDialog ? ExecExportDialog(dialog) : dialog.exec();
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  if (Process.ChartForm) Process.ChartForm->ExportData(dialog.selectedFiles().constFirst());
}

}  // namespace vorta
