#pragma once
// The ground most engine and window tests stand on: a program folder of the
// test's own with an I/O module "Board1" (identifier 0x100) and a DC drive
// "Mix1" (0x400) in its CAN configuration, a real data module on a fake
// adapter, virtual time, and the environment processes are made in.
// Windows: the factory the processes get their windows from (headless, or the
// Qt one with its arguments, e.g. TBusFixture<TQtWindowFactory, false>).

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <vector>

#include "RecordingMessages.h"
#include "devices/CANService.h"
#include "platform/ProfileFile.h"
#include "platform/VirtualTimerService.h"
#include "process/ProcessRecord.h"
#include "tests/can/FakeAdapter.h"

namespace vorta::testing {

using TRecordingMessages = vorta::test::TRecordingMessages;

inline constexpr std::uint32_t kBoardUid = 0x100;
inline constexpr std::uint32_t kMixerUid = 0x400;

template <typename Windows, auto... WindowArgs>
class TBusFixture : public ::testing::Test {
 protected:
  // Writes the CAN configuration and loads it; frames the fake adapter is
  // given reach the devices.
  void SetUpBus() {
    program_.ProgramFolder = dir_.path() + u'/';
    module_ = std::make_unique<TCANService>(time_, FakeFactory(&adapter_));
    WriteFile(QStringLiteral("VortaCAN.ini"),
              "[CANAdapter]\r\nType=QTR4\r\n[CANDevices]\r\nCount=2\r\nName0=Board1\r\n"
              "Name1=Mix1\r\n[Board1]\r\nType=TSUABB\r\nDeviceUID=256\r\n"
              "[Mix1]\r\nType=TMixerDC\r\nDeviceUID=1024\r\n");
    TProfileFile can(program_.ProgramFolder + QStringLiteral("VortaCAN.ini"));
    module_->LoadConfig(can);
    adapter_->SetOnReceive([this](TCANFrame& f) { module_->HandleFrame(f); });
    env_.canService = module_.get();
    env_.Bus = &module_->Bus();
  }

  void TearDown() override { list_.Clear(); }

  void WriteFile(const QString& name, const QByteArray& text) {
    QFile f(program_.ProgramFolder + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
  }

  QByteArray ReadFile(const QString& name) {
    QFile f(program_.ProgramFolder + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  // Analog inputs 0..3 of the module, as its answer to a poll.
  void InjectCodes(std::uint16_t a0, std::uint16_t a1, std::uint16_t a2, std::uint16_t a3) {
    std::vector<std::uint8_t> data;
    for (std::uint16_t v : {a0, a1, a2, a3}) {
      data.push_back(static_cast<std::uint8_t>(v & 0xFF));
      data.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    adapter_->Inject(MakeFrame(kBoardUid + 32, data, kFlagExtended));
  }

  // Output words the module was sent, in order.
  std::vector<std::uint16_t> SentOutputWords() const {
    std::vector<std::uint16_t> words;
    for (const TCANFrame& f : adapter_->Sent) {
      if (f.Id == kBoardUid + 50 && f.Len == 2) {
        words.push_back(static_cast<std::uint16_t>(f.Data[0] | (f.Data[1] << 8)));
      }
    }
    return words;
  }

  QTemporaryDir dir_;
  TVirtualTimerService time_;
  TProgramState program_;
  TRecordingMessages messages_;
  Windows windows_{WindowArgs...};
  TFakeAdapter* adapter_ = nullptr;
  std::unique_ptr<TCANService> module_;
  TVortaProcessList list_;
  TVortaEnv env_{program_, time_, messages_, windows_, nullptr, &list_};
};

}  // namespace vorta::testing
