// What the panel's buttons, menu and grid do to a vessel, and that what they
// change reaches the process file.

#include "FileSystemFaults.h"
#include "JournalRows.h"
#include "commands/PanelActions.h"
#include "platform/ProfileFile.h"
#include "process/ConfigWriteBack.h"
#include "process/MeasurementCycle.h"
#include "tests/process/ProcessFixture.h"

namespace vorta::testing {
namespace {

class WriteBackTest : public ProcessFixture {};

TEST_F(WriteBackTest, ChangesPendingTogetherAreAllWrittenAndAnEndWritesWhatIsPending) {
  TVortaProcess& p = AddProcess(1);
  p.Channel[1].Config.Setpoint = 5.5;
  p.SaveRequest.Add(TWriteBackGroup::Setpoints);
  ChangeMode(p, 2);
  MeasurementCycle(context_);
  EXPECT_TRUE(p.SaveRequest.Empty());
  {
    const TProfileFile f(p.IniFileName);
    EXPECT_EQ(f.ReadString("Mode", "mode", {}), QStringLiteral("2"));
    EXPECT_EQ(f.ReadString("pH", "Set", {}), QStringLiteral("5.50"));
  }
  // An end from outside before the next tick: the change is written all the same.
  p.Channel[2].Config.Setpoint = 37;
  p.SaveRequest.Add(TWriteBackGroup::Setpoints);
  program_.KeepModesAtEnd = true;
  list_.Clear();
  EXPECT_EQ(TProfileFile(program_.ProgramFolder + "proc1.ini").ReadString("tC", "Set", {}),
            QStringLiteral("37.00"));
}

TEST_F(WriteBackTest, WriteTheDiskRefusedStaysPendingUntilItSucceeds) {
  test::TSmallFileSystem fs("256k");
  if (!fs.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << fs.Error().toStdString();
  program_.ProgramFolder = fs.Path();
  TVortaProcess& p = AddProcess(1);
  ASSERT_TRUE(fs.Fill());
  p.Channel[1].Config.Setpoint = 6.5;
  p.SaveRequest.Add(TWriteBackGroup::Setpoints);
  MeasurementCycle(context_);
  ChangeMode(p, 3);
  MeasurementCycle(context_);
  EXPECT_FALSE(p.SaveRequest.Empty());
  EXPECT_EQ(messages_.Errors.size(), 1U) << "reported once, not every tick";
  ASSERT_TRUE(QFile::remove(fs.Path() + "filler"));
  MeasurementCycle(context_);
  EXPECT_TRUE(p.SaveRequest.Empty());
  const TProfileFile f(p.IniFileName);
  EXPECT_EQ(f.ReadString("pH", "Set", {}), QStringLiteral("6.50"));
  EXPECT_EQ(f.ReadString("Mode", "mode", {}), QStringLiteral("3"));
}

TEST_F(WriteBackTest, PanelActionsAreJournalledWithOldAndNewValue) {
  TVortaProcess& p = AddProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  p.Channel[1].Config.CtrlOutDown = 2;  // button 1 switches output 2
  ChangeMode(p, 2);
  ChangeMode(p, 2);  // picked again: no change
  ChangeProtocolPeriod(p, 5);
  ManualButtonClick(p, 1);
  ManualButtonClick(p, 1);
  LightButtonClick(p);
  EXPECT_EQ(journal.Changes(), (QStringList{"1 F1|[Mode] mode|0 Неконтролируемый|2 Chemostat|Menu",
                                            "1 F1|[Port] ProtocolPeriodmin|1|5|Menu",
                                            "1 F1|Кнопка 1 «Acid» (выход 2)|выкл|вкл|Button",
                                            "1 F1|Кнопка 1 «Acid» (выход 2)|вкл|выкл|Button",
                                            "1 F1|Свет (выход 8)|выкл|вкл на 4 с|Button"}));
}

using GridTest = ProcessFixture;

TEST_F(GridTest, currentValuesAreStaleWhileTheModuleIsSilentOrTheReadingInvalid) {
  TVortaProcess& p = AddProcess(1, "Board1");
  InjectCodes(1500, 1500, 1500, 1500);
  p.Channel[2].ReadingInvalid = 1;
  for (int col = 1; col <= 4; ++col) {
    EXPECT_EQ(GridCellStale(p, 1, col), col == 2) << col;
    EXPECT_FALSE(GridCellStale(p, 6, col)) << "the module's codes are live";
  }
  p.Channel[2].ReadingInvalid = 0;
  time_.AdvanceBy(10'000);  // the link timeout without a frame
  for (int row = 0; row <= 6; ++row) {
    for (int col = 0; col <= 4; ++col) {
      EXPECT_EQ(GridCellStale(p, row, col), (row == 1 || row == 6) && col >= 1) << row << col;
    }
  }
  InjectCodes(1500, 1500, 1500, 1500);
  EXPECT_FALSE(GridCellStale(p, 1, 1)) << "live again once it answers";
  EXPECT_FALSE(GridCellStale(p, 6, 1));
}

}  // namespace
}  // namespace vorta::testing
