#include "telemetry/MqttDeliveryLedger.h"

#include <algorithm>

#include "platform/SafeFile.h"
#include "telemetry/MqttPayloads.h"

namespace vorta {

namespace {
constexpr qint64 kChunkBytes = qint64{32} * 1024;
constexpr auto kSaveEvery = std::chrono::seconds(2);
// A vessel's history is read from this much of its data log's end: a day of
// rows at the shortest period (1 min, about 150 bytes a row) twice over.
constexpr qint64 kHistoryBytes = qint64{512} * 1024;

const char* const kContext = "vorta::MqttPublisher";

TMqttText Tr(const char* source) {
  return TMqttText::Tr(kContext, source);
}
}  // namespace

TMqttDeliveryLedger::TMqttDeliveryLedger(QString root, std::vector<TPublishedFile> files,
                                         QString offsetsPath, IMqttLink& link)
    : root_(std::move(root)),
      files_(std::move(files)),
      offsetsPath_(std::move(offsetsPath)),
      link_(link) {}

void TMqttDeliveryLedger::Load() {
  const TKeptOffsets kept = LoadDeliveredOffsets(offsetsPath_);
  kept_ = kept.Offsets;
  if (!kept.Problem.IsEmpty()) {
    link_.Notify(Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher",
                                      "MQTT: файл %1 нельзя использовать (%2); строки протоколов "
                                      "и журнала, о которых он не говорит, публикуются с начала "
                                      "файлов, возможны повторы."))
                     .Arg(offsetsPath_, kept.Problem),
                 true);
    // A file in its place that cannot be read cannot be written either: once is enough.
    saveFailureTold_ = !NotARegularFile(offsetsPath_).isEmpty();
  }
  tails_.reserve(files_.size());
  waiting_.assign(files_.size(), 0);
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

void TMqttDeliveryLedger::Connected() {
  for (std::size_t i = 0; i < files_.size(); ++i) historyDue_[i] = !files_[i].Journal;
  historySent_.assign(files_.size(), {});
}

void TMqttDeliveryLedger::Lost() {
  pending_.clear();
  waiting_.assign(files_.size(), 0);
  backlog_ = false;
  for (TFileTail& tail : tails_) tail.Rewind();
  for (TMemoryAlarm& alarm : alarms_) alarm.Mid = 0;
}

void TMqttDeliveryLedger::AddAlarms(std::vector<TMemoryAlarm>& alarms) {
  for (TMemoryAlarm& alarm : alarms) alarms_.push_back(std::move(alarm));
  alarms.clear();
  while (alarms_.size() > kMaxMemoryAlarms) alarms_.pop_front();
}

bool TMqttDeliveryLedger::SendAlarms() {
  for (TMemoryAlarm& alarm : alarms_) {
    if (alarm.Mid != 0) continue;
    const QString topic = QStringLiteral("%1/%2/alarm").arg(root_).arg(alarm.Vessel);
    if (!link_.Publish(topic, alarm.Payload, 1, false, &alarm.Mid)) {
      alarm.Mid = 0;
      return false;
    }
    pending_.push_back({alarm.Mid, kAlarmMessage, 0, false, topic});
  }
  return true;
}

// Only those parts that changed go out (with a new row, the newest hour's),
// before the index that names them; so that catching up on an outage builds
// it once, not while a backlog is being sent.
bool TMqttDeliveryLedger::SendHistories() {
  if (backlog_) return true;
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (!historyDue_[i]) continue;
    historyDue_[i] = false;
    const std::optional<TLastLines> last = ReadLastLines(files_[i].Path, kHistoryBytes);
    if (!last) continue;
    const THistoryParts built =
        HistoryParts(files_[i].Vessel, last->Header, last->Lines, link_.Now());
    THistoryParts& sent = historySent_[i];
    const QString topic = QStringLiteral("%1/%2/history").arg(root_).arg(files_[i].Vessel);
    for (std::size_t slot = 0; slot < built.Parts.size(); ++slot) {
      const QByteArray& part = built.Parts[slot];
      // Null: not published on this connection. An empty part clears the
      // slot, whatever an earlier run left in it.
      if (!sent.Parts[slot].isNull() && sent.Parts[slot] == part) continue;
      if (!link_.Publish(topic + u'/' + QString::number(slot), part, 0, true, nullptr)) {
        return false;
      }
      sent.Parts[slot] = part.isNull() ? QByteArray("") : part;
    }
    if (sent.Index == built.Index) continue;
    if (!link_.Publish(topic, built.Index, 0, true, nullptr)) return false;
    sent.Index = built.Index;
  }
  return true;
}

bool TMqttDeliveryLedger::Pump() {
  backlog_ = false;
  for (std::size_t i = 0; i < tails_.size(); ++i) {
    // Full: the next look comes as soon as acknowledgements free it, not
    // at the next period.
    if (WindowFull()) {
      backlog_ = true;
      return true;
    }
    if (!PumpFile(i)) return false;
  }
  return true;
}

bool TMqttDeliveryLedger::PumpFile(std::size_t i) {
  TFileTail& tail = tails_[i];
  const TPublishedFile& file = files_[i];
  const std::vector<TTailedLine> lines = tail.ReadLines(kChunkBytes);
  for (const TTailNotice& notice : tail.TakeNotices()) {
    link_.Notify({notice.Text, notice.Shown}, notice.Operator);
  }
  if (!lines.empty()) {
    const QString minuteTopic = QStringLiteral("%1/%2/minute").arg(root_).arg(file.Vessel);
    const QString journalTopic = root_ + QStringLiteral("/journal");
    const double now = link_.Now();
    for (const TTailedLine& line : lines) {
      QByteArray payload;
      if (file.Journal) {
        std::int32_t vessel = 0;
        bool alarm = false;
        payload = JournalJson(tail.Header(), line.Line, &vessel, &alarm);
        if (payload.isEmpty()) continue;
        if (alarm && !link_.Publish(QStringLiteral("%1/%2/alarm").arg(root_).arg(vessel), payload,
                                    1, false, nullptr)) {
          return false;
        }
      } else {
        payload = MinuteJson(file.Vessel, tail.Header(), line.Line, now);
        historyDue_[i] = true;
      }
      const QString& topic = file.Journal ? journalTopic : minuteTopic;
      int mid = 0;
      if (!link_.Publish(topic, payload, 1, false, &mid)) return false;
      pending_.push_back({mid, i, line.End, false, topic});
      ++waiting_[i];
      backlog_ = true;
    }
  }
  // Nothing of this file waits for the broker: what was read (a header, an
  // empty line) counts as delivered.
  if (waiting_[i] == 0 && tail.Delivered() != tail.ReadPosition()) {
    tail.SetDelivered(tail.ReadPosition());
    offsetsDirty_ = true;
  }
  return true;
}

void TMqttDeliveryLedger::Expect(int mid, const QString& topic) {
  pending_.push_back({mid, kOwnMessage, 0, false, topic});
}

QString TMqttDeliveryLedger::TopicOf(int mid) const {
  for (const TPending& p : pending_) {
    if (p.Mid == mid) return p.Topic;
  }
  return {};
}

bool TMqttDeliveryLedger::Acknowledge(int mid) {
  bool known = false;
  for (TPending& p : pending_) {
    if (p.Mid != mid || p.Acked) continue;
    p.Acked = true;
    known = true;
    if (p.File == kAlarmMessage) {
      std::erase_if(alarms_, [mid](const TMemoryAlarm& a) { return a.Mid == mid; });
    }
    break;
  }
  // Delivered up to the oldest message still unacknowledged.
  while (!pending_.empty() && pending_.front().Acked) {
    const std::size_t file = pending_.front().File;
    if (file < tails_.size()) {
      TFileTail& tail = tails_[file];
      tail.SetDelivered(std::max(tail.Delivered(), pending_.front().End));
      --waiting_[file];
      offsetsDirty_ = true;
    }
    pending_.pop_front();
  }
  return known;
}

void TMqttDeliveryLedger::SaveOffsets(bool force) {
  const auto now = TClock::now();
  if (!offsetsDirty_ || (!force && now - lastSave_ < kSaveEvery)) return;
  lastSave_ = now;
  for (std::size_t i = 0; i < tails_.size(); ++i) kept_.insert(files_[i].Key, tails_[i].Kept());
  const TMqttText error = SaveDeliveredOffsets(offsetsPath_, kept_);
  if (error.IsEmpty()) {
    offsetsDirty_ = false;
    if (saveFailureTold_) {
      link_.Notify(
          Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher", "MQTT: файл %1 снова записывается."))
              .Arg(offsetsPath_),
          false);
    }
    saveFailureTold_ = false;
    return;
  }
  if (!saveFailureTold_) {
    link_.Notify(Tr(QT_TRANSLATE_NOOP("vorta::MqttPublisher",
                                      "MQTT: не удалось записать файл %1: %2. Пока это так, "
                                      "после перезапуска программы строки, записанные до него, "
                                      "могут быть опубликованы повторно или пропущены."))
                     .Arg(offsetsPath_, error),
                 true);
  }
  saveFailureTold_ = true;
}

}  // namespace vorta
