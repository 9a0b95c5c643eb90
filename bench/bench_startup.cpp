#include "app/consolefont.h"
#include "runbenchmarks.h"
#include "tests/support/startconsole.h"
#include "service/systemdriver.h"

#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>

extern char **environ;

namespace {

const char startOnce[] = "--start-once";

// The console as main() starts it, with the channel dialog accepted at once,
// until its window is shown.
int startConsoleOnce(int argc, char *argv[])
{
    QApplication app(argc, argv);
    registerConsoleFont();
    service::SystemDriver driver;
    std::unique_ptr<MainWindow> window = tests::startConsole(QDialogButtonBox::Ok);
    return QTest::qWaitForWindowExposed(window.get()) ? 0 : 1;
}

// Each start is a process of its own, so that the time includes loading the
// program and the peak memory is the console's alone.
void startUp(benchmark::State &state)
{
    char program[] = "/proc/self/exe";
    char option[sizeof startOnce];
    std::memcpy(option, startOnce, sizeof startOnce);
    char *const arguments[] = {program, option, nullptr};
    long peakKiB = 0;
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        rusage usage{};
        if (posix_spawn(&child, program, nullptr, nullptr, arguments, environ) != 0
            || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the console did not start");
            break;
        }
        peakKiB = std::max(peakKiB, usage.ru_maxrss);
    }
    state.counters["peak_MB"] = double(peakKiB) / 1024;
}

} // namespace

BENCHMARK(startUp)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 2 && std::strcmp(argv[1], startOnce) == 0)
        return startConsoleOnce(argc, argv);
    return runBenchmarks(argc, argv);
}
