#include "canlog/candumplog.h"

#include <QtTest>

using canlog::Record;

Q_DECLARE_METATYPE(Record)

namespace {

Record frame(qint64 micros, quint32 id, bool extended, const QByteArray &data, bool tx, int dlc = -1)
{
    Record r{micros, {id, quint8(extended ? bus::Frame::Extended : 0), quint8(dlc < 0 ? data.size() : dlc), {}}, tx};
    std::memcpy(r.frame.data.data(), data.constData(), size_t(std::min<qsizetype>(data.size(), 8)));
    return r;
}

} // namespace

// The log lines of frames, and the frames read back from them.
class TestCandumpLog : public QObject
{
    Q_OBJECT

private slots:
    void shouldWriteAndReadBackEachFrame_data()
    {
        QTest::addColumn<Record>("frame");
        QTest::addColumn<QByteArray>("line");

        const QByteArray eight = QByteArray::fromHex("2001000000000000");
        QTest::newRow("29-bit, DLC 8, received")
            << frame(1733580000123456, 0x1BFF8300, true, eight, false) << QByteArray("(1733580000.123456) can0 1BFF8300#2001000000000000 R");
        QTest::newRow("11-bit, DLC 0")
            << frame(5, 0x7FF, false, {}, false) << QByteArray("(0000000000.000005) can0 7FF# R");
        QTest::newRow("11-bit low id, lower bytes")
            << frame(999999, 0x001, false, QByteArray::fromHex("0aff"), true) << QByteArray("(0000000000.999999) can0 001#0AFF T");
        QTest::newRow("DLC 15 beyond its 8 bytes")
            << frame(1000000, 0x100, false, eight, false, 15) << QByteArray("(0000000001.000000) can0 100#2001000000000000_F R");
    }

    void shouldWriteAndReadBackEachFrame()
    {
        QFETCH(Record, frame);
        QFETCH(QByteArray, line);

        const auto written = [](const Record &f) {
            char buffer[canlog::maxLineLength(4)];
            return QByteArray(buffer, int(canlog::writeLine(buffer, f, "can0") - buffer));
        };
        QCOMPARE(written(frame), line + '\n');
        // Read back, the frame gives the same line and flags: every field survived.
        const std::optional<Record> read = canlog::parseLine(std::string_view(line.constData(), size_t(line.size())));
        QVERIFY(read);
        QCOMPARE(written(*read), line + '\n');
        QCOMPARE(read->frame.flags, frame.frame.flags);
    }

    // What other programs write is read too; what no classic data frame is, is not.
    void shouldReadOnlyClassicDataFrames_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("frame");

        QTest::newRow("no direction, as candump -l") << QByteArray("(1.000000) vcan0 123#11") << true;
        QTest::newRow("lower-case hex, tab") << QByteArray("(1.000000)\tvcan0 1bff8300#aabb") << true;
        QTest::newRow("no stamp") << QByteArray("vcan0 123#11 R") << false;
        QTest::newRow("stamp without micros") << QByteArray("(1) vcan0 123#11") << false;
        QTest::newRow("stamp with 3 decimals") << QByteArray("(1.000) vcan0 123#11") << false;
        QTest::newRow("no interface") << QByteArray("(1.000000) 123#11") << false;
        QTest::newRow("4-digit id") << QByteArray("(1.000000) can0 0123#11") << false;
        QTest::newRow("11-bit id above 7FF") << QByteArray("(1.000000) can0 800#11") << false;
        QTest::newRow("29-bit id above 1FFFFFFF") << QByteArray("(1.000000) can0 20000000#11") << false;
        QTest::newRow("odd data digits") << QByteArray("(1.000000) can0 123#112") << false;
        QTest::newRow("9 bytes") << QByteArray("(1.000000) can0 123#112233445566778899") << false;
        QTest::newRow("non-hex data") << QByteArray("(1.000000) can0 123#1G") << false;
        QTest::newRow("DLC 8 after _") << QByteArray("(1.000000) can0 123#1122334455667788_8") << false;
        QTest::newRow("unknown direction") << QByteArray("(1.000000) can0 123#11 X") << false;
        QTest::newRow("a fifth field") << QByteArray("(1.000000) can0 123#11 R R") << false;
    }

    void shouldReadOnlyClassicDataFrames()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, frame);
        QCOMPARE(bool(canlog::parseLine(std::string_view(line.constData(), size_t(line.size())))), frame);
    }
};

QTEST_APPLESS_MAIN(TestCandumpLog)
#include "tst_candumplog.moc"
