#pragma once
// A device on virtual time whose outgoing frames are recorded.

#include <gtest/gtest.h>

#include <vector>

#include "platform/VirtualTimerService.h"
#include "tests/can/FakeAdapter.h"

namespace vorta::testing {

template <class Device>
class DeviceFixture : public ::testing::Test {
 protected:
  DeviceFixture() : device_(time_) {
    device_.DeviceUID = 0x100;
    device_.SetOnSend([this](TCANFrame& f) { sent_.push_back(f); });
  }

  void Store(std::uint32_t offset, std::vector<std::uint8_t> data) {
    TCANFrame f = MakeFrame(0x100 + offset, std::move(data), kFlagExtended);
    device_.Receive(f);
  }

  TVirtualTimerService time_;
  Device device_;
  std::vector<TCANFrame> sent_;
};

}  // namespace vorta::testing
