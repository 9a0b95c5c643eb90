#include "app/consolefont.h"
#include "monitor/canviewer.h"
#include "monitor/canwindow.h"
#include "support/tracecapture.h"

#include <QFontInfo>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QtTest>

namespace {

// A list whose clock only moves when the test says so.
class ClockedViewer : public CanViewer
{
public:
    qint64 time = 0;

    void refresh() { QVERIFY(QMetaObject::invokeMethod(this, "updateList")); }

    // Steps apart by "; ", each "clear", or as of "<ms>": "refresh", a frame
    // "<rx|tx> <id, with x for extended> [<data hex> [<dlc>]]", or "fill
    // <first id, hex> <count>": a frame without data on each of count
    // extended identifiers.
    void run(const QString &steps)
    {
        for (const QString &step : steps.split(QLatin1String("; "), Qt::SkipEmptyParts)) {
            const QStringList f = step.split(QLatin1Char(' '));
            time = f[0].toLongLong();
            VectorCAN::Message msg;
            msg.tx = f.value(1) == QLatin1String("tx");
            msg.extended = f.value(2).endsWith(QLatin1Char('x')) || f.value(1) == QLatin1String("fill");
            msg.id = f.value(2).remove(QLatin1Char('x')).toUInt(nullptr, 16);
            if (step == QLatin1String("clear")) {
                clear();
            } else if (f[1] == QLatin1String("refresh")) {
                refresh();
            } else if (f[1] == QLatin1String("fill")) {
                for (const quint32 first = msg.id; msg.id < first + f[3].toUInt(); ++msg.id)
                    handleMsg(msg);
            } else {
                const QByteArray data = QByteArray::fromHex(f.value(3).toLatin1());
                std::copy_n(data.constData(), qMin<int>(data.size(), 8), msg.data);
                msg.dlc = f.size() > 4 ? f[4].toInt() : int(data.size());
                handleMsg(msg);
            }
        }
    }

    // Every row, as "direction|id|interval|dlc|data".
    QStringList rows() const
    {
        QStringList rows;
        for (int i = 0; i < topLevelItemCount(); ++i) {
            QStringList cells;
            for (int column = 0; column < CanViewer::ColumnCount; ++column)
                cells << topLevelItem(i)->text(column);
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }

protected:
    qint64 now() const override { return time; }
};

// Steps as ClockedViewer::run() takes them, and what they must give.
struct Shown { QString steps; QStringList rows; QString trace; };
struct Limited { QString steps, waiting; QStringList firstAndLast; };

} // namespace

class TestCanViewer : public QObject
{
    Q_OBJECT

private slots:
    // Steps as ClockedViewer::run() takes them; a last refresh follows. The
    // 8-byte frames on the ISO-TP link's identifiers are traced.
    void shouldShowLatestFrameOfEachIdentifier_data()
    {
        QTest::addColumn<Shown>("s");

        // Rows apart by "; "; no rows: only that sorting by ID would leave them as they are.
        const auto row = [](const char *name, const QString &steps, const QString &rows = {}, const QString &trace = {}) {
            QTest::newRow(name) << Shown{steps, rows.isEmpty() ? QStringList() : rows.split("; "), trace};
        };
        row("first frame, empty interval", "0 rx 17faf073x 3000000000000000", "RX|*17faf073||8|30 00 00 00 00 00 00 00 ",
            "RX 17faf073  8: 30 00 00 00 00 00 00 00");
        row("last of several frames in one period", "0 rx 123 0102; 40 tx 123 030405; 40 rx 123 a0", "RX|123|0|1|a0 ");
        row("receipt shares the row", "0 rx 17f873f0x 01; 5 tx 17f873f0x 100a0102030405aa",
            "TX|*17f873f0|5|8|10 0a 01 02 03 04 05 aa ", "TX 17f873f0  8: 10 0a 01 02 03 04 05 aa");
        row("dlc 9 shows eight bytes", "0 rx 100 1122334455667788 9", "RX|100||9|11 22 33 44 55 66 77 88 ");
        row("sorted by id text", "0 rx 300; 0 rx 100; 0 rx 200x; 0 rx 7ff; 0 rx 1fffffffx",
            "RX|*000200||0|; RX|*1fffffff||0|; RX|100||0|; RX|300||0|; RX|7ff||0|");
        row("sorted as new rows arrive", "0 rx 500; 0 refresh; 10 rx 050; 10 tx 500 01", "RX|050||0|; TX|500|10|1|01 ");
        row("silent for 10000 ms: kept", "0 rx 123; 0 refresh; 10000 refresh; 10001 rx 123", "RX|123|10001|0|");
        row("silent for 10001 ms: dropped", "0 rx 123; 0 refresh; 10001 refresh; 10001 rx 123", "RX|123||0|");
        row("cleared before the refresh", "0 rx 100; 0 refresh; 10 rx 100; 10 rx 200; clear; 10 refresh; 20 rx 100", "RX|100||0|");
        row("several at each place", "0 rx 200x; 0 rx 500; 0 refresh; 0 rx 100x; 0 rx 110x; 0 rx 300; 0 rx 310; 0 rx 600; "
                                     "0 rx 1fffffffx; 0 refresh; 0 rx 301");
        row("extended by text, not value", "0 rx 1000000x; 0 refresh; 0 rx ffffffx; 0 rx 2000000x; 0 rx 7f");
        QString many = "0 rx 1000000x; 0 rx 1000; 0 refresh; 0 rx 10000000x; 0 rx 100000x; 0 rx 1000001x; 0 rx 100; 0 rx 10; "
                       "0 rx 1001; 0 refresh";
        for (int i = 0; i < 600; ++i)
            many += QStringLiteral("; 0 rx %1x").arg(0x200000 + i, 0, 16);
        row("one text begins another, few and many at once", many);
    }

    void shouldShowLatestFrameOfEachIdentifier()
    {
        QFETCH(Shown, s);

        ClockedViewer viewer;
        const tests::TraceCapture traced;
        viewer.run(s.steps);
        QCOMPARE(traced.lines().join('\n'), s.trace);
        viewer.refresh();
        const QStringList shown = viewer.rows();
        viewer.sortItems(CanViewer::IdColumn, Qt::AscendingOrder);
        QCOMPARE(viewer.rows(), shown);
        if (!s.rows.isEmpty())
            QCOMPARE(shown, s.rows);
    }

    // Steps as above; the waiting ones' count and the first and last of the
    // 5,000 identifier rows after a last refresh. Before the last step the
    // user picks the first and the last of those rows.
    void shouldKeepRowsWithinTheLimit_data()
    {
        QTest::addColumn<Limited>("l");

        // waiting: the last row's text, if identifiers wait.
        const auto row = [](const char *name, const QString &steps, const QString &waiting, const QString &ends) {
            QTest::newRow(name) << Limited{steps, waiting, ends.split("; ")};
        };
        row("at the limit", "0 fill 0 5000", {}, "RX|*000000||0|; RX|*001387||0|");
        row("one beyond, the last by ID waits", "0 fill 1 5000; 0 rx 0x", "… 1 weitere Kennung",
            "RX|*000000||0|; RX|*001387||0|");
        row("a waiting one, still counting, gets a silent one's room",
            "0 fill 1 5000; 0 refresh; 5000 fill 2 4999; 5000 rx 0x; 5010 rx 0x 01; 5010 refresh; 10001 refresh", {},
            "RX|*000000|10|1|01 ; RX|*001388|5000|0|");
        row("600 silent, 600 of 1000 waiting get rows at once",
            "0 fill 10000 5000; 0 refresh; 5000 fill 10258 4400; 5000 fill 0 1000; 5000 refresh; 10001 refresh",
            "… 400 weitere Kennungen", "RX|*000000||0|; RX|*011387|5000|0|");
        row("waiting ones fall silent too", "0 fill 0 5002; 0 refresh; 5000 fill 0 5000; 10001 refresh", {},
            "RX|*000000|5000|0|; RX|*001387|5000|0|");
    }

    void shouldKeepRowsWithinTheLimit()
    {
        QFETCH(Limited, l);
        const int rows = CanViewer::maxRows;

        ClockedViewer viewer;
        viewer.setSelectionMode(QAbstractItemView::MultiSelection);
        const auto ids = [&](const QList<QTreeWidgetItem *> &rows) {
            QStringList ids;
            for (const QTreeWidgetItem *row : rows)
                ids << row->text(CanViewer::IdColumn);
            return ids;
        };
        viewer.run(l.steps.section(QLatin1String("; "), 0, -2));
        // The user's rows stay chosen while the rows around them change, as long as they stay.
        QTreeWidgetItem *chosen = viewer.topLevelItem(std::min(rows, viewer.topLevelItemCount()) - 1);
        viewer.setCurrentItem(chosen);
        if (QTreeWidgetItem *first = viewer.topLevelItem(0))
            first->setSelected(true);
        QStringList picked = ids(viewer.selectedItems());
        viewer.run(l.steps.section(QLatin1String("; "), -1));
        viewer.refresh();

        const QStringList shown = viewer.rows();
        QCOMPARE(shown.size(), rows + (l.waiting.isEmpty() ? 0 : 1));
        QCOMPARE((QStringList{shown.first(), shown[rows - 1]}), l.firstAndLast);
        QCOMPARE(shown.last(), l.waiting.isEmpty() ? shown[rows - 1] : l.waiting + "||||");
        QCOMPARE(viewer.topLevelItem(shown.size() - 1)->isFirstColumnSpanned(), !l.waiting.isEmpty());
        QStringList shownIds = ids(viewer.findItems("*", Qt::MatchWildcard, CanViewer::IdColumn));
        shownIds.removeAll(QString());  // the waiting row's
        QVERIFY(std::is_sorted(shownIds.begin(), shownIds.end()));
        QCOMPARE(viewer.currentItem(), chosen);
        picked.removeIf([&](const QString &id) { return !shownIds.contains(id); });
        QCOMPARE(ids(viewer.selectedItems()), picked);
    }

    // After a refresh the rows in sight show their latest values, on screen
    // as the style's own item painting paints them: selection, focus,
    // alignment and a text cut short included. The others show theirs when
    // they come into sight.
    void shouldPaintLatestValuesOfRowsInSightAsTheStyleDoes()
    {
        registerConsoleFont();
        ClockedViewer viewer;
        viewer.resize(420, 260);
        viewer.setColumnWidth(CanViewer::IdColumn, 40);
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        viewer.run("0 fill 100 30; 0 tx 7f 0102; 0 refresh; 40 rx 7f a0a1a2a3a4a5a6a7; 40 tx 108x; 40 refresh");
        viewer.topLevelItem(3)->setSelected(true);
        viewer.setCurrentItem(viewer.topLevelItem(5));
        viewer.setFocus();
        const auto shown = [&] { return viewer.screen()->grabWindow(viewer.winId()).toImage().convertToFormat(QImage::Format_RGB32); };
        const auto painted = [&] { return viewer.grab().toImage().convertToFormat(QImage::Format_RGB32); };
        QTRY_COMPARE(shown(), painted());
        viewer.run("80 fill 104 4; 80 rx 7f 01; 80 refresh");
        QCoreApplication::processEvents();
        QCOMPARE(viewer.rows()[4], QStringLiteral("RX|*000104|80|0|"));
        QCOMPARE(shown(), painted());
        const QImage ours = painted();
        viewer.setItemDelegate(new QStyledItemDelegate(&viewer));
        QCOMPARE(ours, painted());
        viewer.scrollToBottom();
        QCOMPARE(viewer.rows().constLast(), QStringLiteral("RX|07f|40|1|01 "));
    }

    // In the console's own font, which the console registers.
    void shouldLabelAndPaintRowsAndEmptyOnClearButton()
    {
        registerConsoleFont();
        CANWindow window;
        auto *list = window.findChild<CanViewer *>(QStringLiteral("canView"));
        for (const quint32 id : {0, 1})
            window.handleMsg({false, id});
        QVERIFY(QMetaObject::invokeMethod(list, "updateList"));
        for (int column = 0; column < CanViewer::ColumnCount; ++column) {
            const bool right = column >= CanViewer::IdColumn && column <= CanViewer::DlcColumn;
            QCOMPARE(list->headerItem()->textAlignment(column), right ? int(Qt::AlignRight | Qt::AlignVCenter) : 0);
            QCOMPARE(list->topLevelItem(1)->textAlignment(column), right ? int(Qt::AlignRight) : 0);
            const QFont font = list->topLevelItem(1)->font(column);
            QCOMPARE(QFontInfo(font).family() + ' ' + QString::number(font.pointSize()), QStringLiteral("SmoothTTF 9"));
            QCOMPARE(font.styleStrategy(), QFont::NoAntialias);
        }
        // Every other row on another background, beyond the text at the right.
        window.resize(400, 300);
        const QImage shot = list->viewport()->grab().toImage();
        const auto background = [&](int row) {
            return shot.pixel(shot.width() - 2, list->visualItemRect(list->topLevelItem(row)).center().y());
        };
        QVERIFY(background(0) != background(1));

        window.findChild<QPushButton *>(QStringLiteral("clear"))->click();
        QCOMPARE(list->topLevelItemCount(), 0);
    }
};

QTEST_MAIN(TestCanViewer)
#include "tst_canviewer.moc"
