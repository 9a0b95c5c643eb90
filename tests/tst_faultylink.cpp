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

Outcome pass(double drop, double duplicate, int jitter, int latency, double incomingDrop)
{
    sim::FaultyLink link;
    link.setSeed(7);
    link.setDropRate(drop);
    link.setDuplicateRate(duplicate);
    link.setJitter(jitter);
    link.setLatency(latency);
    link.setIncomingDropRate(incomingDrop);
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
    QTest::qWait(latency + jitter + 500);
    return out;
}

} // namespace

class TestFaultyLink : public QObject
{
    Q_OBJECT

private slots:
    void shouldDisturbAsSeeded_data()
    {
        QTest::addColumn<double>("drop");
        QTest::addColumn<double>("duplicate");
        QTest::addColumn<int>("jitter");
        QTest::addColumn<int>("latency");
        QTest::addColumn<double>("incomingDrop");
        QTest::addColumn<int>("fewestSent");
        QTest::addColumn<int>("mostSent");
        QTest::addColumn<int>("fewestHeard");
        QTest::addColumn<int>("mostHeard");
        QTest::addColumn<bool>("inOrder");

        QTest::newRow("sound") << 0.0 << 0.0 << 0 << 0 << 0.0 << 200 << 200 << 200 << 200 << true;
        QTest::newRow("drop a quarter") << 0.25 << 0.0 << 0 << 0 << 0.0 << 130 << 170 << 200 << 200 << true;
        QTest::newRow("drop all") << 1.0 << 0.0 << 0 << 0 << 0.0 << 0 << 0 << 200 << 200 << true;
        QTest::newRow("duplicate half") << 0.0 << 0.5 << 0 << 0 << 0.0 << 260 << 340 << 200 << 200 << true;
        QTest::newRow("duplicate all") << 0.0 << 1.0 << 0 << 0 << 0.0 << 400 << 400 << 200 << 200 << true;
        QTest::newRow("dropped beats doubled") << 1.0 << 1.0 << 0 << 0 << 0.0 << 0 << 0 << 200 << 200 << true;
        QTest::newRow("jitter 30 ms reorders") << 0.0 << 0.0 << 30 << 0 << 0.0 << 200 << 200 << 200 << 200 << false;
        QTest::newRow("latency 50 ms") << 0.0 << 0.0 << 0 << 50 << 0.0 << 200 << 200 << 200 << 200 << true;
        QTest::newRow("miss half from the bus") << 0.0 << 0.0 << 0 << 0 << 0.5 << 200 << 200 << 70 << 130 << true;
        QTest::newRow("miss all from the bus") << 0.0 << 0.0 << 0 << 0 << 1.0 << 200 << 200 << 0 << 0 << true;
    }

    void shouldDisturbAsSeeded()
    {
        QFETCH(double, drop);
        QFETCH(double, duplicate);
        QFETCH(int, jitter);
        QFETCH(int, latency);
        QFETCH(double, incomingDrop);
        QFETCH(int, fewestSent);
        QFETCH(int, mostSent);
        QFETCH(int, fewestHeard);
        QFETCH(int, mostHeard);
        QFETCH(bool, inOrder);

        const Outcome out = pass(drop, duplicate, jitter, latency, incomingDrop);
        QCOMPARE(out.sentAtOnce, 0);
        QVERIFY2(out.sent.size() >= fewestSent && out.sent.size() <= mostSent, qPrintable(QString::number(out.sent.size())));
        QVERIFY2(out.heard >= fewestHeard && out.heard <= mostHeard, qPrintable(QString::number(out.heard)));
        QCOMPARE(std::is_sorted(out.sent.cbegin(), out.sent.cend()), inOrder);
        for (quint32 id = 0; id < frames; ++id)
            QVERIFY(out.sent.count(id) <= 2);
        if (!out.sent.isEmpty()) {
            QVERIFY(out.firstMs >= latency);
            QVERIFY(out.lastMs <= latency + jitter + 300);  // a generous margin for a busy machine
        }

        // The same seed, the same faults; the order may differ where frames fall due together.
        Outcome again = pass(drop, duplicate, jitter, latency, incomingDrop);
        QList<quint32> first = out.sent;
        std::sort(first.begin(), first.end());
        std::sort(again.sent.begin(), again.sent.end());
        QCOMPARE(again.sent, first);
        QCOMPARE(again.heard, out.heard);
    }
};

QTEST_GUILESS_MAIN(TestFaultyLink)
#include "tst_faultylink.moc"
