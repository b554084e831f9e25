#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QDateTime>
#include <QLoggingCategory>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>

#include "platform/RealTimerService.h"
#include "telemetry/MqttPayloads.h"
#include "telemetry/MqttPublisher.h"
#include "telemetry/MqttReasons.h"

Q_LOGGING_CATEGORY(lcMqtt, "vorta.mqtt")

namespace vorta {

namespace {
// A connection that has not been accepted by then is given up and retried.
constexpr auto kConnectTimeout = std::chrono::seconds(10);
// The orderly end waits this long for the broker at most.
constexpr auto kFinishTime = std::chrono::milliseconds(1500);
constexpr auto kPumpEvery = std::chrono::milliseconds(250);
// The longest sleep of a connected thread: keep-alives and the connect
// timeout are looked at no less often.
constexpr int kServiceMs = 50;
// Commands waiting for the main thread; beyond this a flood is dropped.
constexpr std::size_t kMaxCommands = 32;

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
      wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      ledger_(root_, std::move(files), std::move(offsetsPath), *this) {
  std::call_once(gLibraryInit, [] { mosquitto_lib_init(); });
  retryMs_ = settings_.RetryMinMs;
}

TMqttPublisher::~TMqttPublisher() {
  stop_ = true;
  Wake();
  if (thread_.joinable()) thread_.join();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void TMqttPublisher::Wake() {
  wake_.notify_all();
  // Without the eventfd the thread still wakes within kServiceMs.
  if (wakeFd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
  }
}

void TMqttPublisher::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void TMqttPublisher::PublishState(std::int32_t vessel, const QByteArray& payload) {
  if (!connected_) return;
  {
    const std::lock_guard lock(mutex_);
    states_.insert(vessel, payload);
  }
  Wake();
}

void TMqttPublisher::PublishUnjournalledAlarm(std::int32_t vessel, const QByteArray& payload) {
  {
    const std::lock_guard lock(mutex_);
    newAlarms_.push_back({vessel, payload, 0});
    if (newAlarms_.size() > TMqttDeliveryLedger::kMaxMemoryAlarms)
      newAlarms_.erase(newAlarms_.begin());
  }
  Wake();
}

void TMqttPublisher::PublishAlarmList(const QByteArray& payload) {
  {
    const std::lock_guard lock(mutex_);
    alarmList_ = payload;
    alarmListNew_ = true;
  }
  Wake();
}

std::vector<TMqttCommand> TMqttPublisher::TakeCommands() {
  const std::lock_guard lock(mutex_);
  return std::exchange(commands_, {});
}

void TMqttPublisher::Answer(const QString& topic, const QByteArray& correlation,
                            const QByteArray& payload) {
  if (!connected_) return;
  {
    const std::lock_guard lock(mutex_);
    answers_.push_back({topic, correlation, payload});
  }
  Wake();
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

void TMqttPublisher::Run() {
  ledger_.Load();
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
      ledger_.SaveOffsets(false);
      continue;
    }
    // No sleep while a backlog can go on: the window has room.
    const bool more = connected_ && ledger_.Backlog() && !ledger_.WindowFull();
    const int rc = Service(more ? 0 : kServiceMs);
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
      SendAnswers();
      // The files are looked at a few times a second, and at once again
      // while a backlog is being sent and the broker takes it.
      const auto now = TClock::now();
      if ((ledger_.Backlog() && !ledger_.WindowFull()) || now - lastPump_ >= kPumpEvery) {
        lastPump_ = now;
        if (!ledger_.Pump()) lost_ = true;
      }
      if (!lost_ && !ledger_.SendHistories()) lost_ = true;
    }
    ledger_.SaveOffsets(false);
  }
  Finish();
}

int TMqttPublisher::Service(int timeoutMs) {
  const int sock = mosquitto_socket(mosq_);
  std::array<pollfd, 2> fds{};
  nfds_t count = 0;
  if (wakeFd_ >= 0) fds[count++] = {wakeFd_, POLLIN, 0};
  if (sock >= 0) {
    fds[count++] = {sock, static_cast<short>(POLLIN | (mosquitto_want_write(mosq_) ? POLLOUT : 0)),
                    0};
  }
  ::poll(fds.data(), count, timeoutMs);
  if (wakeFd_ >= 0 && (fds[0].revents & POLLIN) != 0) {
    std::uint64_t n = 0;
    [[maybe_unused]] const ssize_t r = ::read(wakeFd_, &n, sizeof n);
  }
  // The library's own loop does the reading, writing and keep-alive; it
  // need not wait any more.
  return mosquitto_loop(mosq_, 0, 1);
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
  // The library's own limit of messages in flight (20) would hold a backlog
  // to a trickle: the ledger's window is the limit, or the broker's if lower.
  mosquitto_int_option(mosq_, MOSQ_OPT_SEND_MAXIMUM,
                       static_cast<int>(TMqttDeliveryLedger::kWindow));
  // A state is a few hundred bytes sent while the previous one may still be
  // unacknowledged: Nagle's algorithm would hold it for the broker's delayed
  // acknowledgement, up to 40 ms.
  mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
  mosquitto_connect_callback_set(mosq_, &OnConnect);
  mosquitto_disconnect_callback_set(mosq_, &OnDisconnect);
  mosquitto_publish_v5_callback_set(mosq_, &OnPublish);
  mosquitto_message_v5_callback_set(mosq_, &OnMessage);
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
  ledger_.Lost();
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
  // A write the broker's close broke is the same drop as a read that found
  // it closed: which one comes first depends on what was being sent.
  const bool dropped = rc == MOSQ_ERR_CONN_LOST ||
                       (rc == MOSQ_ERR_ERRNO && (savedErrno == EPIPE || savedErrno == ECONNRESET));
  if (accepted_ && dropped && !episodeTold_) {
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

void TMqttPublisher::OnConnect(mosquitto* m, void* self, int rc) {
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
  p->ledger_.Connected();
  p->Publish(p->StatusTopic(), QByteArrayLiteral("online"), 1, true, &p->onlineMid_);
  // Operators are named only where commands can reach the program.
  const QStringList operators = p->mqtt5_ ? p->settings_.Operators : QStringList();
  p->Publish(p->root_ + QStringLiteral("/info"), InfoJson(p->settings_.Name, operators), 1, true,
             nullptr);
  // Commands need a response topic, which only MQTT 5 carries; our own
  // root only, so that nothing another computer is sent reaches this one.
  if (p->mqtt5_ && !p->settings_.Operators.isEmpty()) {
    mosquitto_subscribe_v5(m, nullptr, (p->root_ + QStringLiteral("/cmd/+/+")).toUtf8().constData(),
                           1, 0, nullptr);
  }
  p->answerMids_.clear();
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
  if (const auto it = std::find(p->answerMids_.begin(), p->answerMids_.end(), mid);
      it != p->answerMids_.end()) {
    p->answerMids_.erase(it);
    return;
  }
  if (reason >= 0x80) {
    // Refused: not delivered, and said once; the pause grows as for a loss.
    p->rejected_ = reason;
    p->rejectedTopic_ = p->ledger_.TopicOf(mid);
    if (p->rejectedTopic_.isEmpty()) p->rejectedTopic_ = p->StatusTopic();
    p->lost_ = true;
    return;
  }
  if (p->ledger_.Acknowledge(mid) || mid == p->onlineMid_) p->acked_ = true;
}

void TMqttPublisher::OnMessage(mosquitto* /*m*/, void* self, const mosquitto_message* message,
                               const mqtt5__property* properties) {
  auto* p = static_cast<TMqttPublisher*>(self);
  TMqttCommand c;
  c.ReceivedUtcMs = QDateTime::currentMSecsSinceEpoch();
  c.Topic = QString::fromUtf8(message->topic);
  c.Payload = QByteArray(static_cast<const char*>(message->payload), message->payloadlen);
  c.Retained = message->retain;
  char* responseTopic = nullptr;
  if (mosquitto_property_read_string(properties, MQTT_PROP_RESPONSE_TOPIC, &responseTopic, false) !=
      nullptr) {
    c.ResponseTopic = QString::fromUtf8(responseTopic);
    std::free(responseTopic);
  }
  void* correlation = nullptr;
  std::uint16_t length = 0;
  if (mosquitto_property_read_binary(properties, MQTT_PROP_CORRELATION_DATA, &correlation, &length,
                                     false) != nullptr) {
    c.Correlation = QByteArray(static_cast<const char*>(correlation), length);
    std::free(correlation);
  }
  const std::lock_guard lock(p->mutex_);
  if (p->commands_.size() < kMaxCommands) p->commands_.push_back(std::move(c));
}

void TMqttPublisher::SendAnswers() {
  std::vector<TAnswer> answers;
  {
    const std::lock_guard lock(mutex_);
    answers.swap(answers_);
  }
  for (const TAnswer& a : answers) {
    mosquitto_property* props = nullptr;
    if (!a.Correlation.isEmpty()) {
      mosquitto_property_add_binary(&props, MQTT_PROP_CORRELATION_DATA, a.Correlation.constData(),
                                    static_cast<std::uint16_t>(a.Correlation.size()));
    }
    int mid = 0;
    if (mosquitto_publish_v5(mosq_, &mid, a.Topic.toUtf8().constData(),
                             static_cast<int>(a.Payload.size()), a.Payload.constData(), 1, false,
                             props) == MOSQ_ERR_SUCCESS) {
      answerMids_.push_back(mid);
    }
    mosquitto_property_free_all(&props);
  }
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
    ledger_.AddAlarms(newAlarms_);
  }
  if (!ledger_.SendAlarms()) lost_ = true;
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

void TMqttPublisher::Finish() {
  if (mosq_ != nullptr && connected_) {
    const auto until = TClock::now() + kFinishTime;
    // What the files still hold, as far as the broker takes it in time.
    while (TClock::now() < until && !lost_) {
      SendAlarms();
      if (!lost_ && !ledger_.Pump()) lost_ = true;
      if (ledger_.AllAcknowledged()) break;
      if (mosquitto_loop(mosq_, 20, 1) != MOSQ_ERR_SUCCESS) break;
    }
    int mid = 0;
    if (!lost_ && Publish(StatusTopic(), QByteArrayLiteral("offline"), 1, true, &mid)) {
      ledger_.Expect(mid, StatusTopic());
      while (TClock::now() < until && !ledger_.AllAcknowledged() && !lost_) {
        if (mosquitto_loop(mosq_, 20, 1) != MOSQ_ERR_SUCCESS) break;
      }
      mosquitto_disconnect(mosq_);
      mosquitto_loop(mosq_, 20, 1);
    }
  }
  Destroy();
  ledger_.SaveOffsets(true);
}

}  // namespace vorta
