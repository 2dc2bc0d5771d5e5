#include <cstdint>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "platform/io_exception.h"
#include "view/accept_pixel.h"
#include "view/painted_six_image.h"

void PaintedSixImage::acceptPaintedFile(const char* path) {
    RawImage picture(Size{0, 0});
    try {
        LoadBMP(path, RawImage::sink, &picture);
    } catch (const ioException&) {
        return;  // the paint program did not leave a readable picture: nothing was painted
    }
    if (picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) return;

    if (viewPixels == nullptr || viewWidth != picture.width || viewHeight != picture.height)
        refreshView(picture.size());
    if (viewPixels == nullptr) return;
    // The corners carry the view marker written with the picture.
    maskCorners();

    for (int i = 0; i < viewHeight; ++i) {
        const std::uint8_t* file = picture.row(picture.height - 1 - i);  // blue, green, red
        std::uint8_t* view = viewPixels.get() + static_cast<std::size_t>(i) * viewWidth * 4;
        for (int j = 0; j < viewWidth; ++j, file += 3, view += 4) {
            if (acceptPaintedPixel(view, file[2], file[1], file[0])) {
                paintPending = 1;
                modified = 1;
            }
        }
    }
    applyPaint();
}
