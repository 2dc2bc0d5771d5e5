#pragma once
// What every libjpeg caller of the image layer shares: the error manager that turns the
// library's exits into a jump back to the caller, and owners of the two library objects.
// Only the codec files include this (it brings in jpeglib.h).
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <functional>

#include <jpeglib.h>

// libjpeg's standard error manager plus what the hooks need to get back to the entry
// point, and libjpeg's messages for the program's own lines. libjpeg only sees the first
// member.
struct JpegErrorManager {
    jpeg_error_mgr standard;
    std::jmp_buf jump;
    char error[JMSG_LENGTH_MAX];
    char warning[JMSG_LENGTH_MAX];  // the stream's first
};

// Warnings are kept, never printed; an error fills error and jumps to jump.
void installJpegErrorManager(JpegErrorManager& errors);

// Owns a decompressor; zero-initialised so that destroying a half-created one is safe.
struct JpegDecompressor {
    JpegDecompressor() { installJpegErrorManager(errors); info.err = &errors.standard; }
    ~JpegDecompressor() { jpeg_destroy_decompress(&info); }
    JpegDecompressor(const JpegDecompressor&) = delete;
    JpegDecompressor& operator=(const JpegDecompressor&) = delete;

    jpeg_decompress_struct info{};
    JpegErrorManager errors{};
};

struct JpegCompressor {
    JpegCompressor() { installJpegErrorManager(errors); info.err = &errors.standard; }
    ~JpegCompressor() { jpeg_destroy_compress(&info); }
    JpegCompressor(const JpegCompressor&) = delete;
    JpegCompressor& operator=(const JpegCompressor&) = delete;

    jpeg_compress_struct info{};
    JpegErrorManager errors{};
};

// An EXIF block has to be the first APP segment; JFIF and EXIF exclude each other.
bool startsWithExif(const std::uint8_t* data, std::size_t length);

enum class JpegOutcome { done, failed, cancelled };

// Creates path and has encode write it through a fresh compressor onto the stream; what
// went wrong becomes ioException (writing): the storage's failure first, then a cancel,
// then libjpeg's message (fallback when it has none). encode holds the libjpeg calls and
// their setjmp.
void writeJpegFile(const char* path, const char* fallback,
                   const std::function<JpegOutcome(JpegCompressor&, std::FILE*)>& encode);
