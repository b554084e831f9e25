#pragma once
// "О программе": the picture and the version fields of the program file.

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vorta {

class TAboutForm final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 340;
  static constexpr int kClientHeight = 227;
  static inline const QString kPicture = QStringLiteral(":/dialogs/About.jpg");

  // exeFile: the program file whose version block is shown (the running
  // executable when empty); picture: the JPEG to show.
  explicit TAboutForm(QWidget* parent = nullptr, const QString& exeFile = {},
                      const QString& picture = kPicture);

  [[nodiscard]] QLabel* Picture() const { return image_; }
  [[nodiscard]] QPlainTextEdit* VersionText() const { return memo_; }
  [[nodiscard]] QPushButton* OkButton() const { return button_; }

 private:
  void Fill(const QString& exeFile, const QString& picture);

  QLabel* image_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  QPushButton* button_ = nullptr;
};

// The panel's "О программе": modal, destroyed when it closes.
void ShowAbout(QWidget* parent);

}  // namespace vorta
