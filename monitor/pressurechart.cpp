#include "monitor/pressurechart.h"

#include "monitor/pressurehistory.h"

#include <QChart>
#include <QChartView>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QStandardPaths>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// 1, 2 or 5 times a power of ten, about four steps to the span; a whole
// digit at least, as the labels show whole numbers.
qreal tickStep(int span)
{
    const qreal wanted = std::max(4, span) / 4.0;
    const qreal power = std::pow(10.0, std::floor(std::log10(wanted)));
    for (const qreal multiple : {1.0, 2.0, 5.0}) {
        if (wanted <= multiple * power)
            return multiple * power;
    }
    return 10 * power;
}

// Round ends a tick beyond the values, so that none runs along the frame;
// not below 0, as the values never are. The tick count is set only when it
// changes: each change lays the whole chart out anew.
void fit(QValueAxis *axis, int low, int high)
{
    const qreal step = tickStep(high - low);
    const qreal bottom = std::max(0.0, (std::ceil(low / step) - 1) * step);
    const qreal top = (std::floor(high / step) + 1) * step;
    axis->setRange(bottom, top);
    const int ticks = int(std::lround((top - bottom) / step)) + 1;
    if (axis->tickCount() != ticks)
        axis->setTickCount(ticks);
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

} // namespace

PressureChart::PressureChart(const PressureHistory &history, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , history(history)
    , exportDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
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
    valueAxis->setTitleText(tr("mN"));
    valueAxis->setLabelFormat(QStringLiteral("%d"));
    rawAxis = new QValueAxis(chart);
    rawAxis->setTitleText(tr("Rohwert [Digits/100]"));
    rawAxis->setLabelFormat(QStringLiteral("%d"));
    // Its grid would cross the left one's at other heights.
    rawAxis->setGridLineVisible(false);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    chart->addAxis(rawAxis, Qt::AlignRight);
    // The two raw values are often equal: the second, thin, runs inside the
    // first, wide, and both stay in sight.
    const QString names[3] = {QStringLiteral("gusPressureCali_mN"), tr("Roh 1"), tr("Roh 2")};
    const QPen pens[3] = {QPen(QColor(31, 119, 180), 2), QPen(QColor(255, 160, 60), 4), QPen(QColor(150, 30, 30), 1.5)};
    for (int i = 0; i < 3; ++i) {
        series[i] = new QLineSeries(chart);
        series[i]->setName(names[i]);
        series[i]->setPen(pens[i]);
        chart->addSeries(series[i]);
        series[i]->attachAxis(timeAxis);
        series[i]->attachAxis(i == 0 ? valueAxis : rawAxis);
    }
    view = new QChartView(chart, this);
    view->setRenderHint(QPainter::Antialiasing, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    connect(&refreshTimer, &QTimer::timeout, this, [this] { refresh(); });
    // New ranges or a new size lay the chart out after the refresh.
    connect(chart, &QChart::plotAreaChanged, this, [this] { placeLabels(); });
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

void PressureChart::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(tr("Als CSV speichern…"), this, [this] { askAndSave(); });
    menu.exec(event->globalPos());
}

PressureChart::MarkerLine &PressureChart::markerLine(size_t index)
{
    while (markerLines.size() <= index) {
        // The label on a pale ground above the series, so that the lines of
        // the snapshots beside it do not run through its letters.
        auto *box = new QGraphicsRectItem(chart);
        box->setPen(Qt::NoPen);
        box->setBrush(QColor(255, 255, 255, 210));
        box->setZValue(100);
        MarkerLine marker{new QLineSeries(chart), box, new QGraphicsSimpleTextItem(box)};
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

void PressureChart::refresh()
{
    refresh(history.now());
}

// The time axis ends now; each value axis spans its own values.
void PressureChart::refresh(qint64 now)
{
    shownAt = now;
    const QList<PressureHistory::Sample> samples = history.samples(now);
    QList<QPointF> points[3];
    for (auto &list : points)
        list.reserve(samples.size());
    int low[2] = {65535, 65535}, high[2] = {0, 0};  // calibrated, raw; 0 to 0 when none
    for (const PressureHistory::Sample &sample : samples) {
        const qreal x = (sample.at - now) / 1000.0;
        for (int i = 0; i < 3; ++i) {
            points[i].append(QPointF(x, sample.values[i]));
            low[i > 0] = std::min(low[i > 0], int(sample.values[i]));
            high[i > 0] = std::max(high[i > 0], int(sample.values[i]));
        }
    }
    for (int i = 0; i < 3; ++i)
        series[i]->replace(points[i]);
    for (int i = 0; i < 2; ++i)
        fit(i == 0 ? valueAxis : rawAxis, std::min(low[i], high[i]), high[i]);

    // The marker lines run over the whole height of the left axis.
    const QList<PressureHistory::Marker> markers = history.markers(now);
    for (size_t i = 0; i < std::max(markerLines.size(), size_t(markers.size())); ++i) {
        MarkerLine &marker = markerLine(i);
        const bool shown = i < size_t(markers.size());
        marker.line->setVisible(shown);
        marker.box->setVisible(shown);
        if (!shown)
            continue;
        const qreal x = (markers[int(i)].at - now) / 1000.0;
        marker.line->replace({QPointF(x, valueAxis->min()), QPointF(x, valueAxis->max())});
        marker.label->setText(markers[int(i)].label);
        marker.box->setRect(marker.label->boundingRect());
    }
    markersShown = size_t(markers.size());
    placeLabels();
}

// Snapshots taken in quick succession stay readable: each label, right of
// its line or left where it would leave the plot, goes into the first row
// from the top where it meets none of the labels already there.
void PressureChart::placeLabels()
{
    const QRectF plot = chart->plotArea();
    std::vector<std::vector<QRectF>> rows;
    for (size_t i = 0; i < markersShown; ++i) {
        const MarkerLine &marker = markerLines[i];
        const qreal x = chart->mapToPosition(marker.line->at(0), marker.line).x();
        QRectF box(QPointF(x + 3, 0), marker.box->rect().size());
        if (box.right() > plot.right())
            box.moveRight(x - 3);
        const QRectF apart = box.adjusted(-3, 0, 3, 0);
        size_t row = 0;
        while (row < rows.size()
               && std::any_of(rows[row].begin(), rows[row].end(), [&](const QRectF &other) { return other.intersects(apart); }))
            ++row;
        if (row == rows.size())
            rows.emplace_back();
        rows[row].push_back(box);
        marker.box->setPos(box.left(), plot.top() + row * box.height());
    }
}

/*
 * One line a sample and one a snapshot, oldest first, the times in seconds
 * before the moment the chart last showed:
 *
 *   Zeit [s],gusPressureCali_mN,Roh 1 [Digits/100],Roh 2 [Digits/100],Schnappschuss
 *   -1.050,120,1003,1011,
 *   -1.000,,,,unbelastet
 *   -1.000,118,1002,1011,
 *
 * A snapshot's line comes before the samples of its millisecond, so that the
 * sample after it is the first taken at or after it.
 */
bool PressureChart::save(const QString &path, QString *error)
{
    const QList<PressureHistory::Sample> samples = history.samples(shownAt);
    const QList<PressureHistory::Marker> markers = history.markers(shownAt);
    const auto seconds = [this](qint64 at) { return QString::number((at - shownAt) / 1000.0, 'f', 3); };
    // The column names are the file's format, in every language.
    QString text = QStringLiteral("Zeit [s],gusPressureCali_mN,Roh 1 [Digits/100],Roh 2 [Digits/100],Schnappschuss\n");
    auto marker = markers.begin();
    const auto markersUntil = [&](qint64 at) {
        for (; marker != markers.end() && marker->at <= at; ++marker)
            text += seconds(marker->at) + QLatin1String(",,,,") + csvField(marker->label) + QLatin1Char('\n');
    };
    for (const PressureHistory::Sample &sample : samples) {
        markersUntil(sample.at);
        text += QStringLiteral("%1,%2,%3,%4,\n").arg(seconds(sample.at)).arg(sample.values[0]).arg(sample.values[1]).arg(sample.values[2]);
    }
    markersUntil(shownAt);
    const QByteArray bytes = text.toUtf8();

    // Unbuffered, as the commit takes a failed write of Qt's buffer for a
    // success; written until all is taken, as a write the system cuts short
    // says only how much it took, and the next one why.
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    qint64 done = 0;
    while (written && done < bytes.size()) {
        const qint64 taken = file.write(bytes.constData() + done, bytes.size() - done);
        written = taken > 0;
        done += taken;
    }
    if (written && file.commit()) {
        emit saved(path);
        return true;
    }
    *error = file.errorString();
    return false;
}

// A name without a suffix is given the CSV one by the dialog, which then
// asks before replacing that file; the next file is proposed where this one went.
void PressureChart::askAndSave()
{
    const QString proposed = QDir(exportDir).filePath(
        QDateTime::currentDateTime().toString(QStringLiteral("'korvel-druck-'yyyyMMdd-HHmmss'.csv'")));
    QFileDialog dialog(this, tr("Druckverlauf speichern"), proposed, tr("CSV-Datei (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    QString error;
    if (save(path, &error))
        exportDir = QFileInfo(path).absolutePath();
    else
        QMessageBox::warning(this, tr("Druckverlauf speichern"),
                             tr("Konnte %1 nicht schreiben: %2").arg(QDir::toNativeSeparators(path), error));
}
