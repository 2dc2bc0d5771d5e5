#include "image/fast_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

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

// The vector forms against the single-value ones: the same bits, NaN only as NaN.
template <class Float, class Bits>
::testing::AssertionResult sameResults(const std::vector<Float>& x, const std::vector<Float>& vector,
                                       Float (*single)(Float)) {
    for (std::size_t i = 0; i < x.size(); ++i) {
        const Float expected = single(x[i]);
        if (std::isnan(expected) && std::isnan(vector[i])) continue;
        if (std::bit_cast<Bits>(expected) != std::bit_cast<Bits>(vector[i]))
            return ::testing::AssertionFailure()
                   << "x = " << x[i] << " (bits " << std::bit_cast<Bits>(x[i]) << "): single "
                   << std::bit_cast<Bits>(expected) << ", vector " << std::bit_cast<Bits>(vector[i]);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult atanMatches(const std::vector<double>& x) {
    std::vector<double> out(x.size());
    fastAtan(x.data(), out.data(), x.size());
    return sameResults<double, std::uint64_t>(x, out, static_cast<double (*)(double)>(fastAtan));
}

::testing::AssertionResult sqrtMatches(const std::vector<float>& x) {
    std::vector<float> out(x.size());
    fastSqrt(x.data(), out.data(), x.size());
    return sameResults<float, std::uint32_t>(x, out, static_cast<float (*)(float)>(fastSqrt));
}

// Both signs of each value.
template <class Float>
void addSigned(std::vector<Float>& values, Float x) {
    values.push_back(x);
    values.push_back(-x);
}

template <class Float>
std::vector<Float> specialValues() {
    using limits = std::numeric_limits<Float>;
    std::vector<Float> values;
    for (Float x : {Float(0), Float(1), std::nextafter(Float(1), Float(0)), std::nextafter(Float(1), Float(2)),
                    Float(0.5), Float(2), limits::denorm_min(), limits::min(), std::nextafter(limits::min(), Float(0)),
                    limits::max(), limits::infinity(), limits::quiet_NaN(), limits::signaling_NaN(), limits::epsilon()})
        addSigned(values, x);
    return values;
}

TEST(FastAtan, VectorFormGivesTheSameBitsAtKnotsMidpointsAndSpecialValues) {
    std::vector<double> x = specialValues<double>();
    for (int i = 0; i <= FastMathTables::atanEntries; ++i)
        for (double at : {i / 512.0, (i + 0.5) / 512.0, (i + 0.25) / 512.0})
            for (double v : {at, std::nextafter(at, 0.0), std::nextafter(at, 2.0)}) addSigned(x, v);
    EXPECT_TRUE(atanMatches(x));
}

TEST(FastAtan, VectorFormGivesTheSameBitsForAMillionRandomArguments) {
    std::mt19937_64 random(34);
    std::vector<double> x(1'000'000);
    // The tangents of the side faces lie within +-1; beyond them the library's arctangent
    // takes over; any bit pattern covers every exponent, the NaNs and the infinities.
    std::uniform_real_distribution<double> near(-1.5, 1.5);
    std::uniform_real_distribution<double> wide(-1e6, 1e6);
    for (std::size_t i = 0; i < x.size(); ++i)
        switch (i % 4) {
            case 0: case 1: x[i] = near(random); break;
            case 2: x[i] = wide(random); break;
            default: x[i] = std::bit_cast<double>(random()); break;
        }
    EXPECT_TRUE(atanMatches(x));
}

TEST(FastSqrt, VectorFormGivesTheSameBitsAtEveryTableEntryOfEveryExponent) {
    // Every biased exponent with every 7-bit mantissa prefix, the prefix alone, half way to
    // the next and just below it, with both signs: denormals, infinities and NaNs included.
    std::vector<float> x = specialValues<float>();
    for (std::uint32_t exponent = 0; exponent < 256; ++exponent)
        for (std::uint32_t prefix = 0; prefix < 128; ++prefix)
            for (std::uint32_t low : {0x0u, 0x1u, 0x8000u, 0xFFFFu}) {
                const std::uint32_t bits = exponent << 23 | prefix << 16 | low;
                addSigned(x, std::bit_cast<float>(bits));
            }
    EXPECT_TRUE(sqrtMatches(x));
}

TEST(FastSqrt, VectorFormGivesTheSameBitsForAMillionRandomArguments) {
    std::mt19937 random(34);
    std::vector<float> x(1'000'000);
    // s^2 + u^2 on a cap face lies in [0, 2]; the colour matcher's chroma sums reach 2^17.
    std::uniform_real_distribution<float> cap(0.0f, 2.0f);
    std::uniform_real_distribution<float> chroma(0.0f, 131072.0f);
    for (std::size_t i = 0; i < x.size(); ++i)
        switch (i % 3) {
            case 0: x[i] = cap(random); break;
            case 1: x[i] = chroma(random); break;
            default: x[i] = std::bit_cast<float>(static_cast<std::uint32_t>(random())); break;
        }
    EXPECT_TRUE(sqrtMatches(x));
}

TEST(FastMathVectors, EveryLengthAndStartAndInPlace) {
    // Lengths around the vector width, from unaligned starts, so each tail is taken.
    std::vector<double> doubles;
    std::vector<float> floats;
    for (int i = 0; i < 40; ++i) {
        doubles.push_back((i % 7 == 3 ? 3.0 : 0.9) * std::sin(i * 0.7));  // some beyond 1
        floats.push_back(static_cast<float>(i) * 0.37f);
    }
    for (std::size_t start = 0; start < 3; ++start)
        for (std::size_t n = 0; n + start <= 20; ++n) {
            const std::vector<double> x(doubles.begin() + start, doubles.begin() + start + n);
            EXPECT_TRUE(atanMatches(x)) << "start " << start << ", n " << n;
            const std::vector<float> y(floats.begin() + start, floats.begin() + start + 2 * n);
            EXPECT_TRUE(sqrtMatches(y)) << "start " << start << ", n " << 2 * n;
        }
    std::vector<double> atanInPlace = doubles;
    fastAtan(atanInPlace.data(), atanInPlace.data(), atanInPlace.size());
    std::vector<float> sqrtInPlace = floats;
    fastSqrt(sqrtInPlace.data(), sqrtInPlace.data(), sqrtInPlace.size());
    for (std::size_t i = 0; i < doubles.size(); ++i) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(atanInPlace[i]), std::bit_cast<std::uint64_t>(fastAtan(doubles[i])))
            << doubles[i];
        EXPECT_EQ(std::bit_cast<std::uint32_t>(sqrtInPlace[i]), std::bit_cast<std::uint32_t>(fastSqrt(floats[i])))
            << floats[i];
    }
}

}  // namespace
