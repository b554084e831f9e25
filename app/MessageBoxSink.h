#pragma once
// The engine's message boxes as modal Qt message boxes with one OK button.

#include "platform/Messages.h"

namespace vorta {

class TMessageBoxSink final : public IMessageSink {
 public:
  void ShowError(const QString& text) override;
  void ShowInfo(const QString& text) override;
};

}  // namespace vorta
