#pragma once
// A text that is both written (the journal keeps it in Russian) and shown to
// the operator (in the chosen language). Made on the publisher's thread:
// QCoreApplication::translate may be called there.

#include <QCoreApplication>
#include <QString>

#include "platform/SafeFile.h"

namespace vorta {

struct TMqttText {
  QString Written;
  QString Shown;

  // A source text marked with QT_TRANSLATE_NOOP(context, source).
  static TMqttText Tr(const char* context, const char* source) {
    return {QString::fromUtf8(source), QCoreApplication::translate(context, source)};
  }
  // The same in both (a path, a number, the system's own reason).
  static TMqttText Same(const QString& text) { return {text, text}; }

  [[nodiscard]] bool IsEmpty() const { return Written.isEmpty(); }

  // Each argument a QString (the same in both) or a TMqttText; several at
  // once as QString::arg(a, b, ...) takes them, so one never fills the
  // other's place marker.
  template <typename... TArgs>
  [[nodiscard]] TMqttText Arg(const TArgs&... a) const {
    return {Written.arg(WrittenOf(a)...), Shown.arg(ShownOf(a)...)};
  }

 private:
  static const QString& WrittenOf(const QString& s) { return s; }
  static const QString& WrittenOf(const TMqttText& t) { return t.Written; }
  static const QString& ShownOf(const QString& s) { return s; }
  static const QString& ShownOf(const TMqttText& t) { return t.Shown; }
};

// NotARegularFile's message, recorded in the source language and shown in the
// operator's.
inline TMqttText SpecialFileText(const QString& path) {
  return {NotARegularFileRecorded(path), NotARegularFile(path)};
}

}  // namespace vorta
