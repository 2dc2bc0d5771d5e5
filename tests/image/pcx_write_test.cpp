#include "image/pcx_write.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "image/bgr_image.h"
#include "image/colormap.h"
#include "image/pcx_read.h"
#include "platform/io_exception.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/message_recorder.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void fill(RawImage& image, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            std::uint8_t* p = image.row(y) + 3 * x;
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
}

int get16(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

// The encoded rows of a written file: between the header and the palette trailer.
Bytes encodedRows(const Bytes& file) { return Bytes(file.begin() + 128, file.end() - 769); }

// Decodes the rows of a written file back into indices (top row first).
Bytes decodeIndices(const Bytes& file) {
    Bytes out;
    const Bytes rows = encodedRows(file);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if ((rows[i] & 0xC0) == 0xC0) {
            out.insert(out.end(), rows[i] & 0x3F, rows[i + 1]);
            ++i;
        } else {
            out.push_back(rows[i]);
        }
    }
    return out;
}

// A colour (blue, green, red) whose nearest built-in entry is the wanted index, found by
// walking the colour cube; the wanted index must be reachable.
std::array<std::uint8_t, 3> colourFor(const Colormap& map, int wanted) {
    for (int b = 0; b < 256; b += 4)
        for (int g = 0; g < 256; g += 4)
            for (int r = 0; r < 256; r += 4) {
                const std::uint8_t p[3] = {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r)};
                if (map.nearestIndex(p) == wanted) return {p[0], p[1], p[2]};
            }
    ADD_FAILURE() << "index " << wanted << " unreachable";
    return {0, 0, 0};
}

class PcxWriteTest : public ::testing::Test {
protected:
    Bytes write(const RawImage& image, PCXWriteOptions options) {
        writePCX(path.c_str(), image.size(), image.stride, image.pixels, options);
        return readBytes(path);
    }
    static PCXWriteOptions plain() { return {"", 0, 1}; }

    TempDir dir;
    std::string path = dir.file("face.pcx");
    std::unique_ptr<Colormap> builtin = BuiltinColormap();
};

TEST_F(PcxWriteTest, BlackFaceHeaderRowsAndTrailer) {
    RawImage image(Size{256, 3});  // black
    const Bytes file = write(image, plain());
    ASSERT_EQ(file.size(), 128 + 3 * 10 + 769u);
    const Bytes header = {0x0A, 5, 1, 8, 0, 0, 0, 0, 255, 0, 2, 0, 44, 1, 44, 1};
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 16), header);
    EXPECT_EQ(file[64], 0);
    EXPECT_EQ(file[65], 1);
    EXPECT_EQ(get16(file, 66), 256);
    EXPECT_EQ(get16(file, 68), 1);
    for (std::size_t i = 70; i < 128; ++i) EXPECT_EQ(file[i], 0) << i;
    // The header's 16 colours are the grey ramp.
    for (int i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(file[16 + 3 * i + c], builtin->entry(i)[0]) << i;

    const Bytes row = {0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0xC4, 0};
    Bytes three;
    for (int i = 0; i < 3; ++i) three.insert(three.end(), row.begin(), row.end());
    EXPECT_EQ(encodedRows(file), three);

    ASSERT_EQ(file[file.size() - 769], 0x0C);
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t* e = builtin->entry(i);
        const std::size_t at = file.size() - 768 + 3 * static_cast<std::size_t>(i);
        EXPECT_EQ(file[at], e[2]);
        EXPECT_EQ(file[at + 1], e[1]);
        EXPECT_EQ(file[at + 2], e[0]);
    }
}

TEST_F(PcxWriteTest, SinglePixelsAreBareBelow0xC0AndRunsOfOneAbove) {
    struct Case { int index; Bytes encoded; };
    // Black, the pixel, then 254 black: 00, the pixel, 4 runs of 63 and a run of 2.
    const Bytes tail = {0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0xC2, 0};
    for (const Case& c : {Case{200, {0xC1, 0xC8}}, Case{100, {0x64}}}) {
        RawImage image(Size{256, 1});
        const auto colour = colourFor(*builtin, c.index);
        std::memcpy(image.row(0) + 3, colour.data(), 3);
        Bytes expected = {0x00};
        expected.insert(expected.end(), c.encoded.begin(), c.encoded.end());
        expected.insert(expected.end(), tail.begin(), tail.end());
        EXPECT_EQ(encodedRows(write(image, plain())), expected) << c.index;
    }
}

TEST_F(PcxWriteTest, RunsAreSplitAt63AndNeverCrossRows) {
    // 3 rows of 130 pixels: 64 of index 200 then 66 black, top row first in the file.
    RawImage image(Size{130, 3});
    const auto colour = colourFor(*builtin, 200);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 64; ++x) std::memcpy(image.row(y) + 3 * x, colour.data(), 3);
    const Bytes row = {0xFF, 0xC8, 0xC1, 0xC8, 0xFF, 0, 0xC3, 0};
    Bytes expected;
    for (int i = 0; i < 3; ++i) expected.insert(expected.end(), row.begin(), row.end());
    EXPECT_EQ(encodedRows(write(image, {"", 0, 0})), expected);
}

TEST_F(PcxWriteTest, ResizeReducesOnlyFacesNot256Wide) {
    struct Case { Size size; std::uint32_t resize; Size written; };
    for (Case c : {Case{{512, 512}, 1, {256, 256}}, {{512, 512}, 0, {512, 512}}, {{256, 100}, 1, {256, 100}},
                   {{47, 33}, 1, {256, 256}}, {{47, 33}, 0, {47, 33}}}) {
        RawImage image(c.size);
        fill(image, 90, 60, 30);
        const Bytes file = write(image, {"", 0, c.resize});
        EXPECT_EQ(get16(file, 8), c.written.width - 1) << c.size.width << " resize " << c.resize;
        EXPECT_EQ(get16(file, 10), c.written.height - 1);
        EXPECT_EQ(get16(file, 66), c.written.width);
        EXPECT_EQ(decodeIndices(file).size(), static_cast<std::size_t>(c.written.width * c.written.height));
    }
}

TEST_F(PcxWriteTest, ResizeSamplesEverySecondPixel) {
    // Left half red, right half blue; the top row of the written file follows.
    RawImage image(Size{512, 512});
    const auto red = colourFor(*builtin, 240);
    const auto other = colourFor(*builtin, 208);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) std::memcpy(image.row(y) + 3 * x, (x < 256 ? red : other).data(), 3);
    const Bytes indices = decodeIndices(write(image, plain()));
    EXPECT_EQ(indices[0], 240);
    EXPECT_EQ(indices[127], 240);
    EXPECT_EQ(indices[128], 208);
    EXPECT_EQ(indices[255], 208);
}

// The distinct indices and the mean grey of a flat grey face written with a threshold.
struct DitherResult {
    std::set<int> indices;
    double meanGrey;
};

TEST_F(PcxWriteTest, DitheringThresholds) {
    auto run = [&](std::uint8_t grey, std::uint32_t threshold) {
        RawImage image(Size{64, 64});
        fill(image, grey, grey, grey);
        const Bytes indices = decodeIndices(write(image, {"", threshold, 0}));
        DitherResult r{{}, 0};
        for (std::uint8_t i : indices) {
            r.indices.insert(i);
            r.meanGrey += builtin->entry(i)[1];
        }
        r.meanGrey /= static_cast<double>(indices.size());
        return r;
    };
    // 23 lies between the ramp's 15 and 31; its luma (23) is below every threshold.
    const DitherResult dark0 = run(23, 0), dark160 = run(23, 160), dark255 = run(23, 255);
    EXPECT_EQ(dark0.indices.size(), 1u);
    EXPECT_GT(dark160.indices.size(), 1u);
    EXPECT_NEAR(dark160.meanGrey, 23.0, 2.0);
    EXPECT_EQ(dark160.indices, dark255.indices);
    // 195 lies between 187 and 203: above 160 no error passes on, so it is not dithered.
    const DitherResult light0 = run(195, 0), light160 = run(195, 160), light255 = run(195, 255);
    EXPECT_EQ(light160.indices, light0.indices);
    EXPECT_GT(light255.indices.size(), 1u);
    EXPECT_NEAR(light255.meanGrey, 195.0, 3.0);
}

// The dithering as plainly described: two rows of width + 2 error entries, four shares
// added to the rows for every pixel, the old row cleared after each row.
Bytes referenceDither(const RawImage& image, const Colormap& map, std::int32_t threshold) {
    Bytes indices;
    std::vector<std::array<std::int32_t, 3>> current(image.width + 2), next(image.width + 2);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            std::int32_t e[3];
            indices.push_back(map.ditherIndex(image.row(y) + 3 * x, current[x + 1].data(), e, threshold));
            for (int c = 0; c < 3; ++c) {
                next[x][c] += e[c] * 3 / 16;
                next[x + 1][c] += e[c] * 5 / 16;
                next[x + 2][c] += e[c] / 16;
                current[x + 2][c] += e[c] - e[c] * 5 / 16 - e[c] * 3 / 16 - e[c] / 16;
            }
        }
        std::swap(current, next);
        for (auto& entry : next) entry = {0, 0, 0};
    }
    return indices;
}

TEST_F(PcxWriteTest, DitheringMatchesThePlainDescriptionExactly) {
    std::uint32_t state = 12345;
    for (Size size : {Size{61, 37}, Size{1, 5}, Size{2, 3}, Size{3, 4}, Size{8, 2}}) {
        RawImage image(size);
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < 3 * image.width; ++x) {
                state = state * 1664525u + 1013904223u;
                image.row(y)[x] = static_cast<std::uint8_t>((state >> 24) / 2 + 4 * y);
            }
        for (std::uint32_t threshold : {1u, 100u, 160u, 255u}) {
            const Bytes file = write(image, {"", threshold, 0});
            const Bytes expected = referenceDither(image, *builtin, static_cast<std::int32_t>(threshold));
            // The file holds the rows top first.
            Bytes written = decodeIndices(file), bottomFirst;
            for (int y = image.height; y-- > 0;)
                bottomFirst.insert(bottomFirst.end(), written.begin() + y * image.width,
                                   written.begin() + (y + 1) * image.width);
            EXPECT_EQ(bottomFirst, expected) << size.width << "x" << size.height << ", threshold " << threshold;
        }
    }
}

TEST_F(PcxWriteTest, UserColormapFilesAndMissingOnesRefused) {
    const std::string act = dir.file("two.act");
    writeBytes(act, {255, 0, 0, 0, 0, 255});  // red, blue
    RawImage image(Size{256, 1});
    fill(image, 10, 10, 200);
    MessageRecorder recorder;

    Bytes file = write(image, {act, 0, 1});
    EXPECT_EQ(decodeIndices(file), Bytes(256, 0));
    const Bytes trailer(file.end() - 768, file.end());
    EXPECT_EQ(Bytes(trailer.begin(), trailer.begin() + 6), (Bytes{255, 0, 0, 0, 0, 255}));
    EXPECT_EQ(Bytes(trailer.begin() + 6, trailer.end()), Bytes(762, 0));

    const std::string missing = dir.file("missing.act");
    EXPECT_IO_EXCEPTION(write(image, {missing, 0, 1}), ioException::opening, missing, "palette file cannot be opened");
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(PcxWriteTest, TheInverseMapIsBuiltOnceForTwoWrites) {
    const std::string act = dir.file("once.act");
    writeBytes(act, {0, 0, 0, 255, 255, 255});
    RawImage image(Size{256, 2});
    const std::int64_t before = Colormap::mapsBuilt();
    write(image, {act, 160, 1});
    write(image, {act, 0, 0});
    EXPECT_EQ(Colormap::mapsBuilt(), before + 1);
}

TEST_F(PcxWriteTest, ReadsBackWithThePaletteColoursTopRowLast) {
    RawImage image(Size{256, 5});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 256; ++x) {
            std::uint8_t* p = image.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(40 * y);
            p[2] = static_cast<std::uint8_t>(255 - x);
        }
    write(image, plain());
    RawImage back(Size{0, 0});
    LoadPCX(path.c_str(), RawImage::sink, &back);
    ASSERT_EQ(back.size(), image.size());
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 256; ++x) {
            const std::uint8_t* expected = builtin->entry(builtin->nearestIndex(image.row(y) + 3 * x));
            ASSERT_EQ(std::memcmp(back.row(y) + 3 * x, expected, 3), 0) << x << "," << y;
        }
}

TEST_F(PcxWriteTest, FailuresThrowWriting) {
    RawImage image(Size{4, 4});
    struct Case { std::string path; Size size; };
    for (const Case& c : {Case{dir.file("no/folder.pcx"), {4, 4}}, Case{dir.path().string(), {4, 4}},
                          Case{dir.file("empty.pcx"), {0, 4}}, Case{dir.file("empty.pcx"), {4, -1}}}) {
        EXPECT_IO_EXCEPTION(writePCX(c.path.c_str(), c.size, image.stride, image.pixels, plain()), ioException::writing,
                            c.path, anyReason)
            << c.path;
    }
}

}  // namespace
