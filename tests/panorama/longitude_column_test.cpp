#include "panorama/longitude_column.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace {

// The sub-sample coordinates across a cap face of that many columns, as the conversion
// places them: 2 c / n - 1 at c = k + 1/4 and k + 3/4, in single precision.
float capCoordinate(std::int32_t sample, std::int32_t faceWidth) {
    const double c = sample / 2 + (sample % 2 ? 0.75 : 0.25);
    return static_cast<float>(2.0 * c / faceWidth - 1.0);
}

struct CapCase {
    std::int32_t faceWidth;
    std::int32_t sourceWidth;
};

TEST(FastLongitudeColumn, ReadsTheColumnOfAtan2ForEverySampleOfTheCaps) {
    const CapCase cases[] = {{1, 4},     {3, 7},      {64, 256},   {255, 1021}, {255, 4097},
                             {1024, 4096}, {1024, 4097}, {1024, 65536}, {2048, 8192}};
    for (const CapCase& c : cases) {
        const std::int32_t samples = 2 * c.faceWidth;
        for (std::int32_t j = 0; j < samples; ++j)
            for (std::int32_t k = 0; k < samples; ++k) {
                const double s = capCoordinate(k, c.faceWidth), u = capCoordinate(j, c.faceWidth);
                for (const double y : {u, -u})  // Up looks at -u, Down at u
                    ASSERT_EQ(fastLongitudeColumn(s, y, c.sourceWidth), longitudeColumn(s, y, c.sourceWidth))
                        << "face " << c.faceWidth << " source " << c.sourceWidth << " sample " << k << "," << j;
            }
    }
}

TEST(FastLongitudeColumn, ReadsTheColumnOfAtan2ForAnyDirection) {
    std::mt19937_64 random(34);
    std::uniform_real_distribution<double> plane(-1.0, 1.0);
    std::uniform_int_distribution<std::int32_t> widths(1, 1 << 20);
    std::uniform_int_distribution<int> exponents(-60, 60);
    for (int i = 0; i < 1000000; ++i) {
        double x = plane(random), y = plane(random);
        // Directions close to the axes and the diagonals, where the arctangent changes form.
        switch (i % 4) {
        case 1: x = std::ldexp(x, exponents(random)); break;
        case 2: y = std::copysign(std::fabs(x) * (1 + std::ldexp(plane(random), -40)), y); break;
        default: break;
        }
        const std::int32_t width = widths(random);
        ASSERT_EQ(fastLongitudeColumn(x, y, width), longitudeColumn(x, y, width)) << x << " " << y << " " << width;
    }
}

TEST(FastLongitudeColumn, HandlesZerosAndValuesThatAreNotFinite) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double values[] = {0.0, -0.0, 1.0, -1.0, 1e-320, -1e-320, 1e308, -1e308, inf, -inf};
    for (double x : values)
        for (double y : values)
            for (std::int32_t width : {1, 4096, 4097}) {
                ASSERT_EQ(fastLongitudeColumn(x, y, width), longitudeColumn(x, y, width)) << x << " " << y;
                const std::int32_t column = fastLongitudeColumn(x, y, width);
                EXPECT_TRUE(column >= 0 && column < width) << column;
            }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::int32_t column = fastLongitudeColumn(nan, 1.0, 4096);
    EXPECT_TRUE(column >= 0 && column < 4096) << column;
}

}  // namespace
