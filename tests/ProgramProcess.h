#pragma once
// The real program run as a test starts it: headless whatever the test's own
// display, with a runtime folder of its own so that it never meets a running
// demo or another test's copy.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace vorta::test {

inline QProcessEnvironment HeadlessProgramEnvironment(const QString& runtimeFolder) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_RUNTIME_DIR", runtimeFolder);
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  return env;
}

// Runs the program to its end (killed after 10 s): its exit code, or -1 when
// it crashed or hung. `out` takes its standard output.
inline int RunProgram(const QProcessEnvironment& env, const QStringList& args,
                      QString* out = nullptr, const QString& workingFolder = {}) {
  QProcess p;
  p.setProcessEnvironment(env);
  if (!workingFolder.isEmpty()) p.setWorkingDirectory(workingFolder);
  p.start(VORTA_BIN, args);
  if (!p.waitForFinished(10000)) {
    p.kill();
    p.waitForFinished();
    return -1;
  }
  if (out != nullptr) *out = QString::fromUtf8(p.readAllStandardOutput());
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

}  // namespace vorta::test
