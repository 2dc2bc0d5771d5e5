#pragma once
#include <memory>

#include "platform/egl_context.h"
#include "platform/pixel_format.h"
#include "shell/display.h"

// An off-screen context of size with the main window's pixel format request, state and
// projection, current on this thread; null where the system offers none. Its users link
// shell and platform_gl.
inline std::unique_ptr<FaceContext> windowLikeContext(Size size) {
    PixelFormatDescriptor request;
    request.flags = drawToBitmap | supportOpenGL | genericFormat;
    request.pixelType = typeRGBA;
    request.colorBits = 24;
    auto context = FaceContext::create(size, pickPixelFormat(FaceContext::configurations(), request));
    if (!context || !context->makeCurrent()) return nullptr;
    prepareWindowContext();
    setUpWindowSurface(size);
    return context;
}
