// A 360° photo opened from a JPEG and saved back at its own size: the blocks no paint
// reached keep their coefficients and so their decoded pixels; painted ones show the
// paint.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "panorama/six_image.h"
#include "support/face_pixels.h"
#include "support/jpeg_files.h"
#include "support/layout_rows.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"

namespace {

constexpr Size photoSize{256, 128};

struct Source {
    const char* what;
    const char* options;  // cjpeg's
};

const Source sources[] = {
    {"4:4:4", "-quality 90 -sample 1x1"},
    {"4:2:2", "-quality 90 -sample 2x1"},
    {"4:2:0", "-quality 90 -sample 2x2"},
    {"grey", "-quality 90 -grayscale"},
    {"progressive 4:2:0", "-quality 85 -progressive -sample 2x2"},
    {"restart every MCU row", "-quality 90 -restart 1 -sample 1x1"},
    {"arithmetic 4:2:0", "-quality 90 -arithmetic -sample 2x2"},
    {"arithmetic 4:4:4", "-quality 90 -arithmetic -sample 1x1"},
    {"arithmetic progressive 4:2:0", "-quality 85 -arithmetic -progressive -sample 2x2"},
    {"arithmetic, restart every MCU row", "-quality 90 -arithmetic -restart 1 -sample 1x1"},
};

// A smooth picture with a fine pattern over it, so that blocks carry AC coefficients.
std::unique_ptr<RawImage> texturedSphere() {
    auto picture = smoothSphere(photoSize);
    for (int y = 0; y < photoSize.height; ++y)
        for (int x = 0; x < photoSize.width; ++x)
            if ((x / 3 + y / 5) % 4 == 0) picture->row(y)[3 * x + 1] ^= 0x30;
    return picture;
}

// The MCUs of the saved file where any block's coefficients differ from the source's.
std::vector<bool> changedMcus(const JpegDump& before, const JpegDump& after, int mcuColumns, int mcuRows) {
    std::vector<bool> changed(static_cast<std::size_t>(mcuColumns) * mcuRows, false);
    for (std::size_t c = 0; c < before.components.size(); ++c) {
        const JpegDump::Component& a = before.components[c];
        const JpegDump::Component& b = after.components[c];
        for (unsigned row = 0; row < a.heightInBlocks; ++row)
            for (unsigned column = 0; column < a.widthInBlocks; ++column)
                if (!std::equal(a.block(row, column), a.block(row, column) + 64, b.block(row, column)))
                    changed[(row / a.v) * mcuColumns + column / a.h] = true;
    }
    return changed;
}

class PhotoBlocks : public ::testing::Test {
protected:
    std::string sourceFile(const Source& source) {
        const std::string path = dir.file("source.jpg");
        cjpegFrom(*texturedSphere(), dir.file("source.ppm"), path, source.options);
        return path;
    }
    std::unique_ptr<SixImage> open(const std::string& path) {
        auto panorama = std::make_unique<SixImage>();
        panorama->load(questions, openRows::photoJpeg, path);
        return panorama;
    }
    void save(SixImage& panorama, const std::string& path) {
        panorama.layout = saveRows::photoJpeg;
        panorama.fileName = path;
        panorama.write();
    }

    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    MessageRecorder messages;
    ScriptedQuestions questions;
};

TEST_F(PhotoBlocks, ASaveWithNoPaintKeepsEveryCoefficientAndPixel) {
    for (const Source& source : sources) {
        const std::string in = sourceFile(source), out = dir.file("out.jpg");
        auto panorama = open(in);
        ASSERT_TRUE(panorama->photoSource && panorama->photoSource->jpegBlocks) << source.what;
        save(*panorama, out);
        const JpegDump before = dumpJpeg(in), after = dumpJpeg(out);
        ASSERT_TRUE(before.ok && after.ok) << source.what;
        EXPECT_EQ(after.progressive, before.progressive) << source.what;
        EXPECT_EQ(after.arithmetic, before.arithmetic) << source.what;
        EXPECT_EQ(after.restartInterval, before.restartInterval) << source.what;
        ASSERT_EQ(after.components.size(), before.components.size()) << source.what;
        for (std::size_t c = 0; c < before.components.size(); ++c) {
            EXPECT_EQ(after.components[c].h, before.components[c].h) << source.what;
            EXPECT_EQ(after.components[c].v, before.components[c].v) << source.what;
            EXPECT_TRUE(after.components[c].coefficients == before.components[c].coefficients)
                << source.what << " component " << c;
        }
        EXPECT_TRUE(decodeJpeg(out) == decodeJpeg(in)) << source.what;
    }
}

TEST_F(PhotoBlocks, APaintChangesOnlyTheBlocksItReaches) {
    const std::uint8_t paint[3] = {30, 40, 220};  // blue, green, red: a red square
    for (const Source& source : sources) {
        const std::string in = sourceFile(source), out = dir.file("out.jpg");
        auto panorama = open(in);
        // An 8 x 8 square on Front, left of and below its centre.
        for (int row = 20; row < 28; ++row)
            for (int column = 18; column < 26; ++column) {
                std::copy(paint, paint + 3, panorama->faces[Front]->row(row) + 3 * column);
                panorama->faceChanges.mark(Front, column, row);
            }
        save(*panorama, out);

        const JpegDump before = dumpJpeg(in), after = dumpJpeg(out);
        ASSERT_TRUE(before.ok && after.ok) << source.what;
        const int mcuWidth = 8 * before.maxH, mcuHeight = 8 * before.maxV;
        const int mcuColumns = (photoSize.width + mcuWidth - 1) / mcuWidth;
        const int mcuRows = (photoSize.height + mcuHeight - 1) / mcuHeight;
        const std::vector<bool> changed = changedMcus(before, after, mcuColumns, mcuRows);
        // The square lands left of and below the middle of the picture (Front's centre).
        int changedCount = 0;
        for (int y = 0; y < mcuRows; ++y)
            for (int x = 0; x < mcuColumns; ++x)
                if (changed[y * mcuColumns + x]) {
                    ++changedCount;
                    EXPECT_TRUE(x * mcuWidth >= 96 && (x + 1) * mcuWidth <= 136 && y * mcuHeight >= 56 &&
                                (y + 1) * mcuHeight <= 96)
                        << source.what << ": MCU " << x << ", " << y << " changed far from the paint";
                }
        EXPECT_GT(changedCount, 0) << source.what;

        // Unchanged MCUs decode as before; with subsampled colour, a decoder that
        // interpolates colour across blocks reaches one pixel into a painted neighbour.
        const bool subsampled = before.maxH * before.maxV > 1;
        const auto near = [&](int x, int y) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < mcuColumns && ny < mcuRows && changed[ny * mcuColumns + nx])
                        return true;
                }
            return false;
        };
        for (const bool smooth : {false, true}) {
            const std::vector<std::uint8_t> a = decodeJpeg(in, smooth), b = decodeJpeg(out, smooth);
            ASSERT_EQ(a.size(), b.size()) << source.what;
            int differing = 0;
            for (int y = 0; y < photoSize.height; ++y)
                for (int x = 0; x < photoSize.width; ++x) {
                    const int mx = x / mcuWidth, my = y / mcuHeight;
                    const bool excused = changed[my * mcuColumns + mx] || (smooth && subsampled && near(mx, my));
                    const std::size_t i = 3 * (static_cast<std::size_t>(y) * photoSize.width + x);
                    if (!excused && (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2])) ++differing;
                }
            EXPECT_EQ(differing, 0) << source.what << (smooth ? ", smooth colour" : ", plain colour");
        }

        // The middle of the square, face pixel (21.5, 23.5) of Front, shows the paint.
        const double s = 2 * 22.0 / 64 - 1, t = 2 * 24.0 / 64 - 1;
        const double longitude = std::atan2(s, 1.0), latitude = std::atan2(t, std::hypot(s, 1.0));
        const int x = static_cast<int>((longitude / (2 * M_PI) + 0.5) * photoSize.width);
        const int y = photoSize.height - 1 - static_cast<int>((latitude / M_PI + 0.5) * photoSize.height);
        const std::vector<std::uint8_t> shown = decodeJpeg(out);
        const std::uint8_t* p = &shown[3 * (static_cast<std::size_t>(y) * photoSize.width + x)];
        if (before.components.size() == 1) {
            EXPECT_NEAR(p[0], 0.299 * paint[2] + 0.587 * paint[1] + 0.114 * paint[0], 12) << source.what;
        } else {
            EXPECT_NEAR(p[0], paint[2], 24) << source.what;
            EXPECT_NEAR(p[1], paint[1], 24) << source.what;
            EXPECT_NEAR(p[2], paint[0], 24) << source.what;
        }
    }
}

TEST_F(PhotoBlocks, OtherSizesLayoutsAndSourcesAreEncodedWhole) {
    const std::string in = sourceFile(sources[2]);  // 4:2:0
    struct Case {
        const char* what;
        void (*change)(SixImage&);
    } cases[] = {
        {"faces resized", [](SixImage& p) { p.resizeFaces({32, 32}); }},
        {"faces no longer tracked", [](SixImage& p) { p.faceChanges.markAll(); }},
    };
    for (const Case& c : cases) {
        auto panorama = open(in);
        c.change(*panorama);
        const std::string out = dir.file("whole.jpg");
        save(*panorama, out);
        const JpegDump dump = dumpJpeg(out);
        ASSERT_TRUE(dump.ok) << c.what;
        EXPECT_EQ(dump.maxH * dump.maxV, 1) << c.what;  // today's 4:4:4 encoding
    }
    // A PNG source saved as a JPEG photo.
    const std::string png = dir.file("source.png");
    auto fromJpeg = open(in);
    fromJpeg->layout = saveRows::photoPng;
    fromJpeg->fileName = png;
    fromJpeg->write();
    auto fromPng = std::make_unique<SixImage>();
    fromPng->load(questions, openRows::photoPng, png);
    save(*fromPng, dir.file("from_png.jpg"));
    const JpegDump dump = dumpJpeg(dir.file("from_png.jpg"));
    ASSERT_TRUE(dump.ok);
    EXPECT_EQ(dump.maxH * dump.maxV, 1);
    EXPECT_TRUE(messages.messages().empty());
}

}  // namespace
