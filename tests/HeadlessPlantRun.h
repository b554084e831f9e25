#pragma once
// The whole controller without windows on a prepared folder, with the virtual
// plant behind the board library's in-process bus, on virtual time. Shared by
// tests and benchmarks, so it reports failures instead of asserting.

#include <QDateTime>
#include <QDir>
#include <QString>

#include "app/DemoFolder.h"
#include "app/MainForm.h"
#include "app/PlantHost.h"
#include "can/AdapterFactory.h"
#include "can/Chai.h"
#include "devices/CANService.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
#include "platform/RealTimerService.h"
#include "platform/VirtualTimerService.h"
#include "process/PanelView.h"

namespace vorta::test {

// A fixed start, so that logs and pictures repeat.
inline double DemoStartDate() {
  return ToSystemDateTime(QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::LocalTime));
}

// pO2 and eH dose too, on outputs of their own, with gains that give pulses
// of a few seconds in every period.
inline bool RegulateAllChannels(const QString& path) {
  TProfileFile ini(path);
  const struct {
    const char* section;
    int up, down;
    const char* gain;
  } extra[] = {{"CtrlpO2%", 10, 11, "0.06"}, {"CtrleH", 12, 13, "0.015"}};
  for (const auto& c : extra) {
    const QString s = QString::fromLatin1(c.section);
    ini.WriteInteger(s, QStringLiteral("Up"), c.up);
    ini.WriteInteger(s, QStringLiteral("Down"), c.down);
    ini.WriteInteger(s, QStringLiteral("Enable"), 1);
    ini.WriteString(s, QStringLiteral("DeadZone"), QStringLiteral("0.50"));
    ini.WriteString(s, QStringLiteral("GainUp"), QString::fromLatin1(c.gain));
    ini.WriteString(s, QStringLiteral("GainDown"), QString::fromLatin1(c.gain));
    ini.WriteString(s, QStringLiteral("Modes"), QStringLiteral("0,1,1,1"));
  }
  return ini.UpdateFile();
}

// The demo folder for `vessels` vessels, every one dosing on all four
// measured channels.
inline bool PrepareDosingDemoFolder(const QString& folder, int vessels, QString* error) {
  if (!PrepareDemoFolder(folder, error, vessels)) return false;
  for (int n = 1; n <= vessels; ++n) {
    const QString path = QDir(folder).filePath(QStringLiteral("Process%1.ini").arg(n));
    if (!RegulateAllChannels(path)) {
      *error = QStringLiteral("cannot write ") + path;
      return false;
    }
  }
  return true;
}

class TStandardAdapters : public TAdapterFactory {
 public:
  TStandardAdapters() { RegisterStandardAdapters(*this); }
};

// Construct, then Start(); Shutdown() closes the program in order. The board
// library is reset before and after, so that every run has the bus to itself.
template <typename Messages = TStderrMessageSink>
class THeadlessPlantRun {
 public:
  explicit THeadlessPlantRun(const QString& folder)
      : plant(folder, time),
        dm(time, factory),
        form(TMainForm::TDeps{time, messages, windows, window, dm}, folder) {}

  [[nodiscard]] bool Start() { return form.Start() == TMainForm::TStartResult::Running; }
  void Shutdown() {
    form.Program().ShutdownRequested = true;
    time.AdvanceBy(40);  // the next tick runs the shutdown
  }

 private:
  struct TFreshBus {
    TFreshBus() { ChaiReset(); }
    ~TFreshBus() { ChaiReset(); }
  } freshBus_;

 public:
  TVirtualTimerService time{DemoStartDate()};
  Messages messages;
  THeadlessWindowFactory windows;
  THeadlessMainWindow window;
  TStandardAdapters factory;
  TPlantHost plant;
  TCANService dm;
  TMainForm form;
};

}  // namespace vorta::test
