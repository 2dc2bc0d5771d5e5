#include "image/bmp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "image/bgr_image.h"
#include "image/bgra_image.h"
#include "platform/io_exception.h"
#include "support/hostile_input.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/message_recorder.h"
#include "support/ppm_pictures.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::array<std::uint8_t, 3>> makePalette(std::size_t entries) {
    std::vector<std::array<std::uint8_t, 3>> palette;
    for (std::size_t i = 0; i < entries; ++i)
        palette.push_back({static_cast<std::uint8_t>(17 * i + 1), static_cast<std::uint8_t>(255 - 9 * i),
                           static_cast<std::uint8_t>(i * i)});
    return palette;
}

// Every pixel distinct enough that a row or nibble mix-up shows.
BmpFile makeBmp(int bitCount, std::int32_t width, std::int32_t height, std::uint32_t coloursUsed,
                std::size_t paletteEntries, std::optional<std::uint32_t> gap) {
    BmpFile file{bitCount, width, height, coloursUsed, makePalette(paletteEntries), gap, {}};
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t v = static_cast<std::uint32_t>(x * 7 + y * 3);
            file.values.push_back(bitCount == 24 ? (v * 0x010305u) ^ 0x804020u : v % paletteEntries);
        }
    return file;
}

struct VariantCase {
    const char* name;
    BmpFile file;
};

std::vector<VariantCase> variantCases() {
    return {
        {"4-bit, 3 wide, colours used 0 (16 entries), offset 0", makeBmp(4, 3, 2, 0, 16, std::nullopt)},
        {"4-bit, 5 wide, 5 colours, offset with a gap", makeBmp(4, 5, 3, 5, 5, 6u)},
        {"4-bit, 47 wide, colours used 0, offset given", makeBmp(4, 47, 4, 0, 16, 0u)},
        {"8-bit, 3 wide, colours used 0 (256 entries), offset 0", makeBmp(8, 3, 3, 0, 256, std::nullopt)},
        {"8-bit, 5 wide, 7 colours, offset 0", makeBmp(8, 5, 2, 7, 7, std::nullopt)},
        {"8-bit, 47 wide, 7 colours, offset with a gap", makeBmp(8, 47, 5, 7, 7, 10u)},
        {"24-bit, 3 wide, offset 0", makeBmp(24, 3, 2, 0, 0, std::nullopt)},
        {"24-bit, 5 wide, offset 0 after 2 colours used", makeBmp(24, 5, 3, 2, 2, std::nullopt)},
        {"24-bit, 47 wide, offset with a gap", makeBmp(24, 47, 5, 0, 0, 10u)},
        {"24-bit, empty picture", makeBmp(24, 0, 0, 0, 0, std::nullopt)},
    };
}

void expectPixels(const BmpFile& file, const std::uint8_t* pixels, std::uint32_t stride, int bytesPerPixel,
                  const char* name) {
    for (std::int32_t y = 0; y < file.height; ++y)
        for (std::int32_t x = 0; x < file.width; ++x) {
            const std::uint8_t* p = pixels + static_cast<std::size_t>(y) * stride + x * bytesPerPixel;
            const auto want = file.expected(x, y);
            ASSERT_EQ(std::vector<int>(p, p + 3), std::vector<int>(want.begin(), want.end()))
                << name << ": pixel " << x << ", " << y;
            if (bytesPerPixel == 4) {
                ASSERT_EQ(p[3], 255) << name;
            }
        }
}

TEST(LoadBMP, DecodesEachUncompressedVariant) {
    TempDir dir;
    for (const VariantCase& c : variantCases()) {
        const std::string path = dir.file("variant.bmp");
        writeBytes(path, c.file.bytes());

        RawImage image(path.c_str());
        ASSERT_EQ(image.size(), (Size{c.file.width, c.file.height})) << c.name;
        expectPixels(c.file, image.pixels, image.stride, 3, c.name);

        BGRAImage withAlpha(Size{0, 0});
        LoadBMP(path.c_str(), BGRAImage::sink, &withAlpha);
        expectPixels(c.file, withAlpha.pixels, withAlpha.stride, 4, c.name);
    }
}

TEST(DecodeBMPPixels, DecodesEachVariantFromMemory) {
    for (const VariantCase& c : variantCases()) {
        const std::vector<std::uint8_t> bytes = c.file.bytes();
        const std::uint8_t* info = bytes.data() + 14;
        const std::uint8_t* data = nullptr;
        if (c.file.gap) data = bytes.data() + 54 + 4 * c.file.palette.size() + *c.file.gap;
        RawImage image(Size{c.file.width, c.file.height});
        ASSERT_TRUE(DecodeBMPPixels(info, data, image.pixels, bytes.size() - 14)) << c.name;
        expectPixels(c.file, image.pixels, image.stride, 3, c.name);
    }
}

TEST(LoadBMP, FourBitRowsArePaddedAndHighNibbleIsLeft) {
    // 3 x 1, 4 bits, two palette entries, pixels 1, 0, 1: bytes 0x10 0x10 and two of padding.
    const std::uint8_t file[] = {
        'B', 'M', 66, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,          // offset 0: after the palette
        40, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 1, 0, 4, 0,        // 3 x 1, 4 bits
        0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,         // uncompressed
        2, 0, 0, 0, 0, 0, 0, 0,                                 // 2 colours used
        1, 2, 3, 0, 4, 5, 6, 0,                                 // palette
        0x10, 0x10, 0xFF, 0xFF};
    static_assert(sizeof file == 66);
    TempDir dir;
    writeBytes(dir.file("a.bmp"), {std::begin(file), std::end(file)});
    RawImage image(dir.file("a.bmp").c_str());
    ASSERT_EQ(image.size(), (Size{3, 1}));
    const std::uint8_t want[9] = {4, 5, 6, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(std::memcmp(image.pixels, want, 9), 0);
}

const std::string fixtures = std::string(DOMECAST_TEST_DATA) + "/bmp/";

struct Fixture {
    const char* name;  // NAME.bmp and its expected pixels NAME.ppm in the fixture folder
    const char* variant;
    bool clipped;      // a run-length run reaches past the picture: a message names the file
};

// Every variant a paint program writes, and those it might; make_fixtures.sh says who
// wrote each and where its expected pixels come from.
const Fixture fixtureCases[] = {
    {"im-rgb24", "24-bit, 40-byte header", false},
    {"im-rgb24-v5", "24-bit, V5 header", false},
    {"im-pal8", "8-bit palette", false},
    {"im-pal4", "4-bit palette", false},
    {"im-pal1", "1-bit palette", false},
    {"im-rle8", "RLE8", false},
    {"im-argb32", "32-bit bit fields with alpha, V5 header", false},
    {"im-argb32-transparent", "32-bit bit fields, transparent pixels keep their colour", false},
    {"im-rgb565", "16-bit 5-6-5 bit fields, V5 header", false},
    {"im-rgb555", "16-bit 5-5-5 bit fields, V5 header", false},
    {"im-argb1555", "16-bit 1-5-5-5 bit fields with alpha", false},
    {"im-core24", "24-bit, OS/2 core header", false},
    {"im-core8", "8-bit, OS/2 core header, 3-byte palette entries", false},
    {"gimp-rgb24-no-colour-space", "24-bit, 40-byte header", false},
    {"gimp-rgb24-colour-space", "24-bit, V5 header", false},
    {"gimp-rgba32-no-colour-space", "32-bit with alpha, V3 header", false},
    {"gimp-rgba32-colour-space", "32-bit with alpha, V5 header", false},
    {"gimp-rgbx32-no-colour-space", "32-bit without alpha, V3 header", false},
    {"gimp-rgb565-no-colour-space", "16-bit 5-6-5, V3 header", false},
    {"gimp-rgb555-colour-space", "16-bit 5-5-5, V5 header", false},
    {"gimp-rgba5551-no-colour-space", "16-bit 5-5-5-1, V3 header", false},
    {"gimp-pal8-no-colour-space", "8-bit palette", false},
    {"gimp-rle8-no-colour-space", "RLE8, 40-byte header", false},
    {"gimp-rle8-colour-space", "RLE8, V5 header", false},
    {"gimp-pal4-no-colour-space", "4-bit palette", false},
    {"gimp-rle4-no-colour-space", "RLE4", false},
    {"gimp-pal1-no-colour-space", "1-bit palette", false},
    {"gimp-save-rgb", "file-bmp-save, 24-bit", false},
    {"gimp-save-rgba", "file-bmp-save, 32-bit with alpha", false},
    {"py-rle4-delta", "RLE4: literals, delta, early ends of line and bitmap, a run past the row", true},
    {"py-rle8-delta", "RLE8: literals, delta, early end of line, a run past the top", true},
    {"py-rgb16-bi-rgb", "16-bit without masks: 5-5-5", false},
    {"py-rgb32-bi-rgb", "32-bit without masks", false},
    {"py-565-masks-after-40", "5-6-5 masks after a 40-byte header", false},
    {"py-bgr-444-masks-after-40", "4-bit channels, blue in the high bits", false},
    {"py-alphabitfields-32", "BI_ALPHABITFIELDS at 32 bits", false},
    {"py-alphabitfields-1555", "BI_ALPHABITFIELDS at 16 bits", false},
    {"py-10-10-10-32", "10-bit channels", false},
    {"py-v2-header-565", "5-6-5, masks in a 52-byte header", false},
    {"py-v4-header-argb32", "32-bit, red in the high byte, alpha low, V4 header", false},
    {"py-top-down-24", "24-bit top-down", false},
    {"py-top-down-8", "8-bit palette top-down", false},
    {"py-top-down-565", "5-6-5 top-down", false},
    {"py-os2-v2-64", "OS/2 2.x 64-byte header", false},
    {"py-os2-v2-16", "OS/2 2.x 16-byte header", false},
};

// The differences between a decoded picture (bottom row first, blue, green, red) and the
// expected pixels (top row first, red, green, blue), as "x,y" of the first few.
std::string differences(const std::vector<std::uint8_t>& rgb, int width, int height, const std::uint8_t* pixels,
                        std::uint32_t stride, int bytesPerPixel) {
    std::string found;
    int count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* want = rgb.data() + 3 * (static_cast<std::size_t>(height - 1 - y) * width + x);
            const std::uint8_t* got = pixels + static_cast<std::size_t>(y) * stride + x * bytesPerPixel;
            const bool alphaWrong = bytesPerPixel == 4 && got[3] != 255;
            if ((got[0] != want[2] || got[1] != want[1] || got[2] != want[0] || alphaWrong) && count++ < 4)
                found += " (" + std::to_string(x) + "," + std::to_string(y) + ") got " + std::to_string(got[2]) + " " +
                         std::to_string(got[1]) + " " + std::to_string(got[0]) + " want " + std::to_string(want[0]) +
                         " " + std::to_string(want[1]) + " " + std::to_string(want[2]);
        }
    return count == 0 ? "" : std::to_string(count) + " pixels differ:" + found;
}

TEST(LoadBMP, DecodesEveryFixtureAsTheReferenceDoes) {
    for (const Fixture& c : fixtureCases) {
        SCOPED_TRACE(std::string(c.name) + ": " + c.variant);
        const std::string path = fixtures + c.name + ".bmp";
        int width = 0, height = 0;
        const std::vector<std::uint8_t> rgb = ppmPixels(fixtures + c.name + ".ppm", width, height);
        ASSERT_FALSE(rgb.empty());

        MessageRecorder recorder;
        RawImage image(path.c_str());
        ASSERT_EQ(image.size(), (Size{width, height}));
        EXPECT_EQ(differences(rgb, width, height, image.pixels, image.stride, 3), "");
        if (c.clipped) {
            ASSERT_EQ(recorder.texts().size(), 1u);
            EXPECT_NE(recorder.texts()[0].find("\"" + path + "\""), std::string::npos) << recorder.texts()[0];
        } else {
            EXPECT_TRUE(recorder.texts().empty());
        }

        BGRAImage withAlpha(Size{0, 0});
        LoadBMP(path.c_str(), BGRAImage::sink, &withAlpha);
        EXPECT_EQ(differences(rgb, width, height, withAlpha.pixels, withAlpha.stride, 4), "") << "4 bytes a pixel";

        // The same bytes from memory, as a compiled-in picture is decoded.
        const std::vector<std::uint8_t> bytes = readBytes(path);
        const std::uint32_t offset = bytes[10] | bytes[11] << 8 | bytes[12] << 16 | bytes[13] << 24;
        RawImage fromMemory(Size{width, height});
        ASSERT_TRUE(DecodeBMPPixels(bytes.data() + 14, offset != 0 ? bytes.data() + offset : nullptr,
                                    fromMemory.pixels, bytes.size() - 14));
        EXPECT_EQ(differences(rgb, width, height, fromMemory.pixels, fromMemory.stride, 3), "") << "from memory";
    }
}

TEST(LoadBMP, EveryFixtureIsInTheTable) {
    std::set<std::string> listed;
    for (const Fixture& c : fixtureCases) listed.insert(std::string(c.name) + ".bmp");
    for (const auto& entry : std::filesystem::directory_iterator(fixtures))
        if (entry.path().extension() == ".bmp") {
            EXPECT_TRUE(listed.count(entry.path().filename().string())) << entry.path();
        }
}

// A header claiming a large picture over a few bytes is refused before the sink is
// asked for the memory: raw rows by their size, a run-length stream by walking it.
TEST(LoadBMP, LargePicturesOverAFewBytesAreRefusedBeforeADestination) {
    struct Case {
        const char* name;
        int bitCount;
        std::uint32_t compression;
        std::vector<std::uint8_t> data;  // after a full palette
        const char* reason;
    };
    const Case cases[] = {
        {"1-bit rows", 1, 0, {0, 0, 0, 0}, "pixel rows past the end of the file"},
        {"32-bit rows", 32, 0, {0, 0, 0, 0}, "pixel rows past the end of the file"},
        {"RLE8 with one end of line", 8, 1, {0, 0}, "run-length data ends before the end of the picture"},
        {"RLE4 with a run", 4, 2, {255, 0x12}, "run-length data ends before the end of the picture"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = makeBmp(24, 1, 1, 0, 0, std::nullopt).bytes();
        bytes.resize(54);
        const std::int32_t side = 10000;  // within the pixel budget: only the bytes refuse it
        std::memcpy(&bytes[18], &side, 4);
        std::memcpy(&bytes[22], &side, 4);
        bytes[28] = static_cast<std::uint8_t>(c.bitCount);
        bytes[30] = static_cast<std::uint8_t>(c.compression);
        if (c.bitCount <= 8) bytes.resize(54 + (4u << c.bitCount), 0x40);
        bytes.insert(bytes.end(), c.data.begin(), c.data.end());
        bytes[2] = static_cast<std::uint8_t>(bytes.size());
        bytes[3] = static_cast<std::uint8_t>(bytes.size() >> 8);
        const std::string path = dir.file("huge.bmp");
        writeBytes(path, bytes);
        SinkPicture picture;
        EXPECT_IO_EXCEPTION(LoadBMP(path.c_str(), SinkPicture::sink, &picture), ioException::reading, path, c.reason)
            << c.name;
        EXPECT_EQ(picture.size, (Size{-1, -1})) << c.name;
        RawImage target(Size{1, 1});
        EXPECT_FALSE(DecodeBMPPixels(bytes.data() + 14, nullptr, target.pixels, bytes.size() - 14)) << c.name;
    }
}

// Every file there has one defect its name tells; each is refused as a read failure for
// that defect.
TEST(LoadBMP, RefusesHostileFilesForTheDefectTheirNameTells) {
    const std::map<std::string, const char*> reasons = {
        {"shorter-than-file-header.bmp", "shorter than the file header"},
        {"shorter-than-info-header.bmp", "shorter than the information header"},
        {"file-size-field-past-end.bmp", "file size field past the end of the file"},
        {"top-down-rle8.bmp", "top-down rows with run-length compression"},
        {"huge-width.bmp", "picture too large"},
        {"huge-height.bmp", "picture too large"},
        {"negative-width.bmp", "negative width"},
        {"info-header-size-too-small.bmp", "information header size too small"},
        {"info-header-size-past-end.bmp", "information header size past the end of the file"},
        {"palette-past-end.bmp", "palette past the end of the file"},
        {"colours-used-above-4-bit-depth.bmp", "colours used above the bit depth's palette"},
        {"colours-used-above-8-bit-depth.bmp", "colours used above the bit depth's palette"},
        {"index-beyond-colours-used-8-bit.bmp", "colour index beyond the colours used"},
        {"index-beyond-colours-used-4-bit.bmp", "colour index beyond the colours used"},
        {"pixel-data-past-end-24-bit.bmp", "pixel rows past the end of the file"},
        {"pixel-data-past-end-8-bit.bmp", "pixel rows past the end of the file"},
        {"data-offset-beyond-file.bmp", "pixel data offset past the end of the file"},
        {"data-offset-inside-header.bmp", "pixel data offset inside the headers"},
        {"bit-count-0.bmp", "unsupported bit count 0"},
        {"bit-count-7.bmp", "unsupported bit count 7"},
        {"bit-count-64.bmp", "unsupported bit count 64"},
        {"jpeg-compressed.bmp", "unsupported compression (JPEG)"},
        {"png-compressed.bmp", "unsupported compression (PNG)"},
        {"unknown-compression.bmp", "unsupported compression"},
        {"os2-huffman.bmp", "unsupported compression (OS/2 Huffman)"},
        {"rle4-at-8-bits.bmp", "RLE4 compression at a depth other than 4 bits"},
        {"bit-fields-at-24-bits.bmp", "bit-field compression at a depth other than 16 or 32 bits"},
        {"bit-field-masks-past-end.bmp", "bit-field masks past the end of the file"},
        {"bit-field-masks-overlap.bmp", "bit-field masks overlap"},
        {"bit-field-mask-with-gap.bmp", "bit-field mask with a gap"},
        {"bit-field-mask-wider-than-pixel.bmp", "bit-field mask wider than the pixel"},
        {"bit-field-masks-all-empty.bmp", "bit-field masks all empty"},
        {"index-beyond-colours-used-1-bit.bmp", "colour index beyond the colours used"},
        {"rle8-index-beyond-colours-used.bmp", "colour index beyond the colours used"},
        {"rle8-ends-inside-the-picture.bmp", "run-length data ends before the end of the picture"},
        {"rle4-literal-past-end.bmp", "run-length data ends before the end of the picture"},
        {"rle8-delta-past-end.bmp", "run-length data ends before the end of the picture"},
    };
    expectCrashersRefused("bmp", LoadBMP, reasons);

    // Nothing is asked of the sink for a file that is refused, and the in-memory decoder
    // refuses the same bytes.
    for (const auto& [name, reason] : reasons) {
        const std::string path = std::string(DOMECAST_TEST_DATA) + "/crashers/" + name;
        SinkPicture picture;
        EXPECT_THROW(LoadBMP(path.c_str(), SinkPicture::sink, &picture), ioException) << name;
        EXPECT_EQ(picture.size, (Size{-1, -1})) << name;
        // A block in memory has no file size field, and its pixels cannot lie beyond it.
        const std::vector<std::uint8_t> bytes = readBytes(path);
        if (bytes.size() < 14 || name == "file-size-field-past-end.bmp") continue;
        const std::uint32_t offset = bytes[10] | bytes[11] << 8 | bytes[12] << 16 | bytes[13] << 24;
        if (offset > bytes.size()) continue;
        std::vector<std::uint8_t> destination(1 << 16);
        EXPECT_FALSE(DecodeBMPPixels(bytes.data() + 14, offset != 0 ? bytes.data() + offset : nullptr,
                                     destination.data(), bytes.size() - 14))
            << name;
    }
}

TEST(DecodeBMPPixels, RefusesBlocksThatLie) {
    const BmpFile valid = makeBmp(8, 5, 3, 7, 7, std::nullopt);
    const std::vector<std::uint8_t> bytes = valid.bytes();
    RawImage image(Size{5, 3});
    const std::uint8_t* info = bytes.data() + 14;
    const std::size_t available = bytes.size() - 14;
    MessageRecorder recorder;
    EXPECT_TRUE(DecodeBMPPixels(info, nullptr, image.pixels, available));
    EXPECT_FALSE(DecodeBMPPixels(info, nullptr, image.pixels, available - 1)) << "last row cut short";
    EXPECT_FALSE(DecodeBMPPixels(info, nullptr, image.pixels, 39)) << "header cut short";
    EXPECT_FALSE(DecodeBMPPixels(info, info + available - 4, image.pixels, available)) << "pixels past the end";
    EXPECT_FALSE(DecodeBMPPixels(info, info + 8, image.pixels, available)) << "pixels inside the header";
    EXPECT_FALSE(DecodeBMPPixels(info, bytes.data(), image.pixels, available)) << "pixels before the header";
    EXPECT_TRUE(recorder.texts().empty());
}

TEST(LoadBMP, OpeningFailures) {
    TempDir dir;
    for (const std::string& path : {dir.file("missing.bmp"), dir.path().string()}) {
        RawImage image(Size{0, 0});
        EXPECT_IO_EXCEPTION(LoadBMP(path.c_str(), RawImage::sink, &image), ioException::opening, path,
                            "cannot open the file");
    }
}

TEST(LoadBMP, RefusesDestinationsThatCannotHoldThePicture) {
    struct Case {
        const char* name;
        SinkPicture answer;
    };
    SinkPicture twoBytes;
    twoBytes.bytesPerPixel = 2;
    SinkPicture shortStride;
    shortStride.strideShortBy = 1;
    SinkPicture noPixels;
    noPixels.nullPixels = true;
    TempDir dir;
    writeBytes(dir.file("a.bmp"), makeBmp(24, 5, 3, 0, 0, std::nullopt).bytes());
    for (Case c : {Case{"2 bytes per pixel", twoBytes}, Case{"stride below a row", shortStride},
                   Case{"null pixels", noPixels}}) {
        EXPECT_IO_EXCEPTION(LoadBMP(dir.file("a.bmp").c_str(), SinkPicture::sink, &c.answer), ioException::reading,
                            dir.file("a.bmp"), "no destination for the picture")
            << c.name;
    }
    // An empty picture needs no pixels.
    writeBytes(dir.file("empty.bmp"), makeBmp(24, 0, 0, 0, 0, std::nullopt).bytes());
    EXPECT_NO_THROW(LoadBMP(dir.file("empty.bmp").c_str(), SinkPicture::sink, &noPixels));
    // A wider stride than needed is honoured.
    SinkPicture slack;
    slack.strideSlack = 5;
    const BmpFile file = makeBmp(24, 5, 3, 0, 0, std::nullopt);
    LoadBMP(dir.file("a.bmp").c_str(), SinkPicture::sink, &slack);
    expectPixels(file, slack.pixels.data(), slack.stride, 3, "stride with slack");
}

// Pixel (x, y) of a gradient: blue x, green y, red x + y; padding bytes are left at 0.
void fillGradient(RawImage& image) {
    for (std::int32_t y = 0; y < image.height; ++y)
        for (std::int32_t x = 0; x < image.width; ++x) {
            std::uint8_t* p = image.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 5);
            p[1] = static_cast<std::uint8_t>(y * 7);
            p[2] = static_cast<std::uint8_t>(x + y);
        }
}

TEST(SaveBMP, RoundTripsGradientsOfOddSizes) {
    TempDir dir;
    for (Size size : {Size{1, 1}, Size{3, 2}, Size{47, 33}, Size{11, 50}, Size{0, 0}}) {
        RawImage source(size);
        fillGradient(source);
        const std::string path = dir.file("round.bmp");
        SaveBMP(path.c_str(), size, source.stride, 3, source.pixels);

        const std::vector<std::uint8_t> bytes = readBytes(path);
        const std::uint32_t pixelBytes = source.stride * static_cast<std::uint32_t>(size.height);
        ASSERT_EQ(bytes.size(), 54 + pixelBytes);
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        auto field = [&bytes](std::size_t at) {
            return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24;
        };
        EXPECT_EQ(field(2), static_cast<int>(54 + pixelBytes));
        EXPECT_EQ(field(10), 54);
        EXPECT_EQ(field(14), 40);
        EXPECT_EQ(field(18), size.width);
        EXPECT_EQ(field(22), size.height);
        EXPECT_EQ(bytes[28], 24);
        EXPECT_EQ(field(30), 0);
        EXPECT_EQ(field(34), static_cast<int>(pixelBytes));
        EXPECT_EQ(std::memcmp(bytes.data() + 54, source.pixels, pixelBytes), 0);

        const RawImage back(path.c_str());
        ASSERT_EQ(back.size(), size);
        for (std::int32_t y = 0; y < size.height; ++y)
            ASSERT_EQ(std::memcmp(back.row(y), source.row(y), 3 * static_cast<std::size_t>(size.width)), 0)
                << size.width << " x " << size.height << " row " << y;
    }
}

TEST(SaveBMP, ReportsFailuresByKind) {
    TempDir dir;
    RawImage source(Size{5, 3});
    fillGradient(source);
    struct Case {
        const char* name;
        std::string path;
        std::uint32_t stride;
        std::int32_t kind;
    };
    std::vector<Case> cases = {
        {"missing folder", dir.file("no/such/a.bmp"), source.stride, ioException::opening},
        {"stride other than the 24-bit stride", dir.file("b.bmp"), source.stride - 1, ioException::writing},
    };
    if (std::filesystem::exists("/dev/full"))
        cases.push_back({"no space left", "/dev/full", source.stride, ioException::writing});
    for (const Case& c : cases) {
        EXPECT_IO_EXCEPTION(SaveBMP(c.path.c_str(), source.size(), c.stride, 3, source.pixels), c.kind, c.path,
                            anyReason)
            << c.name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.bmp"))) << "a refused buffer creates no file";
}

}  // namespace
