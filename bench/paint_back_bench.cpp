// Projection of a fully painted 1920 x 1080 view onto six 1024-pixel faces.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "panorama/geometry.h"
#include "view/paint_back.h"
#include "view/painted_six_image.h"

namespace {

void BM_PaintBackFullView(benchmark::State& state) {
    constexpr int width = 1920, height = 1080, faceSize = 1024;
    PaintedSixImage panorama({faceSize, faceSize}, {faceSize, faceSize});
    // 90 degrees across, the vertical field of the same focal length; looking a little
    // up and to the left so that several faces receive paint.
    const float fovX = 90 * degToRad;
    const float fovY = 2 * std::atan(std::tan(fovX / 2) * height / width);
    const Camera camera{30 * degToRad, 20 * degToRad, {fovX, fovY}, {width, height}};
    ViewBuffer view;
    view.allocate(camera);
    for (std::size_t i = 0; i < std::size_t{width} * height; ++i) {
        std::uint8_t* p = view.pixels() + 4 * i;
        p[0] = static_cast<std::uint8_t>(i);
        p[1] = static_cast<std::uint8_t>(i >> 8);
        p[2] = 128;
        p[3] = 255;  // every pixel changed
    }

    for (auto _ : state) {
        paintBack(panorama, camera, view);
        benchmark::DoNotOptimize(panorama.faces[0]->pixels[0]);
    }
}
BENCHMARK(BM_PaintBackFullView)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
