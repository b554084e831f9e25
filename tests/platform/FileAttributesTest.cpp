#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>

#include "ProgramFolder.h"
#include "platform/FileAttributes.h"

using namespace vorta;

// A [Processes] list of thousands of files once made one pattern too large to
// compile, and no killed save was cleaned up at all.
TEST(FileAttributes, staleSavesOfAThousandsLongFileListAreRemoved) {
  test::TProgramFolder folder;
  QStringList own;
  for (int i = 0; i < 10'000; ++i) own << QStringLiteral("p%1.ini").arg(i);
  for (const char* name : {"p9999.ini.AbC123", "p9999.ini.AbC12", "p10000.ini.AbC123"}) {
    folder.Write(name, "x");
  }

  EXPECT_EQ(RemoveStaleSaveFiles(folder.Path(), own, QDateTime::currentDateTimeUtc().addSecs(60)),
            QStringList{"p9999.ini.AbC123"});
}
