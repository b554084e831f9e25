#include "platform/Messages.h"

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
  messages.ShowError(QStringLiteral("Не удалось записать файл ") + file.FileName() +
                     QStringLiteral(": ") + file.ErrorString());
  return false;
}

}  // namespace vorta
