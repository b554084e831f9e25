#pragma once
// Timers and sockets want a Qt application object; tests without windows make
// one the first time it is needed (window tests already have theirs).

#include <QCoreApplication>

namespace vorta::test {

inline void EnsureCoreApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "vorta_tests";
  static char* argv[] = {name, nullptr};
  new QCoreApplication(argc, argv);  // lives as long as the test program
}

}  // namespace vorta::test
