#include "app/consolefont.h"
#include "app/focusstyle.h"
#include "app/keptsettings.h"
#include "app/mainwindow.h"
#include "app/session.h"
#include "language/language.h"
#include "service/systemdriver.h"
#include "platform/stopsignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QIcon>
#include <QLoggingCategory>
#include <QStyle>

#include <cstdio>
#include <memory>

namespace {

void printLine(FILE *stream, const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stream);
}

// Every dialog and box up is cancelled, in a loop of its own or not, so that
// the console ends from any of them and nothing they ask for is done. A
// bounded number: a window that will not go must not keep the stop spinning.
void cancelModalWindows()
{
    for (int i = 0; i < 16; ++i) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The Korvel service console."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption list(QStringLiteral("list-channels"),
                                  QStringLiteral("Print the channels, one a line as the channel dialog lists them, and exit."));
    const QCommandLineOption channel(QStringLiteral("channel"),
                                     QStringLiteral("Open the channel of that name without the channel dialog."),
                                     QStringLiteral("name"));
    const QCommandLineOption record(QStringLiteral("record"),
                                    QStringLiteral("Record every frame into the file from the start."),
                                    QStringLiteral("file"));
    const QCommandLineOption languageOption = language::option();
    parser.addOptions({list, channel, record, languageOption});

    // What only prints needs no display.
    parser.parse(arguments);
    const std::optional<language::Language> spoken =
        language::choose(parser.value(languageOption), language::systemLanguages());
    const bool windowless = parser.isSet(help) || parser.isSet(version) || parser.isSet(list) || !spoken;
    const std::unique_ptr<QCoreApplication> app =
        windowless ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    // The desktop finds the console's menu entry, and with it its name and
    // icon, by this id; the windows take the icon from the installed theme.
    if (!windowless) {
        QGuiApplication::setDesktopFileName(QStringLiteral(KORVEL_APP_ID));
        QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(KORVEL_APP_ID)));
    }
    QCoreApplication::setApplicationName(QStringLiteral("korvel-console"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));
    parser.process(arguments);
    if (!parser.positionalArguments().isEmpty()) {
        printLine(stderr, QStringLiteral("korvel-console: unexpected argument \"%1\"")
                              .arg(parser.positionalArguments().constFirst()));
        return 1;
    }
    if (!spoken) {
        printLine(stderr, QStringLiteral("korvel-console: ") + language::refusal(parser.value(languageOption)));
        return 1;
    }

    // The answer is all that is printed of a channel asked for: the traces of
    // the listing, of plugins that cannot work here among them, stay out of it.
    const bool quiet = parser.isSet(list) || parser.isSet(channel);
    if (quiet)
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\nqt.canbus.*=false\nkorvel.xl.serialbus=false"));
    // The machine's CAN channels, there before the window lists them and
    // until after it has closed its port.
    service::SystemDriver driver;
    QList<VectorCAN::ChannelEntry> channels;
    int channelIndex = -1;
    if (quiet) {
        VectorCAN(nullptr).listChannels(channels);
        QLoggingCategory::setFilterRules({});
        QStringList names;
        for (const VectorCAN::ChannelEntry &entry : std::as_const(channels)) {
            names << entry.name;
            if (entry.name == parser.value(channel))
                channelIndex = entry.index;
        }
        if (parser.isSet(list)) {
            for (const QString &name : std::as_const(names))
                printLine(stdout, name);
            return 0;
        }
        if (channelIndex < 0) {
            printLine(stderr, QStringLiteral("korvel-console: no channel \"%1\"; the channels are: %2")
                                  .arg(parser.value(channel), names.join(QLatin1String(", "))));
            return 2;
        }
    }

    registerConsoleFont();
    if (const QString problem = language::use(*spoken); !problem.isEmpty())
        printLine(stderr, QStringLiteral("korvel-console: Qt's dialogs stay English: ") + problem);
    QApplication::setStyle(new app::FocusStyle(QApplication::style()->name()));
    // Settings that cannot be read are no reason not to start.
    app::KeptSettings kept;
    if (!kept.problem().isEmpty())
        printLine(stderr, QStringLiteral("korvel-console: settings not kept: ") + kept.problem());
    // Ended by a signal, the console closes as by its window: the recording
    // written out and closed, the port closed, exit code 0. Also while the
    // channel dialog is up, before the window is there.
    platform::StopSignals stopSignals;
    if (!stopSignals.error().isEmpty())
        printLine(stderr, QStringLiteral("korvel-console: cannot watch for SIGINT and SIGTERM: ") + stopSignals.error());
    std::unique_ptr<MainWindow> window;
    bool stopped = false;
    QObject::connect(&stopSignals, &platform::StopSignals::stopRequested, [&window, &stopped] {
        stopped = true;
        cancelModalWindows();
        if (window)
            window->close();
        QCoreApplication::quit();
    });
    window = channelIndex >= 0 ? std::make_unique<MainWindow>(channelIndex) : std::make_unique<MainWindow>();
    if (stopped)
        return 0;
    // Unattended, a channel that does not open ends the run instead of a box
    // waiting for a click.
    if (channelIndex >= 0 && !window->session().isChannelOpen()) {
        printLine(stderr, QStringLiteral("korvel-console: cannot open %1").arg(parser.value(channel)));
        return 1;
    }
    if (parser.isSet(record)) {
        QString error;
        if (!window->session().startRecording(parser.value(record), &error)) {
            printLine(stderr, QStringLiteral("korvel-console: cannot record to %1: %2").arg(parser.value(record), error));
            return 1;
        }
    }
    window->keepSettings(kept);
    window->show();
    return app->exec();
}
