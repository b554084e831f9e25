#pragma once
// One vessel loaded from a file in a folder of the test's own, with an I/O
// module and a DC drive on a fake adapter and virtual time: what the
// calibration checks and the drive status lines work on. Windows: the factory
// the vessel gets its windows from (headless here; the panel's tests give it
// the real panel).

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "BusFixture.h"
#include "devices/CANService.h"
#include "platform/ProfileFile.h"
#include "platform/VirtualTimerService.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"

namespace vorta::testing {

// Channel limits: pH 2.00..12.50, tC 0.00..60.00, pO2 0.00..100.00,
// eH -500.00..500.00; calibration 1000 -> 4.00, 3000 -> 9.00 on every channel.
inline QByteArray CalibrationProcessIni() {
  QByteArray text =
      "[Port]\r\nNameProcess=F%d\r\nNumProcess=1\r\nProtocolname=Protocol1.txt\r\n"
      "ProtocolPeriodmin=1\r\n[Hardware]\r\nBoard=Board1\r\nMixer=Mix1\r\n"
      "[AssignName]\r\n1=pH\r\n2=tC\r\n3=pO2\r\n4=eH\r\n5=Common\r\n";
  const char* names[] = {"pH", "tC", "pO2", "eH"};
  const char* limits[] = {"Min=2.00\r\nMax=12.50", "Min=0.00\r\nMax=60.00",
                          "Min=0.00\r\nMax=100.00", "Min=-500.00\r\nMax=500.00"};
  for (int i = 0; i < 4; ++i) {
    text += QByteArray("[") + names[i] + "]\r\nSet=7.00\r\nLin=0.35\r\n" + limits[i] +
            "\r\nV1=4.00\r\nV2=9.00\r\nA1=1000\r\nA2=3000\r\n";
  }
  return text + "[Mode]\r\nmode=1\r\n";
}

template <typename Windows, auto... WindowArgs>
class TCalibrationFixture : public TBusFixture<Windows, WindowArgs...> {
 protected:
  void SetUp() override {
    this->SetUpBus();
    this->WriteFile(QStringLiteral("proc1.ini"), CalibrationProcessIni());
    this->list_.Add(std::make_unique<TVortaProcess>(this->env_, QStringLiteral("proc1.ini")));
    ASSERT_EQ(this->list_.Count(), 1);
  }

  TVortaProcess& Process() { return *this->list_.ProcessAt(0); }
};

using CalibrationFixture = TCalibrationFixture<THeadlessWindowFactory>;

}  // namespace vorta::testing
