// The live view's frame while the view turns: a half-resolution render enlarged in place,
// against the full-resolution render it replaces.
#include <benchmark/benchmark.h>

#include <memory>

#include "panorama/geometry.h"
#include "support/patterned_panorama.h"
#include "panorama/six_image.h"
#include "support/patterned_panorama.h"
#include "view/display_images.h"

namespace {

constexpr Size viewArea{1280, 720};

void BM_LiveViewFull(benchmark::State& state) {
    auto panorama = patternedPanorama(1024);
    DisplayImages images(viewArea);
    const FieldOfView fov = panorama->calculateNominalFOV(viewArea);
    for (auto _ : state) {
        panorama->renderViewToImage(30 * degToRad, 20 * degToRad, fov, images.full());
        benchmark::DoNotOptimize(images.full().pixels);
    }
}
BENCHMARK(BM_LiveViewFull)->Unit(benchmark::kMillisecond);

void BM_LiveViewTurning(benchmark::State& state) {
    auto panorama = patternedPanorama(1024);
    DisplayImages images(viewArea);
    const FieldOfView fov = panorama->calculateNominalFOV(viewArea);
    for (auto _ : state) {
        panorama->renderViewToImage(30 * degToRad, 20 * degToRad, fov, images.half());
        expandHalfInPlace(images.full(), images.half().stride);
        benchmark::DoNotOptimize(images.full().pixels);
    }
}
BENCHMARK(BM_LiveViewTurning)->Unit(benchmark::kMillisecond);

// The same frame rendered at half size and enlarged in one pass.
void BM_LiveViewTurningOnePass(benchmark::State& state) {
    auto panorama = patternedPanorama(1024);
    DisplayImages images(viewArea);
    const FieldOfView fov = panorama->calculateNominalFOV(viewArea);
    for (auto _ : state) {
        panorama->renderHalfViewToImage(30 * degToRad, 20 * degToRad, fov, images.full());
        benchmark::DoNotOptimize(images.full().pixels);
    }
}
BENCHMARK(BM_LiveViewTurningOnePass)->Unit(benchmark::kMillisecond);

// The enlargement alone.
void BM_ExpandHalfInPlace(benchmark::State& state) {
    DisplayImages images(viewArea);
    for (auto _ : state) {
        expandHalfInPlace(images.full(), images.half().stride);
        benchmark::DoNotOptimize(images.full().pixels);
    }
}
BENCHMARK(BM_ExpandHalfInPlace)->Unit(benchmark::kMicrosecond);
}  // namespace
