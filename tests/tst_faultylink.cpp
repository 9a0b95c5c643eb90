#include "sim/faultylink.h"

#include <QtTest>

#include <algorithm>

namespace {

constexpr quint32 frames = 200;  // each way

// What came through a link set up as a row says, with the frames' identifiers
// in the order they left and the milliseconds of the first and last.
struct Outcome
{
    QList<quint32> sent;
    int sentAtOnce = 0;  // inside send(), which must be none
    int heard = 0;
    qint64 firstMs = -1;
    qint64 lastMs = -1;
};

// Faults: drop and duplicate rate, jitter and latency in ms, incoming drop rate.
Outcome pass(const QList<double> &faults)
{
    sim::FaultyLink link;
    link.setSeed(7);
    link.setDropRate(faults[0]);
    link.setDuplicateRate(faults[1]);
    link.setJitter(int(faults[2]));
    link.setLatency(int(faults[3]));
    link.setIncomingDropRate(faults[4]);
    Outcome out;
    QElapsedTimer clock;
    QObject::connect(&link, &sim::FaultyLink::sent, [&](const QCanBusFrame &frame) {
        out.sent << frame.frameId();
        out.lastMs = clock.elapsed();
        if (out.firstMs < 0)
            out.firstMs = out.lastMs;
    });
    QObject::connect(&link, &sim::FaultyLink::received, [&] { ++out.heard; });
    clock.start();
    for (quint32 id = 0; id < frames; ++id) {
        link.send(QCanBusFrame(id, QByteArray(8, '\0')));
        link.receive(QCanBusFrame(id, QByteArray(8, '\0')));
    }
    out.sentAtOnce = int(out.sent.size());
    QTest::qWait(int(faults[2] + faults[3]) + 500);
    return out;
}

} // namespace

class TestFaultyLink : public QObject
{
    Q_OBJECT

private slots:
    void shouldDisturbAsSeeded_data()
    {
        QTest::addColumn<QList<double>>("faults");  // as pass() takes them
        QTest::addColumn<QList<int>>("counts");     // fewest and most frames sent, fewest and most heard
        QTest::addColumn<bool>("inOrder");
        QTest::newRow("sound") << QList<double>{0, 0, 0, 0, 0} << QList<int>{200, 200, 200, 200} << true;
        QTest::newRow("drop a quarter") << QList<double>{0.25, 0, 0, 0, 0} << QList<int>{130, 170, 200, 200} << true;
        QTest::newRow("drop all") << QList<double>{1, 0, 0, 0, 0} << QList<int>{0, 0, 200, 200} << true;
        QTest::newRow("duplicate half") << QList<double>{0, 0.5, 0, 0, 0} << QList<int>{260, 340, 200, 200} << true;
        QTest::newRow("duplicate all") << QList<double>{0, 1, 0, 0, 0} << QList<int>{400, 400, 200, 200} << true;
        QTest::newRow("dropped beats doubled") << QList<double>{1, 1, 0, 0, 0} << QList<int>{0, 0, 200, 200} << true;
        QTest::newRow("jitter 30 ms reorders") << QList<double>{0, 0, 30, 0, 0} << QList<int>{200, 200, 200, 200} << false;
        QTest::newRow("latency 50 ms") << QList<double>{0, 0, 0, 50, 0} << QList<int>{200, 200, 200, 200} << true;
        QTest::newRow("miss half from the bus") << QList<double>{0, 0, 0, 0, 0.5} << QList<int>{200, 200, 70, 130} << true;
        QTest::newRow("miss all from the bus") << QList<double>{0, 0, 0, 0, 1} << QList<int>{200, 200, 0, 0} << true;
    }

    void shouldDisturbAsSeeded()
    {
        QFETCH(QList<double>, faults);
        QFETCH(QList<int>, counts);
        QFETCH(bool, inOrder);

        const Outcome out = pass(faults);
        QCOMPARE(out.sentAtOnce, 0);
        QVERIFY2(out.sent.size() >= counts[0] && out.sent.size() <= counts[1], qPrintable(QString::number(out.sent.size())));
        QVERIFY2(out.heard >= counts[2] && out.heard <= counts[3], qPrintable(QString::number(out.heard)));
        QCOMPARE(std::is_sorted(out.sent.cbegin(), out.sent.cend()), inOrder);
        for (quint32 id = 0; id < frames; ++id)
            QVERIFY(out.sent.count(id) <= 2);
        if (!out.sent.isEmpty()) {
            QVERIFY(out.firstMs >= faults[3]);
            QVERIFY(out.lastMs <= faults[2] + faults[3] + 300);  // a generous margin for a busy machine
        }

        // The same seed, the same faults; the order may differ where frames fall due together.
        Outcome again = pass(faults);
        QList<quint32> first = out.sent;
        std::sort(first.begin(), first.end());
        std::sort(again.sent.begin(), again.sent.end());
        QCOMPARE(again.sent, first);
        QCOMPARE(again.heard, out.heard);
    }
};

QTEST_GUILESS_MAIN(TestFaultyLink)
#include "tst_faultylink.moc"
