#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QFile>

#include "ProgramFolder.h"
#include "platform/FolderFiles.h"

namespace vorta {
namespace {

TEST(FolderFiles, appendsOnlyToTheFileAppendedToBefore) {
  test::TProgramFolder folder;
  folder.Write("Vorta.ini", "[Processes]\r\n");
  test::TProgramFolder outside;
  outside.Write("target", "outside\n");
  const auto dir = TFolderFd::Open(folder.Path(), nullptr);
  ASSERT_TRUE(dir);
  const QString log = folder.File("Protocol.txt");
  TFileIdentity identity;
  TAppendRules rules;
  rules.HeaderWhenNew = "head\r\n";
  rules.ReadOnlyBetween = true;
  rules.Identity = &identity;
  QString error;
  ASSERT_TRUE(AppendAt(log, dir.get(), "row1\r\n", rules, &error)) << error.toStdString();
  ASSERT_TRUE(AppendAt(log, dir.get(), "row2\r\n", rules, &error)) << error.toStdString();
  EXPECT_EQ(folder.Read("Protocol.txt"), "head\r\nrow1\r\nrow2\r\n");
  EXPECT_EQ(QFile::permissions(log) & (QFile::WriteOwner | QFile::WriteGroup), 0);

  // A link, a hard link and another file of the folder renamed into its place
  // get no row, and keep their permissions.
  const QString kept = folder.File("kept.txt");
  ASSERT_TRUE(QFile::rename(log, kept));
  ASSERT_TRUE(QFile::link(outside.File("target"), log));
  EXPECT_FALSE(AppendAt(log, dir.get(), "row3\r\n", rules, &error));
  EXPECT_EQ(outside.Read("target"), "outside\n");
  ASSERT_TRUE(QFile::remove(log));
  ASSERT_EQ(::link(QFile::encodeName(kept).constData(), QFile::encodeName(log).constData()), 0);
  EXPECT_FALSE(AppendAt(log, dir.get(), "row3\r\n", rules, &error));
  ASSERT_TRUE(QFile::remove(log));
  ASSERT_TRUE(QFile::rename(folder.File("Vorta.ini"), log));
  EXPECT_FALSE(AppendAt(log, dir.get(), "row3\r\n", rules, &error));
  EXPECT_EQ(folder.Read("Protocol.txt"), "[Processes]\r\n");
  EXPECT_TRUE(QFile::permissions(log) & QFile::WriteOwner);
  EXPECT_EQ(folder.Read("kept.txt"), "head\r\nrow1\r\nrow2\r\n");

  // A log that has gone is started again with its header.
  ASSERT_TRUE(QFile::remove(log));
  ASSERT_TRUE(AppendAt(log, dir.get(), "row4\r\n", rules, &error)) << error.toStdString();
  EXPECT_EQ(folder.Read("Protocol.txt"), "head\r\nrow4\r\n");
}

TEST(FolderFiles, aSaveReplacesTheFileWholeButNeverThroughALink) {
  test::TProgramFolder folder;
  test::TProgramFolder outside;
  outside.Write("target", "outside\n");
  folder.Write("p.ini", "old\n");
  ASSERT_TRUE(QFile::setPermissions(folder.File("p.ini"), QFile::ReadOwner | QFile::WriteOwner));
  QString error;
  ASSERT_TRUE(SaveWhole(folder.File("p.ini"), nullptr, "new\n", &error)) << error.toStdString();
  EXPECT_EQ(folder.Read("p.ini"), "new\n");
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(folder.File("p.ini")).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_TRUE(QFile::link(outside.File("target"), folder.File("chart.ini")));
  EXPECT_FALSE(SaveWhole(folder.File("chart.ini"), nullptr, "new\n", &error));
  EXPECT_EQ(outside.Read("target"), "outside\n");
}

}  // namespace
}  // namespace vorta
