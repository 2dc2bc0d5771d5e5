// The caps of the sphere and cylinder conversions against a plain reading of their
// definition: every sub-sample's vertical coordinate from the table square root and
// arctangent, its longitude from atan2, its source pixel by rounding half to even.
// The conversion works the same out with cached rows and a table arctangent; not a byte
// may differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "image/bgr_image.h"
#include "image/fast_math.h"
#include "image/gamma.h"
#include "panorama/geometry.h"
#include "panorama/six_image.h"
#include "panorama/sphere.h"

namespace {

constexpr double halfPi = 1.5707963705062866;
constexpr double twoPi = static_cast<double>(2.0f * singlePi);

std::int32_t rounded(double c, std::int32_t count) {
    const double index = std::nearbyint(c - 0.5);
    return static_cast<std::int32_t>(std::clamp(index, 0.0, static_cast<double>(count - 1)));
}

std::int32_t wrapped(double c, std::int32_t width) {
    const auto index = static_cast<std::int64_t>(std::nearbyint(c - 0.5));
    return static_cast<std::int32_t>(((index % width) + width) % width);
}

struct CapCase {
    const char* name;
    bool cylinder;
    std::int32_t face;
    Size source;
    double bottom, top;  // radians for a sphere, angles whose tangents bound a cylinder
};

// The cap pixel as the definition gives it; false when a sub-sample falls outside.
bool referencePixel(const CapCase& c, const RawImage& source, bool up, std::int32_t k, std::int32_t j,
                    std::uint8_t* out) {
    const double low = c.cylinder ? std::tan(c.bottom) : c.bottom, high = c.cylinder ? std::tan(c.top) : c.top;
    std::uint32_t sum[3] = {0, 0, 0};
    for (int n = 0; n < 4; ++n) {
        const auto s = static_cast<float>(2.0 * (k + (n & 1 ? 0.75 : 0.25)) / c.face - 1.0);
        const auto u = static_cast<float>(2.0 * (j + (n & 2 ? 0.75 : 0.25)) / c.face - 1.0);
        const float r = fastSqrt(s * s + u * u);
        const double v = c.cylinder ? 1.0 / r : halfPi - fastAtan(r);
        const double vertical = up ? v : -v;
        if (up ? vertical > high : vertical < low) return false;
        const double longitude = std::atan2(static_cast<double>(s), static_cast<double>(up ? -u : u));
        const std::int32_t row = rounded(source.height * (vertical - low) * (1.0 / (high - low)), source.height);
        const std::int32_t column = wrapped(source.width * (longitude / twoPi + 0.5), source.width);
        const std::uint8_t* p = source.row(row) + 3 * static_cast<std::size_t>(column);
        for (int i = 0; i < 3; ++i) sum[i] += toLinear(p[i]);
    }
    for (int i = 0; i < 3; ++i) out[i] = toGamma(sum[i] / 4);
    return true;
}

TEST(SphereCaps, EveryPixelIsTheOneItsDefinitionGives) {
    const CapCase cases[] = {
        {"full sphere", false, 64, {256, 128}, -halfPi, halfPi},
        {"odd sizes", false, 37, {151, 77}, -halfPi, halfPi},
        {"source wider than four faces", false, 16, {1031, 515}, -halfPi, halfPi},
        {"band short of the poles", false, 48, {192, 80}, -1.1, 1.3},
        {"cylinder", true, 40, {160, 90}, -1.2, 1.2},
        {"lopsided cylinder", true, 33, {131, 70}, -0.4, 1.45},
    };
    for (const CapCase& c : cases) {
        RawImage source(c.source);
        for (std::int32_t y = 0; y < source.height; ++y)
            for (std::int32_t x = 0; x < source.width; ++x) {
                std::uint8_t* p = source.row(y) + 3 * x;
                p[0] = static_cast<std::uint8_t>(x * 7 + y);
                p[1] = static_cast<std::uint8_t>(y * 5 + x / 3);
                p[2] = static_cast<std::uint8_t>((x ^ y) * 3);
            }
        SixImage cube;
        for (auto& face : cube.faces) {
            face = std::make_unique<RawImage>(Size{c.face, c.face});
            std::memset(face->pixels, 0xFF, static_cast<std::size_t>(face->stride) * c.face);
        }
        (c.cylinder ? cylinderToCube : sphereToCube)(cube, source.pixels, source.width, source.height, source.stride,
                                                     c.bottom, c.top, 0);
        for (const int face : {Up, Down})
            for (std::int32_t j = 0; j < c.face; ++j)
                for (std::int32_t k = 0; k < c.face; ++k) {
                    std::uint8_t expected[3] = {255, 255, 255};
                    referencePixel(c, source, face == Up, k, j, expected);
                    const std::uint8_t* got = cube.faces[face]->row(j) + 3 * k;
                    ASSERT_TRUE(got[0] == expected[0] && got[1] == expected[1] && got[2] == expected[2])
                        << c.name << ": face " << face << " pixel " << k << "," << j;
                }
    }
}

}  // namespace
