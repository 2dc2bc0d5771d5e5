#include "view/view_buffer.h"

#include <cstring>

#include "image/bgr_image.h"
#include "image/pixel_memory.h"
#include "view/accept_pixel.h"

void ViewBuffer::allocate(const Camera& camera) {
    reset();
    if (camera.size.width <= 0 || camera.size.height <= 0) return;
    const std::size_t bytes =
        static_cast<std::size_t>(camera.size.width) * static_cast<std::size_t>(camera.size.height) * 4;
    pixels_ = allocatePixels(bytes);
    std::memset(pixels_.get(), 255, bytes);
    camera_ = camera;
}

void ViewBuffer::reset() {
    pixels_.reset();
    camera_ = Camera{};
    paintPending_ = false;
}

void ViewBuffer::maskFirstRow() {
    if (empty()) return;
    std::uint8_t* pixel = pixels_.get();
    for (int column = 0; column < camera_.size.width; ++column, pixel += 4) pixel[3] = 0;
}

void ViewBuffer::maskCorners() {
    if (empty()) return;
    const std::size_t w = static_cast<std::size_t>(camera_.size.width);
    const std::size_t lastRow = static_cast<std::size_t>(camera_.size.height - 1) * w;
    for (std::size_t corner : {std::size_t{0}, w - 1, lastRow, lastRow + w - 1}) pixels_[corner * 4 + 3] = 0;
}

void ViewBuffer::openMask() {
    if (empty()) return;
    const std::size_t count = static_cast<std::size_t>(camera_.size.width) * static_cast<std::size_t>(camera_.size.height);
    std::uint8_t* pixel = pixels_.get();
    for (std::size_t i = 0; i < count; ++i, pixel += 4) pixel[3] = 255;
}

bool ViewBuffer::acceptRect(Point origin, Size size, int bpp, const std::uint8_t* pixels) {
    const int x0 = origin.x, y0 = origin.y, w = size.width, h = size.height;
    // The rectangle comes from the paint link: one that is not inside the view, or pixels
    // that are missing or of an unknown layout, are refused whole.
    if (empty() || pixels == nullptr || (bpp != 3 && bpp != 4) || w < 0 || h < 0 || x0 < 0 || y0 < 0 ||
        static_cast<std::int64_t>(x0) + w > camera_.size.width || static_cast<std::int64_t>(y0) + h > camera_.size.height)
        return false;
    bool taken = false;
    for (int i = 0; i < h; ++i) {
        const std::uint8_t* painted = pixels + static_cast<std::size_t>(i) * w * bpp;
        std::uint8_t* view = row(y0 + i) + static_cast<std::size_t>(x0) * 4;
        for (int j = 0; j < w; ++j, painted += bpp, view += 4)
            taken = acceptPaintedPixel(view, painted[0], painted[1], painted[2]) || taken;
    }
    paintPending_ = paintPending_ || taken;
    return taken;
}

bool ViewBuffer::acceptPicture(const RawImage& picture) {
    if (empty() || picture.pixels == nullptr || picture.size() != camera_.size) return false;
    bool taken = false;
    for (int i = 0; i < camera_.size.height; ++i) {
        const std::uint8_t* file = picture.row(picture.height - 1 - i);  // blue, green, red
        std::uint8_t* view = row(i);
        for (int j = 0; j < camera_.size.width; ++j, file += 3, view += 4)
            taken = acceptPaintedPixel(view, file[2], file[1], file[0]) || taken;
    }
    paintPending_ = paintPending_ || taken;
    return taken;
}
