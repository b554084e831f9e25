// The deferred write-back: the changed groups of settings go back into the
// process file, by position in the channel sections and by name elsewhere.
// The file is replaced whole, so a crash leaves the old or the new file.

#include <QStringList>

#include "platform/Messages.h"
#include "platform/Numbers.h"
#include "platform/ProfileFile.h"
#include "process/ConfigWriteBack.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

QString Real(double v) {
  return FormatFixed(v, 2);
}

// Integers of 16-bit fields are written as unsigned.
QString U16(std::int32_t v) {
  return QString::number(static_cast<std::uint16_t>(v));
}

// Writes to the n-th key of a section, keeping the names the file has; a
// section shorter than that has no key to write to.
class TPositionWriter {
 public:
  TPositionWriter(TProfileFile& file, QString section)
      : file_(file), section_(std::move(section)), keys_(file.ReadSection(section_)) {}
  void Write(int position, const QString& value) {
    if (position < 1 || position > keys_.size()) return;
    file_.WriteString(section_, keys_[position - 1], value);
  }

 private:
  TProfileFile& file_;
  QString section_;
  QStringList keys_;
};

void Put(TProfileFile& f, const char* section, const char* key, const QString& value) {
  f.WriteString(QLatin1String(section), QLatin1String(key), value);
}

void WriteControlParameters(const TVortaProcess& p, TProfileFile& f) {
  for (size_t n = 1; n <= 4; ++n) {
    TPositionWriter w(f, QStringLiteral("Ctrl") + p.Config.AssignName[n]);
    w.Write(1, U16(p.Channel[n].Config.CtrlPeriod));
    w.Write(2, U16(p.Channel[n].Config.CtrlOutUp));
    w.Write(3, U16(p.Channel[n].Config.CtrlOutDown));
    w.Write(4, U16(p.Channel[n].Config.CtrlEnable));
    w.Write(5, Real(p.Channel[n].Config.CtrlLow));
    w.Write(6, Real(p.Channel[n].Config.CtrlHigh));
    w.Write(7, Real(p.Channel[n].Config.DeadZone));
    w.Write(8, Real(p.Channel[n].Config.GainUp));
    w.Write(9, Real(p.Channel[n].Config.GainDown));
  }
  Put(f, "Epp", "eppperiod", QString::number(p.Epp.Period));
  Put(f, "Epp", "eppact", QString::number(p.Epp.Work));
  Put(f, "Epp", "eppexist", U16(p.Epp.Exist));
  Put(f, "Med", "medperiod", QString::number(p.Med.Period));
  Put(f, "Med", "medact", QString::number(p.Med.Work));
  Put(f, "Med", "medexist", U16(p.Med.Exist));
  for (auto [g, section] : {std::pair{&p.Events1, "events1"}, std::pair{&p.Events2, "events2"}}) {
    Put(f, section, "EFT", QString::number(g->Period));
    Put(f, section, "WRK", QString::number(g->Work));
    Put(f, section, "exist", U16(g->Exist));
    Put(f, section, "aperiod", U16(g->Aperiod));
  }
  Put(f, "Ctrlpo2", "po2motorperiod", U16(p.Config.po2motorperiod));
  Put(f, "Ctrlpo2", "po2mixcoderightzone", U16(p.Config.po2mixcoderightzone));
  Put(f, "Ctrlpo2", "po2mixcodeleftzone", U16(p.Config.po2mixcodeleftzone));
  Put(f, "Ctrlpo2", "po2koef", FormatFixed(p.Config.po2koef, 1));
  Put(f, "Ctrlpo2", "po2ctrlmotor", U16(p.Config.po2ctrlmotor));
  Put(f, "Pumps", "PumpType",
      p.Config.PumpTypeDorvex == 1 ? QStringLiteral("DORVEX") : QStringLiteral("MasterFlex"));
  const std::uint16_t codes[] = {p.Config.PumpCode1, p.Config.PumpCode2, p.Config.PumpCode3,
                                 p.Config.PumpCode4};
  for (int k = 0; k < 4; ++k) {
    f.WriteString(QStringLiteral("Pumps"), QStringLiteral("PumpCode%1").arg(k + 1),
                  QString::number(codes[k]));
  }
  Put(f, "Ctrlspume", "existpena", U16(p.Config.Existpena));
  Put(f, "Ctrlspume", "Spumelevel", QString::number(p.Config.Spumelevel));
}

}  // namespace

void WritePendingGroups(const TVortaProcess& p, TProfileFile& f) {
  const TPendingWriteBack& pending = p.SaveRequest;
  if (pending.Contains(TWriteBackGroup::Setpoints)) {
    for (size_t n = 1; n <= 4; ++n)
      TPositionWriter(f, p.Config.AssignName[n]).Write(1, Real(p.Channel[n].Config.Setpoint));
  }
  if (pending.Contains(TWriteBackGroup::MixerCode)) Put(f, "Mixer", "MixCode", U16(p.MixCode));
  // The calibration writes the linear adjustment as well.
  if (pending.Contains(TWriteBackGroup::LinearAdjustment) ||
      pending.Contains(TWriteBackGroup::Calibration)) {
    for (size_t n = 1; n <= 4; ++n) {
      TPositionWriter(f, p.Config.AssignName[n]).Write(2, Real(p.Channel[n].Config.LinAdjust));
    }
  }
  if (pending.Contains(TWriteBackGroup::Calibration)) {
    for (size_t n = 1; n <= 4; ++n) {
      TPositionWriter w(f, p.Config.AssignName[n]);
      // Saving a calibration resets the linear adjustment in memory (written
      // above); the file must follow, or the old offset returns on top of
      // the new calibration at the next start.
      w.Write(5, Real(p.Channel[n].Config.CalValue1));
      w.Write(6, Real(p.Channel[n].Config.CalValue2));
      w.Write(7, U16(p.Channel[n].Config.CalAdc1));
      w.Write(8, U16(p.Channel[n].Config.CalAdc2));
    }
  }
  if (pending.Contains(TWriteBackGroup::Mode)) WriteModeInForce(p, f);
  if (pending.Contains(TWriteBackGroup::ControlParameters)) WriteControlParameters(p, f);
}

void WriteModeInForce(const TVortaProcess& p, TProfileFile& f) {
  Put(f, "Mode", "mode", QString::number(static_cast<int>(p.Mode)));
  Put(f, "Mode", "Current", QStringLiteral("1"));
}

bool SaveRequestedGroup(TVortaProcess& p) {
  if (p.SaveRequest.Empty()) return true;
  TProfileFile f(p.IniFileName);
  WritePendingGroups(p, f);
  // What the disk refused stays pending and is tried again at the next tick.
  if (!UpdateFileOrReport(f, p.Env.Messages, p.Env.Program.FailedWrites)) return false;
  p.SaveRequest.Clear();
  return true;
}

}  // namespace vorta
