#include <gtest/gtest.h>

#include "devices/IoModule.h"
#include "tests/devices/ServiceFixture.h"

namespace vorta {
namespace {

using testing::MakeFrame;

class ServiceTimers : public testing::ServiceFixture {};

const QByteArray kPassiveAndActive =
    "[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=3\nName0=IO\nName1=Mix\nName2=Quiet\n"
    "[IO]\nType=TSUABB\nDeviceUID=0x100\nActive=OFF\n"
    "[Mix]\nType=TMixerDC\nDeviceUID=0x300\nActive=no\n"
    "[Quiet]\nType=TMixerOmron\nDeviceUID=0x500\n";

TEST_F(ServiceTimers, heartbeat_pollsOnlyPassiveDevicesInTableOrder) {
  ASSERT_TRUE(Load(kPassiveAndActive));
  Module().StartTimers();
  time_.AdvanceBy(1000);  // one heartbeat; the pacer sends its two requests
  time_.AdvanceBy(100);
  ASSERT_EQ(adapter_->Sent.size(), 2U);
  EXPECT_EQ(std::uint32_t{adapter_->Sent[0].Id}, 0x100U + 40U);  // the module's first poll
  EXPECT_EQ(adapter_->Sent[0].Flags, kFlagExtended | kFlagRemote);
  EXPECT_EQ(std::uint32_t{adapter_->Sent[1].Id}, 0x300U + 58U);  // the DC drive's live registers
  time_.AdvanceBy(9000);
  EXPECT_EQ(adapter_->Sent.size(), 20U);
  for (const TCANFrame& f : adapter_->Sent)
    EXPECT_LT(std::uint32_t{f.Id}, 0x500U);  // never the active one
}

TEST_F(ServiceTimers, heartbeat_runsFromCreation_stopTimersEndsIt) {
  ASSERT_TRUE(Load(kPassiveAndActive));
  time_.AdvanceBy(1100);
  EXPECT_EQ(adapter_->Sent.size(), 2U);
  Module().StopTimers();
  time_.AdvanceBy(5000);
  EXPECT_EQ(adapter_->Sent.size(), 2U);
  EXPECT_TRUE(Module().PacerTimer().Enabled());
}

TEST_F(ServiceTimers, reconnect_closedAdapterReopenedEvery10sAfterStart) {
  ASSERT_TRUE(Load(kPassiveAndActive, /*openSucceeds=*/false));
  EXPECT_EQ(adapter_->OpenAttempts, 1);  // LoadConfig's open
  time_.AdvanceBy(15000);
  EXPECT_EQ(adapter_->OpenAttempts, 1);  // no retries before StartTimers
  Module().StartTimers();
  time_.AdvanceBy(9999);
  EXPECT_EQ(adapter_->OpenAttempts, 1);
  time_.AdvanceBy(1);
  EXPECT_EQ(adapter_->OpenAttempts, 2);
  time_.AdvanceBy(20000);
  EXPECT_EQ(adapter_->OpenAttempts, 4);
  adapter_->OpenSucceeds = true;
  time_.AdvanceBy(10000);
  EXPECT_TRUE(adapter_->Active());
  time_.AdvanceBy(30000);
  EXPECT_EQ(adapter_->OpenAttempts, 5);  // an open adapter is left alone
}

TEST_F(ServiceTimers, framesSentWhileClosed_stillLeaveTheQueue) {
  ASSERT_TRUE(Load(kPassiveAndActive, /*openSucceeds=*/false));
  auto* io = dynamic_cast<TIoModule*>(Module().Bus().FindByName(QStringLiteral("IO")));
  io->SetOutputs(0x8001);
  time_.AdvanceBy(20);
  ASSERT_EQ(adapter_->Sent.size(), 1U);
  EXPECT_EQ(adapter_->Sent[0].Data[0], 0x01);
  EXPECT_EQ(adapter_->Sent[0].Data[1], 0x80);
}

TEST_F(ServiceTimers, handleFrame_throughAdapterReachesTheDevice) {
  ASSERT_TRUE(Load(kPassiveAndActive));
  Module().Adapter()->SetOnReceive([this](TCANFrame& f) { Module().HandleFrame(f); });
  auto* io = dynamic_cast<TIoModule*>(Module().Bus().FindByName(QStringLiteral("IO")));
  EXPECT_FALSE(io->LinkOK());
  adapter_->Inject(MakeFrame(0x100 + 32, {0x34, 0x12, 0x78, 0x06}, kFlagExtended));
  EXPECT_EQ(io->GetAnalog(0), 0x1234);
  EXPECT_EQ(io->GetAnalog(1), 0x0678);
  EXPECT_TRUE(io->LinkOK());
  EXPECT_FALSE(Module().Bus().FindByName(QStringLiteral("Mix"))->LinkOK());
}

}  // namespace
}  // namespace vorta
