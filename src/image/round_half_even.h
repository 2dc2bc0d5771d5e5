#pragma once
#include <cmath>

// Round to nearest, ties to even, as rint and nearbyint do under the default rounding
// mode, without a library call (nearbyint is one on baseline x86-64, and the per-pixel
// loops make several per pixel): adding and removing 2^52 leaves no fraction bits.
// Larger magnitudes, infinities and NaN come back as they are.
inline double roundHalfEven(double x) {
    constexpr double shift = 4503599627370496.0;  // 2^52
    if (!(std::fabs(x) < shift)) return x;
    return x >= 0 ? (x + shift) - shift : (x - shift) + shift;
}
