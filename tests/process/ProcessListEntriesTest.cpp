#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Fifo.h"
#include "RecordingMessages.h"
#include "platform/ProfileFile.h"
#include "process/ProcessListEntries.h"

using namespace vorta;

namespace {

void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  f.write(bytes);
}

}  // namespace

// Each wrong entry once wrote INI sections into a file that is not a process
// file, or ran one vessel twice.
TEST(ProcessListEntries, refusesEveryFileThatIsNotAProcessFileOfTheFolderOnce) {
  QTemporaryDir root;
  const QString folder = root.filePath("prog") + u'/';
  ASSERT_TRUE(QDir().mkpath(folder + "sub"));
  Write(root.filePath("outside.ini"), "[Port]\r\nNumProcess=9\r\n");
  ASSERT_TRUE(QFile::link(root.filePath("outside.ini"), folder + "link.ini"));
  Write(folder + "VortaCAN.ini", "[CANAdapter]\r\nType=QTR4\r\n");
  Write(folder + "p1.ini", "[Port]\r\nNumProcess=1\r\nProtocolname=Protocol1.txt\r\n");
  Write(folder + "sub/p2.ini", "[port]\r\nNumProcess=2\r\n");
  Write(folder + "Protocol1.txt", "Date\tTime\tpH\r\n06.12.2026\t10:00:00\t7.00\tUnctr\r\n");
  Write(folder + "Protocol.txt", "Date\tTime\tpH\r\n");  // the default log of sub/p2.ini
  Write(folder + "notes.txt", "just text\r\n");
  Write(folder + "VortaJournal.txt", "[Port]\r\n");  // even one that looks like a process file
  Write(folder + "Vorta.ini",
        "[Processes]\r\nProtocol1.txt=1\r\np1.ini=1\r\nVortaCAN.ini=1\r\nVorta.ini=1\r\n"
        "../outside.ini=1\r\nlink.ini=1\r\n./p1.ini=1\r\nsub/p2.ini=1\r\nsub/../p1.ini=1\r\n"
        "notes.txt=1\r\nProtocol.txt=1\r\nmissing.ini=1\r\nVortaJournal.txt=1\r\n");
  const TProfileFile main(folder + "Vorta.ini");
  test::TRecordingMessages messages;

  EXPECT_EQ(ProcessFilesToLoad(main, folder, messages), (QStringList{"p1.ini", "sub/p2.ini"}));

  ASSERT_EQ(messages.Errors.size(), 1) << messages.Errors.join('\n').toStdString();
  const QStringList e = messages.Errors[0].split('\n').mid(1);
  ASSERT_EQ(e.size(), 10) << messages.Errors[0].toStdString();
  EXPECT_TRUE(e[0].contains("Protocol1.txt") && e[0].contains("журнал данных"));
  EXPECT_TRUE(e[1].contains("VortaCAN.ini") && e[1].contains("файл самой программы"));
  EXPECT_TRUE(e[2].contains("Vorta.ini") && e[2].contains("файл самой программы"));
  EXPECT_TRUE(e[3].contains("../outside.ini") && e[3].contains("вне папки программы"));
  EXPECT_TRUE(e[4].contains("link.ini") && e[4].contains("вне папки программы"));
  EXPECT_TRUE(e[5].contains("./p1.ini") && e[5].contains("повторно"));
  EXPECT_TRUE(e[6].contains("sub/../p1.ini") && e[6].contains("повторно"));
  EXPECT_TRUE(e[7].contains("notes.txt") && e[7].contains("[Port]"));
  EXPECT_TRUE(e[8].contains("Protocol.txt") && e[8].contains("журнал данных"));
  EXPECT_TRUE(e[9].contains("VortaJournal.txt") && e[9].contains("файл самой программы"));
}

// Thousands of wrong entries once gave as many message boxes, and a FIFO
// listed as a process file held the start for ever.
TEST(ProcessListEntries, refusalsComeAsOneMessageShowingTheFirstTenAndAFifoIsNeverOpened) {
  QTemporaryDir root;
  const QString folder = root.path() + u'/';
  ASSERT_TRUE(test::MakeFifo(folder + "fifo.ini"));
  QByteArray list = "[Processes]\r\nfifo.ini=1\r\n";
  for (int i = 0; i < 12; ++i) {
    Write(folder + QString("n%1.txt").arg(i), "text\r\n");
    list += "n" + QByteArray::number(i) + ".txt=1\r\n";
  }
  Write(folder + "Vorta.ini", list);
  const TProfileFile main(folder + "Vorta.ini");
  test::TRecordingMessages messages;
  const test::TFifoWatchdog watchdog({folder + "fifo.ini"});

  EXPECT_TRUE(ProcessFilesToLoad(main, folder, messages).isEmpty());

  EXPECT_FALSE(watchdog.Fired());
  ASSERT_EQ(messages.Errors.size(), 1) << messages.Errors.join('\n').toStdString();
  const QStringList lines = messages.Errors[0].split('\n');
  ASSERT_EQ(lines.size(), 12) << messages.Errors[0].toStdString();
  EXPECT_TRUE(lines[0].contains("(13)")) << messages.Errors[0].toStdString();
  EXPECT_TRUE(lines[1].contains("fifo.ini") && lines[1].contains("именованный канал"));
  EXPECT_TRUE(lines[10].startsWith("n8.txt"));
  EXPECT_TRUE(lines[11].contains("ещё 3"));
}
