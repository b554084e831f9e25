#include "charts/ChartExport.h"

#include <QSaveFile>

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

  const auto& first = model.Lines.front().Points;
  for (size_t k = 1; k < first.size(); ++k) {
    text += LongTimeText(first[k].Time, locale);
    for (const TChartLine& line : model.Lines) {
      text += u'\t';
      // Every line gets its points together, so the indexes agree; a short
      // line leaves its cell empty rather than reading past its end.
      if (k >= line.Points.size()) continue;
      const TChartPoint& p = line.Points[k];
      text += numbers.toString(p.Value / (p.Scale == 0 ? 1 : p.Scale), 'f', 2);
    }
    text += kLineBreak;
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
