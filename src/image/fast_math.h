#pragma once
#include <array>
#include <cstdint>

// Table-driven arctangent and square root for the per-pixel loops of the sphere and
// cylinder conversions and the colour matcher. Their exact results, not their closeness
// to the library functions, are what those loops depend on.

struct FastMathTables {
    static constexpr std::int32_t atanEntries = 512;
    static constexpr double atanScale = 512.0;

    FastMathTables();

    // atan(i / 512) for i = 0 ... 512.
    std::array<double, atanEntries + 1> atanTable;
    // Top 7 mantissa bits of sqrtf(1 + i/128) (entries 0 ... 127) and of
    // sqrtf(2 (1 + i/128)) (entries 128 ... 255).
    std::array<std::uint16_t, 256> sqrtTable;

    // The one instance, built by a static initialiser before main.
    static const FastMathTables& instance();
};

// Linear interpolation in the table for |x| < 1, the exact arctangent otherwise.
double fastAtan(double x);

// Square root to 7 mantissa bits; x must not be negative.
float fastSqrt(float x);
