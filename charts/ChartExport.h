#pragma once
// The chart's data as a tab-separated text file for a spreadsheet.

#include <QLocale>
#include <QString>
#include <array>

#include "charts/ChartModel.h"

namespace vorta {

// Header "Time\t" and each line's name followed by a tab; then one row per
// point round: the time of day, and per line a tab and the measured value
// (the plotted value divided by its scale) with two decimals in the locale's
// separator, or nothing where the line has no point in that round. No lines:
// an empty file.
// names: the channel names by channel [1..5].
QString ChartExportText(const TChartModel& model, const std::array<QString, 6>& names,
                        const QLocale& locale);

// Writes the text as a whole: on any failure the file is not replaced and
// error says why.
bool ExportData(const QString& fileName, const TChartModel& model,
                const std::array<QString, 6>& names, const QLocale& locale, QString* error);

}  // namespace vorta
