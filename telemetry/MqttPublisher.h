#pragma once
// The MQTT client: its own thread connects, reconnects with a growing pause,
// and publishes; the main thread only hands over the latest 2-s state of a
// vessel and picks up what the operator must be told, so a broker that is
// down, slow or refusing never holds up a cycle or a window.
//
// Minute rows, alarms and journal records are read from their files on disk
// from the last delivered offset (acknowledged by the broker, QoS 1), so
// whatever was written during an outage is published after it, in order,
// and memory stays flat however long the outage.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "telemetry/FileTail.h"
#include "telemetry/MqttSettings.h"

struct mosquitto;

namespace vorta {

// A file whose lines are published: a vessel's data log or the journal.
struct TPublishedFile {
  QString Path;
  QString Key;  // its name in the offsets file
  std::int32_t Vessel = 0;
  bool Journal = false;
};

// A change of the connection worth telling: Operator texts go to the
// operator (once per episode); all go to the journal.
struct TMqttNotice {
  QString Text;
  bool Operator = true;
};

class TMqttPublisher {
 public:
  // offsetsPath: the small file that keeps each file's delivered offset.
  TMqttPublisher(TMqttSettings settings, std::vector<TPublishedFile> files, QString offsetsPath);
  // Orderly end: what is still in the files is published for a moment,
  // then "offline", then the connection is closed.
  ~TMqttPublisher();
  TMqttPublisher(const TMqttPublisher&) = delete;
  TMqttPublisher& operator=(const TMqttPublisher&) = delete;

  void Start();
  // Main thread: the vessel's latest state (retained); while disconnected it
  // is dropped, as only the latest value matters.
  void PublishState(std::int32_t vessel, const QByteArray& payload);
  // Main thread: connection changes since the last call.
  std::vector<TMqttNotice> TakeNotices();
  [[nodiscard]] bool Connected() const { return connected_; }
  [[nodiscard]] QString StatusTopic() const { return root_ + QStringLiteral("/status"); }

 private:
  struct TPending {
    int Mid = 0;
    std::size_t File = 0;
    qint64 End = 0;
    bool Acked = false;
  };
  using TClock = std::chrono::steady_clock;

  void Run();
  void TryConnect();
  void Fail(int rc);
  void Destroy();
  void SendStates();
  void PumpFiles();
  void Acknowledge(int mid);
  void SaveOffsets(bool force);
  void Finish();
  bool Publish(const QString& topic, const QByteArray& payload, int qos, bool retain, int* mid);
  void Notify(const QString& text, bool toOperator);
  [[nodiscard]] QString Where() const;

  static void OnConnect(mosquitto* m, void* self, int rc);
  static void OnDisconnect(mosquitto* m, void* self, int rc);
  static void OnPublish(mosquitto* m, void* self, int mid);

  const TMqttSettings settings_;
  const QString root_;
  const std::vector<TPublishedFile> files_;
  const QString offsetsPath_;

  // Shared with the main thread.
  std::atomic<bool> stop_{false};
  std::atomic<bool> connected_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  QHash<std::int32_t, QByteArray> states_;
  std::vector<TMqttNotice> notices_;

  // The thread's own.
  std::thread thread_;
  mosquitto* mosq_ = nullptr;
  std::vector<TFileTail> tails_;
  std::deque<TPending> pending_;
  bool lost_ = false;
  bool wasConnected_ = false;  // in this attempt
  int refusal_ = 0;            // the broker's refusal code of this attempt
  bool episodeReported_ = false;
  int retryMs_ = 0;
  TClock::time_point nextAttempt_{};
  TClock::time_point attemptStarted_{};
  TClock::time_point lastSave_{};
  bool offsetsDirty_ = false;
  TClock::time_point lastPump_{};
  bool backlog_ = false;  // the last look found lines
};

}  // namespace vorta
