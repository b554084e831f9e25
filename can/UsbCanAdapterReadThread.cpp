// The USB adapter's receive thread: the one place with blocking I/O.

#include <algorithm>
#include <array>

#include "can/UsbCanAdapter.h"
#include "can/UsbCanAdapterHandOver.h"

namespace vorta {

namespace {
// The wait is cut short by Terminate(); the limit only bounds a lost wake-up.
constexpr int kWaitMs = 5000;
}  // namespace

TReadThread::TReadThread(FT_HANDLE handle, std::shared_ptr<THandOver> handOver,
                         std::function<void()> onFailure)
    : handle_(handle), handOver_(std::move(handOver)), onFailure_(std::move(onFailure)) {}

void TReadThread::Terminate() {
  handOver_->Stop();
  event_.Set();
}

void TReadThread::Execute() {
  bool failed =
      !event_.Valid() || FT_SetEventNotification(handle_, FT_EVENT_RXCHAR, &event_) != FT_OK;
  // A thread that cannot be told about bytes would leave the adapter open
  // and deaf forever; closing it lets the reconnect timer try again.
  while (!failed && !handOver_->StopRequested()) {
    event_.Wait(kWaitMs);
    failed = !ReadAvailable();
  }
  FT_SetEventNotification(handle_, 0, nullptr);
  if (failed && !handOver_->StopRequested()) onFailure_();
  handOver_->Ended();
}

bool TReadThread::ReadAvailable() {
  // Whatever has arrived is taken and fed to the reader, which keeps a
  // partial packet until the rest comes: the same packets, in the same
  // order, as waiting for 22 bytes, with no byte left behind in the driver.
  std::array<std::uint8_t, 4096> buffer;
  while (!handOver_->StopRequested()) {
    std::uint32_t waiting = 0;
    std::uint32_t sending = 0;
    std::uint32_t events = 0;
    // A failed status is a vanished device as much as a failed read is.
    if (FT_GetStatus(handle_, &waiting, &sending, &events) != FT_OK) return false;
    if (waiting == 0) return true;
    std::uint32_t got = 0;
    const auto want = std::min<std::uint32_t>(waiting, buffer.size());
    if (FT_Read(handle_, buffer.data(), want, &got) != FT_OK) return false;
    if (got == 0) return true;
    reader_.Feed(buffer.data(), got, [this](TUsbPayloadView payload) {
      if (const auto frame = ReceivedFrameOf(payload)) handOver_->Deliver(*frame);
    });
  }
  return true;
}

}  // namespace vorta
