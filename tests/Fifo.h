#pragma once
// Named pipes (mkfifo) in the places of the program's files, and a watchdog
// that turns a hang on one into a failed test instead of a hung suite: once
// its time is up it keeps opening the pipes for both ends, which lets an
// open() or read() blocked on them return.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>
#include <vector>

namespace vorta::test {

inline bool MakeFifo(const QString& path) {
  return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

inline bool IsFifo(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

class TFifoWatchdog {
 public:
  explicit TFifoWatchdog(const QStringList& fifos,
                         std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    // A writer let go finds no reader once the pipe is closed again.
    std::signal(SIGPIPE, SIG_IGN);
    for (const QString& f : fifos) paths_.push_back(QFile::encodeName(f));
    thread_ = std::thread([this, limit] {
      std::unique_lock lock(mutex_);
      if (wake_.wait_for(lock, limit, [this] { return stop_; })) return;
      fired_ = true;
      while (!stop_) {
        for (const QByteArray& path : paths_) {
          const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
          wake_.wait_for(lock, std::chrono::milliseconds(10));
          if (fd >= 0) ::close(fd);
        }
        wake_.wait_for(lock, std::chrono::milliseconds(10));
      }
    });
  }
  ~TFifoWatchdog() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  TFifoWatchdog(const TFifoWatchdog&) = delete;
  TFifoWatchdog& operator=(const TFifoWatchdog&) = delete;

  // True when the time ran out: something waited on a pipe.
  [[nodiscard]] bool Fired() const { return fired_; }

 private:
  std::vector<QByteArray> paths_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::atomic<bool> fired_{false};
  std::thread thread_;
};

}  // namespace vorta::test
