#pragma once
// The data log of a process: a tab-separated text file with one header line
// and one row per log period; read-only between writes.

#include <QString>
#include <optional>

class QDateTime;
class QLocale;

namespace vorta {

class TVortaProcess;

// "Date\tTime\tpH\t…\tMode", without a line end.
QString LogHeaderLine(const TVortaProcess& process);
// Creates the file with its header and sets it read-only, when it does not
// exist; an existing file gets its read-only attribute back (a kill during an
// append leaves it writable). False when it had to be created and could not
// be, or when the name is taken by something other than a regular file.
bool CreateLogIfMissing(TVortaProcess& process);
// Gives a last row that a kill or a power cut left without its line end the
// line end it lacks, so that the next row starts on a line of its own. True
// when there was nothing to close or it was closed.
bool CloseCutLogRow(TVortaProcess& process);
// The last whole line of the log (one ended by a line end) without its line
// end, read from the end of the file only; a cut row after it is passed
// over. Empty when that line is longer than any row could be. Nothing when
// the file cannot be opened.
std::optional<QString> ReadLastLogLine(const QString& path);
// One row (fields 1..22, without the line end) for the given moment, the
// date in the locale's short format cut to six characters.
QString LogRowText(const TVortaProcess& process, const QDateTime& when, const QLocale& locale);
// Appends one row whole and flushed, at the process's current time; resets
// the output-time counters also when the row could not be written. The first
// failure of an episode is reported through the process's message sink.
void WriteLogRow(TVortaProcess& process);

// The line from the first mode abbreviation on ("Chemo"…), or empty.
QString StripToMode(const QString& line);
// Mode 0..3 from a stripped text; -1 for any other text.
int ModeFromAbbreviation(const QString& text);

}  // namespace vorta
