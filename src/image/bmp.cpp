#include "image/bmp.h"

#include <cerrno>
#include <algorithm>
#include <array>
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

// BITMAPINFOHEADER, offsets from the start of the information header. Later header
// versions (V4, V5) begin with the same 40 bytes.
constexpr std::size_t infoHeaderSize = 40;
constexpr std::size_t headerSizeField = 0;  // u32: the palette starts this far in
constexpr std::size_t widthField = 4;       // s32
constexpr std::size_t heightField = 8;      // s32: positive = rows bottom-up
constexpr std::size_t planesField = 12;     // u16
constexpr std::size_t bitCountField = 14;   // u16: 4, 8 or 24 read
constexpr std::size_t compressionField = 16;// u32: 0 = uncompressed
constexpr std::size_t imageSizeField = 20;  // u32
constexpr std::size_t coloursUsedField = 32;// u32: palette entries; 0 = all for the depth

static_assert(fileSizeField + 4 <= dataOffsetField && dataOffsetField + 4 == fileHeaderSize);
static_assert(bitCountField == planesField + 2 && compressionField == bitCountField + 2);
static_assert(coloursUsedField + 4 + 4 == infoHeaderSize);  // colours important closes it
static_assert(fileHeaderSize + coloursUsedField == 46);

constexpr std::int32_t maxDimension = 32767;
constexpr const char* unsupportedText = "LoadBMP: Unsupported pixel format";

struct InfoHeader {
    std::uint32_t size;         // bytes; at least infoHeaderSize
    std::int32_t width;         // pixels
    std::int32_t height;        // rows
    std::uint16_t bitCount;     // bits per pixel
    std::uint32_t compression;
    std::uint32_t coloursUsed;  // palette entries
};

// header holds at least infoHeaderSize bytes.
InfoHeader readInfoHeader(const std::uint8_t* header) {
    return {getLE32(header + headerSizeField),
            static_cast<std::int32_t>(getLE32(header + widthField)),
            static_cast<std::int32_t>(getLE32(header + heightField)),
            getLE16(header + bitCountField),
            getLE32(header + compressionField),
            getLE32(header + coloursUsedField)};
}

// The header fields every reader relies on before it allocates: a whole information
// header and a size the destination can take. Null when usable, else the defect.
const char* headerDefect(const InfoHeader& info) {
    if (info.size < infoHeaderSize) return "information header size too small";
    if (info.width < 0) return "negative width";
    // A negative height is a top-down file.
    if (info.height < 0) return "negative height (top-down rows)";
    if (info.width > maxDimension || info.height > maxDimension) return "picture too large";
    return nullptr;
}

bool formatSupported(const InfoHeader& info) {
    return info.compression == 0 && (info.bitCount == 4 || info.bitCount == 8 || info.bitCount == 24);
}

// The fewest bytes after the information header that could hold the picture in the
// most compact encoding its compression field allows: raw rows padded to 4 bytes, or
// run-length runs of 255 pixels in 2 bytes with a 2-byte end of every line. None for
// encodings whose size cannot be bounded from the header (JPEG, PNG, unknown).
std::optional<std::uint64_t> leastPictureBytes(const InfoHeader& info) {
    const auto width = static_cast<std::uint64_t>(info.width);
    const auto height = static_cast<std::uint64_t>(info.height);
    switch (info.compression) {
    case 0:  // BI_RGB
    case 3:  // BI_BITFIELDS
        return (width * std::max<std::uint16_t>(info.bitCount, 1) + 31) / 32 * 4 * height;
    case 1:  // BI_RLE8
    case 2:  // BI_RLE4
        return ((width + 254) / 255 * 2 + 2) * height;
    default:
        return std::nullopt;
    }
}

// Where palette and pixels lie, in bytes from the start of the information header.
struct PixelLayout {
    std::uint64_t palette;
    std::uint32_t paletteEntries;  // 0 for 24 bits
    std::uint64_t data;
    std::uint64_t rowBytes;
};

// Checks that palette and pixel rows lie within the available bytes. dataOffset is empty
// when the pixels follow the palette. When they do not, defect tells why.
std::optional<PixelLayout> layoutFor(const InfoHeader& info, std::optional<std::uint64_t> dataOffset,
                                     std::uint64_t available, const char*& defect) {
    const std::uint64_t width = static_cast<std::uint64_t>(info.width);
    PixelLayout layout{info.size, 0, 0, 0};
    std::uint64_t skipped = 0;  // palette bytes before the default pixel data
    switch (info.bitCount) {
    case 4:
    case 8: {
        const std::uint32_t full = info.bitCount == 4 ? 16 : 256;
        if (info.coloursUsed > full) {
            defect = "colours used above the bit depth's palette";
            return std::nullopt;
        }
        layout.paletteEntries = info.coloursUsed == 0 ? full : info.coloursUsed;
        skipped = 4 * static_cast<std::uint64_t>(layout.paletteEntries);
        if (layout.palette + skipped > available) {
            defect = info.size > available ? "information header size past the end of the file"
                                           : "palette past the end of the file";
            return std::nullopt;
        }
        layout.rowBytes = info.bitCount == 4 ? ((width + 1) / 2 + 3) / 4 * 4 : (width + 3) / 4 * 4;
        break;
    }
    default:
        // 24 bits: a palette, if any, is only skipped.
        skipped = 4 * static_cast<std::uint64_t>(info.coloursUsed);
        layout.rowBytes = (3 * width + 3) / 4 * 4;
        break;
    }
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
    const std::uint64_t dataBytes = layout.rowBytes * static_cast<std::uint64_t>(info.height);
    if (layout.data > available) {
        defect = info.size > available ? "information header size past the end of the file"
                                       : "pixel data offset past the end of the file";
        return std::nullopt;
    }
    if (dataBytes > available - layout.data) {
        defect = "pixel rows past the end of the file";
        return std::nullopt;
    }
    return layout;
}

void putPixel(std::uint8_t* to, const std::uint8_t* blueGreenRed, int bytesPerPixel) {
    to[0] = blueGreenRed[0];
    to[1] = blueGreenRed[1];
    to[2] = blueGreenRed[2];
    if (bytesPerPixel == 4) to[3] = 255;
}

// Decodes the rows in stored order, so the bottom row lands in row 0. header starts the
// block the layout was checked against. The defect when a pixel indexes past the palette
// or the progress observer stops the work, else null.
const char* decodePixels(const std::uint8_t* header, const InfoHeader& info, const PixelLayout& layout,
                  const PixelDestination& to) {
    const std::uint8_t* data = header + layout.data;
    const std::int32_t width = info.width;
    const std::int32_t height = info.height;
    if (width == 0 || height == 0) return nullptr;
    const std::size_t rowBytes = static_cast<std::size_t>(layout.rowBytes);

    if (info.bitCount == 24) {
        if (to.bytesPerPixel == 3 && to.stride == rowBytes) {
            // The file's rows have the destination's layout, padding included.
            std::memcpy(to.pixels, data, rowBytes * static_cast<std::size_t>(height));
            return reportProgress(1, 1) ? nullptr : cancelledReason;
        }
        for (std::int32_t y = 0; y < height; ++y) {
            const std::uint8_t* from = data + static_cast<std::size_t>(y) * rowBytes;
            std::uint8_t* out = to.row(y);
            for (std::int32_t x = 0; x < width; ++x, from += 3, out += to.bytesPerPixel)
                putPixel(out, from, to.bytesPerPixel);
            if (!reportProgress(static_cast<std::uint64_t>(y) + 1, static_cast<std::uint64_t>(height)))
                return cancelledReason;
        }
        return nullptr;
    }

    const std::uint8_t* palette = header + layout.palette;  // blue, green, red, unused
    const std::uint32_t entries = layout.paletteEntries;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* from = data + static_cast<std::size_t>(y) * rowBytes;
        std::uint8_t* out = to.row(y);
        for (std::int32_t x = 0; x < width; ++x, out += to.bytesPerPixel) {
            std::uint32_t index;
            if (info.bitCount == 8)
                index = from[x];
            else  // the high nibble is the left pixel
                index = (x % 2 == 0) ? from[x / 2] >> 4 : from[x / 2] & 0x0F;
            if (index >= entries) return "colour index beyond the colours used";
            putPixel(out, palette + 4 * static_cast<std::size_t>(index), to.bytesPerPixel);
        }
        if (!reportProgress(static_cast<std::uint64_t>(y) + 1, static_cast<std::uint64_t>(height)))
            return cancelledReason;
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
    // Both headers must be whole before any field of them is read.
    if (realSize < static_cast<std::int64_t>(fileHeaderSize))
        throw fail(ioException::reading, "shorter than the file header");
    if (realSize < static_cast<std::int64_t>(fileHeaderSize + infoHeaderSize))
        throw fail(ioException::reading, "shorter than the information header");
    if (static_cast<std::uint64_t>(realSize) > std::numeric_limits<std::size_t>::max())
        throw fail(ioException::reading, "file too large to map");
    FileMapping mapping(file.get(), static_cast<std::size_t>(realSize));
    if (!mapping.valid()) throw fail(ioException::reading, "cannot map the file");
    const std::uint8_t* bytes = mapping.bytes().data();
    const std::uint64_t size = mapping.bytes().size();

    if (getLE32(bytes + fileSizeField) > size)
        throw fail(ioException::reading, "file size field past the end of the file");
    const std::uint32_t dataOffset = getLE32(bytes + dataOffsetField);
    const std::uint8_t* header = bytes + fileHeaderSize;
    const std::uint64_t available = size - fileHeaderSize;
    const InfoHeader info = readInfoHeader(header);
    if (const char* defect = headerDefect(info)) throw fail(ioException::reading, defect);
    const Size pictureSize{info.width, info.height};

    if (!formatSupported(info)) {
        // The destination keeps the header's size; nothing is decoded into it. Its size is
        // still refused when the file could never have held such a picture.
        if (const std::optional<std::uint64_t> least = leastPictureBytes(info);
            least && *least > available - infoHeaderSize)
            throw fail(ioException::reading, "picture larger than the file could hold");
        checkPixelBudget(path, ioException::reading, pictureSize);
        if (!requestDestination(sink, pictureSize, 3, userData))
            throw fail(ioException::reading, "no destination for the picture");
        showMessage(unsupportedText);
    } else {
        std::optional<std::uint64_t> pixelStart;
        if (dataOffset != 0) {
            // The field counts from the file's start; the layout from the information header.
            if (dataOffset < fileHeaderSize) throw fail(ioException::reading, "pixel data offset inside the headers");
            pixelStart = dataOffset - fileHeaderSize;
        }
        const char* defect = nullptr;
        const std::optional<PixelLayout> layout = layoutFor(info, pixelStart, available, defect);
        if (!layout) throw fail(ioException::reading, defect);
        checkPixelBudget(path, ioException::reading, pictureSize);
        const std::optional<PixelDestination> destination = requestDestination(sink, pictureSize, 3, userData);
        if (!destination) throw fail(ioException::reading, "no destination for the picture");
        if (const char* defect = decodePixels(header, info, *layout, *destination))
            throw fail(ioException::reading, defect);
    }

    const bool unmapped = mapping.unmap();
    const bool closed = file.close();
    if (!unmapped || !closed) throw fail(ioException::closing, "cannot close the file");
}

bool DecodeBMPPixels(const std::uint8_t* infoHeader, const std::uint8_t* pixelData, std::uint8_t* destination,
                     std::size_t available) {
    if (infoHeader == nullptr || available < infoHeaderSize) return false;
    const InfoHeader info = readInfoHeader(infoHeader);
    if (headerDefect(info) != nullptr) return false;
    if (!formatSupported(info)) {
        showMessage(unsupportedText);
        return false;
    }
    std::optional<std::uint64_t> pixelStart;
    if (pixelData != nullptr) {
        if (std::less<const std::uint8_t*>()(pixelData, infoHeader)) return false;
        pixelStart = static_cast<std::uint64_t>(pixelData - infoHeader);
    }
    const char* defect = nullptr;
    const std::optional<PixelLayout> layout = layoutFor(info, pixelStart, available, defect);
    if (!layout) return false;
    if (destination == nullptr && info.width > 0 && info.height > 0) return false;
    const PixelDestination to{destination, BGRImage::strideFor(info.width), 3};
    return decodePixels(infoHeader, info, *layout, to) == nullptr;
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
