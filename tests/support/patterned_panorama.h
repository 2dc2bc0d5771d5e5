#pragma once
#include <cstdint>
#include <memory>

#include "image/bgr_image.h"
#include "view/painted_six_image.h"

// A panorama whose face pixels say where they are: blue = column, green = row (both
// modulo 256), red = 40 x (face + 1). Faces are in-memory images, no GL contexts.
inline std::unique_ptr<PaintedSixImage> patternedPanorama(int faceSize) {
    auto panorama = std::make_unique<PaintedSixImage>();
    for (int f = 0; f < faceCount; ++f) {
        auto face = std::make_unique<RawImage>(Size{faceSize, faceSize});
        for (int row = 0; row < faceSize; ++row)
            for (int column = 0; column < faceSize; ++column) {
                std::uint8_t* p = face->row(row) + 3 * column;
                p[0] = static_cast<std::uint8_t>(column);
                p[1] = static_cast<std::uint8_t>(row);
                p[2] = static_cast<std::uint8_t>(40 * (f + 1));
            }
        panorama->faces[f] = std::move(face);
    }
    return panorama;
}

struct DecodedSample {
    int face, column, row;
};

// Reads back a blue-green-red sample of a patterned panorama.
inline DecodedSample decodeSample(const std::uint8_t* bgr) { return {bgr[2] / 40 - 1, bgr[0], bgr[1]}; }
