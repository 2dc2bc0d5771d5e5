// The pixel budget: pictures whose headers claim more pixels than the limit or the memory
// allow are refused from the header, before their pixels are allocated or decoded.
#include "image/pixel_budget.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <zlib.h>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "image/jpeg.h"
#include "image/pcx_read.h"
#include "image/png.h"
#include "image/tga.h"
#include "platform/memory_status.h"
#include "platform/settings.h"
#include "support/forked_child.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}
void put32BigEndian(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// A small real picture written by the writer, read back as bytes.
Bytes smallPicture(const std::string& path, ImageWriter writer) {
    RawImage image(Size{8, 8});
    writer(path.c_str(), image.size(), image.stride, 3, image.pixels);
    return readBytes(path);
}

// A PNG whose IHDR claims width x height, its CRC made to match.
Bytes pngClaiming(const std::string& scratch, std::uint32_t width, std::uint32_t height) {
    Bytes png = smallPicture(scratch, SavePNG);
    // Signature (8), IHDR length (4) and type (4), then width and height.
    put32BigEndian(png, 16, width);
    put32BigEndian(png, 20, height);
    put32BigEndian(png, 29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)));
    return png;
}

// A baseline JPEG whose frame header claims width x height.
Bytes jpegClaiming(const std::string& scratch, std::uint16_t width, std::uint16_t height) {
    Bytes jpeg = smallPicture(scratch, SaveJPEG);
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            // Marker, length (2), precision (1), then height and width, big-endian.
            jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<std::uint8_t>(height);
            jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<std::uint8_t>(width);
            return jpeg;
        }
    return {};
}

// A BMP header whose compression (4, JPEG) gives no bound from the file's size.
// An RLE8 picture whose stream is a lone end of bitmap: every pixel palette index 0.
Bytes bmpClaiming(std::int32_t width, std::int32_t height) {
    Bytes bmp(14 + 40 + 2 * 4 + 2, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(bmp, 2, static_cast<std::uint32_t>(bmp.size()));
    put32(bmp, 14, 40);
    put32(bmp, 18, static_cast<std::uint32_t>(width));
    put32(bmp, 22, static_cast<std::uint32_t>(height));
    put16(bmp, 26, 1);
    put16(bmp, 28, 8);
    put32(bmp, 30, 1);   // RLE8
    put32(bmp, 46, 2);   // two palette entries
    bmp[bmp.size() - 1] = 1;  // 0, 1: end of bitmap
    return bmp;
}

// Run-length packets enough for the file-size check: the pixels are never decoded.
Bytes targaClaiming(std::uint16_t width, std::uint16_t height, std::size_t packetBytes) {
    Bytes tga = targaHeader(10, 0, 0, 0, 0, 0, 0, 24);
    put16(tga, 12, width);
    put16(tga, 14, height);
    tga.resize(tga.size() + packetBytes, 0xFF);
    return tga;
}

Bytes pcxClaiming(std::uint16_t width, std::uint16_t height, std::size_t dataBytes) {
    Bytes pcx(128, 0);
    pcx[0] = 0x0A;
    pcx[1] = 5;
    pcx[2] = 1;
    pcx[3] = 8;
    put16(pcx, 8, width - 1u);
    put16(pcx, 10, height - 1u);
    pcx[65] = 1;
    put16(pcx, 66, width);
    pcx.resize(pcx.size() + dataBytes, 0xFF);
    return pcx;
}

long maxResidentKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Bomb {
    const char* name;
    ImageReader reader;
    std::function<Bytes(const std::string& scratch)> file;
    const char* size;   // as the message gives it
    const char* limit;  // the end of the message, naming the limit met
    std::uint32_t megapixels = defaultMaxImageMegapixels;
};

constexpr const char* budgetLimit = "; the limit is 300 megapixels (\"MaxImageMegapixels\") and";

// Each bomb header is refused with "picture too large" and a message giving its size,
// the memory it needs and the limit it meets, without asking for a destination and
// without the memory its pixels would take (checked in a child, whose high-water mark
// starts at the parent's size). Where the budget allows a picture, only the format's
// own limit stands: 65500 for libjpeg, rows of 32-bit lengths for any reader.
TEST(PixelBudget, BombHeadersAreRefusedBeforeTheirPixelsAreAllocated) {
    const Bomb bombs[] = {
        {"PNG 32767 x 32767", LoadPNG, [](const std::string& s) { return pngClaiming(s, 32767, 32767); },
         "32767 x 32767", budgetLimit},
        {"JPEG 30000 x 30000", LoadJPEG, [](const std::string& s) { return jpegClaiming(s, 30000, 30000); },
         "30000 x 30000", budgetLimit},
        // A 360-degree camera's stitched size, over the default budget only.
        {"JPEG 32768 x 16384", LoadJPEG, [](const std::string& s) { return jpegClaiming(s, 32768, 16384); },
         "32768 x 16384", budgetLimit},
        {"PNG 32768 x 16384", LoadPNG, [](const std::string& s) { return pngClaiming(s, 32768, 16384); },
         "32768 x 16384", budgetLimit},
        {"JPEG 65501 x 8, over libjpeg's sides", LoadJPEG, [](const std::string& s) { return jpegClaiming(s, 65501, 8); },
         "65501 x 8", "; JPEG pictures are at most 65500 pixels wide and high."},
        {"JPEG 8 x 65535, over libjpeg's sides", LoadJPEG, [](const std::string& s) { return jpegClaiming(s, 8, 65535); },
         "8 x 65535", "; JPEG pictures are at most 65500 pixels wide and high."},
        {"PNG 2147483647 x 1, the widest the format holds, under a limit of 4000 megapixels", LoadPNG,
         [](const std::string& s) { return pngClaiming(s, 2147483647, 1); }, "2147483647 x 1",
         "; rows are at most 1431655764 pixels wide.", 4000},
        {"BMP 32767 x 32767", LoadBMP, [](const std::string&) { return bmpClaiming(32767, 32767); },
         "32767 x 32767", budgetLimit},
        // 320 megapixels in run-length packets of 128 pixels need a 5 MB file to pass the
        // file-size check; 10 MB of runs of 32 bytes for the PCX.
        {"Targa 20000 x 16000", LoadTGA, [](const std::string&) { return targaClaiming(20000, 16000, 5 << 20); },
         "20000 x 16000", budgetLimit},
        {"Targa 65535 x 8192", LoadTGA, [](const std::string&) { return targaClaiming(65535, 8192, 9 << 20); },
         "65535 x 8192", budgetLimit},
        {"PCX 20000 x 16000", LoadPCX, [](const std::string&) { return pcxClaiming(20000, 16000, 10 << 20); },
         "20000 x 16000", budgetLimit},
    };
    TempDir dir;
    for (const Bomb& bomb : bombs) {
        SCOPED_TRACE(bomb.name);
        const std::string path = dir.file("bomb");
        const Bytes bytes = bomb.file(dir.file("scratch"));
        ASSERT_FALSE(bytes.empty());
        writeBytes(path, bytes);
        const std::string report = checkInChild([&]() -> std::string {
            setMaxImageMegapixels(bomb.megapixels);
            const long before = maxResidentKilobytes();
            SinkPicture picture;
            try {
                bomb.reader(path.c_str(), SinkPicture::sink, &picture);
                return "read without refusal";
            } catch (const ioException& e) {
                std::string failures;
                if (std::string(e.reason) != "picture too large") failures += std::string("reason: ") + e.reason + "\n";
                const std::string start = "The picture " + path + " is too large: " + bomb.size + " pixels, ";
                if (!e.message.starts_with(start)) failures += "message not starting " + start + ": " + e.message + "\n";
                for (const char* part : {" megapixels, needing ", " of memory", bomb.limit})
                    if (e.message.find(part) == std::string::npos) failures += "message without " + std::string(part) + ": " + e.message + "\n";
                if (picture.size != Size{-1, -1}) failures += "a destination was asked for\n";
                const long grown = maxResidentKilobytes() - before;
                if (grown > 100 * 1024) failures += "grew by " + std::to_string(grown) + " kB\n";
                return failures;
            }
        });
        EXPECT_EQ(report, "");
    }
}

// Pictures just over the readers' old fixed walls (32767 for JPEG and PNG, libpng's
// default million) and at libjpeg's own limit: what the writers write, the readers read
// back, the pixel budget allowing. A JPEG over libjpeg's limit is never written.
TEST(PixelBudget, WhatTheWritersWriteTheReadersReadUpToTheFormatsLimits) {
    struct Case {
        const char* name;
        ImageWriter writer;
        ImageReader reader;
        Size size;
        int tolerance;  // per channel, for the lossy coding
    };
    const Case cases[] = {
        {"JPEG 32768 x 8", SaveJPEG, LoadJPEG, {32768, 8}, 12},
        {"JPEG 40000 x 2", SaveJPEG, LoadJPEG, {40000, 2}, 12},
        {"JPEG 65500 x 8", SaveJPEG, LoadJPEG, {65500, 8}, 12},
        {"JPEG 8 x 65500", SaveJPEG, LoadJPEG, {8, 65500}, 12},
        {"PNG 32768 x 8", SavePNG, LoadPNG, {32768, 8}, 0},
        {"PNG 40000 x 2", SavePNG, LoadPNG, {40000, 2}, 0},
        {"PNG 1000001 x 1", SavePNG, LoadPNG, {1000001, 1}, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Blocks of 64 pixels of one colour, whose insides the lossy coding keeps close.
        RawImage picture(c.size);
        for (std::int32_t y = 0; y < c.size.height; ++y)
            for (std::int32_t x = 0; x < c.size.width; ++x) {
                std::uint8_t* p = picture.row(y) + 3 * static_cast<std::size_t>(x);
                const int block = x / 64 + y / 64;
                p[0] = static_cast<std::uint8_t>(block % 2 ? 200 : 40);
                p[1] = static_cast<std::uint8_t>(block % 3 ? 180 : 60);
                p[2] = 128;
            }
        const std::string path = dir.file("wide");
        ASSERT_NO_THROW(c.writer(path.c_str(), c.size, picture.stride, 3, picture.pixels));
        SinkPicture read;
        ASSERT_NO_THROW(c.reader(path.c_str(), SinkPicture::sink, &read));
        ASSERT_EQ(read.size, c.size);
        // Away from a block's edges, where the lossy coding rings.
        const auto inside = [&](std::int32_t at, std::int32_t side) {
            return c.tolerance == 0 || side < 64 || (at % 64 >= 16 && at % 64 < 48);
        };
        int worst = 0;
        for (std::int32_t y = 0; y < c.size.height; ++y)
            for (std::int32_t x = 0; x < c.size.width; ++x)
                for (int k = 0; k < 3 && inside(x, c.size.width) && inside(y, c.size.height); ++k)
                    worst = std::max(worst, std::abs(read.at(x, y)[k] - picture.row(y)[3 * static_cast<std::size_t>(x) + k]));
        EXPECT_LE(worst, c.tolerance);
    }
    RawImage over(Size{65501, 8});
    EXPECT_IO_EXCEPTION(SaveJPEG(dir.file("over.jpg").c_str(), over.size(), over.stride, 3, over.pixels),
                        ioException::writing, dir.file("over.jpg"), "Maximum supported image dimension is 65500 pixels");
}

// The limit comes from "MaxImageMegapixels" unless a command line set its own, and is
// never more than the memory available holds.
TEST(PixelBudget, LimitFollowsTheSettingTheOverrideAndTheMemory) {
    TempDir dir;
    ScopedSettings settings(dir.path().string());
    const Size photo{16384, 8192};  // 134 megapixels
    EXPECT_EQ(maxImageMegapixels(), defaultMaxImageMegapixels);
    EXPECT_TRUE(withinPixelBudget(photo));
    EXPECT_TRUE(withinPixelBudget(Size{16384, 16384}));  // 268 megapixels
    EXPECT_TRUE(withinPixelBudget(Size{20000, 15000}));  // exactly the limit
    EXPECT_FALSE(withinPixelBudget(Size{20000, 15001}));

    writeNumberSetting("MaxImageMegapixels", 100);
    EXPECT_EQ(maxImageMegapixels(), 100u);
    EXPECT_FALSE(withinPixelBudget(photo));
    writeNumberSetting("MaxImageMegapixels", 2000);
    EXPECT_TRUE(withinPixelBudget(Size{32767, 32767}));

    const std::optional<std::uint32_t> previous = setMaxImageMegapixels(50);
    EXPECT_EQ(maxImageMegapixels(), 50u);
    EXPECT_FALSE(withinPixelBudget(photo));
    setMaxImageMegapixels(previous);
    EXPECT_EQ(maxImageMegapixels(), 2000u);

    // 100 MB available: a 20-megapixel picture (120 MB with its working copy) is refused
    // whatever the limit, and the message says what is available.
    const MemoryStatusSource old = setMemoryStatusSource([] { return MemoryStatus{100000000, 0}; });
    EXPECT_TRUE(withinPixelBudget(Size{4000, 4000}));
    EXPECT_FALSE(withinPixelBudget(Size{5000, 4000}));
    const ioException refusal = pixelBudgetRefusal("big.png", ioException::reading, Size{5000, 4000});
    EXPECT_EQ(refusal.message,
              "The picture big.png is too large: 5000 x 4000 pixels, 20 megapixels, needing 120 MB of memory; the "
              "limit is 2000 megapixels (\"MaxImageMegapixels\") and 100 MB of memory is available.");
    setMemoryStatusSource(old);
}

// Sizes the Targa and PCX fields hold unsigned read as such: a 40000-wide picture reads,
// and is refused only by the limit, as too large.
TEST(PixelBudget, WideTargaAndPcxReadUnlessTheLimitRefusesThem) {
    TempDir dir;
    Bytes tga = targaHeader(2, 0, 0, 0, 0, 0, 0, 24);
    put16(tga, 12, 40000);
    put16(tga, 14, 2);
    for (int i = 0; i < 40000 * 2; ++i) tga.insert(tga.end(), {1, 2, static_cast<std::uint8_t>(i % 251)});
    const std::string tgaPath = dir.file("wide.tga");
    writeBytes(tgaPath, tga);

    Bytes pcx = pcxClaiming(40000, 2, 0);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 40000; x += 40) pcx.insert(pcx.end(), {0xC0 | 40, static_cast<std::uint8_t>(row + 1)});
    pcx.push_back(0x0C);
    for (int i = 0; i < 768; ++i) pcx.push_back(static_cast<std::uint8_t>(i / 3));
    const std::string pcxPath = dir.file("wide.pcx");
    writeBytes(pcxPath, pcx);

    for (const auto& [path, reader] : {std::pair<std::string, ImageReader>{tgaPath, LoadTGA}, {pcxPath, LoadPCX}}) {
        SCOPED_TRACE(path);
        SinkPicture picture;
        ASSERT_NO_THROW(reader(path.c_str(), SinkPicture::sink, &picture));
        EXPECT_EQ(picture.size, (Size{40000, 2}));
        const std::optional<std::uint32_t> previous = setMaxImageMegapixels(0);
        SinkPicture refused;
        EXPECT_IO_EXCEPTION(reader(path.c_str(), SinkPicture::sink, &refused), ioException::reading, path,
                            "picture too large");
        setMaxImageMegapixels(previous);
    }
}

}  // namespace
