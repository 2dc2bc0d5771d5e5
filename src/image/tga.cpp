#include "image/tga.h"

#include <sys/stat.h>

#include <cerrno>
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "image/little_endian.h"
#include "image/pixel_budget.h"
#include "image/pixel_destination.h"
#include "platform/file_io.h"
#include "platform/io_exception.h"
#include "platform/progress.h"
#include "platform/storage_error.h"
#include "platform/stdio_file.h"

namespace {

// Targa header, offsets from the start of the file; 16-bit fields little-endian.
constexpr std::size_t idLengthField = 0;       // u8: image ID bytes after the header
constexpr std::size_t colourMapTypeField = 1;  // u8: 0 none, 1 present
constexpr std::size_t imageTypeField = 2;      // u8: 1-3 raw, 9-11 run-length
constexpr std::size_t firstIndexField = 3;     // u16: first colour-map entry stored
constexpr std::size_t mapLengthField = 5;      // u16: colour-map entries stored
constexpr std::size_t entrySizeField = 7;      // u8: bits per colour-map entry
constexpr std::size_t originField = 8;         // 2 x s16, ignored
constexpr std::size_t widthField = 12;         // u16
constexpr std::size_t heightField = 14;        // u16
constexpr std::size_t depthField = 16;         // u8: bits per pixel
constexpr std::size_t descriptorField = 17;    // u8: bit 5 top origin, bits 6-7 interleave
constexpr std::size_t headerSize = 18;
static_assert(entrySizeField + 1 == originField && originField + 4 == widthField);
static_assert(descriptorField + 1 == headerSize);

constexpr std::uint8_t runLengthBit = 0x08;
constexpr std::uint8_t topOriginBit = 0x20;

enum class PixelKind { mapped, trueColour, grey };

struct TargaHeader {
    std::uint8_t idLength;
    std::uint8_t colourMapType;
    std::uint8_t imageType;
    std::uint16_t firstIndex;  // entries
    std::uint16_t mapLength;   // entries
    std::uint8_t entrySize;    // bits
    std::uint16_t width;       // pixels
    std::uint16_t height;      // rows
    std::uint8_t depth;        // bits
    std::uint8_t descriptor;
};

TargaByteSource currentSource = targaFileSource;
const std::uint8_t* memoryNext = nullptr;
const std::uint8_t* memoryEnd = nullptr;

// Reads through the byte source installed when the decoding began.
class ByteReader {
public:
    explicit ByteReader(std::FILE* file) : file_(file), source_(currentSource) {}
    std::uint8_t byte() { return static_cast<std::uint8_t>(source_(file_)); }
    std::uint16_t u16() {
        const std::uint8_t low = byte();
        return static_cast<std::uint16_t>(low | (byte() << 8));
    }
    void skip(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) byte();
    }

private:
    std::FILE* file_;
    TargaByteSource source_;
};

TargaHeader readHeader(ByteReader& in) {
    TargaHeader h{};
    h.idLength = in.byte();
    h.colourMapType = in.byte();
    h.imageType = in.byte();
    h.firstIndex = in.u16();
    h.mapLength = in.u16();
    h.entrySize = in.byte();
    in.skip(4);
    h.width = in.u16();
    h.height = in.u16();
    h.depth = in.byte();
    h.descriptor = in.byte();
    return h;
}

// The kind of pixel for an accepted type and depth combination.
std::optional<PixelKind> pixelKind(const TargaHeader& h) {
    switch (h.imageType & ~runLengthBit) {
    case 1:
        if (h.colourMapType == 1 && (h.depth == 8 || h.depth == 15 || h.depth == 16)) return PixelKind::mapped;
        break;
    case 2:
        if (h.depth == 15 || h.depth == 16 || h.depth == 24 || h.depth == 32) return PixelKind::trueColour;
        break;
    case 3:
        if (h.depth == 8) return PixelKind::grey;
        break;
    }
    return std::nullopt;
}

// Why pixelKind refused the header.
const char* pixelKindDefect(const TargaHeader& h) {
    switch (h.imageType & ~runLengthBit) {
    case 1:
        return h.colourMapType != 1 ? "colour-mapped picture without a colour map"
                                    : "colour-mapped pixel depth unsupported";
    case 2:
        return "true-colour pixel depth unsupported";
    case 3:
        return "greyscale pixel depth unsupported";
    }
    return "image type unknown";
}

// The picture line of stored row i under an interleave factor.
std::int64_t pictureLine(std::int64_t i, std::int64_t factor, std::int64_t height) {
    return (i * factor) % height + (i * factor) / height;
}

// One true-colour value of 15, 16, 24 or 32 bits into blue, green, red, alpha.
void readTrueColour(ByteReader& in, int bits, std::uint8_t* out) {
    if (bits == 15 || bits == 16) {
        const std::uint16_t v = in.u16();  // x RRRRR GGGGG BBBBB; bit 15 ignored
        out[0] = static_cast<std::uint8_t>((v & 0x1F) * 8);
        out[1] = static_cast<std::uint8_t>(((v >> 5) & 0x1F) * 8);
        out[2] = static_cast<std::uint8_t>(((v >> 10) & 0x1F) * 8);
        out[3] = 255;
        return;
    }
    out[0] = in.byte();
    out[1] = in.byte();
    out[2] = in.byte();
    out[3] = bits == 32 ? in.byte() : 255;
}

class PixelDecoder {
public:
    PixelDecoder(ByteReader& in, PixelKind kind, int depth, const std::vector<std::uint8_t>& map)
        : in_(in), kind_(kind), depth_(depth), map_(map) {}

    // False when a colour-mapped pixel indexes past the colour map.
    bool decode(std::uint8_t* out) {
        switch (kind_) {
        case PixelKind::mapped: {
            std::size_t index = depth_ == 8 ? in_.byte() : in_.u16();
            if (depth_ == 15) index &= 0x7FFF;
            if (index >= map_.size() / 3) return false;
            const std::uint8_t* entry = &map_[3 * index];
            out[0] = entry[0];
            out[1] = entry[1];
            out[2] = entry[2];
            out[3] = 255;
            return true;
        }
        case PixelKind::trueColour:
            readTrueColour(in_, depth_, out);
            return true;
        case PixelKind::grey:
            out[0] = out[1] = out[2] = in_.byte();
            out[3] = 255;
            return true;
        }
        return false;
    }

private:
    ByteReader& in_;
    PixelKind kind_;
    int depth_;
    const std::vector<std::uint8_t>& map_;
};

}  // namespace

TargaByteSource setTargaByteSource(TargaByteSource source) {
    const TargaByteSource previous = currentSource;
    currentSource = source != nullptr ? source : targaFileSource;
    return previous;
}

int targaFileSource(std::FILE* file) {
    const int c = file != nullptr ? std::getc(file) : EOF;
    return c == EOF ? 255 : c;
}

int targaMemorySource(std::FILE*) {
    if (memoryNext == nullptr || memoryNext >= memoryEnd) return 255;
    return *memoryNext++;
}

void setTargaMemory(const std::uint8_t* data, std::size_t size) {
    memoryNext = data;
    memoryEnd = data != nullptr ? data + size : nullptr;
}

namespace {

// The bytes the byte source has left, when the source can tell.
std::optional<std::int64_t> bytesLeft(std::FILE* file) {
    if (currentSource == targaMemorySource) return memoryNext != nullptr ? memoryEnd - memoryNext : 0;
    if (currentSource != targaFileSource || file == nullptr) return std::nullopt;
    struct stat status {};
    const long at = std::ftell(file);
    if (::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode) || at < 0) return std::nullopt;
    return std::max<std::int64_t>(static_cast<std::int64_t>(status.st_size) - at, 0);
}

// Whether the pixel data left could fill a picture of h's size in the most compact form
// of its type: raw pixels byte for byte, or run-length packets repeating 128 pixels each.
// A short file still reads (its missing bytes come back as 255), but only while it holds
// at least half of that, so that a tiny file cannot claim a huge picture.
bool fileCouldHoldPicture(const TargaHeader& h, std::int64_t left) {
    const std::int64_t pixels = static_cast<std::int64_t>(h.width) * h.height;
    const std::int64_t pixelBytes = (h.depth + 7) / 8;
    const std::int64_t needed =
        (h.imageType & runLengthBit) != 0 ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
    return 2 * left >= needed;
}

}  // namespace

void DecodeTGA(const char* name, std::FILE* file, PixelSink sink, void* userData) {
    const auto fail = [name](const char* reason) {
        return ioException{name != nullptr ? name : "", ioException::reading, reason};
    };
    ByteReader in(file);
    const TargaHeader h = readHeader(in);
    if (h.colourMapType > 1) throw fail("colour-map type unknown");
    // A Targa of no pixels is no picture: as a face it would become a blank one.
    if (h.width == 0 || h.height == 0) throw fail("no pixels (a width or height of 0)");
    const std::optional<PixelKind> kind = pixelKind(h);
    if (!kind) throw fail(pixelKindDefect(h));
    const int interleaveCode = (h.descriptor >> 6) & 0x03;
    if (interleaveCode == 3) throw fail("interleave factor unknown");
    const std::int64_t factor = std::int64_t{1} << interleaveCode;
    // When the height is not a multiple of the factor a stored row can map below the picture.
    for (std::int64_t i = 0; i < h.height; ++i)
        if (pictureLine(i, factor, h.height) >= h.height) throw fail("interleaved row past the last line");
    if (h.colourMapType == 1) {
        // An empty map decodes no entry, so its entry size does not matter.
        if (h.mapLength > 0 && h.entrySize != 15 && h.entrySize != 16 && h.entrySize != 24 && h.entrySize != 32)
            throw fail("colour-map entry size unsupported");
    }

    in.skip(h.idLength);

    // Entries below the first stored one stay black.
    std::vector<std::uint8_t> map;
    if (h.colourMapType == 1) {
        map.assign(3 * (static_cast<std::size_t>(h.firstIndex) + static_cast<std::size_t>(h.mapLength)), 0);
        for (std::size_t entry = static_cast<std::size_t>(h.firstIndex); entry < map.size() / 3; ++entry) {
            std::uint8_t colour[4];
            readTrueColour(in, h.entrySize, colour);
            map[3 * entry] = colour[0];
            map[3 * entry + 1] = colour[1];
            map[3 * entry + 2] = colour[2];
        }
    }

    if (const std::optional<std::int64_t> left = bytesLeft(file); left && !fileCouldHoldPicture(h, *left))
        throw fail("picture larger than the file could hold");
    const Size size{h.width, h.height};
    checkPixelBudget(name, ioException::reading, size);

    const std::optional<PixelDestination> to = requestDestination(sink, size, h.depth == 32 ? 4 : 3, userData);
    if (!to) throw fail("no destination for the picture");

    PixelDecoder decoder(in, *kind, h.depth, map);
    const bool runLength = (h.imageType & runLengthBit) != 0;
    const bool topOrigin = (h.descriptor & topOriginBit) != 0;
    // Packets run on across row ends, so their state outlives a row.
    std::uint8_t last[4] = {0, 0, 0, 255};
    int left = 0;
    bool repeating = false;
    for (std::int64_t i = 0; i < h.height; ++i) {
        const std::int64_t line = pictureLine(i, factor, h.height);
        std::uint8_t* out = to->row(static_cast<std::int32_t>(topOrigin ? h.height - 1 - line : line));
        for (std::int32_t x = 0; x < h.width; ++x, out += to->bytesPerPixel) {
            bool decoded = true;
            if (!runLength) {
                decoded = decoder.decode(last);
            } else {
                if (left == 0) {
                    const std::uint8_t count = in.byte();
                    left = (count & 0x7F) + 1;
                    repeating = (count & 0x80) != 0;
                    if (repeating) decoded = decoder.decode(last);
                }
                if (!repeating) decoded = decoder.decode(last);
                --left;
            }
            if (!decoded) throw fail("colour-map index outside the map");
            out[0] = last[0];
            out[1] = last[1];
            out[2] = last[2];
            if (to->bytesPerPixel == 4) out[3] = last[3];
        }
        if (!reportProgress(static_cast<std::uint64_t>(i) + 1, h.height)) throw fail(cancelledReason);
    }
}

void LoadTGA(const char* path, PixelSink sink, void* userData) {
    const std::string name = path != nullptr ? path : "";
    UniqueFd fd = openFileForReading(path);
    if (!fd) throw ioException{name, ioException::opening, "cannot open the file"};
    StdioFile file(fdopen(fd.get(), "rb"));
    if (!file) throw ioException{name, ioException::opening, "cannot open the file as a stream"};
    fd.release();  // the stream owns the descriptor now
    DecodeTGA(path, file.get(), sink, userData);
    if (!file.close()) throw ioException{name, ioException::closing, "cannot close the file"};
}

void SaveTGA(const char* path, Size size, std::uint32_t stride, int bytesPerPixel, const std::uint8_t* pixels) {
    const std::string name = path != nullptr ? path : "";
    const auto fail = [&name](std::int32_t kind, const char* reason) { return ioException{name, kind, reason}; };

    if (path == nullptr || size.width < 0 || size.width > 65535 || size.height < 0 || size.height > 65535 ||
        (bytesPerPixel != 3 && bytesPerPixel != 4))
        throw fail(ioException::writing, "picture does not fit the file's header fields");
    const std::size_t rowBytes = static_cast<std::size_t>(size.width) * static_cast<std::size_t>(bytesPerPixel);
    if (stride < rowBytes || (pixels == nullptr && rowBytes > 0 && size.height > 0))
        throw fail(ioException::writing, "rows shorter than the picture");

    std::array<std::uint8_t, headerSize> header{};
    header[imageTypeField] = 2;  // uncompressed true colour, no colour map, no image ID
    putLE16(&header[widthField], static_cast<std::uint16_t>(size.width));
    putLE16(&header[heightField], static_cast<std::uint16_t>(size.height));
    header[depthField] = bytesPerPixel == 3 ? 24 : 32;
    header[descriptorField] = 0;  // bottom-left origin; no alpha bits declared

    StdioFile file = createStreamForWriting(path);
    if (!file) throw fail(ioException::writing, storageFailure(errno, "cannot create the file"));
    bool written = std::fwrite(header.data(), 1, header.size(), file.get()) == header.size();
    for (std::int32_t y = 0; written && y < size.height && rowBytes > 0; ++y) {
        written = std::fwrite(pixels + static_cast<std::size_t>(y) * stride, 1, rowBytes, file.get()) == rowBytes;
        if (!reportProgress(static_cast<std::uint64_t>(y) + 1, static_cast<std::uint64_t>(size.height)))
            throw fail(ioException::writing, cancelledReason);
    }
    if (!written || std::fflush(file.get()) != 0)
        throw fail(ioException::writing, storageFailure(errno, "write failed"));
    if (!file.close()) throw fail(ioException::closing, storageFailure(errno, "cannot close the file"));
}
