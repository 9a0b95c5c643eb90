#include "sim/faultylink.h"

#include <QtTest>

#include <algorithm>

class TestFaultyLink : public QObject
{
    Q_OBJECT

private slots:
    void shouldDisturbAsSeeded_data()
    {
        QTest::addColumn<QList<double>>("faults");  // drop and duplicate rate, jitter and latency in ms, incoming drop rate
        QTest::addColumn<QList<int>>("counts");     // fewest and most of 200 frames sent, fewest and most heard
        QTest::addColumn<bool>("inOrder");
        QTest::newRow("sound") << QList<double>{0, 0, 0, 0, 0} << QList<int>{200, 200, 200, 200} << true;
        QTest::newRow("drop a quarter") << QList<double>{0.25, 0, 0, 0, 0} << QList<int>{130, 170, 200, 200} << true;
        QTest::newRow("duplicate half") << QList<double>{0, 0.5, 0, 0, 0} << QList<int>{260, 340, 200, 200} << true;
        QTest::newRow("dropped beats doubled") << QList<double>{1, 1, 0, 0, 0} << QList<int>{0, 0, 200, 200} << true;
        QTest::newRow("jitter 30 ms reorders") << QList<double>{0, 0, 30, 0, 0} << QList<int>{200, 200, 200, 200} << false;
        QTest::newRow("latency 50 ms") << QList<double>{0, 0, 0, 50, 0} << QList<int>{200, 200, 200, 200} << true;
        QTest::newRow("miss half from the bus") << QList<double>{0, 0, 0, 0, 0.5} << QList<int>{200, 200, 70, 130} << true;
    }

    // Twice with the same seed: the same faults, though the order may differ
    // where frames fall due together.
    void shouldDisturbAsSeeded()
    {
        QFETCH(QList<double>, faults);
        QFETCH(QList<int>, counts);
        QFETCH(bool, inOrder);

        QList<quint32> sent[2];
        int heard[2] = {};
        for (int run = 0; run < 2; ++run) {
            sim::FaultyLink link;
            link.setSeed(7);
            link.setDropRate(faults[0]);
            link.setDuplicateRate(faults[1]);
            link.setJitter(int(faults[2]));
            link.setLatency(int(faults[3]));
            link.setIncomingDropRate(faults[4]);
            QElapsedTimer clock;
            qint64 firstMs = -1, lastMs = -1;
            connect(&link, &sim::FaultyLink::sent, [&](const QCanBusFrame &frame) {
                sent[run] << frame.frameId();
                lastMs = clock.elapsed();
                firstMs = firstMs < 0 ? lastMs : firstMs;
            });
            connect(&link, &sim::FaultyLink::received, [&] { ++heard[run]; });
            clock.start();
            for (quint32 id = 0; id < 200; ++id) {
                link.send(QCanBusFrame(id, QByteArray(8, '\0')));
                link.receive(QCanBusFrame(id, QByteArray(8, '\0')));
            }
            QVERIFY(sent[run].isEmpty());  // never from inside send()
            QTest::qWait(int(faults[2] + faults[3]) + 500);
            if (!sent[run].isEmpty()) {
                QVERIFY(firstMs >= faults[3]);
                QVERIFY(lastMs <= faults[2] + faults[3] + 300);  // a generous margin for a busy machine
            }
        }
        QVERIFY2(sent[0].size() >= counts[0] && sent[0].size() <= counts[1], qPrintable(QString::number(sent[0].size())));
        QVERIFY2(heard[0] >= counts[2] && heard[0] <= counts[3], qPrintable(QString::number(heard[0])));
        QCOMPARE(std::is_sorted(sent[0].cbegin(), sent[0].cend()), inOrder);
        for (quint32 id = 0; id < 200; ++id)
            QVERIFY(sent[0].count(id) <= 2);
        std::sort(sent[0].begin(), sent[0].end());
        std::sort(sent[1].begin(), sent[1].end());
        QCOMPARE(sent[1], sent[0]);
        QCOMPARE(heard[1], heard[0]);
    }
};

QTEST_GUILESS_MAIN(TestFaultyLink)
#include "tst_faultylink.moc"
