#include "monitor/canviewer.h"
#include "monitor/canwindow.h"

#include <QHeaderView>
#include <QPushButton>
#include <QtTest>

namespace {

// A list whose clock only moves when the test says so.
class ClockedViewer : public CanViewer
{
public:
    qint64 time = 0;

    void refresh() { QVERIFY(QMetaObject::invokeMethod(this, "updateList")); }

    // "<ms> <rx|tx> <id, with x for extended> <data hex> [dlc]", as of that time.
    void receive(const QString &frame)
    {
        const QStringList f = frame.split(QLatin1Char(' '));
        time = f[0].toLongLong();
        VectorCAN::Message msg;
        msg.tx = f[1] == QLatin1String("tx");
        msg.extended = f[2].endsWith(QLatin1Char('x'));
        msg.id = QStringView(f[2]).left(f[2].size() - int(msg.extended)).toUInt(nullptr, 16);
        const QByteArray data = QByteArray::fromHex(f.value(3).toLatin1());
        std::copy_n(data.constData(), qMin<int>(data.size(), 8), msg.data);
        msg.dlc = f.size() > 4 ? f[4].toInt() : int(data.size());
        handleMsg(msg);
    }

    // Every row, as "direction|id|interval|dlc|data".
    QStringList rows() const
    {
        QStringList rows;
        for (int i = 0; i < topLevelItemCount(); ++i) {
            const QTreeWidgetItem *row = topLevelItem(i);
            QStringList cells;
            for (int column = 0; column < 5; ++column)
                cells << row->text(column);
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }

protected:
    qint64 now() const override { return time; }
};

QStringList traced;

void collectTrace(QtMsgType, const QMessageLogContext &, const QString &line)
{
    traced << line;
}

} // namespace

class TestCanViewer : public QObject
{
    Q_OBJECT

private slots:
    // Steps: a frame (see receive()), "<ms> refresh" or "clear"; a last refresh follows.
    void shouldShowLatestFrameOfEachIdentifier_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("rows");

        QTest::newRow("first frame, empty interval")
            << QStringList{"0 rx 17faf073x 3000000000000000"}
            << QStringList{"RX|*17faf073||8|30 00 00 00 00 00 00 00 "};
        QTest::newRow("last of several frames in one period")
            << QStringList{"0 rx 123 0102", "40 tx 123 030405", "100 rx 123 a0"}
            << QStringList{"RX|123|60|1|a0 "};
        QTest::newRow("standard and extended 0x7f")
            << QStringList{"0 rx 7f 01", "0 rx 7fx 02"}
            << QStringList{"RX|*00007f||1|02 ", "RX|07f||1|01 "};
        QTest::newRow("receipt shares the row")
            << QStringList{"0 rx 1bff8300x 01", "5 tx 1bff8300x 01a0ff"}
            << QStringList{"TX|*1bff8300|5|3|01 a0 ff "};
        QTest::newRow("dlc 0") << QStringList{"0 rx 7ff"} << QStringList{"RX|7ff||0|"};
        QTest::newRow("dlc 9 shows eight bytes")
            << QStringList{"0 rx 100 1122334455667788 9"}
            << QStringList{"RX|100||9|11 22 33 44 55 66 77 88 "};
        QTest::newRow("negative dlc shows none") << QStringList{"0 rx 100 11 -1"} << QStringList{"RX|100||-1|"};
        QTest::newRow("sorted by id text")
            << QStringList{"0 rx 300", "0 rx 100", "0 rx 200x", "0 rx 7ff", "0 rx 1fffffffx"}
            << QStringList{"RX|*000200||0|", "RX|*1fffffff||0|", "RX|100||0|", "RX|300||0|", "RX|7ff||0|"};
        QTest::newRow("sorted as new rows arrive") << QStringList{"0 rx 500", "0 refresh", "10 rx 050", "10 tx 500 01"}
                                                   << QStringList{"RX|050||0|", "TX|500|10|1|01 "};
        QTest::newRow("silent for 10000 ms: kept") << QStringList{"0 rx 123", "0 refresh", "10000 refresh", "10001 rx 123"}
                                                   << QStringList{"RX|123|10001|0|"};
        QTest::newRow("silent for 10001 ms: dropped")
            << QStringList{"0 rx 123", "0 refresh", "10001 refresh", "10001 rx 123"} << QStringList{"RX|123||0|"};
        QTest::newRow("cleared before the refresh")
            << QStringList{"0 rx 100", "0 refresh", "10 rx 100", "10 rx 200", "clear", "10 refresh", "20 rx 100"}
            << QStringList{"RX|100||0|"};
    }

    void shouldShowLatestFrameOfEachIdentifier()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, rows);

        ClockedViewer viewer;
        bool refreshed = false;
        for (const QString &step : steps) {
            if (step == QLatin1String("clear")) {
                viewer.clear();
            } else if (step.endsWith(QLatin1String(" refresh"))) {
                viewer.time = step.section(QLatin1Char(' '), 0, 0).toLongLong();
                viewer.refresh();
                refreshed = true;
            } else {
                viewer.receive(step);
            }
        }
        // Frames alone never touch the rows.
        if (!refreshed)
            QVERIFY(viewer.rows().isEmpty());
        viewer.refresh();

        QCOMPARE(viewer.rows(), rows);
    }

    void shouldTraceIsoTpFrames_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("flow control received")
            << "0 rx 17faf073x 3000000000000000" << QStringList{"RX 17faf073  8: 30 00 00 00 00 00 00 00"};
        QTest::newRow("own transmission")
            << "0 tx 17f873f0x 100a0102030405aa" << QStringList{"TX 17f873f0  8: 10 0a 01 02 03 04 05 aa"};
        QTest::newRow("dlc 7") << "0 rx 17faf073x 30000000000000" << QStringList{};
        QTest::newRow("dlc 9") << "0 rx 17faf073x 3000000000000000 9" << QStringList{};
        QTest::newRow("standard identifier") << "0 rx 17faf073 3000000000000000" << QStringList{};
        QTest::newRow("other identifier") << "0 rx 17faf074x 3000000000000000" << QStringList{};
    }

    void shouldTraceIsoTpFrames()
    {
        QFETCH(QString, frame);
        QFETCH(QStringList, lines);

        ClockedViewer viewer;
        traced.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectTrace);
        viewer.receive(frame);
        qInstallMessageHandler(previous);

        QCOMPARE(traced, lines);
    }

    void shouldLabelColumnsAndEmptyOnClearButton()
    {
        CANWindow window;
        auto *list = window.findChild<CanViewer *>(QStringLiteral("canView"));
        QVERIFY(list);

        const QTreeWidgetItem *header = list->headerItem();
        QStringList texts;
        for (int column = 0; column < header->columnCount(); ++column) {
            texts << header->text(column);
            const int alignment = column >= 1 && column <= 3 ? int(Qt::AlignRight | Qt::AlignVCenter) : 0;
            QCOMPARE(header->data(column, Qt::TextAlignmentRole).toInt(), alignment);
        }
        QCOMPARE(texts, (QStringList{"Richtung", "ID", "Intervall (ms)", "DLC", "Daten"}));
        QCOMPARE(list->header()->sectionResizeMode(4), QHeaderView::Stretch);

        VectorCAN::Message msg;
        msg.id = 0x123;
        window.handleMsg(msg);
        QVERIFY(QMetaObject::invokeMethod(list, "updateList"));
        QCOMPARE(list->topLevelItemCount(), 1);
        for (int column = 0; column < 5; ++column) {
            const QFont font = list->topLevelItem(0)->font(column);
            QCOMPARE(font.family(), QStringLiteral("SmoothTTF"));
            QCOMPARE(font.pointSize(), 9);
            QCOMPARE(font.styleStrategy(), QFont::NoAntialias);
        }
        window.findChild<QPushButton *>(QStringLiteral("clear"))->click();
        QCOMPARE(list->topLevelItemCount(), 0);
    }
};

QTEST_MAIN(TestCanViewer)
#include "tst_canviewer.moc"
