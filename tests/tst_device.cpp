#include "device/calibration.h"
#include "device/dialogue.h"
#include "device/pressure.h"
#include "device/touchpaddownload.h"

#include <QtTest>

namespace {

using Download = device::TouchpadDownload;
using L = QStringList;

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ')).toUpper();
}

QList<int> listed(const device::CalibrationFactors &f)
{
    return {f.sens1Mul, f.sens1Div, f.calMul, f.calDiv};
}

// A frame as "1BFF8301 29 8 | 20 01 00 00 00 00 00 00": identifier, its width, dlc and data.
QString text(const VectorCAN::Message &msg)
{
    const QByteArray data(reinterpret_cast<const char *>(msg.data), sizeof msg.data);
    return QString("%1 %2 %3 | ").arg(msg.id, 8, 16, QChar('0')).arg(msg.extended ? 29 : 11).arg(msg.dlc).toUpper()
        + hex(data);
}

VectorCAN::Message frame(const QString &text)
{
    const QStringList head = text.section(" | ", 0, 0).split(' ');
    VectorCAN::Message msg;
    msg.id = head[0].toUInt(nullptr, 16);
    msg.extended = head[1] == "29";
    msg.dlc = head[2].toInt();
    const QByteArray data = QByteArray::fromHex(text.section(" | ", 1).toLatin1());
    std::copy(data.begin(), data.end(), msg.data);
    return msg;
}

// A request as "03 01 02 @30": sub-command, row, column and the resend interval; any other frame whole.
QString asked(const Download &download)
{
    const QString whole = text(download.request());
    const QString bytes = whole.section(" | ", 1).mid(3, 8);  // after the service byte
    const bool plain = whole == "1BFF8300 29 8 | 20 " + bytes + " 00 00 00 00";
    return (plain ? bytes : whole) + QString(" @%1").arg(download.resendIntervalMs());
}

} // namespace

class TestDevice : public QObject
{
    Q_OBJECT

private slots:
    void framesOnTheBus()
    {
        QCOMPARE(text(device::request(0x03, 0x12, 0xFE)), "1BFF8300 29 8 | 20 03 12 FE 00 00 00 00");
        QCOMPARE(text(device::nmhFrame()), "1B000073 29 8 | 73 00 04 01 08 00 01 00");
        QCOMPARE(hex(device::activationMessage()), "C8 01 11 04 20 20");
    }

    void replies_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("pressure");  // cali raw1 raw2, or "-" for none
        QTest::addColumn<bool>("reply");
        QTest::newRow("pressure, big-endian")
            << "1BFF8301 29 8 | 20 01 12 34 AB CD FF FF" << "4660 43981 65535" << true;
        QTest::newRow("touchpad header") << "1BFF8301 29 8 | 20 02 12 34 AB CD FF FF" << "-" << true;
        QTest::newRow("11-bit identifier") << "1BFF8301 11 8 | 20 01 12 34 AB CD FF FF" << "-" << false;
        QTest::newRow("request identifier") << "1BFF8300 29 8 | 20 01 12 34 AB CD FF FF" << "-" << false;
        QTest::newRow("dlc 7") << "1BFF8301 29 7 | 20 01 12 34 AB CD FF FF" << "-" << false;
        QTest::newRow("another service") << "1BFF8301 29 8 | 21 01 12 34 AB CD FF FF" << "-" << false;
    }
    void replies()
    {
        QFETCH(QString, frame);
        QFETCH(QString, pressure);
        QFETCH(bool, reply);
        QCOMPARE(device::isReply(::frame(frame)), reply);
        const auto values = device::pressureReply(::frame(frame));
        QCOMPARE(values ? QString("%1 %2 %3").arg(values->cali).arg(values->raw1).arg(values->raw2) : "-", pressure);
    }

    void calibration_data()
    {
        QTest::addColumn<QList<int>>("snapshots");  // raw1, raw2 unloaded, then loaded
        QTest::addColumn<QList<int>>("factors");    // sens1Mul, sens1Div, calMul, calDiv
        QTest::addColumn<bool>("wrong");
        using I = QList<int>;
        QTest::newRow("typical") << I{1000, 1000, 1100, 1150} << I{150, 100, 234, 39} << false;
        QTest::newRow("d2 negative") << I{1000, 1000, 1100, 950} << I{65486, 100, 65380, 78} << true;
        QTest::newRow("d1 zero") << I{1000, 1000, 1000, 1100} << I{100, 1, 156, 39} << true;
        QTest::newRow("halved once") << I{1000, 1000, 1300, 1600} << I{150, 75, 234, 9} << false;
        QTest::newRow("255 fits") << I{1000, 1000, 1255, 1255} << I{255, 255, 199, 19} << false;
        QTest::newRow("256 halved") << I{1000, 1000, 1255, 1256} << I{128, 127, 200, 19} << false;
        QTest::newRow("small d2 halved to 0 is 1") << I{1000, 1000, 2000, 1001} << I{1, 250, 6, 156} << false;
        QTest::newRow("full range swapped") << I{0, 65535, 65535, 0} << I{65281, 255, 65337, 1} << true;
    }
    void calibration()
    {
        QFETCH(QList<int>, snapshots);
        QFETCH(QList<int>, factors);
        QFETCH(bool, wrong);
        const device::PressureValues unloaded{0, quint16(snapshots[0]), quint16(snapshots[1])};
        const device::PressureValues loaded{0, quint16(snapshots[2]), quint16(snapshots[3])};
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(" l/r$"));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(" cal \\(-?\\d+\\)$"));
        QCOMPARE(listed(device::calibrate(unloaded, loaded)), factors);
        QCOMPARE(device::calibrationLooksWrong(unloaded, loaded), wrong);
    }

    void calibrationSaysItsRatios()
    {
        QTest::ignoreMessage(QtDebugMsg, "-> 128.503937 / 128.000000  l/r");
        QTest::ignoreMessage(QtDebugMsg, "-> 19.531250 / 200.000000  cal (256)");
        device::calibrate({0, 1000, 1000}, {0, 1255, 1256});
    }

    // The device takes the low byte of each factor; the reset writes neutral ones.
    void calibrationMessages()
    {
        QCOMPARE(hex(device::calibrationMessage({65486, 100, 65380, 78})), "C8 02 11 10 32 1E CE 64 64 4E");
        QCOMPARE(hex(device::resetMessage()), "C8 02 11 10 FF 00 01 01 01 01");
        QCOMPARE(listed(device::resetFactors()), (QList<int>{1, 1, 1, 1}));
    }

    // Steps: "start <ms>", "reply <ms> <8 data bytes, hex, or a whole frame>" (from the bus), "tick <ms>" (the
    // resend timer), "untick" (the box).
    void touchpadDownload_data()
    {
        QTest::addColumn<L>("script");
        QTest::addColumn<L>("events");  // each request as asked() shows it, and what each step did
        QTest::addColumn<QString>("matrix");
        const QString header23 = "20 02 02 03 00 00 00 00", first23 = "20 03 00 00 11 12 13 21";
        const QString last23 = "20 03 01 01 22 23 99 99";
        QTest::newRow("2x3 ends mid-frame, unticking does not stop it")
            << L{"start 0", "reply 10 " + header23, "untick", "reply 20 " + first23, "reply 30 " + last23}
            << L{"02 00 00 @50", "header 50%", "03 00 00 @30", "runs on", "data 100%", "03 01 01 @30", "finished"}
            << "111213212223";
        QTest::newRow("2x2 ends on a frame's last byte, asks for (2, 0)")
            << L{"start 0", "reply 10 20 02 02 02 00 00 00 00", "reply 20 20 03 00 00 11 12 21 22",
                 "reply 30 20 03 02 00 00 00 00 00"}
            << L{"02 00 00 @50", "header 50%", "03 00 00 @30", "data 100%", "03 02 00 @30", "finished"}
            << "11122122";
        QTest::newRow("0x5 finishes on the first data reply")
            << L{"start 0", "reply 10 20 02 00 05 00 00 00 00", "reply 20 20 03 00 00 00 00 00 00"}
            << L{"02 00 00 @50", "header 100%", "03 00 00 @30", "finished"} << "";
        QTest::newRow("3x0 finishes on the first data reply, writing nothing")
            << L{"start 0", "reply 10 20 02 03 00 00 00 00 00", "reply 20 20 03 00 00 11 12 13 14"}
            << L{"02 00 00 @50", "header 33%", "03 00 00 @30", "finished"} << "";
        QTest::newRow("late replies for another row or column, a pressure reply, our request: ignored")
            << L{"start 0", "reply 10 " + header23, "reply 20 " + first23, "reply 30 20 03 00 01 12 13 21 22",
                 "reply 40 20 03 01 00 21 22 23 00", "reply 50 20 01 01 01 00 00 00 00",
                 "reply 55 1BFF8300 29 8 | 20 03 01 01 00 00 00 00", "reply 60 " + last23}
            << L{"02 00 00 @50", "header 50%", "03 00 00 @30", "data 100%", "03 01 01 @30", "ignored", "ignored",
                 "ignored", "ignored", "finished"}
            << "111213212223";
        QTest::newRow("header while downloading ignored")
            << L{"start 0", "reply 10 " + header23, "reply 20 20 02 05 05 00 00 00 00", "reply 30 " + first23,
                 "reply 40 " + last23}
            << L{"02 00 00 @50", "header 50%", "03 00 00 @30", "ignored", "data 100%", "03 01 01 @30", "finished"}
            << "111213212223";
        QTest::newRow("no answer: resent at 2000 ms, given up at 2001 ms")
            << L{"start 0", "tick 50", "tick 2000", "tick 2001", "tick 2050"}
            << L{"02 00 00 @50", "resend 02 00 00 @50", "resend 02 00 00 @50", "gave up", "not running"} << "";
        QTest::newRow("header and data restart the 2000 ms")
            << L{"start 0", "reply 1500 " + header23, "tick 3400", "reply 3450 " + first23, "tick 5450", "tick 5451"}
            << L{"02 00 00 @50", "header 50%", "03 00 00 @30", "resend 03 00 00 @30", "data 100%", "03 01 01 @30",
                 "resend 03 01 01 @30", "gave up"}
            << "111213210000";
        QTest::newRow("unticked before the header: stops asking")
            << L{"start 0", "untick", "reply 10 " + header23, "tick 50"}
            << L{"02 00 00 @50", "stopped", "ignored", "not running"} << "";
    }
    void touchpadDownload()
    {
        QFETCH(L, script);
        QFETCH(L, events);
        QFETCH(QString, matrix);
        static const char *const answers[] = {"ignored", "header", "data", "finished"};
        static const char *const ticks[] = {"resend ", "gave up", "not running"};
        Download download;
        L seen;
        for (const QString &step : script) {
            const QString op = step.section(' ', 0, 0);
            const qint64 now = step.section(' ', 1, 1).toLongLong();
            if (op == "start") {
                download.start(now);
                seen << asked(download);
            } else if (op == "reply") {
                const QString bytes = step.section(' ', 2);
                const auto answer = download.accept(frame(bytes.contains('|') ? bytes : "1BFF8301 29 8 | " + bytes),
                                                    now);
                const bool taken = answer == Download::Answer::HeaderTaken || answer == Download::Answer::DataTaken;
                seen << answers[int(answer)] + (taken ? QString(" %1%").arg(download.percent()) : QString());
                if (taken)
                    seen << asked(download);
            } else if (op == "tick") {
                const auto tick = download.advance(now);
                seen << ticks[int(tick)] + (tick == Download::Tick::Resend ? asked(download) : QString());
            } else {
                seen << (download.stopAsking() ? "stopped" : "runs on");
            }
        }
        QCOMPARE(seen, events);
        QCOMPARE(QString::fromLatin1(download.matrix().toHex()).toUpper(), matrix);
        QCOMPARE(download.state(), Download::Idle);
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
