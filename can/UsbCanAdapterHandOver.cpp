#include "can/UsbCanAdapterHandOver.h"

namespace vorta {

THandOver::THandOver(TRequestServe requestServe) : requestServe_(std::move(requestServe)) {}

bool THandOver::Deliver(const TCANFrame& frame) {
  std::unique_lock lock(mutex_);
  if (stop_) return false;
  frame_ = frame;
  pending_ = true;
  lock.unlock();
  requestServe_(shared_from_this());
  lock.lock();
  changed_.wait(lock, [this] { return !pending_ || abandoned_; });
  return !pending_;
}

void THandOver::Ended() {
  std::lock_guard lock(mutex_);
  ended_ = true;
  changed_.notify_all();
}

void THandOver::Serve(const TReceive& receive) {
  {
    std::lock_guard lock(mutex_);
    // Already served by a waiting Close, or nested inside a running hand-over.
    if (!pending_ || serving_) return;
    serving_ = true;
  }
  // The frame is only touched here while the thread waits for pending_.
  receive(frame_);
  std::lock_guard lock(mutex_);
  serving_ = false;
  pending_ = false;
  changed_.notify_all();
}

void THandOver::Stop() {
  std::lock_guard lock(mutex_);
  stop_ = true;
  if (serving_) abandoned_ = true;
  changed_.notify_all();
}

void THandOver::WaitForEnd(const TReceive& receive) {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return ended_ || (pending_ && !serving_); });
      if (ended_) return;
    }
    Serve(receive);
  }
}

}  // namespace vorta
