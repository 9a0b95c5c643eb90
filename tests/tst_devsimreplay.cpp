#include "xl/virtualcanaddress.h"
#include "xl/virtualcanlink.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

// korvel-devsim playing a log onto the virtual bus, heard by a peer that
// joined before it.
class TestDevSimReplay : public QObject
{
    Q_OBJECT

private slots:
    // The frames in their order, the malformed lines counted and named once
    // at the end; the program ends there without the device.
    void shouldPlayTheFramesAndNameTheSkippedLines()
    {
        QTemporaryDir dir;
        QFile log(dir.filePath(QStringLiteral("field.log")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("(1733580000.000000) can0 1BFF8300#2001000000000000 T\n"
                  "(1733580000.000100) can0 1BFF8301#garbage R\n"
                  "\n"
                  "not a frame at all\n"
                  "(1733580000.200000) can0 123# R\n"
                  "(1733580000.300000) can0 7FF#AABB\n"
                  "x\ny\nz\nw\n");
        log.close();

        const quint16 port = 43121;
        QString error;
        xl::VirtualCanLink peer(*xl::parseVirtualCanAddress(QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port), &error));
        QVERIFY2(peer.open(5000, &error), qPrintable(error));
        QProcess devsim;
        qputenv("KORVEL_VIRTUALCAN_PORT", QByteArray::number(port));
        devsim.start(QStringLiteral(KORVEL_DEVSIM), {"--replay", log.fileName(), "--speed", "10", "--no-device"});
        QVERIFY(devsim.waitForFinished(20000));
        QCOMPARE(devsim.exitCode(), 0);
        QCOMPARE(devsim.readAllStandardOutput().split('\n').value(1),
                 "replay of " + log.fileName().toLocal8Bit() + " done: 3 frames, 6 malformed lines skipped (lines 2, 4, 7, 8, 9, …)");

        std::vector<xl::wire::Frame> frames;
        QVERIFY(QTest::qWaitFor([&] { peer.take(frames, 100); return frames.size() >= 3; }, 10000));
        QStringList heard;
        for (const xl::wire::Frame &frame : frames)
            heard << QStringLiteral("%1 %2 %3").arg(frame.id, 0, 16).arg(frame.has(xl::wire::Frame::Extended))
                         .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(frame.data.data()), frame.length).toHex()));
        QCOMPARE(heard, QStringList({"1bff8300 1 2001000000000000", "123 0 ", "7ff 0 aabb"}));
    }
};

QTEST_GUILESS_MAIN(TestDevSimReplay)
#include "tst_devsimreplay.moc"
