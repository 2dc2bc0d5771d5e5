#include "image/bmp.h"

#include <gtest/gtest.h>

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
#include "support/message_recorder.h"
#include "support/temp_dir.h"

namespace {

constexpr const char* unsupported = "LoadBMP: Unsupported pixel format";

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

TEST(LoadBMP, UnsupportedFormatShowsMessageAndKeepsHeaderSize) {
    struct Case {
        const char* name;
        int bitCount;
        std::uint32_t compression;
    };
    TempDir dir;
    for (Case c : {Case{"run-length 8-bit", 8, 1}, Case{"bit fields", 24, 3}, Case{"16-bit", 16, 0},
                   Case{"1-bit", 1, 0}}) {
        std::vector<std::uint8_t> bytes = makeBmp(24, 5, 4, 0, 0, std::nullopt).bytes();
        bytes[28] = static_cast<std::uint8_t>(c.bitCount);
        bytes[30] = static_cast<std::uint8_t>(c.compression);
        writeBytes(dir.file("packed.bmp"), bytes);

        MessageRecorder recorder;
        RawImage image(dir.file("packed.bmp").c_str());
        EXPECT_EQ(image.size(), (Size{5, 4})) << c.name;
        EXPECT_NE(image.pixels, nullptr) << c.name;
        EXPECT_EQ(recorder.texts(), std::vector<std::string>{unsupported}) << c.name;

        MessageRecorder memoryRecorder;
        RawImage target(Size{5, 4});
        EXPECT_FALSE(DecodeBMPPixels(bytes.data() + 14, nullptr, target.pixels, bytes.size() - 14)) << c.name;
        EXPECT_EQ(memoryRecorder.texts(), std::vector<std::string>{unsupported}) << c.name;
    }
}

// The unsupported formats are not decoded, but their header size is still allocated:
// a few bytes claiming the largest picture are refused first.
TEST(LoadBMP, UnsupportedFormatsClaimingMoreThanTheFileHoldsAreRefused) {
    TempDir dir;
    for (std::uint32_t compression : {0u, 1u, 2u, 3u}) {
        std::vector<std::uint8_t> bytes = makeBmp(24, 1, 1, 0, 0, std::nullopt).bytes();
        bytes[18] = bytes[22] = 0xFF;  // 32767 x 32767
        bytes[19] = bytes[23] = 0x7F;
        bytes[28] = compression == 0 ? 1 : 8;
        bytes[30] = static_cast<std::uint8_t>(compression);
        const std::string path = dir.file("huge.bmp");
        writeBytes(path, bytes);
        MessageRecorder recorder;
        SinkPicture picture;
        EXPECT_IO_EXCEPTION(LoadBMP(path.c_str(), SinkPicture::sink, &picture), ioException::reading, path,
                            "picture larger than the file could hold")
            << "compression " << compression;
        EXPECT_EQ(picture.size, (Size{-1, -1})) << "compression " << compression;
    }
}

// Every file there has one defect its name tells; each is refused as a read failure for
// that defect.
TEST(LoadBMP, RefusesHostileFilesForTheDefectTheirNameTells) {
    const std::map<std::string, const char*> reasons = {
        {"shorter-than-file-header.bmp", "shorter than the file header"},
        {"shorter-than-info-header.bmp", "shorter than the information header"},
        {"file-size-field-past-end.bmp", "file size field past the end of the file"},
        {"top-down.bmp", "negative height (top-down rows)"},
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
    };
    expectCrashersRefused("bmp", LoadBMP, reasons);
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
