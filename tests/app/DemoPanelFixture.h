#pragma once
// The demo's folder on panels over a fake adapter: the vessels of the demo's
// process files, as the program would load them.

#include "app/DemoFolder.h"
#include "tests/windows/panel/PanelFixture.h"

namespace vorta::testing {

class DemoPanelFixture : public PanelFixture {
 protected:
  // Loads the demo's first `vessels` process files.
  void LoadDemo(int vessels) {
    program_.ProgramFolder = dir_.path() + QStringLiteral("/demo/");
    QString error;
    ASSERT_TRUE(PrepareDemoFolder(dir_.path() + QStringLiteral("/demo"), &error))
        << error.toStdString();
    module_ = std::make_unique<TCANService>(time_, FakeFactory(&adapter_));
    TProfileFile can(program_.ProgramFolder + QStringLiteral("VortaCAN.ini"));
    module_->LoadConfig(can);
    adapter_->SetOnReceive([this](TCANFrame& f) { module_->HandleFrame(f); });
    env_.canService = module_.get();
    env_.Bus = &module_->Bus();
    for (int n = 1; n <= vessels; ++n) {
      list_.Add(std::make_unique<TVortaProcess>(env_, QStringLiteral("Process%1.ini").arg(n)));
    }
  }
};

}  // namespace vorta::testing
