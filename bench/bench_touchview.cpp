#include "touchview/touchview.h"

#include <QImage>

#include <benchmark/benchmark.h>

namespace {

// One full paint of a matrix of varied values on a 1000 × 600 widget.
void paintMatrix(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const int columns = int(state.range(1));
    QByteArray values(rows * columns, Qt::Uninitialized);
    for (int i = 0; i < values.size(); ++i)
        values[i] = char(i * 7);
    Touchview view;
    view.resize(1000, 600);
    view.setData(rows, columns, values);
    QImage image(view.size(), QImage::Format_RGB32);
    for (auto _ : state)
        view.render(&image);
    benchmark::DoNotOptimize(image.constBits());
}

} // namespace

BENCHMARK(paintMatrix)->Args({255, 255})->Args({14, 24})->Unit(benchmark::kMillisecond)->UseRealTime();
