#include "image/pcx_read.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "image/pixel_budget.h"
#include "platform/file_io.h"
#include "platform/io_exception.h"
#include "platform/progress.h"
#include "platform/stdio_file.h"

namespace {

constexpr std::size_t headerBytes = 128;
constexpr std::uint8_t paletteMarker = 0x0C;
// A run is two bytes for at most 63: no file decodes to more than 32 bytes per byte.
constexpr std::int64_t mostDecodedPerByte = 32;

// Reads the file's bytes in order through a buffer; past the end every byte reads as 255.
class ByteReader {
public:
    explicit ByteReader(std::FILE* file) : file_(file) {}
    std::uint8_t next() {
        if (at_ == filled_) {
            at_ = 0;
            filled_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            if (filled_ == 0) return 0xFF;
        }
        return buffer_[at_++];
    }
    std::uint16_t next16() {
        const std::uint8_t low = next();
        return static_cast<std::uint16_t>(low | (next() << 8));
    }
    void skip(std::size_t count) {
        while (count-- > 0) next();
    }
    bool failed() const { return std::ferror(file_) != 0; }

private:
    std::FILE* file_;
    std::array<std::uint8_t, 65536> buffer_;
    std::size_t at_ = 0, filled_ = 0;
};

struct Header {
    std::uint8_t bitsPerPixel;        // per plane: 1, 2, 4 or 8
    std::int32_t width, height;       // from the window x/y minimum and maximum
    std::array<std::uint8_t, 48> palette16;  // 16 entries of red, green, blue
    std::uint8_t planes;              // 1, 3 or 4
    std::int32_t bytesPerLine;        // per plane, in the decoded data
};

// The fields in file order; the first refused value ends the read with its defect. Null
// when the header is usable.
const char* readHeader(ByteReader& in, Header& h) {
    if (in.next() != 0x0A) return "manufacturer byte not 0x0A";
    if (in.next() > 5) return "version unknown";
    if (in.next() != 1) return "encoding not run-length";
    h.bitsPerPixel = in.next();
    if (h.bitsPerPixel != 1 && h.bitsPerPixel != 2 && h.bitsPerPixel != 4 && h.bitsPerPixel != 8)
        return "bits per pixel unsupported";
    // The window fields are unsigned 16-bit, so a picture may be up to 65536 wide.
    const std::int32_t xMin = in.next16();
    const std::int32_t yMin = in.next16();
    const std::int32_t xMax = in.next16();
    if (xMax < xMin) return "window maximum below its minimum";
    const std::int32_t yMax = in.next16();
    if (yMax < yMin) return "window maximum below its minimum";
    h.width = xMax - xMin + 1;
    h.height = yMax - yMin + 1;
    in.skip(4);  // resolutions
    for (auto& byte : h.palette16) byte = in.next();
    in.skip(1);  // reserved
    h.planes = in.next();
    if (h.planes != 1 && h.planes != 3 && h.planes != 4) return "plane count unsupported";
    h.bytesPerLine = in.next16();
    if (h.bytesPerLine == 0) return "bytes per line zero";
    // Each plane's line must hold the whole width, or decoding would read past the line.
    if (8 * static_cast<std::int64_t>(h.bytesPerLine) < static_cast<std::int64_t>(h.width) * h.bitsPerPixel)
        return "bytes per line shorter than the width";
    in.skip(headerBytes - 68);  // palette information and filler
    return nullptr;
}

// Fills decoded with the run-length stream; runs may cross line and plane ends.
bool decodeRuns(ByteReader& in, std::vector<std::uint8_t>& decoded) {
    std::size_t filled = 0;
    while (filled < decoded.size()) {
        const std::uint8_t byte = in.next();
        if ((byte & 0xC0) != 0xC0) {
            decoded[filled++] = byte;
            continue;
        }
        const std::size_t count = byte & 0x3F;
        const std::uint8_t value = in.next();
        if (count > decoded.size() - filled) return false;
        std::fill_n(decoded.begin() + static_cast<std::ptrdiff_t>(filled), count, value);
        filled += count;
    }
    return true;
}

// Pixel k of a line of bits-per-pixel values, most significant bits first.
std::uint8_t sample(const std::uint8_t* line, std::int32_t k, int bits) {
    if (bits == 8) return line[k];
    const std::int64_t bit = static_cast<std::int64_t>(k) * bits;
    const int shift = 8 - bits - static_cast<int>(bit % 8);
    return static_cast<std::uint8_t>((line[bit / 8] >> shift) & ((1 << bits) - 1));
}

// A planar value of fewer than 8 bits as an intensity of 0 ... 255.
std::uint8_t intensity(std::uint8_t value, int bits) {
    switch (bits) {
        case 1: return value ? 255 : 0;
        case 2: return static_cast<std::uint8_t>(value * 85);
        case 4: return static_cast<std::uint8_t>(value * 17);
        default: return value;
    }
}

// The file's size in bytes, or -1 when it cannot be told.
std::int64_t fileSize(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

}  // namespace

void LoadPCX(const char* path, PixelSink sink, void* userData) {
    StdioFile file = openStreamForReading(path);
    if (!file) throw ioException{path, ioException::opening, "cannot open the file"};
    const std::int64_t size = fileSize(file.get());
    if (size < 0) throw ioException{path, ioException::reading, "cannot tell the file's size"};
    auto in = std::make_unique<ByteReader>(file.get());
    Header h{};
    if (const char* defect = readHeader(*in, h)) throw ioException{path, ioException::reading, defect};

    const std::int64_t lineBytes = static_cast<std::int64_t>(h.planes) * h.bytesPerLine;
    const std::int64_t total = lineBytes * h.height;
    const std::int64_t encodedBytes = std::max<std::int64_t>(size - static_cast<std::int64_t>(headerBytes), 0);
    // A header claiming more than the file could hold is refused before anything is allocated.
    if (total > mostDecodedPerByte * encodedBytes)
        throw ioException{path, ioException::reading, "window larger than the file could hold"};
    checkPixelBudget(path, ioException::reading, {h.width, h.height});
    std::vector<std::uint8_t> decoded(static_cast<std::size_t>(total));
    if (!decodeRuns(*in, decoded)) throw ioException{path, ioException::reading, "run past the end of the picture"};

    const bool indexed256 = h.bitsPerPixel == 8 && h.planes == 1;
    std::array<std::uint8_t, 768> palette256{};
    if (indexed256) {
        if (in->next() != paletteMarker)
            throw ioException{path, ioException::reading, "256-colour palette marker missing"};
        for (auto& byte : palette256) byte = in->next();
    }
    if (in->failed()) throw ioException{path, ioException::reading, "pixel data past the end of the file"};
    in.reset();
    if (!file.close()) throw ioException{path, ioException::closing, "cannot close the file"};

    std::uint32_t stride = 0;
    int bytesPerPixel = 0;
    std::uint8_t* pixels = nullptr;
    sink({h.width, h.height}, 3, userData, stride, bytesPerPixel, pixels);
    if (bytesPerPixel != 3 || pixels == nullptr || stride < 3 * static_cast<std::uint32_t>(h.width))
        throw ioException{path, ioException::reading, "no destination for the picture"};

    for (std::int32_t j = 0; j < h.height; ++j) {
        // The file's first line is the top of the picture: the last buffer row.
        const std::uint8_t* line = decoded.data() + static_cast<std::size_t>(h.height - 1 - j) * lineBytes;
        std::uint8_t* out = pixels + static_cast<std::size_t>(j) * stride;
        for (std::int32_t k = 0; k < h.width; ++k, out += 3) {
            if (h.planes == 1) {
                const std::uint8_t index = sample(line, k, h.bitsPerPixel);
                const std::uint8_t* rgb = indexed256 ? &palette256[3 * index] : &h.palette16[3 * index];
                out[0] = rgb[2];
                out[1] = rgb[1];
                out[2] = rgb[0];
            } else {
                for (int c = 0; c < 3; ++c)
                    out[2 - c] = intensity(sample(line + c * h.bytesPerLine, k, h.bitsPerPixel), h.bitsPerPixel);
            }
        }
        if (!reportProgress(static_cast<std::uint64_t>(j) + 1, static_cast<std::uint64_t>(h.height)))
            throw ioException{path, ioException::reading, cancelledReason};
    }
}
