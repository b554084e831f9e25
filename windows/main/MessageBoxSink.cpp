#include "windows/main/MessageBoxSink.h"

#include <QMessageBox>
#include <QPointer>

namespace vorta {

namespace {
const QString kTitle = QStringLiteral("Vorta2");
QPointer<QMessageBox> gLastBox;
}  // namespace

void TMessageBoxSink::ShowError(const QString& text) {
  Show(QMessageBox::Critical, text);
}

void TMessageBoxSink::ShowInfo(const QString& text) {
  Show(QMessageBox::Information, text);
}

QMessageBox* TMessageBoxSink::LastBox() const {
  return gLastBox.data();
}

void TMessageBoxSink::Show(int icon, const QString& text) {
  auto* box = new QMessageBox(static_cast<QMessageBox::Icon>(icon), kTitle, text, QMessageBox::Ok);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::ApplicationModal);
  box->show();
  gLastBox = box;
}

}  // namespace vorta
