#include "panel/bevel_shade.h"

#include "image/bgr_image.h"

namespace {
void shadePixel(std::uint8_t* pixel, StripShade shade) {
    const int a = static_cast<int>(shade.alpha * 256);
    const int target = a * shade.channel * 255;
    for (int c = 0; c < 3; ++c) pixel[c] = static_cast<std::uint8_t>((target + (256 - a) * pixel[c]) >> 8);
}

// Whether the corner pixel at row i (from the strip's first row) and column j (from the
// strip's outer end) belongs to the strip rather than to the side.
bool inStrip(StripCorners corners, int thickX, int i, int j) {
    return corners == StripCorners::bottom ? i < j : thickX - i < j;
}
}  // namespace

void shadeStrip(BGRImage& strip, StripShade shade, StripCorners corners, int thickX, StripShade left,
                StripShade right) {
    const int w = strip.width;
    for (int i = 0; i < strip.height; ++i) {
        std::uint8_t* row = strip.row(i);
        for (int column = 0; column < w; ++column) {
            StripShade s = shade;
            if (corners != StripCorners::none) {
                if (column < thickX && !inStrip(corners, thickX, i, column))
                    s = left;
                else if (column >= w - thickX && !inStrip(corners, thickX, i, w - 1 - column))
                    s = right;
            }
            shadePixel(row + 3 * column, s);
        }
    }
}
