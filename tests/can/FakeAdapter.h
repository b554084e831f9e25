#pragma once
// An in-memory adapter: records what is sent, injects what is "received",
// and opens or fails to open on demand.

#include <memory>
#include <vector>

#include "can/AdapterFactory.h"
#include "can/CANAdapter.h"

namespace vorta::testing {

class TFakeAdapter : public TCANAdapter {
 public:
  void SetActive(bool value) override {
    if (value) {
      ++OpenAttempts;
      SetActiveState(OpenSucceeds);
    } else {
      SetActiveState(false);
    }
  }

  void Send(TCANFrame& frame) override {
    TCANAdapter::Send(frame);
    Sent.push_back(frame);
  }

  // A frame from the bus, through the ordinary received-frame path.
  void Inject(TCANFrame frame) { Receive(frame); }

  bool OpenSucceeds = true;
  int OpenAttempts = 0;
  std::vector<TCANFrame> Sent;
  std::int32_t DeviceNum = -1;
};

// Registers the fake under both adapter type names; *made points at the
// adapter the factory created last (owned by whoever asked for it).
inline TAdapterFactory FakeFactory(TFakeAdapter** made, bool openSucceeds = true) {
  TAdapterFactory factory;
  auto creator = [made, openSucceeds](const TAdapterConfig& config) {
    auto adapter = std::make_unique<TFakeAdapter>();
    adapter->OpenSucceeds = openSucceeds;
    adapter->DeviceNum = config.DeviceNum;
    if (made != nullptr) *made = adapter.get();
    return adapter;
  };
  factory.Register(TAdapterFactory::kChaiType, creator);
  factory.Register(TAdapterFactory::kUsbType, creator);
  return factory;
}

inline TCANFrame MakeFrame(std::uint32_t id, std::vector<std::uint8_t> data,
                           std::uint8_t flags = 0) {
  TCANFrame frame;
  frame.Id = id;
  frame.Flags = flags;
  frame.Len = static_cast<std::uint8_t>(data.size());
  for (std::size_t i = 0; i < data.size() && i < 8; ++i) frame.Data[i] = data[i];
  return frame;
}

}  // namespace vorta::testing
