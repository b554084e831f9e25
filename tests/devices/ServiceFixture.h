#pragma once
// A data module on virtual time with the fake adapter behind it, and
// "VortaCAN.ini" texts written to a folder of the test's own.

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "devices/CANDevice.h"
#include "devices/CANService.h"
#include "platform/ProfileFile.h"
#include "platform/VirtualTimerService.h"
#include "tests/can/FakeAdapter.h"

namespace vorta::testing {

class ServiceFixture : public ::testing::Test {
 protected:
  QString WriteIni(const QByteArray& text) {
    const QString path = dir_.filePath(QStringLiteral("VortaCAN.ini"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    return path;
  }

  // Makes the module, loads the text; true when configured.
  bool Load(const QByteArray& text, bool openSucceeds = true) {
    module_ = std::make_unique<TCANService>(time_, FakeFactory(&adapter_, openSucceeds),
                                            [this](const QString& line) { reports_ << line; });
    TProfileFile ini(WriteIni(text));
    module_->LoadConfig(ini);
    return module_->Configured();
  }

  TCANService& Module() { return *module_; }
  TCANDevice* Device(int i) { return Module().Bus().Devices[static_cast<std::size_t>(i)]; }

  QTemporaryDir dir_;
  TVirtualTimerService time_;
  TFakeAdapter* adapter_ = nullptr;
  QStringList reports_;
  std::unique_ptr<TCANService> module_;
};

}  // namespace vorta::testing
