// Writing and reading one 1024 x 1024 face in the palettised, JPEG and PNG formats.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include <unistd.h>

#include "image/bgr_image.h"
#include "image/colormap.h"
#include "image/jpeg.h"
#include "image/pcx_read.h"
#include "image/pcx_write.h"
#include "image/png.h"

namespace {

constexpr int side = 1024;

// A smooth colour field with some detail: neither trivially compressible nor noise.
const RawImage& face() {
    static const RawImage* image = [] {
        auto* made = new RawImage(Size{side, side});  // lives as long as the program
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                std::uint8_t* p = made->row(y) + 3 * x;
                p[0] = static_cast<std::uint8_t>(x / 4);
                p[1] = static_cast<std::uint8_t>(y / 4);
                p[2] = static_cast<std::uint8_t>((x * y) >> 12 ^ (x & 15));
            }
        return made;
    }();
    return *image;
}

std::string scratchFile(const char* name) {
    return (std::filesystem::temp_directory_path() / ("domecast-bench-" + std::to_string(getpid()) + name)).string();
}

void BM_ColormapBuild(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(BuiltinColormap());
}
BENCHMARK(BM_ColormapBuild)->Unit(benchmark::kMillisecond);

// Arguments: threshold ("PCXDither"), resize ("PCXResize"). The inverse map is built by
// the first write and cached; the loop measures the writes.
void BM_SavePCX(benchmark::State& state) {
    const std::string path = scratchFile("face.pcx");
    const PCXWriteOptions options{"", static_cast<std::uint32_t>(state.range(0)), static_cast<std::uint32_t>(state.range(1))};
    const RawImage& image = face();
    writePCX(path.c_str(), image.size(), image.stride, image.pixels, options);
    for (auto _ : state) writePCX(path.c_str(), image.size(), image.stride, image.pixels, options);
    std::filesystem::remove(path);
}
BENCHMARK(BM_SavePCX)->ArgNames({"dither", "resize"})->Args({160, 0})->Args({0, 0})->Args({160, 1})
    ->Unit(benchmark::kMillisecond);

void BM_LoadPCX(benchmark::State& state) {
    const std::string path = scratchFile("face.pcx");
    const RawImage& image = face();
    writePCX(path.c_str(), image.size(), image.stride, image.pixels, {"", 160, 0});
    for (auto _ : state) {
        RawImage back(Size{0, 0});
        LoadPCX(path.c_str(), RawImage::sink, &back);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadPCX)->Unit(benchmark::kMillisecond);

template <ImageWriter Save, ImageReader Load>
void saveThenLoad(benchmark::State& state, const char* name, bool load) {
    const std::string path = scratchFile(name);
    const RawImage& image = face();
    Save(path.c_str(), image.size(), image.stride, 3, image.pixels);
    for (auto _ : state) {
        if (load) {
            RawImage back(Size{0, 0});
            Load(path.c_str(), RawImage::sink, &back);
        } else {
            Save(path.c_str(), image.size(), image.stride, 3, image.pixels);
        }
    }
    std::filesystem::remove(path);
}

void BM_SaveJPEG(benchmark::State& state) { saveThenLoad<SaveJPEG, LoadJPEG>(state, "face.jpg", false); }
void BM_LoadJPEG(benchmark::State& state) { saveThenLoad<SaveJPEG, LoadJPEG>(state, "face.jpg", true); }
void BM_SavePNG(benchmark::State& state) { saveThenLoad<SavePNG, LoadPNG>(state, "face.png", false); }
void BM_LoadPNG(benchmark::State& state) { saveThenLoad<SavePNG, LoadPNG>(state, "face.png", true); }
BENCHMARK(BM_SaveJPEG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadJPEG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPNG)->Unit(benchmark::kMillisecond);

}  // namespace
