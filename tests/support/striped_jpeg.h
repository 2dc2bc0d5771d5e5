#pragma once
// Large JPEG photos for the tests and benchmarks, written row by row with libjpeg so that
// no picture of their size is ever held in memory: eight upright stripes of the colours
// below, left to right.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>

// Red, green, blue of stripe i (of 8), as the file holds them.
inline std::array<std::uint8_t, 3> stripeColour(int i) {
    return {static_cast<std::uint8_t>(i & 1 ? 230 : 20), static_cast<std::uint8_t>(i & 2 ? 230 : 20),
            static_cast<std::uint8_t>(i & 4 ? 230 : 20)};
}

// The stripe column x of a picture width wide falls in.
inline int stripeAt(std::int64_t x, std::int64_t width) { return static_cast<int>(x * 8 / width); }

// Writes path as a baseline 4:2:0 JPEG of that size; false when the file cannot be made.
// A libjpeg error ends the process (the standard error manager's way).
inline bool writeStripedJpeg(const std::string& path, std::uint32_t width, std::uint32_t height, int quality = 85) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file.get());
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(width));
    for (std::uint32_t x = 0; x < width; ++x) {
        const auto colour = stripeColour(stripeAt(x, width));
        std::copy(colour.begin(), colour.end(), row.begin() + 3 * static_cast<std::ptrdiff_t>(x));
    }
    JSAMPROW rows[1] = {row.data()};
    while (info.next_scanline < height) jpeg_write_scanlines(&info, rows, 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fflush(file.get()) == 0;
}

// The width and height a JPEG file's header gives, read without decoding its pixels.
inline std::pair<std::uint32_t, std::uint32_t> jpegHeaderSize(const std::string& path) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
    if (!file) return {0, 0};
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file.get());
    jpeg_read_header(&info, TRUE);
    const std::pair<std::uint32_t, std::uint32_t> size{info.image_width, info.image_height};
    jpeg_destroy_decompress(&info);
    return size;
}
