// What undo costs: the projection of a painted 1920 x 1080 view onto six 1024-pixel faces
// with and without the patches that undo it, putting a paint back, and how far the patches
// of photo-like faces shrink under zlib (the figure that decides whether undo compresses).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "panorama/geometry.h"
#include "view/paint_back.h"
#include "view/painted_six_image.h"
#include "painted_view.h"

namespace {

constexpr int faceSize = 1024;

// Faces like a photograph: smooth light with a little grain.
void fillPhotoLike(PaintedSixImage& panorama) {
    std::mt19937 grain(7);
    for (int f = 0; f < faceCount; ++f)
        for (int y = 0; y < faceSize; ++y)
            for (int x = 0; x < faceSize; ++x) {
                std::uint8_t* p = panorama.faces[f]->row(y) + 3 * x;
                const int base = 60 + (x + y) / 16 + 20 * f;
                for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(std::clamp(base + c * 10 + static_cast<int>(grain() % 9) - 4, 0, 255));
            }
}

void BM_PaintBack(benchmark::State& state) {
    const bool recordUndo = state.range(0) != 0;
    PaintedSixImage panorama({faceSize, faceSize}, {faceSize, faceSize});
    fillPhotoLike(panorama);
    ViewBuffer view;
    const Camera camera = fullyPaintedView(view);
    std::size_t patchBytes = 0;
    for (auto _ : state) {
        std::vector<FacePatch> undo;
        paintBack(panorama, camera, view, recordUndo ? &undo : nullptr);
        patchBytes = 0;
        for (const FacePatch& patch : undo) patchBytes += patch.bytes();
        // Each round paints over the faces as they were, so every round changes the same pixels.
        for (FacePatch& patch : undo) exchangePatch(patch, *panorama.faces[patch.face]);
    }
    state.counters["patch_MB"] = static_cast<double>(patchBytes) / (1 << 20);
}
BENCHMARK(BM_PaintBack)->Arg(0)->Arg(1)->ArgName("undo")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UndoPaint(benchmark::State& state) {
    PaintedSixImage panorama({faceSize, faceSize}, {faceSize, faceSize});
    fillPhotoLike(panorama);
    ViewBuffer view;
    std::vector<FacePatch> undo;
    paintBack(panorama, fullyPaintedView(view), view, &undo);
    for (auto _ : state)
        for (FacePatch& patch : undo) exchangePatch(patch, *panorama.faces[patch.face]);
}
BENCHMARK(BM_UndoPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CompressPatches(benchmark::State& state) {
    PaintedSixImage panorama({faceSize, faceSize}, {faceSize, faceSize});
    fillPhotoLike(panorama);
    ViewBuffer view;
    std::vector<FacePatch> undo;
    paintBack(panorama, fullyPaintedView(view), view, &undo);
    std::size_t raw = 0, packed = 0;
    for (auto _ : state) {
        raw = packed = 0;
        for (const FacePatch& patch : undo) {
            uLongf size = compressBound(static_cast<uLong>(patch.bytes()));
            std::vector<Bytef> out(size);
            compress2(out.data(), &size, patch.pixels.data(), static_cast<uLong>(patch.bytes()), static_cast<int>(state.range(0)));
            raw += patch.bytes();
            packed += size;
        }
    }
    state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(raw);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw));
}
BENCHMARK(BM_CompressPatches)->Arg(1)->Arg(6)->ArgName("level")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
