#include <QApplication>

#include <cstdint>
#include <cstdlib>

// Every target paints widgets, without a display, and its trace lines would
// only slow the fuzzer down.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    new QApplication(*argc, *argv);
    return 0;
}
