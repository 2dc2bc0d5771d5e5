#pragma once
#include <array>
#include <cmath>
#include <cstddef>
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
    // sqrtf(2 (1 + i/128)) (entries 128 ... 255); 32 bits wide so a vector gather reads
    // one entry a lane.
    std::array<std::uint32_t, 256> sqrtTable;

    // The one instance, built by a static initialiser before main.
    static const FastMathTables& instance();
};

// Linear interpolation in the table for |x| < 1, the exact arctangent otherwise.
double fastAtan(double x);

// Square root to 7 mantissa bits; x must not be negative.
float fastSqrt(float x);

// The same for n values at once, in vector registers where the processor has them, with
// the bits of the single-value forms for every input. out may be x itself.
void fastAtan(const double* x, double* out, std::size_t n);
void fastSqrt(const float* x, float* out, std::size_t n);

// Whether the processor and the system run AVX2 code: the baseline x86-64 has only SSE2,
// so every AVX2 function needs a plain form beside it.
bool processorHasAvx2();
