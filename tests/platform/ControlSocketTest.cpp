#include <gtest/gtest.h>
#include <QDir>

#include "ProgramFolder.h"
#include "platform/ControlSocket.h"

namespace vorta {
namespace {

// A copy killed while it made its socket leaves the directory it makes the
// socket in; the next copy on the folder holds the lock and clears it.
TEST(ControlSocket, aSocketDirectoryLeftByAKilledStartIsCleared) {
  test::TProgramFolder folder;
  ASSERT_TRUE(QDir(folder.Path()).mkpath(QStringLiteral(".Vorta.ctl.killed")));
  folder.Write(".Vorta.ctl.killed/s", "");
  ASSERT_TRUE(QDir(folder.Path()).mkpath(QStringLiteral(".Vorta.ctl.full/inner")));
  folder.Write(".Vorta.ctl.other", "a file of the user's");
  {
    TControlServer server(folder.Path(), [](const TControlRequest&) { return TControlReply{}; });
    QString error;
    ASSERT_TRUE(server.Listen(&error)) << error.toStdString();
  }
  const QStringList left =
      QDir(folder.Path())
          .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
  // Only what a start could have left goes: a directory holding at most "s".
  EXPECT_EQ(left, (QStringList{".Vorta.ctl.full", ".Vorta.ctl.other"}));
}

}  // namespace
}  // namespace vorta
