#include "image/pcx_write.h"

#include <cerrno>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "image/bgr_image.h"
#include "image/colormap.h"
#include "platform/file_io.h"
#include "platform/io_exception.h"
#include "platform/progress.h"
#include "platform/storage_error.h"
#include "platform/stdio_file.h"

namespace {

constexpr std::int32_t quakeSide = 256;
constexpr std::int32_t largestSide = 65535;  // the unsigned 16-bit bytes-per-line field
constexpr std::uint8_t largestRun = 63;

// Header field offsets; 16-bit fields little-endian.
namespace field {
constexpr std::size_t manufacturer = 0;   // 0x0A
constexpr std::size_t version = 1;        // 5
constexpr std::size_t encoding = 2;       // 1: run-length
constexpr std::size_t bitsPerPixel = 3;   // 8
constexpr std::size_t xMin = 4, yMin = 6, xMax = 8, yMax = 10;
constexpr std::size_t resolutions = 12;   // two 16-bit values: 300 dpi
constexpr std::size_t palette16 = 16;     // 16 entries red, green, blue
constexpr std::size_t planes = 65;        // 1
constexpr std::size_t bytesPerLine = 66;  // the width, not rounded up
constexpr std::size_t paletteInfo = 68;   // 1: colour
constexpr std::size_t end = 128;          // 58 zero bytes before it
}  // namespace field
static_assert(field::palette16 + 48 == 64 && field::paletteInfo + 2 + 58 == field::end);

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::int32_t value) {
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void putRGB(std::vector<std::uint8_t>& out, std::size_t at, const std::uint8_t* blueGreenRed) {
    out[at] = blueGreenRed[2];
    out[at + 1] = blueGreenRed[1];
    out[at + 2] = blueGreenRed[0];
}

void appendHeader(std::vector<std::uint8_t>& out, Size size, const Colormap& colormap) {
    out.assign(field::end, 0);
    out[field::manufacturer] = 0x0A;
    out[field::version] = 5;
    out[field::encoding] = 1;
    out[field::bitsPerPixel] = 8;
    put16(out, field::xMin, 0);
    put16(out, field::yMin, 0);
    put16(out, field::xMax, size.width - 1);
    put16(out, field::yMax, size.height - 1);
    put16(out, field::resolutions, 300);
    put16(out, field::resolutions + 2, 300);
    for (int i = 0; i < 16; ++i) putRGB(out, field::palette16 + 3 * static_cast<std::size_t>(i), colormap.entry(i));
    out[field::planes] = 1;
    put16(out, field::bytesPerLine, size.width);
    put16(out, field::paletteInfo, 1);
}

// Runs of equal bytes within one row; a run of 1 below 0xC0 is the bare byte, every other
// run a count byte 0xC0 | n (n at most 63) and the value.
void appendRow(std::vector<std::uint8_t>& out, const std::uint8_t* row, std::int32_t width) {
    for (std::int32_t x = 0; x < width;) {
        const std::uint8_t value = row[x];
        std::int32_t run = 1;
        while (x + run < width && row[x + run] == value) ++run;
        x += run;
        for (std::int32_t full = (run - 1) / largestRun; full > 0; --full) {
            out.push_back(0xC0 | largestRun);
            out.push_back(value);
        }
        const auto last = static_cast<std::uint8_t>((run - 1) % largestRun + 1);
        if (last == 1 && value < 0xC0) {
            out.push_back(value);
        } else {
            out.push_back(0xC0 | last);
            out.push_back(value);
        }
    }
}

void appendTrailer(std::vector<std::uint8_t>& out, const Colormap& colormap) {
    const std::size_t at = out.size();
    out.resize(at + 1 + 768);
    out[at] = 0x0C;
    for (int i = 0; i < Colormap::maxEntries; ++i) putRGB(out, at + 1 + 3 * static_cast<std::size_t>(i), colormap.entry(i));
}

// The four shares of every error a pixel can pass on (-255 ... 255), looked up rather
// than divided out at each pixel.
struct Shares {
    std::int32_t belowLeft, below, belowRight, right;
};
constexpr std::array<Shares, 511> shareTable = [] {
    std::array<Shares, 511> table{};
    for (std::int32_t e = -255; e <= 255; ++e) {
        const std::int32_t below = e * 5 / 16, belowLeft = e * 3 / 16, belowRight = e / 16;
        table[static_cast<std::size_t>(e + 255)] = {belowLeft, below, belowRight, e - below - belowLeft - belowRight};
    }
    return table;
}();

// One row being dithered: Floyd-Steinberg shares of the error, each truncated toward
// zero; the rest goes right so the four add up to the error exactly. Error rows have a
// spare entry on each side for the shares that fall outside the row. The shares still
// owed to the next row's entries x - 1 and x, and the one for the right neighbour, are
// carried here; each next-row entry is stored once when complete, so no row is cleared.
struct RowDither {
    const std::uint8_t* pixels;
    const std::int32_t* current;  // entry x at 3 (x + 1)
    std::int32_t* next;
    std::uint8_t* indices;
    std::int32_t right[3] = {}, owedLeft[3] = {}, owedHere[3] = {};

    void step(std::size_t x, const Colormap& colormap, std::int32_t threshold) {
        const std::size_t at = 3 * (x + 1);
        const std::int32_t accumulated[3] = {current[at] + right[0], current[at + 1] + right[1],
                                             current[at + 2] + right[2]};
        std::int32_t e[3];
        indices[x] = colormap.ditherIndex(pixels + 3 * x, accumulated, e, threshold);
        for (int c = 0; c < 3; ++c) {
            const Shares& share = shareTable[static_cast<std::size_t>(e[c] + 255)];
            next[at - 3 + c] = owedLeft[c] + share.belowLeft;
            owedLeft[c] = owedHere[c] + share.below;
            owedHere[c] = share.belowRight;
            right[c] = share.right;
        }
    }
    void finish(std::size_t width) {
        for (int c = 0; c < 3; ++c) {
            next[3 * width + c] = owedLeft[c];
            next[3 * width + 3 + c] = owedHere[c];
        }
    }
};

// Each pixel's error reaches its right neighbour at once, so a row is one long chain of
// dependent steps. Two rows run in a wavefront instead, giving the processor independent
// chains to overlap; the result is that of one row at a time. The upper row's next-row
// entry x (the lower row's entry x) is complete once it has done pixel x + 1, so a lag of
// one pixel would do; two keep the lower row's loads clear of the upper row's fresh stores.
void ditherIndices(const BGRImage& image, const Colormap& colormap, std::int32_t threshold, std::uint8_t* indices) {
    constexpr int rowsInFlight = 2;
    constexpr std::size_t lag = 2;
    const std::size_t width = static_cast<std::size_t>(image.width);
    std::array<std::vector<std::int32_t>, rowsInFlight + 1> errorRows;
    for (auto& row : errorRows) row.assign(3 * (width + 2), 0);
    std::size_t first = 0;  // the error row the next group starts from
    for (std::int32_t y = 0; y < image.height; y += rowsInFlight) {
        const int count = std::min(rowsInFlight, image.height - y);
        std::array<RowDither, rowsInFlight> rows{};
        for (int k = 0; k < count; ++k)
            rows[k] = {image.row(y + k), errorRows[(first + k) % errorRows.size()].data(),
                       errorRows[(first + k + 1) % errorRows.size()].data(),
                       indices + static_cast<std::size_t>(y + k) * width};
        const std::size_t steps = width + lag * static_cast<std::size_t>(count - 1);
        for (std::size_t s = 0; s < steps; ++s)
            for (int k = 0; k < count; ++k) {
                const std::size_t behind = lag * static_cast<std::size_t>(k);
                if (s < behind || s - behind >= width) continue;
                rows[k].step(s - behind, colormap, threshold);
                if (s - behind == width - 1) rows[k].finish(width);
            }
        first = (first + static_cast<std::size_t>(count)) % errorRows.size();
    }
}

}  // namespace

void writePCX(const char* path, Size size, std::uint32_t stride, const std::uint8_t* pixels,
              const PCXWriteOptions& options) {
    const Colormap& colormap = colormapForSetting(options.colormap);
    if (size.width <= 0 || size.height <= 0 || pixels == nullptr)
        throw ioException{path, ioException::writing, "empty picture"};

    RawImage given(size, const_cast<std::uint8_t*>(pixels));  // only read
    given.stride = stride;
    std::unique_ptr<RawImage> resized;
    if (options.resize != 0 && size.width != quakeSide) {
        resized = std::make_unique<RawImage>(Size{quakeSide, quakeSide});
        resized->copyScaled(given, {0, 0}, size, {0, 0}, {quakeSide, quakeSide});
    }
    const BGRImage& image = resized ? *resized : given;
    if (image.width > largestSide || image.height > largestSide)
        throw ioException{path, ioException::writing, "picture too large for the window fields"};

    const auto threshold = static_cast<std::int32_t>(std::min<std::uint32_t>(options.dither, 255));
    const std::size_t width = static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> indices(width * static_cast<std::size_t>(image.height));
    if (threshold == 0) {
        std::uint8_t* out = indices.data();
        for (std::int32_t y = 0; y < image.height; ++y) {
            const std::uint8_t* pixel = image.row(y);
            for (std::size_t x = 0; x < width; ++x, pixel += 3) *out++ = colormap.nearestIndex(pixel);
        }
    } else {
        ditherIndices(image, colormap, threshold, indices.data());
    }

    StdioFile file = createStreamForWriting(path);
    if (!file) throw ioException{path, ioException::writing, storageFailure(errno, "cannot create the file")};
    std::vector<std::uint8_t> out;
    out.reserve(field::end + indices.size() + indices.size() / 8 + 769);
    appendHeader(out, image.size(), colormap);
    for (std::int32_t y = image.height; y-- > 0;)  // the picture's top row first
        appendRow(out, indices.data() + static_cast<std::size_t>(y) * width, image.width);
    appendTrailer(out, colormap);
    const bool written = std::fwrite(out.data(), 1, out.size(), file.get()) == out.size();
    const int writeError = errno;
    const bool closed = file.close();
    if (!written) throw ioException{path, ioException::writing, storageFailure(writeError, "write failed")};
    if (!closed) throw ioException{path, ioException::writing, storageFailure(errno, "write failed")};
    if (!reportProgress(1, 1)) throw ioException{path, ioException::writing, cancelledReason};
}
