#pragma once
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "image/bgr_image.h"
#include "panorama/six_image.h"

// Every face's pixels, row by row, without the rows' padding.
inline std::vector<std::vector<std::uint8_t>> faceBytes(const SixImage& panorama) {
    std::vector<std::vector<std::uint8_t>> bytes;
    for (const auto& face : panorama.faces) {
        std::vector<std::uint8_t>& rows = bytes.emplace_back();
        for (int y = 0; y < face->height; ++y) rows.insert(rows.end(), face->row(y), face->row(y) + face->width * 3);
    }
    return bytes;
}

// Fills face i so that every pixel tells its face (blue), column (green) and row (red).
inline void paintFace(BGRImage& face, int i) {
    for (int y = 0; y < face.height; ++y)
        for (int x = 0; x < face.width; ++x) {
            std::uint8_t* p = face.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(40 * i + 1);
            p[1] = static_cast<std::uint8_t>(x);
            p[2] = static_cast<std::uint8_t>(y);
        }
}

inline bool allWhite(const BGRImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < 3 * image.width; ++x)
            if (image.row(y)[x] != 0xFF) return false;
    return true;
}

// The mean difference of two pictures of one size, over every byte; 255 when the sizes differ.
inline double meanDifference(const BGRImage& a, const BGRImage& b) {
    if (a.size() != b.size()) return 255;
    double sum = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < 3 * a.width; ++x) sum += std::abs(int{a.row(y)[x]} - int{b.row(y)[x]});
    return sum / (3.0 * a.width * a.height);
}

inline bool samePixels(const BGRImage& a, const BGRImage& b) {
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height; ++y)
        if (std::memcmp(a.row(y), b.row(y), 3 * static_cast<std::size_t>(a.width)) != 0) return false;
    return true;
}

// A smooth picture: colour follows longitude and latitude, so that neighbouring face
// pixels are alike and a seam or a turned face stands out.
inline std::unique_ptr<RawImage> smoothSphere(Size size) {
    auto picture = std::make_unique<RawImage>(size);
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const double lon = 2 * M_PI * x / size.width, lat = M_PI * y / size.height;
            std::uint8_t* p = picture->row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(127.5 + 127 * std::sin(lon));
            p[1] = static_cast<std::uint8_t>(127.5 + 127 * std::cos(lon) * std::sin(lat));
            p[2] = static_cast<std::uint8_t>(255 * y / size.height);
        }
    return picture;
}
