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
  // At most one frame per target waits, so the one found first is the one.
  auto merge = [&frame](TCANFrame& waiting) {
    // A request's data bytes are zero, so this is a no-op for a request.
    std::copy(std::begin(frame.Data), std::end(frame.Data), std::begin(waiting.Data));
    return true;
  };
  if (lastTouched_ >= sentOrCleared_ && lastTouched_ - sentOrCleared_ < frames_.size()) {
    TCANFrame& last = frames_[static_cast<std::size_t>(lastTouched_ - sentOrCleared_)];
    if (SameTarget(last, frame)) return merge(last);
  }
  for (std::size_t i = 0; i < frames_.size(); ++i) {
    if (SameTarget(frames_[i], frame)) {
      lastTouched_ = sentOrCleared_ + i;
      return merge(frames_[i]);
    }
  }
  if (frames_.size() >= kMaxFrames) {
    ++refused_;
    return false;
  }
  frames_.push_back(frame);
  lastTouched_ = sentOrCleared_ + frames_.size() - 1;
  peak_ = std::max(peak_, frames_.size());
  return true;
}

bool TFrameQueue::SendNext() {
  if (frames_.empty()) {
    return false;
  }
  TCANFrame frame = frames_.front();
  frames_.pop_front();
  ++sentOrCleared_;
  if (OnSend) {
    OnSend(frame);
  }
  return true;
}

}  // namespace vorta
