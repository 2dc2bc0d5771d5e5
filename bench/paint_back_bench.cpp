// Projection of a fully painted 1920 x 1080 view onto six 1024-pixel faces.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "panorama/geometry.h"
#include "view/paint_back.h"
#include "view/painted_six_image.h"
#include "painted_view.h"

namespace {

void BM_PaintBackFullView(benchmark::State& state) {
    constexpr int faceSize = 1024;
    PaintedSixImage panorama({faceSize, faceSize}, {faceSize, faceSize});
    ViewBuffer view;
    const Camera camera = fullyPaintedView(view);

    for (auto _ : state) {
        paintBack(panorama, camera, view);
        benchmark::DoNotOptimize(panorama.faces[0]->pixels[0]);
    }
}
BENCHMARK(BM_PaintBackFullView)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
