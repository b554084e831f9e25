#pragma once
// The MQTT client's session: its own thread connects, reconnects with a
// growing pause, and publishes; the main thread only hands over the latest
// 2-s state of a vessel and picks up what the operator must be told, so a
// broker that is down, slow or refusing never holds up a cycle or a window.
// A hand-over wakes the thread at once.
//
// Minute rows, alarms and journal records are read from their files on disk
// from the last delivered offset (acknowledged by the broker, QoS 1; see
// telemetry/MqttDeliveryLedger.h), so whatever was written during an outage
// is published after it, in order, and memory stays flat however long the
// outage.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "telemetry/MqttCommands.h"
#include "telemetry/MqttDeliveryLedger.h"
#include "telemetry/MqttSettings.h"
#include "telemetry/MqttText.h"

struct mosquitto;
struct mosquitto_message;
struct mqtt5__property;

namespace vorta {

// A change of the connection worth telling: Operator texts go to the
// operator (once per episode, as Shown); all go to the journal (as Text).
//
// An episode runs from the first failure until a connection has held: a
// connection that the broker drops soon after accepting it (another client
// with the same ClientId, a broker that closes at once, a refused topic)
// does not end it, so the pause keeps doubling and the operator hears of it
// once.
struct TMqttNotice {
  QString Text;   // Russian, as the journal keeps it
  QString Shown;  // the same in the operator's language
  bool Operator = true;
};

class TMqttPublisher final : private IMqttLink {
 public:
  // offsetsPath: the small file that keeps each file's delivered offset.
  TMqttPublisher(TMqttSettings settings, std::vector<TPublishedFile> files, QString offsetsPath);
  // Orderly end: what is still in the files is published for a moment,
  // then "offline", then the connection is closed.
  ~TMqttPublisher() override;
  TMqttPublisher(const TMqttPublisher&) = delete;
  TMqttPublisher& operator=(const TMqttPublisher&) = delete;

  void Start();
  // Main thread: the vessel's latest state (retained); while disconnected it
  // is dropped, as only the latest value matters.
  void PublishState(std::int32_t vessel, const QByteArray& payload);
  // Main thread: the list of active alarms (retained, sent again on each
  // connection); only the latest counts.
  void PublishAlarmList(const QByteArray& payload);
  // Main thread: an alarm change that the journal could not take, so that it
  // reaches the broker all the same (kept in memory until acknowledged).
  void PublishUnjournalledAlarm(std::int32_t vessel, const QByteArray& payload);
  // Main thread: the program's clock (days since 1899-12-30), which dates the
  // data log rows; the computer's clock until it is given.
  void SetNow(double now) { now_ = now; }
  // Main thread: connection changes since the last call.
  std::vector<TMqttNotice> TakeNotices();
  // Main thread: the commands received since the last call (only while
  // Operators are named and the broker speaks MQTT 5).
  std::vector<TMqttCommand> TakeCommands();
  // Main thread: an answer to a command, on its response topic with its
  // correlation data; dropped while disconnected (the page hears nothing).
  void Answer(const QString& topic, const QByteArray& correlation, const QByteArray& payload);
  [[nodiscard]] bool Connected() const { return connected_; }
  [[nodiscard]] QString StatusTopic() const { return root_ + QStringLiteral("/status"); }

 private:
  using TClock = std::chrono::steady_clock;

  void Run();
  // Waits for the broker's socket, a hand-over or the timeout, then lets the
  // library read and write what it can.
  int Service(int timeoutMs);
  void Wake();
  void TryConnect();
  void Fail(int rc);
  [[nodiscard]] TMqttText FailureText(int rc, int savedErrno);
  void CheckHeld();
  void Destroy();
  void SendStates();
  void SendAlarms();
  void SendAlarmList();
  void SendAnswers();
  void Finish();
  // IMqttLink
  bool Publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
               int* mid) override;
  void Notify(const TMqttText& text, bool toOperator) override;
  [[nodiscard]] double Now() const override;
  [[nodiscard]] QString Where() const;

  static void OnConnect(mosquitto* m, void* self, int rc);
  static void OnDisconnect(mosquitto* m, void* self, int rc);
  static void OnPublish(mosquitto* m, void* self, int mid, int reason,
                        const mqtt5__property* properties);
  static void OnMessage(mosquitto* m, void* self, const mosquitto_message* message,
                        const mqtt5__property* properties);

  const TMqttSettings settings_;
  const QString root_;

  // Shared with the main thread.
  std::atomic<bool> stop_{false};
  std::atomic<bool> connected_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  QHash<std::int32_t, QByteArray> states_;
  std::vector<TMemoryAlarm> newAlarms_;
  QByteArray alarmList_;  // null until given
  bool alarmListNew_ = false;
  std::vector<TMqttNotice> notices_;
  struct TAnswer {
    QString Topic;
    QByteArray Correlation;
    QByteArray Payload;
  };
  std::vector<TMqttCommand> commands_;
  std::vector<TAnswer> answers_;
  std::atomic<double> now_{0};
  int wakeFd_ = -1;  // an eventfd: a hand-over for the thread

  // The thread's own.
  std::thread thread_;
  mosquitto* mosq_ = nullptr;
  TMqttDeliveryLedger ledger_;
  QByteArray alarmListSent_;  // the latest list, for the next connection
  bool alarmListDue_ = false;
  bool mqtt5_ = true;  // until the broker says it speaks only 3.1.1
  bool lost_ = false;
  // This attempt: accepted by the broker, then a message of it acknowledged,
  // then held long enough to count as restored.
  bool accepted_ = false;
  bool acked_ = false;
  bool held_ = false;
  int onlineMid_ = 0;
  int refusal_ = 0;   // the broker's refusal of the connection
  int rejected_ = 0;  // the broker's refusal of a message (MQTT 5)
  QString rejectedTopic_;
  // Answers in flight: the broker refusing one (its ACL) is no fault of the
  // connection.
  std::vector<int> answerMids_;
  int brokerReason_ = 0;  // why the broker disconnected us (MQTT 5)
  TClock::time_point acceptedAt_{};
  // The episode.
  bool inEpisode_ = false;
  bool episodeTold_ = false;
  // A connection the broker closed after accepting it: what the next
  // attempt, made at once, does shows whether it was lost or taken over, and
  // that is told.
  QString untoldDrop_;
  bool untoldDropAcked_ = false;
  int retryMs_ = 0;
  TClock::time_point nextAttempt_{};
  TClock::time_point attemptStarted_{};
  TClock::time_point lastPump_{};
};

}  // namespace vorta
