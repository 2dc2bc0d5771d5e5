// In-memory faces until the off-screen contexts arrive: every face is white and
// makeCurrent reports that there is nothing to draw into.
#include "image/gl_dib_image.h"

#include <cstring>

class FaceContext {};

GLDIBImage::GLDIBImage(Size size, GLDIBImage*) : BGRImage(size) {
    const std::size_t bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height > 0 ? height : 0);
    storage_ = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
    pixels = storage_.get();
    std::memset(pixels, 0xFF, bytes);
}

GLDIBImage::~GLDIBImage() {
    context_.reset();
    storage_.reset();
    pixels = nullptr;
}

bool GLDIBImage::makeCurrent() { return false; }

void GLDIBImage::finishDrawing() {}
