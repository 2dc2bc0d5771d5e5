// Tile exchanges between the application end and a plug-in in another process: how many
// 256 x 256 tiles a second the handshake carries.

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "forked_plugin.h"
#include "link/paint_link.h"

namespace {
// The plug-in: takes tiles until the application cancels.
[[noreturn]] void readTiles() {
    std::unique_ptr<PaintLink> link;
    if (PaintLink::openAsPlugin(link) != nullptr) ::_exit(2);
    std::uint64_t sum = 0;
    while (link->waitToRead()) {
        sum += link->received().tilePixels[0];
        link->doneReading();
    }
    ::_exit(sum == 0 ? 0 : 1);
}

void TileHandshake(benchmark::State& state) {
    const ForkedPluginLink link("DomecastBench", readTiles);
    PaintLink* app = link.app();
    if (app == nullptr) {
        state.SkipWithError("the link cannot be created");
        return;
    }
    app->setImageSize(256, 256);
    app->firstTile();
    for (auto _ : state) {
        if (!app->waitToWrite()) {
            state.SkipWithError("the plug-in went away");
            break;
        }
        std::memset(app->record().tilePixels, 0, LinkRecord::tilePixelsSize);
        app->doneWriting();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(LinkRecord::tilePixelsSize));
}
BENCHMARK(TileHandshake)->UseRealTime();
}  // namespace
