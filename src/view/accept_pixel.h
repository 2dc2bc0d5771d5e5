#pragma once
#include <cstdint>

// One painted colour against one view-buffer pixel (R, G, B, mask). An excluded pixel
// (mask 0) stays excluded; an unchanged colour clears the mask; a changed one is taken
// and marked. Returns whether the colour was taken.
inline bool acceptPaintedPixel(std::uint8_t* view, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (view[3] == 0) return false;
    if (red == view[0] && green == view[1] && blue == view[2]) {
        view[3] = 0;
        return false;
    }
    view[0] = red;
    view[1] = green;
    view[2] = blue;
    view[3] = 255;
    return true;
}
