#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <QDateTime>
#include <QLoggingCategory>
#include <algorithm>
#include <cerrno>

#include "platform/RealTimerService.h"
#include "platform/SafeFile.h"
#include "telemetry/MqttHistory.h"
#include "telemetry/MqttPayloads.h"
#include "telemetry/MqttPublisher.h"
#include "telemetry/MqttReasons.h"

Q_LOGGING_CATEGORY(lcMqtt, "vorta.mqtt")

namespace vorta {

namespace {
// Records waiting for the broker's acknowledgement: enough to keep the link
// busy after an outage, small enough to be nothing in memory.
constexpr std::size_t kMaxPending = 200;
constexpr qint64 kChunkBytes = qint64{32} * 1024;
// Alarm changes the journal could not take wait in memory; beyond this the
// oldest give way.
constexpr std::size_t kMaxMemoryAlarms = 100;
// A connection that has not been accepted by then is given up and retried.
constexpr auto kConnectTimeout = std::chrono::seconds(10);
// The orderly end waits this long for the broker at most.
constexpr auto kFinishTime = std::chrono::milliseconds(1500);
constexpr auto kSaveEvery = std::chrono::seconds(2);
constexpr auto kPumpEvery = std::chrono::milliseconds(250);
// A vessel's history is read from this much of its data log's end: a day of
// rows at the shortest period (1 min, about 150 bytes a row) twice over.
constexpr qint64 kHistoryBytes = qint64{512} * 1024;

std::once_flag gLibraryInit;

const char* const kContext = "vorta::MqttPublisher";
const char* const kSuspended = QT_TRANSLATE_NOOP(
    "vorta::MqttPublisher", "Публикация данных приостановлена, попытки подключения продолжаются.");
const char* const kLater = QT_TRANSLATE_NOOP("vorta::MqttPublisher",
                                             "Данные будут отправлены после восстановления связи.");

TMqttText Tr(const char* source) {
  return TMqttText::Tr(kContext, source);
}
}  // namespace

TMqttPublisher::TMqttPublisher(TMqttSettings settings, std::vector<TPublishedFile> files,
                               QString offsetsPath)
    : settings_(std::move(settings)),
      root_(settings_.TopicRoot),
      files_(std::move(files)),
      offsetsPath_(std::move(offsetsPath)) {
  std::call_once(gLibraryInit, [] { mosquitto_lib_init(); });
  retryMs_ = settings_.RetryMinMs;
}

TMqttPublisher::~TMqttPublisher() {
  stop_ = true;
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TMqttPublisher::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void TMqttPublisher::PublishState(std::int32_t vessel, const QByteArray& payload) {
  if (!connected_) return;
  const std::lock_guard lock(mutex_);
  states_.insert(vessel, payload);
}

void TMqttPublisher::PublishUnjournalledAlarm(std::int32_t vessel, const QByteArray& payload) {
  const std::lock_guard lock(mutex_);
  newAlarms_.push_back({vessel, payload, 0});
  if (newAlarms_.size() > kMaxMemoryAlarms) newAlarms_.erase(newAlarms_.begin());
}

void TMqttPublisher::PublishAlarmList(const QByteArray& payload) {
  const std::lock_guard lock(mutex_);
  alarmList_ = payload;
  alarmListNew_ = true;
}

std::vector<TMqttNotice> TMqttPublisher::TakeNotices() {
  const std::lock_guard lock(mutex_);
  return std::exchange(notices_, {});
}

void TMqttPublisher::Notify(const TMqttText& text, bool toOperator) {
  const std::lock_guard lock(mutex_);
  notices_.push_back({text.Written, text.Shown, toOperator});
}

QString TMqttPublisher::Where() const {
  return QStringLiteral("%1:%2").arg(settings_.Host).arg(settings_.Port);
}

double TMqttPublisher::Now() const {
  const double now = now_;
  return now != 0 ? now : ToSystemDateTime(QDateTime::currentDateTime());
}

void TMqttPublisher::LoadOffsets() {
  const TKeptOffsets kept = LoadDeliveredOffsets(offsetsPath_);
  kept_ = kept.Offsets;
  if (!kept.Problem.IsEmpty()) {
    Notify(Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher",
                                "MQTT: файл %1 нельзя использовать (%2); строки протоколов и "
                                "журнала, о которых он не говорит, публикуются с начала файлов, "
                                "возможны повторы."))
               .Arg(offsetsPath_, kept.Problem),
           true);
    // A file in its place that cannot be read cannot be written either: once is enough.
    saveFailureTold_ = !NotARegularFile(offsetsPath_).isEmpty();
  }
  tails_.reserve(files_.size());
  historyDue_.assign(files_.size(), false);
  for (const TPublishedFile& f : files_) {
    TFileTail& tail = tails_.emplace_back(f.Path);
    if (const auto it = kept.Offsets.find(f.Key); it != kept.Offsets.end()) {
      tail.Resume(*it);
    } else if (!kept.Problem.IsEmpty()) {
      // What was delivered is unknown: repeats rather than losses.
      tail.StartAt(0);
    } else {
      // New to the publisher: from this run's first line on.
      tail.StartAt(f.RunStart);
    }
  }
  offsetsDirty_ = true;
}

void TMqttPublisher::Run() {
  LoadOffsets();
  while (!stop_) {
    if (mosq_ == nullptr) {
      const auto now = TClock::now();
      if (now >= nextAttempt_) {
        TryConnect();
      } else {
        std::unique_lock lock(mutex_);
        wake_.wait_for(
            lock, std::min<TClock::duration>(nextAttempt_ - now, std::chrono::milliseconds(200)));
      }
      SaveOffsets(false);
      continue;
    }
    const int rc = mosquitto_loop(mosq_, 50, 1);
    if (rc != MOSQ_ERR_SUCCESS || lost_) {
      Fail(rc != MOSQ_ERR_SUCCESS ? rc : MOSQ_ERR_CONN_LOST);
      continue;
    }
    if (!connected_ && refusal_ == 0 && TClock::now() - attemptStarted_ > kConnectTimeout) {
      Fail(MOSQ_ERR_KEEPALIVE);
      continue;
    }
    if (connected_) {
      CheckHeld();
      SendStates();
      SendAlarms();
      SendAlarmList();
      // The files are looked at a few times a second, and at once again
      // while a backlog is being sent.
      const auto now = TClock::now();
      if (backlog_ || now - lastPump_ >= kPumpEvery) {
        lastPump_ = now;
        PumpFiles();
      }
      SendHistories();
    }
    SaveOffsets(false);
  }
  Finish();
}

void TMqttPublisher::TryConnect() {
  lost_ = false;
  accepted_ = false;
  acked_ = false;
  held_ = false;
  onlineMid_ = 0;
  refusal_ = 0;
  rejected_ = 0;
  brokerReason_ = 0;
  attemptStarted_ = TClock::now();
  // A new client per attempt: nothing of an old connection is resent behind
  // our back; the files say what is still to be published.
  mosq_ = mosquitto_new(settings_.ClientId.toUtf8().constData(), true, this);
  if (mosq_ == nullptr) {
    Fail(MOSQ_ERR_NOMEM);
    return;
  }
  // MQTT 5 names why a message or the connection is refused.
  mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION,
                       mqtt5_ ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
  mosquitto_connect_callback_set(mosq_, &OnConnect);
  mosquitto_disconnect_callback_set(mosq_, &OnDisconnect);
  mosquitto_publish_v5_callback_set(mosq_, &OnPublish);
  if (!settings_.Username.isEmpty()) {
    mosquitto_username_pw_set(
        mosq_, settings_.Username.toUtf8().constData(),
        settings_.Password.isEmpty() ? nullptr : settings_.Password.constData());
  }
  const QByteArray offline("offline");
  mosquitto_will_set(mosq_, StatusTopic().toUtf8().constData(), static_cast<int>(offline.size()),
                     offline.constData(), 1, true);
  int rc = MOSQ_ERR_SUCCESS;
  if (!settings_.CAFile.isEmpty()) {
    rc = mosquitto_tls_set(mosq_, settings_.CAFile.toUtf8().constData(), nullptr, nullptr, nullptr,
                           nullptr);
    // Verify the certificate's host name too (the library's default, stated).
    if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_insecure_set(mosq_, false);
  }
  if (rc == MOSQ_ERR_SUCCESS) {
    rc = mosquitto_connect_async(mosq_, settings_.Host.toUtf8().constData(), settings_.Port,
                                 settings_.Keepalive);
  }
  if (rc != MOSQ_ERR_SUCCESS) Fail(rc);
}

void TMqttPublisher::Destroy() {
  if (mosq_ != nullptr) mosquitto_destroy(mosq_);
  mosq_ = nullptr;
  connected_ = false;
}

void TMqttPublisher::Fail(int rc) {
  const int savedErrno = errno;
  Destroy();
  pending_.clear();
  for (TFileTail& tail : tails_) tail.Rewind();
  for (TMemoryAlarm& alarm : alarms_) alarm.Mid = 0;
  {
    const std::lock_guard lock(mutex_);
    states_.clear();
  }
  // A broker that speaks only 3.1.1 says so: ask again at once in its terms.
  if (mqtt5_ && refusal_ == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION) {
    mqtt5_ = false;
    nextAttempt_ = TClock::now();
    return;
  }
  const TMqttText text = FailureText(rc, savedErrno);
  inEpisode_ = true;
  if (text.Written.isEmpty()) {
    nextAttempt_ = TClock::now();
    return;
  }
  if (!episodeTold_) Notify(text, true);
  episodeTold_ = true;
  untoldDrop_.clear();
  nextAttempt_ = TClock::now() + std::chrono::milliseconds(retryMs_);
  retryMs_ = std::min(retryMs_ * 2, settings_.RetryMaxMs);
}

// What ended this attempt, for the operator; empty when the next attempt,
// made at once, must show it first.
TMqttText TMqttPublisher::FailureText(int rc, int savedErrno) {
  const TMqttText suspended = Tr(kSuspended);
  if (refusal_ != 0) {
    return Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher",
                                "Брокер MQTT %1 отказал в подключении: %2. %3"))
        .Arg(Where(), MqttRefusalReason(refusal_, mqtt5_), suspended);
  }
  if (rejected_ != 0) {
    return Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher",
                                "Брокер MQTT %1 не принимает сообщения в %2: %3. %4"))
        .Arg(Where(), rejectedTopic_, MqttRefusalReason(rejected_, true), suspended);
  }
  const TMqttText takenOver =
      Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher",
                           "идентификатор клиента «%1» (ClientId) занят другим клиентом: другим "
                           "компьютером или программой с тем же ClientId"))
          .Arg(settings_.ClientId);
  const char* const closed =
      QT_TRANSLATE_NOOP("vorta::MqttPublisher", "Брокер MQTT %1 закрыл подключение: %2. %3");
  if (brokerReason_ == MQTT_RC_SESSION_TAKEN_OVER) {
    return Tr(closed).Arg(Where(), takenOver, suspended);
  }
  if (brokerReason_ != 0) {
    return Tr(closed).Arg(Where(), MqttRefusalReason(brokerReason_, true), suspended);
  }
  // Closed by the broker after it accepted us: on its own that says little
  // (a broker restarting, another client taking the id over); the next
  // attempt, made at once, shows which.
  const char* const lost =
      QT_TRANSLATE_NOOP("vorta::MqttPublisher", "Связь с брокером MQTT %1 потеряна: %2. %3");
  if (accepted_ && rc == MOSQ_ERR_CONN_LOST && !episodeTold_) {
    if (untoldDrop_.isEmpty()) {
      untoldDrop_ = Tr(lost).Arg(Where(), MqttFailureReason(rc, savedErrno), Tr(kLater)).Written;
      untoldDropAcked_ = acked_;
      return {};
    }
    // Accepted and closed again while the broker keeps accepting: what a
    // broker does to the older of two clients with one id, once they work.
    if (acked_ || untoldDropAcked_) {
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher",
                                  "Брокер MQTT %1 раз за разом закрывает принятое подключение: "
                                  "вероятно, %2. %3"))
          .Arg(Where(), takenOver, suspended);
    }
    return Tr(QT_TRANSLATE_NOOP(
                  "vorta::MqttPublisher",
                  "Брокер MQTT %1 закрывает подключение сразу после того, как принял его. %2"))
        .Arg(Where(), suspended);
  }
  if (accepted_ || !untoldDrop_.isEmpty()) {
    return Tr(lost).Arg(Where(), MqttFailureReason(rc, savedErrno), Tr(kLater));
  }
  return Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher",
                              "Нет связи с брокером MQTT %1: %2. Данные будут отправлены после "
                              "подключения."))
      .Arg(Where(), MqttFailureReason(rc, savedErrno));
}

// A connection counts as restored once the broker has acknowledged a message
// of it and it has held for a keep-alive period and longer than two of the
// longest pauses, which a broker dropping it soon after accepting it (or
// another client taking its id over after its own pause) never lets happen.
void TMqttPublisher::CheckHeld() {
  const auto holdFor =
      std::max<TClock::duration>(std::chrono::seconds(settings_.Keepalive),
                                 std::chrono::milliseconds(2 * settings_.RetryMaxMs));
  if (held_ || !acked_ || TClock::now() - acceptedAt_ < holdFor) return;
  held_ = true;
  retryMs_ = settings_.RetryMinMs;
  if (inEpisode_ && episodeTold_) {
    Notify(Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher", "Связь с брокером MQTT %1 восстановлена."))
               .Arg(Where()),
           false);
  } else if (inEpisode_) {
    Notify(Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher",
                                "Связь с брокером MQTT %1 прерывалась и восстановлена."))
               .Arg(Where()),
           false);
  }
  inEpisode_ = false;
  episodeTold_ = false;
  untoldDrop_.clear();
}

void TMqttPublisher::OnConnect(mosquitto* /*m*/, void* self, int rc) {
  auto* p = static_cast<TMqttPublisher*>(self);
  if (rc != 0) {
    p->refusal_ = rc;
    p->lost_ = true;
    return;
  }
  p->accepted_ = true;
  p->acceptedAt_ = TClock::now();
  // Retained topics are made right on every connection: the broker may have
  // lost them, or kept an older run's.
  p->alarmListDue_ = true;
  for (std::size_t i = 0; i < p->files_.size(); ++i) p->historyDue_[i] = !p->files_[i].Journal;
  p->historySent_.assign(p->files_.size(), {});
  p->Publish(p->StatusTopic(), QByteArrayLiteral("online"), 1, true, &p->onlineMid_);
  p->connected_ = true;
}

void TMqttPublisher::OnDisconnect(mosquitto* /*m*/, void* self, int rc) {
  auto* p = static_cast<TMqttPublisher*>(self);
  // The library's own codes are small; a broker's DISCONNECT reason is not.
  if (rc >= 0x80) p->brokerReason_ = rc;
  p->lost_ = true;
  p->connected_ = false;
}

void TMqttPublisher::OnPublish(mosquitto* /*m*/, void* self, int mid, int reason,
                               const mqtt5__property* /*properties*/) {
  auto* p = static_cast<TMqttPublisher*>(self);
  if (reason >= 0x80) {
    // Refused: not delivered, and said once; the pause grows as for a loss.
    p->rejected_ = reason;
    p->rejectedTopic_ = p->StatusTopic();
    for (const TPending& pending : p->pending_) {
      if (pending.Mid == mid) p->rejectedTopic_ = pending.Topic;
    }
    p->lost_ = true;
    return;
  }
  if (mid == p->onlineMid_) p->acked_ = true;
  p->Acknowledge(mid);
}

bool TMqttPublisher::Publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
                             int* mid) {
  const int rc =
      mosquitto_publish(mosq_, mid, topic.toUtf8().constData(), static_cast<int>(payload.size()),
                        payload.constData(), qos, retain);
  return rc == MOSQ_ERR_SUCCESS;
}

void TMqttPublisher::SendStates() {
  QHash<std::int32_t, QByteArray> states;
  {
    const std::lock_guard lock(mutex_);
    states.swap(states_);
  }
  for (auto it = states.cbegin(); it != states.cend(); ++it) {
    Publish(QStringLiteral("%1/%2/state").arg(root_).arg(it.key()), it.value(), 0, true, nullptr);
  }
}

void TMqttPublisher::SendAlarms() {
  {
    const std::lock_guard lock(mutex_);
    for (TMemoryAlarm& alarm : newAlarms_) alarms_.push_back(std::move(alarm));
    newAlarms_.clear();
  }
  while (alarms_.size() > kMaxMemoryAlarms) alarms_.pop_front();
  for (TMemoryAlarm& alarm : alarms_) {
    if (alarm.Mid != 0) continue;
    const QString topic = QStringLiteral("%1/%2/alarm").arg(root_).arg(alarm.Vessel);
    if (!Publish(topic, alarm.Payload, 1, false, &alarm.Mid)) {
      alarm.Mid = 0;
      lost_ = true;
      return;
    }
    pending_.push_back({alarm.Mid, kAlarmMessage, 0, false, topic});
  }
}

void TMqttPublisher::SendAlarmList() {
  {
    const std::lock_guard lock(mutex_);
    if (alarmListNew_) {
      alarmListSent_ = alarmList_;
      alarmListNew_ = false;
      alarmListDue_ = true;
    }
  }
  if (!alarmListDue_ || alarmListSent_.isNull()) return;
  alarmListDue_ = false;
  if (!Publish(root_ + QStringLiteral("/alarms"), alarmListSent_, 1, true, nullptr)) lost_ = true;
}

// Built from the data log itself, so that it holds the whole day whatever
// was delivered before; only once a backlog is through, so that catching up
// on an outage builds it once. Of the parts only those that changed go out
// (with a new row, the newest hour's), before the index that names them.
void TMqttPublisher::SendHistories() {
  if (backlog_ || lost_) return;
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (!historyDue_[i]) continue;
    historyDue_[i] = false;
    const std::optional<TLastLines> last = ReadLastLines(files_[i].Path, kHistoryBytes);
    if (!last) continue;
    const THistoryParts built = HistoryParts(files_[i].Vessel, last->Header, last->Lines, Now());
    THistoryParts& sent = historySent_[i];
    const QString topic = QStringLiteral("%1/%2/history").arg(root_).arg(files_[i].Vessel);
    for (std::size_t slot = 0; slot < built.Parts.size(); ++slot) {
      const QByteArray& part = built.Parts[slot];
      // Null: not published on this connection. An empty part clears the
      // slot, whatever an earlier run left in it.
      if (!sent.Parts[slot].isNull() && sent.Parts[slot] == part) continue;
      if (!Publish(topic + u'/' + QString::number(slot), part, 0, true, nullptr)) {
        lost_ = true;
        return;
      }
      sent.Parts[slot] = part.isNull() ? QByteArray("") : part;
    }
    if (sent.Index == built.Index) continue;
    if (!Publish(topic, built.Index, 0, true, nullptr)) {
      lost_ = true;
      return;
    }
    sent.Index = built.Index;
  }
}

void TMqttPublisher::PumpFiles() {
  backlog_ = false;
  for (std::size_t i = 0; i < tails_.size() && !lost_; ++i) {
    if (pending_.size() >= kMaxPending) return;
    TFileTail& tail = tails_[i];
    const TPublishedFile& file = files_[i];
    const std::vector<TTailedLine> lines = tail.ReadLines(kChunkBytes);
    for (const TTailNotice& notice : tail.TakeNotices()) {
      Notify({notice.Text, notice.Shown}, notice.Operator);
    }
    for (const TTailedLine& line : lines) {
      QString topic;
      QByteArray payload;
      if (file.Journal) {
        std::int32_t vessel = 0;
        bool alarm = false;
        payload = JournalJson(tail.Header(), line.Line, &vessel, &alarm);
        if (payload.isEmpty()) continue;
        if (alarm) {
          if (!Publish(QStringLiteral("%1/%2/alarm").arg(root_).arg(vessel), payload, 1, false,
                       nullptr)) {
            lost_ = true;
            return;
          }
        }
        topic = root_ + QStringLiteral("/journal");
      } else {
        payload = MinuteJson(file.Vessel, tail.Header(), line.Line, Now());
        topic = QStringLiteral("%1/%2/minute").arg(root_).arg(file.Vessel);
        historyDue_[i] = true;
      }
      int mid = 0;
      if (!Publish(topic, payload, 1, false, &mid)) {
        lost_ = true;
        return;
      }
      pending_.push_back({mid, i, line.End, false, topic});
      backlog_ = true;
    }
    // Nothing of this file waits for the broker: what was read (a header,
    // an empty line) counts as delivered.
    const bool waiting = std::any_of(pending_.begin(), pending_.end(),
                                     [i](const TPending& p) { return p.File == i; });
    if (!waiting && tail.Delivered() != tail.ReadPosition()) {
      tail.SetDelivered(tail.ReadPosition());
      offsetsDirty_ = true;
    }
  }
}

void TMqttPublisher::Acknowledge(int mid) {
  for (TPending& p : pending_) {
    if (p.Mid != mid) continue;
    p.Acked = true;
    acked_ = true;
    if (p.File == kAlarmMessage) {
      std::erase_if(alarms_, [mid](const TMemoryAlarm& a) { return a.Mid == mid; });
    }
    break;
  }
  while (!pending_.empty() && pending_.front().Acked) {
    if (pending_.front().File < tails_.size()) {
      TFileTail& tail = tails_[pending_.front().File];
      tail.SetDelivered(std::max(tail.Delivered(), pending_.front().End));
      offsetsDirty_ = true;
    }
    pending_.pop_front();
  }
}

void TMqttPublisher::SaveOffsets(bool force) {
  const auto now = TClock::now();
  if (!offsetsDirty_ || (!force && now - lastSave_ < kSaveEvery)) return;
  lastSave_ = now;
  for (std::size_t i = 0; i < tails_.size(); ++i) kept_.insert(files_[i].Key, tails_[i].Kept());
  const TMqttText error = SaveDeliveredOffsets(offsetsPath_, kept_);
  if (error.IsEmpty()) {
    offsetsDirty_ = false;
    if (saveFailureTold_) {
      Notify(Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher", "MQTT: файл %1 снова записывается."))
                 .Arg(offsetsPath_),
             false);
    }
    saveFailureTold_ = false;
    return;
  }
  if (!saveFailureTold_) {
    Notify(Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher",
                                "MQTT: не удалось записать файл %1: %2. Пока это так, после "
                                "перезапуска программы строки, записанные до него, могут быть "
                                "опубликованы повторно или пропущены."))
               .Arg(offsetsPath_, error),
           true);
  }
  saveFailureTold_ = true;
}

void TMqttPublisher::Finish() {
  if (mosq_ != nullptr && connected_) {
    const auto until = TClock::now() + kFinishTime;
    // What the files still hold, as far as the broker takes it in time.
    while (TClock::now() < until && !lost_) {
      SendAlarms();
      PumpFiles();
      if (pending_.empty()) break;
      if (mosquitto_loop(mosq_, 20, 1) != MOSQ_ERR_SUCCESS) break;
    }
    int mid = 0;
    if (!lost_ && Publish(StatusTopic(), QByteArrayLiteral("offline"), 1, true, &mid)) {
      pending_.push_back({mid, kStatusMessage, 0, false, StatusTopic()});
      while (TClock::now() < until && !pending_.empty() && !lost_) {
        if (mosquitto_loop(mosq_, 20, 1) != MOSQ_ERR_SUCCESS) break;
      }
      mosquitto_disconnect(mosq_);
      mosquitto_loop(mosq_, 20, 1);
    }
  }
  Destroy();
  SaveOffsets(true);
}

}  // namespace vorta
