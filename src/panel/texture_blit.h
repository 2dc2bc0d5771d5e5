#pragma once
#include "platform/image_types.h"

class BGRImage;

// Copies a picture into the current framebuffer through a texture attached to a
// framebuffer object: glTexSubImage2D, then a glBlitFramebuffer of the same size, which
// Mesa's software renderer performs as a plain copy where glDrawPixels draws a textured
// quad through its rasterizer. The texture is kept between draws and follows the
// picture's size. Every call, the destructor included, expects the context that drew to
// be current.
class TextureBlit {
public:
    TextureBlit() = default;
    ~TextureBlit();
    TextureBlit(const TextureBlit&) = delete;
    TextureBlit& operator=(const TextureBlit&) = delete;

    // Draws picture with its first row at window pixel at (bottom-left origin); false,
    // having drawn nothing, when the context has no usable framebuffer objects.
    bool draw(const BGRImage& picture, Point at);
    // Forgets the GL objects without deleting them, for when their context cannot be made
    // current again: destroying the context frees them.
    void abandon();

private:
    void release();

    unsigned texture_ = 0;
    unsigned framebuffer_ = 0;
    Size size_;
    bool unsupported_ = false;
};
