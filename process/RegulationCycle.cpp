// The 2-s event: conversion, minute statistics, regulators, pO2 by stirrer,
// periodic pulses, displays and chart points; once a minute the minute's
// close and the data log row.

#include <QCoreApplication>

#include "devices/CANDevices.h"
#include "platform/Numbers.h"
#include "process/Alarms.h"
#include "process/Cycles.h"
#include "process/DataLog.h"
#include "process/OutputChannels.h"
#include "process/PanelView.h"
#include "process/ProcessConfig.h"
#include "process/ProcessCycles.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

void LightCountdownStep(TVortaProcess& p) {
  if (p.LightCountdown <= 0) return;
  p.LightCountdown -= 1;
  if (p.LightCountdown == 0) {
    SetOutput(p, p.LightCh, false);
    p.PanelState.LightFontColor = kClBlack;
    // Switched off again every LightTime ticks until the next press.
    p.LightCountdown = p.LightTime;
  }
}

void SelectHeating(const TProgramState& program, TVortaProcess& p) {
  if (program.DefWarm == 0) p.CtrlOutUp[2] = static_cast<std::int16_t>(program.IndexWater);
  if (program.DefWarm == 1) p.CtrlOutUp[2] = static_cast<std::int16_t>(program.IndexSteam);
}

void ConvertAll(TVortaProcess& p) {
  for (size_t ch = 1; ch <= 4; ++ch) {
    const TConversion r =
        ConvertChannel(p.AdcHistory[ch][2], p.CalAdc1[ch], p.CalAdc2[ch], p.CalValue1[ch],
                       p.CalValue2[ch], p.LinAdjust[ch], p.MinValue[ch], p.MaxValue[ch]);
    p.CurrentValue[ch] = r.Value;
    p.CalError[ch] = r.Error;
    p.ReadingInvalid[ch] = r.Valid ? 0 : 1;
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
  if (p.MixFormOpen == 0) return;
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
  if (const auto* dc = dynamic_cast<const TMixerDC*>(p.Mixer)) {
    m.StatusText = {QStringLiteral(" I = %1 mA").arg(dc->GetCurrent(), 4, 10, QLatin1Char('0')),
                    QStringLiteral(" t°C = %1").arg(dc->GetTemperature()), status};
  } else if (const auto* omron = dynamic_cast<const TMixerInverter*>(p.Mixer)) {
    m.StatusText = {QStringLiteral(" I = %1mA").arg(omron->GetCurrent(), 4, 10, QLatin1Char('0')),
                    QStringLiteral(" U = %1 V").arg(omron->GetVoltage()), status};
  }
}

void FeedChart(TVortaProcess& p) {
  for (size_t ch = 1; ch <= 4; ++ch) p.ChartPoint[ch] = p.CurrentValue[ch] * p.ChartScale[ch - 1];
  p.ChartPoint[5] = p.MixerRpm * p.ChartScale[4];
  p.ChartForm->FeedChart();
}

void ProcessTick(TProgramState& program, TVortaProcess& p) {
  LightCountdownStep(p);
  SelectHeating(program, p);
  p.Po2Counter += 1;
  for (size_t ch = 1; ch <= 5; ++ch) p.CtrlCounter[ch] += 1;
  ConvertAll(p);
  AccumulateSample(p, program.TwoSecondTicks);
  for (int ch = 1; ch <= 4; ++ch) {
    if (p.CtrlCounter[static_cast<size_t>(ch)] >= p.CtrlPeriod[static_cast<size_t>(ch)]) {
      RegulateChannel(p, ch);
    }
  }
  if (p.Po2Counter >= p.po2motorperiod) RegulatePo2ByMixer(p);
  if (p.DialogChannel == 6 || p.DialogChannel == 7) ShowStatusLine(p, p.DialogChannel);
  if (p.Epp.Exist == 1) PulseTick(p.Epp);
  if (p.Med.Exist == 1) PulseTick(p.Med);
  ToggleHeartbeat(p);

  p.Panel->ShowCurrentValues();
  if (p.CalibrFormOpen != 0) IndicateCalibration(p);
  ShowLink(p);
  p.PanelState.DriveMenuVisible = dynamic_cast<const TMixerDC*>(p.Mixer) != nullptr;
  p.PanelState.StatusText[1] = QCoreApplication::translate("vorta::RegulationCycle", "Об/мин: ") +
                               QString::number(p.MixerRpm);
  ShowMixerWindow(p);
  p.PanelState.StatusText[2] = ModeStatusText(p, ModeIndex(p.Mode));
  ResumeMixerOnLinkReturn(p);
  if (p.MixRampActive != 0) {
    MixerRampStep(p);
    if (p.MixFormOpen != 0) p.PanelState.MixerView.CodeText = QString::number(p.MixRampCode);
  }
  FeedChart(p);
  DetectFoam(p);
}

}  // namespace

void RegulationCycle(TCycleContext& c) {
  TProgramState& program = c.Program;
  program.TwoSecondTicks += 1;
  for (const auto& process : c.Processes) ProcessTick(program, *process);
  if (c.Alarms != nullptr) c.Alarms->Evaluate(c.Processes);
  for (const auto& process : c.Processes) {
    process->PanelState.StatusText[0] = QString::number(program.TwoSecondTicks * 2);
    process->Panel->PanelStateChanged();
  }
  if (program.TwoSecondTicks < 30) return;
  for (const auto& process : c.Processes) {
    TVortaProcess& p = *process;
    CloseMinute(p);
    p.Panel->ShowMinuteValues();
    p.ProtocolCounter += 1;
    if (p.ProtocolCounter >= p.ProtocolPeriodmin) {
      WriteLogRow(p);
      p.ProtocolCounter = 0;
    }
  }
  program.TwoSecondTicks = 0;
}

}  // namespace vorta
