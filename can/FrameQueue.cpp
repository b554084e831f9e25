// The outgoing frame queue between the devices and the adapter.

#include "can/VortaWork.h"

namespace vorta {

bool TFrameQueue::Push(const TCANFrame& frame) {
  if (frames_.size() >= kMaxFrames) {
    return false;
  }
  frames_.push_back(frame);
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
