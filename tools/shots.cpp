#include "app/consolefont.h"
#include "app/focusstyle.h"
#include "language/language.h"
#include "app/mainwindow.h"
#include "service/systemdriver.h"
#include "monitor/canwindow.h"
#include "monitor/pressurechart.h"
#include "sim/korveldevice.h"
#include "touchview/touchview.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

namespace {

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void tick(QWidget &window, const char *box)
{
    auto *group = window.findChild<QGroupBox *>(QLatin1String(box));
    group->setChecked(true);
    emit group->clicked(true);
}

// Fusion's colours turned dark, as a desktop in dark mode gives them.
QPalette darkPalette()
{
    QPalette palette;
    const QColor window(45, 45, 48);
    const QColor base(30, 30, 32);
    const QColor text(225, 225, 225);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, QColor(90, 160, 240));
    palette.setColor(QPalette::Highlight, QColor(60, 130, 220));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(140, 140, 140));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(125, 125, 125));
    return palette;
}

} // namespace

// The screenshots of the README, taken on the simulated device without a
// display: the console at its own size and large, the difference view, the
// activity window and the pressure chart; with --dark under a dark palette.
// QT_SCALE_FACTOR scales them as on a high-density screen.
int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Takes the README's screenshots into the folder."));
    parser.addHelpOption();
    const QCommandLineOption dark(QStringLiteral("dark"), QStringLiteral("Fusion with a dark palette."));
    const QCommandLineOption only(QStringLiteral("only"), QStringLiteral("Just the console at its own size, named so."),
                                  QStringLiteral("name"));
    parser.addOptions({dark, only});
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Where the PNGs go."));
    parser.process(application);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(1);
    const QDir folder(parser.positionalArguments().constFirst());

    registerConsoleFont();
    language::use(language::Language::German);
    if (parser.isSet(dark)) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
    }
    QApplication::setStyle(new app::FocusStyle(QApplication::style()->name()));
    service::SystemDriver driver;
    QList<VectorCAN::ChannelEntry> channels;
    VectorCAN(nullptr).listChannels(channels);
    int simulator = -1;
    for (const VectorCAN::ChannelEntry &entry : std::as_const(channels)) {
        if (entry.name == QLatin1String("Korvel-Simulator"))
            simulator = entry.index;
    }
    MainWindow window(simulator);
    window.show();
    tick(window, "readPressureSensors");
    tick(window, "readTPraw");
    driver.simulatedDevice().holdForce(0);
    wait(1500);
    window.findChild<QPushButton *>(QStringLiteral("pressureUnstressed"))->click();
    driver.simulatedDevice().holdForce(5);
    wait(1500);
    window.findChild<QPushButton *>(QStringLiteral("pressureStressed"))->click();
    wait(500);
    const auto save = [&](QWidget &widget, const char *name) {
        const QString path = folder.filePath(QLatin1String(name) + QLatin1String(".png"));
        if (!widget.grab().save(path)) {
            std::fprintf(stderr, "korvel-shots: cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
    };
    if (parser.isSet(only)) {
        save(window, qPrintable(parser.value(only)));
        return 0;
    }
    save(window, "console");

    window.resize(1600, 960);
    wait(1000);
    save(window, "console-large");
    auto *grid = window.findChild<Touchview *>(QStringLiteral("touchview"));
    grid->keepReference();
    grid->setDifference(true);
    wait(1200);
    save(window, "difference");

    window.findChild<QPushButton *>(QStringLiteral("showCANView"))->click();
    wait(1500);
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *activity = qobject_cast<CANWindow *>(top))
            save(*activity, "activity");
    }
    QMetaObject::invokeMethod(&window, "showPressureChart");
    wait(1500);
    save(*window.findChild<PressureChart *>(), "pressurechart");
    window.close();
    return 0;
}
