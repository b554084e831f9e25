#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "JournalRows.h"
#include "commands/Commands.h"
#include "commands/Setpoints.h"
#include "tests/windows/panel/DialogFixture.h"
#include "windows/dialogs/SetpointsDialog.h"

namespace vorta::testing {
namespace {

using SetpointsDialogTest = DialogFixture;

void Type(TSetpointsDialog& d, const QStringList& texts) {
  for (int k = 1; k <= 4; ++k) d.Edit(k)->setText(texts[k - 1]);
}

TEST_F(SetpointsDialogTest, okStoresSetpointsShowsTheValuesTakenAndWritesFileAtNextTick) {
  TVortaProcess& p = AddProcess(1);
  Menu(p, {QStringLiteral("Уставки")});
  auto* d = Opened<TSetpointsDialog>(Windows(p).Setpoints);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(Windows(p).Setpoints.IsOpen());
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Уставки"));
  EXPECT_EQ(d->Edit(2)->text(), QStringLiteral("37.50"));
  EXPECT_EQ(d->Edit(4)->text(), QStringLiteral("-1.50"));
  EXPECT_EQ(d->pos(), Form(p).pos() + QPoint(20, 20));
  Shot(*d, QStringLiteral("setpoints"));

  Type(*d,
       {QStringLiteral("6,5"), QStringLiteral("37"), QStringLiteral("40"), QStringLiteral("-50")});
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(p.Channel[1].Config.Setpoint, 6.5);
  EXPECT_EQ(p.Channel[2].Config.Setpoint, 37.0);
  EXPECT_EQ(p.Channel[3].Config.Setpoint, 40.0);
  EXPECT_EQ(p.Channel[4].Config.Setpoint, -50.0);
  EXPECT_EQ(p.SaveRequest, TPendingWriteBack(TWriteBackGroup::Setpoints));
  EXPECT_FALSE(Windows(p).Setpoints.IsOpen());
  EXPECT_FALSE(d->isVisible());
  QTableWidget* grid = Form(p).ValueGrid();
  EXPECT_EQ(grid->item(2, 1)->text(), QStringLiteral("6.50")) << "the value taken, not the text";
  EXPECT_EQ(grid->item(2, 4)->text(), QStringLiteral("-50.00"));

  const QString file = QStringLiteral("proc1.ini");
  EXPECT_EQ(Line(file, QStringLiteral("pH"), 1), QStringLiteral("Set=7.00")) << "not yet";
  MeasurementTick();
  EXPECT_TRUE(p.SaveRequest.Empty());
  EXPECT_EQ(Line(file, QStringLiteral("pH"), 1), QStringLiteral("Set=6.50"));
  EXPECT_EQ(Line(file, QStringLiteral("tC"), 1), QStringLiteral("Set=37.00"));
  EXPECT_EQ(Line(file, QStringLiteral("pO2"), 1), QStringLiteral("Set=40.00"));
  EXPECT_EQ(Line(file, QStringLiteral("eH"), 1), QStringLiteral("Set=-50.00"));
  EXPECT_EQ(Line(file, QStringLiteral("eH"), 2), QStringLiteral("Lin=0.00"));
}

TEST_F(SetpointsDialogTest, aSetpointOutsideTheChannelsRangeIsRefusedInTheCommandLayersWords) {
  TVortaProcess& p = AddProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  p.Channel[1].Config.MinValue = 0;
  p.Channel[1].Config.MaxValue = 14;
  Menu(p, {QStringLiteral("Уставки")});
  auto* d = Opened<TSetpointsDialog>(Windows(p).Setpoints);
  ASSERT_NE(d, nullptr);
  Type(*d, {QStringLiteral("99"), d->Edit(2)->text(), d->Edit(3)->text(), d->Edit(4)->text()});
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  ASSERT_EQ(messages_.Errors.size(), 1);
  // vorta ctl answers with the same text (tests/app ProgramRunTest).
  EXPECT_EQ(messages_.Errors[0],
            QStringLiteral("Уставка pH 99.00 вне пределов измерения канала: 0.00..14.00"));
  EXPECT_EQ(messages_.Errors[0],
            SetSetpoint(p, TCaller::Command(QStringLiteral("anna")), 1, QStringLiteral("99")).Text);
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(p.Channel[1].Config.Setpoint, 7.0);
  // Taken, the change names the panel in the journal.
  Type(*d, {QStringLiteral("6,5"), d->Edit(2)->text(), d->Edit(3)->text(), d->Edit(4)->text()});
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(journal.Changes(), QStringList{QStringLiteral("1 F1|[pH] #1 Уставка|7.00|6.50|Panel")});
}

TEST_F(SetpointsDialogTest, linearAdjustmentLeavesGridAndSetpointsAndRequestsCode7) {
  TVortaProcess& p = AddProcess(1);
  p.Channel[3].Config.LinAdjust = 0.25;
  Menu(p, {QStringLiteral("Линейная подстройка")});
  auto* d = Opened<TSetpointsDialog>(Windows(p).Setpoints);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Линейная подстройка"));
  EXPECT_EQ(d->Edit(3)->text(), QStringLiteral("0.25"));
  Type(*d,
       {QStringLiteral("0.1"), QStringLiteral("-0.5"), QStringLiteral("0"), QStringLiteral("3")});
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(p.Channel[1].Config.LinAdjust, 0.1);
  EXPECT_EQ(p.Channel[2].Config.LinAdjust, -0.5);
  EXPECT_EQ(p.Channel[1].Config.Setpoint, 7.0);
  EXPECT_EQ(p.SaveRequest, TPendingWriteBack(TWriteBackGroup::LinearAdjustment));
  EXPECT_EQ(Form(p).ValueGrid()->item(2, 1)->text(), QStringLiteral("7.00"));
  MeasurementTick();
  EXPECT_EQ(Line(QStringLiteral("proc1.ini"), QStringLiteral("tC"), 2),
            QStringLiteral("Lin=-0.50"));
  EXPECT_EQ(Line(QStringLiteral("proc1.ini"), QStringLiteral("tC"), 1),
            QStringLiteral("Set=37.50"));
}

TEST_F(SetpointsDialogTest, okJournalsEachChangedValueAsTheFileWillHoldIt) {
  TVortaProcess& p = AddProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  Menu(p, {QStringLiteral("Уставки")});
  auto* d = Opened<TSetpointsDialog>(Windows(p).Setpoints);
  ASSERT_NE(d, nullptr);
  // "37.5" is the value shown as "37.50": no change.
  Type(*d, {QStringLiteral("7,25"), QStringLiteral("37.5"), QStringLiteral("30.00"),
            QStringLiteral("-1.50")});
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  Menu(p, {QStringLiteral("Линейная подстройка")});
  d = Opened<TSetpointsDialog>(Windows(p).Setpoints);
  ASSERT_NE(d, nullptr);
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(journal.Changes(), QStringList{QStringLiteral("1 F1|[pH] #1 Уставка|7.00|7.25|Panel")});
}

TEST_F(SetpointsDialogTest, notANumberIsRefusedByNameAndNothingIsStored) {
  TVortaProcess& p = AddProcess(1);
  p.SaveRequest.Add(TWriteBackGroup::Mode);
  Menu(p, {QStringLiteral("Уставки")});
  auto* d = Opened<TSetpointsDialog>(Windows(p).Setpoints);
  ASSERT_NE(d, nullptr);
  d->show();
  Type(*d,
       {QStringLiteral("7.4"), QStringLiteral("3x7"), QStringLiteral("40"), QStringLiteral("1")});
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  ASSERT_EQ(messages_.Errors.size(), 1);
  EXPECT_TRUE(messages_.Errors[0].contains(QStringLiteral("t°C:")))
      << messages_.Errors[0].toStdString();
  EXPECT_TRUE(messages_.Errors[0].contains(QStringLiteral("3x7")));
  EXPECT_EQ(p.Channel[1].Config.Setpoint, 7.0) << "edit 1 was valid, but nothing is stored";
  EXPECT_EQ(p.SaveRequest, TPendingWriteBack(TWriteBackGroup::Mode));
  EXPECT_TRUE(Windows(p).Setpoints.IsOpen()) << "the dialog stays for a correction";
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(Form(p).ValueGrid()->item(2, 1)->text(), QStringLiteral("7.00"));

  // A comma is taken for the decimal point.
  d->Edit(2)->setText(QStringLiteral("36,6"));
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(p.Channel[2].Config.Setpoint, 36.6);
  EXPECT_EQ(p.Channel[1].Config.Setpoint, 7.4);
  EXPECT_FALSE(Windows(p).Setpoints.IsOpen());
}

TEST_F(SetpointsDialogTest, cancelKeepsEverythingAndOneDialogAtATime) {
  TVortaProcess& p = AddProcess(1);
  p.SaveRequest.Add(TWriteBackGroup::Mode);
  Menu(p, {QStringLiteral("Уставки")});
  auto* first = Opened<TSetpointsDialog>(Windows(p).Setpoints);
  ASSERT_NE(first, nullptr);
  Menu(p, {QStringLiteral("Линейная подстройка")});
  EXPECT_EQ(Opened<TSetpointsDialog>(Windows(p).Setpoints), first)
      << "both items wait while one is open";
  EXPECT_EQ(p.DialogSelector, 1);
  first->Edit(1)->setText(QStringLiteral("9"));
  QTest::mouseClick(first->CancelButton(), Qt::LeftButton);
  EXPECT_EQ(p.Channel[1].Config.Setpoint, 7.0);
  EXPECT_EQ(p.SaveRequest, TPendingWriteBack(TWriteBackGroup::Mode));
  EXPECT_FALSE(Windows(p).Setpoints.IsOpen());

  Menu(p, {QStringLiteral("Линейная подстройка")});
  EXPECT_NE(Opened<TSetpointsDialog>(Windows(p).Setpoints), nullptr);
  EXPECT_EQ(p.DialogSelector, 2);
}

// Another dialog of the process changes the shared selector while this one
// is open: the values still go where the caption said.
TEST_F(SetpointsDialogTest, okStoresByTheModeItWasOpenedIn) {
  TVortaProcess& p = AddProcess(1);
  Menu(p, {QStringLiteral("Линейная подстройка")});
  auto* d = Opened<TSetpointsDialog>(Windows(p).Setpoints);
  ASSERT_NE(d, nullptr);
  p.DialogSelector = 1;  // as "Параметры управления" → "pH" sets it
  Type(*d, {QStringLiteral("0.5"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")});
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(p.Channel[1].Config.LinAdjust, 0.5);
  EXPECT_EQ(p.Channel[1].Config.Setpoint, 7.0);
  EXPECT_EQ(p.SaveRequest, TPendingWriteBack(TWriteBackGroup::LinearAdjustment));
}

}  // namespace
}  // namespace vorta::testing
