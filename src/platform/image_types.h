#pragma once
#include <cstdint>

// A size in pixels: (width, height).
struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// A pixel position: x from the left column, y from row 0 (the bottom row).
struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};
