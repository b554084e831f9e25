#include "JournalRows.h"
#include "process/ChannelRegulation.h"
#include "process/ConfigWriteBack.h"
#include "process/Foam.h"
#include "process/MeasurementCycle.h"
#include "process/OutputChannels.h"
#include "process/RegulationCycle.h"
#include "process/StatusSink.h"
#include "tests/process/ProcessFixture.h"

namespace vorta::testing {
namespace {

class WriteBackTest : public ProcessFixture {};

TEST_F(WriteBackTest, SetpointsByPositionKeepEveryOtherByte) {
  TVortaProcess& p = AddProcess(1);
  const QByteArray before = ReadFile(QStringLiteral("proc1.ini"));
  p.Channel[1].Config.Setpoint = 6.5;
  p.Channel[3].Config.Setpoint = 42.125;
  p.Channel[1].Config.MinValue = 3;  // never written
  p.SaveRequest.Add(TWriteBackGroup::Setpoints);
  SaveRequestedGroup(p);
  EXPECT_TRUE(p.SaveRequest.Empty());
  QByteArray expected = before;
  expected.replace("[pH]\r\nSet=7.00", "[pH]\r\nSet=6.50");
  expected.replace("[pO2]\r\nSet=7.00", "[pO2]\r\nSet=42.13");
  EXPECT_EQ(ReadFile(QStringLiteral("proc1.ini")), expected);
}

TEST_F(WriteBackTest, CalibrationSaveAlsoStoresTheResetLinearAdjustment) {
  TVortaProcess& p = AddProcess(1);
  p.Channel[2].Config.LinAdjust = -0.25;
  p.SaveRequest.Add(TWriteBackGroup::LinearAdjustment);
  SaveRequestedGroup(p);
  ASSERT_EQ(TProfileFile(p.IniFileName).ReadString("tC", "Lin", {}), QStringLiteral("-0.25"));
  // The calibration dialog's "Сохранить" resets the adjustment with the new points.
  p.Channel[2].Config.LinAdjust = 0;
  p.Channel[2].Config.CalAdc1 = 900;
  p.SaveRequest.Add(TWriteBackGroup::Calibration);
  SaveRequestedGroup(p);
  const TProfileFile f(p.IniFileName);
  EXPECT_EQ(f.ReadString("tC", "Lin", {}), QStringLiteral("0.00"));
  EXPECT_EQ(f.ReadString("tC", "A1", {}), QStringLiteral("900"));
}

TEST_F(WriteBackTest, CodesRoundTripThroughTheFile) {
  TVortaProcess& p = AddProcess(1);
  p.MixCode = 123;
  p.SaveRequest.Add(TWriteBackGroup::MixerCode);
  SaveRequestedGroup(p);
  p.Channel[2].Config.LinAdjust = -0.25;
  p.SaveRequest.Add(TWriteBackGroup::LinearAdjustment);
  SaveRequestedGroup(p);
  p.Channel[4].Config.CalValue1 = 1.5;
  p.Channel[4].Config.CalValue2 = 9.75;
  p.Channel[4].Config.CalAdc1 = 111;
  p.Channel[4].Config.CalAdc2 = 65000;
  p.SaveRequest.Add(TWriteBackGroup::Calibration);
  SaveRequestedGroup(p);
  p.Mode = TVesselMode::Turbidostat;
  p.SaveRequest.Add(TWriteBackGroup::Mode);
  SaveRequestedGroup(p);
  p.Channel[1].Config.CtrlPeriod = 15;
  p.Channel[1].Config.CtrlOutUp = -1;  // 16-bit fields go out unsigned
  p.Channel[1].Config.CtrlOutDown = 4;
  p.Channel[1].Config.CtrlEnable = 1;
  p.Channel[1].Config.GainDown = 0.5;
  p.Epp.Period = 30;
  p.Epp.Ch = 9;  // never written
  p.Events2.Aperiod = 1;
  p.Config.po2koef = 2.25;
  p.Config.PumpTypeDorvex = 0;
  p.Config.PumpCode3 = 77;
  p.Config.Spumelevel = 2;
  p.Config.Existpena = 1;
  p.SaveRequest.Add(TWriteBackGroup::ControlParameters);
  SaveRequestedGroup(p);

  TProfileFile f(p.IniFileName);
  EXPECT_EQ(f.ReadString("Mixer", "MixCode", {}), QStringLiteral("123"));
  EXPECT_EQ(f.ReadString("tC", "Lin", {}), QStringLiteral("-0.25"));
  EXPECT_EQ(f.ReadString("eH", "V1", {}), QStringLiteral("1.50"));
  EXPECT_EQ(f.ReadString("eH", "V2", {}), QStringLiteral("9.75"));
  EXPECT_EQ(f.ReadString("eH", "A1", {}), QStringLiteral("111"));
  EXPECT_EQ(f.ReadString("eH", "A2", {}), QStringLiteral("65000"));
  EXPECT_EQ(f.ReadString("Mode", "mode", {}), QStringLiteral("3"));
  EXPECT_EQ(f.ReadString("CtrlpH", "Per", {}), QStringLiteral("15"));
  EXPECT_EQ(f.ReadString("CtrlpH", "Up", {}), QStringLiteral("65535"));
  EXPECT_EQ(f.ReadString("CtrlpH", "GDown", {}), QStringLiteral("0.50"));
  EXPECT_EQ(f.ReadString("CtrlpH", "Modes", {}), QStringLiteral("0,1,1,1"));
  EXPECT_EQ(f.ReadString("EPP", "eppperiod", {}), QStringLiteral("30"));
  EXPECT_FALSE(f.ValueExists("EPP", "eppch"));
  EXPECT_EQ(f.ReadString("Events2", "aperiod", {}), QStringLiteral("1"));
  EXPECT_EQ(f.ReadString("Ctrlpo2", "po2koef", {}), QStringLiteral("2.3"));
  EXPECT_EQ(f.ReadString("Pumps", "PumpType", {}), QStringLiteral("MasterFlex"));
  EXPECT_EQ(f.ReadString("Pumps", "PumpCode3", {}), QStringLiteral("77"));
  EXPECT_EQ(f.ReadString("CtrlSpume", "Existpena", {}), QStringLiteral("1"));
  EXPECT_EQ(f.ReadString("CtrlSpume", "Spumelevel", {}), QStringLiteral("2"));
  EXPECT_EQ(f.ReadString("pH", "Min", {}), QStringLiteral("0.00"));

  // "Epp" written, "EPP" read: one entry, not two sections.
  EXPECT_EQ(ReadFile(QStringLiteral("proc1.ini")).toLower().count("[epp]"), 1);

  // Reloading gives back what was written.
  list_.Clear();
  TVortaProcess& again = AddProcessFromExistingFile(1);
  EXPECT_EQ(again.MixCode, 123);
  EXPECT_EQ(again.Channel[4].Config.CalAdc2, 65000);
  EXPECT_EQ(again.Channel[1].Config.CtrlPeriod, 15);
  EXPECT_EQ(again.Epp.Period, 30);
  EXPECT_EQ(again.Config.PumpTypeDorvex, 0);
}

class StatusTest : public ProcessFixture {};

TEST_F(StatusTest, LinesAccumulateInBatchAndStayOneInModeZero) {
  TVortaProcess& p = AddProcess(1);
  THeadlessStatusSink sink;
  p.StatusSink = &sink;
  p.StatusSubject = 1;
  p.Mode = TVesselMode::Batch;
  p.Channel[1].Config.CtrlEnable = 0;
  RegulateChannel(p, 1);
  RegulateChannel(p, 2);  // another channel: nothing
  RegulateChannel(p, 1);
  EXPECT_EQ(sink.Lines, (QStringList{QStringLiteral("Управление запрещено"),
                                     QStringLiteral("Управление запрещено")}));
  sink.Lines.clear();
  p.Mode = TVesselMode::Uncontrolled;
  for (int i = 0; i < 3; ++i) RegulateChannel(p, 1);
  EXPECT_EQ(sink.Lines, QStringList{QStringLiteral("Неконтролируемый режим")});

  p.StatusSubject = 5;  // the mixer subject receives nothing from channels
  sink.Lines.clear();
  p.Mode = TVesselMode::Batch;
  RegulateChannel(p, 1);
  EXPECT_TRUE(sink.Lines.isEmpty());
}

TEST_F(StatusTest, UsbSubjectReportsTheAdapterState) {
  TVortaProcess& p = AddProcess(1);
  THeadlessStatusSink sink;
  p.StatusSink = &sink;
  p.StatusSubject = 6;
  RegulationCycle(context_);
  adapter_->SetActive(false);
  RegulationCycle(context_);
  EXPECT_EQ(sink.Lines,
            (QStringList{QStringLiteral("USB подключен"), QStringLiteral("USB НЕ подключен!")}));
}

class FoamTest : public ProcessFixture {
 protected:
  // The foam contact of the module: bit 0 of register byte 48.
  void FoamInput(bool on) {
    adapter_->Inject(
        MakeFrame(kBoardUid + 48, {static_cast<std::uint8_t>(on ? 1 : 0)}, kFlagExtended));
  }
};

TEST_F(FoamTest, FoamOnlyWhenEveryCallOfTheWindowSawIt) {
  TVortaProcess& p = AddProcess(1, "Board1");
  p.Config.penaperiod = 3;
  p.Config.InversPena = 1;
  p.Config.Existpena = 1;
  p.Config.spumech = 6;
  p.Mode = TVesselMode::Batch;
  for (bool in : {true, false, true}) {
    FoamInput(in);
    DetectFoam(p);
  }
  EXPECT_EQ(p.Foam, 0);
  EXPECT_FALSE(p.PanelState.FoamIndicator);
  for (bool in : {true, true, true}) {
    FoamInput(in);
    DetectFoam(p);
  }
  EXPECT_EQ(p.Foam, 1);
  EXPECT_TRUE(p.PanelState.FoamIndicator);
  EXPECT_TRUE(p.OutputWord & 0x20);
}

TEST_F(FoamTest, FoamInModeZeroLightsTheIndicatorButLeavesTheOutput) {
  TVortaProcess& p = AddProcess(1, "Board1");
  p.Config.penaperiod = 1;
  p.Config.InversPena = 0;  // foam reads as input 0
  p.Config.Existpena = 1;
  p.Config.spumech = 6;
  p.Mode = TVesselMode::Uncontrolled;
  FoamInput(false);
  DetectFoam(p);
  EXPECT_TRUE(p.PanelState.FoamIndicator);
  EXPECT_FALSE(p.OutputWord & 0x20);
}

TEST_F(FoamTest, PenaperiodZeroNeverDecides) {
  TVortaProcess& p = AddProcess(1);
  p.Config.penaperiod = 0;
  p.Foam = 1;
  for (int i = 0; i < 5; ++i) DetectFoam(p);
  EXPECT_EQ(p.Foam, 1);
}

TEST_F(FoamTest, CalibrationIndicationBlinksTheSelectedPoint) {
  TVortaProcess& p = AddProcess(1);
  THeadlessCalibView view;
  p.CalibView = &view;
  p.CalibLive = 1;
  p.DialogSelector = 2;
  p.Channel[2].AdcCode = 1234;
  p.CalWork.Adc1 = 11;
  p.CalWork.Adc2 = 22;
  RegulationCycle(context_);
  EXPECT_EQ(view.Point1Color, kClBtnFace);
  EXPECT_EQ(view.Code1, QStringLiteral("1234"));
  EXPECT_EQ(view.Code2, QStringLiteral("22"));
  RegulationCycle(context_);
  EXPECT_EQ(view.Point1Color, kClBtnShadow);
  view.Selected = 2;
  RegulationCycle(context_);
  EXPECT_EQ(view.Point2Color, kClBtnFace);
  EXPECT_EQ(view.Code1, QStringLiteral("11"));
  EXPECT_EQ(view.Code2, QStringLiteral("1234"));
  p.CalibLive = 0;  // "Фиксация": the blinking stops
  RegulationCycle(context_);
  EXPECT_EQ(view.Point2Color, kClBtnFace);
}

}  // namespace
}  // namespace vorta::testing
