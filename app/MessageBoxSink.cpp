#include "app/MessageBoxSink.h"

#include <QMessageBox>

namespace vorta {

namespace {
const QString kTitle = QStringLiteral("Vorta2");
}

void TMessageBoxSink::ShowError(const QString& text) {
  QMessageBox::critical(nullptr, kTitle, text, QMessageBox::Ok);
}

void TMessageBoxSink::ShowInfo(const QString& text) {
  QMessageBox::information(nullptr, kTitle, text, QMessageBox::Ok);
}

}  // namespace vorta
