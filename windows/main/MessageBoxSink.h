#pragma once
// The engine's message boxes as modal Qt message boxes with one OK button.
//
// The box is modal for the operator but does not block the caller: many
// messages come from inside the cyclic timers (a data log that cannot be
// written, a write-back that failed), and a box waiting for a click overnight
// must not stop the regulation of every vessel.

#include "platform/Messages.h"

class QMessageBox;

namespace vorta {

class TMessageBoxSink final : public IMessageSink {
 public:
  void ShowError(const QString& text) override;
  void ShowInfo(const QString& text) override;

  // The box just shown (for tests); null before the first.
  [[nodiscard]] QMessageBox* LastBox() const;

 private:
  void Show(int icon, const QString& text);
};

}  // namespace vorta
