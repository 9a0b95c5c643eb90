#include "can/vectorcan.h"
#include "isotp/isotptx.h"
#include "support/scripteddriver.h"

#include <QtTest>

#include <cstring>
#include <memory>

namespace {

constexpr quint32 txId = 0x17F873F0;
constexpr quint32 rxId = 0x17FAF073;
using L = QStringList;

// Where a transfer stands, as TestISOTPTX::status() puts it: the state and the running timer's interval.
const L stateNames{"idle", "first FC", "sending", "block FC"};
const QString idle("idle"), firstFC("first FC 100 ms"), blockFC("block FC 500 ms"), sending("sending 0 ms");
const L ten{"10 0A 00 01 02 03 04 05", "21 06 07 08 09 AA AA AA"};  // the 10-byte message 00..09

// n bytes counting up from first, modulo a prime so that a long message never
// repeats in step with the 7-byte payload of a consecutive frame.
QByteArray bytes(int n, int first = 0)
{
    QByteArray message(n, 0);
    for (int i = 0; i < n; ++i)
        message[i] = char((first + i) % 251);
    return message;
}

QTestData &row(const char *name)
{
    return QTest::newRow(name);
}

} // namespace

class TestISOTPTX : public QObject
{
    Q_OBJECT

    struct Rig
    {
        tests::ScriptedDriver driver;
        tests::ScriptedChannel *channel = driver.addScriptedChannel("bus");
        VectorCAN can;
        ISOTPTX tx{&can, txId, true, rxId, true};
        int abandoned = 0;
    };
    std::unique_ptr<Rig> rig;
    ISOTPTX *tx = nullptr;

    // The frames put on the bus since the last call, as "10 0A 00 01 02 03 04 05"; one that is not a
    // transmit event on the 29-bit identifier 0x17F873F0 with dlc 8 is marked "foreign".
    QStringList frames()
    {
        QStringList list;
        for (const QByteArray &written : std::as_const(rig->channel->written)) {
            XlEvent event;
            std::memcpy(&event, written.constData(), sizeof event);
            const bool ours = event.tag == XL_TRANSMIT_MSG && event.id == 0x97F873F0 && event.dlc == 8;
            const QByteArray data(reinterpret_cast<const char *>(event.data), sizeof event.data);
            list << (ours ? "" : "foreign ") + QString::fromLatin1(data.toHex(' ').toUpper());
        }
        rig->channel->written.clear();
        return list;
    }
    // Steps: "send <length> [<first byte, hex>]", "refuse <length>", "data <hex bytes>", "tick [<count>]",
    // "fc <hex bytes> [| <id> <11 or 29> <dlc>]" (a frame from the receiver, by default its flow control),
    // "abandon" (the channel changed).
    void run(const QStringList &script)
    {
        for (const QString &step : script) {
            const QString op = step.section(' ', 0, 0), rest = step.section(' ', 1);
            const QStringList args = rest.split(' ');
            if (op == "send" || op == "refuse") {
                const QByteArray message = bytes(args[0].toInt(), args.value(1).toInt({}, 16));
                const bool accepted = tx->send(message.constData(), int(message.size()));
                QVERIFY2(accepted == (op == "send"), qPrintable(step));
            } else if (op == "data") {
                QVERIFY(tx->send(QByteArray::fromHex(rest.toLatin1())));
            } else if (op == "fc") {
                const QStringList frame = rest.section('|', 1).split(' ', Qt::SkipEmptyParts);
                const QByteArray data = QByteArray::fromHex(rest.section('|', 0, 0).toLatin1());
                VectorCAN::Message msg{false, frame.value(0, "17FAF073").toUInt({}, 16),
                                       frame.value(1, "29") == "29", frame.value(2, "8").toInt(), {}};
                std::memcpy(msg.data, data.constData(), size_t(qMin(8, int(data.size()))));
                tx->handleFlowControl(msg);
            } else if (op == "abandon") {
                tx->abandon();
            } else if (op == "tick") {
                for (int n = rest.isEmpty() ? 1 : rest.toInt(); n > 0; --n)
                    QVERIFY(QMetaObject::invokeMethod(tx, "tick"));
            } else {
                QFAIL(qPrintable("unknown step " + step));
            }
        }
    }
    QString status() const
    {
        const QString name = stateNames.value(tx->state, "bad state");
        const QString ms = QString(" %1 ms").arg(tx->timer.interval());
        const QString abandoned = rig->abandoned ? QString(", %1 abandoned").arg(rig->abandoned) : QString();
        return (tx->state == ISOTPTX::Idle ? name : name + (tx->timer.isActive() ? ms : " stopped")) + abandoned;
    }
    static void transcriptColumns()
    {
        QTest::addColumn<L>("script");
        QTest::addColumn<L>("sent");
        QTest::addColumn<QString>("status");
    }
    // Runs the row's script; the frames on the bus and where it ends must match.
    void verifyTranscript()
    {
        QFETCH(L, script);
        QFETCH(L, sent);
        QFETCH(QString, status);
        run(script);
        QCOMPARE(frames(), sent);
        QCOMPARE(this->status(), status);
        if (status == idle) {  // nothing left, and the timer stopped after one more tick at the latest
            QVERIFY(tx->pending.isEmpty());
            run({"tick"});
            QVERIFY(!tx->timer.isActive());
            QCOMPARE(frames(), L());
        }
    }

private slots:
    void init()
    {
        rig = std::make_unique<Rig>();
        QVERIFY(rig->can.open(0, 500000, "test"));
        tx = &rig->tx;
        connect(tx, &ISOTPTX::transferAbandoned, this, [this] { ++rig->abandoned; });
    }
    void cleanup() { rig.reset(); }

    void shouldFrameMessageByLength_data()
    {
        transcriptColumns();
        row("TP diagnosis") << L{"data C8 01 11 04 20 20"} << L{"06 C8 01 11 04 20 20 AA"} << idle;
        row("empty") << L{"send 0"} << L{"00 AA AA AA AA AA AA AA"} << idle;
        row("7 bytes, single frame") << L{"send 7 1"} << L{"07 01 02 03 04 05 06 07"} << idle;
        row("8 bytes, first frame") << L{"send 8 1"} << L{"10 08 01 02 03 04 05 06"} << firstFC;
        row("4095 bytes, first frame") << L{"send 4095"} << L{"1F FF 00 01 02 03 04 05"} << firstFC;
        row("4096 bytes, refused") << L{"refuse 4096"} << L() << idle;
        row("4096 bytes while busy, not queued")
            << L{"send 10", "refuse 4096", "fc 30 00 00", "tick 2"} << ten << idle;
    }
    void shouldFrameMessageByLength() { verifyTranscript(); }

    void shouldFollowFlowControl_data()
    {
        transcriptColumns();
        const L thirty{"10 1E 00 01 02 03 04 05", "21 06 07 08 09 0A 0B 0C", "22 0D 0E 0F 10 11 12 13",
                       "23 14 15 16 17 18 19 1A", "24 1B 1C 1D AA AA AA AA"};
        const L block{"send 30", "fc 30 02 00", "tick 2"}, first = ten.mid(0, 1);
        row("10 bytes, then done") << L{"send 10", "fc 30 00 00 00 00 00 00 00", "tick", "tick"} << ten << idle;
        row("block size 2, waits after two") << block << thirty.mid(0, 3) << blockFC;
        // The last frame ends a block too, yet no flow control is awaited after it.
        row("next flow control releases the rest") << block + L{"fc 30 02 00", "tick 2"} << thirty << sending;
        row("30 bytes, then done") << block + L{"fc 30 02 00", "tick 3"} << thirty << idle;
        row("wait status repeats the first frame")
            << L{"send 10", "fc 31 00 00", "tick 2"} << L{ten[0], ten[0], ten[0]} << firstFC;
        // Frames that are no flow control for us, or come when none is due; STmin 0x14 would show.
        row("other id, ignored") << L{"send 10", "fc 30 00 14 | 17FAF074 29 8"} << first << firstFC;
        row("11-bit id, ignored") << L{"send 10", "fc 30 00 14 | 17FAF073 11 8"} << first << firstFC;
        row("dlc 7, ignored") << L{"send 10", "fc 30 00 14 | 17FAF073 29 7"} << first << firstFC;
        row("dlc 9, ignored") << L{"send 10", "fc 30 00 14 | 17FAF073 29 9"} << first << firstFC;
        row("high nibble 2, ignored") << L{"send 10", "fc 20 00 14"} << first << firstFC;
        row("while idle, ignored") << L{"fc 30 00 14"} << L() << idle;
        row("while sending, ignored") << L{"send 10", "fc 30 00 00", "fc 30 00 14"} << first << sending;
    }
    void shouldFollowFlowControl() { verifyTranscript(); }

    void shouldWorkOffPendingInOrder_data()
    {
        transcriptColumns();
        const L abandoned{"10 1E 00 01 02 03 04 05"}, next{"10 09 64 65 66 67 68 69"};
        row("overflow starts the next")
            << L{"send 30", "send 9 64", "fc 32 00 00"} << abandoned + next << firstFC + ", 1 abandoned";
        row("abandoned while waiting") << L{"send 30", "send 9 64", "abandon"} << abandoned + next
                                       << firstFC + ", 1 abandoned";
        row("abandoned after its last frame, not given up") << L{"send 10", "fc 30 00 00", "tick", "abandon"} << ten
                                                             << idle;
        row("block time-out starts the next") << L{"send 30", "send 9 64", "fc 30 01 00", "tick 2"}
                                              << abandoned + L{"21 06 07 08 09 0A 0B 0C"} + next
                                              << firstFC + ", 1 abandoned";
        const L queued{"send 10", "fc 30 00 00", "send 3 A0", "send 0", "send 20 C0", "tick 2"};
        const L burst = ten + L{"03 A0 A1 A2 AA AA AA AA", "00 AA AA AA AA AA AA AA",  // A, B at once
                                "10 14 C0 C1 C2 C3 C4 C5"};                             // C starts
        row("short ones at once, then the long one") << queued << burst << firstFC;
        row("later send waits behind the long one")
            << queued + L{"send 2 E0", "fc 30 00 00", "tick 3"}
            << burst + L{"21 C6 C7 C8 C9 CA CB CC", "22 CD CE CF D0 D1 D2 D3", "02 E0 E1 AA AA AA AA AA"}
            << idle;
    }
    void shouldWorkOffPendingInOrder() { verifyTranscript(); }

    void shouldPaceConsecutiveFramesBySTmin_data()
    {
        transcriptColumns();
        const QList<QPair<int, int>> rows{{0x00, 0}, {0x05, 5}, {0x7F, 127}, {0x80, 10}, {0xF0, 10},
                                          {0xF1, 1}, {0xF3, 1}, {0xF9, 1}, {0xFA, 10}, {0xFF, 10}};
        for (const auto &[stMin, interval] : rows) {
            const QString fc = QString("fc 30 00 %1").arg(stMin, 2, 16, QChar('0'));
            QTest::addRow("STmin 0x%02X", stMin)
                << L{"send 10", fc} << ten.mid(0, 1) << QString("sending %1 ms").arg(interval);
        }
    }
    void shouldPaceConsecutiveFramesBySTmin() { verifyTranscript(); }
};

QTEST_GUILESS_MAIN(TestISOTPTX)
#include "tst_isotptx.moc"
