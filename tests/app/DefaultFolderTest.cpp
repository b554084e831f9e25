// Where a run without --folder keeps its files: beside a build tree's
// executable, in the user's data folder for an installed one.

#include <gtest/gtest.h>

#include "ProgramFolder.h"
#include "app/DefaultFolder.h"

namespace {

TEST(DefaultFolder, buildTreeKeepsExecutableFolderInstalledUsesXdgDataHome) {
  QProcessEnvironment env;
  env.insert("HOME", "/home/op");
  EXPECT_EQ(vorta::DefaultProgramFolder("/work/main/build/app", env), "/work/main/build/app");
  EXPECT_EQ(vorta::DefaultProgramFolder("/usr/bin", env), "/home/op/.local/share/vorta");
  // A relative XDG_DATA_HOME is invalid and ignored.
  env.insert("XDG_DATA_HOME", "data");
  EXPECT_EQ(vorta::DefaultProgramFolder("/usr/bin/", env), "/home/op/.local/share/vorta");
  env.insert("XDG_DATA_HOME", "/srv/op-data");
  EXPECT_EQ(vorta::DefaultProgramFolder("/opt/x/bin", env), "/srv/op-data/vorta");
}

TEST(DefaultFolder, firstStartPreparesDemoLaterStartsKeepTheUsersFiles) {
  vorta::test::TProgramFolder home;
  const QString folder = home.File("share/vorta");
  QString note;
  QString error;
  QString operatorNote;
  ASSERT_TRUE(vorta::PrepareUserProgramFolder(folder, &note, &error, &operatorNote))
      << error.toStdString();
  EXPECT_TRUE(note.contains("prepared the demo") && note.contains(folder));
  EXPECT_TRUE(operatorNote.contains(folder)) << "the first start tells the operator too";
  EXPECT_TRUE(home.Read("share/vorta/Vorta.ini").contains("[Processes]"));

  home.Write("share/vorta/Vorta.ini", "[Processes]\r\nmine.ini=1\r\n");
  ASSERT_TRUE(vorta::PrepareUserProgramFolder(folder, &note, &error, &operatorNote));
  EXPECT_EQ(note, "vorta: program folder " + folder);
  EXPECT_TRUE(operatorNote.isEmpty()) << "only the first time";
  EXPECT_EQ(home.Read("share/vorta/Vorta.ini"), "[Processes]\r\nmine.ini=1\r\n");
}

}  // namespace
