#pragma once
#include <cmath>
#include <cstdint>
#include <numbers>

#include "image/fast_math.h"
#include "image/round_half_even.h"
#include "panorama/geometry.h"

// Which column of a spherical picture a direction reads: the picture's columns are
// longitude, 0 at the middle column, the whole turn across its width.

// Twice the single-precision pi: the longitude scale must meet the angles the rest of the
// system computes in float.
constexpr double longitudeTurn = static_cast<double>(2.0f * singlePi);

// Longitudes far outside one turn (odd sizes and bounds only).
[[gnu::noinline]] inline std::int32_t wrapColumn(std::int64_t column, std::int32_t width) {
    column %= width;
    return static_cast<std::int32_t>(column < 0 ? column + width : column);
}

// rint(c - 0.5) plus offset, wrapped around the width.
inline std::int32_t sourceColumn(double c, std::int64_t offset, std::int32_t width) {
    double index = roundHalfEven(c - 0.5);
    if (!(std::fabs(index) < 1e15)) index = 0;
    std::int64_t column = static_cast<std::int64_t>(index) + offset;
    if (column >= width) column -= width;
    if (column >= 0 && column < width) return static_cast<std::int32_t>(column);
    return wrapColumn(column, width);
}

// The column at longitude atan2(x, y).
inline std::int32_t longitudeColumn(double x, double y, std::int32_t width) {
    return sourceColumn(width * (std::atan2(x, y) / longitudeTurn + 0.5), 0, width);
}

// longitudeColumn without the cost of atan2 for all but a few directions. Only the column
// matters, not the angle: the angle from the arctangent table is off by at most 3.1e-7
// (the interpolation's bound h^2/8 max|atan''| for h = 1/512), which moves the column
// coordinate by at most width 5e-8. Where that cannot carry it across a rounding
// boundary, both give the same column; within the margin, atan2 decides.
inline std::int32_t fastLongitudeColumn(double x, double y, std::int32_t width) {
    const double ax = std::fabs(x), ay = std::fabs(y);
    if (!(ax > 0 && ay > 0 && ax < 1e300 && ay < 1e300)) return longitudeColumn(x, y, width);
    double longitude;
    if (ax <= ay) {
        longitude = fastAtan(x / y);
        if (y < 0) longitude += x > 0 ? std::numbers::pi : -std::numbers::pi;
    } else {
        longitude = (x > 0 ? std::numbers::pi / 2 : -std::numbers::pi / 2) - fastAtan(y / x);
    }
    const double c = width * (longitude / longitudeTurn + 0.5);
    const double margin = 1e-7 * width + 1e-6;
    if (std::fabs(c - roundHalfEven(c)) <= margin) return longitudeColumn(x, y, width);
    return sourceColumn(c, 0, width);
}
