#include "image/bmp.h"

#include <cerrno>
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "image/bgr_image.h"
#include "image/little_endian.h"
#include "image/pixel_budget.h"
#include "image/pixel_destination.h"
#include "platform/file_io.h"
#include "platform/file_mapping.h"
#include "platform/io_exception.h"
#include "platform/progress.h"
#include "platform/storage_error.h"
#include "platform/message.h"

namespace {

// BITMAPFILEHEADER, offsets from the start of the file.
constexpr std::size_t fileHeaderSize = 14;
constexpr std::size_t fileSizeField = 2;    // u32: bytes in the whole file
constexpr std::size_t dataOffsetField = 10; // u32: start of the pixels; 0 = after the palette

// BITMAPINFOHEADER, offsets from the start of the information header. The later Windows
// versions (52, 56, 108 and 124 bytes) and OS/2 2.x's (16 to 64 bytes, where the fields
// it leaves out are 0) begin with the same fields.
constexpr std::size_t infoHeaderSize = 40;
constexpr std::size_t headerSizeField = 0;  // u32: the masks or the palette start this far in
constexpr std::size_t widthField = 4;       // s32
constexpr std::size_t heightField = 8;      // s32: positive = rows bottom-up, negative = top-down
constexpr std::size_t planesField = 12;     // u16
constexpr std::size_t bitCountField = 14;   // u16: 1, 4, 8, 16, 24 or 32 read
constexpr std::size_t compressionField = 16;// u32: a compressionKind
constexpr std::size_t imageSizeField = 20;  // u32
constexpr std::size_t coloursUsedField = 32;// u32: palette entries; 0 = all for the depth
// BITMAPV2INFOHEADER onwards: the red, green and blue masks follow the 40 bytes (then
// alpha, from BITMAPV3INFOHEADER on).
constexpr std::size_t redMaskField = 40;    // u32
constexpr std::size_t maskFieldsEnd = 52;
constexpr std::size_t os2HeaderSize = 64;   // OS/2 2.x's full header
constexpr std::size_t os2LeastHeaderSize = 16;  // OS/2 2.x's shortest: up to the bit count

// BITMAPCOREHEADER (OS/2 1.x): 16-bit sizes, 3-byte palette entries.
constexpr std::size_t coreHeaderSize = 12;
constexpr std::size_t coreWidthField = 4;   // u16
constexpr std::size_t coreHeightField = 6;  // u16: rows bottom-up
constexpr std::size_t coreBitCountField = 10; // u16

static_assert(fileSizeField + 4 <= dataOffsetField && dataOffsetField + 4 == fileHeaderSize);
static_assert(bitCountField == planesField + 2 && compressionField == bitCountField + 2);
static_assert(coloursUsedField + 4 + 4 == infoHeaderSize);  // colours important closes it
static_assert(fileHeaderSize + coloursUsedField == 46);
static_assert(redMaskField == infoHeaderSize && redMaskField + 3 * 4 == maskFieldsEnd);
static_assert(coreBitCountField + 2 == coreHeaderSize && coreHeightField + 2 + 2 == coreBitCountField);
static_assert(os2LeastHeaderSize == bitCountField + 2);

// The compression field's values.
enum compressionKind : std::uint32_t {
    rgb = 0,             // uncompressed
    runLength8 = 1,      // BI_RLE8
    runLength4 = 2,      // BI_RLE4
    bitFields = 3,       // BI_BITFIELDS; OS/2 2.x: Huffman 1D
    jpeg = 4,            // BI_JPEG; OS/2 2.x: RLE24
    png = 5,             // BI_PNG
    alphaBitFields = 6,  // BI_ALPHABITFIELDS
};

constexpr std::int32_t maxDimension = 32767;

struct InfoHeader {
    std::uint32_t size;         // bytes
    std::int32_t width;         // pixels
    std::int32_t height;        // rows; negative = top-down
    std::uint16_t bitCount;     // bits per pixel
    std::uint32_t compression;  // a compressionKind
    std::uint32_t coloursUsed;  // palette entries
    bool core;                  // BITMAPCOREHEADER: 3-byte palette entries
    bool os2;                   // OS/2 2.x: compression 3 and 4 mean other things
    std::optional<std::array<std::uint32_t, 3>> headerMasks;  // red, green, blue, when the header has them

    std::int32_t rows() const { return height < 0 ? -height : height; }
    bool topDown() const { return height < 0; }
    std::uint32_t paletteEntryBytes() const { return core ? 3 : 4; }
};

// Reads the information header at header, of which available bytes are there. Empty,
// with the defect, when the header is not all there or its size is none a header has.
std::optional<InfoHeader> readInfoHeader(const std::uint8_t* header, std::uint64_t available, const char*& defect) {
    if (available < 4) {
        defect = "shorter than the information header";
        return std::nullopt;
    }
    const std::uint32_t size = getLE32(header + headerSizeField);
    if (size < coreHeaderSize || (size > coreHeaderSize && size < os2LeastHeaderSize)) {
        defect = "information header size too small";
        return std::nullopt;
    }
    if (available < std::min<std::uint64_t>(size, infoHeaderSize)) {
        defect = "shorter than the information header";
        return std::nullopt;
    }
    if (size > available) {
        defect = "information header size past the end of the file";
        return std::nullopt;
    }
    if (size == coreHeaderSize)
        return InfoHeader{size, getLE16(header + coreWidthField), getLE16(header + coreHeightField),
                          getLE16(header + coreBitCountField), rgb, 0, true, false, std::nullopt};

    // OS/2 2.x leaves out the fields past its size: they are 0.
    std::array<std::uint8_t, infoHeaderSize> fields{};
    std::memcpy(fields.data(), header, std::min<std::size_t>(size, infoHeaderSize));
    const bool os2 = size < infoHeaderSize || size == os2HeaderSize;
    InfoHeader info{size,
                    static_cast<std::int32_t>(getLE32(&fields[widthField])),
                    static_cast<std::int32_t>(getLE32(&fields[heightField])),
                    getLE16(&fields[bitCountField]),
                    getLE32(&fields[compressionField]),
                    getLE32(&fields[coloursUsedField]),
                    false,
                    os2,
                    std::nullopt};
    if (!os2 && size >= maskFieldsEnd)
        info.headerMasks = {getLE32(header + redMaskField), getLE32(header + redMaskField + 4),
                            getLE32(header + redMaskField + 8)};
    return info;
}

// The size fields every reader relies on before it allocates. Null when usable, else the defect.
const char* sizeDefect(const InfoHeader& info) {
    if (info.width < 0) return "negative width";
    if (info.width > maxDimension || info.height > maxDimension || info.height < -maxDimension)
        return "picture too large";
    return nullptr;
}

// How the pixels are stored.
enum class Family {
    palette,    // 1, 4 or 8 bits, uncompressed palette indices
    runLength,  // 4 or 8 bits, run-length coded palette indices
    trueColour, // 24 bits, blue, green, red
    bitFields,  // 16 or 32 bits, each channel at its mask
};

// "unsupported bit count 7": a reason must outlive the exception, so the texts are made once.
const char* unsupportedBitCount(std::uint16_t bits) {
    static const std::array<std::string, 65> texts = [] {
        std::array<std::string, 65> made;
        for (std::size_t i = 0; i < made.size(); ++i) made[i] = "unsupported bit count " + std::to_string(i);
        return made;
    }();
    return bits < texts.size() ? texts[bits].c_str() : "unsupported bit count";
}

// The family the compression and bit count fields give, or the defect naming what is
// not read.
std::optional<Family> familyOf(const InfoHeader& info, const char*& defect) {
    // Pictures in another format inside a BMP come first: their bit count is often 0.
    if (info.compression == jpeg) {
        defect = info.os2 ? "unsupported compression (OS/2 RLE24)" : "unsupported compression (JPEG)";
        return std::nullopt;
    }
    if (info.compression == png) {
        defect = "unsupported compression (PNG)";
        return std::nullopt;
    }
    const std::uint16_t bits = info.bitCount;
    const bool direct = bits == 16 || bits == 32;
    const bool indexed = bits == 1 || bits == 4 || bits == 8;
    if (!direct && !indexed && bits != 24) {
        defect = unsupportedBitCount(bits);
        return std::nullopt;
    }
    switch (info.compression) {
    case rgb:
        return indexed ? Family::palette : bits == 24 ? Family::trueColour : Family::bitFields;
    case runLength8:
        if (bits == 8) return Family::runLength;
        defect = "RLE8 compression at a depth other than 8 bits";
        return std::nullopt;
    case runLength4:
        if (bits == 4) return Family::runLength;
        defect = "RLE4 compression at a depth other than 4 bits";
        return std::nullopt;
    case bitFields:
        if (info.os2) {
            defect = "unsupported compression (OS/2 Huffman)";
            return std::nullopt;
        }
        [[fallthrough]];
    case alphaBitFields:
        if (direct) return Family::bitFields;
        defect = "bit-field compression at a depth other than 16 or 32 bits";
        return std::nullopt;
    default:
        defect = "unsupported compression";
        return std::nullopt;
    }
}

// One channel of a bit-field pixel: the bits under its mask, made 8 bits wide. Fewer
// bits are repeated down the byte (5 bits abcde give abcdeabc), so the channel's full
// value is 255 and 0 stays 0; more are scaled to 255 and rounded.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    std::array<std::uint8_t, 256> widened{};  // by value, for 8 bits or fewer

    std::uint8_t operator()(std::uint32_t pixel) const {
        const std::uint32_t value = (pixel & mask) >> shift;
        if (bits <= 8) return widened[value];
        const std::uint64_t max = mask >> shift;
        return static_cast<std::uint8_t>((value * std::uint64_t{255} + max / 2) / max);
    }
};

// mask is contiguous (maskDefect).
Channel channelFor(std::uint32_t mask) {
    Channel channel;
    if (mask == 0) return channel;
    channel.mask = mask;
    channel.shift = std::countr_zero(mask);
    channel.bits = std::popcount(mask);
    if (channel.bits <= 8)
        for (std::uint32_t value = 0; value < (1u << channel.bits); ++value) {
            std::uint32_t repeated = 0;
            int filled = 0;
            for (; filled < 8; filled += channel.bits) repeated = repeated << channel.bits | value;
            channel.widened[value] = static_cast<std::uint8_t>(repeated >> (filled - 8));
        }
    return channel;
}

// Refuses masks no writer means: bits beyond the pixel, a channel in pieces, channels
// sharing bits, or no colour at all.
const char* maskDefect(const std::array<std::uint32_t, 3>& masks, std::uint16_t bitCount) {
    const std::uint32_t pixelBits = bitCount == 32 ? 0xFFFFFFFFu : (1u << bitCount) - 1;
    std::uint32_t seen = 0;
    for (const std::uint32_t mask : masks) {
        if ((mask & ~pixelBits) != 0) return "bit-field mask wider than the pixel";
        if (mask != 0 && !std::has_single_bit(std::uint64_t{mask >> std::countr_zero(mask)} + 1))
            return "bit-field mask with a gap";
        if ((seen & mask) != 0) return "bit-field masks overlap";
        seen |= mask;
    }
    if (seen == 0) return "bit-field masks all empty";
    return nullptr;
}

// Where masks, palette and pixels lie, in bytes from the start of the information header.
struct PixelLayout {
    Family family;
    std::array<Channel, 3> channels;  // red, green, blue, for bit fields
    std::uint64_t palette;
    std::uint32_t paletteEntries;  // 0 without a palette
    std::uint64_t data;
    std::uint64_t dataBytes;  // the rows, or a run-length stream up to the end of the block
    std::uint64_t rowBytes;   // 0 for run-length streams
};

// Checks that masks, palette and pixel rows lie within the available bytes. dataOffset
// is empty when the pixels follow the palette. When they do not, defect tells why.
std::optional<PixelLayout> layoutFor(const InfoHeader& info, const std::uint8_t* header,
                                     std::optional<std::uint64_t> dataOffset, std::uint64_t available,
                                     const char*& defect) {
    const std::optional<Family> family = familyOf(info, defect);
    if (!family) return std::nullopt;
    if (info.topDown() && *family == Family::runLength) {
        defect = "top-down rows with run-length compression";
        return std::nullopt;
    }
    PixelLayout layout{*family, {}, info.size, 0, 0, 0, 0};
    std::uint64_t skipped = 0;  // palette bytes before the default pixel data

    if (*family == Family::bitFields) {
        std::array<std::uint32_t, 3> masks = info.bitCount == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                                                                 : std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
        if (info.compression != rgb) {
            if (info.headerMasks) {
                masks = *info.headerMasks;
            } else {
                // After a 40-byte header the masks follow it: red, green, blue (and alpha).
                const std::uint64_t maskBytes = info.compression == alphaBitFields ? 16 : 12;
                if (layout.palette + maskBytes > available) {
                    defect = "bit-field masks past the end of the file";
                    return std::nullopt;
                }
                for (std::size_t i = 0; i < 3; ++i) masks[i] = getLE32(header + layout.palette + 4 * i);
                layout.palette += maskBytes;
            }
        }
        if ((defect = maskDefect(masks, info.bitCount)) != nullptr) return std::nullopt;
        for (std::size_t i = 0; i < 3; ++i) layout.channels[i] = channelFor(masks[i]);
    }

    const std::uint64_t width = static_cast<std::uint64_t>(info.width);
    if (*family == Family::palette || *family == Family::runLength) {
        const std::uint32_t full = 1u << info.bitCount;
        if (info.coloursUsed > full) {
            defect = "colours used above the bit depth's palette";
            return std::nullopt;
        }
        layout.paletteEntries = info.coloursUsed == 0 ? full : info.coloursUsed;
        skipped = std::uint64_t{info.paletteEntryBytes()} * layout.paletteEntries;
        if (layout.palette + skipped > available) {
            defect = "palette past the end of the file";
            return std::nullopt;
        }
    } else {
        // Direct colours: a palette, if any, is only skipped.
        skipped = std::uint64_t{info.paletteEntryBytes()} * info.coloursUsed;
    }
    if (*family != Family::runLength) layout.rowBytes = (width * info.bitCount + 31) / 32 * 4;

    if (dataOffset) {
        // Pixels overlapping the information header mean the offset lies.
        if (*dataOffset < info.size) {
            defect = "pixel data offset inside the headers";
            return std::nullopt;
        }
        layout.data = *dataOffset;
    } else {
        layout.data = layout.palette + skipped;
    }
    if (layout.data > available) {
        defect = "pixel data offset past the end of the file";
        return std::nullopt;
    }
    if (*family == Family::runLength) {
        // The stream ends where its end-of-bitmap code is: it is walked before anything
        // is allocated, so a short stream claiming a large picture costs nothing.
        layout.dataBytes = available - layout.data;
        return layout;
    }
    layout.dataBytes = layout.rowBytes * static_cast<std::uint64_t>(info.rows());
    if (layout.dataBytes > available - layout.data) {
        defect = "pixel rows past the end of the file";
        return std::nullopt;
    }
    return layout;
}

// The palette's entries: blue, green, red (and an unused byte unless core).
struct Palette {
    const std::uint8_t* entries;
    std::uint32_t count;
    std::uint32_t entryBytes;

    const std::uint8_t* colour(std::uint32_t index) const { return entries + std::size_t{index} * entryBytes; }
};

void putPixel(std::uint8_t* to, const std::uint8_t* blueGreenRed, int bytesPerPixel) {
    to[0] = blueGreenRed[0];
    to[1] = blueGreenRed[1];
    to[2] = blueGreenRed[2];
    if (bytesPerPixel == 4) to[3] = 255;
}

// The destination row of the file's stored row y: the bottom row lands in row 0.
std::uint8_t* destinationRow(const PixelDestination& to, const InfoHeader& info, std::int32_t y) {
    return to.row(info.topDown() ? info.rows() - 1 - y : y);
}

bool rowDone(std::int32_t y, std::int32_t rows) {
    return reportProgress(static_cast<std::uint64_t>(y) + 1, static_cast<std::uint64_t>(rows));
}

// Uncompressed indices; the leftmost pixel is in the highest bits of its byte.
std::uint32_t indexAt(const std::uint8_t* row, std::int32_t x, std::uint16_t bitCount) {
    switch (bitCount) {
    case 8: return row[x];
    case 4: return (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
    default: return (row[x / 8] >> (7 - x % 8)) & 1;
    }
}

// Null when every index of the rows is within the palette, else the defect.
const char* paletteIndexDefect(const std::uint8_t* data, const InfoHeader& info, const PixelLayout& layout) {
    if (info.bitCount == 1 && layout.paletteEntries >= 2) return nullptr;
    if (info.bitCount == 4 && layout.paletteEntries >= 16) return nullptr;
    if (info.bitCount == 8 && layout.paletteEntries >= 256) return nullptr;
    for (std::int32_t y = 0; y < info.rows(); ++y) {
        const std::uint8_t* row = data + static_cast<std::size_t>(y) * layout.rowBytes;
        for (std::int32_t x = 0; x < info.width; ++x)
            if (indexAt(row, x, info.bitCount) >= layout.paletteEntries) return "colour index beyond the colours used";
    }
    return nullptr;
}

const char* decodePalette(const std::uint8_t* data, const InfoHeader& info, const PixelLayout& layout,
                          const Palette& palette, const PixelDestination& to) {
    for (std::int32_t y = 0; y < info.rows(); ++y) {
        const std::uint8_t* from = data + static_cast<std::size_t>(y) * layout.rowBytes;
        std::uint8_t* out = destinationRow(to, info, y);
        for (std::int32_t x = 0; x < info.width; ++x, out += to.bytesPerPixel)
            putPixel(out, palette.colour(indexAt(from, x, info.bitCount)), to.bytesPerPixel);
        if (!rowDone(y, info.rows())) return cancelledReason;
    }
    return nullptr;
}

const char* decodeTrueColour(const std::uint8_t* data, const InfoHeader& info, const PixelLayout& layout,
                             const PixelDestination& to) {
    const std::size_t rowBytes = static_cast<std::size_t>(layout.rowBytes);
    if (!info.topDown() && to.bytesPerPixel == 3 && to.stride == rowBytes) {
        // The file's rows have the destination's layout, padding included.
        std::memcpy(to.pixels, data, rowBytes * static_cast<std::size_t>(info.rows()));
        return reportProgress(1, 1) ? nullptr : cancelledReason;
    }
    for (std::int32_t y = 0; y < info.rows(); ++y) {
        const std::uint8_t* from = data + static_cast<std::size_t>(y) * rowBytes;
        std::uint8_t* out = destinationRow(to, info, y);
        for (std::int32_t x = 0; x < info.width; ++x, from += 3, out += to.bytesPerPixel)
            putPixel(out, from, to.bytesPerPixel);
        if (!rowDone(y, info.rows())) return cancelledReason;
    }
    return nullptr;
}

// 16 or 32 bits a pixel; an alpha channel is left out: a painted pixel is its colour.
const char* decodeBitFields(const std::uint8_t* data, const InfoHeader& info, const PixelLayout& layout,
                            const PixelDestination& to) {
    const auto& [red, green, blue] = layout.channels;
    const std::size_t pixelBytes = info.bitCount / 8;
    for (std::int32_t y = 0; y < info.rows(); ++y) {
        const std::uint8_t* from = data + static_cast<std::size_t>(y) * layout.rowBytes;
        std::uint8_t* out = destinationRow(to, info, y);
        for (std::int32_t x = 0; x < info.width; ++x, from += pixelBytes, out += to.bytesPerPixel) {
            const std::uint32_t pixel = pixelBytes == 2 ? getLE16(from) : getLE32(from);
            const std::uint8_t blueGreenRed[3] = {blue(pixel), green(pixel), red(pixel)};
            putPixel(out, blueGreenRed, to.bytesPerPixel);
        }
        if (!rowDone(y, info.rows())) return cancelledReason;
    }
    return nullptr;
}

// What walking a run-length stream found: the defect that refuses it, or null; whether
// some pixel fell outside the picture and was left out.
struct RunLengthWalk {
    const char* defect = nullptr;
    bool clipped = false;
};

// Walks an RLE8 or RLE4 stream: pairs of a count and an index (two alternating indices
// at 4 bits), or a 0 and a code: 0 end of line, 1 end of bitmap, 2 a move right and up by
// the next two bytes, 3 to 255 that many literal indices padded to a 16-bit boundary. Rows
// are bottom-up. With to, the pixels are written (the pixels the stream skips must hold
// index 0 already); without, the stream is only checked.
RunLengthWalk walkRunLength(const std::uint8_t* stream, std::uint64_t length, const InfoHeader& info,
                            const Palette& palette, const PixelDestination* to) {
    constexpr const char* endsEarly = "run-length data ends before the end of the picture";
    const bool fourBit = info.bitCount == 4;
    const auto width = static_cast<std::uint64_t>(info.width);
    const auto rows = static_cast<std::uint64_t>(info.rows());
    // ImageMagick codes each row with its padding to 32 bits: those pixels are left out
    // without a word.
    const std::uint64_t paddedWidth = (width * info.bitCount + 31) / 32 * 32 / info.bitCount;
    RunLengthWalk walk;
    std::uint64_t x = 0, y = 0, at = 0;
    // False for an index past the palette.
    auto put = [&](std::uint32_t index) {
        if (index >= palette.count) return false;
        if (x < width && y < rows) {
            if (to != nullptr)
                putPixel(to->row(static_cast<std::int32_t>(y)) + x * static_cast<std::uint64_t>(to->bytesPerPixel),
                         palette.colour(index), to->bytesPerPixel);
        } else if (x >= paddedWidth || y >= rows) {
            walk.clipped = true;
        }
        ++x;
        return true;
    };
    constexpr const char* pastPalette = "colour index beyond the colours used";
    while (at + 2 <= length) {
        const std::uint8_t count = stream[at], code = stream[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i)
                if (!put(fourBit ? (i % 2 == 0 ? code >> 4 : code & 0x0F) : code)) return {pastPalette, walk.clipped};
            continue;
        }
        switch (code) {
        case 0:  // end of line
            x = 0;
            ++y;
            if (to != nullptr && y <= rows && !rowDone(static_cast<std::int32_t>(y - 1), info.rows()))
                return {cancelledReason, walk.clipped};
            break;
        case 1:  // end of bitmap
            return walk;
        case 2:  // delta
            if (at + 2 > length) return {endsEarly, walk.clipped};
            x += stream[at];
            y += stream[at + 1];
            at += 2;
            break;
        default: {  // absolute mode
            const std::uint64_t bytes = fourBit ? (code + 1u) / 2 : code;
            if (at + bytes > length) return {endsEarly, walk.clipped};
            for (unsigned i = 0; i < code; ++i) {
                const std::uint8_t byte = stream[at + (fourBit ? i / 2 : i)];
                if (!put(fourBit ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte)) return {pastPalette, walk.clipped};
            }
            at += (bytes + 1) / 2 * 2;
        }
        }
    }
    // Without an end-of-bitmap code the stream must have reached the end of the last row.
    if (y < rows && !(y + 1 == rows && x >= width)) walk.defect = endsEarly;
    return walk;
}

Palette paletteOf(const std::uint8_t* header, const InfoHeader& info, const PixelLayout& layout) {
    return {header + layout.palette, layout.paletteEntries, info.paletteEntryBytes()};
}

// Null when the pixels can be decoded, else the defect. Reads the whole stream or every
// palette index: nothing the decoding meets later can refuse the picture.
const char* contentDefect(const std::uint8_t* header, const InfoHeader& info, const PixelLayout& layout,
                          bool& clipped) {
    if (info.width == 0 || info.rows() == 0) return nullptr;
    switch (layout.family) {
    case Family::palette:
        return paletteIndexDefect(header + layout.data, info, layout);
    case Family::runLength: {
        const RunLengthWalk walk =
            walkRunLength(header + layout.data, layout.dataBytes, info, paletteOf(header, info, layout), nullptr);
        clipped = walk.clipped;
        return walk.defect;
    }
    default:
        return nullptr;
    }
}

// Decodes the checked pixels into the destination, the bottom row into row 0. header
// starts the block the layout was checked against. Null, or the cancellation.
const char* decodePixels(const std::uint8_t* header, const InfoHeader& info, const PixelLayout& layout,
                         const PixelDestination& to) {
    if (info.width == 0 || info.rows() == 0) return nullptr;
    const std::uint8_t* data = header + layout.data;
    switch (layout.family) {
    case Family::trueColour:
        return decodeTrueColour(data, info, layout, to);
    case Family::bitFields:
        return decodeBitFields(data, info, layout, to);
    case Family::palette:
        return decodePalette(data, info, layout, paletteOf(header, info, layout), to);
    case Family::runLength: {
        const Palette palette = paletteOf(header, info, layout);
        // Pixels a delta or an early end of line skips are index 0.
        for (std::int32_t y = 0; y < info.rows(); ++y) {
            std::uint8_t* out = to.row(y);
            for (std::int32_t x = 0; x < info.width; ++x, out += to.bytesPerPixel)
                putPixel(out, palette.colour(0), to.bytesPerPixel);
        }
        return walkRunLength(data, layout.dataBytes, info, palette, &to).defect;
    }
    }
    return nullptr;
}

}  // namespace

void LoadBMP(const char* path, PixelSink sink, void* userData) {
    const std::string name = path != nullptr ? path : "";
    auto fail = [&name](std::int32_t kind, const char* reason) { return ioException{name, kind, reason}; };

    UniqueFd file = openFileForReading(path);
    if (!file) throw fail(ioException::opening, "cannot open the file");
    const std::int64_t realSize = fileSize(file.get());
    // The file header must be whole before any field of it is read.
    if (realSize < static_cast<std::int64_t>(fileHeaderSize))
        throw fail(ioException::reading, "shorter than the file header");
    if (realSize < static_cast<std::int64_t>(fileHeaderSize + coreHeaderSize))
        throw fail(ioException::reading, "shorter than the information header");
    if (static_cast<std::uint64_t>(realSize) > std::numeric_limits<std::size_t>::max())
        throw fail(ioException::reading, "file too large to map");
    FileMapping mapping(file.get(), static_cast<std::size_t>(realSize));
    if (!mapping.valid()) throw fail(ioException::reading, "cannot map the file");
    const std::uint8_t* bytes = mapping.bytes().data();
    const std::uint64_t size = mapping.bytes().size();

    const std::uint8_t* header = bytes + fileHeaderSize;
    const std::uint64_t available = size - fileHeaderSize;
    const char* defect = nullptr;
    const std::optional<InfoHeader> info = readInfoHeader(header, available, defect);
    if (!info) throw fail(ioException::reading, defect);
    if (getLE32(bytes + fileSizeField) > size)
        throw fail(ioException::reading, "file size field past the end of the file");
    const std::uint32_t dataOffset = getLE32(bytes + dataOffsetField);
    if ((defect = sizeDefect(*info)) != nullptr) throw fail(ioException::reading, defect);
    const Size pictureSize{info->width, info->rows()};

    std::optional<std::uint64_t> pixelStart;
    if (dataOffset != 0) {
        // The field counts from the file's start; the layout from the information header.
        if (dataOffset < fileHeaderSize) throw fail(ioException::reading, "pixel data offset inside the headers");
        pixelStart = dataOffset - fileHeaderSize;
    }
    const std::optional<PixelLayout> layout = layoutFor(*info, header, pixelStart, available, defect);
    if (!layout) throw fail(ioException::reading, defect);
    checkPixelBudget(path, ioException::reading, pictureSize);
    bool clipped = false;
    if ((defect = contentDefect(header, *info, *layout, clipped)) != nullptr) throw fail(ioException::reading, defect);

    const std::optional<PixelDestination> destination = requestDestination(sink, pictureSize, 3, userData);
    if (!destination) throw fail(ioException::reading, "no destination for the picture");
    if ((defect = decodePixels(header, *info, *layout, *destination)) != nullptr)
        throw fail(ioException::reading, defect);
    if (clipped)
        showMessage("Some run-length pixels of \"" + name +
                        "\" lie past the edge of their row or of the picture; they were left out.",
                    MessageStyle::okExclamation);

    const bool unmapped = mapping.unmap();
    const bool closed = file.close();
    if (!unmapped || !closed) throw fail(ioException::closing, "cannot close the file");
}

bool DecodeBMPPixels(const std::uint8_t* infoHeader, const std::uint8_t* pixelData, std::uint8_t* destination,
                     std::size_t available) {
    if (infoHeader == nullptr) return false;
    const char* defect = nullptr;
    const std::optional<InfoHeader> info = readInfoHeader(infoHeader, available, defect);
    if (!info || sizeDefect(*info) != nullptr) return false;
    std::optional<std::uint64_t> pixelStart;
    if (pixelData != nullptr) {
        if (std::less<const std::uint8_t*>()(pixelData, infoHeader)) return false;
        pixelStart = static_cast<std::uint64_t>(pixelData - infoHeader);
    }
    const std::optional<PixelLayout> layout = layoutFor(*info, infoHeader, pixelStart, available, defect);
    if (!layout) return false;
    bool clipped = false;
    if (contentDefect(infoHeader, *info, *layout, clipped) != nullptr) return false;
    if (destination == nullptr && info->width > 0 && info->rows() > 0) return false;
    const PixelDestination to{destination, BGRImage::strideFor(info->width), 3};
    return decodePixels(infoHeader, *info, *layout, to) == nullptr;
}

void SaveBMP(const char* path, Size size, std::uint32_t stride, int, const std::uint8_t* pixels) {
    const std::string name = path != nullptr ? path : "";
    auto fail = [&name](std::int32_t kind, const char* reason) { return ioException{name, kind, reason}; };

    // The file's rows have exactly the buffer's layout, so the buffer must have the
    // 24-bit stride, and every size must fit the header's 32-bit fields.
    const std::uint64_t pixelBytes = static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(size.height);
    if (size.width < 0 || size.height < 0 || stride != BGRImage::strideFor(size.width) ||
        fileHeaderSize + infoHeaderSize + pixelBytes > std::numeric_limits<std::uint32_t>::max() ||
        (pixels == nullptr && pixelBytes > 0))
        throw fail(ioException::writing, "picture does not fit the file's header fields");

    std::array<std::uint8_t, fileHeaderSize> fileHeader{};
    fileHeader[0] = 'B';
    fileHeader[1] = 'M';
    putLE32(&fileHeader[fileSizeField], static_cast<std::uint32_t>(fileHeaderSize + infoHeaderSize + pixelBytes));
    putLE32(&fileHeader[dataOffsetField], fileHeaderSize + infoHeaderSize);

    std::array<std::uint8_t, infoHeaderSize> infoHeader{};
    putLE32(&infoHeader[headerSizeField], infoHeaderSize);
    putLE32(&infoHeader[widthField], static_cast<std::uint32_t>(size.width));
    putLE32(&infoHeader[heightField], static_cast<std::uint32_t>(size.height));
    putLE16(&infoHeader[planesField], 1);
    putLE16(&infoHeader[bitCountField], 24);
    putLE32(&infoHeader[imageSizeField], static_cast<std::uint32_t>(pixelBytes));

    UniqueFd file = createFileForWriting(path);
    if (!file) throw fail(ioException::opening, storageFailure(errno, "cannot create the file"));
    if (!writeAll(file.get(), fileHeader.data(), fileHeader.size()) ||
        !writeAll(file.get(), infoHeader.data(), infoHeader.size()) ||
        !writeAll(file.get(), pixels, static_cast<std::size_t>(pixelBytes)))
        throw fail(ioException::writing, storageFailure(errno, "write failed"));
    if (!file.close()) throw fail(ioException::closing, storageFailure(errno, "cannot close the file"));
    if (!reportProgress(1, 1)) throw fail(ioException::writing, cancelledReason);
}
