#include "support/grid.h"
#include "touchview/touchview.h"

#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// The bytes of a 2 × 3 matrix and of a reference to it; shown doubled, the
// differences are 0, +20, -510 / 0, +510, -128.
const QByteArray matrix("\x00\x6E\x00\x32\xFF\x00", 6);
const QByteArray reference("\x00\x64\xFF\x32\x00\x40", 6);

} // namespace

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

    void shouldPaintBlackWithoutMatrix_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("bytes");

        QTest::newRow("0 rows") << 0 << 3 << 0;
        QTest::newRow("0 columns") << 2 << 0 << 0;
        QTest::newRow("3 x 4 with 11 bytes") << 3 << 4 << 11;
    }

    // A matrix shown before is dropped by the one that does not fit, and the
    // menu offers nothing to save, copy or keep.
    void shouldPaintBlackWithoutMatrix()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, bytes);

        Touchview view;
        view.resize(150, 100);
        QImage black(view.size(), QImage::Format_RGB32);
        black.fill(Qt::black);
        view.setData(2, 3, QByteArray(6, 64));
        view.setData(rows, columns, QByteArray(bytes, 64));
        QCOMPARE(tests::render(view), black);

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
    }

    // Labels of the doubled value (not clamped) or of the signed difference,
    // in white outlined in black, half a row high where the widest fits the
    // narrowest cell, smaller where not, none below a legible size; never
    // reaching a cell's outermost pixels, its own or its neighbours'. Whole
    // and in part: a part must come out as the same pixels of the whole.
    // Painted at another size before, the widget must not keep labels that no
    // longer fit.
    void shouldPaintAsTheStraightforwardPainting_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("difference");  // of the 2 x 3 matrix to its reference
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("part");
        QTest::addColumn<QSize>("before");
        QTest::addColumn<QString>("labels");  // "full size" as the reference, "smaller" or "none"

        QTest::newRow("3 digits, 14 x 24 full screen") << 14 << 24 << false << QSize(1900, 1000)
                                                       << QRect(60, 60, 100, 80) << QSize() << "full size";
        QTest::newRow("3 digits, 14 x 24 on 600 x 350") << 14 << 24 << false << QSize(600, 350)
                                                        << QRect(20, 20, 40, 40) << QSize() << "smaller";
        QTest::newRow("3 digits, 14 x 24 on 300 x 200") << 14 << 24 << false << QSize(300, 200)
                                                        << QRect(10, 10, 30, 30) << QSize() << "none";
        QTest::newRow("255 x 255 on 1000 x 600") << 255 << 255 << false << QSize(1000, 600) << QRect(500, 300, 17, 9)
                                                 << QSize() << "none";
        QTest::newRow("cells 2 pixels narrower than before") << 3 << 5 << false << QSize(303, 100)
                                                             << QRect(50, 20, 30, 40) << QSize(313, 100) << "full size";
        QTest::newRow("cells a pixel lower than before, smaller font")
            << 3 << 5 << false << QSize(303, 100) << QRect(50, 20, 30, 40) << QSize(303, 103) << "full size";
        QTest::newRow("+510 and -510 on 200 x 70") << 2 << 3 << true << QSize(200, 70) << QRect(50, 20, 30, 40)
                                                   << QSize() << "full size";
        QTest::newRow("+510 and -510 on 120 x 70") << 2 << 3 << true << QSize(120, 70) << QRect(30, 20, 30, 40)
                                                   << QSize() << "smaller";
        QTest::newRow("+510 and -510 on 60 x 70") << 2 << 3 << true << QSize(60, 70) << QRect(10, 20, 30, 40)
                                                  << QSize() << "none";
    }

    void shouldPaintAsTheStraightforwardPainting()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(bool, difference);
        QFETCH(QSize, size);
        QFETCH(QRect, part);
        QFETCH(QSize, before);
        QFETCH(QString, labels);

        QByteArray values = matrix;
        Touchview view;
        if (difference) {
            view.setData(2, 3, reference);
            view.keepReference();
            view.setDifference(true);
        } else {
            values.clear();
            for (int i = 0; i < rows * columns; ++i)
                values.append(char(i * 37));
        }
        view.setData(rows, columns, values);
        if (before.isValid()) {
            view.resize(before);
            tests::render(view);
        }
        view.resize(size);
        const QImage whole = tests::render(view);
        QImage partly(size, QImage::Format_RGB32);
        partly.fill(Qt::magenta);
        view.render(&partly, part.topLeft(), part);
        QCOMPARE(tests::largestDifference(partly, whole, part), 0);

        const auto paint = [&](bool labelled) {
            return difference ? tests::paintDifferenceReference(rows, columns, values, reference, size, labelled)
                              : tests::paintReference(rows, columns, values, size, labelled);
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
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const bool inked = whole.pixel(x, y) != cells.pixel(x, y);
                ink += inked;
                inkAtEdges += inked && (atCellEdge(x, columns, size.width()) || atCellEdge(y, rows, size.height()));
                inexact += inked && reference.pixel(x, y) == cells.pixel(x, y);
            }
        }
        QCOMPARE(inkAtEdges, 0);
        QCOMPARE(ink > 0, labels != QLatin1String("none"));
        if (labels != QLatin1String("full size"))
            return;
        // Blending the label as one image rounds a little differently. Where
        // no label has ink the cells' colours come out exact, but for the odd
        // pixel that the faintest edge of a label reaches.
        const int largest = tests::largestDifference(whole, reference, whole.rect());
        QVERIFY2(largest <= 4, qPrintable(QString::number(largest)));
        QVERIFY2(inexact <= 20, qPrintable(QString::number(inexact)));
    }

    // A cell's tooltip names it, counted from 1, and what it shows, also
    // where its label is left out. The cells of 200 x 70 start at x 0, 66, 133
    // and y 0, 35.
    void shouldTellACellsValue_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("difference");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QString>("tip");

        QTest::newRow("last pixel of the first cell") << QSize(200, 70) << false << QPoint(65, 34)
                                                      << "Zeile 1, Spalte 1: 0";
        QTest::newRow("first pixel of the fifth cell") << QSize(200, 70) << false << QPoint(66, 35)
                                                       << "Zeile 2, Spalte 2: 510";
        QTest::newRow("bottom right") << QSize(200, 70) << false << QPoint(199, 69) << "Zeile 2, Spalte 3: 0";
        QTest::newRow("difference") << QSize(200, 70) << true << QPoint(66, 35) << "Zeile 2, Spalte 2: +510";
        QTest::newRow("without labels") << QSize(30, 20) << false << QPoint(15, 10) << "Zeile 2, Spalte 2: 510";
    }

    void shouldTellACellsValue()
    {
        QFETCH(QSize, size);
        QFETCH(bool, difference);
        QFETCH(QPoint, point);
        QFETCH(QString, tip);

        Touchview view;
        view.resize(size);
        view.setData(2, 3, reference);
        view.keepReference();
        view.setData(2, 3, matrix);
        view.setDifference(difference);
        view.show();
        QHelpEvent help(QEvent::ToolTip, point, view.mapToGlobal(point));
        QApplication::sendEvent(&view, &help);
        QCOMPARE(QToolTip::text(), tip);
    }

    // Tab reaches the grid, which then shows a frame, left out of a saved
    // image. The Menu key and Shift+F10 open the menu in the grid, where the
    // arrows and Return pick an entry; "Matrix speichern…" proposes a stamped
    // name in the export folder. Ctrl+C copies at once.
    void shouldWorkFromTheKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("downs");  // in the menu, before Return
        QTest::addColumn<QString>("done");

        QTest::newRow("Menu key, first entry") << int(Qt::Key_Menu) << int(Qt::NoModifier) << 0 << "saved";
        QTest::newRow("Shift+F10, second entry") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << 1 << "copied";
        QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier) << 0 << "copied";
        QTest::newRow("F10 alone") << int(Qt::Key_F10) << int(Qt::NoModifier) << 0 << "";
    }

    void shouldWorkFromTheKeyboard()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, downs);
        QFETCH(QString, done);

        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *field = new QLineEdit;
        auto *view = new Touchview;
        layout->addWidget(field);
        layout->addWidget(view);
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
        QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCoreApplication::processEvents();  // where no menu came, the handler is called here, not after the row
        QCOMPARE(copied.size(), int(done == QLatin1String("copied")));
        QCOMPARE(saved.size(), int(done == QLatin1String("saved")));
        if (done == QLatin1String("saved")) {
            QCOMPARE(saved.at(0).at(0).toString(), proposed);
            QCOMPARE(QFileInfo(proposed).dir(), QDir(dir.path()));
            QVERIFY(QFileInfo(proposed).fileName().startsWith(QLatin1String("korvel-matrix-")));
        }
    }

    // The PNG is the grid as painted, which shows the difference only when
    // asked and to a reference of the matrix's size.
    void shouldExportWhatItShows_data()
    {
        QTest::addColumn<QString>("target");  // a file name, or the clipboard
        QTest::addColumn<bool>("difference");
        QTest::addColumn<int>("referenceRows");
        QTest::addColumn<QString>("expected");  // the text written; for an image whether it shows the difference

        QTest::newRow("CSV") << "matrix.csv" << false << 2 << "0,220,0\n100,510,0\n";
        QTest::newRow("CSV of the difference") << "matrix.CSV" << true << 2 << "0,+20,-510\n0,+510,-128\n";
        QTest::newRow("clipboard") << QString() << false << 2 << "0\t220\t0\n100\t510\t0\n";
        QTest::newRow("PNG, reference kept") << "matrix.png" << false << 2 << "matrix";
        QTest::newRow("PNG of the difference") << "matrix.png" << true << 2 << "difference";
        QTest::newRow("PNG, reference of 3 x 2") << "matrix.png" << true << 3 << "matrix";
        QTest::newRow("unwritable") << "missing/matrix.csv" << false << 2 << QString();
    }

    void shouldExportWhatItShows()
    {
        QFETCH(QString, target);
        QFETCH(bool, difference);
        QFETCH(int, referenceRows);
        QFETCH(QString, expected);

        Touchview view;
        view.resize(200, 70);
        view.setData(referenceRows, 6 / referenceRows, reference);
        view.keepReference();
        view.setData(2, 3, matrix);
        view.setDifference(difference);
        if (target.isEmpty()) {
            view.copy();
            QCOMPARE(QGuiApplication::clipboard()->text(), expected);
            return;
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(target);
        QString error;
        QCOMPARE(view.save(path, &error), !expected.isEmpty());
        QCOMPARE(error.isEmpty(), !expected.isEmpty());
        if (expected.isEmpty())
            return;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (target.endsWith(QLatin1String("csv"), Qt::CaseInsensitive)) {
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
