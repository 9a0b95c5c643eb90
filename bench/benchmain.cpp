#include "app/consolefont.h"
#include "runbenchmarks.h"

#include <QApplication>

// Widgets need an application, and a benchmark run needs no display.
int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerConsoleFont();
    return runBenchmarks(argc, argv);
}
