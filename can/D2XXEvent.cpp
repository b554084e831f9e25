#include "can/D2XXEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace vorta {

TAutoResetEvent::TAutoResetEvent() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TAutoResetEvent::~TAutoResetEvent() {
  if (fd_ >= 0) close(fd_);
}

void TAutoResetEvent::Set() {
  if (fd_ < 0) return;
  const std::uint64_t one = 1;
  // A full counter (EAGAIN) is already a set event.
  [[maybe_unused]] const auto n = write(fd_, &one, sizeof one);
}

bool TAutoResetEvent::Wait(int timeoutMs) {
  if (fd_ < 0) return false;
  std::vector<pollfd> fds;
  {
    std::lock_guard lock(mutex_);
    fds.reserve(watched_.size() + 1);
    fds.push_back({fd_, POLLIN, 0});
    for (const int d : watched_) fds.push_back({d, POLLIN, 0});
  }
  int n;
  do {
    n = poll(fds.data(), fds.size(), timeoutMs);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return false;
  if ((fds[0].revents & POLLIN) != 0) {
    std::uint64_t count;
    [[maybe_unused]] const auto r = read(fd_, &count, sizeof count);
  }
  return true;
}

void TAutoResetEvent::Watch(int deviceFd) {
  std::lock_guard lock(mutex_);
  if (std::find(watched_.begin(), watched_.end(), deviceFd) == watched_.end()) {
    watched_.push_back(deviceFd);
  }
}

void TAutoResetEvent::Unwatch(int deviceFd) {
  std::lock_guard lock(mutex_);
  std::erase(watched_, deviceFd);
}

}  // namespace vorta
