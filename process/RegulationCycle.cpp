// The 2-s event: conversion, minute statistics, regulators, pO2 by stirrer,
// periodic pulses, displays and chart points; once a minute the minute's
// close and the data log row.

#include <QCoreApplication>

#include "devices/CANMixer.h"
#include "devices/IoModule.h"
#include "platform/Numbers.h"
#include "process/AlarmChecks.h"
#include "process/CalibIndication.h"
#include "process/ChannelRegulation.h"
#include "process/CycleContext.h"
#include "process/DataLog.h"
#include "process/Foam.h"
#include "process/MinuteStatistics.h"
#include "process/MixerControl.h"
#include "process/OutputChannels.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"
#include "process/RegulationCycle.h"
#include "process/StatusMessages.h"

namespace vorta {

namespace {

void LightCountdownStep(TVortaProcess& p) {
  if (p.LightCountdown <= 0) return;
  p.LightCountdown -= 1;
  if (p.LightCountdown == 0) {
    SetOutput(p, p.Config.LightCh, false);
    p.PanelState.LightFontColor = kClBlack;
    // Switched off again every LightTime ticks until the next press.
    p.LightCountdown = p.Config.LightTime;
  }
}

void SelectHeating(const TProgramState& program, TVortaProcess& p) {
  if (program.DefWarm == 0)
    p.Channel[2].Config.CtrlOutUp = static_cast<std::int16_t>(program.IndexWater);
  if (program.DefWarm == 1)
    p.Channel[2].Config.CtrlOutUp = static_cast<std::int16_t>(program.IndexSteam);
}

void ConvertAll(TVortaProcess& p) {
  for (size_t ch = 1; ch <= 4; ++ch) {
    TChannel& c = p.Channel[ch];
    const TChannelConfig& cfg = c.Config;
    const TConversion r = ConvertChannel(c.AdcHistory[2], cfg.CalAdc1, cfg.CalAdc2, cfg.CalValue1,
                                         cfg.CalValue2, cfg.LinAdjust, cfg.MinValue, cfg.MaxValue);
    c.Value = r.Value;
    c.ReadingInvalid = r.Valid ? 0 : 1;
  }
}

void ShowLink(TVortaProcess& p) {
  TPanelState& s = p.PanelState;
  if (p.Board == nullptr) {
    s.SimpleText =
        QCoreApplication::translate("vorta::RegulationCycle", "Плата сбора данных не задана!");
    return;
  }
  s.SimpleText.clear();
  const bool ok = p.Board->LinkOK();
  s.StatusText[3] = ok ? QStringLiteral("Net OK") : QStringLiteral("Net Err");
  s.StatusColor.fill(ok ? kClBtnFace : kClYellow);
}

void ShowMixerWindow(TVortaProcess& p) {
  if (!p.Panel->MixerWindowOpen()) return;
  TMixerViewState& m = p.PanelState.MixerView;
  m.CodeText = QString::number(p.MixCode);
  if (p.Mixer == nullptr) {
    m.SimpleText = QCoreApplication::translate("vorta::RegulationCycle", "Миксер не задан!");
    return;
  }
  m.SimpleText.clear();
  m.StatusColor = p.Mixer->LinkOK() ? kClBtnFace : kClYellow;
  m.SpeedText = QString::number(p.MixerRpm);
  const QString status = QCoreApplication::translate("vorta::RegulationCycle", " Статус: ") +
                         FormatHex4(p.Mixer->GetStatus());
  const std::uint16_t current = p.Mixer->GetCurrent();
  if (const std::optional<std::uint16_t> temperature = p.Mixer->GetTemperature()) {
    m.StatusText = {QStringLiteral(" I = %1 mA").arg(current, 4, 10, QLatin1Char('0')),
                    QStringLiteral(" t°C = %1").arg(*temperature), status};
  } else if (const std::optional<std::uint16_t> voltage = p.Mixer->GetVoltage()) {
    m.StatusText = {QStringLiteral(" I = %1mA").arg(current, 4, 10, QLatin1Char('0')),
                    QStringLiteral(" U = %1 V").arg(*voltage), status};
  }
}

void FeedChart(TVortaProcess& p) {
  p.ChartForm->FeedChart();
}

// rpmLabel: the status bar's translated "Об/мин: ", the same for every vessel.
void ProcessTick(TProgramState& program, TVortaProcess& p, const QString& rpmLabel) {
  LightCountdownStep(p);
  SelectHeating(program, p);
  p.Po2Counter += 1;
  for (size_t ch = 1; ch <= 5; ++ch) p.Channel[ch].CtrlCounter += 1;
  ConvertAll(p);
  AccumulateSample(p, program.TwoSecondTicks);
  for (int ch = 1; ch <= 4; ++ch) {
    const TChannel& c = p.Channel[static_cast<size_t>(ch)];
    if (c.CtrlCounter >= c.Config.CtrlPeriod) {
      RegulateChannel(p, ch);
    }
  }
  if (p.Po2Counter >= p.Config.po2motorperiod) RegulatePo2ByMixer(p);
  if (p.StatusSubject == 6 || p.StatusSubject == 7) ShowStatusLine(p, p.StatusSubject);
  if (p.Epp.Exist == 1) PulseTick(p.Epp);
  if (p.Med.Exist == 1) PulseTick(p.Med);
  ToggleHeartbeat(p);

  p.Panel->ShowCurrentValues();
  if (p.CalibView != nullptr) IndicateCalibration(p);
  ShowLink(p);
  p.PanelState.DriveMenuVisible = HasDcMixer(p);
  // Built only when the speed changed: this runs for every vessel every 2 s.
  if (p.PanelState.ShownRpm != p.MixerRpm) {
    p.PanelState.StatusText[1] = rpmLabel + QString::number(p.MixerRpm);
    p.PanelState.ShownRpm = p.MixerRpm;
  }
  ShowMixerWindow(p);
  // Translated only when the mode changed: this runs for every vessel every 2 s.
  if (const int mode = ModeIndex(p.Mode); p.PanelState.ShownMode != mode) {
    p.PanelState.StatusText[2] = ModeStatusText(p, static_cast<std::size_t>(mode));
    p.PanelState.ShownMode = mode;
  }
  KeepMixerTurning(p);
  if (p.MixRampActive != 0) {
    MixerRampStep(p);
    if (p.Panel->MixerWindowOpen())
      p.PanelState.MixerView.CodeText = QString::number(p.MixRampCode);
  }
  FeedChart(p);
  DetectFoam(p);
}

}  // namespace

void RegulationCycle(TCycleContext& c) {
  TProgramState& program = c.Program;
  program.TwoSecondTicks += 1;
  const QString rpmLabel = QCoreApplication::translate("vorta::RegulationCycle", "Об/мин: ");
  for (const auto& process : c.Processes) ProcessTick(program, *process, rpmLabel);
  if (c.AlarmChecks != nullptr) c.AlarmChecks->Evaluate(c.Processes);
  // One text shared by every panel.
  const QString seconds = QString::number(program.TwoSecondTicks * 2);
  for (const auto& process : c.Processes) {
    process->PanelState.StatusText[0] = seconds;
    process->Panel->PanelStateChanged();
  }
  if (program.TwoSecondTicks < 30) return;
  for (const auto& process : c.Processes) {
    TVortaProcess& p = *process;
    CloseMinute(p);
    p.Panel->ShowMinuteValues();
    p.ProtocolCounter += 1;
    if (p.ProtocolCounter >= p.Config.ProtocolPeriodmin) {
      WriteLogRow(p);
      p.ProtocolCounter = 0;
    }
  }
  program.TwoSecondTicks = 0;
}

}  // namespace vorta
