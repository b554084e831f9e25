#pragma once
// The adapter for the USB-CAN converter: 22-byte packets over the D2XX calls,
// a receive thread that reassembles and checks them, and the synchronous
// hand-over of each received frame to the main thread.

#include <QObject>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "can/CANAdapter.h"
#include "can/D2XX.h"
#include "can/UsbPacket.h"

namespace vorta {

class TAdapterFactory;
class THandOver;

// Waits for bytes, reassembles packets, hands each good type-6 frame over.
class TReadThread final : public QThread {
 public:
  // onFailure runs on this thread when the device fails (read or status
  // error, or no event notification); it must hand the close to the main
  // thread, never wait for this thread.
  TReadThread(FT_HANDLE handle, std::shared_ptr<THandOver> handOver,
              std::function<void()> onFailure);

  // Any thread: ends Execute at the next check, waking it from its wait.
  void Terminate();

 protected:
  void run() override { Execute(); }

 private:
  void Execute();
  // Drains what waits on the line; false when the device failed.
  bool ReadAvailable();

  FT_HANDLE handle_;
  std::shared_ptr<THandOver> handOver_;
  std::function<void()> onFailure_;
  TAutoResetEvent event_;
  TUsbPacketReader reader_;
};

class TUsbCanAdapter final : public TCANAdapter {
 public:
  TUsbCanAdapter();
  ~TUsbCanAdapter() override;

  // Index among the devices the D2XX layer lists ("CANAdapter"/"DeviceNum").
  void SetDeviceNum(std::int32_t index) { DeviceIndex = index; }
  [[nodiscard]] std::int32_t DeviceNum() const { return DeviceIndex; }
  // A device path of our own configuration ("CANAdapter"/"Port"), listed
  // before the converters found on USB; empty for none.
  void SetPort(const QString& path) { port_ = path.toStdString(); }
  // The last list, open or close status.
  [[nodiscard]] FT_STATUS Status() const { return status_; }

  void SetActive(bool value) override;
  void SetParameter(std::int32_t value) override;
  // Discarded without bookkeeping while closed.
  void Send(TCANFrame& frame) override;

  void Open(std::int32_t index);
  // Stops the receive thread (at once: it is woken, not waited out) and
  // closes the device. Hand-overs the thread has started are still served.
  void Close();
  void WritePacket(const TUsbPayload& payload);

 private:
  void Serve(const std::shared_ptr<THandOver>& handOver);

  FT_HANDLE Handle = nullptr;
  FT_STATUS status_ = FT_OK;
  std::unique_ptr<TReadThread> ReadThread;
  std::int32_t DeviceIndex = 0;
  std::string port_;
  std::shared_ptr<THandOver> handOver_;
  bool closing_ = false;
  FT_STATUS lastReported_ = FT_OK;
  // Lives on the main thread: the receive thread's queued calls run here,
  // and are dropped if the adapter is gone by then.
  std::unique_ptr<QObject> mainThread_;
};

// Registers "QTR4" with the adapter factory.
void RegisterUsbCanAdapter(TAdapterFactory& factory);

}  // namespace vorta
