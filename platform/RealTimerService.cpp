#include "platform/RealTimerService.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <cmath>
#include <cstdlib>

namespace vorta {

namespace {

const QDateTime& Epoch() {
  static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
  return epoch;
}

class TRealTimer final : public TTimer {
 public:
  explicit TRealTimer(int intervalMs) : TTimer(intervalMs) {
    // Coarse timers may come up to 5 % early: the reconnect's 10 s and the
    // pacer's 20 ms are lower bounds.
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Fire(); });
  }

  void Rearm() override {
    if (Enabled() && Interval() > 0) {
      timer_.start(Interval());
    } else {
      timer_.stop();
    }
  }

 private:
  QTimer timer_;
};

}  // namespace

double ToSystemDateTime(const QDateTime& t) {
  // The system's date-time is local wall time counted as if it were UTC.
  const QDateTime wall(t.toLocalTime().date(), t.toLocalTime().time(), Qt::UTC);
  return static_cast<double>(Epoch().msecsTo(wall)) / 86'400'000.0;
}

QDateTime FromSystemDateTime(double days) {
  const QDateTime wall = Epoch().addMSecs(std::llround(days * 86'400'000.0));
  return {wall.date(), wall.time(), Qt::LocalTime};
}

namespace {
QString WithOffset(const QDateTime& local) {
  const int offset = local.offsetFromUtc();
  const int minutes = std::abs(offset) / 60;
  return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? u'-' : u'+') +
         QStringLiteral("%1:%2")
             .arg(minutes / 60, 2, 10, QLatin1Char('0'))
             .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}
}  // namespace

QString LocalTimeWithOffset(double days) {
  return WithOffset(FromSystemDateTime(days));
}

QString LocalTimeWithOffsetAt(std::int64_t utcMs) {
  return WithOffset(QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime));
}

TRealTimerService::TRealTimerService() {
  clock_.start();
}

double TRealTimerService::Now() const {
  return ToSystemDateTime(QDateTime::currentDateTime());
}

std::int64_t TRealTimerService::UtcMs() const {
  return QDateTime::currentMSecsSinceEpoch();
}

std::int64_t TRealTimerService::MonotonicMs() const {
  return clock_.elapsed();
}

void TRealTimerService::ProcessMessages() {
  // Sleep in the event loop until something happens, but never longer than a
  // millisecond, so that a wait loop neither spins nor oversleeps.
  QTimer::singleShot(1, Qt::PreciseTimer, QCoreApplication::instance(), [] {});
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

std::unique_ptr<TTimer> TRealTimerService::CreateTimer(int intervalMs) {
  return std::make_unique<TRealTimer>(intervalMs);
}

}  // namespace vorta
