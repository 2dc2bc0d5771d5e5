#include "image/fast_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace {

TEST(FastAtan, HitsTheTableAtItsNodes) {
    EXPECT_EQ(fastAtan(0.0), 0.0);
    for (int i = 0; i < 512; ++i)
        EXPECT_DOUBLE_EQ(fastAtan(i / 512.0), std::atan(i / 512.0)) << "i = " << i;
}

TEST(FastAtan, IsExactFromOneOutwardsAndOddInside) {
    for (double x : {1.0, 1.5, 20.0, -1.0, -3.25})
        EXPECT_EQ(fastAtan(x), std::atan(x)) << x;
    for (double x : {0.5, 0.1234, 0.999, 1e-6}) EXPECT_EQ(fastAtan(-x), -fastAtan(x)) << x;
}

TEST(FastAtan, InterpolatesLinearlyBetweenNodes) {
    // Half way between nodes 100 and 101, and a quarter of the way from 7 to 8.
    const double half = 0.5 * std::atan(100 / 512.0) + 0.5 * std::atan(101 / 512.0);
    EXPECT_DOUBLE_EQ(fastAtan(100.5 / 512.0), half);
    const double quarter = 0.75 * std::atan(7 / 512.0) + 0.25 * std::atan(8 / 512.0);
    EXPECT_DOUBLE_EQ(fastAtan(7.25 / 512.0), quarter);
    // Close to one the interpolation must stay inside the table's last interval.
    EXPECT_NEAR(fastAtan(std::nextafter(1.0, 0.0)), std::atan(1.0), 1e-12);
}

TEST(FastSqrt, ExactSquaresAndZero) {
    struct Case { float x, root; };
    for (Case c : {Case{0.0f, 0.0f}, {1.0f, 1.0f}, {4.0f, 2.0f}, {16.0f, 4.0f}, {0.25f, 0.5f}, {65536.0f, 256.0f}})
        EXPECT_EQ(fastSqrt(c.x), c.root) << c.x;
}

TEST(FastSqrt, KeepsTheTopSevenMantissaBitsOfTheTrueRoot) {
    // Arguments whose mantissa fits in 7 bits, so the table sees them exactly.
    for (float x : {2.0f, 3.0f, 0.5f, 10.0f, 200.0f, 127.0f, 1536.0f, 0.375f}) {
        const std::uint32_t fast = std::bit_cast<std::uint32_t>(fastSqrt(x));
        const std::uint32_t exact = std::bit_cast<std::uint32_t>(std::sqrt(x));
        EXPECT_EQ(fast, exact & 0xFFFF0000u) << x;  // sign, exponent and 7 mantissa bits
    }
}

}  // namespace
