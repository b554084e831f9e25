#include "windows/dialogs/AboutForm.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include "platform/About.h"
#include "windows/dialogs/AboutPicture.h"

// The picture lives in a resource of the static ui library: nothing else
// refers to it, so it must be pulled in by name (outside any namespace).
static void InitAboutResource() {
  Q_INIT_RESOURCE(About);
}

namespace vorta {

namespace {

constexpr QRect kImageRect{8, 8, 161, 169};
constexpr QRect kMemoRect{176, 8, 153, 161};
constexpr QRect kButtonRect{215, 190, 75, 25};

}  // namespace

TAboutForm::TAboutForm(QWidget* parent, const QString& exeFile, const QString& picture)
    : QDialog(parent) {
  InitAboutResource();
  setWindowTitle(tr("О программе"));
  setFixedSize(kClientWidth, kClientHeight);

  image_ = new QLabel(this);
  image_->setObjectName(QStringLiteral("Picture"));
  image_->setGeometry(kImageRect);
  image_->setAlignment(Qt::AlignCenter);

  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName(QStringLiteral("VersionText"));
  memo_->setGeometry(kMemoRect);
  memo_->setReadOnly(true);
  memo_->setLineWrapMode(QPlainTextEdit::WidgetWidth);

  button_ = new QPushButton(tr("Закрыть"), this);
  button_->setObjectName(QStringLiteral("OkButton"));
  button_->setGeometry(kButtonRect);
  button_->setDefault(true);
  connect(button_, &QPushButton::clicked, this, &QDialog::accept);

  Fill(exeFile, picture);
}

void TAboutForm::Fill(const QString& exeFile, const QString& picture) {
  QFile file(picture);
  const QImage image = file.open(QIODevice::ReadOnly) ? DecodeJpeg(file.readAll()) : QImage();
  if (!image.isNull()) {
    // Scaled proportionally into the picture's box.
    image_->setPixmap(QPixmap::fromImage(
        image.scaled(kImageRect.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  }
  const QString exe = exeFile.isEmpty() ? QCoreApplication::applicationFilePath() : exeFile;
  memo_->setPlainText(AboutVersionLines(exe).join(u'\n'));
  memo_->moveCursor(QTextCursor::Start);
}

void ShowAbout(QWidget* parent) {
  TAboutForm about(parent);
  about.exec();
}

}  // namespace vorta
