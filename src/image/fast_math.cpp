#include "image/fast_math.h"

#include <bit>
#include <cmath>

FastMathTables::FastMathTables() {
    for (std::int32_t i = 0; i <= atanEntries; ++i) atanTable[i] = std::atan(i / atanScale);
    for (std::uint32_t i = 0; i < 128; ++i) {
        const float one = 1.0f + static_cast<float>(i) / 128.0f;
        sqrtTable[i] = static_cast<std::uint16_t>((std::bit_cast<std::uint32_t>(std::sqrt(one)) >> 16) & 0x7F);
        sqrtTable[128 + i] =
            static_cast<std::uint16_t>((std::bit_cast<std::uint32_t>(std::sqrt(2.0f * one)) >> 16) & 0x7F);
    }
}

const FastMathTables& FastMathTables::instance() {
    // A function-local static, so that another file's static initialiser calling
    // fastAtan before this file's own initialiser has run still finds the tables built.
    static const FastMathTables tables;
    return tables;
}

namespace {
// Builds the tables before main runs.
[[maybe_unused]] const FastMathTables& builtAtStartup = FastMathTables::instance();
}  // namespace

double fastAtan(double x) {
    if (x >= 0.0 && x < 1.0) {
        const auto& table = FastMathTables::instance().atanTable;
        const double y = x * FastMathTables::atanScale;
        // Rounds half to even under the default rounding mode.
        const double k = std::nearbyint(y - 0.5);
        const double f = y - k;
        const auto index = static_cast<std::size_t>(k);
        return (1.0 - f) * table[index] + f * table[index + 1];
    }
    if (x < 0.0 && x > -1.0) return -fastAtan(-x);
    return std::atan(x);
}

float fastSqrt(float x) {
    if (x == 0.0f) return 0.0f;
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
    const std::int32_t exponent = static_cast<std::int32_t>((bits >> 23) & 0xFF) - 127;
    const std::uint32_t mantissa = bits & 0x7FFFFF;
    const std::uint32_t index = (mantissa >> 16) + ((exponent & 1) ? 128 : 0);
    const std::uint32_t resultExponent = static_cast<std::uint32_t>((exponent >> 1) + 127);
    const std::uint32_t result =
        (resultExponent << 23) | (static_cast<std::uint32_t>(FastMathTables::instance().sqrtTable[index]) << 16);
    return std::bit_cast<float>(result);
}
