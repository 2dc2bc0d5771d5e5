// domecast-cli converting a 32768 x 16384 JPEG photo (a 360-degree camera's stitched
// size) to six faces of 8192, under --max-megapixels 600: the wall and processor time
// and the peak resident memory of the command, against a target of 2.5 times the
// decoded picture (1.5 GiB). The photo is written row by row first, outside the
// measured run.
#include <benchmark/benchmark.h>

#include <string>

#include "support/measured_run.h"
#include "support/programs.h"
#include "support/striped_jpeg.h"
#include "support/temp_dir.h"

namespace {

constexpr std::uint32_t width = 32768, height = 16384;
constexpr double gib = 1024.0 * 1024.0 * 1024.0;

void BM_WidePhotoToSkyBoxFaces(benchmark::State& state) {
    TempDir dir;
    const std::string photo = dir.file("camera.jpg");
    if (!writeStripedJpeg(photo, width, height)) {
        state.SkipWithError("cannot write the photo");
        return;
    }
    MeasuredRun run;
    for (auto _ : state) {
        run = runMeasured(
            {programPath("domecast-cli"), "convert", photo, dir.file("sky_ft.jpg"), "--max-megapixels", "600"});
        state.SetIterationTime(run.seconds);
    }
    if (run.status != 0) {
        state.SkipWithError("the convert failed");
        return;
    }
    const double decoded = 3.0 * width * height / gib;
    const double peak = static_cast<double>(run.peakKilobytes) * 1024.0 / gib;
    state.counters["cpu_s"] = run.cpuSeconds;
    state.counters["decoded_GiB"] = decoded;
    state.counters["peak_GiB"] = peak;
    state.counters["peak_per_decoded"] = peak / decoded;
    if (peak > 2.5 * decoded) state.SkipWithError("peak memory over 2.5 times the decoded picture");
}
BENCHMARK(BM_WidePhotoToSkyBoxFaces)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
