// The panel's popup menu: every item in the order the operator knows it.
// Items whose windows are not part of the panel yet are present and inert.

#include <QAction>
#include <QActionGroup>
#include <QFileDialog>
#include <QMenu>

#include "process/PanelActions.h"
#include "process/ProcessRecord.h"
#include "windows/alarms/AlarmWindow.h"
#include "windows/dialogs/AboutForm.h"
#include "windows/dialogs/CalibrationForm.h"
#include "windows/dialogs/ControlParamsDialog.h"
#include "windows/dialogs/SetpointsDialog.h"
#include "windows/dialogs/StatusWindow.h"
#include "windows/panel/VortaForm.h"

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

  QMenu* mode = menu_->addMenu(tr("Режим"));
  connect(mode, &QMenu::aboutToShow, this, [this] { ShowModeCheck(); });
  QActionGroup* modes = RadioGroup(mode);
  const QString modeCaptions[] = {tr("Неконтролируемый"), QStringLiteral("Butch"),
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
  connect(Item(mode, tr("Процесс")), &QAction::triggered, this,
          [this] { TStatusWindow::Open(*this, 8); });

  connect(Item(menu_, tr("Уставки")), &QAction::triggered, this,
          [this] { TSetpointsDialog::Open(*this, 1); });
  connect(Item(menu_, tr("Линейная подстройка")), &QAction::triggered, this,
          [this] { TSetpointsDialog::Open(*this, 2); });
  QMenu* ctrl = menu_->addMenu(tr("Параметры управления"));
  int ctrlSelector = 0;
  for (const char* c : {"pH", "t°C", "pO2", "eH", QT_TR_NOOP("Общие")}) {
    const int n = ++ctrlSelector;
    // "eH" and "Общие" open a dialog even while one is open.
    connect(Item(ctrl, tr(c)), &QAction::triggered, this,
            [this, n] { TControlParamsDialog::Open(*this, n, n <= 3); });
  }
  QMenu* status = menu_->addMenu(tr("Статус"));
  int statusSelector = 0;
  for (const char* c : {"pH", "t°C", "pO2", "eH", QT_TR_NOOP("Миксер"), "USB"}) {
    const int n = ++statusSelector;
    connect(Item(status, tr(c)), &QAction::triggered, this,
            [this, n] { TStatusWindow::Open(*this, n); });
  }
  connect(Item(menu_, tr("Тревоги")), &QAction::triggered, this, [this] {
    if (Process.Env.Alarms != nullptr) TAlarmWindow::Open(*Process.Env.Alarms, this);
  });
  Hidden(menu_, tr("Заполнение"));
  menu_->addSeparator();
  QMenu* calibr = menu_->addMenu(tr("Калибровка"));
  int calibrChannel = 0;
  for (const char* c : {"pH", "t°C", "pO2", "eH"}) {
    const int n = ++calibrChannel;
    connect(Item(calibr, QString::fromUtf8(c)), &QAction::triggered, this,
            [this, n] { OpenCalibration(*this, n); });
  }
  menu_->addSeparator();
  connect(Item(menu_, tr("Миксер")), &QAction::triggered, this, [this] { OpenMixerWindow(false); });
  motorItem_ = Item(menu_, tr("Параметры двигателя"));
  motorItem_->setVisible(false);
  connect(motorItem_, &QAction::triggered, this, [this] { OpenDriveParams(); });
  menu_->addSeparator();

  chartMenu_ = menu_->addMenu(tr("График"));
  BuildChartMenu(chartMenu_);

  QMenu* protocol = menu_->addMenu(tr("Протокол"));
  protocolGroup_ = new QActionGroup(protocol);
  // A period the menu does not offer loads with no item checked.
  protocolGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (int minutes : {1, 2, 5, 10, 15}) {
    QAction* a = Item(protocol, tr("%1 мин.").arg(minutes));
    a->setCheckable(true);
    a->setData(minutes);
    protocolGroup_->addAction(a);
    connect(a, &QAction::triggered, this, [this, minutes] {
      ChangeProtocolPeriod(Process, minutes);
      ShowProtocolCheck();
    });
  }
  menu_->addSeparator();
  connect(Item(menu_, tr("О программе")), &QAction::triggered, this, [this] { ShowAbout(this); });
  menu_->addSeparator();
  Hidden(menu_, tr("Свернуть"));
  QAction* exit = Item(menu_, tr("Выход"));
  connect(exit, &QAction::triggered, this, [this] { close(); });
}

void TVortaForm::BuildChartMenu(QMenu* chart) {
  chart->menuAction()->setCheckable(true);
  chart->menuAction()->setChecked(chartChecked_);
  chartShowItem_ = Item(chart, tr("Показать"));
  // The chart window is made after the panel: reach it at click time.
  connect(chartShowItem_, &QAction::triggered, this, [this] {
    if (Process.ChartForm) Process.ChartForm->SetFormVisible(!chartChecked_);
  });
  QMenu* zoom = chart->addMenu(tr("Масштаб"));
  QActionGroup* zooms = RadioGroup(zoom);
  int tag = 0;
  for (const char* c : {QT_TR_NOOP("2 сек"), QT_TR_NOOP("10 сек"), QT_TR_NOOP("30 сек"),
                        QT_TR_NOOP("1 мин"), QT_TR_NOOP("5 мин"), QT_TR_NOOP("15 мин")}) {
    QAction* a = Item(zoom, tr(c));
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
  QAction* actuations = Hidden(chart, tr("Срабатывания"));
  actuations->setCheckable(true);
  connect(actuations, &QAction::triggered, this, [this](bool checked) {
    if (Process.ChartForm) Process.ChartForm->SetStripVisible(checked);
  });
  QAction* pause = Hidden(chart, tr("Пауза"));
  pause->setCheckable(true);
  connect(pause, &QAction::triggered, this, [this, pause] {
    // The chart sets the mark to its own state.
    pause->setChecked(!pause->isChecked());
    if (Process.ChartForm) Process.ChartForm->TogglePause();
  });
  QAction* exportItem = Item(chart, tr("Экспорт"));
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
