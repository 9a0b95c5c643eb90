#include "monitor/pressurechart.h"
#include "monitor/pressurehistory.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

namespace {

// A full minute of polls, 20 a second, while the engineer presses the pad,
// with both snapshots taken; the newest sample is now.
void fill(PressureHistory &history, qint64 now)
{
    for (int i = 0; i < 1200; ++i) {
        const qint64 at = now - PressureHistory::span + 50 * i;
        const int load = int(2000 * (1 + std::sin(i / 100.0)));
        history.append(at, quint16(load), quint16(1000 + load / 2), quint16(1200 + load / 3));
    }
    history.mark(now - 40000, QStringLiteral("unbelastet"));
    history.mark(now - 10000, QStringLiteral("belastet mit 5N"));
}

// One of the chart's ten refreshes a second, painted: what it takes from the
// console's thread.
void chartRefresh(benchmark::State &state)
{
    PressureHistory history;
    PressureChart chart(history);
    chart.resize(800, 450);
    QImage image(chart.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        state.PauseTiming();
        history = PressureHistory();
        fill(history, history.now());
        state.ResumeTiming();
        chart.refresh();
        chart.render(&image);
    }
    benchmark::DoNotOptimize(image.constBits());
}

// The same minute drawn the plain way with a painter, three polylines, two
// marker lines with their labels and the frame of the axes: what a chart of
// our own would cost at least.
void plainPlot(benchmark::State &state)
{
    PressureHistory history;
    const qint64 now = history.now();
    fill(history, now);
    QImage image(800, 450, QImage::Format_RGB32);
    const QRectF plot(60, 20, 720, 370);
    for (auto _ : state) {
        const QList<PressureHistory::Sample> samples = history.samples(now);
        int low = 65535;
        int high = 1;
        for (const PressureHistory::Sample &sample : samples) {
            low = std::min<int>(low, *std::min_element(sample.values.begin(), sample.values.end()));
            high = std::max<int>(high, *std::max_element(sample.values.begin(), sample.values.end()));
        }
        const auto toPoint = [&](qint64 at, int value) {
            return QPointF(plot.right() + (at - now) * plot.width() / PressureHistory::span,
                           plot.bottom() - (value - low) * plot.height() / std::max(1, high - low));
        };
        QPainter painter(&image);
        painter.fillRect(image.rect(), Qt::white);
        painter.drawRect(plot);
        for (int i = 0; i < 3; ++i) {
            QPolygonF line;
            line.reserve(samples.size());
            for (const PressureHistory::Sample &sample : samples)
                line << toPoint(sample.at, sample.values[i]);
            painter.setPen(QColor::fromHsv(120 * i, 255, 200));
            painter.drawPolyline(line);
        }
        painter.setPen(Qt::DashLine);
        for (const PressureHistory::Marker &marker : history.markers(now)) {
            const qreal x = toPoint(marker.at, low).x();
            painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            painter.drawText(QPointF(x + 3, plot.top() + 12), marker.label);
        }
    }
    benchmark::DoNotOptimize(image.constBits());
}

} // namespace

BENCHMARK(chartRefresh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(plainPlot)->Unit(benchmark::kMillisecond)->UseRealTime();
