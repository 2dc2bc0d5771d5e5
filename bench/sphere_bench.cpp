// Targets on one core (argument 1): sphereToCube 4096 x 2048 into 1024-pixel faces under
// 300 ms, cylinderToCube 4096 x 1024 under 250 ms, cubeToSphere into 4096 x 2048 under
// 400 ms. Argument 0 runs one thread per hardware thread.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "image/bgr_image.h"
#include "panorama/geometry.h"
#include "panorama/six_image.h"
#include "panorama/sphere.h"

namespace {

constexpr int faceSide = 1024;

// A source with detail everywhere, so that no sample repeats a cached line.
std::unique_ptr<RawImage> texturedImage(Size size) {
    auto image = std::make_unique<RawImage>(size);
    for (int y = 0; y < size.height; ++y) {
        std::uint8_t* p = image->row(y);
        for (int x = 0; x < size.width; ++x, p += 3) {
            p[0] = static_cast<std::uint8_t>(x ^ y);
            p[1] = static_cast<std::uint8_t>(x * 3 + y);
            p[2] = static_cast<std::uint8_t>(y * 5 - x);
        }
    }
    return image;
}

std::unique_ptr<SixImage> whiteCube(int side) {
    auto cube = std::make_unique<SixImage>();
    for (auto& face : cube->faces) {
        auto image = std::make_unique<RawImage>(Size{side, side});
        std::memset(image->pixels, 0xFF, static_cast<std::size_t>(image->stride) * side);
        face = std::move(image);
    }
    return cube;
}

void BM_SphereToCube(benchmark::State& state) {
    const auto source = texturedImage({4 * faceSide, 2 * faceSide});
    const auto cube = whiteCube(faceSide);
    const double half = 1.5707963705062866;
    for (auto _ : state) {
        sphereToCube(*cube, source->pixels, source->width, source->height, source->stride, -half, half,
                     static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(cube->faces[0]->pixels);
    }
}
BENCHMARK(BM_SphereToCube)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The four side faces alone, whose rows step their tangents and turn them into latitudes.
void BM_SphereSidesToCube(benchmark::State& state) {
    const auto source = texturedImage({4 * faceSide, 2 * faceSide});
    const auto cube = whiteCube(faceSide);
    const double half = 1.5707963705062866;
    FaceRegions regions{};
    for (int face : {Front, Back, Left, Right}) regions[face] = {0, 0, faceSide, faceSide};
    for (auto _ : state) {
        sphereToCubeRegions(*cube, source->pixels, source->width, source->height, source->stride, -half, half,
                            regions, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(cube->faces[0]->pixels);
    }
}
BENCHMARK(BM_SphereSidesToCube)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CylinderToCube(benchmark::State& state) {
    const auto source = texturedImage({4 * faceSide, faceSide});
    const auto cube = whiteCube(faceSide);
    const double half = 0.5 * sphereVerticalExtent(source->width, source->height);
    for (auto _ : state) {
        cylinderToCube(*cube, source->pixels, source->width, source->height, source->stride, -half, half,
                     static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(cube->faces[0]->pixels);
    }
}
BENCHMARK(BM_CylinderToCube)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CubeToSphere(benchmark::State& state) {
    const auto cube = whiteCube(faceSide);
    for (int i = 0; i < faceCount; ++i) {
        const auto face = texturedImage({faceSide, faceSide});
        std::memcpy(cube->faces[i]->pixels, face->pixels, static_cast<std::size_t>(face->stride) * faceSide);
    }
    RawImage sphere({4 * faceSide, 2 * faceSide});
    const double half = 1.5707963705062866;
    for (auto _ : state) {
        cubeToSphere(*cube, sphere.pixels, sphere.width, sphere.height, sphere.stride, 3, -half, half,
                     static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(sphere.pixels);
    }
}
BENCHMARK(BM_CubeToSphere)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
