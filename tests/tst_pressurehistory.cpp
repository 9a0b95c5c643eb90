#include "monitor/pressurechart.h"
#include "monitor/pressurehistory.h"

#include <QChartView>
#include <QGraphicsSimpleTextItem>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

// Entries of the history, the value axes {min, max, ticks} and the CSV's
// name and lines, as shouldShowAndSaveTheLastMinute() takes them.
struct Minute { QStringList entries; QList<qreal> mN, raw; QString name; QStringList lines; };
Q_DECLARE_METATYPE(Minute)

// The chart's data: the last minute of samples and snapshots, in bounded memory.
class TestPressureHistory : public QObject
{
    Q_OBJECT

private slots:
    // Replies far faster than the polls, or snapshots taken in a flurry,
    // push out the oldest instead of growing the history.
    void shouldKeepAtMostItsCapacity()
    {
        PressureHistory history;
        const int extra = 5;
        for (int at = 0; at < PressureHistory::capacity + extra; ++at) {
            history.append(at, quint16(at), 0, 0);
            history.mark(at, QString::number(at));
        }
        const qint64 now = PressureHistory::capacity + extra;
        const QList<PressureHistory::Sample> kept = history.samples(now);
        QCOMPARE(kept.size(), PressureHistory::capacity);
        QCOMPARE(kept.first().at, extra);
        QCOMPARE(kept.last().values[0], quint16(now - 1));
        const QList<PressureHistory::Marker> markers = history.markers(now);
        QCOMPARE(markers.size(), PressureHistory::markerCapacity);
        QCOMPARE(markers.first().label, QString::number(now - PressureHistory::markerCapacity));
    }

    // Entries "ms from now:calibrated/raw1/raw2" for a sample, "ms from
    // now:label" for a snapshot. What the chart shows and saves is the minute
    // up to now, both ends kept: each value axis as {min, max, ticks}, round
    // ends a tick beyond the values, not below 0; the CSV's lines, none where
    // the folder is missing.
    void shouldShowAndSaveTheLastMinute_data()
    {
        QTest::addColumn<Minute>("m");

        const QString header("Zeit [s],gusPressureCali_mN,Roh 1 [Digits/100],Roh 2 [Digits/100],Schnappschuss");
        QTest::newRow("raw 1000-1350, mN 0-40000")
            << Minute{{"-60001:1/2/3", "-60000:0/1000/1001", "-1000:unbelastet", "-1000:40000/1350/1349",
                       "-500:belastet, 5N", "0:jetzt", "1:4/5/6"}, {0, 50000, 6}, {900, 1400, 6}, "druck.csv",
                      {header, "-60.000,0,1000,1001,", "-1.000,,,,unbelastet", "-1.000,40000,1350,1349,",
                       "-0.500,,,,\"belastet, 5N\"", "0.000,,,,jetzt", ""}};
        // The older snapshot outlives its own pruning: the chart's window is what drops it.
        QTest::newRow("all equal, snapshots a minute old and older")
            << Minute{{"-60001:zu alt", "-60000:1000/1000/1000", "-60000:vor einer Minute", "0:1000/1000/1000"},
                      {999, 1001, 3}, {999, 1001, 3}, "druck.csv",
                      {header, "-60.000,,,,vor einer Minute", "-60.000,1000,1000,1000,", "0.000,1000,1000,1000,", ""}};
        QTest::newRow("empty, folder missing") << Minute{{}, {0, 1, 2}, {0, 1, 2}, "fehlt/druck.csv", {}};
    }

    void shouldShowAndSaveTheLastMinute()
    {
        QFETCH(Minute, m);

        const qint64 now = 120000;
        PressureHistory history;
        for (const QString &entry : m.entries) {
            const qint64 at = now + entry.section(':', 0, 0).toLongLong();
            const QStringList values = entry.section(':', 1).split('/');
            if (values.size() == 3)
                history.append(at, values[0].toUShort(), values[1].toUShort(), values[2].toUShort());
            else
                history.mark(at, entry.section(':', 1));
        }
        PressureChart chart(history);
        chart.refresh(now);
        QMap<QString, QValueAxis *> axisOf;  // by series
        for (QAbstractSeries *series : chart.findChild<QChartView *>()->chart()->series()) {
            for (QAbstractAxis *axis : series->attachedAxes()) {
                if (axis->orientation() == Qt::Vertical && !series->name().isEmpty())
                    axisOf[series->name()] = qobject_cast<QValueAxis *>(axis);
            }
        }
        const auto shown = [](const QValueAxis *axis) {
            return QList<QVariant>{int(axis->alignment()), axis->titleText(), axis->min(), axis->max(), axis->tickCount()};
        };
        QCOMPARE(shown(axisOf["gusPressureCali_mN"]), (QList<QVariant>{int(Qt::AlignLeft), "mN", m.mN[0], m.mN[1], int(m.mN[2])}));
        QCOMPARE(shown(axisOf["Roh 1"]), (QList<QVariant>{int(Qt::AlignRight), "Rohwert [Digits/100]", m.raw[0], m.raw[1], int(m.raw[2])}));
        QCOMPARE(axisOf["Roh 2"], axisOf["Roh 1"]);

        QSignalSpy saved(&chart, &PressureChart::saved);
        QTemporaryDir folder;
        QFile file(folder.filePath(m.name));
        QString error;
        QCOMPARE(chart.save(file.fileName(), &error), !m.lines.isEmpty());
        QCOMPARE(saved.size(), int(!m.lines.isEmpty()));
        QCOMPARE(error.isEmpty(), !m.lines.isEmpty());
        QCOMPARE(file.open(QIODevice::ReadOnly), !m.lines.isEmpty());
        if (!m.lines.isEmpty())
            QCOMPARE(QString::fromUtf8(file.readAll()).split('\n'), m.lines);
    }

    // Snapshots so many milliseconds before now: each label beside its line,
    // inside the plot, and none over another.
    void shouldKeepSnapshotLabelsApart_data()
    {
        QTest::addColumn<QList<qint64>>("before");

        QTest::newRow("same millisecond") << QList<qint64>{1000, 1000, 1000};
        QTest::newRow("within a second") << QList<qint64>{1000, 800, 600, 400, 200, 0};
        QTest::newRow("first at the left end") << QList<qint64>{60000, 59900};
    }

    void shouldKeepSnapshotLabelsApart()
    {
        QFETCH(QList<qint64>, before);

        const qint64 now = 120000;
        PressureHistory history;
        history.append(now - 30000, 40000, 1000, 1350);
        for (int i = 0; i < before.size(); ++i)
            history.mark(now - before[i], QStringLiteral("belastet mit %1N").arg(i));
        PressureChart chart(history);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        chart.refresh(now);
        QChart *plot = chart.findChild<QChartView *>()->chart();
        const QRectF area = plot->mapRectToScene(plot->plotArea());
        QList<QRectF> boxes;
        for (QGraphicsItem *item : plot->scene()->items()) {
            auto *label = qgraphicsitem_cast<QGraphicsSimpleTextItem *>(item);
            if (!label || !label->isVisible())
                continue;
            const QRectF box = label->sceneBoundingRect();
            const int i = label->text().section(' ', 2).chopped(1).toInt();
            const qreal line = plot->mapToScene(plot->mapToPosition(QPointF(-before[i] / 1000.0, 0), plot->series()[0])).x();
            QVERIFY2(std::min(std::abs(box.left() - line), std::abs(box.right() - line)) <= 4, qPrintable(label->text()));
            QVERIFY2(area.contains(box), qPrintable(label->text()));
            for (const QRectF &other : std::as_const(boxes))
                QVERIFY2(!other.intersects(box), qPrintable(label->text()));
            boxes << box;
        }
        QCOMPARE(boxes.size(), before.size());
    }
};

QTEST_MAIN(TestPressureHistory)
#include "tst_pressurehistory.moc"
