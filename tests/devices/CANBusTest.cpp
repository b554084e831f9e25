#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "devices/CANBus.h"
#include "devices/CANDevice.h"
#include "platform/VirtualTimerService.h"
#include "tests/can/FakeAdapter.h"

namespace vorta {
namespace {

using testing::MakeFrame;

class CANBus : public ::testing::Test {
 protected:
  TCANDevice* Make(std::int32_t uid, std::int32_t range = 255) {
    devices_.push_back(std::make_unique<TCANDevice>(time_));
    devices_.back()->DeviceUID = uid;
    devices_.back()->BusRange = range;
    return devices_.back().get();
  }
  TVirtualTimerService time_;
  std::vector<std::unique_ptr<TCANDevice>> devices_;
  TCANBus bus_;
};

TEST_F(CANBus, dispatch_byMaskedIdentifier) {
  TCANDevice* a = Make(0x100);
  TCANDevice* b = Make(0x200);
  bus_.Add(a);
  bus_.Add(b);
  TCANFrame f = MakeFrame(0x234, {7}, kFlagExtended);
  bus_.Dispatch(f);
  EXPECT_FALSE(a->LinkOK());
  EXPECT_TRUE(b->LinkOK());
  EXPECT_EQ(b->Regs[0x34], 7);
  TCANFrame top = MakeFrame(0x1FF, {7});  // reaches a, but is stored nowhere
  bus_.Dispatch(top);
  EXPECT_TRUE(a->LinkOK());
  EXPECT_EQ(a->Regs[0xFF], 0);
}

TEST_F(CANBus, dispatch_ignoresBitsAbove29) {
  TCANDevice* a = Make(0x1000);
  bus_.Add(a);
  TCANFrame f = MakeFrame(0xE0001005, {1});
  bus_.Dispatch(f);
  EXPECT_TRUE(a->LinkOK());
  EXPECT_EQ(a->Regs[5], 0);  // the full Id is outside the device's block
}

TEST_F(CANBus, dispatch_uidWithBitInsideRange_neverMatches) {
  TCANDevice* a = Make(0x105);
  bus_.Add(a);
  for (std::uint32_t id = 0x100; id < 0x200; ++id) {
    TCANFrame f = MakeFrame(id, {1});
    bus_.Dispatch(f);
  }
  EXPECT_FALSE(a->LinkOK());
}

TEST_F(CANBus, dispatch_negativeUid_neverReceives) {
  TCANDevice* a = Make(-1, 0);
  bus_.Add(a);
  TCANFrame f = MakeFrame(0xFFFFFFFF, {1});
  bus_.Dispatch(f);
  TCANFrame g = MakeFrame(0x1FFFFFFF, {1});
  bus_.Dispatch(g);
  EXPECT_FALSE(a->LinkOK());
}

TEST_F(CANBus, dispatch_everyMatchingDeviceReceives) {
  TCANDevice* a = Make(0x300);
  TCANDevice* b = Make(0x300);
  TCANDevice* c = Make(0x000, 0x3FF);
  bus_.Add(a);
  bus_.Add(b);
  bus_.Add(c);
  TCANFrame f = MakeFrame(0x310, {5});
  bus_.Dispatch(f);
  EXPECT_EQ(a->Regs[0x10], 5);
  EXPECT_EQ(b->Regs[0x10], 5);
  EXPECT_EQ(c->Regs[0x10], 5);
}

TEST_F(CANBus, add_fullTableRefuses) {
  for (int i = 0; i < TCANBus::kCapacity; ++i) EXPECT_TRUE(bus_.Add(Make(i * 0x100)));
  TCANDevice* extra = Make(0x5000);
  EXPECT_FALSE(bus_.Add(extra));
  EXPECT_FALSE(bus_.Add(nullptr));
  EXPECT_EQ(bus_.Count, TCANBus::kCapacity);
  TCANFrame f = MakeFrame(0x5001, {1});
  bus_.Dispatch(f);
  EXPECT_FALSE(extra->LinkOK());
}

TEST_F(CANBus, findByName_exactAndFirst) {
  TCANDevice* a = Make(0x100);
  TCANDevice* b = Make(0x200);
  a->Name = QStringLiteral("Mixer");
  b->Name = QStringLiteral("Mixer");
  bus_.Add(a);
  bus_.Add(b);
  EXPECT_EQ(bus_.FindByName(QStringLiteral("Mixer")), a);
  EXPECT_EQ(bus_.FindByName(QStringLiteral("mixer")), nullptr);
  EXPECT_EQ(bus_.FindByName(QString()), nullptr);
}

}  // namespace
}  // namespace vorta
