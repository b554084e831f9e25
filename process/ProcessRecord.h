#pragma once
// The process record: one vessel under control, and the list that owns them.
// The record is in parts: what the process file configures (TProcessFileConfig,
// TChannelConfig), each measured channel's runtime state (TChannel), and the
// vessel's runtime state beside them.

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "journal/AlarmState.h"
#include "journal/Journal.h"
#include "platform/FolderFiles.h"
#include "process/PanelView.h"
#include "process/ProcessCodes.h"
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

// One output channel of the panel.
struct TOutputChannel {
  // [Channels] ch<n> after its kind digit: the display name (string[16])
  QString ChName;
  // The output state panel button n shows (1..7).
  std::uint8_t ChState = 0;
  // [Pumps] <n>: the process whose common pump this output also requests (0 none)
  std::uint8_t ChPump = 0;
};

// Working copy of the calibration being edited in the calibration dialog.
struct TCalWork {
  std::uint16_t Adc1 = 0;
  std::uint16_t Adc2 = 0;
  double Value1 = 0;
  double Value2 = 0;
};

// The settings of one measured channel, read by position (the keys' names
// differ from file to file) from the channel's section [<AssignName>] and
// from [Ctrl<AssignName>], edited by the dialogs and written back to the same
// positions.
struct TChannelConfig {
  // [<AssignName>] 1: setpoint, the channel's unit
  double Setpoint = 0;
  // [<AssignName>] 2: linear adjustment added to every value
  double LinAdjust = 0;
  // [<AssignName>] 3, 4: validity limits, the channel's unit
  double MinValue = 0, MaxValue = 0;
  // [<AssignName>] 5, 6: physical values of the calibration points
  double CalValue1 = 0, CalValue2 = 0;
  // [<AssignName>] 7, 8: converter codes of the calibration points
  std::uint16_t CalAdc1 = 0, CalAdc2 = 0;
  // [Ctrl<AssignName>] 1: 2-s cycles between regulation steps
  std::uint16_t CtrlPeriod = 0;
  // [Ctrl<AssignName>] 2, 3: dosing outputs (0 none); t°C's up output is
  // the heating, chosen by the main configuration
  std::int16_t CtrlOutUp = 0, CtrlOutDown = 0;
  // [Ctrl<AssignName>] 4: 1 regulation allowed
  std::int16_t CtrlEnable = 0;
  // [Ctrl<AssignName>] 5..7: control limits and dead zone, the channel's unit
  double CtrlLow = 0, CtrlHigh = 0, DeadZone = 0;
  // [Ctrl<AssignName>] 8, 9: dose seconds per unit of deviation
  double GainUp = 0, GainDown = 0;
  // [Ctrl<AssignName>] 10: regulation allowed in each vessel mode 0..3
  std::array<std::int16_t, 4> CtrlModes{};
};

// One minute's 2-s samples of a channel and what the minute's close makes of
// them.
struct TMinuteStatistics {
  std::array<double, 31> Samples{};  // [1..30]
  double Sum = 0;
  double Low = 0, High = 0;  // lowest and highest valid sample
  std::uint16_t LowIndex = 0, HighIndex = 0;
  std::uint16_t InvalidSamples = 0;
  // The last minute had too few valid readings to give a mean.
  std::uint8_t AvgInvalid = 0;
  // The last minute's trimmed mean, highest and lowest value.
  double Avg = 0, Max = 0, Min = 0;
};

// One measured channel: its settings, its reading, its regulator and its
// minute.
struct TChannel {
  TChannelConfig Config;
  // The last converter code read.
  std::uint16_t AdcCode = 0;
  // The last three codes [1..3]; sorted, [2] is the median the value is from.
  std::array<std::uint16_t, 4> AdcHistory{};
  // The last converted value, the channel's unit.
  double Value = 0;
  // The last conversion failed or fell outside MinValue..MaxValue: its 0 is
  // no measurement and must never be regulated on.
  std::uint8_t ReadingInvalid = 0;
  TRegulationStatus Status = TRegulationStatus::Normal;
  // 2-s cycles since the last regulation step.
  std::uint16_t CtrlCounter = 0;
  // The dosing pulse: 40-ms ticks done and due, and whether one runs.
  std::uint16_t PulseTicks = 0;
  std::uint16_t PulseLength = 0;
  std::uint8_t PulseActive = 0;
  TMinuteStatistics Minute;
};

// Channel arrays are numbered as the files number them: 1..4 pH, t°C, pO2,
// eH, and 5 the common entry of the control parameters; 0 is unused.
using TChannels = std::array<TChannel, 6>;

// What the vessel's process file holds, as read at start-up; the operator's
// changes land here and go back to the file through the write-back.
struct TProcessFileConfig {
  // [Port] NameProcess: caption pattern with one number (string[16])
  QString NameProcess;
  // [Port] NumProcess: the vessel's number
  std::int32_t NumProcess = 0;
  // [Port] Protocolname: the data log's file name
  QString Protocolname;
  // [Port] ProtocolPeriodmin: minutes between data log rows
  std::uint16_t ProtocolPeriodmin = 1;
  // [Terminate] sucsesful: "Y" after a normal end, "N" while running
  QString Terminated;

  // [AssignName] <n>: names of the channel sections, 1..5
  std::array<QString, 6> AssignName;
  // [outputs] output<n>: the bit of the module output that logical output n
  // (1..8) watches, 0 for a number outside 1..8.
  std::array<std::uint8_t, 9> OutputMask{};

  // [Podpitka] Ventil: process reference (list position after start-up), output
  std::array<std::int16_t, 2> Ventil{};
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

  // [CtrlSpume] spumech: antifoam output
  std::int16_t spumech = 0;
  // [CtrlSpume] penaperiod: foam window, 2-s cycles
  std::uint16_t penaperiod = 0;
  // [CtrlSpume] Existpena: 1 foam control present
  std::int16_t Existpena = 0;
  // [CtrlSpume] InversPena: 0 foam while the foam input reads 0, 1 while it reads 1
  std::int32_t InversPena = 0;
  // [CtrlSpume] Spumelevel: foam sensor sensitivity 0..2 (level outputs 12, 13)
  std::int32_t Spumelevel = 0;

  // [Ctrlpo2] po2ctrlmotor: 1 pO2 regulated by the stirrer
  std::int16_t po2ctrlmotor = 0;
  // [Ctrlpo2] po2motorperiod: 2-s cycles between stirrer steps
  std::uint16_t po2motorperiod = 4;
  // [Ctrlpo2] po2mixcoderightzone, po2mixcodeleftzone: rpm limits of the
  // stirrer steps
  std::uint16_t po2mixcoderightzone = 500, po2mixcodeleftzone = 60;
  // [Ctrlpo2] po2koef: shown in the dialog only
  double po2koef = 1;

  // [Mixer] MixSet: drive setting that speed code 255 stands for
  std::uint16_t MixSet = 400;
  // [Mixer] RestartDeltaCode: soft start step per 2-s cycle
  std::uint16_t RestartDeltaCode = 10;
  // [Mixer] Reduction: gear ratio, stirrer rpm = drive speed / Reduction
  double Reduction = 1;
  // [Mixer] MixStartStatus: 1 the stirrer is started at start-up
  std::int16_t MixStartStatus = 0;

  // [Common] kdurwind: dose per second of output time
  double kdurwind = 1;
  // [Common] kskachok: spike ratio against the last minute's mean
  double kskachok = 1;
  // [Common] pump: common pump output (0 none)
  std::int32_t CommonPump = 0;

  // [Pumps] PumpType=DORVEX
  std::uint8_t PumpTypeDorvex = 0;
  // [Pumps] PumpCode1..4: speed codes of acid, alkali, feed 1, feed 2
  std::uint16_t PumpCode1 = 100, PumpCode2 = 100, PumpCode3 = 100, PumpCode4 = 100;

  // [Light] LightCh: the light's output
  std::int16_t LightCh = 8;
  // [Light] LightTime: 2-s cycles the light stays on
  std::int16_t LightTime = 2;
  // [Light] ExistLight: 1 the panel has a light button
  std::uint8_t ExistLight = 0;
};

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

  TProcessFileConfig Config;
  TChannels Channel;

  // Files
  QString IniFileName;
  QString ProtocolFileName;
  std::int16_t ProtocolCounter = 0;

  // Panel and dialogs
  std::array<std::uint8_t, 9> ManualState{};  // [1..8]
  // The subject the status window shows: 1..4 a channel, 5 the mixer, 6 USB,
  // 7 the mixer drive, 8 the process.
  std::int32_t StatusSubject = 0;
  // What the dialog opened last from the panel's menu was opened for: the
  // channel 1..4 or 5 (common) of the control parameters or calibration, 1
  // setpoints or 2 linear adjustment of the setpoints dialog.
  std::int32_t DialogSelector = 0;
  std::int32_t MixTop = 100, MixLeft = 100, MixVisible = 0;

  // Outputs and mode
  std::uint16_t OutputWord = 0;
  TVesselMode Mode = TVesselMode::Uncontrolled;
  // Groups changed in memory and not yet in the process file.
  TPendingWriteBack SaveRequest;
  // The foam sensor's level outputs, from Spumelevel.
  std::int32_t FoamLevelOut12 = 0, FoamLevelOut13 = 0;
  // 1: heated by water, 0: by steam
  std::uint8_t WaterHeating = 0;
  // [Channels] ch<n>, [Pumps] <n>: the output channels 1..12
  std::array<TOutputChannel, 13> OutputChannels{};
  // [1..8]; 32 bits: 16 would wrap after 44 minutes of output time.
  std::array<std::uint32_t, 9> OutputTicks{};
  std::array<std::uint8_t, 12> CommonPumpRequest{};
  std::uint8_t HeartbeatState = 0;
  std::int16_t LightCountdown = 0;
  std::uint16_t SampleSlot = 0;
  std::array<QString, 4> ModeName;

  // Mixer
  // [Mixer] MixCode: stirrer speed code 0..255, moved by the operator and the
  // pO2 regulator; read at start-up and written back on request
  std::uint16_t MixCode = 0;
  std::uint16_t MixerRpm = 0;
  std::uint8_t MixRampActive = 0;
  std::uint16_t MixRampCode = 20;
  std::int16_t MixRampStart = 20;
  // The stirrer was started and not stopped since: a drive back from a power
  // cycle gets its start again, and one that stands still is an alarm.
  bool MixerShouldRun = false;
  // The drive speed last sent (drive units, before Reduction).
  std::int32_t MixerSpeedSent = 0;
  // The drive's link as the last 2-s cycle saw it.
  bool MixerLinkSeen = false;
  std::uint16_t Po2Counter = 0;

  TPulseGenerator Epp, Med, Events1, Events2;
  std::array<double, 5> ChartScale{1, 1, 1, 1, 1};

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
  // The data log rows go to: another file put in its place gets none.
  TFileIdentity LogIdentity;

  // The [Alarms] thresholds and the checks' running state.
  TAlarmSettings AlarmSettings;
  TAlarmTrack AlarmTrack;

  // What the panel shows that other parts read as data (the data log writes
  // the link text; the menu check marks are saved).
  TPanelState PanelState;

  // Owned windows and device references; the panel keeps the windows it opens.
  std::unique_ptr<IVortaPanel> Panel;
  std::unique_ptr<IChartView> ChartForm;
  TIoModule* Board = nullptr;
  TCANMixer* Mixer = nullptr;
  // Set by the status and calibration windows while they are open (not owned):
  // the engine writes to a window only while it is there.
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
