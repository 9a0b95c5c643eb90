#include "monitor/pressurechart.h"
#include "monitor/pressurehistory.h"

#include <QChartView>
#include <QGraphicsSimpleTextItem>
#include <QTemporaryDir>
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

        QTest::newRow("none") << QStringList{} << qint64(0) << QList<qint64>{};
        QTest::newRow("exactly 60 s old kept")
            << QStringList{"0:100/200/300", "60000:50/400/250"} << qint64(60000) << QList<qint64>{0, 60000};
        QTest::newRow("older dropped")
            << QStringList{"0:100/200/300", "1:7/8/9", "30000:500/500/500"} << qint64(60001) << QList<qint64>{1, 30000};
        QTest::newRow("extremes") << QStringList{"5:0/65535/3"} << qint64(10) << QList<qint64>{5};
    }

    void shouldShowTheLastMinute()
    {
        QFETCH(QStringList, samples);
        QFETCH(qint64, now);
        QFETCH(QList<qint64>, shown);

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

    // Samples "calibrated/raw1/raw2" a millisecond apart; each value axis as
    // {min, max, ticks}: round ends a tick beyond the values, not below 0.
    void shouldFitEachValueAxisToItsValues_data()
    {
        QTest::addColumn<QStringList>("samples");
        QTest::addColumn<QList<qreal>>("mN");
        QTest::addColumn<QList<qreal>>("raw");

        QTest::newRow("raw 1000-1350, mN 0-40000")
            << QStringList{"0/1000/1350", "40000/1350/1000", "20000/1200/1200"} << QList<qreal>{0, 50000, 6} << QList<qreal>{900, 1400, 6};
        QTest::newRow("all equal") << QStringList{"1000/1000/1000", "1000/1000/1000"} << QList<qreal>{999, 1001, 3} << QList<qreal>{999, 1001, 3};
        QTest::newRow("empty") << QStringList{} << QList<qreal>{0, 1, 2} << QList<qreal>{0, 1, 2};
    }

    void shouldFitEachValueAxisToItsValues()
    {
        QFETCH(QStringList, samples);
        QFETCH(QList<qreal>, mN);
        QFETCH(QList<qreal>, raw);

        PressureHistory history;
        for (int i = 0; i < samples.size(); ++i) {
            const QStringList values = samples[i].split('/');
            history.append(i, values[0].toUShort(), values[1].toUShort(), values[2].toUShort());
        }
        PressureChart chart(history);
        chart.refresh(samples.size());
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
        QCOMPARE(shown(axisOf["gusPressureCali_mN"]), (QList<QVariant>{int(Qt::AlignLeft), "mN", mN[0], mN[1], int(mN[2])}));
        QCOMPARE(shown(axisOf["Roh 1"]), (QList<QVariant>{int(Qt::AlignRight), "Rohwert [Digits/100]", raw[0], raw[1], int(raw[2])}));
        QCOMPARE(axisOf["Roh 2"], axisOf["Roh 1"]);
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

    // What the chart last showed, as the file holds it; nothing where the
    // folder is missing.
    void shouldSaveTheShownMinute_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("minute") << "druck.csv"
                                << QStringList{"Zeit [s],gusPressureCali_mN,Roh 1 [Digits/100],Roh 2 [Digits/100],Schnappschuss",
                                               "-60.000,7,1000,1001,", "-1.000,,,,unbelastet", "-1.000,40000,1350,1349,",
                                               "-0.500,,,,\"belastet, 5N\"", "0.000,,,,jetzt", ""};
        QTest::newRow("folder missing") << "fehlt/druck.csv" << QStringList{};
    }

    void shouldSaveTheShownMinute()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, lines);

        const qint64 now = 120000;
        PressureHistory history;
        history.append(now - 60001, 1, 2, 3);
        history.append(now - 60000, 7, 1000, 1001);
        history.mark(now - 1000, QStringLiteral("unbelastet"));
        history.append(now - 1000, 40000, 1350, 1349);
        history.mark(now - 500, QStringLiteral("belastet, 5N"));
        history.mark(now, QStringLiteral("jetzt"));
        history.append(now + 1, 4, 5, 6);
        PressureChart chart(history);
        chart.refresh(now);
        QSignalSpy saved(&chart, &PressureChart::saved);
        QTemporaryDir folder;
        const QString path = folder.filePath(name);
        QString error;
        QCOMPARE(chart.save(path, &error), !lines.isEmpty());
        QCOMPARE(saved.size(), lines.isEmpty() ? 0 : 1);
        QFile file(path);
        if (lines.isEmpty()) {
            QVERIFY(!error.isEmpty());
            QVERIFY(!file.exists());
            return;
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()).split('\n'), lines);
    }
};

QTEST_MAIN(TestPressureHistory)
#include "tst_pressurehistory.moc"
