#include "app/PlanReport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <cmath>
#include <limits>

#include "journal/Journal.h"
#include "plans/PlanModel.h"
#include "platform/FolderFiles.h"
#include "process/ProcessRecord.h"
#include "sim/VirtualPlant.h"
#include "windows/charts/PlanChart.h"

namespace vorta {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The chart window's default line colours (red in the low byte).
constexpr std::array<std::int32_t, 5> kColors{0, 0x0000C0, 0x008000, 0xC00000, 0x800080};

struct TOutputName {
  sim::TActuator Actuator;
  const char* Name;
  bool Pump;  // it doses a volume
};
const TOutputName kOutputs[] = {
    {sim::TActuator::Base, "щёлочь", true},           {sim::TActuator::Acid, "кислота", true},
    {sim::TActuator::Feed1, "подпитка (Epp)", true},  {sim::TActuator::Feed2, "среда (Med)", true},
    {sim::TActuator::Antifoam, "пеногаситель", true}, {sim::TActuator::Heater, "нагрев", false},
    {sim::TActuator::Cooler, "охлаждение", false},    {sim::TActuator::Light, "свет", false},
};

QString Number(double v, int decimals) {
  return QString::number(v, 'f', decimals);
}

}  // namespace

QString ReportClock(double hours) {
  const auto minutes = static_cast<std::int64_t>(std::llround(std::max(0.0, hours) * 60.0));
  const std::int64_t days = minutes / (24 * 60);
  const QString hm = QStringLiteral("%1:%2")
                         .arg((minutes / 60) % 24, 2, 10, QLatin1Char('0'))
                         .arg(minutes % 60, 2, 10, QLatin1Char('0'));
  return days > 0 ? QStringLiteral("%1 д %2").arg(days).arg(hm) : hm;
}

TPlanReport::TPlanReport(std::function<double()> hoursNow) : hoursNow_(std::move(hoursNow)) {}

void TPlanReport::Watch(TVortaProcess& p, sim::TSimVessel* plant, QString planName,
                        TStatusProbe status) {
  TVesselRun run;
  run.Process = &p;
  run.Plant = plant;
  run.PlanName = std::move(planName);
  run.Status = std::move(status);
  if (plant != nullptr) {
    run.OnAtStart = plant->Model.State().OnSeconds;
    run.DosedAtStart = plant->Model.State().Dosed;
  }
  runs_.push_back(std::move(run));
  Follow(runs_.back(), hoursNow_());
}

void TPlanReport::NamePlan(const TVortaProcess& p, const QString& name) {
  for (TVesselRun& run : runs_) {
    if (run.Process == &p) run.PlanName = name;
  }
}

TPlanReport::~TPlanReport() {
  if (journal_ != nullptr) journal_->OnAppended = std::move(journalHook_);
}

void TPlanReport::Attach(TJournal& journal) {
  journal_ = &journal;
  journalHook_ = journal.OnAppended;
  journal.OnAppended = [this](const TJournalEntry& e, const QString& line) {
    if (journalHook_) journalHook_(e, line);
    Journaled(e);
  };
}

// A step change or an end since the last look closes the step's span.
void TPlanReport::Follow(TVesselRun& run, double hours) {
  const std::optional<TPlanStatus> now = run.Status ? run.Status() : std::nullopt;
  const bool wasOpen = !run.Steps.empty() && run.Steps.back().Ended < 0;
  const bool active =
      now && (now->State == TPlanRunState::Running || now->State == TPlanRunState::Paused ||
              now->State == TPlanRunState::Held);
  const bool moved = !run.Last || !now || run.Last->StepNumber != now->StepNumber ||
                     run.Last->Iteration != now->Iteration;
  if (wasOpen && (!active || moved)) run.Steps.back().Ended = hours;
  if (active && (moved || !wasOpen)) {
    TStepSpan span;
    span.Number = now->StepNumber;
    span.Iteration = now->Iteration;
    span.Times = now->Times;
    span.Text = QStringLiteral("%1 из %2").arg(now->StepNumber).arg(now->StepCount);
    if (!now->StepName.isEmpty()) span.Text += QStringLiteral(" «%1»").arg(now->StepName);
    span.Text += QStringLiteral(" — ") + now->StepText;
    span.Began = hours;
    run.Steps.push_back(span);
  }
  run.Last = now;
}

void TPlanReport::Journaled(const TJournalEntry& e) {
  if (e.Subject != u"План") return;
  for (TVesselRun& run : runs_) {
    if (run.Process->Config.NumProcess != e.Vessel) continue;
    const double hours = hoursNow_();
    Follow(run, hours);
    // A step's first line, which describes it, is its row in the table already.
    const bool stepLine = run.Last && !run.Last->StepText.isEmpty() &&
                          e.NewValue.endsWith(QStringLiteral(": ") + run.Last->StepText);
    if (!stepLine) run.Events.push_back({hours, e.NewValue});
  }
}

void TPlanReport::Sample() {
  const double hours = hoursNow_();
  for (TVesselRun& run : runs_) {
    run.Hours.push_back(hours);
    for (int c = 1; c <= 4; ++c) {
      const TChannel& ch = run.Process->Channel[static_cast<size_t>(c)];
      run.Value[static_cast<size_t>(c)].push_back(ch.ReadingInvalid ? kNaN : ch.Value);
      run.Setpoint[static_cast<size_t>(c)].push_back(ch.Config.Setpoint);
    }
    Follow(run, hours);
  }
}

QString TPlanReport::SummaryText(const TVesselRun& run) const {
  const double end = hoursNow_();
  QString t = QStringLiteral("Пробный прогон плана «%1» на виртуальной установке: %2, %3 ч\n")
                  .arg(run.PlanName, run.Process->Caption(), Number(end, 1));
  t +=
      QStringLiteral("\nШаги (время от начала прогона):\n  начало     конец      длится     шаг\n");
  for (const TStepSpan& s : run.Steps) {
    const double stop = s.Ended < 0 ? end : s.Ended;
    QString step = s.Text;
    if (s.Times > 0) step += QStringLiteral(" (повтор %1 из %2)").arg(s.Iteration).arg(s.Times);
    if (s.Iteration > 0 && s.Times == 0) step += QStringLiteral(" (повтор %1)").arg(s.Iteration);
    t += QStringLiteral("  %1 %2 %3 %4\n")
             .arg(ReportClock(s.Began), -10)
             .arg(s.Ended < 0 ? QStringLiteral("идёт") : ReportClock(s.Ended), -10)
             .arg(ReportClock(stop - s.Began), -10)
             .arg(step);
  }
  if (run.Last) {
    t += QStringLiteral("  состояние плана в конце: %1\n").arg(PlanRunStateName(run.Last->State));
  } else {
    t += QStringLiteral("  план не выполнялся\n");
  }
  t += QStringLiteral("\nСобытия плана:\n");
  for (const TEvent& e : run.Events) {
    t += QStringLiteral("  %1 %2\n").arg(ReportClock(e.Hours), -10).arg(e.Text);
  }
  if (run.Plant != nullptr) {
    const sim::TVesselState& s = run.Plant->Model.State();
    t += QStringLiteral("\nВыходы:\n");
    for (const TOutputName& o : kOutputs) {
      const auto i = static_cast<size_t>(o.Actuator);
      const double on = s.OnSeconds[i] - run.OnAtStart[i];
      if (run.Plant->Config.Outputs[i] == 0 && on <= 0) continue;
      t += QStringLiteral("  %1 (выход %2): работал %3")
               .arg(QString::fromUtf8(o.Name))
               .arg(run.Plant->Config.Outputs[i])
               .arg(PlanDurationText(static_cast<std::int64_t>(on * 1000.0)));
      if (o.Pump) {
        t += QStringLiteral(", подал %1 мл").arg(Number(s.Dosed[i] - run.DosedAtStart[i], 1));
      }
      t += u'\n';
    }
    t += QStringLiteral(
             "\nВ конце: биомасса %1 г/л, субстрат %2 г/л, объём %3 л, pO2 %4 %, pH %5, t %6 °C\n")
             .arg(Number(s.X, 2), Number(s.S, 3), Number(s.V, 2),
                  Number(run.Plant->Model.DoPercent(), 1), Number(s.PH, 2), Number(s.T, 2));
  }
  return t;
}

bool TPlanReport::Write(const QString& folder, QString* error) const {
  for (const TVesselRun& run : runs_) {
    const QString base =
        QDir(folder).filePath(QStringLiteral("PlanReport%1").arg(run.Process->Config.NumProcess));
    // Beside the data logs and as they are: never through a link in the
    // report's place.
    const TFolderFd* dir = run.Process->Env.Program.Folder.get();
    const QString textName = base + QStringLiteral(".txt");
    QString why;
    if (!SaveWhole(textName, dir, SummaryText(run).toUtf8(), &why)) {
      *error = QStringLiteral("%1: %2").arg(textName, why);
      return false;
    }
    TPlanChartData chart;
    chart.Title = QStringLiteral("%1 — план «%2»").arg(run.Process->Caption(), run.PlanName);
    chart.Hours = run.Hours.empty() ? 0 : run.Hours.back();
    for (int c = 1; c <= 4; ++c) {
      TPlanChartChannel line;
      line.Name = PlanChannelName(c);
      line.Color = kColors[static_cast<size_t>(c)];
      for (size_t k = 0; k < run.Hours.size(); ++k) {
        const double v = run.Value[static_cast<size_t>(c)][k];
        if (!std::isnan(v)) line.Value.emplace_back(run.Hours[k], v);
        line.Setpoint.emplace_back(run.Hours[k], run.Setpoint[static_cast<size_t>(c)][k]);
      }
      chart.Channels.push_back(std::move(line));
    }
    for (const TStepSpan& s : run.Steps) {
      chart.Steps.push_back({s.Began, QString::number(s.Number)});
    }
    const QImage image = DrawPlanChart(chart);
    const QString pngName = base + QStringLiteral(".png");
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
      *error = QStringLiteral("%1: %2").arg(
          pngName, image.isNull() ? QStringLiteral("нечего рисовать") : buffer.errorString());
      return false;
    }
    if (!SaveWhole(pngName, dir, png, &why)) {
      *error = QStringLiteral("%1: %2").arg(pngName, why);
      return false;
    }
  }
  return true;
}

}  // namespace vorta
