#include "app/DefaultFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "app/DemoFolder.h"

namespace vorta {

bool IsInstalledExecutableFolder(const QString& exeFolder) {
  return QFileInfo(QDir::cleanPath(exeFolder)).fileName() == QLatin1String("bin");
}

QString UserProgramFolder(const QProcessEnvironment& env) {
  QString data = env.value(QStringLiteral("XDG_DATA_HOME"));
  if (data.isEmpty() || QDir::isRelativePath(data)) {
    QString home = env.value(QStringLiteral("HOME"));
    if (home.isEmpty()) home = QDir::homePath();
    data = QDir(home).filePath(QStringLiteral(".local/share"));
  }
  return QDir::cleanPath(QDir(data).filePath(QStringLiteral("vorta")));
}

QString DefaultProgramFolder(const QString& exeFolder, const QProcessEnvironment& env) {
  return IsInstalledExecutableFolder(exeFolder) ? UserProgramFolder(env) : exeFolder;
}

bool PrepareUserProgramFolder(const QString& folder, QString* note, QString* error,
                              QString* operatorNote) {
  const bool first = !QFileInfo::exists(QDir(folder).filePath(QStringLiteral("Vorta.ini")));
  if (first && !PrepareDemoFolder(folder, error)) return false;
  if (note != nullptr) {
    *note = first ? QStringLiteral("vorta: prepared the demo in %1; the program's files are there")
                        .arg(folder)
                  : QStringLiteral("vorta: program folder %1").arg(folder);
  }
  if (operatorNote != nullptr) {
    *operatorNote =
        first ? QCoreApplication::translate("vorta::DefaultFolder",
                                            "Первый запуск: в папке %1 подготовлена демонстрация с "
                                            "виртуальной установкой. В этой папке программа "
                                            "хранит свою конфигурацию, протоколы и журнал.")
                    .arg(QDir::toNativeSeparators(folder))
              : QString();
  }
  return true;
}

}  // namespace vorta
