#include "image/png.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <png.h>

#include "image/library_message.h"
#include "image/photo_metadata.h"
#include "image/pixel_budget.h"
#include "image/row_gate.h"
#include "platform/file_io.h"
#include "platform/io_exception.h"
#include "platform/progress.h"
#include "platform/storage_error.h"
#include "platform/stdio_file.h"

namespace {

// libpng's error and its first warning, copied out of its frames for the program's own
// error line; libpng never prints them.
struct LibraryMessages {
    char error[256];
    char warning[256];
};

void keep(char (&into)[256], png_const_charp message) {
    std::snprintf(into, sizeof into, "%s", message != nullptr ? message : "");
}

// The defects a damaged file shows most, in the program's words; any other error in
// libpng's own (warning in brackets after it, when one came first).
const char* libraryDefect(const LibraryMessages& messages, const char* fallback) {
    const std::string_view text = messages.error;
    if (text.find("CRC") != std::string_view::npos) return "chunk CRC mismatch";
    if (text.find("Not enough image data") != std::string_view::npos) return "image data shorter than the rows";
    if (text.find("Read Error") != std::string_view::npos || text.find("EOF") != std::string_view::npos)
        return "file ends inside a chunk";
    if (text == cancelledReason) return cancelledReason;
    if (messages.warning[0] == 0) return libraryReason(text, fallback);
    return libraryReason(std::string(text) + " (" + messages.warning + ")", fallback);
}

// The rows of the picture being read or written, for the progress of each row libpng
// finishes; when reading,
// passes of an interlaced file count as a seventh of the picture each.
thread_local png_uint_32 progressRows = 0;
thread_local int passesToRead = 1;

thread_local bool writeCancelled = false;

void rowWritten(png_structp png, png_uint_32 row, int) {
    if (!reportProgress(row, progressRows)) {
        writeCancelled = true;
        png_error(png, cancelledReason);
    }
}

void rowRead(png_structp png, png_uint_32 row, int pass) {
    const std::uint64_t total = static_cast<std::uint64_t>(progressRows) * static_cast<unsigned>(passesToRead);
    const std::uint64_t done =
        static_cast<std::uint64_t>(progressRows) * static_cast<unsigned>(pass % passesToRead) + row;
    if (!reportProgress(done, total)) png_error(png, cancelledReason);
}

[[noreturn]] void errorHook(png_structp png, png_const_charp message) {
    if (auto* messages = static_cast<LibraryMessages*>(png_get_error_ptr(png))) keep(messages->error, message);
    // Back to the entry point, which destroys the structures, closes the file and throws.
    png_longjmp(png, 1);
}

void warningHook(png_structp png, png_const_charp message) noexcept {
    if (auto* messages = static_cast<LibraryMessages*>(png_get_error_ptr(png)); messages && !messages->warning[0])
        keep(messages->warning, message);
}

struct Reader {
    Reader() : png(png_create_read_struct(PNG_LIBPNG_VER_STRING, &messages, errorHook, warningHook)) {
        if (png) info = png_create_info_struct(png);
    }
    ~Reader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    LibraryMessages messages{};
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
};

struct Writer {
    Writer() : png(png_create_write_struct(PNG_LIBPNG_VER_STRING, &messages, errorHook, warningHook)) {
        if (png) info = png_create_info_struct(png);
    }
    ~Writer() { png_destroy_write_struct(&png, info ? &info : nullptr); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    LibraryMessages messages{};
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
};

enum class Outcome { done, libraryError, refused };

// Holds every libpng call of a read; a library error jumps back here. Nothing in this
// frame has a destructor, so the jump skips no clean-up. refusal names what was refused.
// Copies the text chunks and the ICC profile libpng has read (it has checked the
// profile and dropped a bad one with a warning).
void collectMetadata(Reader& r, PhotoMetadata& metadata) {
    png_textp texts = nullptr;
    const int count = png_get_text(r.png, r.info, &texts, nullptr);
    for (int i = 0; i < count && texts != nullptr; ++i) {
        const png_text& t = texts[i];
        PngText text;
        text.compression = t.compression;
        text.key = t.key != nullptr ? t.key : "";
        const std::size_t length = t.compression >= PNG_ITXT_COMPRESSION_NONE ? t.itxt_length : t.text_length;
        if (t.text != nullptr) text.text.assign(t.text, length);
        if (t.lang != nullptr) text.language = t.lang;
        if (t.lang_key != nullptr) text.translatedKey = t.lang_key;
        metadata.pngTexts.push_back(std::move(text));
    }
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(r.png, r.info, &name, &compression, &profile, &length) == PNG_INFO_iCCP && profile != nullptr) {
        metadata.iccName = name != nullptr ? name : "ICC profile";
        metadata.iccProfile.assign(profile, profile + length);
    }
    png_fixed_point gamma = 0;
    if (png_get_gAMA_fixed(r.png, r.info, &gamma) == PNG_INFO_gAMA && gamma > 0)
        metadata.pngColour.gamma = static_cast<std::uint32_t>(gamma);
    std::array<png_fixed_point, 8> c{};
    if (png_get_cHRM_fixed(r.png, r.info, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7]) == PNG_INFO_cHRM)
        metadata.pngColour.primaries = std::array<std::int32_t, 8>{c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]};
    int intent = 0;
    if (png_get_sRGB(r.png, r.info, &intent) == PNG_INFO_sRGB) metadata.pngColour.srgbIntent = intent;
}

// What 8-bit colour without transparency cannot hold of a picture of that depth and type.
std::string lostAt8Bits(int bitDepth, int colourType, bool transparentColour) {
    const bool wide = bitDepth > 8;
    const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || transparentColour;
    if (wide && alpha) return "16 bits a channel and transparency";
    if (wide) return "16 bits a channel";
    return alpha ? "transparency" : "";
}

Outcome decode(Reader& r, std::FILE* file, PixelSink sink, void* userData, const char*& refusal,
               Size& overBudget, PhotoMetadata* metadata) {
    if (setjmp(png_jmpbuf(r.png))) return Outcome::libraryError;
    png_init_io(r.png, file);
    // The format's own limit: libpng's default refuses sides over a million.
    png_set_user_limits(r.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_read_info(r.png, r.info);
    const png_uint_32 width = png_get_image_width(r.png, r.info);
    const png_uint_32 height = png_get_image_height(r.png, r.info);
    const int bitDepth = png_get_bit_depth(r.png, r.info);
    const int colourType = png_get_color_type(r.png, r.info);
    if (metadata != nullptr)
        metadata->lostAt8Bits = lostAt8Bits(bitDepth, colourType, png_get_valid(r.png, r.info, PNG_INFO_tRNS) != 0);

    if (bitDepth < 8) png_set_packing(r.png);
    if (bitDepth > 8) png_set_strip_16(r.png);
    switch (colourType) {
        case PNG_COLOR_TYPE_PALETTE:
            png_set_expand(r.png);
            png_set_strip_alpha(r.png);
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            png_set_strip_alpha(r.png);
            png_set_gray_to_rgb(r.png);
            break;
        case PNG_COLOR_TYPE_GRAY:
            png_set_gray_to_rgb(r.png);
            break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            png_set_strip_alpha(r.png);
            break;
        default:
            break;
    }
    png_set_bgr(r.png);
    // Sides are at most 2^31 - 1 (libpng has checked), so they fit a Size.
    const Size size{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    if (!withinPixelBudget(size)) {
        overBudget = size;
        return Outcome::refused;
    }
    passesToRead = png_set_interlace_handling(r.png);
    progressRows = height;
    png_set_read_status_fn(r.png, rowRead);
    png_read_update_info(r.png, r.info);
    // Whatever the file claimed, the rows must now be exactly 3 bytes a pixel.
    if (png_get_rowbytes(r.png, r.info) != 3 * static_cast<std::size_t>(width)) {
        refusal = "rows not 3 bytes a pixel after conversion";
        return Outcome::refused;
    }

    std::uint32_t stride = 0;
    int bytesPerPixel = 0;
    std::uint8_t* pixels = nullptr;
    sink(size, 3, userData, stride, bytesPerPixel, pixels);
    if (bytesPerPixel != 3 || pixels == nullptr || stride < 3 * std::uint64_t{width}) {
        refusal = "no destination for the picture";
        return Outcome::refused;
    }
    r.rows.resize(height);
    for (png_uint_32 i = 0; i < height; ++i) r.rows[i] = pixels + static_cast<std::size_t>(height - 1 - i) * stride;
    png_read_image(r.png, r.rows.data());
    // Text chunks after the pixels land in the same info.
    png_read_end(r.png, metadata != nullptr ? r.info : nullptr);
    return Outcome::done;
}

Outcome encode(Writer& w, std::FILE* file, Size size, std::uint32_t stride, int bytesPerPixel,
               const std::uint8_t* pixels, const PhotoMetadata* metadata, std::vector<png_text>& kept) {
    if (setjmp(png_jmpbuf(w.png))) return Outcome::libraryError;
    png_init_io(w.png, file);
    png_set_user_limits(w.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);  // as when reading
    png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(size.width), static_cast<png_uint_32>(size.height), 8,
                 bytesPerPixel == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    char key[] = "Software";
    char text[] = "Domecast";
    png_text chunk{};
    chunk.compression = PNG_TEXT_COMPRESSION_NONE;
    chunk.key = key;
    chunk.text = text;
    chunk.text_length = sizeof text - 1;
    bool hasSoftware = false;
    if (metadata != nullptr) {
        for (const png_text& text : kept) hasSoftware = hasSoftware || std::string_view(text.key) == "Software";
        if (!kept.empty()) png_set_text(w.png, w.info, kept.data(), static_cast<int>(kept.size()));
        if (!metadata->iccProfile.empty())
            png_set_iCCP(w.png, w.info, metadata->iccName.c_str(), PNG_COMPRESSION_TYPE_BASE,
                         metadata->iccProfile.data(), static_cast<png_uint_32>(metadata->iccProfile.size()));
        // The colour chunks say how to show the pixels, which are the photo's own.
        const PngColour& colour = metadata->pngColour;
        if (colour.gamma) png_set_gAMA_fixed(w.png, w.info, static_cast<png_fixed_point>(*colour.gamma));
        if (const auto& c = colour.primaries)
            png_set_cHRM_fixed(w.png, w.info, (*c)[0], (*c)[1], (*c)[2], (*c)[3], (*c)[4], (*c)[5], (*c)[6], (*c)[7]);
        // An ICC profile and sRGB exclude each other; the profile says more.
        if (colour.srgbIntent && metadata->iccProfile.empty()) png_set_sRGB(w.png, w.info, *colour.srgbIntent);
    }
    if (!hasSoftware) png_set_text(w.png, w.info, &chunk, 1);
    png_write_info(w.png, w.info);
    png_set_bgr(w.png);
    // libpng has refused a non-positive or oversized size in png_write_info.
    w.rows.resize(static_cast<std::size_t>(size.height));
    for (std::int32_t i = 0; i < size.height; ++i)
        w.rows[static_cast<std::size_t>(i)] =
            const_cast<png_bytep>(pixels + static_cast<std::size_t>(size.height - 1 - i) * stride);
    progressRows = static_cast<png_uint_32>(size.height);
    writeCancelled = false;
    png_set_write_status_fn(w.png, rowWritten);
    // Row by row, as png_write_image writes a picture that is not interlaced, so that a
    // picture still being made is waited for.
    for (std::int32_t i = 0; i < size.height; ++i) {
        waitForRows(i + 1);
        png_write_row(w.png, w.rows[static_cast<std::size_t>(i)]);
    }
    png_write_end(w.png, nullptr);
    return Outcome::done;
}

// Whether every chunk's length, as its first four bytes (big-endian) give it, lies within
// the file: libpng allocates and clears a chunk's claimed length before it reads the data,
// so a few bytes claiming a 2 GB text chunk would cost 2 GB. Leaves the file at its start.
bool chunksFitTheFile(std::FILE* file) {
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return true;  // libpng decides
    const std::uint64_t size = static_cast<std::uint64_t>(status.st_size);
    constexpr std::uint64_t signatureBytes = 8, headerBytes = 8, crcBytes = 4;
    bool fits = true;
    for (std::uint64_t at = signatureBytes; at + headerBytes <= size;) {
        std::uint8_t header[headerBytes];
        if (std::fseek(file, static_cast<long>(at), SEEK_SET) != 0 ||
            std::fread(header, 1, headerBytes, file) != headerBytes)
            break;
        const std::uint64_t length =
            (std::uint64_t{header[0]} << 24) | (header[1] << 16) | (header[2] << 8) | header[3];
        if (length > size - at - headerBytes) {
            fits = false;
            break;
        }
        if (std::memcmp(header + 4, "IEND", 4) == 0) break;
        at += headerBytes + length + crcBytes;
    }
    return std::fseek(file, 0, SEEK_SET) == 0 && fits;
}

void load(const char* path, PixelSink sink, void* userData, PhotoMetadata* metadata) {
    StdioFile file = openStreamForReading(path);
    if (!file) throw ioException{path, ioException::opening, "cannot open the file"};
    if (!chunksFitTheFile(file.get())) throw ioException{path, ioException::opening, "file ends inside a chunk"};
    Outcome outcome;
    const char* refusal = "";
    Size overBudget{};
    {
        Reader reader;
        if (!reader.png || !reader.info) throw ioException{path, ioException::opening, "cannot start the PNG decoder"};
        outcome = decode(reader, file.get(), sink, userData, refusal, overBudget, metadata);
        if (outcome == Outcome::libraryError)
            refusal = libraryDefect(reader.messages, "PNG stream refused by the decoder");
        if (outcome == Outcome::done && metadata != nullptr) collectMetadata(reader, *metadata);
    }
    const bool closed = file.close();
    if (overBudget.width > 0) throw pixelBudgetRefusal(path, ioException::reading, overBudget);
    if (outcome == Outcome::libraryError) throw ioException{path, ioException::opening, refusal};
    if (outcome == Outcome::refused) throw ioException{path, ioException::reading, refusal};
    if (!closed) throw ioException{path, ioException::closing, "cannot close the file"};
}

void save(const char* path, Size size, std::uint32_t stride, int bytesPerPixel, const std::uint8_t* pixels,
          const PhotoMetadata* metadata) {
    // Rows are read as 3 or 4 bytes a pixel; any other size would read past them.
    if (bytesPerPixel != 3 && bytesPerPixel != 4)
        throw ioException{path, ioException::opening, "pixel size neither 3 nor 4 bytes"};
    StdioFile file = createStreamForWriting(path);
    if (!file) throw ioException{path, ioException::opening, storageFailure(errno, "cannot create the file")};
    Outcome outcome;
    const char* refusal = "picture refused by the PNG encoder";
    {
        Writer writer;
        if (!writer.png || !writer.info) throw ioException{path, ioException::opening, "cannot start the PNG encoder"};
        // libpng keeps pointers into these until the info is written.
        std::vector<png_text> kept;
        if (metadata != nullptr) {
            for (const PngText& text : metadata->pngTexts) {
                if (text.key.empty() || text.key.size() > 79) continue;  // keywords are 1-79 bytes
                png_text t{};
                t.compression = text.compression;
                t.key = const_cast<png_charp>(text.key.c_str());
                t.text = const_cast<png_charp>(text.text.c_str());
                t.text_length = text.text.size();
                if (text.compression >= PNG_ITXT_COMPRESSION_NONE) {
                    t.itxt_length = text.text.size();
                    t.lang = const_cast<png_charp>(text.language.c_str());
                    t.lang_key = const_cast<png_charp>(text.translatedKey.c_str());
                }
                kept.push_back(t);
            }
        }
        outcome = encode(writer, file.get(), size, stride, bytesPerPixel, pixels, metadata, kept);
        if (outcome != Outcome::done) refusal = libraryDefect(writer.messages, refusal);
    }
    // libpng reports a failed write (a full disk) as its own error: the stream tells which.
    const bool writeFailed = std::ferror(file.get()) != 0;
    const int writeError = errno;
    // The close flushes the last bytes: its failure loses the end of the file.
    const bool closed = file.close();
    if (writeFailed) throw ioException{path, ioException::writing, storageFailure(writeError, "write failed")};
    if (outcome != Outcome::done && writeCancelled) throw ioException{path, ioException::writing, cancelledReason};
    if (outcome != Outcome::done) throw ioException{path, ioException::opening, refusal};
    if (!closed) throw ioException{path, ioException::writing, storageFailure(errno, "cannot close the file")};
}

}  // namespace

void LoadPNG(const char* path, PixelSink sink, void* userData) { load(path, sink, userData, nullptr); }

void SavePNG(const char* path, Size size, std::uint32_t stride, int bytesPerPixel, const std::uint8_t* pixels) {
    save(path, size, stride, bytesPerPixel, pixels, nullptr);
}

void LoadPNGPhoto(const char* path, PixelSink sink, void* userData, PhotoMetadata& metadata) {
    metadata.pngTexts.clear();
    metadata.iccName.clear();
    metadata.iccProfile.clear();
    metadata.pngColour = {};
    metadata.lostAt8Bits.clear();
    load(path, sink, userData, &metadata);
}

void SavePNGPhoto(const char* path, Size size, std::uint32_t stride, const std::uint8_t* pixels,
                  const PhotoMetadata& metadata) {
    save(path, size, stride, 3, pixels, &metadata);
}
