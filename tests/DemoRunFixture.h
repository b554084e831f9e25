#pragma once
// The whole controller on the demo folder with the virtual plant behind the
// board library's in-process bus, on virtual time from a fixed date (so that
// logs and pictures repeat). Windows: the factory the vessels get their
// windows from, e.g. TDemoRunFixture<TQtWindowFactory, false>.

#include <gtest/gtest.h>

#include <memory>

#include "CoreApplication.h"
#include "HeadlessPlantRun.h"
#include "ProgramFolder.h"
#include "RecordingMessages.h"

namespace vorta::test {

template <typename Windows, auto... WindowArgs>
class TDemoRunFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureCoreApplication();
    qputenv("XDG_RUNTIME_DIR", runtime.Path().toUtf8());
    ChaiReset();
    QString error;
    ASSERT_TRUE(PrepareDemoFolder(folder.Path(), &error)) << error.toStdString();
    plant = std::make_unique<TPlantHost>(folder.Path(), time);
    ASSERT_TRUE(plant->Running());
    dm = std::make_unique<TCANService>(time, factory);
    form = std::make_unique<TMainForm>(TMainForm::TDeps{time, messages, windows, window, *dm},
                                       folder.Path());
    ASSERT_EQ(form->Start(), TMainForm::TStartResult::Running);
    ASSERT_EQ(form->Processes().Count(), 4);
    ASSERT_TRUE(messages.Errors.isEmpty()) << messages.Errors.join('\n').toStdString();
  }

  void TearDown() override {
    form.reset();
    dm.reset();
    plant.reset();
    ChaiReset();
  }

  TProgramFolder folder;
  TProgramFolder runtime;
  TVirtualTimerService time{DemoStartDate()};
  TRecordingMessages messages;
  Windows windows{WindowArgs...};
  THeadlessMainWindow window;
  TStandardAdapters factory;
  std::unique_ptr<TPlantHost> plant;
  std::unique_ptr<TCANService> dm;
  std::unique_ptr<TMainForm> form;
};

}  // namespace vorta::test
