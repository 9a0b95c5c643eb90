#include "support/grid.h"
#include "touchview/touchview.h"

#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

namespace {

// The bytes of a 2 × 3 matrix and of a reference to it; shown doubled, the
// differences are 0, +20, -510 / 0, +510, -128.
const QByteArray matrix("\x00\x6E\x00\x32\xFF\x00", 6);
const QByteArray reference("\x00\x64\xFF\x32\x00\x40", 6);

// A matrix of so many rows and columns, or the difference of the 2 x 3 one to
// its reference; the widget's size, a part of it painted alone, its labels
// ("full size" as the reference, "smaller", "none", or "black"), and the size
// it was painted at before, if any.
struct Painting { int rows, columns; bool difference; QSize size; QRect part; QString labels; QSize before; };

} // namespace

Q_DECLARE_METATYPE(Painting)

// The grid painted, and its matrix saved, copied and compared with a reference kept.
class TestTouchview : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // A pixel size of 0 must leave the font alone, not make Qt complain;
        // only the headless platform's notes on the menu may come.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support).*")));
    }

    // Labels of the doubled value (not clamped) or of the signed difference,
    // in white outlined in black, half a row high where the widest fits the
    // narrowest cell, smaller where not, none below a legible size; never
    // reaching a cell's outermost pixels, its own or its neighbours'. Whole
    // and in part: a part must come out as the same pixels of the whole.
    // Painted at another size before, the widget must not keep labels that no
    // longer fit. Without a matrix it is black, a matrix shown before dropped
    // by one that does not fit, and the menu offers nothing to save, copy or keep.
    void shouldPaintAsTheStraightforwardPainting_data()
    {
        QTest::addColumn<Painting>("p");
        const auto row = [](const char *name, int rows, int columns, bool difference, QSize size, QRect part,
                            const char *labels, QSize before = {}) {
            QTest::newRow(name) << Painting{rows, columns, difference, size, part, labels, before};
        };
        row("3 digits, 14 x 24 full screen", 14, 24, false, {1900, 1000}, {60, 60, 100, 80}, "full size");
        row("3 digits, 14 x 24 on 600 x 350", 14, 24, false, {600, 350}, {20, 20, 40, 40}, "smaller");
        row("3 digits, 14 x 24 on 300 x 200", 14, 24, false, {300, 200}, {10, 10, 30, 30}, "none");
        row("255 x 255 on 1000 x 600", 255, 255, false, {1000, 600}, {500, 300, 17, 9}, "none");
        row("cells 2 pixels narrower than before", 3, 5, false, {303, 100}, {50, 20, 30, 40}, "full size", {313, 100});
        row("cells a pixel lower than before, smaller font", 3, 5, false, {303, 100}, {50, 20, 30, 40}, "full size",
            {303, 103});
        row("+510 and -510 on 200 x 70", 2, 3, true, {200, 70}, {50, 20, 30, 40}, "full size");
        row("+510 and -510 on 120 x 70", 2, 3, true, {120, 70}, {30, 20, 30, 40}, "smaller");
        row("+510 and -510 on 60 x 70", 2, 3, true, {60, 70}, {10, 20, 30, 40}, "none");
        // A byte short of the matrix, where it has any.
        row("0 rows", 0, 3, false, {150, 100}, {5, 5, 30, 30}, "black");
        row("0 columns", 2, 0, false, {150, 100}, {5, 5, 30, 30}, "black");
        row("3 x 4 with 11 bytes", 3, 4, false, {150, 100}, {5, 5, 30, 30}, "black");
    }

    void shouldPaintAsTheStraightforwardPainting()
    {
        QFETCH(Painting, p);

        QByteArray values = matrix;
        Touchview view;
        view.setData(2, 3, reference);
        if (p.difference) {
            view.keepReference();
            view.setDifference(true);
        } else {
            values.resize(p.rows * p.columns);
            for (int i = 0; i < values.size(); ++i)
                values[i] = char(i * 37);
            if (p.labels == QLatin1String("black"))
                values.chop(1);
        }
        view.setData(p.rows, p.columns, values);
        view.resize(p.before.isValid() ? p.before : p.size);
        tests::render(view);
        view.resize(p.size);
        const QImage whole = tests::render(view);
        QImage partly(p.size, QImage::Format_RGB32);
        partly.fill(Qt::magenta);
        view.render(&partly, p.part.topLeft(), p.part);
        QCOMPARE(tests::largestDifference(partly, whole, p.part), 0);
        if (p.labels == QLatin1String("black")) {
            QImage black(p.size, QImage::Format_RGB32);
            black.fill(Qt::black);
            QCOMPARE(whole, black);
            QStringList enabled{"no menu"};
            QTimer::singleShot(0, [&] {
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                enabled.clear();
                for (const QAction *action : menu->actions())
                    enabled << (action->isEnabled() ? action->text() : QString());
                menu->close();
            });
            QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), view.mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(&view, &click);
            QCOMPARE(enabled, QStringList(4, QString()));
            return;
        }

        const auto paint = [&](bool labelled) {
            return p.difference ? tests::paintDifferenceReference(p.rows, p.columns, values, reference, p.size, labelled)
                                : tests::paintReference(p.rows, p.columns, values, p.size, labelled);
        };
        const QImage cells = paint(false);
        const QImage reference = paint(true);
        const auto atCellEdge = [](int x, int count, int length) {
            const int cell = ((x + 1) * count - 1) / length;
            return x == cell * length / count || x == (cell + 1) * length / count - 1;
        };
        // Ink: a pixel not of its cell's colour. Inexact: ink where the
        // reference has none.
        int ink = 0;
        int inkAtEdges = 0;
        int inexact = 0;
        for (int y = 0; y < p.size.height(); ++y) {
            for (int x = 0; x < p.size.width(); ++x) {
                const bool inked = whole.pixel(x, y) != cells.pixel(x, y);
                ink += inked;
                inkAtEdges += inked && (atCellEdge(x, p.columns, p.size.width()) || atCellEdge(y, p.rows, p.size.height()));
                inexact += inked && reference.pixel(x, y) == cells.pixel(x, y);
            }
        }
        QCOMPARE(inkAtEdges, 0);
        QCOMPARE(ink > 0, p.labels != QLatin1String("none"));
        if (p.labels != QLatin1String("full size"))
            return;
        // Blending the label as one image rounds a little differently. Where
        // no label has ink the cells' colours come out exact, but for the odd
        // pixel that the faintest edge of a label reaches.
        const int largest = tests::largestDifference(whole, reference, whole.rect());
        QVERIFY2(largest <= 4, qPrintable(QString::number(largest)));
        QVERIFY2(inexact <= 20, qPrintable(QString::number(inexact)));
    }

    // Tab reaches the grid, which then shows a frame, left out of a saved
    // image. The Menu key and Shift+F10 open the menu in the grid, where the
    // arrows and Return pick an entry; "Matrix speichern…" proposes a stamped
    // name in the export folder. Ctrl+C copies at once; a copy is the values
    // tab-separated.
    void shouldWorkFromTheKeyboard_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<int>("downs");  // in the menu, before Return
        QTest::addColumn<QString>("done");

        QTest::newRow("Menu key, first entry") << QKeySequence(Qt::Key_Menu) << 0 << "saved";
        QTest::newRow("Shift+F10, second entry") << QKeySequence(Qt::SHIFT | Qt::Key_F10) << 1 << "copied";
        QTest::newRow("Ctrl+C") << QKeySequence(Qt::CTRL | Qt::Key_C) << 0 << "copied";
        QTest::newRow("F10 alone") << QKeySequence(Qt::Key_F10) << 0 << "";
    }

    void shouldWorkFromTheKeyboard()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(int, downs);
        QFETCH(QString, done);

        QWidget window;
        auto *field = new QLineEdit(&window);
        auto *view = new Touchview(&window);
        view->setGeometry(0, 40, 200, 100);
        view->setData(2, 3, matrix);
        QTemporaryDir dir;
        view->setExportFolder(dir.path());
        window.resize(200, 140);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QImage unfocused = tests::render(*view);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Tab);
        QVERIFY(view->hasFocus());

        // Every pixel of the three at the edges changes, no other.
        const QImage focused = tests::render(*view);
        const QRect inside = focused.rect().adjusted(3, 3, -3, -3);
        int asFramed = 0;
        for (int y = 0; y < focused.height(); ++y) {
            for (int x = 0; x < focused.width(); ++x)
                asFramed += (focused.pixel(x, y) != unfocused.pixel(x, y)) != inside.contains(x, y);
        }
        QCOMPARE(asFramed, focused.width() * focused.height());
        QString error;
        QVERIFY(view->save(dir.filePath(QStringLiteral("focused.png")), &error));
        QCOMPARE(QImage(dir.filePath(QStringLiteral("focused.png"))).convertToFormat(QImage::Format_RGB32), unfocused);

        QSignalSpy saved(view, &Touchview::saved);
        QSignalSpy copied(view, &Touchview::copied);
        QString proposed;
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            QTimer::singleShot(0, [&] {
                if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                    proposed = dialog->selectedFiles().value(0);
                    static_cast<QDialog *>(dialog)->accept();
                }
            });
            for (int i = 0; i < downs; ++i)
                QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::keySequence(view, keys);
        QCoreApplication::processEvents();  // where no menu came, the handler is called here, not after the row
        QCOMPARE(copied.size(), int(done == QLatin1String("copied")));
        QCOMPARE(saved.size(), int(done == QLatin1String("saved")));
        if (done == QLatin1String("copied"))
            QCOMPARE(QGuiApplication::clipboard()->text(), "0\t220\t0\n100\t510\t0\n");
        if (done == QLatin1String("saved")) {
            QCOMPARE(saved.at(0).at(0).toString(), proposed);
            QCOMPARE(QFileInfo(proposed).dir(), QDir(dir.path()));
            QVERIFY(QFileInfo(proposed).fileName().startsWith(QLatin1String("korvel-matrix-")));
        }
    }

    // What it tells of what it shows, which is the difference only when asked
    // and to a reference of the matrix's size: a cell's tooltip names it,
    // counted from 1, also where its label is left out (the cells of 200 x 70
    // start at x 0, 66, 133 and y 0, 35); a CSV, the device's bytes whatever is
    // shown; the PNG, the grid as painted.
    void shouldTellWhatItShows_data()
    {
        QTest::addColumn<QVariant>("target");  // a point's tooltip or a file name
        QTest::addColumn<bool>("difference");
        QTest::addColumn<QString>("expected");  // the text; for an image whether it shows the difference
        QTest::addColumn<int>("referenceRows");
        QTest::addColumn<QSize>("size");
        const auto row = [](const char *name, const QVariant &target, bool difference, const QString &expected,
                            int referenceRows = 2, QSize size = {200, 70}) {
            QTest::newRow(name) << target << difference << expected << referenceRows << size;
        };
        row("tooltip, last pixel of the first cell", QPoint(65, 34), false, "Zeile 1, Spalte 1: 0");
        row("tooltip, first pixel of the fifth cell", QPoint(66, 35), false, "Zeile 2, Spalte 2: 510");
        row("tooltip, bottom right", QPoint(199, 69), false, "Zeile 2, Spalte 3: 0");
        row("tooltip, difference", QPoint(66, 35), true, "Zeile 2, Spalte 2: +510");
        row("tooltip without labels", QPoint(15, 10), false, "Zeile 2, Spalte 2: 510", 2, {30, 20});
        row("CSV", "matrix.csv", false, "0,110,0\n50,255,0\n");
        row("CSV of the difference", "matrix.CSV", true, "0,110,0\n50,255,0\n");
        row("PNG, reference kept", "matrix.png", false, "matrix");
        row("PNG of the difference", "matrix.png", true, "difference");
        row("PNG, reference of 3 x 2", "matrix.png", true, "matrix", 3);
        row("unwritable", "missing/matrix.csv", false, QString());
    }

    void shouldTellWhatItShows()
    {
        QFETCH(QVariant, target);
        QFETCH(bool, difference);
        QFETCH(QString, expected);
        QFETCH(int, referenceRows);
        QFETCH(QSize, size);

        Touchview view;
        view.resize(size);
        view.setData(referenceRows, 6 / referenceRows, reference);
        view.keepReference();
        view.setData(2, 3, matrix);
        view.setDifference(difference);
        if (target.typeId() == QMetaType::QPoint) {
            view.show();
            QHelpEvent help(QEvent::ToolTip, target.toPoint(), view.mapToGlobal(target.toPoint()));
            QApplication::sendEvent(&view, &help);
            QCOMPARE(QToolTip::text(), expected);
            return;
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(target.toString());
        QString error;
        QCOMPARE(view.save(path, &error), !expected.isEmpty());
        QCOMPARE(error.isEmpty(), !expected.isEmpty());
        if (expected.isEmpty())
            return;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (path.endsWith(QLatin1String("csv"), Qt::CaseInsensitive)) {
            QCOMPARE(file.readAll(), expected.toUtf8());
            return;
        }
        const QImage saved = QImage::fromData(file.readAll(), "PNG").convertToFormat(QImage::Format_RGB32);
        QCOMPARE(saved, tests::render(view));
        const QImage painted = expected == QLatin1String("difference")
            ? tests::paintDifferenceReference(2, 3, matrix, reference, view.size())
            : tests::paintReference(2, 3, matrix, view.size());
        QVERIFY(tests::largestDifference(saved, painted, saved.rect()) <= tests::antiAliasingLevels);
    }
};

QTEST_MAIN(TestTouchview)
#include "tst_touchview.moc"
