#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "image/bgr_image.h"
#include "panorama/geometry.h"
#include "panorama/six_image.h"
#include "support/patterned_panorama.h"

namespace {


// The live display: 1280 x 720 from 1024-pixel faces, looking across a cube edge.
void BM_RenderViewToImage(benchmark::State& state) {
    auto panorama = patternedPanorama(1024);
    RawImage image(Size{1280, 720});
    const FieldOfView fov = panorama->calculateNominalFOV(image.size());
    for (auto _ : state) {
        panorama->renderViewToImage(30 * degToRad, 20 * degToRad, fov, image);
        benchmark::DoNotOptimize(image.pixels);
    }
}
BENCHMARK(BM_RenderViewToImage)->Unit(benchmark::kMillisecond);

// The paint picture: 1920 x 1080, 2 x 2 samples per pixel, into the view buffer.
void BM_RenderView(benchmark::State& state) {
    auto panorama = patternedPanorama(1024);
    const Size size{1920, 1080};
    panorama->setFOV(panorama->calculateNominalFOV(size));
    panorama->setHeading(30 * degToRad);
    panorama->setPitch(20 * degToRad);
    panorama->allocateView(size);
    for (auto _ : state) {
        panorama->renderView({0, 0}, size, size, 4, panorama->viewPixels.get());
        benchmark::DoNotOptimize(panorama->viewPixels.get());
    }
}
BENCHMARK(BM_RenderView)->Unit(benchmark::kMillisecond);

}  // namespace
