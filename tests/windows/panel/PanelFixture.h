#pragma once
// Processes with real panel windows (kept hidden unless a test shows them),
// loaded from files in a folder of the test's own, with an I/O module on a
// fake adapter and virtual time.

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "BusFixture.h"
#include "devices/CANService.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
#include "platform/VirtualTimerService.h"
#include "process/CycleContext.h"
#include "process/ProcessRecord.h"
#include "windows/panel/QtWindowFactory.h"
#include "windows/panel/VortaForm.h"

namespace vorta::testing {

// Calibration 1000 -> 0.00, 2000 -> 10.00 on every channel. Outputs: pH down
// 2 / up 1, cooling 6, heating 8 (main configuration), antifoam 4, light 9.
inline QByteArray PanelProcessIni(int num, const QByteArray& extra = {}) {
  QByteArray text = "[Port]\r\nNameProcess=F%d\r\nNumProcess=" + QByteArray::number(num) +
                    "\r\nProtocolname=Protocol" + QByteArray::number(num) +
                    ".txt\r\nProtocolPeriodmin=1\r\n"
                    "[Hardware]\r\nBoard=Board1\r\nMixer=\r\n"
                    "[Channels]\r\nch1=1 Щелочь\r\nch2=1 Кислота\r\nch3=1 Пеногаситель\r\n"
                    "ch4=1 Подпитка 2\r\nch5=1 Подпитка 1\r\nch6=1 Охлаждение\r\n"
                    "ch7=1 Нагрев\r\nch8=1 Свет\r\n"
                    "[AssignName]\r\n1=pH\r\n2=tC\r\n3=pO2\r\n4=eH\r\n5=Common\r\n"
                    "[CtrlSpume]\r\nspumech=4\r\npenaperiod=1\r\nExistpena=1\r\nInversPena=1\r\n"
                    "[Light]\r\nLightCh=9\r\nLightTime=2\r\nExistLight=1\r\n";
  const char* names[] = {"pH", "tC", "pO2", "eH"};
  const char* sets[] = {"7.00", "37.50", "30.00", "-1.50"};
  const char* outs[] = {"1\r\nDown=2", "0\r\nDown=6", "0\r\nDown=0", "0\r\nDown=0"};
  for (int i = 0; i < 4; ++i) {
    text += QByteArray("[") + names[i] + "]\r\nSet=" + sets[i] +
            "\r\nLin=0.00\r\nMin=-100.00\r\nMax=100.00\r\nV1=0.00\r\nV2=10.00\r\n"
            "A1=1000\r\nA2=2000\r\n";
    text += QByteArray("[Ctrl") + names[i] + "]\r\nPer=1\r\nUp=" + outs[i] +
            "\r\nEn=0\r\nLow=-100.00\r\nHigh=100.00\r\nDead=0.05\r\n"
            "GUp=2.00\r\nGDown=2.00\r\nModes=0,1,1,1\r\n";
  }
  text +=
      "[Mode]\r\nmode=1\r\n[Common]\r\nkskachok=1\r\nkdurwind=1\r\n"
      "[Terminate]\r\nsucsesful=Y\r\n";
  return text + extra;
}

class PanelFixture : public TBusFixture<TQtWindowFactory, false> {
 public:
  // The windows the process's panel has opened.
  static TPanelWindows& Windows(TVortaProcess& p) {
    auto* form = dynamic_cast<TVortaForm*>(p.Panel.get());
    EXPECT_NE(form, nullptr);
    return form->Windows();
  }

 protected:
  void SetUp() override {
    SetUpBus();
    module_->StartTimers();
  }

  TVortaProcess& AddProcess(int num, const QByteArray& extra = {}) {
    const QString name = QStringLiteral("proc%1.ini").arg(num);
    WriteFile(name, PanelProcessIni(num, extra));
    list_.Add(std::make_unique<TVortaProcess>(env_, name));
    return *list_.ProcessAt(list_.Count() - 1);
  }

  static TVortaForm& Form(TVortaProcess& p) {
    auto* form = dynamic_cast<TVortaForm*>(p.Panel.get());
    EXPECT_NE(form, nullptr);
    return *form;
  }

  // The last output word the module was sent, or -1.
  int LastSentWord() const {
    const std::vector<std::uint16_t> words = SentOutputWords();
    return words.empty() ? -1 : words.back();
  }

  TCycleContext Cycles() { return TCycleContext{program_, list_, time_}; }

  // Writes the window to $VORTA_SCREENSHOT_DIR/<name>.png when that is set.
  static void Shot(QWidget& w, const QString& name) {
    const QString dir = qEnvironmentVariable("VORTA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    w.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
  }
};

}  // namespace vorta::testing
