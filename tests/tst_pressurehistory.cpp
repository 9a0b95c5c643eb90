#include "monitor/pressurechart.h"
#include "monitor/pressurehistory.h"

#include <QChartView>
#include <QGraphicsView>
#include <QGraphicsSimpleTextItem>
#include <QValueAxis>
#include <QtTest>

// The chart's data: the last minute of samples and snapshots, in bounded memory.
class TestPressureHistory : public QObject
{
    Q_OBJECT

    template <typename List>
    static QList<qint64> times(const List &list)
    {
        QList<qint64> at;
        for (const auto &item : list)
            at << item.at;
        return at;
    }

private slots:
    // Samples "at:calibrated/raw1/raw2", each marked too; what the chart
    // shows at `now`.
    void shouldShowTheLastMinute_data()
    {
        QTest::addColumn<QStringList>("samples");
        QTest::addColumn<qint64>("now");
        QTest::addColumn<QList<qint64>>("shown");
        QTest::addColumn<QList<int>>("bounds");

        QTest::newRow("none") << QStringList{} << qint64(0) << QList<qint64>{} << QList<int>{0, 1};
        QTest::newRow("exactly 60 s old kept")
            << QStringList{"0:100/200/300", "60000:50/400/250"} << qint64(60000) << QList<qint64>{0, 60000} << QList<int>{50, 400};
        QTest::newRow("older dropped")
            << QStringList{"0:100/200/300", "1:7/8/9", "30000:500/500/500"} << qint64(60001) << QList<qint64>{1, 30000} << QList<int>{7, 500};
        QTest::newRow("extremes") << QStringList{"5:0/65535/3"} << qint64(10) << QList<qint64>{5} << QList<int>{0, 65535};
    }

    void shouldShowTheLastMinute()
    {
        QFETCH(QStringList, samples);
        QFETCH(qint64, now);
        QFETCH(QList<qint64>, shown);
        QFETCH(QList<int>, bounds);

        PressureHistory history;
        for (const QString &sample : samples) {
            const QStringList values = sample.section(':', 1).split('/');
            const qint64 at = sample.section(':', 0, 0).toLongLong();
            history.append(at, values[0].toUShort(), values[1].toUShort(), values[2].toUShort());
            history.mark(at, QStringLiteral("unbelastet"));
        }
        const QList<PressureHistory::Sample> kept = history.samples(now);
        QCOMPARE(times(kept), shown);
        QCOMPARE(times(history.markers(now)), shown);
        const auto [low, high] = PressureHistory::bounds(kept);
        QCOMPARE((QList<int>{low, high}), bounds);
    }

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

    // The chart labels the line of each snapshot of the minute, the first too,
    // and scales its axis to the values.
    void shouldLabelEachSnapshotInTheChart()
    {
        PressureHistory history;
        history.append(history.now(), 1000, 1000, 1200);
        history.mark(history.now(), QStringLiteral("unbelastet"));
        PressureChart chart(history);
        chart.refresh();
        QStringList labels;
        for (QGraphicsItem *item : chart.findChild<QGraphicsView *>()->scene()->items()) {
            if (auto *text = qgraphicsitem_cast<QGraphicsSimpleTextItem *>(item); text && text->isVisible())
                labels << text->text();
        }
        QCOMPARE(labels, QStringList{"unbelastet"});
        // The axis on round numbers around the values: 1000 to 1250 by 50.
        const auto *axis = qobject_cast<QValueAxis *>(chart.findChild<QChartView *>()->chart()->axes(Qt::Vertical).value(0));
        QCOMPARE((QList<qreal>{axis->min(), axis->max(), qreal(axis->tickCount())}), (QList<qreal>{1000, 1250, 6}));
    }
};

QTEST_MAIN(TestPressureHistory)
#include "tst_pressurehistory.moc"
