#pragma once
#include <cstdint>
#include <memory>

#include "image/bgr_image.h"
#include "view/painted_six_image.h"

// A panorama of in-memory faces filled with a busy pattern, for the renderers' benchmarks.
inline std::unique_ptr<PaintedSixImage> benchPanorama(int faceSize) {
    auto panorama = std::make_unique<PaintedSixImage>();
    for (int f = 0; f < faceCount; ++f) {
        auto face = std::make_unique<RawImage>(Size{faceSize, faceSize});
        for (int row = 0; row < faceSize; ++row)
            for (int i = 0; i < 3 * faceSize; ++i)
                face->row(row)[i] = static_cast<std::uint8_t>(i * 7 + row * 3 + f * 50);
        panorama->faces[f] = std::move(face);
    }
    return panorama;
}
