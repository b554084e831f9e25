#include "process/ProcessListEntries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <vector>

#include "journal/Journal.h"
#include "platform/ControlSocket.h"
#include "platform/FolderLock.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
#include "platform/SafeFile.h"

namespace vorta {

namespace {

const QString kProcesses = QStringLiteral("Processes");
// One message names this many refused entries and counts the rest: a list
// of thousands must not bury the operator under as many boxes.
constexpr qsizetype kShownRefusals = 10;

enum class TRefusal { None, NotRegular, Outside, OwnFile, NoPort, Repeated, DataLog, LogName };

struct TEntry {
  QString key;
  QString path;  // where the file really is: links and ".." resolved
  TRefusal refusal = TRefusal::None;
  QString why;  // NotRegular and LogName: what is wrong
};

// Where reading or writing `path` lands: the canonical path of a file that
// exists; for one not written yet, the file in its folder's canonical path,
// after any dangling links that lead to it.
QString Resolved(const QString& path) {
  QFileInfo info(path);
  // A bound on hops, as the kernel has: a loop of links is written nowhere.
  for (int hops = 0; hops < 40; ++hops) {
    QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty()) return canonical;
    if (!info.isSymLink()) break;
    info = QFileInfo(info.symLinkTarget());
  }
  const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
  if (folder.isEmpty()) return QDir::cleanPath(info.absoluteFilePath());
  return folder + u'/' + info.fileName();
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

// The files of the folder that are the program's own, not a vessel's.
QSet<QString> OwnFiles(const TProfileFile& mainConfig, const QString& programFolder) {
  const QDir dir(programFolder);
  QSet<QString> own;
  for (const QString& name :
       {QStringLiteral("Vorta.ini"), QStringLiteral("VortaCAN.ini"), QStringLiteral("Vorta.log"),
        kJournalFileName, QStringLiteral("VortaMqtt.offsets"), kFolderLockFileName,
        kControlSocketName}) {
    own.insert(Resolved(dir.filePath(name)));
  }
  // The publisher's secrets and certificates, wherever they are.
  for (const char* key : {"PasswordFile", "CAFile"}) {
    const QString name =
        mainConfig.ReadString(QStringLiteral("MQTT"), QLatin1String(key), QString()).trimmed();
    if (!name.isEmpty()) own.insert(Resolved(dir.absoluteFilePath(name)));
  }
  return own;
}

QString RefusalLine(const TEntry& e) {
  switch (e.refusal) {
    case TRefusal::NotRegular:
      return e.why;
    case TRefusal::Outside:
      return QCoreApplication::translate("vorta::ProcessListEntries",
                                         "%1 — файл лежит вне папки программы")
          .arg(e.key);
    case TRefusal::OwnFile:
      return QCoreApplication::translate("vorta::ProcessListEntries",
                                         "%1 — файл самой программы, а не файл процесса")
          .arg(e.key);
    case TRefusal::NoPort:
      return QCoreApplication::translate("vorta::ProcessListEntries",
                                         "%1 — в файле нет раздела [Port], это не файл процесса")
          .arg(e.key);
    case TRefusal::Repeated:
      return QCoreApplication::translate("vorta::ProcessListEntries", "%1 — файл указан повторно")
          .arg(e.key);
    case TRefusal::DataLog:
      return QCoreApplication::translate("vorta::ProcessListEntries",
                                         "%1 — журнал данных сосуда, а не файл процесса")
          .arg(e.key);
    case TRefusal::LogName:
      return e.why;
    case TRefusal::None:
      break;
  }
  return {};
}

void ReportRefusals(const QStringList& lines, IMessageSink& messages) {
  if (lines.isEmpty()) return;
  QString text = QCoreApplication::translate(
                     "vorta::ProcessListEntries",
                     "Vorta.ini, [Processes]: процессы по этим строкам не загружены (%1):\n")
                     .arg(lines.size()) +
                 lines.mid(0, kShownRefusals).join(u'\n');
  if (lines.size() > kShownRefusals) {
    const int more = static_cast<int>(lines.size() - kShownRefusals);
    text += QCoreApplication::translate("vorta::ProcessListEntries", "\n…и ещё %n, не показаны.",
                                        nullptr, more);
  }
  messages.ShowError(text);
}

}  // namespace

QString DataLogName(const TProfileFile& processFile) {
  return processFile.ReadString(QStringLiteral("Port"), QStringLiteral("Protocolname"),
                                QStringLiteral("Protocol.txt"));
}

QStringList ProcessFilesToLoad(const TProfileFile& mainConfig, const QString& programFolder,
                               IMessageSink& messages) {
  const QString folder = Resolved(programFolder) + u'/';
  const QSet<QString> ownFiles = OwnFiles(mainConfig, programFolder);

  // Every listed process file, loaded or not, so that no data log is
  // appended to one.
  QSet<QString> processFiles;
  std::vector<TEntry> entries;
  for (const auto& [key, flag] : mainConfig.ReadSectionValues(kProcesses)) {
    const QString given = programFolder + key;
    // A missing file is skipped; anything else in its place is looked at.
    if (!QFileInfo::exists(given)) continue;
    // A special file is only looked at, never opened: an open could block for ever.
    TEntry e{key, Resolved(given), TRefusal::None, NotARegularFile(given)};
    if (!e.why.isEmpty()) {
      e.refusal = TRefusal::NotRegular;
    } else if (!e.path.startsWith(folder)) {
      e.refusal = TRefusal::Outside;
    } else if (ownFiles.contains(e.path)) {
      e.refusal = TRefusal::OwnFile;
    } else if (!HasPortSection(e.path)) {
      e.refusal = TRefusal::NoPort;
    }
    if (e.refusal == TRefusal::None) processFiles.insert(e.path);
    if (flag.endsWith(u'1')) entries.push_back(e);
  }

  // Each data log belongs to the first vessel that names it.
  QHash<QString, QString> logWriter;
  QSet<QString> taken;
  for (TEntry& e : entries) {
    if (e.refusal != TRefusal::None) continue;
    if (taken.contains(e.path)) {
      e.refusal = TRefusal::Repeated;
      continue;
    }
    taken.insert(e.path);
    const TProfileFile file(e.path);
    // The loader reports a file it cannot read; its log name is unknown.
    if (file.Unreadable()) continue;
    const QString name = DataLogName(file);
    const QString log = Resolved(programFolder + name);
    QString why;
    if (name.trimmed().isEmpty()) {
      why = QCoreApplication::translate("vorta::ProcessListEntries", "имя журнала данных пусто");
    } else if (!log.startsWith(folder)) {
      why = QCoreApplication::translate("vorta::ProcessListEntries",
                                        "журнал данных лежит вне папки программы");
    } else if (ownFiles.contains(log)) {
      why = QCoreApplication::translate("vorta::ProcessListEntries", "это файл самой программы");
    } else if (processFiles.contains(log)) {
      why = QCoreApplication::translate("vorta::ProcessListEntries", "это файл процесса из списка");
    } else if (const auto writer = logWriter.constFind(log); writer != logWriter.cend()) {
      why = QCoreApplication::translate("vorta::ProcessListEntries",
                                        "этот журнал данных уже ведёт процесс %1")
                .arg(*writer);
    } else {
      logWriter.insert(log, e.key);
      continue;
    }
    e.refusal = TRefusal::LogName;
    e.why = QStringLiteral("%1, [Port] Protocolname=%2 — %3").arg(e.key, name, why);
  }

  QStringList accepted;
  QStringList refused;
  for (TEntry& e : entries) {
    // A log says what it is rather than what it lacks.
    if (e.refusal == TRefusal::NoPort && logWriter.contains(e.path)) e.refusal = TRefusal::DataLog;
    if (e.refusal == TRefusal::None) {
      accepted << e.key;
    } else {
      refused << RefusalLine(e);
    }
  }
  ReportRefusals(refused, messages);
  return accepted;
}

}  // namespace vorta
