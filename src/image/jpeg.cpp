#include "image/jpeg.h"

#include <cerrno>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <jerror.h>

#include "image/jpeg_blocks.h"
#include "image/jpeg_library.h"
#include "image/library_message.h"
#include "image/photo_metadata.h"
#include "image/pixel_budget.h"
#include "image/row_gate.h"
#include "platform/file_io.h"
#include "platform/io_exception.h"
#include "platform/progress.h"
#include "platform/storage_error.h"
#include "platform/message.h"
#include "platform/stdio_file.h"

namespace {

using ErrorManager = JpegErrorManager;
using Decompressor = JpegDecompressor;
using Compressor = JpegCompressor;

ErrorManager& managerOf(j_common_ptr info) { return *reinterpret_cast<ErrorManager*>(info->err); }

// A warning (corrupt data libjpeg reads past) is kept, never printed by the library.
void outputMessage(j_common_ptr info) noexcept {
    ErrorManager& errors = managerOf(info);
    if (errors.warning[0] == 0) info->err->format_message(info, errors.warning);
}

[[noreturn]] void errorExit(j_common_ptr info) {
    info->err->format_message(info, managerOf(info).error);
    std::longjmp(managerOf(info).jump, 1);
}

}  // namespace

void installJpegErrorManager(JpegErrorManager& errors) {
    jpeg_std_error(&errors.standard);
    errors.standard.error_exit = errorExit;
    errors.standard.output_message = outputMessage;
}

bool startsWithExif(const std::uint8_t* data, std::size_t length) {
    return length >= exifSignature.size() && std::equal(exifSignature.begin(), exifSignature.end(), data);
}

void writeJpegFile(const char* path, const char* fallback,
                   const std::function<JpegOutcome(JpegCompressor&, std::FILE*)>& encode) {
    StdioFile file = createStreamForWriting(path);
    if (!file) throw ioException{path, ioException::opening, storageFailure(errno, "cannot create the file")};
    JpegOutcome outcome;
    const char* refusal = fallback;
    {
        auto compressor = std::make_unique<JpegCompressor>();
        outcome = encode(*compressor, file.get());
        if (outcome != JpegOutcome::done) refusal = libraryReason(compressor->errors.error, refusal);
    }
    // The close flushes the last bytes: its failure loses the end of the file.
    const bool writeFailed = std::ferror(file.get()) != 0;
    const int writeError = errno;
    const bool closed = file.close();
    if (writeFailed) throw ioException{path, ioException::writing, storageFailure(writeError, "write failed")};
    if (outcome == JpegOutcome::cancelled) throw ioException{path, ioException::writing, cancelledReason};
    if (outcome != JpegOutcome::done) throw ioException{path, ioException::writing, refusal};
    if (!closed) throw ioException{path, ioException::writing, storageFailure(errno, "cannot close the file")};
}

namespace {

using Outcome = JpegOutcome;

// Holds every libjpeg call of a read; a library error jumps back here. Nothing in this
// frame has a destructor, so the jump skips no clean-up.
// A file is read from a stream, or from its bytes in memory.
struct Input {
    std::FILE* file = nullptr;
    const std::vector<std::uint8_t>* bytes = nullptr;
};

// A row of CMYK pixels as blue, green, red: each colour is the white its ink leaves times
// the white black leaves. Adobe's files (with an APP14 "Adobe" segment, as Photoshop and
// ImageMagick write them) store every ink inverted, as the white it leaves; others store
// the ink itself.
void cmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, JDIMENSION width, bool inverted) {
    const auto white = [inverted](std::uint8_t stored) { return inverted ? unsigned{stored} : 255u - stored; };
    const auto times = [](unsigned a, unsigned b) { return static_cast<std::uint8_t>((a * b + 127) / 255); };
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        const unsigned k = white(cmyk[3]);
        bgr[0] = times(white(cmyk[2]), k);
        bgr[1] = times(white(cmyk[1]), k);
        bgr[2] = times(white(cmyk[0]), k);
    }
}

// Why a picture's size was refused: over the pixel budget, or over libjpeg's own limit.
struct SizeRefusal {
    Size size{};
    bool overDecoderLimit = false;
};

Outcome decode(Decompressor& d, Input input, PixelSink sink, void* userData, const char*& refusal,
               SizeRefusal& tooLarge, PhotoMetadata* metadata) {
    if (setjmp(d.errors.jump)) {
        // The frame header's size is in the structure by the time libjpeg checks it.
        if (d.errors.standard.msg_code == JERR_IMAGE_TOO_BIG)
            tooLarge = {{static_cast<std::int32_t>(d.info.image_width), static_cast<std::int32_t>(d.info.image_height)},
                        true};
        refusal = libraryReason(d.errors.error, refusal);
        return Outcome::failed;
    }
    jpeg_create_decompress(&d.info);
    if (input.bytes != nullptr)
        jpeg_mem_src(&d.info, input.bytes->data(), static_cast<unsigned long>(input.bytes->size()));
    else
        jpeg_stdio_src(&d.info, input.file);
    if (metadata != nullptr) {
        // One byte more than a segment can hold, so that a cut copy shows.
        for (const int marker : {JPEG_APP0 + 1, JPEG_APP0 + 2, JPEG_COM})
            jpeg_save_markers(&d.info, marker, maxJpegSegmentData + 1);
    }
    jpeg_read_header(&d.info, TRUE);
    // CMYK and YCCK (which libjpeg turns into CMYK) are converted to RGB here, libjpeg
    // having no conversion of its own.
    const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
    if (metadata != nullptr) {
        metadata->convertedFromCmyk = cmyk;
        for (jpeg_saved_marker_ptr m = d.info.marker_list; m != nullptr; m = m->next) {
            if (m->data_length != m->original_length || !copyableJpegSegment(m->marker, m->data, m->data_length))
                continue;
            // A CMYK file's colour profile describes CMYK: it says nothing of the RGB written.
            if (cmyk && m->marker == JPEG_APP0 + 2) {
                metadata->droppedCmykProfile = true;
                continue;
            }
            metadata->jpegSegments.push_back({m->marker, std::vector<std::uint8_t>(m->data, m->data + m->data_length)});
        }
    }
    // Greyscale and RGB files keep their colour space; everything else is converted to RGB.
    if (cmyk)
        d.info.out_color_space = JCS_CMYK;
    else if (d.info.jpeg_color_space != JCS_GRAYSCALE && d.info.jpeg_color_space != JCS_RGB)
        d.info.out_color_space = JCS_RGB;
    const JDIMENSION width = d.info.image_width;
    const JDIMENSION height = d.info.image_height;
    // Before jpeg_start_decompress, which allocates the decoder's buffers for the width;
    // libjpeg has refused sides over JPEG_MAX_DIMENSION in jpeg_read_header.
    const Size size{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    if (!withinPixelBudget(size)) {
        tooLarge.size = size;
        return Outcome::failed;
    }

    std::uint32_t stride = 0;
    int bytesPerPixel = 0;
    std::uint8_t* pixels = nullptr;
    sink(size, 3, userData, stride, bytesPerPixel, pixels);
    if (bytesPerPixel != 3 || pixels == nullptr || stride < 3 * std::uint64_t{width}) {
        refusal = "no destination for the picture";
        return Outcome::failed;
    }

    jpeg_start_decompress(&d.info);
    const int components = d.info.output_components;
    if (d.info.output_width != width || (cmyk ? components != 4 : components != 1 && components != 3)) {
        refusal = "decoded rows unlike the header";
        return Outcome::failed;
    }
    // A CMYK row goes through a row of the library's own, freed with the decompressor.
    JSAMPROW cmykRow = cmyk ? d.info.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&d.info), JPOOL_IMAGE, 4 * width, 1)[0]
                            : nullptr;
    for (JDIMENSION n = height; n-- > 0;) {
        std::uint8_t* row = pixels + static_cast<std::size_t>(n) * stride;
        JSAMPROW rows[1] = {cmyk ? cmykRow : row};
        if (jpeg_read_scanlines(&d.info, rows, 1) != 1) {
            refusal = "scan lines missing";
            return Outcome::failed;
        }
        if (!reportProgress(height - n, height)) {
            refusal = cancelledReason;
            return Outcome::failed;
        }
        if (cmyk) {
            cmykToBgr(cmykRow, row, width, d.info.saw_Adobe_marker != FALSE);
        } else if (components == 3) {
            for (JDIMENSION x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
        } else {
            // From the last pixel back, so no grey byte is overwritten before it is spread.
            for (JDIMENSION x = width; x-- > 0;) {
                const std::uint8_t grey = row[x];
                row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = grey;
            }
        }
    }
    jpeg_finish_decompress(&d.info);
    return Outcome::done;
}

// Holds every libjpeg call of a write. Each row is swapped into the scratch row, so the
// caller's pixels are never touched, even when libjpeg fails half way.
struct PhotoEncoding {
    int quality;
    bool fullChroma;
    const PhotoMetadata* metadata;  // null: no segments to write
};

Outcome encode(Compressor& c, std::FILE* file, Size size, std::uint32_t stride, int bytesPerPixel,
               const std::uint8_t* pixels, std::uint8_t* scratch, const PhotoEncoding* photo) {
    if (setjmp(c.errors.jump)) return Outcome::failed;
    jpeg_create_compress(&c.info);
    jpeg_stdio_dest(&c.info, file);
    c.info.image_width = static_cast<JDIMENSION>(size.width);
    c.info.image_height = static_cast<JDIMENSION>(size.height);
    c.info.input_components = bytesPerPixel;
    c.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c.info);
    if (photo != nullptr) {
        jpeg_set_quality(&c.info, photo->quality, TRUE);
        // 4:4:4: the colour of every pixel, not of every 2 x 2 block.
        if (photo->fullChroma)
            for (int i = 0; i < c.info.num_components; ++i) c.info.comp_info[i].h_samp_factor = c.info.comp_info[i].v_samp_factor = 1;
        if (photo->metadata != nullptr)
            for (const JpegSegment& segment : photo->metadata->jpegSegments)
                if (segment.marker == JPEG_APP0 + 1 && startsWithExif(segment.data.data(), segment.data.size()))
                    c.info.write_JFIF_header = FALSE;
    }
    jpeg_start_compress(&c.info, TRUE);
    if (photo != nullptr && photo->metadata != nullptr) {
        for (const JpegSegment& segment : photo->metadata->jpegSegments)
            if (segment.data.size() <= maxJpegSegmentData)
                jpeg_write_marker(&c.info, segment.marker, segment.data.data(),
                                  static_cast<unsigned int>(segment.data.size()));
    }
    // libjpeg has refused a non-positive size or a pixel size other than 3 by now.
    const std::size_t rowBytes = static_cast<std::size_t>(size.width) * static_cast<std::size_t>(bytesPerPixel);
    for (std::int32_t n = size.height; n-- > 0;) {
        waitForRows(size.height - n);
        const std::uint8_t* source = pixels + static_cast<std::size_t>(n) * stride;
        for (std::size_t i = 0; i < rowBytes; i += static_cast<std::size_t>(bytesPerPixel)) {
            scratch[i] = source[i + 2];
            scratch[i + 1] = source[i + 1];
            scratch[i + 2] = source[i];
        }
        JSAMPROW rows[1] = {scratch};
        jpeg_write_scanlines(&c.info, rows, 1);
        // A cancelled write leaves a cut file, which the save it belongs to drops.
        if (!reportProgress(static_cast<std::uint64_t>(size.height - n), static_cast<std::uint64_t>(size.height)))
            return Outcome::cancelled;
    }
    jpeg_finish_compress(&c.info);
    return Outcome::done;
}

}  // namespace

namespace {

// The whole file, for a reading that keeps its blocks; false when it cannot be read.
bool readAll(std::FILE* file, std::vector<std::uint8_t>& bytes) {
    std::uint8_t chunk[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (got < sizeof chunk) return std::ferror(file) == 0;
    }
}

// The sink of a reading that keeps the blocks: starts their reader, then hands on.
struct BlockReading {
    PixelSink target;
    void* userData;
    std::shared_ptr<std::vector<std::uint8_t>> bytes;
    std::unique_ptr<JpegBlocks>* blocks;
    std::jthread thread;

    static void start(Size size, int hint, void* data, std::uint32_t& stride, int& bytesPerPixel, std::uint8_t*& pixels) {
        auto& reading = *static_cast<BlockReading*>(data);
        // The coefficients take 2 bytes a sample, up to 6 a pixel: a picture whose
        // blocks the memory cannot hold beside it is saved by encoding it anew.
        const std::uint64_t count = static_cast<std::uint64_t>(std::max(size.width, 0)) *
                                    static_cast<std::uint64_t>(std::max(size.height, 0));
        if (!reading.thread.joinable() && memoryHoldsBeside(count, 6 * count))
            reading.thread = std::jthread([bytes = reading.bytes, blocks = reading.blocks] { *blocks = ReadJPEGBlocks(bytes); });
        reading.target(size, hint, reading.userData, stride, bytesPerPixel, pixels);
    }
};

void load(const char* path, PixelSink sink, void* userData, PhotoMetadata* metadata,
          std::unique_ptr<JpegBlocks>* blocks) {
    StdioFile file = openStreamForReading(path);
    if (!file) throw ioException{path, ioException::opening, "cannot open the file"};
    Input input{file.get(), nullptr};
    // The blocks are read from the same bytes beside the pixels, on a thread of their own
    // started once the decoder has accepted the picture's size.
    BlockReading reading{sink, userData, nullptr, blocks, {}};
    if (blocks != nullptr) {
        reading.bytes = std::make_shared<std::vector<std::uint8_t>>();
        if (!readAll(file.get(), *reading.bytes)) throw ioException{path, ioException::reading, "cannot read the file"};
        input = {nullptr, reading.bytes.get()};
        sink = BlockReading::start;
        userData = &reading;
    }
    Outcome outcome;
    // A library error leaves this text: the decoder refused the stream.
    const char* refusal = "JPEG stream refused by the decoder";
    std::string warning;
    SizeRefusal tooLarge;
    {
        auto decompressor = std::make_unique<Decompressor>();
        outcome = decode(*decompressor, input, sink, userData, refusal, tooLarge, metadata);
        warning = decompressor->errors.warning;
    }
    file.close();  // a failed close of a file only read loses nothing
    if (reading.thread.joinable()) reading.thread.join();
    if (tooLarge.overDecoderLimit)
        throw pictureSizeRefusal(path, ioException::reading, tooLarge.size,
                                 "JPEG pictures are at most " + std::to_string(JPEG_MAX_DIMENSION) +
                                     " pixels wide and high.");
    if (tooLarge.size.width > 0) throw pixelBudgetRefusal(path, ioException::reading, tooLarge.size);
    if (outcome != Outcome::done) throw ioException{path, ioException::reading, refusal};
    if (!warning.empty())
        showMessage(std::string("Warning: the picture ") + path +
                        " is damaged; what could be read is shown.\nReason: " + warning,
                    MessageStyle::okExclamation);
}

void save(const char* path, Size size, std::uint32_t stride, int bytesPerPixel, const std::uint8_t* pixels,
          const PhotoEncoding* photo) {
    std::vector<std::uint8_t> scratch;
    if (size.width > 0 && bytesPerPixel == 3) scratch.resize(3 * static_cast<std::size_t>(size.width));
    writeJpegFile(path, "picture refused by the JPEG encoder", [&](JpegCompressor& compressor, std::FILE* file) {
        return encode(compressor, file, size, stride, bytesPerPixel, pixels, scratch.data(), photo);
    });
}

}  // namespace

void LoadJPEG(const char* path, PixelSink sink, void* userData) { load(path, sink, userData, nullptr, nullptr); }

void SaveJPEG(const char* path, Size size, std::uint32_t stride, int bytesPerPixel, const std::uint8_t* pixels) {
    save(path, size, stride, bytesPerPixel, pixels, nullptr);
}

void SaveJPEGFace(const char* path, Size size, std::uint32_t stride, int bytesPerPixel, const std::uint8_t* pixels,
                  const JpegFaceEncoding& encoding) {
    const PhotoEncoding face{std::clamp(encoding.quality, 1, 100), encoding.chroma == JpegChroma::full, nullptr};
    save(path, size, stride, bytesPerPixel, pixels, &face);
}

void LoadJPEGPhoto(const char* path, PixelSink sink, void* userData, PhotoMetadata& metadata,
                   std::unique_ptr<JpegBlocks>* blocks) {
    metadata.jpegSegments.clear();
    metadata.droppedCmykProfile = false;
    if (blocks != nullptr) blocks->reset();
    load(path, sink, userData, &metadata, blocks);
}

void SaveJPEGPhoto(const char* path, Size size, std::uint32_t stride, const std::uint8_t* pixels, int quality,
                   const PhotoMetadata& metadata) {
    // A photo keeps the colour of every pixel.
    const PhotoEncoding photo{std::clamp(quality, 1, 100), true, &metadata};
    save(path, size, stride, 3, pixels, &photo);
}
