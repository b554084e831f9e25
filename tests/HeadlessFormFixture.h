#pragma once
// What the controller's form needs around it without windows or a bus: virtual
// time, recorded messages and a runtime folder of its own (the single-instance
// lock lives there).

#include <gtest/gtest.h>

#include "CoreApplication.h"
#include "ProgramFolder.h"
#include "RecordingMessages.h"
#include "app/MainForm.h"
#include "can/AdapterFactory.h"
#include "devices/CANService.h"
#include "process/PanelView.h"
#include "platform/VirtualTimerService.h"

namespace vorta::test {

class THeadlessFormFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureCoreApplication();
    qputenv("XDG_RUNTIME_DIR", runtime.Path().toUtf8());
  }

  TProgramFolder runtime;
  TVirtualTimerService time;
  TRecordingMessages messages;
  THeadlessWindowFactory windows;
};

}  // namespace vorta::test
