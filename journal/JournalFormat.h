#pragma once
// The journal's line format, shared by the writer and the verifier.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace vorta {

inline constexpr int kJournalColumns = 10;
// The chain field's length: a SHA-256 in hex.
inline constexpr int kJournalChainLength = 64;

// The header row without its line end.
QString JournalHeaderLine();
// The chain field of the record before the first one.
QString JournalSeed();
// The chain field of a record: SHA-256 (hex) over the previous chain field and
// the record's other columns exactly as written (tab-joined, escaped).
QString JournalChain(const QString& previousChain, const QString& columnsWithoutChain);
// Tabs, line ends and backslashes escaped, so that a field never splits a line.
QString EscapeJournalField(const QString& text);
// The chain field of a whole line when it has the form of a complete record.
bool SplitJournalLine(const QString& line, QString* columnsWithoutChain, QString* chain);

// The inverse of EscapeJournalField.
QString UnescapeJournalField(const QString& text);

// A record's columns, unescaped.
struct TJournalLine {
  QString Time;
  QString User;
  QString Vessel;
  QString VesselName;
  QString Kind;
  QString Subject;
  QString OldValue;
  QString NewValue;
  QString Source;
  QString Chain;
};
std::optional<TJournalLine> ParseJournalLine(const QString& line);

// Calls `visit` with the file's whole lines (line ends removed) from the last
// to the first, reading back from the end in chunks, until it returns false.
// An unterminated last line is not visited: it goes to *tornLine (empty when
// the file ends with a line end). False when the file could not be read.
bool ReadJournalBackwards(const QString& path, const std::function<bool(const QString&)>& visit,
                          QString* tornLine = nullptr);

}  // namespace vorta
