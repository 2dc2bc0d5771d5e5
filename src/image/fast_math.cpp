#include "image/fast_math.h"

#include <bit>
#include <cmath>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define DOMECAST_FAST_MATH_AVX2 1
#endif

#include "image/round_half_even.h"

FastMathTables::FastMathTables() {
    for (std::int32_t i = 0; i <= atanEntries; ++i) atanTable[i] = std::atan(i / atanScale);
    for (std::uint32_t i = 0; i < 128; ++i) {
        const float one = 1.0f + static_cast<float>(i) / 128.0f;
        sqrtTable[i] = (std::bit_cast<std::uint32_t>(std::sqrt(one)) >> 16) & 0x7F;
        sqrtTable[128 + i] = (std::bit_cast<std::uint32_t>(std::sqrt(2.0f * one)) >> 16) & 0x7F;
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

// x in [0, 1): between the two knots around x * 512, the nearer knot on a tie taken as
// the even one.
inline double interpolatedAtan(double x, const double* table) {
    const double y = x * FastMathTables::atanScale;
    const double k = roundHalfEven(y - 0.5);
    const double f = y - k;
    const auto index = static_cast<std::size_t>(k);
    return (1.0 - f) * table[index] + f * table[index + 1];
}

inline double atanOf(double x, const double* table) {
    if (x >= 0.0 && x < 1.0) return interpolatedAtan(x, table);
    if (x < 0.0 && x > -1.0) return -interpolatedAtan(-x, table);
    return std::atan(x);
}

// The root's exponent is half the argument's; an odd exponent moves the mantissa to the
// table's second half, which holds the roots of 2 (1 + m).
inline float sqrtOf(float x, const std::uint32_t* table) {
    if (x == 0.0f) return 0.0f;
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
    const std::int32_t exponent = static_cast<std::int32_t>((bits >> 23) & 0xFF) - 127;
    const std::uint32_t mantissa = bits & 0x7FFFFF;
    const std::uint32_t index = (mantissa >> 16) + ((exponent & 1) ? 128 : 0);
    const std::uint32_t resultExponent = static_cast<std::uint32_t>((exponent >> 1) + 127);
    return std::bit_cast<float>((resultExponent << 23) | (table[index] << 16));
}

#ifdef DOMECAST_FAST_MATH_AVX2
// Four values a step, each lane the operations of atanOf in the same order. Lanes with
// |x| >= 1 or NaN interpolate at 0 and are then replaced by the library's arctangent.
[[gnu::target("avx2")]] void fastAtanAvx2(const double* x, double* out, std::size_t n, const double* table) {
    const __m256d signBit = _mm256_set1_pd(-0.0);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d scale = _mm256_set1_pd(FastMathTables::atanScale);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d allLanes = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256d v = _mm256_loadu_pd(x + i);
        const __m256d magnitude = _mm256_andnot_pd(signBit, v);
        const __m256d inside = _mm256_cmp_pd(magnitude, one, _CMP_LT_OQ);
        const __m256d y = _mm256_mul_pd(_mm256_and_pd(magnitude, inside), scale);
        const __m256d k = _mm256_round_pd(_mm256_sub_pd(y, half), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        const __m256d f = _mm256_sub_pd(y, k);
        const __m128i index = _mm256_cvttpd_epi32(k);
        // The masked gathers: the plain ones start from an undefined register, which
        // GCC 12 reports as uninitialised.
        const __m256d low = _mm256_mask_i32gather_pd(zero, table, index, allLanes, 8);
        const __m256d high = _mm256_mask_i32gather_pd(zero, table + 1, index, allLanes, 8);
        const __m256d sum = _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(one, f), low), _mm256_mul_pd(f, high));
        // atan is odd: a negative argument (not -0, which takes the positive branch)
        // flips the sign of the interpolation at |x|.
        const __m256d negative = _mm256_cmp_pd(v, zero, _CMP_LT_OQ);
        _mm256_storeu_pd(out + i, _mm256_xor_pd(sum, _mm256_and_pd(negative, signBit)));
        const int outside = ~_mm256_movemask_pd(inside) & 0xF;
        if (outside != 0) {
            alignas(32) double lanes[4];
            _mm256_store_pd(lanes, v);  // out may be x: its values are gone
            for (int lane = 0; lane < 4; ++lane)
                if (outside & (1 << lane)) out[i + lane] = std::atan(lanes[lane]);
        }
    }
    for (; i < n; ++i) out[i] = atanOf(x[i], table);
}

// Eight values a step, the integer operations of sqrtOf lane by lane.
[[gnu::target("avx2")]] void fastSqrtAvx2(const float* x, float* out, std::size_t n, const std::uint32_t* table) {
    const __m256i exponentMask = _mm256_set1_epi32(0xFF);
    const __m256i bias = _mm256_set1_epi32(127);
    const __m256i mantissaMask = _mm256_set1_epi32(0x7FFFFF);
    const __m256i lowBit = _mm256_set1_epi32(1);
    const __m256i allLanes = _mm256_set1_epi32(-1);
    const auto* entries = reinterpret_cast<const int*>(table);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256 v = _mm256_loadu_ps(x + i);
        const __m256i bits = _mm256_castps_si256(v);
        const __m256i exponent = _mm256_sub_epi32(_mm256_and_si256(_mm256_srli_epi32(bits, 23), exponentMask), bias);
        const __m256i odd = _mm256_slli_epi32(_mm256_and_si256(exponent, lowBit), 7);
        const __m256i index = _mm256_add_epi32(_mm256_srli_epi32(_mm256_and_si256(bits, mantissaMask), 16), odd);
        const __m256i resultExponent = _mm256_add_epi32(_mm256_srai_epi32(exponent, 1), bias);
        const __m256i entry = _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), entries, index, allLanes, 4);
        const __m256i root = _mm256_or_si256(_mm256_slli_epi32(resultExponent, 23), _mm256_slli_epi32(entry, 16));
        // +0 and -0 give +0.
        const __m256 isZero = _mm256_cmp_ps(v, _mm256_setzero_ps(), _CMP_EQ_OQ);
        _mm256_storeu_ps(out + i, _mm256_andnot_ps(isZero, _mm256_castsi256_ps(root)));
    }
    for (; i < n; ++i) out[i] = sqrtOf(x[i], table);
}
#endif
}  // namespace

bool processorHasAvx2() {
#ifdef DOMECAST_FAST_MATH_AVX2
    static const bool yes = [] {
        // The processor model may be asked for before the library's own constructor ran.
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return yes;
#else
    return false;
#endif
}

double fastAtan(double x) { return atanOf(x, FastMathTables::instance().atanTable.data()); }

float fastSqrt(float x) { return sqrtOf(x, FastMathTables::instance().sqrtTable.data()); }

void fastAtan(const double* x, double* out, std::size_t n) {
    const double* table = FastMathTables::instance().atanTable.data();
#ifdef DOMECAST_FAST_MATH_AVX2
    if (processorHasAvx2()) return fastAtanAvx2(x, out, n, table);
#endif
    for (std::size_t i = 0; i < n; ++i) out[i] = atanOf(x[i], table);
}

void fastSqrt(const float* x, float* out, std::size_t n) {
    const std::uint32_t* table = FastMathTables::instance().sqrtTable.data();
#ifdef DOMECAST_FAST_MATH_AVX2
    if (processorHasAvx2()) return fastSqrtAvx2(x, out, n, table);
#endif
    for (std::size_t i = 0; i < n; ++i) out[i] = sqrtOf(x[i], table);
}
