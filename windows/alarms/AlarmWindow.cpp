#include "windows/alarms/AlarmWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstddef>

#include "commands/Commands.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "platform/RealTimerService.h"
#include "windows/common/WindowPlacement.h"

namespace vorta {

namespace {

enum TColumn { kTime, kVessel, kText, kState, kAck, kColumns };

QString TimeText(double when) {
  return when == 0 ? QString()
                   : FromSystemDateTime(when).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

}  // namespace

TAlarmWindow::TAlarmWindow(TAlarms& alarms, QWidget* parent)
    : QWidget(parent, Qt::Window), alarms_(alarms) {
  setWindowTitle(tr("Тревоги"));
  setAttribute(Qt::WA_DeleteOnClose);
  table_ = new QTableWidget(0, kColumns, this);
  table_->setHorizontalHeaderLabels(
      {tr("Время"), tr("Ферментёр"), tr("Тревога"), tr("Состояние"), tr("Квитировал")});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  // One line a row whatever the text: the full text is in its tooltip.
  table_->setWordWrap(false);
  table_->setTextElideMode(Qt::ElideRight);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setSectionResizeMode(kText, QHeaderView::Stretch);
  ack_ = new QPushButton(tr("Квитировать"), this);
  ackAll_ = new QPushButton(tr("Квитировать все"), this);
  auto* close = new QPushButton(tr("Закрыть"), this);
  hint_ = new QLabel(tr("Выделите тревогу в списке и нажмите «Квитировать» "
                        "или нажмите «Квитировать все»."),
                     this);
  hint_->setObjectName(QStringLiteral("AcknowledgeHint"));
  hint_->setWordWrap(true);
  hint_->hide();
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, hint_, &QWidget::hide);
  connect(ack_, &QPushButton::clicked, this, &TAlarmWindow::AcknowledgeSelected);
  connect(ackAll_, &QPushButton::clicked, this, &TAlarmWindow::AcknowledgeAll);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ack_);
  buttons->addWidget(ackAll_);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(hint_);
  layout->addLayout(buttons);
  resize(900, 320);
  // The list changes in the 2-s cycle; a second keeps the window current.
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &TAlarmWindow::Refresh);
  timer_->start(1000);
  alarms_.Window = this;
  Refresh();
}

TAlarmWindow::~TAlarmWindow() = default;

TAlarmWindow* TAlarmWindow::Open(TAlarms& alarms, QWidget* near) {
  auto* window = qobject_cast<TAlarmWindow*>(alarms.Window.data());
  if (window == nullptr) {
    // Not a child of the panel: it lists every vessel and outlives none of them.
    window = new TAlarmWindow(alarms, nullptr);
    if (near != nullptr) MoveOntoScreens(*window, near->pos() + QPoint(40, 40));
  }
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

void TAlarmWindow::Refresh() {
  if (shownRevision_ == alarms_.Revision()) return;
  shownRevision_ = alarms_.Revision();
  std::int64_t selected = -1;
  if (const int row = table_->currentRow(); row >= 0 && table_->item(row, kTime) != nullptr) {
    selected = table_->item(row, kTime)->data(Qt::UserRole).toLongLong();
  }
  const auto& list = alarms_.List();
  table_->setRowCount(static_cast<int>(list.size()));
  int row = 0;
  // Active alarms first, each group newest first.
  for (const bool active : {true, false}) {
    for (auto i = static_cast<std::ptrdiff_t>(list.size()) - 1; i >= 0; --i) {
      const TAlarm& a = list[static_cast<std::size_t>(i)];
      if (a.Active() != active) continue;
      const QString state = a.Active() ? tr("активна") : tr("снята ") + TimeText(a.Cleared);
      const QString texts[kColumns] = {
          TimeText(a.Raised), a.VesselName.isEmpty() ? tr("Программа") : a.VesselName, a.Shown(),
          state,
          a.AckBy.isEmpty() ? QString() : a.AckBy + QStringLiteral(", ") + TimeText(a.AckTime)};
      for (int c = 0; c < kColumns; ++c) {
        auto* item = new QTableWidgetItem(texts[c]);
        item->setToolTip(texts[c]);
        item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(a.Id));
        if (a.Active())
          item->setForeground(a.AckBy.isEmpty() ? QColor(Qt::red) : QColor(200, 100, 0));
        table_->setItem(row, c, item);
      }
      if (a.Id == selected) table_->setCurrentCell(row, kText);
      ++row;
    }
  }
  table_->resizeColumnToContents(kTime);
  table_->resizeColumnToContents(kVessel);
  table_->resizeColumnToContents(kState);
  table_->resizeColumnToContents(kAck);
}

void TAlarmWindow::AcknowledgeSelected() {
  const QModelIndexList rows = table_->selectionModel()->selectedRows();
  hint_->setVisible(rows.isEmpty());
  for (const QModelIndex& index : rows) {
    vorta::AcknowledgeAlarm(alarms_, TCaller::Panel(),
                            table_->item(index.row(), kTime)->data(Qt::UserRole).toLongLong());
  }
  Refresh();
}

void TAlarmWindow::AcknowledgeAll() {
  vorta::AcknowledgeAll(alarms_, TCaller::Panel());
  Refresh();
}

}  // namespace vorta
