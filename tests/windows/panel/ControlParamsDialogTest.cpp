#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "JournalRows.h"
#include "process/OutputChannels.h"
#include "tests/windows/panel/DialogFixture.h"
#include "windows/dialogs/ControlParamsDialog.h"

namespace vorta::testing {
namespace {

using ControlParamsDialogTest = DialogFixture;
using F = TCtrlFields;

const QString kCtrl = QStringLiteral("Параметры управления");

TControlParamsDialog* OpenCtrl(DialogFixture& fx, TVortaProcess& p, const char* item) {
  QAction* a = DialogFixture::Panel(p).MenuItem({kCtrl, QString::fromUtf8(item)});
  if (a == nullptr) return nullptr;
  a->trigger();
  (void)fx;
  return DialogFixture::Panel(p).Windows().ControlParams.Window<TControlParamsDialog>();
}

TEST_F(ControlParamsDialogTest, channelVariantShowsItsPagesAndFields) {
  TVortaProcess& p = AddProcess(1);
  p.Channel[2].Config.CtrlPeriod = 10;
  p.Channel[2].Config.GainUp = 2.25;
  p.Channel[2].Config.CtrlEnable = 1;
  TControlParamsDialog* d = OpenCtrl(*this, p, "t°C");
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(Windows(p).ControlParams.IsOpen());
  EXPECT_EQ(p.DialogSelector, 2);
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Параметры управления - tC - F1"));
  EXPECT_TRUE(d->PageShown(TControlParamsDialog::StandardPage));
  EXPECT_TRUE(d->PageShown(TControlParamsDialog::EventsPage));
  for (auto page : {TControlParamsDialog::TimersPage, TControlParamsDialog::Po2Page,
                    TControlParamsDialog::HeatingPage, TControlParamsDialog::PumpsPage,
                    TControlParamsDialog::FoamPage}) {
    EXPECT_FALSE(d->PageShown(page)) << page;
  }
  EXPECT_EQ(d->Pages()->currentIndex(), TControlParamsDialog::StandardPage);
  EXPECT_EQ(d->Edit(&F::Period)->text(), QStringLiteral("10"));
  EXPECT_EQ(d->Edit(&F::Low)->text(), QStringLiteral("-100.00"));
  EXPECT_EQ(d->Edit(&F::DeadZone)->text(), QStringLiteral("0.05"));
  EXPECT_EQ(d->Edit(&F::GainUp)->text(), QStringLiteral("2.3")) << "pattern 0.0";
  EXPECT_TRUE(d->Check(&F::Enable)->isChecked());
  EXPECT_EQ(d->pos(), Form(p).pos() + QPoint(20, 20));
  Shot(*d, QStringLiteral("ctrl-channel"));

  // pH, t°C and pO2 wait while a dialog is open; eH does not.
  EXPECT_EQ(OpenCtrl(*this, p, "pO2"), d);
  EXPECT_EQ(p.DialogSelector, 2);
  TControlParamsDialog* second = OpenCtrl(*this, p, "eH");
  EXPECT_NE(second, d);
  EXPECT_EQ(second->Entry(), 4);
  QTest::mouseClick(second->CancelButton(), Qt::LeftButton);
  QTest::mouseClick(d->CancelButton(), Qt::LeftButton);
  EXPECT_FALSE(Windows(p).ControlParams.IsOpen());
  EXPECT_EQ(p.Channel[2].Config.CtrlPeriod, 10);
  EXPECT_TRUE(p.SaveRequest.Empty());
}

TEST_F(ControlParamsDialogTest, okWithRegulationDisabledSwitchesOutputsOffAndWritesGroup22) {
  TVortaProcess& p = AddProcess(1);
  p.Channel[1].Config.CtrlEnable = 1;
  p.OutputWord = 0xC7FF;
  p.ManualState.fill(1);
  TControlParamsDialog* d = OpenCtrl(*this, p, "pH");
  ASSERT_NE(d, nullptr);
  d->Check(&F::Enable)->setChecked(false);
  d->Edit(&F::Period)->setText(QStringLiteral("7.9"));
  d->Edit(&F::High)->setText(QStringLiteral("8.5"));
  d->Edit(&F::GainDown)->setText(QStringLiteral("1.5"));
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);

  EXPECT_FALSE(d->isVisible());
  EXPECT_FALSE(Windows(p).ControlParams.IsOpen());
  EXPECT_EQ(p.Channel[1].Config.CtrlEnable, 0);
  EXPECT_EQ(p.Channel[1].Config.CtrlPeriod, 6) << "truncated and made even";
  EXPECT_EQ(p.Channel[1].Config.CtrlHigh, 8.5);
  // Bits 0..10 off, 11..15 kept; then foam level 0 gives output 12 off and 13 on.
  EXPECT_EQ(p.OutputWord, 0xD000);
  time_.AdvanceBy(2000);  // the frame queue sends one frame per 20 ms
  EXPECT_EQ(LastSentWord(), 0xD000);
  for (size_t k = 1; k <= 8; ++k) EXPECT_EQ(p.ManualState[k], 0) << k;
  EXPECT_EQ(p.SaveRequest, TPendingWriteBack(TWriteBackGroup::ControlParameters));

  MeasurementTick();
  const QString file = QStringLiteral("proc1.ini");
  EXPECT_TRUE(p.SaveRequest.Empty());
  EXPECT_EQ(Line(file, QStringLiteral("CtrlpH"), 1), QStringLiteral("Per=6"));
  EXPECT_EQ(Line(file, QStringLiteral("CtrlpH"), 4), QStringLiteral("En=0"));
  EXPECT_EQ(Line(file, QStringLiteral("CtrlpH"), 6), QStringLiteral("High=8.50"));
  EXPECT_EQ(Line(file, QStringLiteral("CtrlpH"), 9), QStringLiteral("GDown=1.50"));
  const QByteArray text = ReadFile(file);
  EXPECT_TRUE(text.contains("Spumelevel=0")) << text.toStdString();
  EXPECT_TRUE(text.contains("eppperiod=0"));
}

TEST_F(ControlParamsDialogTest, okJournalsTheFieldsThatChangedAndNothingWhenNoneDid) {
  TVortaProcess& p = AddProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  p.Channel[2].Config.CtrlPeriod = 10;  // even: stored as shown
  TControlParamsDialog* d = OpenCtrl(*this, p, "t°C");
  ASSERT_NE(d, nullptr);
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(journal.Changes(), QStringList());

  d = OpenCtrl(*this, p, "t°C");
  ASSERT_NE(d, nullptr);
  d->Edit(&F::High)->setText(QStringLiteral("39.5"));
  d->Edit(&F::Period)->setText(QStringLiteral("7"));
  d->Check(&F::Enable)->setChecked(true);
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(
      journal.Changes(),
      (QStringList{"1 F1|[CtrltC] #1 Период|10|6|Panel", "1 F1|[CtrltC] #4 Регулирование|0|1|Panel",
                   "1 F1|[CtrltC] #6 Верхняя граница|100.00|39.50|Panel"}));
}

TEST_F(ControlParamsDialogTest, commonVariantHalvesTimerSecondsAndStoresEntry5) {
  TVortaProcess& p = AddProcess(1);
  p.Epp.Period = 30;
  p.Epp.Max = 62;
  p.Epp.Count = 17;
  p.Epp.ChName = QStringLiteral("Подпитка 1");
  p.Events1.Period = 2 * 3600 + 5 * 60 + 7;
  p.Events1.Work = 40;
  p.Channel[5].Config.CtrlEnable = 1;
  TControlParamsDialog* d = OpenCtrl(*this, p, "Общие");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Параметры управления общие"));
  EXPECT_FALSE(d->PageShown(TControlParamsDialog::StandardPage));
  EXPECT_TRUE(d->PageShown(TControlParamsDialog::TimersPage));
  EXPECT_TRUE(d->PageShown(TControlParamsDialog::Po2Page));
  EXPECT_TRUE(d->PageShown(TControlParamsDialog::FoamPage)) << "Existpena=1";
  EXPECT_EQ(d->Pages()->currentIndex(), TControlParamsDialog::TimersPage);
  EXPECT_EQ(d->Edit(&F::EppPeriod)->text(), QStringLiteral("60"));
  EXPECT_EQ(d->Edit(&F::Ev1Hours)->text(), QStringLiteral("2"));
  EXPECT_EQ(d->Edit(&F::Ev1Minutes)->text(), QStringLiteral("5"));
  Shot(*d, QStringLiteral("ctrl-common"));
  d->Pages()->setCurrentIndex(TControlParamsDialog::EventsPage);
  Shot(*d, QStringLiteral("ctrl-events"));
  d->Pages()->setCurrentIndex(TControlParamsDialog::Po2Page);
  Shot(*d, QStringLiteral("ctrl-po2"));
  d->Pages()->setCurrentIndex(TControlParamsDialog::TimersPage);

  // Up adds 2 while below Max: from 61 it ends at 63; down stops at 0 or below.
  d->Edit(&F::EppPeriod)->setText(QStringLiteral("59"));
  for (int i = 0; i < 3; ++i) QTest::mouseClick(d->SpinButton(1, true), Qt::LeftButton);
  EXPECT_EQ(d->Edit(&F::EppPeriod)->text(), QStringLiteral("63"));
  d->Edit(&F::EppWork)->setText(QStringLiteral("1"));
  for (int i = 0; i < 2; ++i) QTest::mouseClick(d->SpinButton(2, false), Qt::LeftButton);
  EXPECT_EQ(d->Edit(&F::EppWork)->text(), QStringLiteral("-1"));
  EXPECT_EQ(p.Epp.Period, 30) << "spin buttons act on the text only";

  d->Edit(&F::EppPeriod)->setText(QStringLiteral("7"));
  d->Edit(&F::EppWork)->setText(QStringLiteral("5"));
  // A negative period is refused; the layer's words name the field.
  d->Edit(&F::MedPeriod)->setText(QStringLiteral("-3"));
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  ASSERT_EQ(messages_.Errors.size(), 1);
  EXPECT_TRUE(messages_.Errors[0].contains(QStringLiteral("«-3»")));
  EXPECT_EQ(p.Epp.Period, 30);
  messages_.Errors.clear();
  d->Edit(&F::MedPeriod)->setText(QStringLiteral("3"));
  d->Edit(&F::Ev1Hours)->setText(QStringLiteral("0"));
  d->Edit(&F::Ev1Minutes)->setText(QStringLiteral("0"));
  d->Edit(&F::Ev1Work)->setText(QStringLiteral("x"));
  d->Edit(&F::Ev2Hours)->setText(QStringLiteral("1"));
  d->Edit(&F::Ev2Minutes)->setText(QStringLiteral("30"));
  d->Check(&F::Ev2Aperiod)->setChecked(true);
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  ASSERT_TRUE(messages_.Errors.isEmpty()) << messages_.Errors.join(u'\n').toStdString();
  EXPECT_EQ(p.Epp.Period, 3) << "seconds halved toward zero";
  EXPECT_EQ(p.Epp.Work, 2);
  EXPECT_EQ(p.Epp.Count, 0);
  EXPECT_EQ(p.Med.Period, 1);
  EXPECT_EQ(p.Events1.Period, 2 * 3600 + 5 * 60 + 7) << "0 h 0 min keeps the period";
  EXPECT_EQ(p.Events1.Work, 40) << "a work time that is not a number keeps the old one";
  EXPECT_EQ(p.Events2.Period, 5400);
  EXPECT_EQ(p.Events2.Aperiod, 1);
  EXPECT_EQ(p.Channel[5].Config.CtrlEnable, 1);
  EXPECT_EQ(p.SaveRequest, TPendingWriteBack(TWriteBackGroup::ControlParameters));
}

// The event fields show whole minutes: an OK that leaves them as shown keeps
// the seconds of the period; a changed one is stored as entered.
TEST_F(ControlParamsDialogTest, eventPeriodLeftAsShownKeepsItsSeconds) {
  TVortaProcess& p = AddProcess(1);
  p.Events1.Period = 90;
  p.Events2.Period = 3600 + 45;
  TControlParamsDialog* d = OpenCtrl(*this, p, "pH");
  ASSERT_NE(d, nullptr);
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(p.Events1.Period, 90);
  EXPECT_EQ(p.Events2.Period, 3645);
  d = OpenCtrl(*this, p, "Общие");
  ASSERT_NE(d, nullptr);
  d->Edit(&F::Ev1Minutes)->setText(QStringLiteral("2"));
  d->Edit(&F::Ev2Hours)->setText(QStringLiteral("0"));
  d->Edit(&F::Ev2Minutes)->setText(QStringLiteral("60"));
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(p.Events1.Period, 120);
  EXPECT_EQ(p.Events2.Period, 3600) << "the same hour entered another way is a change";
}

TEST_F(ControlParamsDialogTest, foamSpinActsAtOnceAndOkResendsOutputs12And13) {
  TVortaProcess& p = AddProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  ASSERT_EQ(p.Config.Spumelevel, 0);
  const std::uint16_t word = p.OutputWord;
  TControlParamsDialog* d = OpenCtrl(*this, p, "Общие");
  ASSERT_NE(d, nullptr);
  d->Pages()->setCurrentIndex(TControlParamsDialog::FoamPage);
  Shot(*d, QStringLiteral("ctrl-foam"));
  for (int i = 0; i < 3; ++i) QTest::mouseClick(d->SpinButton(9, true), Qt::LeftButton);
  EXPECT_EQ(p.Config.Spumelevel, 2) << "stops at 2";
  QTest::mouseClick(d->SpinButton(9, false), Qt::LeftButton);
  EXPECT_EQ(p.Config.Spumelevel, 1);
  QTest::mouseClick(d->CancelButton(), Qt::LeftButton);
  EXPECT_EQ(p.Config.Spumelevel, 1) << "kept after Отмена";
  EXPECT_EQ(p.OutputWord, word) << "outputs wait for OK";

  d = OpenCtrl(*this, p, "Общие");
  ASSERT_NE(d, nullptr);
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(p.FoamLevelOut12, 1);
  EXPECT_EQ(p.FoamLevelOut13, 0);
  EXPECT_NE(p.OutputWord & (1U << 11), 0U);
  EXPECT_EQ(p.OutputWord & (1U << 12), 0U);
  // Each step that moved the level, when it moved it; the click at 2 did not.
  EXPECT_EQ(journal.Changes(), (QStringList{"1 F1|[Ctrlspume] Spumelevel|0|1|Panel",
                                            "1 F1|[Ctrlspume] Spumelevel|1|2|Panel",
                                            "1 F1|[Ctrlspume] Spumelevel|2|1|Panel"}));
}

TEST_F(ControlParamsDialogTest, unreadableOrOutOfRangeTextIsRefusedByNameAndNothingStored) {
  TVortaProcess& p = AddProcess(1);
  p.Channel[3].Config.CtrlPeriod = 20;
  p.OutputWord = 0x0007;
  TControlParamsDialog* d = OpenCtrl(*this, p, "pO2");
  ASSERT_NE(d, nullptr);
  d->show();
  d->Check(&F::Enable)->setChecked(false);
  d->Edit(&F::Period)->setText(QStringLiteral("12"));
  d->Edit(&F::DeadZone)->setText(QStringLiteral("0,5"));
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  ASSERT_EQ(messages_.Errors.size(), 1);
  EXPECT_TRUE(messages_.Errors[0].contains(QStringLiteral("Зона нечувствительности")))
      << messages_.Errors[0].toStdString();
  EXPECT_EQ(p.Channel[3].Config.CtrlPeriod, 20);
  EXPECT_EQ(p.OutputWord, 0x0007) << "no output switched";
  EXPECT_TRUE(p.SaveRequest.Empty());
  EXPECT_TRUE(d->isVisible());
  EXPECT_TRUE(Windows(p).ControlParams.IsOpen());

  // A negative period would wrap in the 16-bit field.
  d->Edit(&F::DeadZone)->setText(QStringLiteral("0.5"));
  d->Edit(&F::Period)->setText(QStringLiteral("-3"));
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  ASSERT_EQ(messages_.Errors.size(), 2);
  EXPECT_TRUE(messages_.Errors[1].contains(QStringLiteral("Период")))
      << messages_.Errors[1].toStdString();
  EXPECT_EQ(p.Channel[3].Config.CtrlPeriod, 20);

  d->Edit(&F::Period)->setText(QStringLiteral("70000"));
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(messages_.Errors.size(), 3);
  EXPECT_EQ(p.Channel[3].Config.CtrlPeriod, 20);

  // Event hours that overflow the period.
  d->Edit(&F::Period)->setText(QStringLiteral("12"));
  d->Edit(&F::Ev2Hours)->setText(QStringLiteral("900000"));
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  ASSERT_EQ(messages_.Errors.size(), 4);
  EXPECT_TRUE(messages_.Errors[3].contains(QStringLiteral("час.")))
      << messages_.Errors[3].toStdString();

  d->Edit(&F::Ev2Hours)->setText(QStringLiteral("0"));
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(messages_.Errors.size(), 4);
  EXPECT_EQ(p.Channel[3].Config.CtrlPeriod, 12);
  EXPECT_EQ(p.Channel[3].Config.DeadZone, 0.5);
}

// The selector may be changed by another dialog opened meanwhile (the common
// parameters set 5): OK still stores into the channel the dialog shows.
TEST_F(ControlParamsDialogTest, okStoresIntoTheEntryItWasOpenedFor) {
  TVortaProcess& p = AddProcess(1);
  TControlParamsDialog* d = OpenCtrl(*this, p, "pO2");
  ASSERT_NE(d, nullptr);
  p.DialogSelector = 5;
  d->Edit(&F::Period)->setText(QStringLiteral("9"));
  QTest::mouseClick(d->OkButton(), Qt::LeftButton);
  EXPECT_EQ(p.Channel[3].Config.CtrlPeriod, 8);
  EXPECT_EQ(p.Channel[5].Config.CtrlPeriod, 0);
}

TEST(CtrlUnitTest, makeEvenHalvesTowardZeroAndSpinTextNeedsAWholeNumber) {
  EXPECT_EQ(MakeEven(7), 6);
  EXPECT_EQ(MakeEven(-3), -2);
  EXPECT_EQ(MakeEven(8), 8);
  EXPECT_EQ(SpinTimerText(QStringLiteral("4"), 4, true), std::nullopt);
  EXPECT_EQ(SpinTimerText(QStringLiteral("0"), 4, false), std::nullopt);
  EXPECT_EQ(SpinTimerText(QStringLiteral("abc"), 4, true), std::nullopt);
  EXPECT_EQ(SpinTimerText(QStringLiteral("3"), 4, true), QStringLiteral("5"));
  EXPECT_EQ(FoamLevelName(3), std::nullopt);
}

}  // namespace
}  // namespace vorta::testing
