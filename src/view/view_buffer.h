#pragma once
#include <cstdint>
#include <memory>

#include "image/pixel_memory.h"
#include "view/camera.h"

class RawImage;

// A rendered view and what was painted on it: red, green, blue and a mask byte a pixel,
// rows top-down, unpadded, of the size of the camera it was rendered with. A mask of 255
// marks a pixel still open to paint (or painted), 0 one excluded or found unchanged.
class ViewBuffer {
public:
    ViewBuffer() = default;
    ViewBuffer(ViewBuffer&&) noexcept = default;
    ViewBuffer& operator=(ViewBuffer&&) noexcept = default;

    // A white picture for camera, every pixel open; empty for an empty size.
    void allocate(const Camera& camera);
    void reset();

    bool empty() const { return pixels_ == nullptr; }
    const Camera& camera() const { return camera_; }
    Size size() const { return camera_.size; }
    std::uint8_t* pixels() { return pixels_.get(); }
    const std::uint8_t* pixels() const { return pixels_.get(); }
    std::uint8_t* row(std::int32_t y) { return pixels_.get() + static_cast<std::size_t>(y) * stride(); }
    const std::uint8_t* row(std::int32_t y) const { return pixels_.get() + static_cast<std::size_t>(y) * stride(); }
    std::size_t stride() const { return static_cast<std::size_t>(camera_.size.width) * 4; }

    // Painted pixels taken since the last paint-back.
    bool paintPending() const { return paintPending_; }
    void clearPaintPending() { paintPending_ = false; }

    // The pixels a picture does not paint: the first row (carrying a request), or the four
    // corners (carrying the view marker).
    void maskFirstRow();
    void maskCorners();
    // Every pixel open to paint again, for a new picture of the same view.
    void openMask();

    // Compares a painted rectangle (bpp 3 or 4: red, green, blue first, rows top-down,
    // unpadded) with the view and takes the changed pixels. A rectangle outside the view,
    // or missing pixels, is refused whole. Returns whether any pixel was taken.
    bool acceptRect(Point origin, Size size, int bpp, const std::uint8_t* pixels);
    // The same for a whole picture of the view's size as the view file holds it (blue,
    // green, red, row 0 the bottom); false when the sizes differ.
    bool acceptPicture(const RawImage& picture);

private:
    Camera camera_;
    PixelStorage pixels_;
    bool paintPending_ = false;
};
