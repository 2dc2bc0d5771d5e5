#include <cstdint>

#include "view/accept_pixel.h"
#include "view/painted_six_image.h"

void PaintedSixImage::maskFirstRow() {
    if (viewPixels == nullptr || viewWidth <= 0 || viewHeight <= 0) return;
    std::uint8_t* pixel = viewPixels.get();
    for (int column = 0; column < viewWidth; ++column, pixel += 4) pixel[3] = 0;
}

void PaintedSixImage::maskCorners() {
    if (viewPixels == nullptr || viewWidth <= 0 || viewHeight <= 0) return;
    const std::size_t lastRow = static_cast<std::size_t>(viewHeight - 1) * viewWidth;
    const std::size_t corners[] = {0, static_cast<std::size_t>(viewWidth - 1), lastRow, lastRow + viewWidth - 1};
    for (std::size_t corner : corners) viewPixels[corner * 4 + 3] = 0;
}

void PaintedSixImage::acceptPaintedRect(Point origin, Size size, Size fullSize, int bpp, const std::uint8_t* pixels) {
    const int x0 = origin.x, y0 = origin.y, w = size.width, h = size.height;
    // The rectangle comes from the paint link: a rectangle that is not inside the full
    // view, or pixels that are missing or of an unknown layout, are refused whole.
    if (pixels == nullptr || (bpp != 3 && bpp != 4) || w < 0 || h < 0 || fullSize.width <= 0 ||
        fullSize.height <= 0 || x0 < 0 || y0 < 0 || static_cast<std::int64_t>(x0) + w > fullSize.width ||
        static_cast<std::int64_t>(y0) + h > fullSize.height)
        return;
    if (viewPixels == nullptr || viewWidth != fullSize.width || viewHeight != fullSize.height) refreshView(fullSize);
    if (viewPixels == nullptr) return;

    for (int i = 0; i < h; ++i) {
        const std::uint8_t* painted = pixels + static_cast<std::size_t>(i) * w * bpp;
        std::uint8_t* view = viewPixels.get() + (static_cast<std::size_t>(y0 + i) * viewWidth + x0) * 4;
        for (int j = 0; j < w; ++j, painted += bpp, view += 4) {
            if (acceptPaintedPixel(view, painted[0], painted[1], painted[2])) {
                paintPending = 1;
                modified = 1;
            }
        }
    }
}
