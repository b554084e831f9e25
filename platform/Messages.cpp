#include "platform/Messages.h"

#include <cstdio>

namespace vorta {

void TStderrMessageSink::ShowError(const QString& text) {
  std::fprintf(stderr, "vorta: error: %s\n", text.toLocal8Bit().constData());
}

void TStderrMessageSink::ShowInfo(const QString& text) {
  std::fprintf(stderr, "vorta: %s\n", text.toLocal8Bit().constData());
}

}  // namespace vorta
