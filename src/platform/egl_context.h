#pragma once
#include <memory>
#include <vector>

#include "platform/image_types.h"
#include "platform/pixel_format.h"

// The off-screen OpenGL context of one face: a desktop OpenGL compatibility-profile
// context on the process's EGL display (Mesa's surfaceless platform when there is one,
// else the default display) drawing into a framebuffer object of the face's size.
// Holds EGL handles as void* so that nothing outside src/platform sees <EGL/egl.h>.
class FaceContext {
public:
    // The descriptors of the display's configurations, in the display's order; empty when
    // there is no usable display.
    static std::vector<PixelFormatDescriptor> configurations();

    // A context with configuration configIndex (1-based, as pickPixelFormat returns it).
    // With a partner, the partner's configuration is used instead and display lists and
    // textures are shared with the partner's context. Null, with errno set, when the
    // context or its framebuffer cannot be made.
    static std::unique_ptr<FaceContext> create(Size size, int configIndex, const FaceContext* partner = nullptr);

    ~FaceContext();
    FaceContext(FaceContext&& other) noexcept;
    FaceContext& operator=(FaceContext&& other) noexcept;
    FaceContext(const FaceContext&) = delete;
    FaceContext& operator=(const FaceContext&) = delete;

    // Makes the context current on this thread with the framebuffer bound for drawing
    // and reading, and the face's own texture bound to GL_TEXTURE_2D. Drawing that
    // textures through that binding never touches the default texture, which Mesa keeps
    // in the shared state and leaks when a context that sampled it is destroyed before
    // its partners.
    bool makeCurrent();
    bool isCurrent() const;
    // Gives the framebuffer another size, its contents undefined; the context must be
    // current. False, with errno set, when the size cannot be had (the old one stays).
    bool resize(Size size);
    Size size() const { return size_; }

private:
    FaceContext() = default;
    void destroy() noexcept;

    void* context_ = nullptr;  // EGLContext
    void* config_ = nullptr;   // EGLConfig
    unsigned framebuffer_ = 0;
    unsigned renderbuffer_ = 0;
    unsigned texture_ = 0;
    Size size_;
};
