#include "support/image_files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> BmpFile::bytes() const {
    std::vector<std::uint8_t> pixels;
    for (std::int32_t y = 0; y < height; ++y) {
        std::vector<std::uint8_t> row;
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t v = values.at(static_cast<std::size_t>(y) * width + x);
            if (bitCount == 24) {
                row.push_back(static_cast<std::uint8_t>(v));
                row.push_back(static_cast<std::uint8_t>(v >> 8));
                row.push_back(static_cast<std::uint8_t>(v >> 16));
            } else if (bitCount == 8) {
                row.push_back(static_cast<std::uint8_t>(v));
            } else if (x % 2 == 0) {
                row.push_back(static_cast<std::uint8_t>(v << 4));
            } else {
                row.back() |= static_cast<std::uint8_t>(v & 0x0F);
            }
        }
        while (row.size() % 4 != 0) row.push_back(0xEE);  // padding carries no meaning
        pixels.insert(pixels.end(), row.begin(), row.end());
    }
    const std::uint32_t paletteEnd = 54 + 4 * static_cast<std::uint32_t>(palette.size());
    const std::uint32_t dataOffset = gap ? paletteEnd + *gap : 0;
    const std::uint32_t fileSize = paletteEnd + (gap ? *gap : 0) + static_cast<std::uint32_t>(pixels.size());

    std::vector<std::uint8_t> out{'B', 'M'};
    put32(out, fileSize);
    put32(out, 0);
    put32(out, dataOffset);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(bitCount));
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(pixels.size()));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, coloursUsed);
    put32(out, 0);
    for (const auto& entry : palette) out.insert(out.end(), {entry[0], entry[1], entry[2], 0});
    out.insert(out.end(), gap ? *gap : 0, 0xAB);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

std::array<std::uint8_t, 3> BmpFile::expected(std::int32_t x, std::int32_t y) const {
    const std::uint32_t v = values.at(static_cast<std::size_t>(y) * width + x);
    if (bitCount == 24)
        return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16)};
    return palette.at(v);
}

std::vector<std::uint8_t> targaHeader(std::uint8_t imageType, std::uint8_t colourMapType, std::int16_t firstIndex,
                                      std::int16_t mapLength, std::uint8_t entrySize, std::int16_t width,
                                      std::int16_t height, std::uint8_t depth, std::uint8_t descriptor,
                                      std::uint8_t idLength) {
    std::vector<std::uint8_t> out{idLength, colourMapType, imageType};
    put16(out, static_cast<std::uint16_t>(firstIndex));
    put16(out, static_cast<std::uint16_t>(mapLength));
    out.push_back(entrySize);
    put32(out, 0x55555555);  // origin, ignored
    put16(out, static_cast<std::uint16_t>(width));
    put16(out, static_cast<std::uint16_t>(height));
    out.push_back(depth);
    out.push_back(descriptor);
    return out;
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void SinkPicture::sink(Size size, int hint, void* userData, std::uint32_t& stride, int& bytesPerPixel,
                       std::uint8_t*& pixels) {
    auto* picture = static_cast<SinkPicture*>(userData);
    picture->size = size;
    picture->hint = hint;
    const std::int64_t count = static_cast<std::int64_t>(size.width) * size.height;
    const std::int64_t rowBytes = static_cast<std::int64_t>(size.width) * picture->bytesPerPixel;
    picture->stride = static_cast<std::uint32_t>(rowBytes + picture->strideSlack - picture->strideShortBy);
    bytesPerPixel = picture->bytesPerPixel;
    stride = picture->stride;
    if (picture->nullPixels || (picture->maxPixels >= 0 && count > picture->maxPixels)) {
        pixels = nullptr;
        return;
    }
    picture->pixels.assign(static_cast<std::size_t>(picture->stride) * size.height, 0xCD);
    pixels = picture->pixels.data();
}
