#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>

#include "Fifo.h"
#include "FileSystemFaults.h"
#include "platform/ProfileFile.h"

using namespace vorta;

namespace {

class ProfileFileTest : public ::testing::Test {
 protected:
  QString Write(const QByteArray& bytes) {
    const QString path = dir.filePath("test.ini");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }
  QByteArray Read(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
  }
  QTemporaryDir dir;
};

}  // namespace

TEST_F(ProfileFileTest, namesMatchWithoutCaseAndFirstMatchWins) {
  TProfileFile ini(Write("[Port]\r\nNumProcess=3\r\nnumprocess=4\r\n[port]\r\nNumProcess=5\r\n"));
  EXPECT_EQ(ini.ReadInteger("PORT", "NUMPROCESS", 0), 3);
  EXPECT_EQ(ini.ReadString("Port", "Missing", "def"), "def");
  EXPECT_EQ(ini.ReadString("Nope", "NumProcess", "def"), "def");
  // Read in one pass for long lists, with the same values.
  using TPairs = std::vector<std::pair<QString, QString>>;
  EXPECT_EQ(ini.ReadSectionValues("port"), (TPairs{{"NumProcess", "3"}, {"numprocess", "3"}}));
}

TEST_F(ProfileFileTest, integersRealsAndDefaults) {
  TProfileFile ini(Write("[S]\nA=abc\nB=0x10\nC=$20\nD= 7.5 \nE=\nF=\"quoted\"\n"));
  EXPECT_EQ(ini.ReadInteger("S", "A", 9), 9);
  EXPECT_EQ(ini.ReadInteger("S", "B", 9), 16);
  EXPECT_EQ(ini.ReadInteger("S", "C", 9), 32);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "D", 0), 7.5);
  EXPECT_EQ(ini.ReadInteger("S", "E", 9), 9);
  EXPECT_EQ(ini.ReadString("S", "E", "x"), "");
  EXPECT_EQ(ini.ReadString("S", "F", "x"), "quoted");
}

TEST_F(ProfileFileTest, readSectionListsKeysInFileOrder) {
  TProfileFile ini(Write("[pH]\n; a comment\nzadanie=7\n\nkorr=0\nmin=1\n[t]\nx=1\n"));
  EXPECT_EQ(ini.ReadSection("PH"), (QStringList{"zadanie", "korr", "min"}));
  EXPECT_TRUE(ini.ReadSection("none").isEmpty());
}

TEST_F(ProfileFileTest, writeKeepsEveryOtherByteAndTheExistingKeyName) {
  const QByteArray original =
      "; head comment\r\n[Terminate]\r\nsucsesful=Y\r\n\r\n[Mixer]\n  MixTop = 100\r\nMixLeft=5";
  const QString path = Write(original);
  TProfileFile ini(path);
  ini.WriteString("terminate", "Sucsesful", "N");
  ini.WriteInteger("Mixer", "MIXTOP", 12);
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(Read(path),
            "; head comment\r\n[Terminate]\r\nsucsesful=N\r\n\r\n[Mixer]\nMixTop=12\r\nMixLeft=5");
}

TEST_F(ProfileFileTest, newKeyGoesToTheEndOfItsSectionNewSectionToTheEnd) {
  const QString path = Write("[A]\r\nx=1\r\n\r\n[B]\r\ny=2");
  TProfileFile ini(path);
  ini.WriteString("a", "z", "3");
  ini.WriteString("C", "w", "4");
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(Read(path), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n[C]\r\nw=4\r\n");
}

TEST_F(ProfileFileTest, windows1251FileIsWrittenBackInWindows1251) {
  QStringEncoder enc("windows-1251");
  const QByteArray cp = enc.encode(QStringLiteral("[Channels]\r\nch1=1,Кислота\r\n"));
  const QString path = Write(cp);
  TProfileFile ini(path);
  EXPECT_EQ(ini.FileEncoding(), TProfileFile::TEncoding::Windows1251);
  EXPECT_EQ(ini.ReadString("Channels", "ch1", ""), QStringLiteral("1,Кислота"));
  ini.WriteString("Channels", "ch2", QStringLiteral("1,Щёлочь"));
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(Read(path),
            enc.encode(QStringLiteral("[Channels]\r\nch1=1,Кислота\r\nch2=1,Щёлочь\r\n")));
}

TEST_F(ProfileFileTest, utf8FileStaysUtf8) {
  const QString path = Write(QStringLiteral("[Port]\nNameProcess=Ферм %d\n").toUtf8());
  TProfileFile ini(path);
  EXPECT_EQ(ini.FileEncoding(), TProfileFile::TEncoding::Utf8);
  EXPECT_EQ(ini.ReadString("Port", "NameProcess", ""), QStringLiteral("Ферм %d"));
  ini.WriteString("Port", "Status", QStringLiteral("мастер"));
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(Read(path), QStringLiteral("[Port]\nNameProcess=Ферм %d\nStatus=мастер\n").toUtf8());
}

TEST_F(ProfileFileTest, badInputNeverCrashes) {
  QByteArray garbage;
  for (int i = 0; i < 4096; ++i) garbage.append(static_cast<char>((i * 7919) & 0xFF));
  garbage += "\n[S]\nk=" + QByteArray(1 << 20, 'x') + "\n";
  TProfileFile ini(Write(garbage));
  EXPECT_EQ(ini.ReadString("S", "k", "").size(), 1 << 20);
  TProfileFile empty(Write(""));
  EXPECT_TRUE(empty.Loaded());
  EXPECT_TRUE(empty.ReadSections().isEmpty());
  TProfileFile missing(dir.filePath("none.ini"));
  EXPECT_FALSE(missing.Loaded());
  EXPECT_EQ(missing.ReadInteger("a", "b", 5), 5);
}

TEST_F(ProfileFileTest, failedWriteIsReportedNotSwallowed) {
  QTemporaryDir gone;
  const QString path = gone.filePath("x.ini");
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[A]\nx=1\n");
  }
  TProfileFile ini(path);
  ini.WriteString("A", "x", "2");
  ASSERT_TRUE(gone.remove());  // the folder vanished under the program
  EXPECT_FALSE(ini.UpdateFile());
  EXPECT_FALSE(ini.ErrorString().isEmpty());
  EXPECT_TRUE(ini.Modified());
}

namespace {

// The size of a real process file: small enough for the save to be buffered.
QByteArray ProcessSizedFile() {
  QByteArray text = "; vessel 1\r\n[Terminate]\r\nsucsesful=Y\r\n";
  for (int i = 0; text.size() < 2700; ++i) text += "[S" + QByteArray::number(i) + "]\r\nk=1.00\r\n";
  return text;
}

}  // namespace

TEST_F(ProfileFileTest, saveOnAFullFileSystemLeavesTheOldFileAndNoTemporary) {
  test::TSmallFileSystem fs("256k");
  if (!fs.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << fs.Error().toStdString();
  const QByteArray original = ProcessSizedFile();
  const QString path = fs.Path() + "Process1.ini";
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(original);
  }
  ASSERT_TRUE(fs.Fill());
  TProfileFile ini(path);
  ini.WriteString("Terminate", "sucsesful", "N");
  EXPECT_FALSE(ini.UpdateFile());
  EXPECT_FALSE(ini.ErrorString().isEmpty());
  EXPECT_EQ(Read(path), original);
  EXPECT_EQ(QDir(fs.Path()).entryList(QDir::Files), (QStringList{"filler", "Process1.ini"}));
}

TEST_F(ProfileFileTest, fileThatExistsButCannotBeReadIsNeverWritten) {
  const QString path = Write("[Processes]\r\nProcess1.ini=1\r\n");
  ASSERT_TRUE(test::TUnprivilegedFiles::MakeWriteOnly(dir.path(), path));
  test::TUnprivilegedFiles user;
  TProfileFile ini(path);
  EXPECT_FALSE(ini.Loaded());
  EXPECT_TRUE(ini.Unreadable());
  ini.WriteInteger("Podpitka", "DozeCount", 10);
  EXPECT_FALSE(ini.UpdateFile());
  EXPECT_FALSE(ini.ErrorString().isEmpty());
  ::chmod(QFile::encodeName(path).constData(), 0600);
  EXPECT_EQ(Read(path), "[Processes]\r\nProcess1.ini=1\r\n");
}

// A FIFO in place of a configuration file once blocked the program in open()
// for ever; a folder there is no file either.
TEST_F(ProfileFileTest, specialFileInAFilesPlaceIsRefusedAtOnceAndNeverReplaced) {
  const QString fifo = dir.filePath("Vorta.ini");
  ASSERT_TRUE(test::MakeFifo(fifo));
  ASSERT_TRUE(QDir(dir.path()).mkdir("VortaCAN.ini"));
  test::TFifoWatchdog watchdog({fifo});
  for (const QString& path : {fifo, dir.filePath("VortaCAN.ini")}) {
    TProfileFile ini(path);
    EXPECT_TRUE(ini.Unreadable());
    EXPECT_TRUE(ini.NotRegular());
    EXPECT_TRUE(ini.ReadError().startsWith(path + ": не обычный файл"))
        << ini.ReadError().toStdString();
    ini.WriteInteger("Podpitka", "DozeCount", 10);
    EXPECT_FALSE(ini.UpdateFile());
  }
  EXPECT_FALSE(watchdog.Fired());
  EXPECT_TRUE(test::IsFifo(fifo));
  EXPECT_TRUE(QFileInfo(dir.filePath("VortaCAN.ini")).isDir());
}
