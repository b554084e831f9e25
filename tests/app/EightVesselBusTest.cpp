// Eight vessels on one bus, every measured channel dosing, for six hours of
// virtual time: the outgoing queue must keep up without refusing a frame,
// switch every output off in time and keep every link alive.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>

#include "CoreApplication.h"
#include "HeadlessPlantRun.h"
#include "ProgramFolder.h"
#include "RecordingMessages.h"
#include "devices/CANDevice.h"
#include "devices/IoModule.h"
#include "devices/MixerDC.h"
#include "devices/MixerInverter.h"

using namespace vorta;

namespace {

constexpr int kVessels = 8;
constexpr std::uint32_t kOutputWordOffset = 50;

// Output-word frames of one I/O module: when the program clears a bit, and
// when a word with that bit clear leaves the queue for the bus.
struct TOffWatch {
  std::uint32_t Id = 0;
  std::uint16_t Dosing = 0;  // bits of the regulators' outputs
  std::uint16_t LastPushed = 0;
  std::array<std::int64_t, 16> DueSince{};  // -1: no off-word waiting
  std::array<int, 16> OffsSent{};
  TOffWatch() { DueSince.fill(-1); }
};

TEST(EightVesselBus, sixHoursOfDosing_noFrameRefused_offWordsWithin100ms_linksStayUp) {
  test::EnsureCoreApplication();
  test::TProgramFolder folder;
  test::TProgramFolder runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.Path().toUtf8());
  QString error;
  ASSERT_TRUE(test::PrepareDosingDemoFolder(folder.Path(), kVessels, &error))
      << error.toStdString();

  test::THeadlessPlantRun<test::TRecordingMessages> run(folder.Path());
  ASSERT_TRUE(run.plant.Running());
  ASSERT_TRUE(run.Start());
  TVirtualTimerService& time = run.time;
  TCANService& dm = run.dm;
  TMainForm* const form = &run.form;
  ASSERT_EQ(form->Processes().Count(), kVessels);
  int mixersDC = 0, inverters = 0;
  for (std::int32_t i = 0; i < dm.Bus().Count; ++i) {
    mixersDC += dynamic_cast<TMixerDC*>(dm.Bus().Devices[static_cast<std::size_t>(i)]) != nullptr;
    inverters +=
        dynamic_cast<TMixerInverter*>(dm.Bus().Devices[static_cast<std::size_t>(i)]) != nullptr;
  }
  ASSERT_EQ(mixersDC, 4);
  ASSERT_EQ(inverters, 4);

  std::map<std::uint32_t, TOffWatch> boards;
  std::int64_t worstLateMs = 0;
  int offWordsSent = 0;
  int offWordsLost = 0;
  for (int n = 1; n <= kVessels; ++n) {
    TCANDevice* board = dm.Bus().FindByName(QStringLiteral("Board%1").arg(n));
    ASSERT_NE(board, nullptr);
    const std::uint32_t id = static_cast<std::uint32_t>(board->DeviceUID) + kOutputWordOffset;
    TOffWatch* watch = &boards[id];
    watch->Id = id;
    const TVortaProcess& p = *form->Processes().ProcessAt(n - 1);
    ASSERT_EQ(p.Board, board);
    for (int ch = 1; ch <= 4; ++ch) {
      for (const int out : {p.Channel[ch].Config.CtrlOutUp, p.Channel[ch].Config.CtrlOutDown}) {
        ASSERT_GE(out, 1);
        watch->Dosing |= static_cast<std::uint16_t>(1U << (out - 1));
      }
    }
    auto push = board->OnSend;
    board->SetOnSend([&, watch, push](TCANFrame& f) {
      if (f.Id == watch->Id && (f.Flags & kFlagRemote) == 0) {
        const auto word = static_cast<std::uint16_t>(f.Data[0] | (f.Data[1] << 8));
        for (int b = 0; b < 16; ++b) {
          if (((watch->Dosing >> b) & 1U) == 0) continue;
          const bool was = (watch->LastPushed >> b) & 1U;
          const bool now = (word >> b) & 1U;
          if (was && !now && watch->DueSince[b] < 0) watch->DueSince[b] = time.ElapsedMs();
          // Switched on again before its off-word went out: the newer word
          // may take the off-word's place, but only within the allowance.
          if (now && watch->DueSince[b] >= 0) {
            offWordsLost += time.ElapsedMs() - watch->DueSince[b] > 100;
            watch->DueSince[b] = -1;
          }
        }
        watch->LastPushed = word;
      }
      push(f);
    });
  }
  auto send = dm.FrameQueue().OnSend;
  dm.FrameQueue().SetOnSend([&, send](TCANFrame& f) {
    const auto it = boards.find(f.Id);
    if (it != boards.end() && (f.Flags & kFlagRemote) == 0) {
      const auto word = static_cast<std::uint16_t>(f.Data[0] | (f.Data[1] << 8));
      for (int b = 0; b < 16; ++b) {
        std::int64_t& due = it->second.DueSince[b];
        if (due >= 0 && ((word >> b) & 1U) == 0) {
          worstLateMs = std::max(worstLateMs, time.ElapsedMs() - due);
          ++offWordsSent;
          ++it->second.OffsSent[b];
          due = -1;
        }
      }
    }
    send(f);
  });

  StartDemoVessels(form->Processes());
  time.AdvanceBy(3'000);
  int linkLosses = 0;
  for (std::int64_t s = 0; s < 6 * 3600; ++s) {
    time.AdvanceBy(1'000);
    for (std::int32_t i = 0; i < dm.Bus().Count; ++i)
      linkLosses += !dm.Bus().Devices[static_cast<std::size_t>(i)]->LinkOK();
  }

  EXPECT_EQ(dm.FrameQueue().RefusedCount(), 0U);
  EXPECT_EQ(linkLosses, 0);
  EXPECT_EQ(offWordsLost, 0);
  // Thousands of pulses per vessel in six hours; each one's end within 100 ms.
  EXPECT_GT(offWordsSent, kVessels * 2000);
  EXPECT_LE(worstLateMs, 100);
  for (const auto& [id, watch] : boards) {
    for (const std::int64_t due : watch.DueSince) {
      if (due >= 0) {
        EXPECT_LE(time.ElapsedMs() - due, 100) << "off-word never sent";
      }
    }
  }
  // Every channel of every vessel dosed, so every regulator's words were in
  // the traffic.
  for (int i = 0; i < form->Processes().Count(); ++i) {
    const TVortaProcess& p = *form->Processes().ProcessAt(i);
    const TOffWatch& watch =
        boards.at(static_cast<std::uint32_t>(p.Board->DeviceUID) + kOutputWordOffset);
    for (int ch = 1; ch <= 4; ++ch) {
      EXPECT_GT(watch.OffsSent[p.Channel[ch].Config.CtrlOutUp - 1] +
                    watch.OffsSent[p.Channel[ch].Config.CtrlOutDown - 1],
                0)
          << p.Caption().toStdString() << " channel " << ch;
    }
  }
  run.Shutdown();
}

}  // namespace
