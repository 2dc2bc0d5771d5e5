#include "image/png.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

#include "image/bgr_image.h"
#include "platform/io_exception.h"
#include "support/forked_child.h"
#include "support/hostile_input.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/message_recorder.h"
#include "support/temp_dir.h"

namespace {

// A PNG written by libpng itself from rows given top first, in the file's own format.
struct DirectPng {
    int width, height, bitDepth, colourType;
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<png_color> palette;
    std::vector<std::uint8_t> transparency;
    bool interlaced = false;
};

void writeDirectly(const std::string& path, const DirectPng& p) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height), p.bitDepth,
                 p.colourType, p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    if (!p.palette.empty()) png_set_PLTE(png, info, p.palette.data(), static_cast<int>(p.palette.size()));
    if (!p.transparency.empty())
        png_set_tRNS(png, info, p.transparency.data(), static_cast<int>(p.transparency.size()), nullptr);
    png_write_info(png, info);
    const int passes = p.interlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass)
        for (const auto& row : p.rows) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

std::vector<std::uint8_t> pixelAt(const RawImage& image, int x, int y) {
    const std::uint8_t* p = image.row(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

// The PNG's chunks as (type, data).
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> chunksOf(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> chunks;
    std::size_t at = 8;
    while (at + 12 <= bytes.size()) {
        const std::size_t length = (std::size_t{bytes[at]} << 24) | (std::size_t{bytes[at + 1]} << 16) |
                                   (std::size_t{bytes[at + 2]} << 8) | bytes[at + 3];
        if (at + 12 + length > bytes.size()) break;
        chunks.emplace_back(std::string(bytes.begin() + static_cast<long>(at + 4), bytes.begin() + static_cast<long>(at + 8)),
                            std::vector<std::uint8_t>(bytes.begin() + static_cast<long>(at + 8),
                                                      bytes.begin() + static_cast<long>(at + 8 + length)));
        at += 12 + length;
    }
    return chunks;
}

TEST(LoadPNG, PaletteWithTransparencyReadsAsOpaqueRGB) {
    TempDir dir;
    const std::string path = dir.file("palette.png");
    // 3 x 2, 4-bit palette; entry 1 fully transparent.
    DirectPng p{3, 2, 4, PNG_COLOR_TYPE_PALETTE, {{0x01, 0x20}, {0x21, 0x00}}, {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}}, {255, 0}};
    writeDirectly(path, p);
    RawImage image(Size{0, 0});
    LoadPNG(path.c_str(), RawImage::sink, &image);
    ASSERT_EQ(image.size(), (Size{3, 2}));
    // File row 0 (indices 0 1 2) is the top: buffer row 1. Blue, green, red.
    EXPECT_EQ(pixelAt(image, 0, 1), (std::vector<std::uint8_t>{30, 20, 10}));
    EXPECT_EQ(pixelAt(image, 1, 1), (std::vector<std::uint8_t>{60, 50, 40}));
    EXPECT_EQ(pixelAt(image, 2, 1), (std::vector<std::uint8_t>{90, 80, 70}));
    EXPECT_EQ(pixelAt(image, 0, 0), (std::vector<std::uint8_t>{90, 80, 70}));
    EXPECT_EQ(pixelAt(image, 1, 0), (std::vector<std::uint8_t>{60, 50, 40}));
}

TEST(LoadPNG, EveryColourTypeArrivesAsEightBitBGR) {
    struct Case {
        const char* name;
        DirectPng png;
        std::vector<std::uint8_t> topLeft, topRight;  // blue, green, red
    };
    const Case cases[] = {
        {"16-bit RGB", {2, 1, 16, PNG_COLOR_TYPE_RGB, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x00}}, {}, {}},
         {0x9A, 0x56, 0x12}, {0x80, 0x00, 0xFF}},
        {"grey with alpha", {2, 1, 8, PNG_COLOR_TYPE_GRAY_ALPHA, {{77, 0, 200, 255}}, {}, {}}, {77, 77, 77}, {200, 200, 200}},
        {"16-bit grey with alpha", {2, 1, 16, PNG_COLOR_TYPE_GRAY_ALPHA, {{0x40, 0x11, 0, 0, 0xC0, 0x22, 0xFF, 0xFF}}, {}, {}},
         {0x40, 0x40, 0x40}, {0xC0, 0xC0, 0xC0}},
        {"1-bit grey", {2, 1, 1, PNG_COLOR_TYPE_GRAY, {{0x40}}, {}, {}}, {0, 0, 0}, {255, 255, 255}},
        {"RGB with alpha", {2, 1, 8, PNG_COLOR_TYPE_RGB_ALPHA, {{1, 2, 3, 0, 4, 5, 6, 128}}, {}, {}}, {3, 2, 1}, {6, 5, 4}},
        {"RGB", {2, 1, 8, PNG_COLOR_TYPE_RGB, {{1, 2, 3, 4, 5, 6}}, {}, {}}, {3, 2, 1}, {6, 5, 4}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.file("case.png");
        writeDirectly(path, c.png);
        RawImage image(Size{0, 0});
        LoadPNG(path.c_str(), RawImage::sink, &image);
        ASSERT_EQ(image.size(), (Size{2, 1})) << c.name;
        EXPECT_EQ(pixelAt(image, 0, 0), c.topLeft) << c.name;
        EXPECT_EQ(pixelAt(image, 1, 0), c.topRight) << c.name;
    }
}

TEST(LoadPNG, InterlacedReadsLikePlainWithoutWarnings) {
    TempDir dir;
    DirectPng p{9, 9, 8, PNG_COLOR_TYPE_RGB, {}, {}, {}};
    for (int y = 0; y < 9; ++y) {
        std::vector<std::uint8_t> row;
        for (int x = 0; x < 9; ++x) row.insert(row.end(), {static_cast<std::uint8_t>(x * 25), static_cast<std::uint8_t>(y * 25), 77});
        p.rows.push_back(row);
    }
    writeDirectly(dir.file("plain.png"), p);
    p.interlaced = true;
    writeDirectly(dir.file("adam7.png"), p);
    MessageRecorder recorder;
    RawImage plain(Size{0, 0}), adam7(Size{0, 0});
    LoadPNG(dir.file("plain.png").c_str(), RawImage::sink, &plain);
    LoadPNG(dir.file("adam7.png").c_str(), RawImage::sink, &adam7);
    ASSERT_EQ(adam7.size(), (Size{9, 9}));
    for (int y = 0; y < 9; ++y) EXPECT_EQ(std::memcmp(plain.row(y), adam7.row(y), 27), 0) << y;
    EXPECT_EQ(pixelAt(adam7, 8, 0), (std::vector<std::uint8_t>{77, 200, 200}));
    EXPECT_TRUE(recorder.messages().empty());
}

TEST(SavePNG, ColourTypeFollowsBytesPerPixelAndRowsRoundTrip) {
    TempDir dir;
    for (int bytesPerPixel : {3, 4}) {
        const std::string path = dir.file("out.png");
        const int width = 5, height = 3;
        const std::uint32_t stride = bytesPerPixel == 3 ? 16 : 20;
        std::vector<std::uint8_t> pixels(stride * height);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 + 1);
        SavePNG(path.c_str(), {width, height}, stride, bytesPerPixel, pixels.data());

        const auto chunks = chunksOf(readBytes(path));
        ASSERT_FALSE(chunks.empty());
        ASSERT_EQ(chunks[0].first, "IHDR");
        EXPECT_EQ(chunks[0].second[8], 8);                              // bit depth
        EXPECT_EQ(chunks[0].second[9], bytesPerPixel == 4 ? 6 : 2);     // colour type
        EXPECT_EQ(chunks[0].second[12], 0);                             // no interlacing

        // Independent decode: the first PNG row is buffer row 2, in RGB(A) order.
        std::FILE* file = std::fopen(path.c_str(), "rb");
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, file);
        png_read_info(png, info);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(width * bytesPerPixel));
        png_read_row(png, row.data(), nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        const std::uint8_t* top = pixels.data() + 2 * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* b = top + x * bytesPerPixel;
            const std::uint8_t* f = row.data() + x * bytesPerPixel;
            EXPECT_EQ(f[0], b[2]);
            EXPECT_EQ(f[1], b[1]);
            EXPECT_EQ(f[2], b[0]);
            if (bytesPerPixel == 4) {
                EXPECT_EQ(f[3], b[3]);
            }
        }
    }
}

TEST(SavePNG, CarriesOneSoftwareTextChunkAndNothingExtra) {
    TempDir dir;
    const std::string path = dir.file("out.png");
    RawImage image(Size{7, 7});
    SavePNG(path.c_str(), image.size(), image.stride, 3, image.pixels);
    int texts = 0;
    for (const auto& [type, data] : chunksOf(readBytes(path))) {
        EXPECT_NE(type, "tIME");
        EXPECT_NE(type, "gAMA");
        EXPECT_NE(type, "PLTE");
        if (type == "tEXt") {
            ++texts;
            const char expected[] = "Software\0Domecast";
            EXPECT_EQ(std::string(data.begin(), data.end()), std::string(expected, sizeof expected - 1));
        }
    }
    EXPECT_EQ(texts, 1);
}

TEST(LoadPNG, ReadsWhatSavePNGWrote) {
    TempDir dir;
    const std::string path = dir.file("round.png");
    RawImage image(Size{11, 50});
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 11; ++x) {
            std::uint8_t* p = image.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 20);
            p[1] = static_cast<std::uint8_t>(y * 5);
            p[2] = static_cast<std::uint8_t>(x ^ y);
        }
    SavePNG(path.c_str(), image.size(), image.stride, 3, image.pixels);
    RawImage back(Size{0, 0});
    LoadPNG(path.c_str(), RawImage::sink, &back);
    ASSERT_EQ(back.size(), image.size());
    for (int y = 0; y < 50; ++y) ASSERT_EQ(std::memcmp(back.row(y), image.row(y), 33), 0) << y;
}

TEST(PNG, Failures) {
    TempDir dir;
    RawImage image(Size{4, 4});
    struct Case { const char* what; std::string path; int kind; };
    const std::string good = dir.file("good.png");
    SavePNG(good.c_str(), image.size(), image.stride, 3, image.pixels);
    auto bytes = readBytes(good);
    const std::string truncated = dir.file("truncated.png");
    writeBytes(truncated, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2)));
    const std::string notPng = dir.file("text.png");
    writeBytes(notPng, {'h', 'e', 'l', 'l', 'o'});
    for (const Case& c : {Case{"missing", dir.file("missing.png"), ioException::opening},
                          Case{"truncated", truncated, ioException::opening},
                          Case{"not a PNG", notPng, ioException::opening}}) {
        RawImage back(Size{0, 0});
        EXPECT_IO_EXCEPTION(LoadPNG(c.path.c_str(), RawImage::sink, &back), c.kind, c.path, anyReason) << c.what;
    }
    const std::string noFolder = dir.file("no/folder.png");
    EXPECT_IO_EXCEPTION(SavePNG(noFolder.c_str(), image.size(), image.stride, 3, image.pixels), ioException::opening,
                        noFolder, "cannot create the file");
    // A size libpng refuses is a libpng error: opening, naming the file, with libpng's
    // error and its warning as the reason and nothing printed before.
    const std::string empty = dir.file("empty.png");
    MessageRecorder recorder;
    EXPECT_IO_EXCEPTION(SavePNG(empty.c_str(), {0, 4}, image.stride, 3, image.pixels), ioException::opening, empty,
                        "Invalid IHDR data (Image width is zero in IHDR)");
    EXPECT_TRUE(recorder.texts().empty());
    // Neither 3 nor 4 bytes a pixel: refused before anything is read from the pixels.
    const std::string onePerPixel = dir.file("grey.png");
    EXPECT_IO_EXCEPTION(SavePNG(onePerPixel.c_str(), image.size(), image.stride, 1, image.pixels), ioException::opening,
                        onePerPixel, "pixel size neither 3 nor 4 bytes");
}

// A side over the reader's old wall of 32767 is read like any other.
TEST(LoadPNG, ASideOver32767IsRead) {
    TempDir dir;
    const std::string path = dir.file("tall.png");
    DirectPng p{1, 32768, 8, PNG_COLOR_TYPE_GRAY, {}, {}, {}};
    p.rows.assign(32768, std::vector<std::uint8_t>{9});
    writeDirectly(path, p);
    const ReadOutcome outcome = readWithLimit(LoadPNG, path, 1 << 20);
    EXPECT_TRUE(outcome.loaded);
    EXPECT_EQ(outcome.size, (Size{1, 32768}));
}

}  // namespace

namespace {

// A few bytes whose chunk claims 2 GB: refused from the lengths before libpng allocates
// (and clears) the claimed size. Checked in a child, whose high-water mark starts at the
// parent's size.
TEST(LoadPNG, AChunkLongerThanTheFileIsRefusedBeforeItIsAllocated) {
    TempDir dir;
    const std::string path = dir.file("chunk.png");
    RawImage image(Size{8, 8});
    SavePNG(path.c_str(), image.size(), image.stride, 3, image.pixels);
    std::vector<std::uint8_t> bytes = readBytes(path);
    // After the signature (8) and IHDR (25): a zTXt claiming 0x7FFFFFF0 bytes, holding 3.
    bytes.resize(33);
    bytes.insert(bytes.end(), {0x7F, 0xFF, 0xFF, 0xF0, 'z', 'T', 'X', 't', 'a', 'b', 'c'});
    writeBytes(path, bytes);
    const std::string report = checkInChild([&]() -> std::string {
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        SinkPicture picture;
        std::string failures;
        if (!throwsIoException([&] { LoadPNG(path.c_str(), SinkPicture::sink, &picture); }, "LoadPNG",
                               ioException::opening, path, "file ends inside a chunk"))
            failures += "not refused as a cut chunk\n";
        ::getrusage(RUSAGE_SELF, &after);
        if (after.ru_maxrss - before.ru_maxrss > 100 * 1024)
            failures += "grew by " + std::to_string(after.ru_maxrss - before.ru_maxrss) + " kB\n";
        return failures;
    });
    EXPECT_EQ(report, "");
}

}  // namespace
