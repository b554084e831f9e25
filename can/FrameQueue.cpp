// The outgoing frame queue between the devices and the adapter.

#include <algorithm>

#include "can/FrameQueue.h"

namespace vorta {

namespace {

// The same register of the same device, addressed the same way.
bool SameTarget(const TCANFrame& a, const TCANFrame& b) {
  return a.Id == b.Id && a.Flags == b.Flags && a.Len == b.Len;
}

}  // namespace

bool TFrameQueue::Push(const TCANFrame& frame) {
  for (TCANFrame& waiting : frames_) {
    if (SameTarget(waiting, frame)) {
      // A request's data bytes are zero, so this is a no-op for a request.
      std::copy(std::begin(frame.Data), std::end(frame.Data), std::begin(waiting.Data));
      return true;
    }
  }
  if (frames_.size() >= kMaxFrames) {
    ++refused_;
    return false;
  }
  frames_.push_back(frame);
  peak_ = std::max(peak_, frames_.size());

  return true;
}

bool TFrameQueue::SendNext() {
  if (frames_.empty()) {
    return false;
  }
  TCANFrame frame = frames_.front();
  frames_.pop_front();
  if (OnSend) {
    OnSend(frame);
  }
  return true;
}

}  // namespace vorta
