// What the program writes must not change when its code is reorganised: a
// demo day and six hours of eight vessels dosing on every channel are compared
// with digests recorded from an earlier build. Data logs are compared whole
// but for their date and time columns, the journal by vessel, kind and subject.
//
// On a mismatch the normalised outputs are kept in a folder the failure names:
// run the same test on the older commit with VORTA_REFERENCE_KEEP set to a
// folder and diff the two. VORTA_REFERENCE_RECORD=1 prints fresh digests for
// reference/digests.txt when a change of output is intended.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <map>

#include "CoreApplication.h"
#include "HeadlessPlantRun.h"
#include "ProgramFolder.h"
#include "RecordingMessages.h"

namespace {

using TDigests = std::map<QString, QByteArray>;

// Every line without the tab-separated columns the program fills from the clock.
QByteArray Normalised(const QByteArray& bytes, bool journal) {
  QByteArray out;
  for (const QByteArray& line : bytes.split('\n')) {
    if (line.isEmpty()) continue;
    const QList<QByteArray> cells = line.split('\t');
    if (journal) {  // Time User Vessel VesselName Kind Subject Old New Source Chain
      if (cells.size() < 6) continue;
      out += cells[2] + '\t' + cells[4] + '\t' + cells[5] + '\n';
    } else {
      out += cells.mid(2).join('\t') + '\n';
    }
  }
  return out;
}

void Collect(const QString& folder, const QString& run, TDigests& digests, const QString& keep) {
  const QDir dir(folder);
  for (const QString& name : dir.entryList({"Protocol*.txt", "VortaJournal.txt"}, QDir::Files)) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    const QByteArray normal = Normalised(f.readAll(), name == "VortaJournal.txt");
    digests[run + '/' + name] =
        QCryptographicHash::hash(normal, QCryptographicHash::Sha256).toHex();
    if (!keep.isEmpty()) {
      QDir().mkpath(keep + '/' + run);
      QFile out(keep + '/' + run + '/' + name);
      ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
      out.write(normal);
    }
  }
}

TDigests Recorded() {
  TDigests digests;
  QFile f(QStringLiteral(VORTA_REFERENCE_DIR "/digests.txt"));
  if (!f.open(QIODevice::ReadOnly)) return digests;
  for (const QByteArray& line : f.readAll().split('\n')) {
    const QList<QByteArray> cells = line.split(' ');
    if (cells.size() == 2) digests[QString::fromUtf8(cells[0])] = cells[1];
  }
  return digests;
}

}  // namespace

TEST(ReferenceRun, demoDayAndEightDosingVessels_writeWhatTheyWroteBefore) {
  vorta::test::EnsureCoreApplication();
  vorta::test::TProgramFolder runtime;
  QTemporaryDir kept;
  kept.setAutoRemove(false);
  const QString env = qEnvironmentVariable("VORTA_REFERENCE_KEEP");
  const QString keep = env.isEmpty() ? kept.path() : env;
  TDigests digests;

  // A demo day as a user runs it, in Russian and in English: the language
  // changes what the operator reads, never what is written.
  TDigests english;
  for (const QString lang : {"ru", "en"}) {
    vorta::test::TProgramFolder folder;
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("XDG_RUNTIME_DIR", runtime.Path());
    p.setProcessEnvironment(e);
    p.start(VORTA_BIN,
            {"--demo", "--folder", folder.Path(), "--fast-forward", "24", "--lang", lang});
    ASSERT_TRUE(p.waitForFinished(120'000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    Collect(folder.Path(), "demo-day", lang == "en" ? english : digests,
            lang == "en" ? keep + "/en" : keep);
  }
  ASSERT_EQ(english.size(), 4u + 1u);
  {  // Eight vessels dosing on every channel, on virtual time.
    qputenv("XDG_RUNTIME_DIR", runtime.Path().toUtf8());
    vorta::test::TProgramFolder folder;
    QString error;
    ASSERT_TRUE(vorta::test::PrepareDosingDemoFolder(folder.Path(), 8, &error))
        << error.toStdString();
    {
      vorta::test::THeadlessPlantRun<vorta::test::TRecordingMessages> run(folder.Path());
      ASSERT_TRUE(run.Start());
      vorta::StartDemoVessels(run.form.Processes());
      run.time.AdvanceBy(6 * 3'600'000);
      run.Shutdown();
    }
    Collect(folder.Path(), "eight-dosing", digests, keep);
  }

  ASSERT_EQ(digests.size(), 4u + 8u + 2u);
  if (qEnvironmentVariableIsSet("VORTA_REFERENCE_RECORD")) {
    for (const auto& [name, digest] : digests)
      std::printf("%s %s\n", qPrintable(name), digest.constData());
    return;
  }
  const TDigests recorded = Recorded();
  ASSERT_EQ(recorded.size(), digests.size()) << "reference/digests.txt is missing or incomplete";
  for (const auto& [name, digest] : english) {
    const auto it = recorded.find(name);
    ASSERT_NE(it, recorded.end()) << name.toStdString() << " has no recorded digest";
    EXPECT_EQ(digest, it->second) << name.toStdString() << " differs with --lang en; outputs in "
                                  << keep.toStdString() << "/en";
  }
  for (const auto& [name, digest] : digests) {
    const auto it = recorded.find(name);
    ASSERT_NE(it, recorded.end()) << name.toStdString() << " has no recorded digest";
    EXPECT_EQ(digest, it->second) << name.toStdString() << " differs; normalised outputs in "
                                  << keep.toStdString();
  }
  if (!HasFailure() && env.isEmpty()) QDir(keep).removeRecursively();
}
