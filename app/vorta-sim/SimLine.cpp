#include "app/vorta-sim/SimLine.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QTimer>
#include <cerrno>

namespace vorta::sim {

namespace {
constexpr int kSplitPauseMs = 5;
// The controller reads far faster than the line is fed; a backlog this big
// means nobody reads (line closed by the controller), so frames are dropped
// as a converter with nobody listening drops them.
constexpr std::size_t kMaxQueued = std::size_t{16} * 1024;
}  // namespace

TSimLine::TSimLine(QString link) : link_(std::move(link)) {}

TSimLine::~TSimLine() {
  Unplug();
}

bool TSimLine::Plug() {
  Unplug();
  char name[256] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    master_ = slave_ = -1;
    return false;
  }
  path_ = QString::fromLocal8Bit(name);
  // Raw before the controller opens it: no echo, no line editing.
  termios t{};
  tcgetattr(slave_, &t);
  cfmakeraw(&t);
  tcsetattr(slave_, TCSANOW, &t);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);

  readNotifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
  connect(readNotifier_.get(), &QSocketNotifier::activated, this, &TSimLine::ReadReady);
  readNotifier_->setEnabled(!paused_);
  writeNotifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Write);
  connect(writeNotifier_.get(), &QSocketNotifier::activated, this, &TSimLine::Flush);
  writeNotifier_->setEnabled(false);
  UpdateLink();
  return true;
}

void TSimLine::Unplug() {
  readNotifier_.reset();
  writeNotifier_.reset();
  out_.clear();
  queued_ = 0;
  holding_ = false;
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
  master_ = slave_ = -1;
}

void TSimLine::SetPaused(bool paused) {
  paused_ = paused;
  if (readNotifier_) readNotifier_->setEnabled(!paused);
  if (!paused) Flush();
}

void TSimLine::Write(const QByteArray& bytes, bool holdAfter) {
  if (!Plugged() || paused_) return;
  if (queued_ + static_cast<std::size_t>(bytes.size()) > kMaxQueued) return;
  out_.push_back({bytes, holdAfter});
  queued_ += static_cast<std::size_t>(bytes.size());
  Flush();
}

void TSimLine::ReadReady() {
  std::uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
      if (OnBytes) OnBytes(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // EAGAIN: drained. EIO cannot come while we hold the slave open.
    return;
  }
}

void TSimLine::Flush() {
  if (!Plugged() || paused_) return;
  while (!out_.empty() && !holding_) {
    TChunk& chunk = out_.front();
    const ssize_t n = ::write(master_, chunk.bytes.constData(), chunk.bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    queued_ -= static_cast<std::size_t>(n);
    if (n < chunk.bytes.size()) {
      chunk.bytes.remove(0, n);
      break;
    }
    if (chunk.holdAfter) {
      holding_ = true;
      QTimer::singleShot(kSplitPauseMs, this, [this] {
        holding_ = false;
        Flush();
      });
    }
    out_.pop_front();
  }
  if (writeNotifier_) writeNotifier_->setEnabled(!out_.empty() && !holding_);
}

void TSimLine::UpdateLink() {
  if (link_.isEmpty()) return;
  // A new link renamed over the old: the controller never finds none.
  const QByteArray target = path_.toLocal8Bit();
  const QByteArray link = link_.toLocal8Bit();
  const QByteArray temporary = link + ".new";
  ::unlink(temporary.constData());
  if (::symlink(target.constData(), temporary.constData()) == 0) {
    ::rename(temporary.constData(), link.constData());
  }
}

}  // namespace vorta::sim
