#pragma once
// "О программе": the picture and the version fields of the program file.

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vorta {

class TfrmAbout final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 340;
  static constexpr int kClientHeight = 227;
  static inline const QString kPicture = QStringLiteral(":/dialogs/About.jpg");

  // exeFile: the program file whose version block is shown (the running
  // executable when empty); picture: the JPEG to show.
  explicit TfrmAbout(QWidget* parent = nullptr, const QString& exeFile = {},
                     const QString& picture = kPicture);

  [[nodiscard]] QLabel* Image1() const { return image_; }
  [[nodiscard]] QPlainTextEdit* Memo1() const { return memo_; }
  [[nodiscard]] QPushButton* Button1() const { return button_; }

 private:
  void FormCreate(const QString& exeFile, const QString& picture);

  QLabel* image_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  QPushButton* button_ = nullptr;
};

// The panel's "О программе": modal, destroyed when it closes.
void ShowAbout(QWidget* parent);

}  // namespace vorta
