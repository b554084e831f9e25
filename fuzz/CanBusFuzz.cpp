// Arbitrary frame sequences against a bus with devices of all three kinds.
// Each record is one operation byte followed by the 14 wire bytes of a frame:
// nothing a frame carries may make a device, or the log line of a frame, read
// or write out of bounds.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "can/CANAdapter.h"
#include "devices/CANBus.h"
#include "devices/CANDevice.h"
#include "devices/CANMixer.h"
#include "devices/CANService.h"
#include "devices/IoModule.h"
#include "devices/MixerDC.h"
#include "devices/MixerInverter.h"
#include "platform/VirtualTimerService.h"

namespace {

using namespace vorta;

class TLoopAdapter final : public TCANAdapter {
 public:
  void Send(TCANFrame& frame) override {
    TCANAdapter::Send(frame);
    ++sent;
  }
  std::size_t sent = 0;
};

struct TRig {
  TVirtualTimerService time;
  TLoopAdapter adapter;
  TFrameQueue queue;
  TCANBus bus;
  std::vector<std::unique_ptr<TCANDevice>> devices;
  TIoModule* io = nullptr;
  TMixerDC* dc = nullptr;
  TMixerInverter* omron = nullptr;

  struct TSettings {
    std::int32_t uid, range, timeout;
    bool ext;
  };
  std::vector<TSettings> settings;

  // The image sits inside the device object, between fields that the
  // sanitizers do not guard: a write past it shows as changed settings.
  void CheckSettingsIntact() const {
    for (std::size_t k = 0; k < devices.size(); ++k) {
      const TCANDevice& d = *devices[k];
      const TSettings& s = settings[k];
      if (d.DeviceUID != s.uid || d.BusRange != s.range || d.LinkTimeout != s.timeout ||
          d.Ext != s.ext) {
        __builtin_trap();
      }
    }
  }

  template <class T>
  T* Add(std::int32_t uid, std::int32_t range, bool ext) {
    auto device = std::make_unique<T>(time);
    T* raw = device.get();
    raw->DeviceUID = uid;
    raw->BusRange = range;
    raw->Ext = ext;
    raw->SetOnSend([this](TCANFrame& f) { queue.Push(f); });
    bus.Add(raw);
    settings.push_back({uid, range, raw->LinkTimeout, ext});
    devices.push_back(std::move(device));
    return raw;
  }

  TRig() {
    io = Add<TIoModule>(0x100, 255, true);
    dc = Add<TMixerDC>(0x200, 255, false);
    omron = Add<TMixerInverter>(0x300, 255, true);
    omron->SetMaxRpm(3000);
    // Odd but loadable settings: every identifier matches, ranges beyond the
    // image, a negative base, a base at the top of the identifier space.
    Add<TIoModule>(0, 0x7FFFFFFF, true);
    Add<TMixerInverter>(0x400, 0x3FF, true)->SetMaxRpm(1);
    Add<TMixerDC>(-5, -1, true);
    Add<TIoModule>(0x1FFFFF00, 0x1FFFFFFF, true);
    queue.SetOnSend([this](TCANFrame& f) { adapter.Send(f); });
    adapter.SetOnReceive([this](TCANFrame& f) { bus.Dispatch(f); });
  }

  // A log line costs several times what the dispatch of a frame does, and
  // the fuzzer soon fills its inputs with whatever asks for one: so the
  // adapter logs one step per input, the first whose operation byte asks.
  // What a line reads of a frame depends only on its length and flags,
  // which the fuzzer still chooses at will.
  void Log(bool on) {
    if (on) {
      adapter.OnLog = [this](const QString& line) { logged += line.size(); };
    } else {
      adapter.OnLog = nullptr;
    }
  }
  std::int64_t logged = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TRig rig;
  constexpr std::size_t kRecord = 1 + sizeof(TCANFrame);
  constexpr std::uint8_t kLogOp = 5;  // no other operation besides the log
  volatile std::int64_t sink = 0;
  bool logTaken = false;
  for (std::size_t at = 0; at + kRecord <= size; at += kRecord) {
    const std::uint8_t op = data[at];
    TCANFrame frame;
    std::memcpy(&frame, data + at + 1, sizeof frame);
    const bool log = op == kLogOp && !logTaken;
    logTaken = logTaken || log;
    if (log) rig.Log(true);
    rig.adapter.Receive(frame);
    const int i = static_cast<std::int8_t>(frame.Data[0]);
    switch (op & 7) {
      case 1:
        sink = sink + rig.io->GetAnalog(i) + rig.io->GetFoamInput() + rig.dc->GetSpeed() +
               rig.dc->GetStatus() + rig.dc->GetCurrent() + rig.dc->GetTemperature().value_or(0) +
               rig.omron->GetSpeed() + rig.omron->GetCurrent() +
               rig.omron->GetVoltage().value_or(0) + rig.omron->GetStatus() + rig.io->ReadWord(i);
        break;
      case 2:
        for (auto& device : rig.devices) device->Poll();
        break;
      case 3: {
        std::int32_t value = 0;
        std::memcpy(&value, frame.Data, sizeof value);
        rig.omron->SetSpeed(value);
        rig.dc->SetSpeed(value);
        rig.io->SetOutputs(static_cast<std::uint16_t>(value));
        rig.io->SetOutputByte(value, frame.Data[4]);
        rig.omron->SetMaxRpm(static_cast<std::int32_t>(frame.Id));
        break;
      }
      case 4:
        rig.time.AdvanceBy(op);
        sink = sink + rig.io->LinkOK() + rig.dc->LinkOK();
        break;
      default:
        break;
    }
    rig.queue.SendNext();
    if (log) rig.Log(false);
    rig.CheckSettingsIntact();
  }
  while (rig.queue.SendNext()) {
  }
  sink = sink + rig.logged;
  (void)sink;
  return 0;
}
