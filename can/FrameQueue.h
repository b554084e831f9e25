#pragma once
// The outgoing frame queue between the devices and the adapter.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>

#include "can/CANAdapter.h"

namespace vorta {

// First-in-first-out queue of frame copies between the devices and the
// adapter. Bounded so that a device that floods it (or a dead adapter) cannot
// eat memory: a full queue drops new frames silently.
//
// Only the newest state of a register matters to a device, and one answer to
// a request serves every asker: a write to a register that already has a
// write waiting replaces that write's data where it stands, and a request
// identical to one still waiting is not queued again. Either keeps the
// order of everything else.
class TFrameQueue {
 public:
  using TSendHook = std::function<void(TCANFrame&)>;
  static constexpr std::size_t kMaxFrames = 1001;

  // Appends a copy, or merges it into a waiting frame of the same register
  // (true either way); false (frame dropped) when kMaxFrames are already
  // queued and it merges with none.
  bool Push(const TCANFrame& frame);
  // Removes the oldest frame and hands it to OnSend (dropped when no hook is
  // attached); false when the queue is empty.
  bool SendNext();
  [[nodiscard]] std::size_t Count() const { return frames_.size(); }
  [[nodiscard]] bool Empty() const { return frames_.empty(); }
  void Clear() {
    sentOrCleared_ += frames_.size();
    frames_.clear();
  }
  void SetOnSend(TSendHook hook) { OnSend = std::move(hook); }

  // Load figures since the queue was made: the deepest it has been, and the
  // frames it refused because it was full.
  [[nodiscard]] std::size_t PeakCount() const { return peak_; }
  [[nodiscard]] std::uint64_t RefusedCount() const { return refused_; }
  // Starts the peak over from the present depth (to leave a start-up out).
  void ResetPeak() { peak_ = frames_.size(); }

  TSendHook OnSend;

 private:
  std::deque<TCANFrame> frames_;
  // Frames that left the front so far, and the number (counted the same
  // way) of the frame the last push appended or merged into: a device
  // writes its register several times in a row, and finding that frame
  // again without a scan makes such a write cheap.
  std::uint64_t sentOrCleared_ = 0;
  std::uint64_t lastTouched_ = 0;
  std::size_t peak_ = 0;
  std::uint64_t refused_ = 0;
};

}  // namespace vorta
