#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "image/bgr_image.h"
#include "panorama/geometry.h"
#include "panorama/six_image.h"
#include "support/patterned_panorama.h"
#include "view/render_view.h"

namespace {


// The live display: 1280 x 720 from 1024-pixel faces, looking across a cube edge.
void BM_RenderViewToImage(benchmark::State& state) {
    auto panorama = patternedPanorama(1024);
    RawImage image(Size{1280, 720});
    const Camera camera = nominalCamera(*panorama, 30 * degToRad, 20 * degToRad, image.size());
    for (auto _ : state) {
        renderViewToImage(*panorama, camera, image);
        benchmark::DoNotOptimize(image.pixels);
    }
}
BENCHMARK(BM_RenderViewToImage)->Unit(benchmark::kMillisecond);

// The paint picture: 1920 x 1080, 2 x 2 samples per pixel, into the view buffer.
void BM_RenderView(benchmark::State& state) {
    auto panorama = patternedPanorama(1024);
    const Camera camera = nominalCamera(*panorama, 30 * degToRad, 20 * degToRad, {1920, 1080});
    ViewBuffer view;
    view.allocate(camera);
    for (auto _ : state) {
        renderRect(*panorama, camera, {0, 0}, camera.size, 4, view.pixels());
        benchmark::DoNotOptimize(view.pixels());
    }
}
BENCHMARK(BM_RenderView)->Unit(benchmark::kMillisecond);

}  // namespace
