#pragma once
// The program's own records in the journal: its start and end, an end that
// never came (found at the next start), and the configuration files that
// changed between two runs.

#include <QString>
#include <QStringList>

#include "journal/Journal.h"

namespace vorta {

class TJournal;

// What a start found out about the run before it.
struct TJournalStart {
  bool AbnormalEnd = false;
  QStringList ChangedFiles;  // names as given
};

// Records the start with the version and folder. Before it: the previous
// run's missing end, and each of `files` (names in `folder`) whose content
// differs from what the previous run recorded last.
TJournalStart RecordProgramStart(TJournal& journal, const QString& version, const QString& folder,
                                 const QStringList& files);
// Records the content hashes of `files`, the reference for the next start.
// At the start, after the program's own writes while loading; at the end,
// after its last ones.
void RecordConfigHashes(TJournal& journal, const QString& folder, const QStringList& files);
// The orderly end: by the operator, or from outside with the modes kept.
void RecordProgramEnd(TJournal& journal, bool modesKept = false);

// The subjects of the program's records, as written.
inline const QString kJournalStartSubject = QStringLiteral("Запуск программы");
inline const QString kJournalEndSubject = QStringLiteral("Завершение программы");
inline const QString kJournalAbnormalEndSubject = QStringLiteral("Аварийное завершение");
inline const QString kJournalEndByOperator = QStringLiteral("оператор");
inline const QString kJournalEndFromOutside =
    QStringLiteral("остановка извне (сигнал), режимы сосудов сохранены");
inline const QString kJournalHashesSubject = QStringLiteral("Файлы конфигурации");

}  // namespace vorta
