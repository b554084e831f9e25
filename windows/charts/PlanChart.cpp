#include "windows/charts/PlanChart.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "windows/charts/ChartStrip.h"

namespace vorta {

namespace {

// The value axis: every value and setpoint inside, with a little room, and
// never a zero span (a flat line would vanish into the frame).
std::pair<double, double> Span(const TPlanChartChannel& c) {
  double lo = INFINITY, hi = -INFINITY;
  for (const auto* points : {&c.Value, &c.Setpoint}) {
    for (const QPointF& p : *points) {
      lo = std::min(lo, p.y());
      hi = std::max(hi, p.y());
    }
  }
  if (!(lo <= hi)) return {0, 1};
  const double room = std::max((hi - lo) * 0.08, std::max(std::abs(hi) * 0.01, 0.05));
  return {lo - room, hi + room};
}

QLineSeries* Line(const std::vector<QPointF>& points, const QPen& pen, const QString& name) {
  auto* s = new QLineSeries;
  s->setName(name);
  s->setPen(pen);
  QList<QPointF> list;
  list.reserve(static_cast<qsizetype>(points.size()));
  for (const QPointF& p : points) list.append(p);
  s->replace(list);
  return s;
}

// Room for the value axis on the left and the legend on the right, pixels.
constexpr double kLeft = 78;
constexpr double kRight = 130;

}  // namespace

QImage DrawPlanChart(const TPlanChartData& data, int width, int stripHeight) {
  if (data.Channels.empty() || !(data.Hours > 0)) return {};
  const int titleHeight = 34;
  QImage image(width, titleHeight + stripHeight * static_cast<int>(data.Channels.size()),
               QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QFont titleFont = painter.font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
  titleFont.setBold(true);
  painter.setFont(titleFont);
  painter.drawText(QRect(0, 0, width, titleHeight), Qt::AlignCenter, data.Title);

  for (size_t i = 0; i < data.Channels.size(); ++i) {
    const TPlanChartChannel& c = data.Channels[i];
    QGraphicsScene scene;
    auto* chart = new QChart;
    scene.addItem(chart);
    chart->setGeometry(0, 0, width, stripHeight);
    chart->setMargins(QMargins(4, 2, 4, 2));
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignRight);
    auto* axisX = new QValueAxis;
    axisX->setRange(0, data.Hours);
    axisX->setLabelFormat(QStringLiteral("%.0f"));
    axisX->setTickCount(std::clamp(static_cast<int>(data.Hours / 12.0) + 1, 5, 13));
    if (i + 1 == data.Channels.size()) axisX->setTitleText(QStringLiteral("ч"));
    auto* axisY = new QValueAxis;
    const auto [lo, hi] = Span(c);
    axisY->setRange(lo, hi);
    axisY->applyNiceNumbers();
    axisY->setTitleText(c.Name);
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);

    const QColor color = ToQColor(c.Color);
    QPen valuePen(color, 1.6);
    QPen setPen(color.darker(160), 1.4, Qt::DashLine);
    QPen markPen(QColor(120, 120, 120), 1.0, Qt::DotLine);
    std::vector<QLineSeries*> series{Line(c.Value, valuePen, c.Name),
                                     Line(c.Setpoint, setPen, QStringLiteral("уставка"))};
    for (const TPlanChartMark& m : data.Steps) {
      auto* mark = Line({{m.Hours, axisY->min()}, {m.Hours, axisY->max()}}, markPen, QString());
      series.push_back(mark);
    }
    for (QLineSeries* s : series) {
      chart->addSeries(s);
      s->attachAxis(axisX);
      s->attachAxis(axisY);
    }
    // The step marks need no legend entries.
    const auto markers = chart->legend()->markers();
    for (qsizetype k = 2; k < markers.size(); ++k) markers[k]->setVisible(false);

    // The same plot area in every strip, so that a step's mark runs straight
    // down: laid out once, then the margins take up what the axis labels left.
    chart->layout()->activate();
    const QRectF first = chart->plotArea();
    chart->setMargins(QMargins(4 + static_cast<int>(kLeft - first.left()), 2,
                               4 + static_cast<int>(first.right() - (width - kRight)), 2));
    chart->layout()->activate();
    const QRectF target(0, titleHeight + stripHeight * static_cast<double>(i), width, stripHeight);
    scene.render(&painter, target, QRectF(0, 0, width, stripHeight));
    // Step numbers over the first strip's marks.
    if (i == 0) {
      QFont small = painter.font();
      small.setBold(false);
      small.setPointSizeF(titleFont.pointSizeF() * 0.6);
      painter.setFont(small);
      painter.setPen(QColor(80, 80, 80));
      const QRectF plot = chart->plotArea();
      // Steps that began together (instant ones) share one label: "3–5".
      for (size_t k = 0; k < data.Steps.size();) {
        size_t last = k;
        while (last + 1 < data.Steps.size() &&
               (data.Steps[last + 1].Hours - data.Steps[k].Hours) * plot.width() / data.Hours <
                   12) {
          ++last;
        }
        QString label = data.Steps[k].Label;
        if (last > k) label += QStringLiteral("–") + data.Steps[last].Label;
        const double x = plot.left() + plot.width() * data.Steps[k].Hours / data.Hours;
        painter.drawText(QPointF(x + 2, target.top() + plot.top() + 10), label);
        k = last + 1;
      }
      painter.setFont(titleFont);
    }
  }
  return image;
}

}  // namespace vorta
