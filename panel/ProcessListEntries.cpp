#include "panel/ProcessListEntries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <vector>

#include "platform/FileAttributes.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
#include "process/Journal.h"

namespace vorta {

namespace {

const QString kProcesses = QStringLiteral("Processes");

enum class TRefusal { None, Outside, OwnFile, NoPort, Repeated, DataLog };

struct TEntry {
  QString key;
  QString path;  // canonical: links and ".." resolved
  TRefusal refusal = TRefusal::None;
};

// Canonical for a file that exists, the cleaned absolute path otherwise (a
// data log that is not written yet).
QString Resolved(const QString& path) {
  const QFileInfo info(path);
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// Looks for the section header line by line, so that a large data log listed
// by mistake is never read whole. A file that cannot be read passes: the
// loader reports it.
bool HasPortSection(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return true;
  while (!file.atEnd()) {
    const QString line = QString::fromLatin1(file.readLine(4096)).trimmed();
    if (!line.startsWith(u'[')) continue;
    const qsizetype close = line.indexOf(u']');
    const QString name = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed();
    if (name.compare(QLatin1String("Port"), Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

QString RefusalText(TRefusal refusal, const QString& key) {
  const QString head = QStringLiteral("Vorta.ini, [Processes]: ");
  switch (refusal) {
    case TRefusal::Outside:
      return head +
             QStringLiteral("файл %1 лежит вне папки программы; процесс не загружен.").arg(key);
    case TRefusal::OwnFile:
      return head +
             QStringLiteral("%1 — файл самой программы, а не файл процесса; не загружен.").arg(key);
    case TRefusal::NoPort:
      return head +
             QStringLiteral("в файле %1 нет раздела [Port], это не файл процесса; не загружен.")
                 .arg(key);
    case TRefusal::Repeated:
      return head + QStringLiteral("файл %1 указан повторно; второй раз не загружен.").arg(key);
    case TRefusal::DataLog:
      return head +
             QStringLiteral("%1 — журнал данных сосуда, а не файл процесса; не загружен.").arg(key);
    case TRefusal::None:
      break;
  }
  return {};
}

}  // namespace

QStringList ProcessFilesToLoad(const TProfileFile& mainConfig, const QString& programFolder,
                               IMessageSink& messages) {
  const QString folder = Resolved(programFolder);
  const QDir dir(folder);
  const QSet<QString> ownFiles{Resolved(dir.filePath(QStringLiteral("Vorta.ini"))),
                               Resolved(dir.filePath(QStringLiteral("VortaCAN.ini"))),
                               Resolved(dir.filePath(QStringLiteral("Vorta.log"))),
                               Resolved(dir.filePath(kJournalFileName))};

  std::vector<TEntry> entries;
  for (const QString& key : mainConfig.ReadSection(kProcesses)) {
    if (!mainConfig.ReadString(kProcesses, key, QString()).endsWith(u'1')) continue;
    const QString given = programFolder + key;
    if (!FileExists(given)) continue;
    TEntry e{key, Resolved(given)};
    if (!e.path.startsWith(folder + u'/')) {
      e.refusal = TRefusal::Outside;
    } else if (ownFiles.contains(e.path)) {
      e.refusal = TRefusal::OwnFile;
    } else if (!HasPortSection(e.path)) {
      e.refusal = TRefusal::NoPort;
    }
    entries.push_back(e);
  }

  // Every vessel's data log, wherever its entry stands in the list.
  QSet<QString> logs;
  for (const TEntry& e : entries) {
    if (e.refusal != TRefusal::None) continue;
    const TProfileFile file(e.path);
    logs.insert(Resolved(programFolder + file.ReadString(QStringLiteral("Port"),
                                                         QStringLiteral("Protocolname"),
                                                         QStringLiteral("Protocol.txt"))));
  }

  QStringList accepted;
  QSet<QString> taken;
  for (TEntry& e : entries) {
    // A log says what it is rather than what it lacks.
    if (logs.contains(e.path) && (e.refusal == TRefusal::None || e.refusal == TRefusal::NoPort)) {
      e.refusal = TRefusal::DataLog;
    }
    if (e.refusal == TRefusal::None && taken.contains(e.path)) e.refusal = TRefusal::Repeated;
    if (e.refusal == TRefusal::None) {
      taken.insert(e.path);
      accepted << e.key;
    } else {
      messages.ShowError(RefusalText(e.refusal, e.key));
    }
  }
  return accepted;
}

}  // namespace vorta
