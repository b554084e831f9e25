#pragma once
// A message sink that keeps what the engine would have shown the operator.

#include <QStringList>

#include "platform/Messages.h"

namespace vorta::test {

class TRecordingMessages final : public IMessageSink {
 public:
  void ShowError(const QString& text) override { Errors << text; }
  void ShowInfo(const QString& text) override { Infos << text; }
  QStringList Errors;
  QStringList Infos;
};

}  // namespace vorta::test
