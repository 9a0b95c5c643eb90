#include "monitor/pressurechart.h"

#include "monitor/pressurehistory.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsSimpleTextItem>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// 1, 2 or 5 times a power of ten, about four steps to the span.
qreal tickStep(int span)
{
    const qreal wanted = std::max(1, span) / 4.0;
    const qreal power = std::pow(10.0, std::floor(std::log10(wanted)));
    for (const qreal multiple : {1.0, 2.0, 5.0}) {
        if (wanted <= multiple * power)
            return multiple * power;
    }
    return 10 * power;
}

} // namespace

PressureChart::PressureChart(const PressureHistory &history, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , history(history)
{
    setWindowTitle(tr("Korvel - Druckverlauf"));
    resize(800, 450);
    chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    timeAxis = new QValueAxis(chart);
    timeAxis->setTitleText(tr("Zeit [s]"));
    timeAxis->setRange(-PressureHistory::span / 1000.0, 0);
    timeAxis->setTickCount(7);
    timeAxis->setLabelFormat(QStringLiteral("%d"));
    valueAxis = new QValueAxis(chart);
    valueAxis->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    const QString names[3] = {QStringLiteral("gusPressureCali_mN"), tr("Roh 1"), tr("Roh 2")};
    for (int i = 0; i < 3; ++i) {
        series[i] = new QLineSeries(chart);
        series[i]->setName(names[i]);
        chart->addSeries(series[i]);
        series[i]->attachAxis(timeAxis);
        series[i]->attachAxis(valueAxis);
    }
    view = new QChartView(chart, this);
    view->setRenderHint(QPainter::Antialiasing, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    connect(&refreshTimer, &QTimer::timeout, this, &PressureChart::refresh);
    refresh();
}

PressureChart::~PressureChart() = default;

void PressureChart::showEvent(QShowEvent *event)
{
    refresh();
    refreshTimer.start(refreshMs);
    QWidget::showEvent(event);
}

// A hidden chart costs the console nothing.
void PressureChart::hideEvent(QHideEvent *event)
{
    refreshTimer.stop();
    QWidget::hideEvent(event);
}

PressureChart::MarkerLine &PressureChart::markerLine(size_t index)
{
    while (markerLines.size() <= index) {
        MarkerLine marker{new QLineSeries(chart), new QGraphicsSimpleTextItem(chart)};
        marker.line->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
        chart->addSeries(marker.line);
        marker.line->attachAxis(timeAxis);
        marker.line->attachAxis(valueAxis);
        for (QLegendMarker *legend : chart->legend()->markers(marker.line))
            legend->setVisible(false);
        markerLines.push_back(marker);
    }
    return markerLines[index];
}

// The time axis ends now; the values' axis spans what is shown, with a
// little room above and below.
void PressureChart::refresh()
{
    const qint64 now = history.now();
    const QList<PressureHistory::Sample> samples = history.samples(now);
    QList<QPointF> points[3];
    for (auto &list : points)
        list.reserve(samples.size());
    for (const PressureHistory::Sample &sample : samples) {
        const qreal x = (sample.at - now) / 1000.0;
        for (int i = 0; i < 3; ++i)
            points[i].append(QPointF(x, sample.values[i]));
    }
    for (int i = 0; i < 3; ++i)
        series[i]->replace(points[i]);

    // Round ends and ticks; the values are never negative, nor is the axis.
    // The tick count is set only when it changes: each change lays the
    // whole chart out anew.
    const auto [low, high] = PressureHistory::bounds(samples);
    const qreal step = tickStep(high - low);
    const qreal bottom = std::max(0.0, std::floor(low / step) * step);
    const qreal top = std::ceil((high + 1) / step) * step;
    valueAxis->setRange(bottom, top);
    const int ticks = int(std::lround((top - bottom) / step)) + 1;
    if (valueAxis->tickCount() != ticks)
        valueAxis->setTickCount(ticks);

    const QList<PressureHistory::Marker> markers = history.markers(now);
    for (size_t i = 0; i < std::max(markerLines.size(), size_t(markers.size())); ++i) {
        MarkerLine &marker = markerLine(i);
        const bool shown = i < size_t(markers.size());
        marker.line->setVisible(shown);
        marker.label->setVisible(shown);
        if (!shown)
            continue;
        const qreal x = (markers[int(i)].at - now) / 1000.0;
        marker.line->replace({QPointF(x, bottom), QPointF(x, top)});
        marker.label->setText(markers[int(i)].label);
        // Every other label a line lower, so that two snapshots taken in
        // quick succession stay readable.
        const qreal lineHeight = marker.label->boundingRect().height();
        marker.label->setPos(chart->mapToPosition(QPointF(x, top), marker.line) + QPointF(3, (i % 2) * lineHeight));
    }
}
