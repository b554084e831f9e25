// The calibration dialog over a real panel: opening from the menu, fixing a
// code, entering or abandoning a value, saving and closing.

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "JournalRows.h"
#include "process/CalibIndication.h"
#include "process/ConfigWriteBack.h"
#include "tests/windows/panel/CalibrationPanelFixture.h"
#include "windows/dialogs/CalibrationForm.h"

namespace vorta::testing {
namespace {

const char* const kItems[] = {"", "pH", "t°C", "pO2", "eH"};

class CalibrationDialogTest : public CalibrationPanelFixture {
 protected:
  TCalibrationForm* Open(int channel) {
    QAction* item =
        Panel().MenuItem({QStringLiteral("Калибровка"), QString::fromUtf8(kItems[channel])});
    if (item == nullptr) return nullptr;
    item->trigger();
    auto* form = Panel().Windows().Calibration.Window<TCalibrationForm>();
    if (form != nullptr) form->OnWarning = [this](const QString& t) { warnings_ << t; };
    return form;
  }

  // Shown and active, so that focus can be checked.
  static void Activate(TCalibrationForm& form) {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }

  static void Type(QLineEdit* edit, const QString& text, Qt::Key key) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, key);
  }

  void ExpectWorkIsStored(int n) {
    const TVortaProcess& p = Process();
    const auto i = static_cast<size_t>(n);
    EXPECT_DOUBLE_EQ(p.CalWork.Value1, p.Channel[i].Config.CalValue1);
    EXPECT_DOUBLE_EQ(p.CalWork.Value2, p.Channel[i].Config.CalValue2);
    EXPECT_EQ(p.CalWork.Adc1, p.Channel[i].Config.CalAdc1);
    EXPECT_EQ(p.CalWork.Adc2, p.Channel[i].Config.CalAdc2);
  }

  QStringList warnings_;
};

TEST_F(CalibrationDialogTest, MenuOpensOneDialogForTheChannelBesideThePanel) {
  Panel().move(300, 200);
  TCalibrationForm* form = Open(2);
  ASSERT_NE(form, nullptr);
  TVortaProcess& p = Process();
  EXPECT_EQ(p.DialogSelector, 2);
  EXPECT_TRUE(Panel().Windows().Calibration.IsOpen());
  EXPECT_EQ(p.CalibLive, 1);
  EXPECT_EQ(p.CalibView, form);
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Калибровка - tC"));
  EXPECT_EQ(form->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_EQ(form->pos(), QPoint(320, 220));
  Shot(*form, QStringLiteral("calibration-tc"));
  EXPECT_EQ(form->Edit(1)->text(), QStringLiteral("4.00"));
  EXPECT_EQ(form->Edit(2)->text(), QStringLiteral("9.00"));
  EXPECT_EQ(form->CodeLabel(1)->text(), QStringLiteral("1000"));
  EXPECT_EQ(form->CodeLabel(2)->text(), QStringLiteral("3000"));
  EXPECT_FALSE(form->Edit(1)->isEnabled());
  EXPECT_FALSE(form->Edit(2)->isEnabled());
  EXPECT_EQ(form->SelectedPoint(), 1);

  // While it is open the items do nothing.
  EXPECT_EQ(Open(1), form);
  EXPECT_EQ(p.DialogSelector, 2);
}

TEST_F(CalibrationDialogTest, LiveCodeBlinksThenFixationFreezesItForTheEnteredPoint) {
  TCalibrationForm* form = Open(1);
  ASSERT_NE(form, nullptr);
  TVortaProcess& p = Process();
  p.Channel[1].AdcCode = 1234;
  IndicateCalibration(p);
  EXPECT_EQ(form->CodeLabel(1)->text(), QStringLiteral("1234"));
  EXPECT_EQ(form->CodeLabel(2)->text(), QStringLiteral("3000"));
  const QColor first = form->Edit(1)->palette().color(QPalette::Base);
  Shot(*form, QStringLiteral("calibration-ph-blink"));
  IndicateCalibration(p);
  EXPECT_NE(form->Edit(1)->palette().color(QPalette::Base), first);

  Activate(*form);
  QTest::mouseClick(form->FixButton(), Qt::LeftButton);
  EXPECT_EQ(p.CalibLive, 0);
  EXPECT_FALSE(Panel().ControlsEnabled());
  EXPECT_FALSE(form->SaveButton()->isEnabled());
  EXPECT_FALSE(form->RadioButton(2)->isEnabled());
  EXPECT_TRUE(form->Edit(1)->isEnabled());
  EXPECT_EQ(QApplication::focusWidget(), form->Edit(1));
  Shot(*form, QStringLiteral("calibration-ph-fixed"));

  p.Channel[1].AdcCode = 2222;
  IndicateCalibration(p);
  EXPECT_EQ(form->CodeLabel(1)->text(), QStringLiteral("1234"));

  Type(form->Edit(1), QStringLiteral("7.1"), Qt::Key_Return);
  EXPECT_TRUE(warnings_.isEmpty()) << warnings_.join(u'|').toStdString();
  EXPECT_DOUBLE_EQ(p.CalWork.Value1, 7.1);
  EXPECT_EQ(p.CalWork.Adc1, 1234);
  EXPECT_EQ(p.CalWork.Adc2, 3000);
  EXPECT_EQ(p.CalibLive, 1);
  EXPECT_TRUE(Panel().ControlsEnabled());
  EXPECT_FALSE(form->Edit(1)->isEnabled());
  // Nothing is stored before "Сохранить".
  EXPECT_EQ(p.Channel[1].Config.CalAdc1, 1000);
}

TEST_F(CalibrationDialogTest, TextWithALetterWarnsAtPosition4AndStaysFixed) {
  TCalibrationForm* form = Open(1);
  ASSERT_NE(form, nullptr);
  Activate(*form);
  QTest::mouseClick(form->FixButton(), Qt::LeftButton);
  Type(form->Edit(1), QStringLiteral("7.0x"), Qt::Key_Enter);
  EXPECT_EQ(warnings_, QStringList{QStringLiteral("Ошибка в позиции 4 \"7.0x\"")});
  EXPECT_TRUE(form->Edit(1)->isEnabled());
  EXPECT_EQ(QApplication::focusWidget(), form->Edit(1));
  EXPECT_FALSE(Panel().ControlsEnabled());
  EXPECT_EQ(Process().CalibLive, 0);
  ExpectWorkIsStored(1);
}

TEST_F(CalibrationDialogTest, LimitValuesAreTakenAndJustOutsideRefused) {
  TCalibrationForm* form = Open(1);
  ASSERT_NE(form, nullptr);
  Activate(*form);
  TVortaProcess& p = Process();
  QTest::mouseClick(form->FixButton(), Qt::LeftButton);
  Type(form->Edit(1), QStringLiteral("12.51"), Qt::Key_Return);
  EXPECT_EQ(warnings_, QStringList{QStringLiteral("Ошибка предела \rmin=2.00, max=12.50")});
  EXPECT_TRUE(form->Edit(1)->isEnabled());
  Type(form->Edit(1), QStringLiteral("12.5"), Qt::Key_Return);
  EXPECT_DOUBLE_EQ(p.CalWork.Value1, 12.5);

  form->RadioButton(2)->click();
  EXPECT_EQ(form->SelectedPoint(), 2);
  QTest::mouseClick(form->FixButton(), Qt::LeftButton);
  EXPECT_TRUE(form->Edit(2)->isEnabled());
  Type(form->Edit(2), QStringLiteral("1.99"), Qt::Key_Return);
  EXPECT_EQ(warnings_.size(), 2);
  Type(form->Edit(2), QStringLiteral("2"), Qt::Key_Return);
  EXPECT_EQ(warnings_.size(), 2);
  EXPECT_DOUBLE_EQ(p.CalWork.Value2, 2.0);
}

TEST_F(CalibrationDialogTest, EscapeAfterFixationChangesNothingAndResumesTheLiveCode) {
  TCalibrationForm* form = Open(1);
  ASSERT_NE(form, nullptr);
  Activate(*form);
  TVortaProcess& p = Process();
  p.Channel[1].AdcCode = 1500;
  IndicateCalibration(p);
  QTest::mouseClick(form->FixButton(), Qt::LeftButton);
  Type(form->Edit(1), QStringLiteral("5.5"), Qt::Key_Escape);
  ExpectWorkIsStored(1);
  EXPECT_EQ(p.CalibLive, 1);
  EXPECT_TRUE(Panel().ControlsEnabled());
  EXPECT_TRUE(form->FixButton()->isEnabled());
  EXPECT_FALSE(form->Edit(1)->isEnabled());
  EXPECT_EQ(form->Edit(1)->text(), QStringLiteral("4.00"));
  EXPECT_TRUE(warnings_.isEmpty());
  p.Channel[1].AdcCode = 1600;
  IndicateCalibration(p);
  EXPECT_EQ(form->CodeLabel(1)->text(), QStringLiteral("1600"));
}

TEST_F(CalibrationDialogTest, SaveRightAfterOpeningClearsTheAdjustmentAndWritesTheStoredPoints) {
  TCalibrationForm* form = Open(1);
  ASSERT_NE(form, nullptr);
  TVortaProcess& p = Process();
  const QByteArray before = ReadFile(QStringLiteral("proc1.ini"));
  ASSERT_DOUBLE_EQ(p.Channel[1].Config.LinAdjust, 0.35);
  QTest::mouseClick(form->SaveButton(), Qt::LeftButton);
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.LinAdjust, 0.0);
  EXPECT_DOUBLE_EQ(p.Channel[2].Config.LinAdjust, 0.35);
  EXPECT_EQ(p.SaveRequest, TPendingWriteBack(TWriteBackGroup::Calibration));
  EXPECT_FALSE(Panel().Windows().Calibration.IsOpen());
  EXPECT_FALSE(form->isVisible());
  SaveRequestedGroup(p);
  EXPECT_TRUE(p.SaveRequest.Empty());
  // The stored calibration goes out unchanged; the reset adjustment of the
  // calibrated channel is stored with it, so it does not return at the next start.
  QByteArray expected = before;
  expected.replace("[pH]\r\nSet=7.00\r\nLin=0.35", "[pH]\r\nSet=7.00\r\nLin=0.00");
  EXPECT_EQ(ReadFile(QStringLiteral("proc1.ini")), expected);
}

TEST_F(CalibrationDialogTest, SavedPointReachesTheFileAtTheNextWriteBack) {
  TCalibrationForm* form = Open(3);
  ASSERT_NE(form, nullptr);
  Activate(*form);
  TVortaProcess& p = Process();
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  // As loaded: the loader marks the run as not yet ended.
  QByteArray expected = ReadFile(QStringLiteral("proc1.ini"));
  form->RadioButton(2)->click();
  p.Channel[3].AdcCode = 3456;
  IndicateCalibration(p);
  QTest::mouseClick(form->FixButton(), Qt::LeftButton);
  Type(form->Edit(2), QStringLiteral("95.25"), Qt::Key_Return);
  QTest::mouseClick(form->SaveButton(), Qt::LeftButton);
  EXPECT_EQ(p.Channel[3].Config.CalAdc2, 3456);
  SaveRequestedGroup(p);
  const QByteArray old = "Max=100.00\r\nV1=4.00\r\nV2=9.00\r\nA1=1000\r\nA2=3000";
  ASSERT_TRUE(expected.contains(old));
  expected.replace(old, "Max=100.00\r\nV1=4.00\r\nV2=95.25\r\nA1=1000\r\nA2=3456");
  expected.replace("[pO2]\r\nSet=7.00\r\nLin=0.35", "[pO2]\r\nSet=7.00\r\nLin=0.00");
  EXPECT_EQ(ReadFile(QStringLiteral("proc1.ini")), expected);
  // The journal names the same keys with the values they had and got.
  EXPECT_EQ(journal.Changes(), (QStringList{"1 F1|[pO2] #6 Калибровка: значение 2|9.00|95.25|Panel",
                                            "1 F1|[pO2] #8 Калибровка: код 2|3000|3456|Panel",
                                            "1 F1|[pO2] #2 Линейная подстройка|0.35|0.00|Panel"}));
}

TEST_F(CalibrationDialogTest, CloseDiscardsTheEnteredPointAndTheNextOpeningIsANewDialog) {
  TCalibrationForm* form = Open(1);
  ASSERT_NE(form, nullptr);
  Activate(*form);
  TVortaProcess& p = Process();
  QTest::mouseClick(form->FixButton(), Qt::LeftButton);
  Type(form->Edit(1), QStringLiteral("6"), Qt::Key_Return);
  ASSERT_DOUBLE_EQ(p.CalWork.Value1, 6.0);
  QTest::mouseClick(form->CloseButton(), Qt::LeftButton);
  ExpectWorkIsStored(1);
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.CalValue1, 4.0);
  EXPECT_TRUE(p.SaveRequest.Empty());
  EXPECT_FALSE(Panel().Windows().Calibration.IsOpen());
  EXPECT_EQ(p.CalibView, nullptr);

  QPointer<TCalibrationForm> old(form);
  TCalibrationForm* again = Open(4);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(old.isNull());
  EXPECT_EQ(again->windowTitle(), QStringLiteral("Калибровка - eH"));
}

// Closed by its close box while a code is fixed, the dialog must not leave
// the panel (and with it the whole vessel's menu) disabled. While fixed, only
// the panel's own controls are refused: the status window opened from the
// panel (its child) can still be used and closed.
TEST_F(CalibrationDialogTest, CloseBoxWhileFixedGivesThePanelBack) {
  Panel().MenuItem({QStringLiteral("Статус"), QStringLiteral("pH")})->trigger();
  auto* status = Panel().Windows().Status.Window<QWidget>();
  ASSERT_NE(status, nullptr);
  TCalibrationForm* form = Open(2);
  ASSERT_NE(form, nullptr);
  QTest::mouseClick(form->FixButton(), Qt::LeftButton);
  ASSERT_FALSE(Panel().ControlsEnabled());
  EXPECT_FALSE(Panel().ManualButton(1)->isEnabled());
  Panel().PopupAt(QPoint(10, 10));
  EXPECT_FALSE(Panel().PopupMenu()->isVisible());
  EXPECT_TRUE(status->isEnabled());
  form->close();
  EXPECT_TRUE(Panel().ControlsEnabled());
  EXPECT_TRUE(Panel().ManualButton(1)->isEnabled());
  EXPECT_FALSE(Panel().Windows().Calibration.IsOpen());
  EXPECT_EQ(Process().CalibView, nullptr);
}

// Another dialog of the vessel moves DialogSelector on: the calibration must
// keep fixing and saving its own sensor's code.
TEST_F(CalibrationDialogTest, OwnChannelSurvivesAnotherDialogMovingTheSubject) {
  TCalibrationForm* form = Open(1);
  ASSERT_NE(form, nullptr);
  Activate(*form);
  TVortaProcess& p = Process();
  p.DialogSelector = 2;
  p.Channel[1].AdcCode = 1111;
  p.Channel[2].AdcCode = 2222;
  IndicateCalibration(p);
  EXPECT_EQ(form->CodeLabel(1)->text(), QStringLiteral("1111"));
  QTest::mouseClick(form->FixButton(), Qt::LeftButton);
  Type(form->Edit(1), QStringLiteral("7"), Qt::Key_Return);
  QTest::mouseClick(form->SaveButton(), Qt::LeftButton);
  EXPECT_EQ(p.Channel[1].Config.CalAdc1, 1111);
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.CalValue1, 7.0);
  EXPECT_EQ(p.Channel[2].Config.CalAdc1, 1000);
  EXPECT_DOUBLE_EQ(p.Channel[2].Config.LinAdjust, 0.35);
}

}  // namespace
}  // namespace vorta::testing
