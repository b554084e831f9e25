#pragma once
// Measures how long the main thread's event loop goes without turning: a
// short timer notes how late each of its ticks comes. A window that freezes
// shows here as a long stall.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace vorta {

class TStallWatch final : public QObject {
 public:
  static constexpr int kTickMs = 10;

  TStallWatch() {
    clock_.start();
    connect(&timer_, &QTimer::timeout, this, [this] {
      const qint64 now = clock_.elapsed();
      longestMs_ = std::max(longestMs_, now - last_ - kTickMs);
      last_ = now;
    });
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.start(kTickMs);
  }

  // The longest time beyond one tick that the loop did not turn.
  [[nodiscard]] qint64 LongestStallMs() const { return longestMs_; }

 private:
  QElapsedTimer clock_;
  QTimer timer_;
  qint64 last_ = 0;
  qint64 longestMs_ = 0;
};

}  // namespace vorta
