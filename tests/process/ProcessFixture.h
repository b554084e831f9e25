#pragma once
// Processes loaded from real files in a folder of the test's own, with an
// I/O module and a DC drive on a fake adapter behind a real data module, and
// the three cycles on virtual time as the main form runs them.

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "BusFixture.h"
#include "devices/CANService.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
#include "platform/VirtualTimerService.h"
#include "process/CycleContext.h"
#include "process/CycleTimers.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"

namespace vorta::testing {

// pH: code 1000 reads 0.00 and 2000 reads 10.00, so 1680 is 6.80.
inline QByteArray ProcessIni(int num, const QByteArray& board, const QByteArray& extra = {},
                             const QByteArray& common = {}) {
  QByteArray text = "[Port]\r\nNameProcess=F%d\r\nNumProcess=" + QByteArray::number(num) +
                    "\r\nProtocolname=Protocol" + QByteArray::number(num) +
                    ".txt\r\nProtocolPeriodmin=1\r\n"
                    "[Hardware]\r\nBoard=" +
                    board +
                    "\r\nMixer=\r\n"
                    "[Channels]\r\nch1=1 Acid\r\nch2=1 Alkali\r\nch3=1 Base\r\nch4=1 Feed\r\n"
                    "ch5=1 Air\r\nch6=1 Heat\r\nch7=1 Cool\r\nch8=1 Light\r\n"
                    "[AssignName]\r\n1=pH\r\n2=tC\r\n3=pO2\r\n4=eH\r\n5=Common\r\n";
  for (const char* ch : {"pH", "tC", "pO2", "eH"}) {
    text += QByteArray("[") + ch +
            "]\r\nSet=7.00\r\nLin=0.00\r\nMin=0.00\r\nMax=14.00\r\nV1=0.00\r\nV2=10.00\r\n"
            "A1=1000\r\nA2=2000\r\n";
    text += QByteArray("; regulation of ") + ch + "\r\n[Ctrl" + ch +
            "]\r\nPer=1\r\nUp=0\r\nDown=0\r\nEn=0\r\nLow=5.00\r\nHigh=9.00\r\nDead=0.05\r\n"
            "GUp=2.00\r\nGDown=2.00\r\nModes=0,1,1,1\r\n";
  }
  text += "[Common]\r\nkskachok=1\r\nkdurwind=1\r\n" + common + "[Terminate]\r\nsucsesful=Y\r\n";
  return text + extra;
}

class ProcessFixture : public TBusFixture<THeadlessWindowFactory> {
 protected:
  void SetUp() override { SetUpBus(); }

  // Loads a process from its file and appends it to the list.
  TVortaProcess& AddProcess(int num, const QByteArray& board = {}, const QByteArray& extra = {},
                            const QByteArray& common = {}) {
    const QString name = QStringLiteral("proc%1.ini").arg(num);
    WriteFile(name, ProcessIni(num, board, extra, common));
    list_.Add(std::make_unique<TVortaProcess>(env_, name));
    return *list_.ProcessAt(list_.Count() - 1);
  }

  TVortaProcess& AddProcessFromExistingFile(int num) {
    list_.Add(std::make_unique<TVortaProcess>(env_, QStringLiteral("proc%1.ini").arg(num)));
    return *list_.ProcessAt(list_.Count() - 1);
  }

  // The three cyclic timers, as the main form runs them.
  void StartCycles() {
    cycles_ = std::make_unique<TCycleTimers>(time_, context_);
    cycles_->Start();
  }

  TCycleContext context_{program_, list_, time_};
  std::unique_ptr<TCycleTimers> cycles_;
};

}  // namespace vorta::testing
