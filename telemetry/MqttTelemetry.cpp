#include <QDir>

#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
#include "platform/TimerService.h"
#include "process/ProcessRecord.h"
#include "telemetry/MqttCommands.h"
#include "telemetry/MqttPayloads.h"
#include "telemetry/MqttTelemetry.h"

namespace vorta {

std::unique_ptr<TMqttTelemetry> TMqttTelemetry::Start(TVortaEnv& env) {
  const TProfileFile mainConfig(env.Program.ProgramFolder + QStringLiteral("Vorta.ini"));
  QStringList problems;
  std::optional<TMqttSettings> settings =
      ReadMqttSettings(mainConfig, env.Program.ProgramFolder, &problems);
  if (!problems.isEmpty()) env.Messages.ShowInfo(problems.join(u'\n'));
  if (!settings) return nullptr;
  return std::make_unique<TMqttTelemetry>(env, std::move(*settings));
}

TMqttTelemetry::TMqttTelemetry(TVortaEnv& env, TMqttSettings settings)
    : env_(env), root_(settings.TopicRoot), operators_(settings.Operators) {
  const QDir folder(env.Program.ProgramFolder);
  std::vector<TPublishedFile> files;
  if (env.Processes != nullptr) {
    for (const auto& p : *env.Processes) {
      files.push_back({p->ProtocolFileName, folder.relativeFilePath(p->ProtocolFileName),
                       p->Config.NumProcess, false});
    }
  }
  const QString journal =
      env.Journal != nullptr ? env.Journal->Path() : folder.filePath(kJournalFileName);
  // A first start publishes this run's own start and configuration records.
  files.push_back({journal, folder.relativeFilePath(journal), 0, true,
                   env.Journal != nullptr ? env.Journal->SizeAtOpen() : -1});
  publisher_ = std::make_shared<TMqttPublisher>(std::move(settings), std::move(files),
                                                folder.filePath(QLatin1String(kMqttOffsetsFile)));
  publisher_->SetNow(env.Time.Now());
  // An empty list replaces what an earlier run left retained.
  if (env.Alarms != nullptr) {
    publisher_->PublishAlarmList(AlarmListJson(env.Alarms->List()));
    alarmRevision_ = env.Alarms->Revision();
  }
  publisher_->Start();
  if (env.Alarms != nullptr) {
    env.Alarms->Subscribe([&env, weak = std::weak_ptr<TMqttPublisher>(publisher_)](
                              const TAlarm& alarm, TAlarmEvent event) {
      // Called right after the journal record: Failing() tells whether it failed.
      if (env.Journal != nullptr && !env.Journal->Failing()) return;
      if (const auto publisher = weak.lock()) {
        publisher->PublishUnjournalledAlarm(alarm.Vessel, UnjournalledAlarmJson(alarm, event));
      }
    });
  }
  timer_ = env.Time.CreateTimer(2000);
  timer_->OnTimer = [this] { Tick(); };
  timer_->SetEnabled(true);
  if (!operators_.isEmpty()) {
    commandTimer_ = env.Time.CreateTimer(200);
    commandTimer_->OnTimer = [this] { RunCommands(); };
    commandTimer_->SetEnabled(true);
  }
}

TMqttTelemetry::~TMqttTelemetry() {
  commandTimer_.reset();
  timer_.reset();
  publisher_.reset();
}

void TMqttTelemetry::Tick() {
  publisher_->SetNow(env_.Time.Now());
  if (env_.Alarms != nullptr && env_.Alarms->Revision() != alarmRevision_) {
    alarmRevision_ = env_.Alarms->Revision();
    publisher_->PublishAlarmList(AlarmListJson(env_.Alarms->List()));
  }
  if (publisher_->Connected() && env_.Processes != nullptr) {
    const std::int64_t now = env_.Time.UtcMs();
    for (const auto& p : *env_.Processes)
      publisher_->PublishState(p->Config.NumProcess,
                               StateJson(*p, now, PlanOf ? PlanOf(*p) : QJsonObject()));
  }
  for (const TMqttNotice& notice : publisher_->TakeNotices()) {
    if (notice.Operator) env_.Messages.ShowInfo(notice.Shown);
    if (env_.Journal != nullptr) {
      TJournalEntry e;
      e.Kind = TJournalKind::Program;
      e.Subject = QStringLiteral("MQTT");
      e.NewValue = notice.Text;
      e.Source = TJournalSource::Engine;
      env_.Journal->Record(e);
    }
  }
}

}  // namespace vorta

namespace vorta {

void TMqttTelemetry::RunCommands() {
  std::vector<TMqttCommand> commands = publisher_->TakeCommands();
  if (commands.empty()) return;
  QList<std::int32_t> vessels;
  if (env_.Processes != nullptr) {
    for (const auto& p : *env_.Processes) vessels << p->Config.NumProcess;
  }
  for (const TMqttCommand& c : commands) {
    const TMqttGateResult gate = CheckMqttCommand(c, root_, operators_, vessels);
    if (gate.Refusal != TMqttRefusal::None) {
      // Once per episode: a page that keeps sending must not fill the journal.
      if (refusedTold_.size() < 100 &&
          refusedTold_.insert({gate.User, static_cast<int>(gate.Refusal)}).second &&
          env_.Journal != nullptr) {
        TJournalEntry e;
        e.Vessel = gate.Vessel;
        e.Kind = TJournalKind::Program;
        e.Subject = QStringLiteral("MQTT");
        e.NewValue =
            QStringLiteral("Команда из браузера отклонена: %1 (%2)").arg(gate.Text, c.Topic);
        e.Source = TJournalSource::Web;
        env_.Journal->SetActor(TJournal::TActor{gate.User, TJournalSource::Web});
        env_.Journal->Record(e);
        env_.Journal->SetActor(std::nullopt);
      }
      // Only a response topic the checks let through gets an answer.
      if (gate.Answerable) {
        publisher_->Answer(c.ResponseTopic, c.Correlation,
                           MqttAnswerJson(TCommandResult::Refused(gate.Text)));
      }
      continue;
    }
    for (auto it = refusedTold_.begin(); it != refusedTold_.end();) {
      it = it->first == gate.User ? refusedTold_.erase(it) : std::next(it);
    }
    const TCommandResult result = RunMqttCommand(env_, Plans, env_.Program.ProgramFolder, gate);
    publisher_->Answer(c.ResponseTopic, c.Correlation, MqttAnswerJson(result));
  }
}

}  // namespace vorta
