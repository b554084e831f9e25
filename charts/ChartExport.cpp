#include "charts/ChartExport.h"

#include <QSaveFile>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace vorta {

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

QString Name(const std::array<QString, 6>& names, int channel) {
  return channel >= 1 && channel <= 5 ? names[static_cast<size_t>(channel)] : QString();
}

}  // namespace

QString ChartExportText(const TChartModel& model, const std::array<QString, 6>& names,
                        const QLocale& locale) {
  if (model.Lines.empty()) return {};
  QLocale numbers = locale;
  numbers.setNumberOptions(QLocale::OmitGroupSeparator);

  QString text = QStringLiteral("Time\t");
  for (const TChartLine& line : model.Lines) text += Name(names, line.Channel) + u'\t';
  text += kLineBreak;

  // One row per point round that any line took a point in, in round order; a
  // line without a point in that round (its value was not valid) leaves its
  // cell empty.
  std::vector<std::uint64_t> rounds;
  for (const TChartLine& line : model.Lines) {
    for (const TChartPoint& p : line.Points) rounds.push_back(p.Round);
  }
  std::sort(rounds.begin(), rounds.end());
  rounds.erase(std::unique(rounds.begin(), rounds.end()), rounds.end());
  std::vector<std::size_t> next(model.Lines.size(), 0);
  for (const std::uint64_t round : rounds) {
    QString cells;
    double time = 0;
    for (std::size_t j = 0; j < model.Lines.size(); ++j) {
      cells += u'\t';
      const auto& points = model.Lines[j].Points;
      std::size_t& k = next[j];
      while (k < points.size() && points[k].Round < round) ++k;
      if (k == points.size() || points[k].Round != round) continue;
      const TChartPoint& p = points[k];
      time = p.Time;
      cells += numbers.toString(p.Value / (p.Scale == 0 ? 1 : p.Scale), 'f', 2);
    }
    text += LongTimeText(time, locale) + cells + kLineBreak;
  }
  return text;
}

bool ExportData(const QString& fileName, const TChartModel& model,
                const std::array<QString, 6>& names, const QLocale& locale, QString* error) {
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) {
    if (error != nullptr) *error = file.errorString();
    return false;
  }
  const QByteArray bytes = ChartExportText(model, names, locale).toUtf8();
  if (file.write(bytes) != bytes.size() || !file.commit()) {
    if (error != nullptr) *error = file.errorString();
    file.cancelWriting();
    return false;
  }
  return true;
}

}  // namespace vorta
