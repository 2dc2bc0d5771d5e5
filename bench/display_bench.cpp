// The live view's frame while the view turns: a half-resolution render enlarged in place,
// against the full-resolution render it replaces, into the window's pictures and into
// the shared frame's four-byte rows.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "panorama/geometry.h"
#include "panorama/six_image.h"
#include "support/patterned_panorama.h"
#include "view/display_images.h"
#include "view/render_view.h"

namespace {

constexpr Size viewArea{1280, 720};
const float heading = 30 * degToRad, pitch = 20 * degToRad;

// 1024-pixel faces and the pictures of the view area, made once per benchmark.
class LiveView : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override {
        panorama = patternedPanorama(1024);
        images = std::make_unique<DisplayImages>(viewArea);
        camera = nominalCamera(*panorama, heading, pitch, viewArea);
        frame.assign(4 * static_cast<std::size_t>(viewArea.width) * viewArea.height, 255);
    }
    void TearDown(const benchmark::State&) override {
        panorama.reset();
        images.reset();
    }
    // The shared frame's layout: four bytes a pixel, top row first.
    PixelRows frameRows() { return topDownRows(frame.data(), 4 * static_cast<std::size_t>(viewArea.width), viewArea, 4); }

    std::unique_ptr<PaintedSixImage> panorama;
    std::unique_ptr<DisplayImages> images;
    Camera camera;
    std::vector<std::uint8_t> frame;
};

BENCHMARK_F(LiveView, Full)(benchmark::State& state) {
    for (auto _ : state) {
        renderViewToImage(*panorama, camera, images->full());
        benchmark::DoNotOptimize(images->full().pixels);
    }
}

BENCHMARK_F(LiveView, Turning)(benchmark::State& state) {
    for (auto _ : state) {
        renderViewToImage(*panorama, camera, images->half());
        expandHalfInPlace(images->full(), images->half().stride);
        benchmark::DoNotOptimize(images->full().pixels);
    }
}

// The same frame rendered at half size and enlarged in one pass.
BENCHMARK_F(LiveView, TurningOnePass)(benchmark::State& state) {
    for (auto _ : state) {
        renderHalfViewToImage(*panorama, camera, images->full());
        benchmark::DoNotOptimize(images->full().pixels);
    }
}

BENCHMARK_F(LiveView, FullIntoFrame)(benchmark::State& state) {
    const PixelRows rows = frameRows();
    for (auto _ : state) {
        renderViewToRows(*panorama, camera, rows);
        benchmark::DoNotOptimize(frame.data());
    }
}

BENCHMARK_F(LiveView, TurningIntoFrame)(benchmark::State& state) {
    const PixelRows rows = frameRows();
    for (auto _ : state) {
        renderHalfViewToRows(*panorama, camera, rows);
        benchmark::DoNotOptimize(frame.data());
    }
}

// The enlargement alone.
BENCHMARK_F(LiveView, ExpandHalfInPlace)(benchmark::State& state) {
    for (auto _ : state) {
        expandHalfInPlace(images->full(), images->half().stride);
        benchmark::DoNotOptimize(images->full().pixels);
    }
}

BENCHMARK_REGISTER_F(LiveView, Full)->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(LiveView, Turning)->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(LiveView, TurningOnePass)->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(LiveView, FullIntoFrame)->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(LiveView, TurningIntoFrame)->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(LiveView, ExpandHalfInPlace)->Unit(benchmark::kMicrosecond);

}  // namespace
