// Reading and writing whole face-sized pictures: the BMP reader maps the file and copies
// 24-bit pixels in one block; the Targa reader goes through the per-byte source.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "image/bgr_image.h"
#include "image/bgra_image.h"
#include "image/bmp.h"
#include "image/tga.h"

namespace {

std::string benchFile(const char* name) {
    return (std::filesystem::temp_directory_path() / ("domecast-bench-" + std::to_string(getpid()) + name)).string();
}

void fill(RawImage& image) {
    for (std::int32_t y = 0; y < image.height; ++y)
        for (std::uint32_t i = 0; i < image.stride; ++i) image.row(y)[i] = static_cast<std::uint8_t>(i + y);
}

void BM_SaveBMP(benchmark::State& state) {
    const std::int32_t side = static_cast<std::int32_t>(state.range(0));
    RawImage image(Size{side, side});
    fill(image);
    const std::string path = benchFile("save.bmp");
    for (auto _ : state) SaveBMP(path.c_str(), image.size(), image.stride, 3, image.pixels);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image.stride) * side);
    std::filesystem::remove(path);
}

void BM_LoadBMP24(benchmark::State& state) {
    const std::int32_t side = static_cast<std::int32_t>(state.range(0));
    RawImage image(Size{side, side});
    fill(image);
    const std::string path = benchFile("load.bmp");
    SaveBMP(path.c_str(), image.size(), image.stride, 3, image.pixels);
    for (auto _ : state) {
        RawImage loaded(path.c_str());
        benchmark::DoNotOptimize(loaded.pixels);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image.stride) * side);
    std::filesystem::remove(path);
}

void BM_LoadTGA(benchmark::State& state) {
    const std::int32_t side = static_cast<std::int32_t>(state.range(0));
    const int bytesPerPixel = static_cast<int>(state.range(1));
    RawImage image(Size{side * bytesPerPixel / 3 + 1, side});
    fill(image);
    const std::string path = benchFile("load.tga");
    SaveTGA(path.c_str(), Size{side, side}, image.stride, bytesPerPixel, image.pixels);
    for (auto _ : state) {
        BGRAImage loaded(Size{0, 0});
        LoadTGA(path.c_str(), BGRAImage::sink, &loaded);
        benchmark::DoNotOptimize(loaded.pixels);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(side) * side * bytesPerPixel);
    std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(BM_SaveBMP)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBMP24)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTGA)->Args({1024, 3})->Args({1024, 4})->Unit(benchmark::kMillisecond);
