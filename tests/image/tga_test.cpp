#include "image/tga.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/bgr_image.h"
#include "image/bgra_image.h"
#include "platform/io_exception.h"
#include "support/hostile_input.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Pixel = std::array<std::uint8_t, 4>;  // blue, green, red, alpha

Bytes join(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct VariantCase {
    const char* name;
    Bytes file;
    Size size;
    std::vector<Pixel> pixels;  // row 0 (the bottom) first
};

const Pixel black{0, 0, 0, 255};

std::vector<VariantCase> variantCases() {
    const Pixel a{1, 2, 3, 255}, b{4, 5, 6, 255}, c{7, 8, 9, 255}, d{10, 11, 12, 255};
    const Bytes abcd = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    // Colour map with first index 10 and 4 entries of 24 bits.
    const Bytes map24 = {20, 21, 22, 30, 31, 32, 40, 41, 42, 50, 51, 52};
    return {
        {"true colour 24, bottom origin", join(targaHeader(2, 0, 0, 0, 0, 2, 2, 24), abcd), {2, 2}, {a, b, c, d}},
        {"origin bit: first stored row is the top", join(targaHeader(2, 0, 0, 0, 0, 2, 2, 24, 0x20), abcd),
         {2, 2}, {c, d, a, b}},
        {"right-to-left bit and alpha bits ignored", join(targaHeader(2, 0, 0, 0, 0, 2, 2, 24, 0x18), abcd),
         {2, 2}, {a, b, c, d}},
        {"image ID skipped", join(targaHeader(2, 0, 0, 0, 0, 2, 1, 24, 0, 3), {9, 9, 9, 1, 2, 3, 4, 5, 6}),
         {2, 1}, {a, b}},
        {"true colour 32 keeps alpha", join(targaHeader(2, 0, 0, 0, 0, 2, 1, 32), {1, 2, 3, 0, 5, 6, 7, 128}),
         {2, 1}, {Pixel{1, 2, 3, 0}, Pixel{5, 6, 7, 128}}},
        {"true colour 16: 0x7FFF is 248 grey, bit 15 ignored",
         join(targaHeader(2, 0, 0, 0, 0, 3, 1, 16), {0xFF, 0x7F, 0x1F, 0x80, 0xE0, 0x03}), {3, 1},
         {Pixel{248, 248, 248, 255}, Pixel{248, 0, 0, 255}, Pixel{0, 248, 0, 255}}},
        {"true colour 15", join(targaHeader(2, 0, 0, 0, 0, 2, 1, 15), {0x00, 0x7C, 0x21, 0x04}), {2, 1},
         {Pixel{0, 0, 248, 255}, Pixel{8, 8, 8, 255}}},
        {"greyscale", join(targaHeader(3, 0, 0, 0, 0, 3, 1, 8), {0, 128, 255}), {3, 1},
         {Pixel{0, 0, 0, 255}, Pixel{128, 128, 128, 255}, Pixel{255, 255, 255, 255}}},
        {"colour-mapped, first index 10: entries below are black",
         join(targaHeader(1, 1, 10, 4, 24, 4, 1, 8), join(map24, {0, 9, 10, 13})), {4, 1},
         {black, black, Pixel{20, 21, 22, 255}, Pixel{50, 51, 52, 255}}},
        {"colour-mapped 16-bit indices, 16-bit entries",
         join(targaHeader(1, 1, 0, 2, 16, 2, 1, 16), {0x00, 0x00, 0xFF, 0x7F, 0x01, 0x00, 0x00, 0x00}), {2, 1},
         {Pixel{248, 248, 248, 255}, Pixel{0, 0, 0, 255}}},
        {"colour-mapped 15-bit indices drop bit 15, 32-bit entries lose their alpha",
         join(targaHeader(1, 1, 0, 2, 32, 2, 1, 15), {1, 2, 3, 0, 4, 5, 6, 7, 0x01, 0x80, 0x00, 0x00}), {2, 1},
         {Pixel{4, 5, 6, 255}, Pixel{1, 2, 3, 255}}},
        {"true colour carrying an empty colour map of no entry size",
         join(targaHeader(2, 1, 0, 0, 0, 1, 1, 24), {1, 2, 3}), {1, 1}, {a}},
        {"true colour carrying a colour map reads past it",
         join(targaHeader(2, 1, 0, 2, 24, 1, 1, 24), {99, 99, 99, 98, 98, 98, 1, 2, 3}), {1, 1}, {a}},
        {"run-length: a run across a row end fills the next row's start",
         join(targaHeader(10, 0, 0, 0, 0, 3, 2, 24), {0x84, 1, 2, 3, 0x00, 4, 5, 6}), {3, 2}, {a, a, a, a, a, b}},
        {"run-length: a raw packet across a row end",
         join(targaHeader(10, 0, 0, 0, 0, 2, 2, 24), join({0x03}, abcd)), {2, 2}, {a, b, c, d}},
        {"run-length 32: repeats keep the alpha",
         join(targaHeader(10, 0, 0, 0, 0, 2, 2, 32), {0x82, 1, 2, 3, 40, 0x00, 5, 6, 7, 0}), {2, 2},
         {Pixel{1, 2, 3, 40}, Pixel{1, 2, 3, 40}, Pixel{1, 2, 3, 40}, Pixel{5, 6, 7, 0}}},
        {"run-length greyscale", join(targaHeader(11, 0, 0, 0, 0, 3, 1, 8), {0x81, 7, 0x00, 9}), {3, 1},
         {Pixel{7, 7, 7, 255}, Pixel{7, 7, 7, 255}, Pixel{9, 9, 9, 255}}},
        {"run-length colour-mapped", join(targaHeader(9, 1, 10, 4, 24, 3, 1, 8), join(map24, {0x82, 11})),
         {3, 1}, {Pixel{30, 31, 32, 255}, Pixel{30, 31, 32, 255}, Pixel{30, 31, 32, 255}}},
        {"interleave factor 2: stored rows 0, 1, 2, 3 are lines 0, 2, 1, 3",
         join(targaHeader(3, 0, 0, 0, 0, 1, 4, 8, 0x40), {10, 20, 30, 40}), {1, 4},
         {Pixel{10, 10, 10, 255}, Pixel{30, 30, 30, 255}, Pixel{20, 20, 20, 255}, Pixel{40, 40, 40, 255}}},
        {"interleave factor 4 over 8 rows, origin at the top",
         join(targaHeader(3, 0, 0, 0, 0, 1, 8, 8, 0xA0), {0, 1, 2, 3, 4, 5, 6, 7}), {1, 8},
         // stored row i lands on line 0, 4, 1, 5, 2, 6, 3, 7, counted from the top
         {Pixel{7, 7, 7, 255}, Pixel{5, 5, 5, 255}, Pixel{3, 3, 3, 255}, Pixel{1, 1, 1, 255},
          Pixel{6, 6, 6, 255}, Pixel{4, 4, 4, 255}, Pixel{2, 2, 2, 255}, Pixel{0, 0, 0, 255}}},
        {"a short file reads 255 past its end", join(targaHeader(2, 0, 0, 0, 0, 2, 1, 24), {1, 2, 3, 4}),
         {2, 1}, {a, Pixel{4, 255, 255, 255}}},
    };
}

// Compares a decoded picture with the expected pixels; the alpha only at 4 bytes a pixel.
void expectPixels(const VariantCase& c, const std::uint8_t* pixels, std::uint32_t stride, int bytesPerPixel,
                  const std::string& how) {
    for (std::int32_t y = 0; y < c.size.height; ++y)
        for (std::int32_t x = 0; x < c.size.width; ++x) {
            const Pixel& want = c.pixels.at(static_cast<std::size_t>(y) * c.size.width + x);
            const std::uint8_t* p = pixels + static_cast<std::size_t>(y) * stride + x * bytesPerPixel;
            const std::vector<int> got(p, p + bytesPerPixel);
            const std::vector<int> expected(want.begin(), want.begin() + bytesPerPixel);
            ASSERT_EQ(got, expected) << c.name << " (" << how << "): pixel " << x << ", " << y;
        }
}

TEST(LoadTGA, DecodesEachVariantIntoThreeAndFourBytePixels) {
    TempDir dir;
    for (const VariantCase& c : variantCases()) {
        const std::string path = dir.file("variant.tga");
        writeBytes(path, c.file);

        BGRAImage withAlpha(Size{0, 0});
        LoadTGA(path.c_str(), BGRAImage::sink, &withAlpha);
        ASSERT_EQ((Size{withAlpha.width, withAlpha.height}), c.size) << c.name;
        expectPixels(c, withAlpha.pixels, withAlpha.stride, 4, "4 bytes");

        RawImage plain(Size{0, 0});
        LoadTGA(path.c_str(), RawImage::sink, &plain);
        ASSERT_EQ(plain.size(), c.size) << c.name;
        expectPixels(c, plain.pixels, plain.stride, 3, "3 bytes");
    }
}

TEST(DecodeTGA, ReadsThroughTheMemorySource) {
    const TargaByteSource before = setTargaByteSource(targaMemorySource);
    EXPECT_EQ(before, targaFileSource);
    for (const VariantCase& c : variantCases()) {
        setTargaMemory(c.file.data(), c.file.size());
        BGRAImage image(Size{0, 0});
        DecodeTGA(c.name, nullptr, BGRAImage::sink, &image);
        ASSERT_EQ((Size{image.width, image.height}), c.size) << c.name;
        expectPixels(c, image.pixels, image.stride, 4, "memory");
    }
    setTargaMemory(nullptr, 0);
    EXPECT_EQ(setTargaByteSource(before), targaMemorySource);
}

TEST(DecodeTGA, HintsFourBytesOnlyForThirtyTwoBitFiles) {
    const TargaByteSource before = setTargaByteSource(targaMemorySource);
    for (int depth : {8, 15, 16, 24, 32}) {
        const Bytes file = join(targaHeader(depth == 8 ? 3 : 2, 0, 0, 0, 0, 1, 1, static_cast<std::uint8_t>(depth)),
                                {1, 2, 3, 4});
        setTargaMemory(file.data(), file.size());
        SinkPicture picture;
        DecodeTGA("hint", nullptr, SinkPicture::sink, &picture);
        EXPECT_EQ(picture.hint, depth == 32 ? 4 : 3) << depth;
    }
    setTargaMemory(nullptr, 0);
    setTargaByteSource(before);
}

TEST(TargaMemorySource, ReturnsBytesThen255) {
    const std::uint8_t block[] = {7, 0};
    setTargaMemory(block, sizeof block);
    EXPECT_EQ(targaMemorySource(nullptr), 7);
    EXPECT_EQ(targaMemorySource(nullptr), 0);
    EXPECT_EQ(targaMemorySource(nullptr), 255);
    EXPECT_EQ(targaMemorySource(nullptr), 255);
    setTargaMemory(nullptr, 0);
    EXPECT_EQ(targaMemorySource(nullptr), 255);
}

// Every file there has one defect its name tells; each is refused as a read failure for
// that defect.
TEST(LoadTGA, RefusesHostileFilesForTheDefectTheirNameTells) {
    const std::map<std::string, const char*> reasons = {
        {"colour-map-type-2.tga", "colour-map type unknown"},
        {"unknown-image-type.tga", "image type unknown"},
        {"mapped-without-colour-map.tga", "colour-mapped picture without a colour map"},
        {"mapped-depth-24.tga", "colour-mapped pixel depth unsupported"},
        {"true-colour-depth-8.tga", "true-colour pixel depth unsupported"},
        {"greyscale-depth-16.tga", "greyscale pixel depth unsupported"},
        {"interleave-factor-8.tga", "interleave factor unknown"},
        {"interleave-past-end.tga", "interleaved row past the last line"},
        {"index-outside-colour-map.tga", "colour-map index outside the map"},
        {"index-outside-empty-colour-map.tga", "colour-map index outside the map"},
        {"rle-index-outside-colour-map.tga", "colour-map index outside the map"},
        {"colour-map-entry-size-8.tga", "colour-map entry size unsupported"},
        // The sizes are unsigned: these files claim 65535-something, more than they hold.
        {"negative-colour-map-length.tga", "picture larger than the file could hold"},
        {"negative-width.tga", "picture larger than the file could hold"},
        {"negative-height.tga", "picture larger than the file could hold"},
    };
    expectCrashersRefused("tga", LoadTGA, reasons);
}

// A Targa of no pixels would become a blank face: it is refused before any destination.
TEST(LoadTGA, PicturesOfNoPixelsAreRefused) {
    TempDir dir;
    for (const Size size : {Size{0, 0}, Size{0, 5}, Size{5, 0}}) {
        const std::string path = dir.file("empty.tga");
        writeBytes(path, targaHeader(2, 0, 0, 0, 0, static_cast<std::int16_t>(size.width),
                                     static_cast<std::int16_t>(size.height), 24));
        SinkPicture picture;
        EXPECT_IO_EXCEPTION(LoadTGA(path.c_str(), SinkPicture::sink, &picture), ioException::reading, path,
                            "no pixels (a width or height of 0)")
            << size.width << "x" << size.height;
        EXPECT_EQ(picture.size, (Size{-1, -1})) << "no destination asked for";
    }
}

// A header is refused before any allocation when its file could not hold the picture
// even at the most compact encoding; a file missing only part of its pixels still reads.
TEST(LoadTGA, SizesTheFileCannotBackAreRefusedAndShortFilesStillRead) {
    TempDir dir;
    struct Case {
        const char* name;
        Bytes file;
        bool refused;
    };
    const Case cases[] = {
        {"18 bytes claiming 32767 x 32767", targaHeader(2, 0, 0, 0, 0, 32767, 32767, 24), true},
        {"run-length, 18 bytes claiming 32767 x 32767", targaHeader(10, 0, 0, 0, 0, 32767, 32767, 24), true},
        // 64 x 64 run-length needs at least 32 packets of 4 bytes; 40 bytes hold less than half.
        {"run-length, a quarter of the fewest packets", join(targaHeader(10, 0, 0, 0, 0, 64, 64, 24), Bytes(40, 0xFF)),
         true},
        {"run-length, the fewest packets", join(targaHeader(10, 0, 0, 0, 0, 64, 64, 24), [] {
             Bytes packets;
             for (int i = 0; i < 32; ++i) packets.insert(packets.end(), {0xFF, 1, 2, 3});
             return packets;
         }()),
         false},
        {"raw, missing its last row", join(targaHeader(2, 0, 0, 0, 0, 4, 4, 24), Bytes(36, 7)), false},
        {"raw, a third of its pixels", join(targaHeader(2, 0, 0, 0, 0, 4, 4, 24), Bytes(16, 7)), true},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file("t.tga");
        writeBytes(path, c.file);
        SinkPicture picture;
        if (c.refused) {
            EXPECT_IO_EXCEPTION(LoadTGA(path.c_str(), SinkPicture::sink, &picture), ioException::reading, path,
                                "picture larger than the file could hold")
                << c.name;
            EXPECT_EQ(picture.size, (Size{-1, -1})) << c.name << ": no destination asked for";
        } else {
            EXPECT_NO_THROW(LoadTGA(path.c_str(), SinkPicture::sink, &picture)) << c.name;
        }
    }
    // The memory source knows its length too.
    const Bytes tiny = targaHeader(2, 0, 0, 0, 0, 32767, 32767, 24);
    setTargaMemory(tiny.data(), tiny.size());
    const TargaByteSource previous = setTargaByteSource(targaMemorySource);
    SinkPicture picture;
    EXPECT_IO_EXCEPTION(DecodeTGA("memory", nullptr, SinkPicture::sink, &picture), ioException::reading, "memory",
                        "picture larger than the file could hold");
    setTargaByteSource(previous);
    setTargaMemory(nullptr, 0);
}

TEST(LoadTGA, RefusesDestinationsThatCannotHoldThePicture) {
    SinkPicture twoBytes;
    twoBytes.bytesPerPixel = 2;
    SinkPicture shortStride;
    shortStride.bytesPerPixel = 4;
    shortStride.strideShortBy = 1;
    SinkPicture noPixels;
    noPixels.nullPixels = true;
    TempDir dir;
    writeBytes(dir.file("a.tga"), join(targaHeader(2, 0, 0, 0, 0, 2, 2, 24), Bytes(12, 1)));
    for (SinkPicture* answer : {&twoBytes, &shortStride, &noPixels})
        EXPECT_IO_EXCEPTION(LoadTGA(dir.file("a.tga").c_str(), SinkPicture::sink, answer), ioException::reading,
                            dir.file("a.tga"), "no destination for the picture")
            << "bytes per pixel " << answer->bytesPerPixel;
}

TEST(LoadTGA, OpeningFailures) {
    TempDir dir;
    for (const std::string& path : {dir.file("missing.tga"), dir.path().string()}) {
        SinkPicture picture;
        EXPECT_IO_EXCEPTION(LoadTGA(path.c_str(), SinkPicture::sink, &picture), ioException::opening, path,
                            "cannot open the file");
    }
}

// Pixel (x, y): blue 5x, green 7y, red x + y, alpha x ^ y; padding is left out.
std::vector<std::uint8_t> gradient(Size size, int bytesPerPixel, std::uint32_t stride) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * size.height, 0xEE);
    for (std::int32_t y = 0; y < size.height; ++y)
        for (std::int32_t x = 0; x < size.width; ++x) {
            std::uint8_t* p = pixels.data() + static_cast<std::size_t>(y) * stride + x * bytesPerPixel;
            p[0] = static_cast<std::uint8_t>(5 * x);
            p[1] = static_cast<std::uint8_t>(7 * y);
            p[2] = static_cast<std::uint8_t>(x + y);
            if (bytesPerPixel == 4) p[3] = static_cast<std::uint8_t>(x ^ y);
        }
    return pixels;
}

TEST(SaveTGA, RoundTripsGradientsWithoutRowPadding) {
    TempDir dir;
    const std::string path = dir.file("round.tga");
    for (int bytesPerPixel : {3, 4})
        for (Size size : {Size{1, 1}, Size{5, 3}, Size{47, 33}, Size{11, 50}}) {
            const std::uint32_t stride =
                bytesPerPixel == 3 ? BGRImage::strideFor(size.width) : 4 * static_cast<std::uint32_t>(size.width);
            const std::vector<std::uint8_t> source = gradient(size, bytesPerPixel, stride);
            SaveTGA(path.c_str(), size, stride, bytesPerPixel, source.data());

            const Bytes bytes = readBytes(path);
            const std::size_t rowBytes = static_cast<std::size_t>(size.width) * bytesPerPixel;
            ASSERT_EQ(bytes.size(), 18 + rowBytes * size.height);
            const Bytes header(bytes.begin(), bytes.begin() + 18);
            const Bytes expectedHeader = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                          static_cast<std::uint8_t>(size.width), static_cast<std::uint8_t>(size.width >> 8),
                                          static_cast<std::uint8_t>(size.height), static_cast<std::uint8_t>(size.height >> 8),
                                          static_cast<std::uint8_t>(bytesPerPixel == 3 ? 24 : 32), 0};
            EXPECT_EQ(header, expectedHeader);

            SinkPicture back;
            back.bytesPerPixel = bytesPerPixel;
            LoadTGA(path.c_str(), SinkPicture::sink, &back);
            ASSERT_EQ(back.size, size);
            for (std::int32_t y = 0; y < size.height; ++y)
                ASSERT_EQ(std::memcmp(back.pixels.data() + static_cast<std::size_t>(y) * back.stride,
                                      source.data() + static_cast<std::size_t>(y) * stride, rowBytes),
                          0)
                    << size.width << " x " << size.height << " at " << bytesPerPixel << " bytes, row " << y;
        }
}

TEST(SaveTGA, ReportsFailuresByKind) {
    TempDir dir;
    const std::vector<std::uint8_t> pixels = gradient({5, 3}, 3, 16);
    struct Case {
        const char* name;
        std::string path;
        int bytesPerPixel;
        std::int32_t kind;
    };
    std::vector<Case> cases = {
        {"missing folder is a write failure", dir.file("no/such/a.tga"), 3, ioException::writing},
        {"2 bytes per pixel", dir.file("b.tga"), 2, ioException::writing},
    };
    // Without a reader, a pipe would block the open for good.
    ASSERT_EQ(::mkfifo(dir.file("pipe.tga").c_str(), 0600), 0);
    cases.push_back({"a named pipe", dir.file("pipe.tga"), 3, ioException::writing});
    if (std::filesystem::exists("/dev/full"))
        cases.push_back({"no space left", "/dev/full", 3, ioException::writing});
    for (const Case& c : cases) {
        EXPECT_IO_EXCEPTION(SaveTGA(c.path.c_str(), {5, 3}, 16, c.bytesPerPixel, pixels.data()), c.kind, c.path,
                            anyReason)
            << c.name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.tga")));
}

}  // namespace
