#pragma once
// The synchronous hand-over of received frames from the USB receive thread to
// the main thread, for one open period of the adapter.
//
// The thread offers one frame and blocks until the main thread has run the
// adapter's Receive on it, so frames reach the bus one at a time and in
// order. The main thread serves a hand-over either from its event loop (a
// posted call) or while it waits for the thread to end, so Close, a failed
// write and a read error never leave the two threads waiting on each other.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "can/CANAdapter.h"

namespace vorta {

class THandOver : public std::enable_shared_from_this<THandOver> {
 public:
  using TReceive = std::function<void(TCANFrame&)>;

  using TRequestServe = std::function<void(std::shared_ptr<THandOver>)>;

  // requestServe is called on the receive thread after a frame is offered:
  // it must get Serve() run on the main thread (a queued call). Made only
  // through make_shared.
  explicit THandOver(TRequestServe requestServe);

  // Receive thread. False when the hand-over did not happen or was cut short
  // because the adapter is closing.
  bool Deliver(const TCANFrame& frame);
  // The thread's last act: releases the main thread's WaitForEnd.
  void Ended();
  [[nodiscard]] bool StopRequested() const { return stop_.load(); }

  // Main thread: runs receive on the offered frame, if one waits.
  void Serve(const TReceive& receive);
  // Main thread: asks the thread to stop. Called from inside Serve (a frame
  // handler closing the adapter), it also releases the thread's Deliver,
  // since the main thread cannot finish that hand-over before it waits.
  void Stop();
  // Main thread: waits for Ended, serving a hand-over that the thread offers
  // meanwhile. Returns at once after Ended.
  void WaitForEnd(const TReceive& receive);

 private:
  TRequestServe requestServe_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  TCANFrame frame_;
  bool pending_ = false;
  bool serving_ = false;
  bool abandoned_ = false;
  bool ended_ = false;
};

}  // namespace vorta
