// The program as it runs through the changes of daylight-saving time and a
// clock set by hand, its wall clock moved by libfaketime and its monotonic
// clock left alone: a grace period keeps its length, no link is lost, and
// every journal and alarm stamp carries the offset in force at its instant.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimeZone>

#include <algorithm>
#include <csignal>
#include <utility>

#include "ProgramFolder.h"
#include "journal/JournalFormat.h"

namespace {

constexpr qint64 kGraceS = 40;  // the invalid probe's [Alarms] ReadingGrace
constexpr qint64 kStepAtS = 35;
constexpr qint64 kStepS = 600;

struct TClockRun {
  TClockRun(const char* w, QDateTime s, qint64 st) : what(w), start(std::move(s)), step(st) {}

  const char* what;
  QDateTime start;  // 30 s before the change
  qint64 step;      // the clock set by hand after the change, s
  vorta::test::TProgramFolder runtime;
  QString folder;
  QString offsetFile;
  QProcess program;
  QProcess ctl;           // "vorta ctl alarms --json", outside the faked clock
  qint64 alarmAtMs = -1;  // real time from the start until the alarm's record
  bool stepped = false;

  void WriteOffset(qint64 seconds) const {
    QFile f(offsetFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray::number(seconds) + '\n');
  }
  [[nodiscard]] QByteArray Journal() const {
    QFile f(folder + "/VortaJournal.txt");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

// The demo folder with vessel 1's pH probe reading above its validity limit.
void PrepareFolder(const QString& folder, const QProcessEnvironment& env) {
  QProcess prepare;
  prepare.setProcessEnvironment(env);
  prepare.start(VORTA_BIN, {"--demo", "--folder", folder, "--prepare"});
  ASSERT_TRUE(prepare.waitForFinished(20000));
  ASSERT_EQ(prepare.exitCode(), 0) << prepare.readAllStandardError().toStdString();
  for (const QString& name : QDir(folder).entryList({"*.ini"}, QDir::Files)) {
    QFile f(folder + u'/' + name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray text = f.readAll();
    f.close();
    if (!text.contains("\r\nNumProcess=1\r\n")) continue;
    const qsizetype max = text.indexOf("Max=12.00");
    ASSERT_GE(max, 0);
    text.replace(max, 9, "Max=1.00");
    text += "[Alarms]\r\nReadingGrace=" + QByteArray::number(kGraceS) + "\r\n";
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    return;
  }
  FAIL() << "no vessel 1 in the demo folder";
}

TEST(ClockChangeTest, graceLinksAndStampsHoldThroughBothChangesAndASteppedClock) {
  ASSERT_TRUE(QFile::exists(VORTA_FAKETIME_LIB))
      << "libfaketime is missing (Debian package faketime; scripts/setup.sh installs it)";
  vorta::test::TProgramFolder base;
  TClockRun runs[2] = {
      {"autumn, then back 10 min", QDateTime(QDate(2026, 10, 25), QTime(0, 59, 30), Qt::UTC),
       -kStepS},
      {"spring, then on 10 min", QDateTime(QDate(2026, 3, 29), QTime(0, 59, 30), Qt::UTC), kStepS},
  };
  QElapsedTimer clock;
  for (int i = 0; i < 2; ++i) {
    TClockRun& r = runs[i];
    r.folder = base.File(QStringLiteral("run%1").arg(i));
    r.offsetFile = base.File(QStringLiteral("offset%1").arg(i));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", r.runtime.Path());
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("FAKETIME");
    env.insert("TZ", "Europe/Berlin");
    ASSERT_NO_FATAL_FAILURE(PrepareFolder(r.folder, env));
    r.ctl.setProcessEnvironment(env);
    env.insert("LD_PRELOAD", VORTA_FAKETIME_LIB);
    env.insert("FAKETIME_TIMESTAMP_FILE", r.offsetFile);
    env.insert("FAKETIME_NO_CACHE", "1");
    env.insert("DONT_FAKE_MONOTONIC", "1");
    r.program.setProcessEnvironment(env);
  }
  clock.start();
  const qint64 realStart = QDateTime::currentSecsSinceEpoch();
  for (TClockRun& r : runs) {
    r.WriteOffset(r.start.toSecsSinceEpoch() - realStart);
    r.program.start(VORTA_BIN, {"--folder", r.folder, "--headless"});
    ASSERT_TRUE(r.program.waitForStarted(5000));
  }
  constexpr QByteArrayView kAlarm = "Недостоверное измерение";
  while (clock.elapsed() < (kGraceS + 20) * 1000 &&
         (runs[0].alarmAtMs < 0 || runs[1].alarmAtMs < 0 || clock.elapsed() < kStepAtS * 1000)) {
    runs[0].program.waitForFinished(250);
    for (TClockRun& r : runs) {
      ASSERT_EQ(r.program.state(), QProcess::Running) << r.what;
      if (!r.stepped && clock.elapsed() >= kStepAtS * 1000) {
        r.WriteOffset(r.start.toSecsSinceEpoch() - realStart + r.step);
        r.stepped = true;
      }
      if (r.alarmAtMs < 0 && r.Journal().contains(kAlarm)) r.alarmAtMs = clock.elapsed();
    }
  }
  QStringList alarmStamps[2];
  for (int i = 0; i < 2; ++i) {
    TClockRun& r = runs[i];
    r.ctl.start(VORTA_BIN, {"ctl", "--folder", r.folder, "alarms", "--json"});
    ASSERT_TRUE(r.ctl.waitForFinished(10000)) << r.what;
    for (const QJsonValue& a :
         QJsonDocument::fromJson(r.ctl.readAllStandardOutput())["result"].toArray())
      alarmStamps[i] << a[QLatin1String("raised")].toString();
  }
  for (TClockRun& r : runs) {
    ::kill(static_cast<pid_t>(r.program.processId()), SIGTERM);
    ASSERT_TRUE(r.program.waitForFinished(15000)) << r.what;
  }
  const qint64 ranS = clock.elapsed() / 1000 + 1;

  const QTimeZone berlin("Europe/Berlin");
  for (int i = 0; i < 2; ++i) {
    TClockRun& r = runs[i];
    SCOPED_TRACE(r.what);
    // Grace counted from the first 2-s cycle's look, a second or two after the start.
    EXPECT_GE(r.alarmAtMs, kGraceS * 1000);
    EXPECT_LE(r.alarmAtMs, (kGraceS + 10) * 1000);
    const QByteArray journal = r.Journal();
    EXPECT_FALSE(journal.contains("Нет связи")) << journal.toStdString();
    // Every stamp: an instant the faked clock can have shown, with the
    // offset Berlin had then.
    const qint64 from = r.start.toSecsSinceEpoch() + std::min<qint64>(r.step, 0) - 5;
    const qint64 to = r.start.toSecsSinceEpoch() + std::max<qint64>(r.step, 0) + ranS + 5;
    QStringList stamps = alarmStamps[i];
    EXPECT_FALSE(stamps.isEmpty());
    for (const QByteArray& line : journal.split('\n')) {
      const auto record = vorta::ParseJournalLine(QString::fromUtf8(line).trimmed());
      if (record && record->Time != QLatin1String("Time"))
        stamps << record->Time;  // not the header
    }
    EXPECT_GE(stamps.size(), 4);
    for (const QString& stamp : stamps) {
      const QDateTime t = QDateTime::fromString(stamp, Qt::ISODate);
      ASSERT_TRUE(t.isValid()) << stamp.toStdString();
      EXPECT_GE(t.toSecsSinceEpoch(), from) << stamp.toStdString();
      EXPECT_LE(t.toSecsSinceEpoch(), to) << stamp.toStdString();
      EXPECT_EQ(t.offsetFromUtc(), berlin.offsetFromUtc(t)) << stamp.toStdString();
    }
  }
}

}  // namespace
