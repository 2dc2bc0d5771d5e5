// The link's share of "Paint this view": a 1920 x 1080 view streamed to the plug-in and a
// painted picture of the same size streamed back, tile by tile through the record, between
// two processes. Rendering and projection are left out: both ends copy from memory.

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "forked_plugin.h"
#include "link/paint_link.h"
#include "link/tile_transfer.h"

namespace {
constexpr int viewWidth = 1920;
constexpr int viewHeight = 1080;

// The plug-in: takes each view and sends it back as the painted picture, until the
// application cancels or goes away.
[[noreturn]] void paintBack() {
    std::unique_ptr<PaintLink> link;
    if (PaintLink::openAsPlugin(link) != nullptr) ::_exit(2);
    for (;;) {
        TileReceiver receiver(*link);
        if (receiver.run() != TransferStatus::done) ::_exit(0);
        const LinkPicture& view = receiver.picture();
        if (view.width != viewWidth || view.height != viewHeight) ::_exit(3);
        PluginCommand command;
        command.command = LinkCommand::applyImage;
        command.width = view.width;
        command.height = view.height;
        TileSender sender(*link, command, pictureSource(view.rgb.data(), static_cast<std::size_t>(view.width) * 3, 3));
        if (sender.run() != TransferStatus::done) ::_exit(0);
    }
}

void ViewOutPaintBack(benchmark::State& state) {
    const ForkedPluginLink link("DomecastPaintBench", paintBack);
    PaintLink* app = link.app();
    if (app == nullptr) {
        state.SkipWithError("the link cannot be created");
        return;
    }

    std::vector<std::uint8_t> view(static_cast<std::size_t>(viewWidth) * viewHeight * 3);
    for (std::size_t i = 0; i < view.size(); ++i) view[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11));
    app->setImageSize(viewWidth, viewHeight);

    using Clock = std::chrono::steady_clock;
    double outSeconds = 0, backSeconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        TileSender sender(*app, 10.0f, -5.0f, pictureSource(view.data(), viewWidth * 3, 3));
        if (sender.run() != TransferStatus::done) {
            state.SkipWithError("the view did not reach the plug-in");
            break;
        }
        const auto sent = Clock::now();
        TileReceiver receiver(*app);
        if (receiver.run() != TransferStatus::done || receiver.picture().width != viewWidth) {
            state.SkipWithError("the painted picture did not come back");
            break;
        }
        const auto back = Clock::now();
        outSeconds += std::chrono::duration<double>(sent - start).count();
        backSeconds += std::chrono::duration<double>(back - sent).count();
        state.SetIterationTime(std::chrono::duration<double>(back - start).count());
    }
    // Milliseconds a direction, averaged over the iterations.
    state.counters["out_ms"] = benchmark::Counter(outSeconds * 1000, benchmark::Counter::kAvgIterations);
    state.counters["back_ms"] = benchmark::Counter(backSeconds * 1000, benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * static_cast<std::int64_t>(view.size()));
}
BENCHMARK(ViewOutPaintBack)->UseManualTime()->Unit(benchmark::kMillisecond);
}  // namespace
