#include "image/gl_dib_image.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "image/pixel_memory.h"
#include "platform/egl_context.h"
#include "platform/message.h"
#include "platform/pixel_format.h"
#include "platform/report.h"

namespace {

// Set when the "OpenGL version" notice has been shown; it is shown once per process.
bool versionNoticeShown = false;

// What a face asks of its context's configuration: an off-screen, OpenGL-capable RGB
// format of 24 colour bits, nothing else (no depth, stencil, accumulation or alpha).
PixelFormatDescriptor faceRequest() {
    PixelFormatDescriptor request;
    request.flags = drawToBitmap | supportOpenGL | genericFormat;
    request.pixelType = typeRGBA;
    request.colorBits = 24;
    return request;
}

std::unique_ptr<FaceContext> makeContext(Size size, const FaceContext* partner) {
    if (partner != nullptr) return FaceContext::create(size, 0, partner);
    const int index = pickPixelFormat(FaceContext::configurations(), faceRequest());
    return FaceContext::create(size, index);
}

const char* glText(GLenum name) {
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    return text != nullptr ? text : "";
}

void showVersionNotice() {
    char text[1024];
    std::snprintf(text, sizeof text, "DIB: %s %s\n(%s)", glText(GL_VENDOR), glText(GL_VERSION), glText(GL_RENDERER));
    showMessage(text, "OpenGL version", MessageStyle::ok);
    versionNoticeShown = true;
}

// The rectangle held inside a face of that size; empty when nothing of it is inside.
void clip(Size face, Point& origin, Size& area) {
    const std::int64_t left = std::max(origin.x, 0), bottom = std::max(origin.y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{origin.x} + area.width, face.width);
    const std::int64_t top = std::min<std::int64_t>(std::int64_t{origin.y} + area.height, face.height);
    if (right <= left || top <= bottom) {
        origin = {0, 0};
        area = {0, 0};
        return;
    }
    origin = {static_cast<std::int32_t>(left), static_cast<std::int32_t>(bottom)};
    area = {static_cast<std::int32_t>(right - left), static_cast<std::int32_t>(top - bottom)};
}

}  // namespace

// Faces made as partners share one context's display lists and textures. A face's own
// context is made late, when faces made before it may be gone, so the group holds a
// context of one pixel that every member's context shares with.
struct FaceShareGroup {
    std::unique_ptr<FaceContext> anchor;
    bool failed = false;

    const FaceContext* shared() {
        if (anchor == nullptr && !failed) {
            anchor = makeContext({1, 1}, nullptr);
            failed = anchor == nullptr;
        }
        return anchor.get();
    }
};

GLDIBImage::GLDIBImage(Size size, GLDIBImage* partner) : BGRImage(size) {
    const std::size_t rows = height > 0 && width > 0 ? static_cast<std::size_t>(height) : 0;
    const std::size_t bytes = static_cast<std::size_t>(stride) * rows;
    storage_ = allocatePixels(bytes);
    pixels = storage_.get();
    std::memset(pixels, 0xFF, bytes);
    group_ = partner != nullptr ? partner->group_ : std::make_shared<FaceShareGroup>();
}

GLDIBImage::~GLDIBImage() {
    context_.reset();
    group_.reset();
    storage_.reset();
    pixels = nullptr;
}

bool GLDIBImage::makeCurrent() { return makeCurrent({0, 0}, size()); }

bool GLDIBImage::makeCurrent(Point origin, Size area) {
    clip(size(), origin, area);
    // A framebuffer has at least one pixel; an empty rectangle puts nothing in it.
    const Size framebuffer{std::max(area.width, 1), std::max(area.height, 1)};
    if (context_ == nullptr && !contextFailed_) {
        const FaceContext* shared = group_->shared();
        if (shared != nullptr) context_ = makeContext(framebuffer, shared);
        contextFailed_ = context_ == nullptr;
        if (contextFailed_) reportSystemError("GLDIBImage: couldn't create DIB");
    }
    if (context_ == nullptr || !context_->makeCurrent()) return false;
    if (context_->size() != framebuffer && !context_->resize(framebuffer)) {
        reportSystemError("GLDIBImage: couldn't create DIB");
        return false;
    }
    if (runtimeDebugging() && !versionNoticeShown) showVersionNotice();
    origin_ = origin;
    area_ = area;

    // The face's pixels become the framebuffer's contents. Only the pixel path may touch
    // them: the projection leaves texturing and the alpha test enabled in this context.
    glPushAttrib(GL_ENABLE_BIT | GL_PIXEL_MODE_BIT | GL_CURRENT_BIT | GL_VIEWPORT_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    glPixelZoom(1.0f, 1.0f);
    // Rows of width pixels aligned to 4 bytes: the face's stride. The framebuffer's
    // corner is the rectangle's.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, width);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, origin.y);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, origin.x);
    glWindowPos2i(0, 0);
    glDrawPixels(area.width, area.height, GL_BGR, GL_UNSIGNED_BYTE, pixels);
    glPopClientAttrib();
    glPopAttrib();
    return true;
}

void GLDIBImage::finishDrawing() {
    if (context_ == nullptr || !context_->makeCurrent()) return;
    glFinish();
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, width);
    glPixelStorei(GL_PACK_SKIP_ROWS, origin_.y);
    glPixelStorei(GL_PACK_SKIP_PIXELS, origin_.x);
    glReadPixels(0, 0, area_.width, area_.height, GL_BGR, GL_UNSIGNED_BYTE, pixels);
    glPopClientAttrib();
}
