#include "can/vectorcan.h"
#include "isotp/isotptx.h"
#include "support/scripteddriver.h"

#include <QtTest>

#include <cstring>

namespace {

constexpr quint32 txId = 0x17F873F0;
constexpr quint32 rxId = 0x17FAF073;
using L = QStringList;

// Where a transfer stands: the state and the running timer's interval.
const QString idle("idle"), firstFC("first FC 100 ms"), blockFC("block FC 500 ms"), sending("sending 0 ms");
const L ten{"10 0A 00 01 02 03 04 05", "21 06 07 08 09 AA AA AA"};  // the 10-byte message 00..09

// A script, the frames it puts on the bus and where the transfer ends.
struct Transfer { L script, sent; QString status; };

} // namespace

class TestISOTPTX : public QObject
{
    Q_OBJECT

    // A transmitter on an adapter open on a scripted bus.
    struct Rig
    {
        tests::ScriptedDriver driver;
        tests::ScriptedChannel *channel = driver.addScriptedChannel("bus");
        VectorCAN can;
        ISOTPTX tx{&can, txId, true, rxId, true};
        QStringList abandoned;  // the reasons given
    };

    // The frames put on the bus since the last call, as "10 0A 00 01 02 03 04 05"; one that is not a
    // transmit event on the 29-bit identifier 0x17F873F0 with dlc 8 is marked "foreign".
    static QStringList frames(Rig &rig)
    {
        QStringList list;
        for (const QByteArray &written : std::as_const(rig.channel->written)) {
            XlEvent event;
            std::memcpy(&event, written.constData(), sizeof event);
            const bool ours = event.tag == XL_TRANSMIT_MSG && event.id == 0x97F873F0 && event.dlc == 8;
            const QByteArray data(reinterpret_cast<const char *>(event.data), sizeof event.data);
            list << (ours ? "" : "foreign ") + QString::fromLatin1(data.toHex(' ').toUpper());
        }
        rig.channel->written.clear();
        return list;
    }
    // Steps: "send <length> [<first byte, hex>]", "refuse <length>", "tick [<count>]",
    // "fc <hex bytes> [| <id> <11 or 29> <dlc>]" (a frame from the receiver, by default its flow control),
    // "abandon" (the channel changed).
    static void run(Rig &rig, const QStringList &script)
    {
        for (const QString &step : script) {
            const QString op = step.section(' ', 0, 0), rest = step.section(' ', 1);
            if (op == "send" || op == "refuse") {
                // Bytes counting up from the first, modulo a prime so that a long message
                // never repeats in step with the 7-byte payload of a consecutive frame.
                QByteArray message(rest.section(' ', 0, 0).toInt(), 0);
                for (int i = 0; i < message.size(); ++i)
                    message[i] = char((rest.section(' ', 1, 1).toInt({}, 16) + i) % 251);
                const bool accepted = rig.tx.send(message.constData(), int(message.size()));
                QVERIFY2(accepted == (op == "send"), qPrintable(step));
            } else if (op == "fc") {
                const QStringList frame = rest.section('|', 1).split(' ', Qt::SkipEmptyParts);
                const QByteArray data = QByteArray::fromHex(rest.section('|', 0, 0).toLatin1());
                VectorCAN::Message msg{false, frame.value(0, "17FAF073").toUInt({}, 16),
                                       frame.value(1, "29") == "29", frame.value(2, "8").toInt(), {}};
                std::memcpy(msg.data, data.constData(), size_t(qMin(8, int(data.size()))));
                rig.tx.handleFlowControl(msg);
            } else if (op == "abandon") {
                rig.tx.abandon(QStringLiteral("channel changed"));
            } else if (op == "tick") {
                for (int n = rest.isEmpty() ? 1 : rest.toInt(); n > 0; --n)
                    QVERIFY(QMetaObject::invokeMethod(&rig.tx, "tick"));
            } else {
                QFAIL(qPrintable("unknown step " + step));
            }
        }
    }

private slots:
    void shouldSendAsTheReceiverAsks_data()
    {
        QTest::addColumn<Transfer>("t");
        const auto row = [](const char *name, const L &script, const L &sent, const QString &status) {
            QTest::newRow(name) << Transfer{script, sent, status};
        };
        row("7 bytes, single frame", {"send 7 1"}, {"07 01 02 03 04 05 06 07"}, idle);
        row("8 bytes, first frame", {"send 8 1"}, {"10 08 01 02 03 04 05 06"}, firstFC);
        row("4095 bytes, first frame", {"send 4095"}, {"1F FF 00 01 02 03 04 05"}, firstFC);
        row("4096 bytes, refused", {"refuse 4096"}, {}, idle);

        const L thirty{"10 1E 00 01 02 03 04 05", "21 06 07 08 09 0A 0B 0C", "22 0D 0E 0F 10 11 12 13",
                       "23 14 15 16 17 18 19 1A", "24 1B 1C 1D AA AA AA AA"};
        const L block{"send 30", "fc 30 02 00", "tick 2"}, first = ten.mid(0, 1);
        row("block size 2, waits after two", block, thirty.mid(0, 3), blockFC);
        // The last frame ends a block too, yet no flow control is awaited after it.
        row("30 bytes, then done", block + L{"fc 30 02 00", "tick 3"}, thirty, idle);
        row("wait status repeats the first frame", {"send 10", "fc 31 00 00", "tick 2"}, {ten[0], ten[0], ten[0]}, firstFC);
        // A frame that is no flow control for us, or one that comes when none is due; STmin 0x14 would show.
        row("other id, ignored", {"send 10", "fc 30 00 14 | 17FAF074 29 8"}, first, firstFC);
        row("while sending, ignored", {"send 10", "fc 30 00 00", "fc 30 00 14"}, first, sending);

        const L abandoned{"10 1E 00 01 02 03 04 05"}, next{"10 09 64 65 66 67 68 69"};
        row("overflow starts the next", {"send 30", "send 9 64", "fc 32 00 00"}, abandoned + next,
            firstFC + ", abandoned: das Gerät meldet Überlauf");
        // Neither is for the device that may be there now.
        row("abandoned while waiting, with the one behind it", {"send 30", "send 9 64", "abandon"}, abandoned,
            "idle, abandoned: channel changed, channel changed");
        row("abandoned after its last frame, not given up", {"send 10", "fc 30 00 00", "tick", "abandon"}, ten, idle);
        row("block time-out starts the next", {"send 30", "send 9 64", "fc 30 01 00", "tick 2"},
            abandoned + L{"21 06 07 08 09 0A 0B 0C"} + next, firstFC + ", abandoned: keine Flusskontrolle nach einem Block");
        const L queued{"send 10", "fc 30 00 00", "send 3 A0", "send 0", "send 20 C0", "tick 2"};
        const L burst = ten + L{"03 A0 A1 A2 AA AA AA AA", "00 AA AA AA AA AA AA AA",  // A, B at once
                                "10 14 C0 C1 C2 C3 C4 C5"};                             // C starts
        row("short ones at once, a later one behind the long one", queued + L{"send 2 E0", "fc 30 00 00", "tick 3"},
            burst + L{"21 C6 C7 C8 C9 CA CB CC", "22 CD CE CF D0 D1 D2 D3", "02 E0 E1 AA AA AA AA AA"}, idle);

        const QList<QPair<int, int>> paces{{0x05, 5}, {0x7F, 127}, {0x80, 10}, {0xF1, 1}, {0xF9, 1}, {0xFA, 10}};
        for (const auto &[stMin, interval] : paces) {
            const L script{"send 10", QString("fc 30 00 %1").arg(stMin, 2, 16, QChar('0'))};
            QTest::addRow("STmin 0x%02X", stMin) << Transfer{script, first, QString("sending %1 ms").arg(interval)};
        }
    }

    void shouldSendAsTheReceiverAsks()
    {
        QFETCH(Transfer, t);
        Rig rig;
        QVERIFY(rig.can.open(0, 500000, "test"));
        connect(&rig.tx, &ISOTPTX::transferAbandoned, this, [&](const QByteArray &, const QString &reason) {
            rig.abandoned << reason;
        });
        run(rig, t.script);
        QCOMPARE(frames(rig), t.sent);
        QString state = L{"idle", "first FC", "sending", "block FC"}.value(rig.tx.status(), "bad state");
        if (rig.tx.status() != ISOTPTX::Idle)
            state += rig.tx.pace() >= 0 ? QString(" %1 ms").arg(rig.tx.pace()) : QString(" stopped");
        if (!rig.abandoned.isEmpty())
            state += ", abandoned: " + rig.abandoned.join(", ");
        QCOMPARE(state, t.status);
        if (t.status == idle) {  // nothing left, and the timer stopped after one more tick at the latest
            QCOMPARE(rig.tx.waiting(), 0);
            run(rig, {"tick"});
            QCOMPARE(rig.tx.pace(), -1);
            QCOMPARE(frames(rig), L());
        }
    }
};

QTEST_GUILESS_MAIN(TestISOTPTX)
#include "tst_isotptx.moc"
