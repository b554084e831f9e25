#include "platform/VirtualTimerService.h"

#include "platform/RealTimerService.h"

#include <algorithm>
#include <limits>

namespace vorta {

class TVirtualTimerService::TVirtualTimer final : public TTimer {
 public:
  TVirtualTimer(TVirtualTimerService& owner, int intervalMs)
      : TTimer(intervalMs), owner_(owner), serial_(owner.nextSerial_++) {
    owner_.timers_.push_back(this);
  }
  ~TVirtualTimer() override { std::erase(owner_.timers_, this); }

  void Rearm() override {
    armed_ = Enabled() && Interval() > 0;
    if (armed_) due_ = owner_.now_ + Interval();
  }

  void Run() {
    // The next period counts from this firing, as a window timer does.
    due_ = owner_.now_ + Interval();
    Fire();
  }

  TVirtualTimerService& owner_;
  std::uint64_t serial_;
  std::int64_t due_ = 0;
  bool armed_ = false;
};

TVirtualTimerService::TVirtualTimerService(double startDate) : startDate_(startDate) {}

TVirtualTimerService::~TVirtualTimerService() = default;

double TVirtualTimerService::Now() const {
  return startDate_ + static_cast<double>(now_) / 86'400'000.0;
}

std::int64_t TVirtualTimerService::UtcMs() const {
  return FromSystemDateTime(Now()).toMSecsSinceEpoch();
}

void TVirtualTimerService::ProcessMessages() {
  AdvanceTo(now_ + 1);
}

std::unique_ptr<TTimer> TVirtualTimerService::CreateTimer(int intervalMs) {
  return std::make_unique<TVirtualTimer>(*this, intervalMs);
}

void TVirtualTimerService::AdvanceBy(std::int64_t ms) {
  AdvanceTo(now_ + std::max<std::int64_t>(ms, 0));
}

TVirtualTimerService::TVirtualTimer* TVirtualTimerService::NextDue(std::int64_t limit) const {
  TVirtualTimer* best = nullptr;
  for (TVirtualTimer* t : timers_) {
    if (!t->armed_ || t->due_ > limit) continue;
    if (best == nullptr || t->due_ < best->due_ ||
        (t->due_ == best->due_ && t->serial_ < best->serial_)) {
      best = t;
    }
  }
  return best;
}

void TVirtualTimerService::AdvanceTo(std::int64_t target) {
  // A handler may call ProcessMessages (WaitMs), which advances the clock past
  // this loop's target: time never runs backwards.
  while (TVirtualTimer* t = NextDue(target)) {
    now_ = std::max(now_, t->due_);
    t->Run();
  }
  now_ = std::max(now_, target);
}

}  // namespace vorta
