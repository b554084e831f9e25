#pragma once
// What the publisher owes the broker and what it has delivered: the lines of
// the data logs and the journal read from their files from the last
// acknowledged offset, the alarm changes kept in memory, the histories built
// from the data logs, and the offsets file that carries the delivered
// offsets across runs. Used by the publisher's thread only; the connection
// it sends over is the session's (telemetry/MqttPublisher.h).

#include <QByteArray>
#include <QHash>
#include <QString>
#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

#include "telemetry/FileTail.h"
#include "telemetry/MqttHistory.h"
#include "telemetry/MqttText.h"

namespace vorta {

// A file whose lines are published: a vessel's data log or the journal.
struct TPublishedFile {
  QString Path;
  QString Key;  // its name in the offsets file
  std::int32_t Vessel = 0;
  bool Journal = false;
  // Where this run's lines begin, for a file the offsets file does not know
  // yet; -1: wherever the file ends when publishing starts.
  qint64 RunStart = -1;
};

// An alarm change that the journal could not take.
struct TMemoryAlarm {
  std::int32_t Vessel = 0;
  QByteArray Payload;
  int Mid = 0;  // while sent and not yet acknowledged
};

// What the ledger needs of the connection it delivers over.
class IMqttLink {
 public:
  virtual ~IMqttLink() = default;
  // False when the message could not be handed to the connection.
  virtual bool Publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
                       int* mid) = 0;
  virtual void Notify(const TMqttText& text, bool toOperator) = 0;
  // The program's clock (days since 1899-12-30), which dates the rows.
  [[nodiscard]] virtual double Now() const = 0;
};

class TMqttDeliveryLedger {
 public:
  // Sent and not yet acknowledged at most (give or take one chunk of a
  // file): enough to keep the link busy after an outage, small enough to be
  // nothing in memory.
  static constexpr std::size_t kWindow = 200;
  // Alarm changes the journal could not take wait in memory; beyond this the
  // oldest give way.
  static constexpr std::size_t kMaxMemoryAlarms = 100;

  TMqttDeliveryLedger(QString root, std::vector<TPublishedFile> files, QString offsetsPath,
                      IMqttLink& link);

  // Reads the offsets file and places each file's tail.
  void Load();
  // A new connection: the histories are published again on it.
  void Connected();
  // The connection is gone: whatever was not acknowledged is sent again on
  // the next one.
  void Lost();

  // The calls below return false when the connection failed under them.
  void AddAlarms(std::vector<TMemoryAlarm>& alarms);
  bool SendAlarms();
  // Publishes what the files hold past what was sent, a chunk per file,
  // until the window of unacknowledged messages is full.
  bool Pump();
  // Built from the data log itself, once a backlog is through.
  bool SendHistories();
  // The broker's acknowledgement; false for a message the ledger does not
  // wait for.
  bool Acknowledge(int mid);
  // A message of the session's own to wait for (the last "offline").
  void Expect(int mid, const QString& topic);
  // The topic of a message sent and not yet acknowledged; empty if none.
  [[nodiscard]] QString TopicOf(int mid) const;
  void SaveOffsets(bool force);

  // The last look found lines, or the window was full: more to send.
  [[nodiscard]] bool Backlog() const { return backlog_; }
  [[nodiscard]] bool WindowFull() const { return pending_.size() >= kWindow; }
  [[nodiscard]] bool AllAcknowledged() const { return pending_.empty(); }

 private:
  // File of a pending message that is no line of a file.
  static constexpr std::size_t kOwnMessage = SIZE_MAX;
  static constexpr std::size_t kAlarmMessage = SIZE_MAX - 1;
  struct TPending {
    int Mid = 0;
    std::size_t File = 0;
    qint64 End = 0;
    bool Acked = false;
    QString Topic;
  };
  using TClock = std::chrono::steady_clock;

  bool PumpFile(std::size_t i);

  const QString root_;
  const std::vector<TPublishedFile> files_;
  const QString offsetsPath_;
  IMqttLink& link_;

  std::vector<TFileTail> tails_;
  // Per file: how many of its messages wait for the broker.
  std::vector<std::size_t> waiting_;
  std::deque<TPending> pending_;
  std::deque<TMemoryAlarm> alarms_;
  // Per file: its vessel's history is to be built and published again.
  std::vector<bool> historyDue_;
  // Per file: its history as published on this connection.
  std::vector<THistoryParts> historySent_;
  bool backlog_ = false;

  // The offsets file: what it holds for files not followed now, too.
  QHash<QString, TDeliveredOffset> kept_;
  bool saveFailureTold_ = false;
  TClock::time_point lastSave_{};
  bool offsetsDirty_ = false;
};

}  // namespace vorta
