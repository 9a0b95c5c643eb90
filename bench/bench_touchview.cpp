#include "tests/support/grid.h"
#include "touchview/touchview.h"

#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QByteArray variedValues(int count)
{
    QByteArray values(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        values[i] = char(i * 7);
    return values;
}

// One full paint of a matrix of varied values on a 1000 × 600 widget.
void paintMatrix(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const int columns = int(state.range(1));
    const QByteArray values = variedValues(rows * columns);
    Touchview view;
    view.resize(1000, 600);
    view.setData(rows, columns, values);
    QImage image(view.size(), QImage::Format_RGB32);
    for (auto _ : state)
        view.render(&image);
    benchmark::DoNotOptimize(image.constBits());
}

// The same matrix painted the straightforward way, cell by cell: what the
// widget's own painting is measured against.
void paintReference(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const int columns = int(state.range(1));
    const QByteArray values = variedValues(rows * columns);
    for (auto _ : state)
        benchmark::DoNotOptimize(tests::paintReference(rows, columns, values, QSize(1000, 600)).constBits());
}

// A 255 × 255 matrix saved from the grid's context menu, on a 1000 × 600
// grid: the PNG of the grid as shown, or the CSV of its values.
void exportMatrix(benchmark::State &state, const char *name)
{
    Touchview view;
    view.resize(1000, 600);
    view.setData(255, 255, variedValues(255 * 255));
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(name));
    QString error;
    for (auto _ : state) {
        if (!view.save(path, &error))
            state.SkipWithError(qPrintable(error));
    }
}

} // namespace

BENCHMARK_CAPTURE(exportMatrix, png, "matrix.png")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(exportMatrix, csv, "matrix.csv")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(paintMatrix)->Args({255, 255})->Args({14, 24})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(paintReference)->Args({255, 255})->Unit(benchmark::kMillisecond)->UseRealTime();
