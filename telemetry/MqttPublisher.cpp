#include <mosquitto.h>

#include <QLoggingCategory>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "telemetry/MqttPayloads.h"
#include "telemetry/MqttPublisher.h"

Q_LOGGING_CATEGORY(lcMqtt, "vorta.mqtt")

namespace vorta {

namespace {
// Records waiting for the broker's acknowledgement: enough to keep the link
// busy after an outage, small enough to be nothing in memory.
constexpr std::size_t kMaxPending = 200;
constexpr qint64 kChunkBytes = qint64{32} * 1024;
// A connection that has not been accepted by then is given up and retried.
constexpr auto kConnectTimeout = std::chrono::seconds(10);
// The orderly end waits this long for the broker at most.
constexpr auto kFinishTime = std::chrono::milliseconds(1500);
constexpr auto kSaveEvery = std::chrono::seconds(2);
constexpr auto kPumpEvery = std::chrono::milliseconds(250);

std::once_flag gLibraryInit;

QString Reason(int rc, int savedErrno) {
  switch (rc) {
    case MOSQ_ERR_TLS:
      return QStringLiteral("ошибка TLS (сертификат брокера не подтверждён)");
    case MOSQ_ERR_ERRNO:
      switch (savedErrno) {
        case ECONNREFUSED:
          return QStringLiteral("в подключении отказано (брокер не запущен?)");
        case ETIMEDOUT:
          return QStringLiteral("брокер не отвечает");
        case EHOSTUNREACH:
        case ENETUNREACH:
          return QStringLiteral("хост недоступен");
        default:
          return QString::fromLocal8Bit(std::strerror(savedErrno));
      }
    case MOSQ_ERR_CONN_LOST:
      return QStringLiteral("соединение разорвано");
    case MOSQ_ERR_KEEPALIVE:
      return QStringLiteral("брокер не отвечает");
    case MOSQ_ERR_EAI:
      return QStringLiteral("имя хоста не найдено");
    default:
      return QString::fromUtf8(mosquitto_strerror(rc));
  }
}

QString Refusal(int code) {
  switch (code) {
    case 4:
      return QStringLiteral("неверное имя пользователя или пароль");
    case 5:
      // What brokers answer to a wrong password as well.
      return QStringLiteral("неверное имя пользователя или пароль, или нет прав на подключение");
    case 2:
      return QStringLiteral("идентификатор клиента отклонён");
    default:
      return QStringLiteral("код %1").arg(code);
  }
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

std::vector<TMqttNotice> TMqttPublisher::TakeNotices() {
  const std::lock_guard lock(mutex_);
  return std::exchange(notices_, {});
}

void TMqttPublisher::Notify(const QString& text, bool toOperator) {
  const std::lock_guard lock(mutex_);
  notices_.push_back({text, toOperator});
}

QString TMqttPublisher::Where() const {
  return QStringLiteral("%1:%2").arg(settings_.Host).arg(settings_.Port);
}

void TMqttPublisher::Run() {
  const QHash<QString, qint64> offsets = LoadDeliveredOffsets(offsetsPath_);
  tails_.reserve(files_.size());
  for (const TPublishedFile& f : files_) {
    TFileTail& tail = tails_.emplace_back(f.Path);
    // A file new to the publisher starts with what is written from now on.
    if (const auto it = offsets.find(f.Key); it != offsets.end()) {
      tail.SetDelivered(*it);
    } else {
      tail.StartAtEnd();
      offsetsDirty_ = true;
    }
  }
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
      SendStates();
      // The files are looked at a few times a second, and at once again
      // while a backlog is being sent.
      const auto now = TClock::now();
      if (backlog_ || now - lastPump_ >= kPumpEvery) {
        lastPump_ = now;
        PumpFiles();
      }
    }
    SaveOffsets(false);
  }
  Finish();
}

void TMqttPublisher::TryConnect() {
  lost_ = false;
  wasConnected_ = false;
  refusal_ = 0;
  attemptStarted_ = TClock::now();
  // A new client per attempt: nothing of an old connection is resent behind
  // our back; the files say what is still to be published.
  mosq_ = mosquitto_new(settings_.ClientId.toUtf8().constData(), true, this);
  if (mosq_ == nullptr) {
    Fail(MOSQ_ERR_NOMEM);
    return;
  }
  mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
  mosquitto_connect_callback_set(mosq_, &OnConnect);
  mosquitto_disconnect_callback_set(mosq_, &OnDisconnect);
  mosquitto_publish_callback_set(mosq_, &OnPublish);
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
  {
    const std::lock_guard lock(mutex_);
    states_.clear();
  }
  if (!episodeReported_) {
    episodeReported_ = true;
    QString text;
    if (refusal_ != 0) {
      text = QStringLiteral(
                 "Брокер MQTT %1 отказал в подключении: %2. Публикация данных "
                 "приостановлена, попытки подключения продолжаются.")
                 .arg(Where(), Refusal(refusal_));
    } else if (wasConnected_) {
      text = QStringLiteral(
                 "Связь с брокером MQTT %1 потеряна: %2. Данные будут отправлены "
                 "после восстановления связи.")
                 .arg(Where(), Reason(rc, savedErrno));
    } else {
      text = QStringLiteral(
                 "Нет связи с брокером MQTT %1: %2. Данные будут отправлены после "
                 "подключения.")
                 .arg(Where(), Reason(rc, savedErrno));
    }
    Notify(text, true);
  }
  nextAttempt_ = TClock::now() + std::chrono::milliseconds(retryMs_);
  retryMs_ = std::min(retryMs_ * 2, settings_.RetryMaxMs);
}

void TMqttPublisher::OnConnect(mosquitto* /*m*/, void* self, int rc) {
  auto* p = static_cast<TMqttPublisher*>(self);
  if (rc != 0) {
    p->refusal_ = rc;
    p->lost_ = true;
    return;
  }
  p->wasConnected_ = true;
  p->retryMs_ = p->settings_.RetryMinMs;
  if (p->episodeReported_) {
    p->episodeReported_ = false;
    p->Notify(QStringLiteral("Связь с брокером MQTT %1 восстановлена.").arg(p->Where()), false);
  }
  p->Publish(p->StatusTopic(), QByteArrayLiteral("online"), 1, true, nullptr);
  p->connected_ = true;
}

void TMqttPublisher::OnDisconnect(mosquitto* /*m*/, void* self, int /*rc*/) {
  auto* p = static_cast<TMqttPublisher*>(self);
  p->lost_ = true;
  p->connected_ = false;
}

void TMqttPublisher::OnPublish(mosquitto* /*m*/, void* self, int mid) {
  static_cast<TMqttPublisher*>(self)->Acknowledge(mid);
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

void TMqttPublisher::PumpFiles() {
  backlog_ = false;
  for (std::size_t i = 0; i < tails_.size() && !lost_; ++i) {
    if (pending_.size() >= kMaxPending) return;
    TFileTail& tail = tails_[i];
    const TPublishedFile& file = files_[i];
    for (const TTailedLine& line : tail.ReadLines(kChunkBytes)) {
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
        payload = MinuteJson(file.Vessel, tail.Header(), line.Line);
        topic = QStringLiteral("%1/%2/minute").arg(root_).arg(file.Vessel);
      }
      int mid = 0;
      if (!Publish(topic, payload, 1, false, &mid)) {
        lost_ = true;
        return;
      }
      pending_.push_back({mid, i, line.End, false});
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
    if (p.Mid == mid) {
      p.Acked = true;
      break;
    }
  }
  while (!pending_.empty() && pending_.front().Acked) {
    // The last "offline" belongs to no file.
    if (pending_.front().File < tails_.size()) {
      TFileTail& tail = tails_[pending_.front().File];
      tail.SetDelivered(std::max(tail.Delivered(), pending_.front().End));
    }
    pending_.pop_front();
    offsetsDirty_ = true;
  }
}

void TMqttPublisher::SaveOffsets(bool force) {
  const auto now = TClock::now();
  if (!offsetsDirty_ || (!force && now - lastSave_ < kSaveEvery)) return;
  QHash<QString, qint64> offsets = LoadDeliveredOffsets(offsetsPath_);
  for (std::size_t i = 0; i < tails_.size(); ++i)
    offsets.insert(files_[i].Key, tails_[i].Delivered());
  if (SaveDeliveredOffsets(offsetsPath_, offsets)) offsetsDirty_ = false;
  lastSave_ = now;
}

void TMqttPublisher::Finish() {
  if (mosq_ != nullptr && connected_) {
    const auto until = TClock::now() + kFinishTime;
    // What the files still hold, as far as the broker takes it in time.
    while (TClock::now() < until && !lost_) {
      PumpFiles();
      if (pending_.empty()) break;
      if (mosquitto_loop(mosq_, 20, 1) != MOSQ_ERR_SUCCESS) break;
    }
    int mid = 0;
    if (!lost_ && Publish(StatusTopic(), QByteArrayLiteral("offline"), 1, true, &mid)) {
      pending_.push_back({mid, tails_.size(), 0, false});
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
