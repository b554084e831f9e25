// The command layer: one rule per kind of change, the same for every caller,
// with the caller in the journal and the change waiting for the write-back.

#include "JournalRows.h"
#include "commands/Commands.h"
#include "journal/Alarms.h"
#include "process/ProcessRecord.h"
#include "tests/process/ProcessFixture.h"

namespace vorta::testing {
namespace {

using CommandsTest = ProcessFixture;

TEST(ReadDecimalTest, pointOrOneCommaAndNothingElse) {
  EXPECT_EQ(ReadDecimal(QStringLiteral(" -150 ")), -150.0);
  EXPECT_EQ(ReadDecimal(QStringLiteral("7,25")), 7.25);
  EXPECT_FALSE(ReadDecimal(QStringLiteral("1,000.5")));
  EXPECT_FALSE(ReadDecimal(QStringLiteral("1,2,3")));
  EXPECT_FALSE(ReadDecimal(QString()));
  EXPECT_FALSE(ReadDecimal(QStringLiteral("nan")));
}

TEST_F(CommandsTest, setpointsTakeCommaOrPointAndStayWithinTheChannelsRange) {
  TVortaProcess& p = AddProcess(1);  // pH 0..14
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  // Checking changes nothing, whatever it answers.
  EXPECT_TRUE(CheckSetpoint(p, 1, QStringLiteral("6,55")));
  const TCommandResult outside = CheckSetpoint(p, 1, QStringLiteral("14.5"));
  EXPECT_FALSE(outside);
  EXPECT_EQ(outside.Field, QStringLiteral("1"));
  EXPECT_TRUE(outside.Text.contains(QStringLiteral("0.00..14.00"))) << outside.Text.toStdString();
  EXPECT_EQ(CheckSetpoint(p, 1, QStringLiteral("6..5")).Field, QStringLiteral("1"));
  EXPECT_FALSE(CheckSetpoint(p, 5, QStringLiteral("7")));
  EXPECT_EQ(p.Channel[1].Config.Setpoint, 7.0);
  EXPECT_TRUE(p.SaveRequest.Empty());

  EXPECT_FALSE(SetSetpoint(p, TCaller::Command(QStringLiteral("anna")), 1, QStringLiteral("-1")));
  EXPECT_TRUE(p.SaveRequest.Empty());
  EXPECT_TRUE(SetSetpoint(p, TCaller::Command(QStringLiteral("anna")), 1, QStringLiteral("6,55")));
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.Setpoint, 6.55);
  EXPECT_TRUE(p.SaveRequest.Contains(TWriteBackGroup::Setpoints));
  // A linear adjustment has no range; the four at once refuse as a whole.
  EXPECT_TRUE(SetSetpoint(p, TCaller::Plan(QStringLiteral("plan")), 2, QStringLiteral("-20"),
                          TSetKind::LinearAdjustment));
  const TSetpointTexts four{QStringLiteral("7"), QStringLiteral("7"), QStringLiteral("99"),
                            QStringLiteral("7")};
  const TCommandResult refused = SetSetpoints(p, TCaller::Panel(), four, TSetKind::Setpoint);
  EXPECT_EQ(refused.Field, QStringLiteral("3"));
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.Setpoint, 6.55);
  EXPECT_EQ(journal.Changes(), (QStringList{"1 F1|[pH] #1 Уставка|7.00|6.55|Command",
                                            "1 F1|[tC] #2 Линейная подстройка|0.00|-20.00|Plan"}));
  const QList<QByteArray> last = test::JournalLastLines(journal.Path(), 2);
  EXPECT_TRUE(last[0].contains("\tanna\t")) << last[0].toStdString();
  EXPECT_TRUE(last[1].contains("\tplan\t")) << last[1].toStdString();
}

TEST_F(CommandsTest, controlParamsSwitchOutputsOffOnlyWhenRegulationIsTurnedOffOrThePanelSaysSo) {
  TVortaProcess& p = AddProcess(1);  // regulation of every channel off
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  // A manual output and the light; outputs 12..16 (foam, heartbeat) are
  // the OK's own.
  p.OutputWord = 0x0081;
  p.ManualState[1] = 1;
  TCtrlFields f = ReadCtrlFields(p, 1);
  f.Period = QStringLiteral("6");
  EXPECT_TRUE(SetControlParams(p, TCaller::Command(QStringLiteral("anna")), 1, f));
  EXPECT_EQ(p.OutputWord & 0x07FF, 0x0081);
  EXPECT_EQ(p.Channel[1].Config.CtrlPeriod, 6);
  EXPECT_TRUE(p.SaveRequest.Contains(TWriteBackGroup::ControlParameters));

  f.Enable = true;
  EXPECT_TRUE(SetControlParams(p, TCaller::Web(QStringLiteral("web")), 1, f));
  f.Enable = false;
  EXPECT_TRUE(SetControlParams(p, TCaller::Web(QStringLiteral("web")), 1, f));
  EXPECT_EQ(p.OutputWord & 0x07FF, 0x0000) << "turned off: its outputs go off";
  p.OutputWord = 0x0081;
  EXPECT_TRUE(SetControlParams(p, TCaller::Panel(), 1, f));
  EXPECT_EQ(p.OutputWord & 0x07FF, 0x0000) << "the dialog's OK with the tick cleared";
  EXPECT_EQ(p.ManualState[1], 0);

  // The pulse generators' rule holds for the dialog's fields too.
  f.EppPeriod = QStringLiteral("10");
  f.EppWork = QStringLiteral("12");
  const TCommandResult longer = CheckControlParams(p, 5, f);
  EXPECT_FALSE(longer);
  EXPECT_EQ(longer.Field, CtrlFieldName(&TCtrlFields::EppWork));
  f.EppPeriod = QStringLiteral("x");
  EXPECT_EQ(SetControlParams(p, TCaller::Panel(), 5, f).Field,
            CtrlFieldName(&TCtrlFields::EppPeriod));
  EXPECT_TRUE(journal.Changes().contains("1 F1|[CtrlpH] #1 Период|1|6|Command"));
  EXPECT_TRUE(journal.Changes().contains("1 F1|[CtrlpH] #4 Регулирование|0|1|Web"));
}

TEST_F(CommandsTest, pulseGeneratorsCountTwoSecondTicks) {
  TVortaProcess& p = AddProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  EXPECT_EQ(CheckPulse(p, TPulseKind::Feed, QStringLiteral("-2"), QStringLiteral("2")).Field,
            QStringLiteral("period"));
  EXPECT_EQ(CheckPulse(p, TPulseKind::Feed, QStringLiteral("10"), QStringLiteral("-2")).Field,
            QStringLiteral("on"));
  EXPECT_EQ(CheckPulse(p, TPulseKind::Medium, QStringLiteral("10"), QStringLiteral("12")).Field,
            QStringLiteral("on"));
  p.Med.Count = 3;
  EXPECT_TRUE(SetPulse(p, TCaller::Plan(QStringLiteral("plan")), TPulseKind::Medium,
                       QStringLiteral("600"), QStringLiteral("20")));
  EXPECT_EQ(p.Med.Period, 300);
  EXPECT_EQ(p.Med.Work, 10);
  EXPECT_EQ(p.Med.Count, 0);
  EXPECT_EQ(p.Epp.Period, 0);
  EXPECT_TRUE(p.SaveRequest.Contains(TWriteBackGroup::ControlParameters));
  EXPECT_EQ(p.Med.Exist, 1) << "a generator given an on-time runs";
  EXPECT_EQ(journal.Changes(),
            (QStringList{"1 F1|[Med] medperiod|4|300|Plan", "1 F1|[Med] medact|0|10|Plan",
                         "1 F1|[Med] medexist|0|1|Plan"}));
  EXPECT_TRUE(SetPulse(p, TCaller::Plan(QStringLiteral("plan")), TPulseKind::Medium,
                       QStringLiteral("600"), QStringLiteral("0")));
  EXPECT_EQ(p.Med.Exist, 0);
}

TEST_F(CommandsTest, panelActionsAndAlarmsRefuseWhatTheyCannotDoAndNameTheirCaller) {
  TVortaProcess& p = AddProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  EXPECT_FALSE(CheckMode(p, 4));
  EXPECT_FALSE(CheckLogPeriod(p, 3));
  EXPECT_FALSE(CheckManualOutput(p, 8));
  EXPECT_FALSE(StartStirrer(p, TCaller::Panel())) << "no mixer configured";
  EXPECT_FALSE(SetStirrerCode(p, TCaller::Panel(), 12));
  EXPECT_TRUE(SetMode(p, TCaller::Web(QStringLiteral("web")), 2));
  EXPECT_EQ(p.Mode, VesselMode(2));
  EXPECT_TRUE(p.SaveRequest.Contains(TWriteBackGroup::Mode));
  EXPECT_TRUE(SetLogPeriod(p, TCaller::Panel(), 5));
  EXPECT_EQ(p.Config.ProtocolPeriodmin, 5);
  EXPECT_TRUE(SwitchLight(p, TCaller::Panel()));

  TAlarms alarms(time_, env_.Journal);
  alarms.Raise(1, p.Caption(), TAlarmKind::Foam, QStringLiteral("pena"), QStringLiteral("Пена"));
  alarms.Raise(2, QStringLiteral("F2"), TAlarmKind::Foam, QStringLiteral("pena"),
               QStringLiteral("Пена"));
  EXPECT_FALSE(AcknowledgeAlarm(alarms, TCaller::Panel(), 99));
  EXPECT_EQ(AcknowledgeVessel(alarms, TCaller::Command(QStringLiteral("anna")), 1).Text,
            QStringLiteral("Квитировано тревог: 1"));
  EXPECT_EQ(alarms.List()[0].AckBy, QStringLiteral("anna"));
  EXPECT_TRUE(alarms.List()[1].AckBy.isEmpty());
  EXPECT_EQ(AcknowledgeAll(alarms, TCaller::Web(QStringLiteral("web"))).Text,
            QStringLiteral("Квитировано тревог: 1"));
  const QList<QByteArray> last = test::JournalLastLines(journal.Path(), 1);
  EXPECT_TRUE(last[0].contains("\tweb\t") && last[0].contains("\tWeb\t")) << last[0].toStdString();
  EXPECT_EQ(journal.Changes().first(),
            QStringLiteral("1 F1|[Mode] mode|0 Неконтролируемый|2 Chemostat|Web"));
  EXPECT_EQ(journal.Changes().last(), QStringLiteral("1 F1|Свет (выход 8)|выкл|вкл на 4 с|Panel"));
}

}  // namespace
}  // namespace vorta::testing
