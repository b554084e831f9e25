#pragma once
// The folder's journal for a test: its change records read back from the
// file by the header's column names, and a journal opened on the environment
// the processes were made in.

#include <gtest/gtest.h>
#include <QFile>
#include <QStringList>

#include "journal/Journal.h"

namespace vorta::test {

// "vessel name|subject|old|new|source" of every change record, in file
// order; the vessel is empty for the program.
inline QStringList JournalChanges(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
  const QStringList head = lines.takeFirst().split(u'\t');
  const auto at = [&head](const QStringList& cols, const char* name) {
    const qsizetype i = head.indexOf(QLatin1String(name));
    return i >= 0 && i < cols.size() ? cols[i] : QStringLiteral("?");
  };
  QStringList out;
  for (const QString& line : lines) {
    const QStringList cols = line.split(u'\t');
    if (at(cols, "Kind") != u"Change") continue;
    const QString vessel = (at(cols, "Vessel") + u' ' + at(cols, "VesselName")).trimmed();
    out << QStringList{vessel, at(cols, "Subject"), at(cols, "Old"), at(cols, "New"),
                       at(cols, "Source")}
               .join(u'|');
  }
  return out;
}

// The file's last n lines, without their line ends.
inline QList<QByteArray> JournalLastLines(const QString& path, qsizetype n) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QList<QByteArray> lines = f.readAll().split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  for (QByteArray& line : lines) line = line.trimmed();
  return lines.mid(std::max<qsizetype>(0, lines.size() - n));
}

// Env: the environment the processes were made in (its Time and Journal).
template <typename Env>
class TJournalOnEnv {
 public:
  TJournalOnEnv(Env& env, const QString& folder)
      : env_(env), journal_(folder + QStringLiteral("VortaJournal.txt"), env.Time) {
    EXPECT_TRUE(journal_.Open()) << journal_.Problem().toStdString();
    env_.Journal = &journal_;
  }
  ~TJournalOnEnv() { env_.Journal = nullptr; }
  TJournalOnEnv(const TJournalOnEnv&) = delete;
  TJournalOnEnv& operator=(const TJournalOnEnv&) = delete;

  [[nodiscard]] QStringList Changes() const { return JournalChanges(journal_.Path()); }
  [[nodiscard]] QString Path() const { return journal_.Path(); }

 private:
  Env& env_;
  TJournal journal_;
};

}  // namespace vorta::test
