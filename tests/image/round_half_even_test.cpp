#include "image/round_half_even.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace {

// The same bits as nearbyint under the default rounding mode, signed zeros aside: the
// callers turn the result into an integer.
void expectNearbyint(double x) {
    const double expected = std::nearbyint(x), got = roundHalfEven(x);
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(got)) << x;
        return;
    }
    EXPECT_EQ(got, expected) << std::hexfloat << x;
    if (expected != 0) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected)) << x;
    }
}

TEST(RoundHalfEven, TiesGoToEvenAndLargeValuesStayWhole) {
    ASSERT_EQ(std::fegetround(), FE_TONEAREST);
    constexpr double big = 4503599627370496.0;  // 2^52: no fraction bits from here on
    const double cases[] = {0.5, 1.5, 2.5, -0.5, -1.5, -2.5, 0.49999999999999994, 1023.5, 1024.5, -1023.5,
                            std::nextafter(0.5, 0.0), std::nextafter(0.5, 1.0), big - 0.5, big - 1.5, big, big + 2,
                            -big + 0.5, 1e15 + 0.5, 9007199254740993.0, 511.5, 1e300, -1e300, std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()};
    for (double x : cases) expectNearbyint(x);
}

TEST(RoundHalfEven, AgreesWithNearbyintOverRandomValues) {
    std::mt19937_64 random(29);
    std::uniform_real_distribution<double> pixels(-5000.0, 5000.0);
    std::uniform_int_distribution<std::int64_t> halves(-20000, 20000);
    for (int i = 0; i < 1000000; ++i) {
        expectNearbyint(pixels(random));
        expectNearbyint(static_cast<double>(halves(random)) / 2);
        if (HasFailure()) break;
    }
}

}  // namespace
