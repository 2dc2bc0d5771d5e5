#include "view/view_marker.h"

#include <cmath>

#include "view/geometry.h"

namespace {

constexpr float markerScale = 40.7436638f;  // 128 / pi
constexpr std::uint32_t markerKey = 0x6742F2;

// Into [-pi, pi] in steps of pi (not 2 pi), as the paint-program plug-ins decode it.
float wrapMarkerAngle(float angle) {
    if (!std::isfinite(angle)) return 0;
    // Far beyond any view the shell produces; keeps the stepping loop short, and finite
    // where a step of pi would no longer change the float.
    if (std::fabs(angle) > 1.0e6f) angle = std::fmod(angle, singlePi);
    while (angle < -singlePi) angle += singlePi;
    while (angle > singlePi) angle -= singlePi;
    return angle;
}

std::uint32_t markerByte(float angle) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(wrapMarkerAngle(angle) * markerScale + 128.0f)) & 0xFF;
}

}  // namespace

std::uint32_t viewMarker(float heading, float pitch) {
    return ((markerByte(heading) << 8) | markerByte(pitch)) ^ markerKey;
}
