#include "platform/Messages.h"

#include <QCoreApplication>
#include <cstdio>

#include "platform/ProfileFile.h"

namespace vorta {

void TStderrMessageSink::ShowError(const QString& text) {
  std::fprintf(stderr, "vorta: error: %s\n", text.toLocal8Bit().constData());
}

void TStderrMessageSink::ShowInfo(const QString& text) {
  std::fprintf(stderr, "vorta: %s\n", text.toLocal8Bit().constData());
}

bool UpdateFileOrReport(TProfileFile& file, IMessageSink& messages) {
  if (file.UpdateFile()) return true;
  messages.ShowError(QCoreApplication::translate("vorta::Messages", "Не удалось записать файл ") +
                     file.FileName() + QStringLiteral(": ") + file.ErrorString());
  return false;
}

bool UpdateFileOrReport(TProfileFile& file, IMessageSink& messages, QSet<QString>& failing) {
  if (file.UpdateFile()) {
    failing.remove(file.FileName());
    return true;
  }
  if (failing.contains(file.FileName())) return false;
  failing.insert(file.FileName());
  messages.ShowError(QCoreApplication::translate("vorta::Messages", "Не удалось записать файл ") +
                     file.FileName() + QStringLiteral(": ") + file.ErrorString());
  return false;
}

QString UnreadableFileText(const TProfileFile& file) {
  // The reason names the file and what stands in its place.
  if (file.NotRegular())
    return QCoreApplication::translate("vorta::Messages", "Не удалось прочитать ") +
           file.ReadError() + u'.';
  return QCoreApplication::translate("vorta::Messages",
                                     "Файл %1 не удалось прочитать (%2); он не перезаписывается.")
      .arg(file.FileName(), file.ReadError());
}

}  // namespace vorta
