#include <algorithm>

#include "platform/Messages.h"
#include "platform/Numbers.h"
#include "platform/ProfileFile.h"
#include "process/ProcessConfig.h"
#include "process/ProcessRecord.h"

namespace vorta {

QString ShortString(const QString& text, qsizetype width) {
  return text.left(width);
}

TVortaProcess::TVortaProcess(TVortaEnv& env, const QString& fileName) : Env(env) {
  for (TPulseGenerator* g : {&Epp, &Med, &Events1, &Events2}) g->Owner = this;
  Panel = Env.Windows.CreatePanel(*this);
  ChartForm = Env.Windows.CreateChart(*this);
  IniFileName = Env.Program.ProgramFolder + fileName;
  LoadProcessFile(*this, fileName);
  if (LoadError.isEmpty()) {
    TProfileFile file(IniFileName);
    ChartForm->LoadSettings(file);
  }
}

TVortaProcess::~TVortaProcess() {
  if (LoadError.isEmpty()) {
    SaveProcessFile(*this);
    TProfileFile file(IniFileName);
    ChartForm->SaveSettings(file);
    UpdateFileOrReport(file, Env.Messages, Env.Program.FailedWrites);
  }
  Panel.reset();
  ChartForm.reset();
}

QString TVortaProcess::Caption() const {
  return FormatProcessName(Config.NameProcess, Config.NumProcess);
}

void TVortaProcess::InitRuntime() {
  OutputWord = 0;
  Mode = TVesselMode::Uncontrolled;
  SaveRequest.Clear();
  for (TChannel& c : Channel) {
    c.Config = TChannelConfig{};
    c.AdcCode = 0;
    c.Status = TRegulationStatus::Normal;
  }
  OutputChannels.fill(TOutputChannel{});
  Config.NameProcess.clear();
  Config.NumProcess = 0;
  CommonPumpRequest.fill(0);
  MixerRpm = 0;
  MixCode = 0;
  MixerShouldRun = false;
  MixerSpeedSent = 0;
  MixerLinkSeen = false;
  Config.po2ctrlmotor = 0;
  Env.Program.TwoSecondTicks = 0;
}

void TVortaProcess::InitStatistics() {
  for (TChannel& c : Channel) {
    c.CtrlCounter = 0;
    c.PulseTicks = 0;
    c.PulseLength = 0;
    c.Minute.Samples.fill(0);
    c.Minute.Sum = 0;
    c.Minute.InvalidSamples = 0;
    c.Minute.AvgInvalid = 0;
  }
  Env.Program.TwoSecondTicks = 0;
  for (size_t i = 1; i <= 4; ++i) {
    Channel[i].Minute.Low = Channel[i].Config.MaxValue;
    Channel[i].Minute.High = Channel[i].Config.MinValue;
  }
  OutputTicks.fill(0);
  ModeName = {QStringLiteral("Неконтролируемый"), QStringLiteral("Batch"),
              QStringLiteral("Chemostat"), QStringLiteral("Turbidostat")};
}

std::array<std::int16_t, 4> ParseModeFlags(const QString& text) {
  std::array<std::int16_t, 4> flags{};
  QString rest = text;
  for (auto& f : flags) {
    f = (!rest.isEmpty() && rest[0] >= u'0' && rest[0] <= u'9')
            ? static_cast<std::int16_t>(rest[0].unicode() - u'0')
            : 0;
    rest.remove(0, 2);
  }
  return flags;
}

TVortaProcessList::~TVortaProcessList() {
  Clear();
}

void TVortaProcessList::Add(std::unique_ptr<TVortaProcess> process) {
  items_.push_back(std::move(process));
}

TVortaProcess* TVortaProcessList::ProcessAt(int position) const {
  if (position < 0 || position >= Count()) return nullptr;
  return items_[static_cast<size_t>(position)].get();
}

std::int32_t TVortaProcessList::FindProcess(const QString& text) const {
  for (int i = 0; i < Count(); ++i) {
    const TVortaProcess& p = *items_[static_cast<size_t>(i)];
    if (text == QString::number(p.Config.NumProcess) || text == p.Config.NameProcess ||
        text == p.Caption()) {
      return i;
    }
  }
  return -1;
}

void TVortaProcessList::Clear() {
  // In list order, each process writing its file back as it goes.
  for (auto& p : items_) p.reset();
  items_.clear();
}

}  // namespace vorta
