#include "app/consolefont.h"
#include "app/mainwindow.h"
#include "app/systemdriver.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    registerConsoleFont();
    // The machine's CAN channels, there before the window lists them and
    // until after it has closed its port.
    app::SystemDriver driver;
    MainWindow window;
    window.show();
    return app.exec();
}
