#pragma once
// The auto-reset event the D2XX calls signal: Set() wakes one wait and is
// consumed by it. A device attached with Watch() also ends a wait while it
// has bytes waiting or has hung up, which is how "signalled when bytes
// arrive" is had over a Linux descriptor without a helper thread.

#include <mutex>
#include <vector>

namespace vorta {

class TAutoResetEvent {
 public:
  TAutoResetEvent();
  ~TAutoResetEvent();
  TAutoResetEvent(const TAutoResetEvent&) = delete;
  TAutoResetEvent& operator=(const TAutoResetEvent&) = delete;

  // False when the kernel refused the event descriptor.
  [[nodiscard]] bool Valid() const { return fd_ >= 0; }

  // Any thread.
  void Set();
  // True when set (the signal is consumed) or a watched device is readable or
  // gone; false after timeoutMs (negative: no limit).
  bool Wait(int timeoutMs);

  void Watch(int deviceFd);
  void Unwatch(int deviceFd);

 private:
  int fd_ = -1;
  std::mutex mutex_;
  std::vector<int> watched_;
};

}  // namespace vorta
