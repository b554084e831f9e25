#pragma once
// The process record: one vessel under control, and the list that owns them.
// Channel arrays are indexed 1..4 (pH, t°C, pO2, eH) with a fifth, common
// entry where the record has one; index 0 is unused. Mode arrays are 0..3.

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "journal/AlarmState.h"
#include "journal/Journal.h"
#include "process/PanelView.h"
#include "process/ProgramState.h"
#include "process/WriteBackGroup.h"

namespace vorta {

class TVortaProcess;
class TIoModule;
class TCANMixer;
class IVortaPanel;
class IChartView;
class IStatusSink;
class ICalibView;

// A short string of the record (string[16]) keeps its first 16 characters.
QString ShortString(const QString& text, qsizetype width = 16);

struct TPulseGenerator {
  TVortaProcess* Owner = nullptr;
  std::int32_t Period = 0;
  std::int32_t Work = 0;
  std::int32_t Count = 0;
  std::int32_t Max = 0;
  std::int16_t Exist = 0;
  std::uint8_t Ch = 0;
  std::int16_t Aperiod = 0;
  std::uint8_t State = 0;
  QString ChName;
};

struct TOutputChannel {
  std::uint8_t ChKind = 0;
  QString ChName;  // string[16]
  std::uint8_t ChState = 0;
  std::uint8_t ChPump = 0;
};

// Working copy of the calibration being edited in the calibration dialog.
struct TCalWork {
  std::uint16_t Adc1 = 0;
  std::uint16_t Adc2 = 0;
  double Value1 = 0;
  double Value2 = 0;
};

template <typename T>
using TPerChannel = std::array<T, 5>;  // [1..4]
template <typename T>
using TPerChannelAndCommon = std::array<T, 6>;  // [1..5]

class TVortaProcess {
 public:
  // Creates the panel and chart windows through env.Windows, loads the
  // configuration file (ProgramFolder + fileName) and lets the chart window
  // read its keys.
  TVortaProcess(TVortaEnv& env, const QString& fileName);
  // Writes the end-of-run mark and window settings back, lets the chart save
  // its settings, and frees the windows.
  ~TVortaProcess();
  TVortaProcess(const TVortaProcess&) = delete;
  TVortaProcess& operator=(const TVortaProcess&) = delete;

  void InitRuntime();
  void InitStatistics();

  // NameProcess formatted with NumProcess: the panel caption.
  [[nodiscard]] QString Caption() const;

  TVortaEnv& Env;

  // Feed and programme
  std::array<std::int16_t, 2> Ventil{};  // process reference (list position after start-up), output
  // [Podpitka] Sreda: medium output (vessel, output)
  std::array<std::int16_t, 2> Sreda{};
  // [Podpitka] Pump: feed pump (vessel, output)
  std::array<std::int16_t, 2> PodpPump{};
  // [Podpitka] Klapan: this vessel's own valve output
  std::uint8_t Klapan = 0;
  // [Podpitka] FazaCount: phases in use (0..17)
  std::int32_t FazaCount = 0;
  // [Podpitka] Faza<n>: medium, feed pump, valve (0 off)
  std::array<std::array<std::uint8_t, 3>, 17> Faza{};

  // Files
  QString IniFileName;
  QString ProtocolFileName;
  // [Port] Protocolname: the data log's file name
  QString Protocolname;
  // [Port] minutes between data log rows
  std::uint16_t ProtocolPeriodmin = 1;
  std::int16_t ProtocolCounter = 0;
  // [Assign] <n>: names of the channel sections
  TPerChannelAndCommon<QString> AssignName;
  std::array<std::uint8_t, 9> ManualState{};  // [1..8]
  std::int32_t DialogChannel = 0;
  std::int32_t IsMaster = 0;
  std::uint8_t MixFormOpen = 0, CtrlFormOpen = 0, CalibrFormOpen = 0, SetFormOpen = 0,
               StatusFormOpen = 0;
  double Tick40ms = 0;
  std::int32_t InversPena = 0, Spumelevel = 0, FoamLevelOut12 = 0, FoamLevelOut13 = 0;

  // Outputs, mode and measurement
  std::uint16_t OutputWord = 0;
  // [Port] portout2: kept, unused
  std::int16_t portout2 = 0;
  std::uint8_t Mode = 0;
  TWriteBackGroup SaveRequest = TWriteBackGroup::None;
  TPerChannel<std::uint16_t> AdcCode{};
  TPerChannelAndCommon<double> CurrentValue{};
  TPerChannelAndCommon<double> LinAdjust{};
  TPerChannelAndCommon<double> MinuteAvg{}, MinuteMax{}, MinuteMin{};
  TPerChannelAndCommon<double> Setpoint{};
  // validity limits, the channel's unit
  TPerChannelAndCommon<double> MaxValue{}, MinValue{};
  // converter codes of the calibration points
  TPerChannelAndCommon<std::uint16_t> CalAdc1{}, CalAdc2{};
  // physical values of the calibration points
  TPerChannelAndCommon<double> CalValue1{}, CalValue2{};

  // Regulation
  // 2-s cycles between regulation steps
  TPerChannelAndCommon<std::uint16_t> CtrlPeriod{};
  // dosing outputs (0 none)
  TPerChannelAndCommon<std::int16_t> CtrlOutUp{}, CtrlOutDown{};
  // bounds and dead zone in the channel's unit; gains in s per unit
  TPerChannelAndCommon<double> CtrlLow{}, CtrlHigh{}, DeadZone{}, GainUp{}, GainDown{};
  TPerChannelAndCommon<std::int16_t> CtrlStatus{};
  TPerChannelAndCommon<std::int16_t> CtrlEnable{};
  TPerChannelAndCommon<std::array<std::int16_t, 4>> CtrlModes{};
  // [Ctrlspume] antifoam output
  std::int16_t spumech = 0;
  // [Ctrlspume] foam window, 2-s cycles
  std::uint16_t penaperiod = 0;
  // [Ctrlspume] 1: foam control present
  std::int16_t Existpena = 0;

  // Mixer
  std::uint16_t MixerRpm = 0;
  // drive setting that speed code 255 stands for
  std::uint16_t MixSet = 400;
  // stirrer speed code 0..255
  std::uint16_t MixCode = 0;
  std::int32_t MixTop = 100, MixLeft = 100, MixVisible = 0;
  std::uint8_t MixRampActive = 0;
  std::uint16_t MixRampCode = 20;
  // soft start step per 2-s cycle
  std::uint16_t RestartDeltaCode = 10;
  std::int16_t MixRampStart = 20;
  std::int16_t MixStartStatus = 0;
  // The stirrer was started and not stopped since: a drive back from a power
  // cycle gets its start again, and one that stands still is an alarm.
  bool MixerShouldRun = false;
  // The drive speed last sent (drive units, before Reduction).
  std::int32_t MixerSpeedSent = 0;
  // The drive's link as the last 2-s cycle saw it.
  bool MixerLinkSeen = false;
  // gear ratio: stirrer rpm = drive speed / Reduction
  double Reduction = 1;
  // [Ctrlpo2] 1: pO2 regulated by the stirrer
  std::int16_t po2ctrlmotor = 0;
  // [Ctrlpo2] 2-s cycles between stirrer steps
  std::uint16_t po2motorperiod = 4;
  std::uint16_t Po2Counter = 0;
  // [Ctrlpo2] rpm limits of the stirrer steps
  std::uint16_t po2mixcoderightzone = 500, po2mixcodeleftzone = 60;
  // [Ctrlpo2] shown in the dialog only
  double po2koef = 1;
  // [Common] dose per second of output time
  double kdurwind = 1;

  // Channel and output tables
  std::array<TOutputChannel, 13> Channels{};  // [1..12]
  std::array<std::uint8_t, 9> output{};       // [1..8]
  std::array<std::int32_t, 5> IncludedAdc{};  // [0..4]
  std::int32_t IncludedAdcCount = 0;
  // [ADC] IntervalIzm: kept, unused
  std::int16_t IntervalIzm = 0;
  QString NameProcess;  // string[16]
  std::int32_t NumProcess = 0;
  std::uint16_t SampleSlot = 0;
  std::array<std::uint8_t, 9> OutputMask{};  // [1..8]

  // Timing state
  TPerChannelAndCommon<std::uint16_t> CtrlCounter{};
  TPerChannelAndCommon<std::uint16_t> PulseTicks{};
  TPerChannelAndCommon<std::uint16_t> PulseLength{};
  TPerChannelAndCommon<std::uint8_t> PulseActive{};
  TPerChannel<std::int32_t> CalError{};
  // The last conversion failed or fell outside MinValue..MaxValue: its 0 is
  // no measurement and must never be regulated on.
  TPerChannel<std::uint8_t> ReadingInvalid{};
  TPerChannel<std::uint16_t> MinuteInvalidSamples{};
  // The last minute had too few valid readings to give a mean.
  TPerChannel<std::uint8_t> MinuteAvgInvalid{};
  TPerChannelAndCommon<std::array<double, 31>> MinuteSamples{};
  TPerChannelAndCommon<double> MinuteSum{}, MinuteLow{}, MinuteHigh{};
  TPerChannelAndCommon<std::uint16_t> MinuteLowIndex{}, MinuteHighIndex{};
  TPerChannel<std::array<std::uint16_t, 4>> AdcHistory{};  // [ch][1..3]
  // [1..8]; 32 bits: 16 would wrap after 44 minutes of output time.
  std::array<std::uint32_t, 9> OutputTicks{};
  std::array<QString, 4> ModeName;
  QString Terminated;
  // [Common] spike ratio against the last minute's mean
  double kskachok = 1;
  std::array<std::uint8_t, 12> CommonPumpRequest{};
  // [Common] pump: common pump output (0 none)
  std::int32_t CommonPump = 0;
  TPulseGenerator Epp, Med, Events1, Events2;
  // 1: heated by water, 0: by steam
  std::uint8_t WaterHeating = 0;
  // [Pumps] PumpType=DORVEX
  std::uint8_t PumpTypeDorvex = 0;
  // [Pumps] speed codes: acid, alkali, feed 1, feed 2
  std::uint16_t PumpCode1 = 100, PumpCode2 = 100, PumpCode3 = 100, PumpCode4 = 100;
  std::int32_t MixerFlags = 0;
  std::uint8_t HeartbeatState = 0;
  // [Light] the light's output
  std::int16_t LightCh = 8;
  std::int16_t LightCountdown = 0;
  // [Light] 2-s cycles the light stays on
  std::int16_t LightTime = 2;
  // [Light] 1: the panel has a light button
  std::uint8_t ExistLight = 0;
  std::array<double, 5> ChartScale{1, 1, 1, 1, 1};
  // [1..5]: the scaled values of the last chart point (four channels, rpm).
  std::array<double, 6> ChartPoint{};

  // Foam window over the 2-s calls, calibration indication.
  // 2-s calls counted in the foam window
  std::int32_t FoamCalls = 0;
  // calls of the window that saw foam
  std::int32_t FoamHits = 0;
  std::int16_t Foam = 0;
  std::uint8_t CalibLive = 0;
  std::uint8_t CalibBlink = 0;
  std::int32_t CalibBlinkColor = 0;
  TCalWork CalWork;

  // Set while the last data log write failed: the operator is told once.
  bool LogWriteFailed = false;
  TLostRecords LogRowsLost;  // rows not written in the current episode

  // The [Alarms] thresholds and the checks' running state.
  TAlarmSettings AlarmSettings;
  TAlarmTrack AlarmTrack;

  // What the panel shows that other parts read as data (the data log writes
  // the link text; the menu check marks are saved).
  TPanelState PanelState;

  // Owned windows and device references
  std::unique_ptr<IVortaPanel> Panel;
  std::unique_ptr<IChartView> ChartForm;
  QPointer<QObject> SetForm, CtrlForm, CalibrForm, StatusForm, MixForm;
  TIoModule* Board = nullptr;
  TCANMixer* Mixer = nullptr;
  // Set by the status and calibration windows while they are open (not owned).
  IStatusSink* StatusSink = nullptr;
  ICalibView* CalibView = nullptr;

  // Set when the load was aborted (a device of the wrong kind): the process
  // is not taken into the list.
  QString LoadError;
};

class TVortaProcessList {
 public:
  TVortaProcessList() = default;
  ~TVortaProcessList();
  TVortaProcessList(const TVortaProcessList&) = delete;
  TVortaProcessList& operator=(const TVortaProcessList&) = delete;

  void Add(std::unique_ptr<TVortaProcess> process);
  [[nodiscard]] int Count() const { return static_cast<int>(items_.size()); }
  [[nodiscard]] TVortaProcess* ProcessAt(int position) const;
  // First position whose process matches: decimal NumProcess, NameProcess,
  // or NameProcess formatted with NumProcess (exact, case-sensitive); -1.
  [[nodiscard]] std::int32_t FindProcess(const QString& text) const;
  // Frees every process in list order.
  void Clear();

  [[nodiscard]] auto begin() const { return items_.begin(); }
  [[nodiscard]] auto end() const { return items_.end(); }

 private:
  std::vector<std::unique_ptr<TVortaProcess>> items_;
};

// Four mode flags, single digits at character positions 1, 3, 5, 7.
std::array<std::int16_t, 4> ParseModeFlags(const QString& text);

}  // namespace vorta
