#pragma once
// Modal message boxes with one OK button, as the engine asks for them. The
// windows show a QMessageBox; without windows the text goes to stderr.

#include <QSet>
#include <QString>

namespace vorta {

class IMessageSink {
 public:
  virtual ~IMessageSink() = default;
  // An error box ("Ошибка конфигурирования.").
  virtual void ShowError(const QString& text) = 0;
  // An information box.
  virtual void ShowInfo(const QString& text) = 0;
};

class TStderrMessageSink final : public IMessageSink {
 public:
  void ShowError(const QString& text) override;
  void ShowInfo(const QString& text) override;
};

class TProfileFile;

// Writes the file back; on failure tells the operator which file and why.
bool UpdateFileOrReport(TProfileFile& file, IMessageSink& messages);
// The same, told once per file: `failing` holds the files whose last write
// failed and were reported; a successful write ends the episode.
bool UpdateFileOrReport(TProfileFile& file, IMessageSink& messages, QSet<QString>& failing);
// "Файл … не удалось прочитать (…)": for a file that exists but could not be read,
// or is not a regular file.
QString UnreadableFileText(const TProfileFile& file);

}  // namespace vorta
