#pragma once
// The converter's end of the serial line: a pseudo-terminal whose master
// vorta-sim holds. The slave is held open too, so the line stays up while
// the controller closes and reopens it; unplugging closes both ends, which
// the controller sees as a vanished device.

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <deque>
#include <functional>
#include <memory>

namespace vorta::sim {

class TSimLine : public QObject {
 public:
  // link: a symbolic link kept pointing at the current pseudo-terminal
  // (empty: none), so that a configured path survives an unplug.
  explicit TSimLine(QString link);
  ~TSimLine() override;

  // Opens a new pseudo-terminal; false when the system has none to give.
  bool Plug();
  void Unplug();
  [[nodiscard]] bool Plugged() const { return master_ >= 0; }
  [[nodiscard]] const QString& Path() const { return path_; }

  // While paused nothing is read and what the bus sends is dropped.
  void SetPaused(bool paused);
  [[nodiscard]] bool Paused() const { return paused_; }

  // Queues bytes for the controller; holdAfter waits a few milliseconds
  // before the next bytes go (a packet split across reads).
  void Write(const QByteArray& bytes, bool holdAfter = false);

  // Bytes the controller wrote.
  std::function<void(const std::uint8_t*, std::size_t)> OnBytes;

 private:
  struct TChunk {
    QByteArray bytes;
    bool holdAfter = false;
  };

  void ReadReady();
  void Flush();
  void UpdateLink();

  QString link_;
  QString path_;
  int master_ = -1;
  int slave_ = -1;
  bool paused_ = false;
  bool holding_ = false;
  std::size_t queued_ = 0;
  std::deque<TChunk> out_;
  std::unique_ptr<QSocketNotifier> readNotifier_;
  std::unique_ptr<QSocketNotifier> writeNotifier_;
};

}  // namespace vorta::sim
