#pragma once
// The view the projection benchmarks paint: 1920 x 1080, 90 degrees across, looking a little
// up and to the left so that several faces receive paint, every pixel painted.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "panorama/geometry.h"
#include "view/view_buffer.h"

inline Camera fullyPaintedView(ViewBuffer& view) {
    constexpr int width = 1920, height = 1080;
    const float fovX = 90 * degToRad;
    const float fovY = 2 * std::atan(std::tan(fovX / 2) * height / width);
    const Camera camera{30 * degToRad, 20 * degToRad, {fovX, fovY}, {width, height}};
    view.allocate(camera);
    for (std::size_t i = 0; i < std::size_t{width} * height; ++i) {
        std::uint8_t* p = view.pixels() + 4 * i;
        p[0] = static_cast<std::uint8_t>(i);
        p[1] = static_cast<std::uint8_t>(i >> 8);
        p[2] = 128;
        p[3] = 255;  // every pixel changed
    }
    return camera;
}
