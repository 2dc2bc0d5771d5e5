// The round trip against a small model of it: seeded random sequences of keys, "Paint this
// view" with paint programs of different timings, saves of the view file, Esc and plug-in
// commands, in any order. After every step the shell's camera, its round-trip state, the
// window and the view a plug-in gets must be what the model says. A failing seed prints the
// steps that led there.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>

#include "support/round_trip_fixture.h"
#include "view/view_title.h"

namespace {

using namespace roundtrip;
using State = Shell::PaintState;

constexpr int shiftDegrees = 30;

// What the user sees, as the model keeps it.
struct Model {
    float heading = 0;
    float pitch = 0;
    bool watching = false;  // handedOff: the view file is still watched
    bool modified = false;
};

class RoundTripModel : public LinkRoundTripTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        LinkRoundTripTest::SetUp();
        writeNumberSetting("shiftAmount", shiftDegrees);
    }

    // A save of the view file by the program it was handed to: a square of the picture
    // painted green.
    void saveViewFile() {
        RawImage picture(shell.tempViewPath().c_str());
        const int side = std::max(1, picture.width / 10);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                std::uint8_t* p = picture.row(picture.height / 2 + y) + 3 * (picture.width / 3 + x);
                p[0] = 0;
                p[1] = 200;
                p[2] = 0;
            }
        saveBmp(shell.tempViewPath(), picture);
    }
    static void saveBmp(const std::string& path, const RawImage& picture);

    // The plug-in asks for the view at a small size; the angles the last tile carried.
    bool requestView(float stepX, float& heading, float& pitch) {
        const std::string out = dir.file("angles.txt");
        startPlugin([&](Plugin& plugin) {
            PluginCommand request;
            request.command = LinkCommand::rotate;
            request.stepX = stepX;
            request.heading = 1.5f;  // a stale view
            request.width = 24;
            request.height = 16;
            if (!plugin.send(request, false)) return 101;
            float h = 0, p = 0;
            if (plugin.receive(&h, &p) < 0) return 102;
            std::ofstream(out) << std::hexfloat << h << " " << p;
            return 0;
        });
        if (finishPlugin(20) != 0) return false;
        std::ifstream in(out);
        std::string h, p;
        in >> h >> p;
        heading = std::strtof(h.c_str(), nullptr);
        pitch = std::strtof(p.c_str(), nullptr);
        return true;
    }

    // A plug-in sends a painted picture of the view it names and shows the editor.
    bool sendPicture(float heading, float pitch) {
        startPlugin([&](Plugin& plugin) {
            plugin.view.width = 24;
            plugin.view.height = 16;
            plugin.view.rgb.assign(24 * 16 * 3, 90);
            PluginCommand show;
            show.command = LinkCommand::applyAndShow;
            show.heading = heading;
            show.pitch = pitch;
            return plugin.send(show) ? 0 : 101;
        });
        return finishPlugin(20) == 0;
    }

    // The shell against the model; a text naming what differs, empty when nothing does.
    std::string differences(const Model& model) {
        std::ostringstream out;
        if (shell.windowHeading() != model.heading) out << " heading " << shell.windowHeading() << " != " << model.heading;
        if (shell.windowPitch() != model.pitch) out << " pitch " << shell.windowPitch() << " != " << model.pitch;
        const State expected = model.watching ? State::handedOff : State::idle;
        if (shell.paintState() != expected) out << " state " << static_cast<int>(shell.paintState());
        if (!host.states.empty() && host.states.back() != WindowState::shown) out << " window not shown";
        if ((shell.panorama()->modified != 0) != model.modified) out << " modified " << shell.panorama()->modified;
        const std::string title = shell.title();
        const std::string angles = composeTitle(nullptr, 0, model.heading, model.pitch);
        if (title.find(angles.substr(angles.find('['), angles.find(']') - angles.find('[') + 1)) == std::string::npos)
            out << " title " << title;
        if ((title.find("watching") != std::string::npos) != model.watching) out << " title " << title;
        return out.str();
    }
};

void RoundTripModel::saveBmp(const std::string& path, const RawImage& picture) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(picture.width) * 3 + 3) & ~3u;
    std::vector<std::uint8_t> file(54 + static_cast<std::size_t>(stride) * picture.height, 0);
    auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, static_cast<std::uint32_t>(file.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<std::uint32_t>(picture.width), 4);
    put(22, static_cast<std::uint32_t>(picture.height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(file.data() + 54 + static_cast<std::size_t>(y) * stride, picture.row(y), 3 * picture.width);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

// DOMECAST_MODEL_SEED=N runs seed N in place of each of the fixed ones.
TEST_P(RoundTripModel, RandomSequencesKeepTheShellAndTheModelAlike) {
    const char* chosen = std::getenv("DOMECAST_MODEL_SEED");
    const int firstSeed = chosen != nullptr ? std::atoi(chosen) : GetParam();
    const int seedCount = 1;
    constexpr int steps = 600;
    const float step10 = 10 * degToRad, shift = static_cast<float>(shiftDegrees) * degToRad;
    for (int seed = firstSeed; seed < firstSeed + seedCount; ++seed) {
        std::mt19937 random(static_cast<std::uint32_t>(seed));
        shell.replacePanorama(std::make_unique<PaintedSixImage>(Size{64, 64}, Size{64, 64}));
        host.states.clear();
        Model model;
        std::string log;
        for (int i = 0; i < steps && !HasFailure(); ++i) {
            const int roll = static_cast<int>(random() % 100);
            std::string what;
            if (roll < 40) {
                // An arrow key.
                const int key = static_cast<int>(random() % 4);
                const float dh = key == 0 ? step10 : key == 1 ? -step10 : 0;
                const float dp = key == 2 ? step10 : key == 3 ? -step10 : 0;
                shell.turnBy(dh, dp);
                model.heading += dh;
                model.pitch = clampPitch(model.pitch + dp);
                what = "key " + std::to_string(key);
            } else if (roll < 48) {
                const int id = cmdForward + static_cast<int>(random() % 6);
                shell.viewCommand(id);
                const float quarter = 90 * degToRad;
                const float headings[] = {0, quarter, -quarter, 180 * degToRad, 0, 0};
                const float pitches[] = {0, 0, 0, 0, quarter, -quarter};
                model.heading = headings[id - cmdForward];
                model.pitch = pitches[id - cmdForward];
                what = "view " + std::to_string(id);
            } else if (roll < 56) {
                // "Paint this view" with a program that hands the file on, or one that saves
                // and ends at once.
                const bool saves = random() % 2 == 0;
                ::setenv("SCRIPTED_PAINT", saves ? "quicksave" : "handoff", 1);
                shell.paintThisView();
                model.watching = !saves;
                model.modified = model.modified || saves;
                what = saves ? "paint quicksave" : "paint handoff";
            } else if (roll < 66) {
                // The program the file went to saves it.
                if (!shell.tempViewPath().empty()) {
                    saveViewFile();
                    runLoopUntil([&] { return shell.panorama()->modified != 0 || !model.watching; }, 2000);
                    if (model.watching) model.modified = true;
                }
                what = "save view file";
            } else if (roll < 74) {
                shell.stopWatchingViewFile();
                model.watching = false;
                what = "Esc";
            } else if (roll < 82) {
                // A plug-in's request for the view, turning it by some steps first.
                const float stepX = static_cast<float>(static_cast<int>(random() % 3) - 1);
                float heading = 0, pitch = 0;
                ASSERT_TRUE(requestView(stepX, heading, pitch)) << log;
                model.heading += shift * stepX;
                model.watching = false;
                EXPECT_EQ(heading, model.heading) << log;
                EXPECT_EQ(pitch, model.pitch) << log;
                what = "plug-in view request " + std::to_string(stepX);
            } else if (roll < 88) {
                // A plug-in's picture of a view of its own: the window turns to it.
                const float heading = static_cast<float>(static_cast<int>(random() % 36)) * step10;
                const float pitch = static_cast<float>(static_cast<int>(random() % 19) - 9) * step10;
                ASSERT_TRUE(sendPicture(heading, pitch)) << log;
                model.heading = heading;
                model.pitch = clampPitch(pitch);
                model.modified = true;
                what = "plug-in picture";
            } else {
                // Time passes: late events have their turn.
                runLoopUntil([] { return false; }, 30);
                what = "wait";
            }
            log += "\n  " + std::to_string(i) + ": " + what;
            const std::string diff = differences(model);
            EXPECT_TRUE(diff.empty()) << "seed " << seed << " step " << i << ":" << diff << "\nsteps:" << log;
        }
        shell.stopWatchingViewFile();
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RoundTripModel, ::testing::Values(1, 2));

}  // namespace
