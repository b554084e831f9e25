#include "can/UsbCanAdapter.h"

#include <QLoggingCategory>
#include <algorithm>
#include <array>

#include "can/AdapterFactory.h"
#include "can/UsbCanAdapterHandOver.h"
#include "platform/ProfileFile.h"

namespace vorta {

namespace {
Q_LOGGING_CATEGORY(lcUsb, "vorta.can.usb")

constexpr std::uint32_t kBaud = 1000000;
}  // namespace

TUsbCanAdapter::TUsbCanAdapter() : mainThread_(std::make_unique<QObject>()) {}

TUsbCanAdapter::~TUsbCanAdapter() {
  if (Active()) Close();
}

void TUsbCanAdapter::SetActive(bool value) {
  if (value == Active()) return;
  if (value) {
    Open(DeviceIndex);
  } else {
    Close();
  }
}

void TUsbCanAdapter::SetParameter(std::int32_t value) {
  TCANAdapter::SetParameter(value);
  WritePacket(SetParameterPayload(value));
}

void TUsbCanAdapter::Send(TCANFrame& frame) {
  if (!Active()) return;
  TCANAdapter::Send(frame);
  WritePacket(SendFramePayload(frame));
}

void TUsbCanAdapter::Open(std::int32_t index) {
  if (Active() || closing_) return;
  FT_SetConfiguredPaths(port_.empty() ? std::vector<std::string>{}
                                      : std::vector<std::string>{port_});
  std::uint32_t count = 0;
  status_ = FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
  if (status_ != FT_OK) return;
  if (index < 0 || static_cast<std::uint32_t>(index) >= count) return;
  status_ = FT_Open(index, &Handle);
  if (status_ != FT_OK) {
    // One line per failing episode, not one per reconnect attempt.
    if (status_ != lastReported_) {
      qCInfo(lcUsb) << "USB-CAN device" << index << "did not open, status" << status_;
    }
    lastReported_ = status_;
    Handle = nullptr;
    return;
  }
  FT_STATUS setup = FT_ResetDevice(Handle);
  if (setup == FT_OK) setup = FT_SetBaudRate(Handle, kBaud);
  if (setup == FT_OK) {
    setup = FT_SetDataCharacteristics(Handle, FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_NONE);
  }
  if (setup == FT_OK) setup = FT_SetFlowControl(Handle, FT_FLOW_NONE, 0, 0);
  if (setup != FT_OK) {
    // Released, or the exclusive hold would make every reconnect fail.
    FT_Close(Handle);
    Handle = nullptr;
    return;
  }
  lastReported_ = FT_OK;

  QObject* const context = mainThread_.get();
  handOver_ =
      std::make_shared<THandOver>([this, context](const std::shared_ptr<THandOver>& handOver) {
        QMetaObject::invokeMethod(
            context, [this, handOver] { Serve(handOver); }, Qt::QueuedConnection);
      });
  std::weak_ptr<THandOver> session = handOver_;
  ReadThread = std::make_unique<TReadThread>(Handle, handOver_, [this, context, session] {
    // A read error: the close runs on the main thread, after this thread has
    // ended, and only if the adapter has not been closed and reopened since.
    QMetaObject::invokeMethod(
        context,
        [this, session] {
          const auto current = session.lock();
          if (current && current == handOver_) {
            qCInfo(lcUsb) << "USB-CAN device lost; closing";
            Close();
          }
        },
        Qt::QueuedConnection);
  });
  ReadThread->start();
  SetActiveState(true);
}

void TUsbCanAdapter::Close() {
  if (closing_) return;
  if (Active()) {
    closing_ = true;
    ReadThread->Terminate();
    // Hand-overs the thread has already started are served while waiting.
    handOver_->WaitForEnd([this](TCANFrame& frame) { Receive(frame); });
    ReadThread->wait();
    ReadThread.reset();
    handOver_.reset();
    status_ = FT_Close(Handle);
    Handle = nullptr;
    closing_ = false;
  }
  SetActiveState(false);
}

void TUsbCanAdapter::WritePacket(const TUsbPayload& payload) {
  if (!Active()) return;
  const TUsbPacket packet = BuildPacket(payload);
  std::uint32_t written = 0;
  if (FT_Write(Handle, packet.data(), packet.size(), &written) != FT_OK) {
    qCInfo(lcUsb) << "USB-CAN write failed; closing";
    Close();
  }
}

void TUsbCanAdapter::Serve(const std::shared_ptr<THandOver>& handOver) {
  handOver->Serve([this](TCANFrame& frame) { Receive(frame); });
}

void RegisterUsbCanAdapter(TAdapterFactory& factory) {
  factory.Register(TAdapterFactory::kUsbType, [](const TAdapterConfig& config) {
    auto adapter = std::make_unique<TUsbCanAdapter>();
    adapter->SetDeviceNum(config.DeviceNum);
    adapter->SetPort(
        config.Ini.ReadString(QStringLiteral("CANAdapter"), QStringLiteral("Port"), QString()));
    return adapter;
  });
}

}  // namespace vorta

// The USB adapter's receive thread: the one place with blocking I/O.

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
