#include <QCoreApplication>
#include <QStringList>
#include <limits>

#include "devices/CANBus.h"
#include "devices/CANDevice.h"
#include "devices/CANMixer.h"
#include "devices/IoModule.h"
#include "journal/Journal.h"
#include "platform/ConfigReader.h"
#include "platform/Messages.h"
#include "platform/Numbers.h"
#include "platform/ProfileFile.h"
#include "process/ConfigWriteBack.h"
#include "process/DataLog.h"
#include "process/OutputChannels.h"
#include "process/PanelView.h"
#include "process/ProcessConfig.h"
#include "process/ProcessListEntries.h"
#include "process/ProcessRecord.h"
#include "process/StatusMessages.h"

namespace vorta {

namespace {

// The I/O module's outputs: 1..16, 0 for none.
constexpr std::int64_t kOutputs = 16;

// An output number read by name; see TPositionReader::Output.
std::int16_t OutputNumber(TConfigReader& numbers, const char* section, const char* key,
                          std::int64_t def = 0) {
  return static_cast<std::int16_t>(numbers.Checked(section, key, def, 0, kOutputs).value_or(0));
}

// Reads a section by position: the n-th key's name, then the value under it.
// A section shorter than needed reads the missing positions as empty text.
class TPositionReader {
 public:
  TPositionReader(const TProfileFile& file, TConfigReader& numbers, QString section, int needed,
                  QStringList& problems)
      : file_(file),
        numbers_(numbers),
        section_(std::move(section)),
        keys_(file.ReadSection(section_)) {
    if (keys_.size() < needed) {
      // "из 1 значения", "из 3 значений": the plural forms are in vorta_ru.ts.
      problems << QCoreApplication::translate("vorta::ProcessConfigLoader",
                                              "[%1]: %2 из %n значений", nullptr, needed)
                      .arg(section_)
                      .arg(keys_.size());
    }
  }
  [[nodiscard]] QString Text(int position) const {
    if (position > keys_.size()) return {};
    return file_.ReadString(section_, keys_[position - 1], QString());
  }
  [[nodiscard]] double Real(int position) const {
    return numbers_.RealText(section_, Key(position), Text(position), 0);
  }
  // An output number: 0 (none) or one of the module's outputs; anything
  // else is refused.
  [[nodiscard]] std::int16_t Output(int position) const {
    return static_cast<std::int16_t>(
        numbers_.CheckedText(section_, Key(position), Text(position), 0, 0, kOutputs).value_or(0));
  }
  // A whole number over the range of the field it is stored in.
  template <typename T>
  [[nodiscard]] T Int(int position) const {
    return static_cast<T>(numbers_.IntText(section_, Key(position), Text(position), 0,
                                           std::numeric_limits<T>::min(),
                                           std::numeric_limits<T>::max()));
  }

 private:
  [[nodiscard]] QString Key(int position) const {
    return position <= keys_.size() ? keys_[position - 1] : QString();
  }

  const TProfileFile& file_;
  TConfigReader& numbers_;
  QString section_;
  QStringList keys_;
};

QString Str(const TProfileFile& f, const char* section, const QString& key, const QString& def) {
  return f.ReadString(QLatin1String(section), key, def);
}

// Pairs and triples of the feed programme: each piece is one byte.
std::uint8_t ByteOf(TConfigReader& numbers, const QString& key, const QString& text) {
  return static_cast<std::uint8_t>(numbers.IntText("Podpitka", key, text, 0, 0, 255));
}

// The vessel's number, then the output there.
void ReadPair(const TProfileFile& f, TConfigReader& numbers, const char* key,
              std::array<std::int16_t, 2>& pair) {
  QString list = Str(f, "Podpitka", QLatin1String(key), QStringLiteral("0,0"));
  pair[0] = ByteOf(numbers, QLatin1String(key), NextToken(list));
  pair[1] = static_cast<std::int16_t>(
      numbers.CheckedText("Podpitka", QLatin1String(key), NextToken(list), 0, 0, kOutputs)
          .value_or(0));
}

void ReadGenerator(const TVortaProcess& p, TPulseGenerator& g, std::int32_t period,
                   std::int32_t work, std::int32_t max, std::int32_t exist, std::int32_t ch,
                   std::int32_t aperiod) {
  g.Period = period;
  g.Work = work;
  g.Max = max;
  g.Exist = static_cast<std::int16_t>(exist);
  g.Ch = static_cast<std::uint8_t>(ch);
  g.Aperiod = static_cast<std::int16_t>(aperiod);
  g.State = 0;
  g.Count = 0;
  g.ChName = g.Ch <= 12 ? p.OutputChannels[g.Ch].ChName : QString();
}

// Finds Board or Mixer by exact name. False when the device is of another
// kind: the load is then aborted.
template <typename Device>
bool FindDevice(TVortaProcess& p, const TProfileFile& f, const char* key, Device*& out) {
  out = nullptr;
  const QString name = Str(f, "Hardware", QLatin1String(key), QString());
  if (name.isEmpty() || p.Env.Bus == nullptr) return true;
  TCANDevice* device = p.Env.Bus->FindByName(name);
  if (device == nullptr) return true;
  out = dynamic_cast<Device*>(device);
  if (out != nullptr) return true;
  p.LoadError = QCoreApplication::translate("vorta::ProcessConfigLoader",
                                            "Файл %1, [Hardware] %2=%3: устройство другого типа.")
                    .arg(p.IniFileName, QLatin1String(key), name);
  return false;
}

void ReadChannelTables(TVortaProcess& p, const TProfileFile& f, TConfigReader& numbers,
                       QStringList& problems) {
  for (int n = 1; n <= 4; ++n) {
    const TPositionReader r(f, numbers, p.Config.AssignName[n], 8, problems);
    TChannelConfig& c = p.Channel[n].Config;
    c.Setpoint = r.Real(1);
    c.LinAdjust = r.Real(2);
    c.MinValue = r.Real(3);
    c.MaxValue = r.Real(4);
    c.CalValue1 = r.Real(5);
    c.CalValue2 = r.Real(6);
    c.CalAdc1 = r.Int<std::uint16_t>(7);
    c.CalAdc2 = r.Int<std::uint16_t>(8);
  }
  for (int n = 1; n <= 4; ++n) {
    const TPositionReader r(f, numbers, QStringLiteral("Ctrl") + p.Config.AssignName[n], 10,
                            problems);
    TChannelConfig& c = p.Channel[n].Config;
    c.CtrlPeriod = r.Int<std::uint16_t>(1);
    // The heating output of t°C comes from the main configuration.
    if (n != 2) c.CtrlOutUp = r.Output(2);
    c.CtrlOutDown = r.Output(3);
    c.CtrlEnable = r.Int<std::int16_t>(4);
    c.CtrlLow = r.Real(5);
    c.CtrlHigh = r.Real(6);
    c.DeadZone = r.Real(7);
    c.GainUp = r.Real(8);
    c.GainDown = r.Real(9);
    c.CtrlModes = ParseModeFlags(r.Text(10));
  }
}

// Keys that files of existing installations carry and nothing depends on
// ([Port] Status, the second output word, the measurement interval, the
// converter inputs, all of which are measured): read as before, so that a bad
// number in them is still reported with the others.
void ReadKeysNothingUses(const TProfileFile& f, TConfigReader& numbers) {
  (void)Str(f, "Port", QStringLiteral("Status"), QStringLiteral("slave"));
  (void)numbers.Int("Defoult", "portout2", 0, INT16_MIN, UINT16_MAX);
  (void)numbers.Int<std::int16_t>("Include", "IntervalIzm", 2);
  for (int k = 0; k <= 4; ++k) (void)Str(f, "Include", QStringLiteral("ADC%1").arg(k), QString());
}

// A restored mode has no earlier value in this run: the old-value column
// names where it was taken from.
void JournalRestoredMode(const TVortaProcess& p, const QString& source) {
  if (p.Env.Journal != nullptr) {
    p.Env.Journal->Change(
        p.Config.NumProcess, p.Caption(), QStringLiteral("[Mode] mode"), source,
        QString::number(static_cast<int>(p.Mode)) + u' ' + p.ModeName[ModeIndex(p.Mode)],
        TJournalSource::StartUp);
  }
}

void RestoreModeAfterAbnormalEnd(TVortaProcess& p) {
  const std::optional<QString> last = ReadLastLogLine(p.ProtocolFileName);
  if (!last) {
    p.Env.Messages.ShowInfo(
        QCoreApplication::translate("vorta::ProcessConfigLoader", "Файл ") + p.Config.Protocolname +
        QCoreApplication::translate("vorta::ProcessConfigLoader", " занят другим приложением"));
    JournalRestoredMode(p, QStringLiteral("[Mode] mode"));
    return;
  }
  const QString stripped = StripToMode(*last);
  if (stripped.isEmpty()) {
    p.Mode = TVesselMode::Uncontrolled;
  } else if (const int mode = ModeFromAbbreviation(stripped); mode >= 0) {
    p.Mode = VesselMode(mode);
  }
  JournalRestoredMode(p, p.Config.Protocolname);
}

}  // namespace

QString NextToken(QString& list) {
  const qsizetype comma = list.indexOf(u',');
  if (comma < 0) {
    QString token = list;
    list.clear();
    return token;
  }
  QString token = list.left(comma);
  list.remove(0, comma + 1);
  return token;
}

namespace {

// Each reader below takes one part of the file. They run in the file's
// order, as the value reports list what was not taken in the order read.

void ReadPort(TProcessFileConfig& config, const TProfileFile& f, TConfigReader& num) {
  config.NameProcess =
      ShortString(Str(f, "Port", QStringLiteral("NameProcess"), QStringLiteral("1")));
  config.NumProcess = num.Int<std::int32_t>("Port", "NumProcess", 0);
}

// False when a device is of another kind, with the message in LoadError.
bool ReadHardware(TVortaProcess& p, const TProfileFile& f) {
  return FindDevice(p, f, "Board", p.Board) && FindDevice(p, f, "Mixer", p.Mixer);
}

// The output bit each of outputs 1..8 drives.
std::array<std::uint8_t, 9> ReadOutputMask(TConfigReader& num) {
  std::array<std::uint8_t, 9> mask{};
  for (int i = 1; i <= 8; ++i) {
    // A bit number outside 1..8 maps to no bit.
    const auto output = num.Int<std::uint8_t>("outputs", QStringLiteral("output%1").arg(i),
                                              static_cast<std::uint8_t>(i));
    if (output >= 1 && output <= 8) mask[i] = static_cast<std::uint8_t>(1U << (output - 1));
  }
  return mask;
}

// [Channels], [Pumps], [AssignName], the common pump and the four channels'
// measurement and regulation tables.
void ReadChannels(TVortaProcess& p, const TProfileFile& f, TConfigReader& num,
                  QStringList& problems) {
  for (int i = 1; i <= 12; ++i) {
    TOutputChannel& ch = p.OutputChannels[static_cast<size_t>(i)];
    const QString value = Str(f, "Channels", QStringLiteral("ch%1").arg(i), QString());
    // The first character, the output's kind, is kept in the file only.
    ch.ChName = ShortString(value.mid(2));
    ch.ChState = 0;
    ch.ChPump = num.Int<std::uint8_t>("Pumps", QString::number(i), 0);
  }
  for (int i = 1; i <= 5; ++i) {
    p.Config.AssignName[i] = Str(f, "AssignName", QString::number(i), QStringLiteral("0.0"));
  }
  p.Config.CommonPump = OutputNumber(num, "Common", "pump");
  ReadChannelTables(p, f, num, problems);
}

// [Ctrlpo2], [Mode] and [CtrlSpume].
void ReadRegulation(TVortaProcess& p, TConfigReader& num) {
  TProcessFileConfig& config = p.Config;
  config.po2ctrlmotor = static_cast<std::int16_t>(num.Int("Ctrlpo2", "po2ctrlmotor", 0, 0, 1));
  config.po2motorperiod = num.Int<std::uint16_t>("Ctrlpo2", "po2motorperiod", 4);
  config.po2mixcoderightzone = num.Int<std::uint16_t>("Ctrlpo2", "po2mixcoderightzone", 500);
  config.po2mixcodeleftzone = num.Int<std::uint16_t>("Ctrlpo2", "po2mixcodeleftzone", 60);
  config.po2koef = num.Real("Ctrlpo2", "po2koef", 1);
  // The mode indexes the per-mode regulation flags.
  p.Mode = VesselMode(static_cast<int>(num.Int("Mode", "mode", 0, 0, 3)));
  config.spumech = OutputNumber(num, "CtrlSpume", "spumech");
  config.penaperiod = num.Int<std::uint16_t>("CtrlSpume", "penaperiod", 0);
  config.Existpena = static_cast<std::int16_t>(num.Int("CtrlSpume", "Existpena", 0, 0, 1));
  config.InversPena = static_cast<std::int32_t>(num.Int("CtrlSpume", "InversPena", 0, 0, 1));
  config.Spumelevel = num.Int<std::int32_t>("CtrlSpume", "Spumelevel", 0);
  p.FoamLevelOut12 = config.Spumelevel == 1 ? 1 : 0;
  p.FoamLevelOut13 = config.Spumelevel == 0 ? 1 : 0;
}

// [EPP], [Med], [Events1] and [Events2].
void ReadPulseGenerators(TVortaProcess& p, TConfigReader& num) {
  ReadGenerator(p, p.Epp, num.Int<std::int32_t>("EPP", "eppperiod", 0),
                num.Int<std::int32_t>("EPP", "eppact", 0),
                num.Int<std::int32_t>("EPP", "eppmax", 0),
                num.Int<std::int16_t>("EPP", "eppexist", 0), OutputNumber(num, "EPP", "eppch"), 0);
  ReadGenerator(p, p.Med, num.Int<std::int32_t>("Med", "medperiod", 4),
                num.Int<std::int32_t>("Med", "medact", 0),
                num.Int<std::int32_t>("Med", "medmax", 0),
                num.Int<std::int16_t>("Med", "medexist", 0), OutputNumber(num, "Med", "medch"), 0);
  for (auto [g, section] : {std::pair{&p.Events1, "Events1"}, std::pair{&p.Events2, "Events2"}}) {
    ReadGenerator(p, *g, num.Int<std::int32_t>(section, "EFT", 0),
                  num.Int<std::int32_t>(section, "WRK", 0), g->Max,
                  num.Int<std::int16_t>(section, "exist", 0), OutputNumber(num, section, "ch"),
                  num.Int<std::int16_t>(section, "aperiod", 0));
  }
}

// The [Common] factors, the data log's name and period, [Terminate].
void ReadLogAndEnd(TProcessFileConfig& config, const TProfileFile& f, TConfigReader& num) {
  config.kdurwind = num.Real("Common", "kdurwind", 1);
  config.kskachok = num.Real("Common", "kskachok", 1);
  config.Protocolname = DataLogName(f);
  config.Terminated = Str(f, "Terminate", QStringLiteral("sucsesful"), QStringLiteral("Y"));
  // The minute counter is 16-bit signed: a longer period would never write a row.
  config.ProtocolPeriodmin =
      static_cast<std::uint16_t>(num.Int("Port", "ProtocolPeriodmin", 1, 1, INT16_MAX));
}

// A file without the section keeps the defaults.
TAlarmSettings ReadAlarms(TConfigReader& num, TAlarmSettings alarms) {
  alarms.ReadingGrace =
      static_cast<std::int32_t>(num.Int("Alarms", "ReadingGrace", alarms.ReadingGrace, 0, 86'400));
  alarms.LimitGrace =
      static_cast<std::int32_t>(num.Int("Alarms", "LimitGrace", alarms.LimitGrace, 0, 86'400));
  alarms.DoseWindow =
      static_cast<std::int32_t>(num.Int("Alarms", "DoseWindow", alarms.DoseWindow, 1, 1'440));
  alarms.DoseDeadZones =
      static_cast<std::int32_t>(num.Int("Alarms", "DoseDeadZones", alarms.DoseDeadZones, 1, 100));
  alarms.StirrerGrace =
      static_cast<std::int32_t>(num.Int("Alarms", "StirrerGrace", alarms.StirrerGrace, 0, 86'400));
  return alarms;
}

void ReadMixer(TVortaProcess& p, TConfigReader& num) {
  p.MixTop = num.Int<std::int32_t>("Mixer", "MixTop", 100);
  p.MixLeft = num.Int<std::int32_t>("Mixer", "MixLeft", 100);
  // A speed code goes to the drive as one byte.
  p.MixCode = static_cast<std::uint16_t>(num.Int("Mixer", "MixCode", 10, 0, 255));
  p.Config.MixSet = num.Int<std::uint16_t>("Mixer", "MixSet", 400);
  p.Config.RestartDeltaCode = num.Int<std::uint16_t>("Mixer", "RestartDeltaCode", 10);
  p.Config.Reduction = num.Real("Mixer", "Reduction", 1);
  p.MixVisible = static_cast<std::int32_t>(num.Int("Mixer", "MixVisible", 0, 0, 1));
  p.Config.MixStartStatus = static_cast<std::int16_t>(num.Int("Mixer", "MixStartStatus", 0, 0, 1));
}

// [Podpitka]: the feed valves, medium, pump and the phase programme.
void ReadFeed(TProcessFileConfig& config, const TProfileFile& f, TConfigReader& num) {
  ReadPair(f, num, "Ventil", config.Ventil);
  ReadPair(f, num, "Sreda", config.Sreda);
  ReadPair(f, num, "Pump", config.PodpPump);
  config.Klapan = static_cast<std::uint8_t>(OutputNumber(num, "Podpitka", "Klapan"));
  // The phase table has 17 entries: a longer programme cannot run.
  config.FazaCount = static_cast<std::int32_t>(
      num.Int("Podpitka", "FazaCount", 0, 0, static_cast<std::int64_t>(config.Faza.size())));
  for (int i = 0; i < config.FazaCount; ++i) {
    const QString key = QStringLiteral("Faza%1").arg(i);
    QString list = Str(f, "Podpitka", key, QStringLiteral("0,0,0"));
    for (auto& state : config.Faza[static_cast<size_t>(i)])
      state = ByteOf(num, key, NextToken(list));
  }
}

// The pump codes and type of [Pumps], then [Light].
void ReadPumpsAndLight(TProcessFileConfig& config, const TProfileFile& f, TConfigReader& num) {
  const std::array<std::uint16_t*, 4> codes{&config.PumpCode1, &config.PumpCode2, &config.PumpCode3,
                                            &config.PumpCode4};
  for (int k = 1; k <= 4; ++k) {
    // Sent to the module as one byte.
    *codes[static_cast<size_t>(k - 1)] = static_cast<std::uint16_t>(
        num.Int("Pumps", QStringLiteral("PumpCode%1").arg(k), 100, 0, 255));
  }
  config.PumpTypeDorvex = Str(f, "Pumps", QStringLiteral("PumpType"), QStringLiteral("DORVEX")) ==
                                  QLatin1String("DORVEX")
                              ? 1
                              : 0;
  config.LightCh = OutputNumber(num, "Light", "LightCh", 8);
  config.LightTime = num.Int<std::int16_t>("Light", "LightTime", 2);
  config.ExistLight =
      Str(f, "Light", QStringLiteral("ExistLight"), QStringLiteral("0")) == u"1" ? 1 : 0;
}

// The mode this run starts in, from how the last one ended; then the file
// is marked as running.
void RestoreModeAndMarkRunning(TVortaProcess& p, TProfileFile& f, TConfigReader& num) {
  // The mode an end from outside kept, from a version that wrote only that.
  const auto keptMode = static_cast<int>(num.Int("Terminate", "KeptMode", -1, -1, 3));
  // [Mode] mode is written at every change and at every start: after any end
  // it is newer than the data log's last row, which is up to a minute old.
  // Files without the mark come from a version that did not keep it so.
  const bool modeInFile = Str(f, "Mode", QStringLiteral("Current"), QString()) == u"1";
  if (p.Config.Terminated == QLatin1String("Y")) {
    p.Config.Terminated = QStringLiteral("N");
    p.Mode = TVesselMode::Uncontrolled;
  } else if (keptMode >= 0) {
    p.Mode = VesselMode(keptMode);
    JournalRestoredMode(p, QStringLiteral("[Terminate] KeptMode"));
  } else if (modeInFile) {
    JournalRestoredMode(p, QStringLiteral("[Mode] mode"));
  } else {
    RestoreModeAfterAbnormalEnd(p);
  }
  // Before anything else of this run: the mode in force is in the file, so
  // a kill of this start, before its first row, comes back to it.
  f.WriteString(QStringLiteral("Terminate"), QStringLiteral("Sucsesful"), QStringLiteral("N"));
  if (keptMode >= 0) f.WriteInteger(QStringLiteral("Terminate"), QStringLiteral("KeptMode"), -1);
  WriteModeInForce(p, f);
  UpdateFileOrReport(f, p.Env.Messages, p.Env.Program.FailedWrites);
}

// One message per file: missing parameters, then values that took their default.
void ReportLoadProblems(const TVortaProcess& p, const QStringList& problems,
                        const TConfigReader& num) {
  QStringList report;
  if (!problems.isEmpty()) {
    report << QCoreApplication::translate(
                  "vorta::ProcessConfigLoader",
                  "Файл %1: недостаточно параметров, недостающие считаны как 0:\n")
                      .arg(p.IniFileName) +
                  problems.join(u'\n');
  }
  if (!num.Notes().isEmpty()) report << num.Report();
  if (!report.isEmpty()) p.Env.Messages.ShowInfo(report.join(u'\n'));
}

}  // namespace

void LoadProcessFile(TVortaProcess& p, const QString& fileName) {
  TProgramState& program = p.Env.Program;
  QStringList problems;

  p.PanelState.OnlyMinimizeIcon = true;
  p.WaterHeating = program.DefWarm == 0 ? 1 : 0;
  p.InitRuntime();
  p.Channel[2].Config.CtrlOutUp =
      static_cast<std::int16_t>(program.DefWarm == 0 ? program.IndexWater : program.IndexSteam);
  p.IniFileName = program.ProgramFolder + fileName;
  TProfileFile f(p.IniFileName);
  if (f.Unreadable()) {
    // Not started: a vessel run on defaults would also write them back.
    p.LoadError = UnreadableFileText(f) +
                  QCoreApplication::translate("vorta::ProcessConfigLoader", " Процесс не запущен.");
    p.Env.Messages.ShowError(p.LoadError);
    return;
  }
  TConfigReader num(f);

  ReadPort(p.Config, f, num);
  p.PanelState.Caption = p.Caption();
  if (!ReadHardware(p, f)) {
    p.Board = nullptr;
    p.Mixer = nullptr;
    p.Env.Messages.ShowError(p.LoadError);
    return;
  }

  p.Panel->PlaceByNumber(p.Config.NumProcess);
  p.PanelState.StatusText[1] =
      QCoreApplication::translate("vorta::ProcessConfigLoader", "Об/мин: 0");
  p.PanelState.StatusText[0] = QStringLiteral("0");

  p.OutputWord = num.Int<std::uint16_t>("Defoult", "portout1", 0);
  ReadKeysNothingUses(f, num);
  p.Config.OutputMask = ReadOutputMask(num);
  ReadChannels(p, f, num, problems);
  ReadRegulation(p, num);
  ReadPulseGenerators(p, num);
  ReadLogAndEnd(p.Config, f, num);
  const int period = p.Config.ProtocolPeriodmin;
  p.PanelState.ProtocolMenuChecked =
      (period == 1 || period == 2 || period == 5 || period == 10 || period == 15) ? period : 0;
  p.AlarmSettings = ReadAlarms(num, p.AlarmSettings);
  ReadMixer(p, num);
  ReadFeed(p.Config, f, num);
  ReadPumpsAndLight(p.Config, f, num);
  p.PanelState.LightButtonVisible = p.Config.ExistLight == 1;

  // An output past the module would be cut to another one (257 is output 1):
  // the vessel does not start rather than dose through the wrong pump.
  if (!num.Refused().isEmpty()) {
    p.Board = nullptr;
    p.Mixer = nullptr;
    p.LoadError = num.RefusedReport(
        QCoreApplication::translate("vorta::ProcessConfigLoader", "процесс не запущен"));
    p.Env.Messages.ShowError(p.LoadError);
    return;
  }

  p.InitStatistics();

  p.ProtocolFileName = program.ProgramFolder + p.Config.Protocolname;
  CreateLogIfMissing(p);
  RestoreModeAndMarkRunning(p, f, num);
  // After the restore, which reads the last whole row: a row cut by a kill
  // gets its line end, so the next row is not glued to it.
  CloseCutLogRow(p);

  p.Panel->InitValueGrid();
  p.MixRampActive = 0;
  p.MixRampCode = 20;
  p.MixRampStart = 20;
  SetStartUpOutputs(p);

  ShowModeAndClock(p);
  p.Panel->PanelStateChanged();
  p.Panel->OpenMixerWindow(false);
  if (p.Config.MixStartStatus == 1) StartMixer(p);
  ReportLoadProblems(p, problems, num);
}

void SaveProcessFile(TVortaProcess& p) {
  TProfileFile f(p.IniFileName);
  // An end from outside leaves "N", as a crash does, and the mode itself: the
  // data log's last row may be older than the last change.
  const bool keep = p.Env.Program.KeepModesAtEnd;
  p.Config.Terminated = keep ? QStringLiteral("N") : QStringLiteral("Y");
  f.WriteString(QStringLiteral("Terminate"), QStringLiteral("Sucsesful"), p.Config.Terminated);
  if (keep)
    f.WriteInteger(QStringLiteral("Terminate"), QStringLiteral("KeptMode"), ModeIndex(p.Mode));
  f.WriteInteger(QStringLiteral("Mixer"), QStringLiteral("MixTop"), p.MixTop);
  f.WriteInteger(QStringLiteral("Mixer"), QStringLiteral("MixLeft"), p.MixLeft);
  f.WriteInteger(QStringLiteral("Port"), QStringLiteral("ProtocolPeriodmin"),
                 p.Config.ProtocolPeriodmin);
  p.MixVisible = p.Panel->MixerWindowOpen() ? 1 : 0;
  f.WriteInteger(QStringLiteral("Mixer"), QStringLiteral("MixVisible"), p.MixVisible);
  // Whatever end this is, what the operator set and the 500-ms tick has not
  // written yet (or could not write) goes into the same write.
  WritePendingGroups(p, f);
  if (UpdateFileOrReport(f, p.Env.Messages, p.Env.Program.FailedWrites)) p.SaveRequest.Clear();
}

}  // namespace vorta
