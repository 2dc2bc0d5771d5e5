#include <cstdint>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "panorama/six_image.h"
#include "platform/io_exception.h"

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
            if (view[3] == 0) continue;
            if (file[2] == view[0] && file[1] == view[1] && file[0] == view[2]) {
                view[3] = 0;
                continue;
            }
            view[0] = file[2];
            view[1] = file[1];
            view[2] = file[0];
            view[3] = 255;
            paintPending = 1;
            modified = 1;
        }
    }
    applyPaint();
}
