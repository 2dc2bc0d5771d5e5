// The pictures under resources/test: see resources/test/make_test_pictures.py.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image/bgr_image.h"
#include "image/bgra_image.h"
#include "image/bmp.h"
#include "image/tga.h"
#include "platform/io_exception.h"
#include "support/io_exception_expect.h"
#include "support/message_recorder.h"

namespace {

const std::string resourceFolder = std::string(DOMECAST_TEST_DATA) + "/../../resources/test/";

// The BMP's palette; pixel (x, y) has entry (x + 2y) mod 6.
const std::uint8_t bmpPalette[6][3] = {{0, 0, 0}, {10, 20, 30}, {200, 100, 50}, {0, 0, 1}, {255, 255, 255}, {1, 0, 0}};

TEST(RawImageFromResource, DecodesTheBitmapWithItsPalette) {
    MessageRecorder recorder;
    const RawImage image("TEST_PICTURE", "BITMAP24");
    ASSERT_EQ(image.size(), (Size{13, 7}));
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_NE(image.ownsPixels, 0);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x)
            ASSERT_EQ(std::memcmp(image.row(y) + 3 * x, bmpPalette[(x + 2 * y) % 6], 3), 0) << x << ", " << y;

    // The same file read from disk gives the same pixels.
    const RawImage fromFile((resourceFolder + "picture.bmp").c_str());
    ASSERT_EQ(fromFile.size(), image.size());
    for (int y = 0; y < 7; ++y) EXPECT_EQ(std::memcmp(fromFile.row(y), image.row(y), 39), 0);
    EXPECT_TRUE(recorder.texts().empty());
}

TEST(RawImageFromResource, MissingOrOtherTypeLeavesNoPixels) {
    for (auto [name, type] : {std::pair{"NO_SUCH_PICTURE", "BITMAP24"}, std::pair{"TEST_PICTURE", "TARGA32"},
                              std::pair{"TEST_PICTURE", "bitmap24"}}) {
        const RawImage image(name, type);
        EXPECT_EQ(image.pixels, nullptr) << name << " " << type;
        EXPECT_EQ(image.size(), (Size{0, 0})) << name << " " << type;
    }
}

TEST(BGRAImageFromResource, BitmapIsKeyedOnBlackOnly) {
    const BGRAImage image("TEST_PICTURE", "BITMAP24");
    ASSERT_EQ((Size{image.width, image.height}), (Size{13, 7}));
    ASSERT_NE(image.pixels, nullptr);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) {
            const int entry = (x + 2 * y) % 6;
            const std::uint8_t* p = image.pixels + y * image.stride + 4 * x;
            ASSERT_EQ(std::memcmp(p, bmpPalette[entry], 3), 0) << x << ", " << y;
            // Entry 3 is (0, 0, 1): near black is not the key.
            EXPECT_EQ(p[3], entry == 0 ? 0 : 255) << x << ", " << y;
        }
}

TEST(BGRAImageFromResource, TargaKeepsItsAlphaAndRestoresTheByteSource) {
    const BGRAImage image("TEST_PICTURE", "TARGA32");
    ASSERT_EQ((Size{image.width, image.height}), (Size{5, 3}));
    ASSERT_NE(image.pixels, nullptr);
    const std::uint8_t alphas[3] = {0, 128, 255};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const std::uint8_t want[4] = {static_cast<std::uint8_t>(50 * x), static_cast<std::uint8_t>(100 * y),
                                          static_cast<std::uint8_t>(x + y), alphas[(x + y) % 3]};
            ASSERT_EQ(std::memcmp(image.pixels + y * image.stride + 4 * x, want, 4), 0) << x << ", " << y;
        }
    // The decoding brackets its memory source: files are read from files again.
    const TargaByteSource current = setTargaByteSource(targaFileSource);
    EXPECT_EQ(current, targaFileSource);

    BGRAImage fromFile(Size{0, 0});
    LoadTGA((resourceFolder + "picture.tga").c_str(), BGRAImage::sink, &fromFile);
    EXPECT_EQ(std::memcmp(fromFile.pixels, image.pixels, 4 * 5 * 3), 0);
}

TEST(BGRAImageFromResource, MissingOrUnknownTypeLeavesNoPixels) {
    for (auto [name, type] : {std::pair{"NO_SUCH_PICTURE", "TARGA32"}, std::pair{"NO_SUCH_PICTURE", "BITMAP24"},
                              std::pair{"QUAKE2", "PALETTE"}, std::pair{"TEST_PICTURE", "TARGA24"}}) {
        const BGRAImage image(name, type);
        EXPECT_EQ(image.pixels, nullptr) << name << " " << type;
    }
}

// The program's own pictures: the panel lays itself out from their sizes, and the buttons'
// hover and pressed looks rely on a transparent surround around an opaque face.
TEST(ProgramPictures, DecodeAtTheirSizesWithAlphaWhereNeeded) {
    struct Case {
        const char* name;
        const char* type;
        Size size;
    };
    const Case cases[] = {
        {"BUTTON_FILE", "TARGA32", {64, 40}},       {"BUTTON_PAINT", "TARGA32", {64, 40}},
        {"BUTTON_HELP", "TARGA32", {52, 40}},       {"BUTTON_ARROWLEFT", "TARGA32", {40, 55}},
        {"BUTTON_ARROWRIGHT", "TARGA32", {40, 45}}, {"BUTTON_ARROWFLBR", "TARGA32", {44, 45}},
        {"BUTTON_ARROWUP", "TARGA32", {45, 42}},    {"BUTTON_ARROWUHD", "TARGA32", {45, 44}},
        {"BUTTON_ARROWDOWN", "TARGA32", {45, 42}},  {"BUTTON_LOGO", "TARGA32", {153, 47}},
        {"DomecastIcon", "TARGA32", {32, 32}},      {"DomecastIcon16", "TARGA32", {16, 16}},
    };
    MessageRecorder recorder;
    for (const Case& c : cases) {
        const BGRAImage image(c.name, c.type);
        ASSERT_NE(image.pixels, nullptr) << c.name;
        EXPECT_EQ((Size{image.width, image.height}), c.size) << c.name;
        int transparent = 0, opaque = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const std::uint8_t alpha = image.pixels[y * image.stride + 4 * x + 3];
                transparent += alpha == 0;
                opaque += alpha == 255;
            }
        EXPECT_GT(transparent, 0) << c.name;
        EXPECT_GT(opaque, 0) << c.name;
    }
    const RawImage background("BACKGROUND", "BITMAP24");
    EXPECT_EQ(background.size(), (Size{320, 240}));
    const RawImage aboutLogo("161", "BITMAP24");
    EXPECT_NE(aboutLogo.pixels, nullptr);
    EXPECT_TRUE(recorder.texts().empty());
}

TEST(RawImageFromFile, ThrowsWhatTheReaderThrows) {
    const std::string path = resourceFolder + "no-such-picture.bmp";
    EXPECT_IO_EXCEPTION(const RawImage image(path.c_str()), ioException::opening, path, anyReason)
        << "a missing file was read";
}

}  // namespace
