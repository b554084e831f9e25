#include "windows/main/MainWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "windows/common/ModalWindows.h"
#include "windows/panel/VortaForm.h"

namespace vorta {

TMainWindow::TMainWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  // No border icons: the form is only ever shown while the program ends.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setWindowTitle(QStringLiteral("-"));
  shutdownLabel_ = new QLabel(tr("Идет завершение процессов"), this);
  shutdownLabel_->setAlignment(Qt::AlignCenter);
  shutdownLabel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  shutdownLabel_->hide();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(shutdownLabel_);
  resize(320, 80);
  // The program's windows, from here on: a modal one is above them all.
  if (QCoreApplication* app = QCoreApplication::instance()) TModalWindows::Install(*app);
}

void TMainWindow::SetCaption(const QString& caption) {
  setWindowTitle(caption);
}

void TMainWindow::ShowShutdownPanel() {
  shutdownLabel_->show();
  if (const QScreen* s = QGuiApplication::primaryScreen()) {
    move(s->availableGeometry().center() - rect().center());
  }
  show();
  raise();
  // The processes are freed right after this, without returning to the event
  // loop: let the window appear first. The cyclic timers are already off.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TMainWindow::BringToFront() {
  // The form itself stays hidden during work; what the operator looks for
  // are the panels.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<TVortaForm*>(w) == nullptr || !w->isVisible()) continue;
    if (w->isMinimized()) w->showNormal();
    w->raise();
    w->activateWindow();
  }
  if (isVisible()) {
    raise();
    activateWindow();
  }
}

bool TMainWindow::CloseModalWindows() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr) return false;
  modal->close();
  return true;
}

}  // namespace vorta
