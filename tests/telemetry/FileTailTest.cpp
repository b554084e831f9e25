// Following a data log through what happens to it on disk: replaced under
// the tail, resumed from a kept offset that no longer fits, and the offsets
// file itself damaged or not a file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QFile>

#include "ProgramFolder.h"
#include "telemetry/FileTail.h"

namespace vorta::test {
namespace {

QStringList Texts(const std::vector<TTailedLine>& lines) {
  QStringList texts;
  for (const TTailedLine& l : lines) texts << QString::fromUtf8(l.Line);
  return texts;
}

void Append(const TProgramFolder& folder, const QString& name, const QByteArray& bytes) {
  QFile f(folder.File(name));
  ASSERT_TRUE(f.open(QIODevice::Append));
  f.write(bytes);
}

// Deleted and made again while rows were still unpublished (an outage): the
// old file's rows come first, whole, then the new file's from its start.
TEST(FileTailTest, replacedFile_oldReadToItsEndThenNewFromItsStart) {
  TProgramFolder folder;
  folder.Write("log.txt", "Date\tTime\r\nd\t9:0:0\r\nd\t9:1:0\r\n");
  TFileTail tail(folder.File("log.txt"));
  tail.StartAt(0);
  const std::vector<TTailedLine> first = tail.ReadLines(4096);
  ASSERT_EQ(Texts(first), QStringList({"d\t9:0:0", "d\t9:1:0"}));
  tail.SetDelivered(first[0].End);
  Append(folder, "log.txt", "d\t9:2:0\r\n");
  ASSERT_TRUE(QFile::remove(folder.File("log.txt")));
  folder.Write("log.txt", "Date\tTime\r\nd\t10:00:0\r\nd\t10:01:0\r\nd\t10:02:0\r\n");

  tail.Rewind();
  const std::vector<TTailedLine> old = tail.ReadLines(4096);
  EXPECT_EQ(Texts(old), QStringList({"d\t9:1:0", "d\t9:2:0"}));
  tail.SetDelivered(old.back().End);
  EXPECT_TRUE(tail.ReadLines(4096).empty());
  EXPECT_EQ(Texts(tail.ReadLines(4096)), QStringList({"d\t10:00:0", "d\t10:01:0", "d\t10:02:0"}));
  EXPECT_EQ(tail.Header(), QStringList({"Date", "Time"}));
}

TEST(FileTailTest, keptOffsetThatNoLongerFits_neverStartsInsideALine) {
  TProgramFolder folder;
  folder.Write("log.txt", "Date\tTime\tpH\r\n07.12.\t13:12:10\t7.00\r\n07.12.\t13:13:10\t7.01\r\n");
  {
    // An offset in the middle of a row (an older offsets file, or one edited).
    TFileTail tail(folder.File("log.txt"));
    tail.Resume({20, {}});
    EXPECT_EQ(Texts(tail.ReadLines(4096)),
              QStringList({"07.12.\t13:12:10\t7.00", "07.12.\t13:13:10\t7.01"}));
    EXPECT_EQ(tail.TakeNotices().size(), 1U);
  }
  {
    // Kept for another file of that name: the one there now is read whole.
    TFileTail tail(folder.File("log.txt"));
    tail.Resume({36, {1, 1}});
    EXPECT_EQ(tail.ReadLines(4096).size(), 2U);
    const std::vector<TTailNotice> notices = tail.TakeNotices();
    ASSERT_EQ(notices.size(), 1U);
    EXPECT_TRUE(notices[0].Text.contains("заменён")) << notices[0].Text.toStdString();
  }
}

TEST(FileTailTest, offsetsFile_oldFormRead_damageAndSpecialFilesToldWithoutBlocking) {
  TProgramFolder folder;
  folder.Write("old", "120\tProtocol1.txt\n");
  const TKeptOffsets old = LoadDeliveredOffsets(folder.File("old"));
  EXPECT_TRUE(old.Problem.IsEmpty());
  EXPECT_EQ(old.Offsets.value("Protocol1.txt").Offset, 120);
  EXPECT_FALSE(old.Offsets.value("Protocol1.txt").Identity.Known());

  EXPECT_TRUE(
      SaveDeliveredOffsets(folder.File("new"), {{"Protocol1.txt", {120, {2049, 77}}}}).IsEmpty());
  EXPECT_EQ(LoadDeliveredOffsets(folder.File("new")).Offsets.value("Protocol1.txt").Identity,
            (TFileIdentity{2049, 77}));

  folder.Write("garbage", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  EXPECT_FALSE(LoadDeliveredOffsets(folder.File("garbage")).Problem.IsEmpty());

  const QString fifo = folder.File("fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  QElapsedTimer t;
  t.start();
  const TKeptOffsets special = LoadDeliveredOffsets(fifo);
  EXPECT_TRUE(special.Exists);
  EXPECT_FALSE(special.Problem.IsEmpty());
  EXPECT_FALSE(SaveDeliveredOffsets(fifo, {{"x", {1, {}}}}).IsEmpty());
  TFileTail tail(fifo);
  EXPECT_TRUE(tail.ReadLines(4096).empty());
  EXPECT_EQ(tail.TakeNotices().size(), 1U);
  EXPECT_LT(t.elapsed(), 1000);
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
}  // namespace vorta::test
