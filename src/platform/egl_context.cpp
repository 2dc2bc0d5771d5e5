#include "platform/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string_view>
#include <utility>

namespace {

// The display every face context lives on. Initialised on first use and kept for the
// life of the process: contexts of panoramas destroyed late at exit still need it.
class FaceDisplay {
public:
    static FaceDisplay& instance() {
        static FaceDisplay display;
        return display;
    }

    EGLDisplay handle() const { return display_; }
    const std::vector<EGLConfig>& configs() const { return configs_; }

    FaceDisplay(const FaceDisplay&) = delete;
    FaceDisplay& operator=(const FaceDisplay&) = delete;

private:
    FaceDisplay() {
        if (!openSurfaceless() && !openDefault()) return;
        if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
            close();
            return;
        }
        EGLint count = 0;
        if (eglGetConfigs(display_, nullptr, 0, &count) != EGL_TRUE || count <= 0) return;
        configs_.resize(static_cast<std::size_t>(count));
        if (eglGetConfigs(display_, configs_.data(), count, &count) != EGL_TRUE) count = 0;
        configs_.resize(static_cast<std::size_t>(std::max(count, 0)));
    }

    // Deliberately no destructor: terminating the display at exit would pull it from under
    // faces owned by other static objects.

    // Mesa's surfaceless platform needs no window system at all.
    bool openSurfaceless() {
        const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
        if (clientExtensions == nullptr ||
            std::string_view(clientExtensions).find("EGL_MESA_platform_surfaceless") == std::string_view::npos)
            return false;
        return initialise(eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
    }

    bool openDefault() { return initialise(eglGetDisplay(EGL_DEFAULT_DISPLAY)); }

    bool initialise(EGLDisplay display) {
        if (display == EGL_NO_DISPLAY) return false;
        EGLint major = 0, minor = 0;
        if (eglInitialize(display, &major, &minor) != EGL_TRUE) return false;
        display_ = display;
        return true;
    }

    void close() {
        eglTerminate(display_);
        display_ = EGL_NO_DISPLAY;
    }

    EGLDisplay display_ = EGL_NO_DISPLAY;
    std::vector<EGLConfig> configs_;
};

std::uint8_t attribute(EGLDisplay display, EGLConfig config, EGLint name) {
    EGLint value = 0;
    if (eglGetConfigAttrib(display, config, name, &value) != EGL_TRUE) return 0;
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

EGLint wideAttribute(EGLDisplay display, EGLConfig config, EGLint name) {
    EGLint value = 0;
    return eglGetConfigAttrib(display, config, name, &value) == EGL_TRUE ? value : 0;
}

// Every configuration can draw off-screen into a framebuffer object, which is what a
// bitmap was for. Floating-point colour buffers cannot hold the face's bytes, and
// luminance buffers have no separate colours: both count as another pixel type.
PixelFormatDescriptor describe(EGLDisplay display, EGLConfig config) {
    PixelFormatDescriptor d;
    d.flags = drawToBitmap;
    if (wideAttribute(display, config, EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT) d.flags |= supportOpenGL;
    if (wideAttribute(display, config, EGL_SURFACE_TYPE) & EGL_WINDOW_BIT) d.flags |= drawToWindow;
    if (wideAttribute(display, config, EGL_CONFIG_CAVEAT) == EGL_SLOW_CONFIG) d.flags |= genericFormat;
    const bool rgb = wideAttribute(display, config, EGL_COLOR_BUFFER_TYPE) == EGL_RGB_BUFFER;
    const bool fixed = wideAttribute(display, config, EGL_COLOR_COMPONENT_TYPE_EXT) != EGL_COLOR_COMPONENT_TYPE_FLOAT_EXT;
    d.pixelType = rgb && fixed ? typeRGBA : typeColorIndex;
    d.redBits = attribute(display, config, EGL_RED_SIZE);
    d.greenBits = attribute(display, config, EGL_GREEN_SIZE);
    d.blueBits = attribute(display, config, EGL_BLUE_SIZE);
    d.alphaBits = attribute(display, config, EGL_ALPHA_SIZE);
    d.colorBits = static_cast<std::uint8_t>(std::min(d.redBits + d.greenBits + d.blueBits, 255));
    d.depthBits = attribute(display, config, EGL_DEPTH_SIZE);
    d.stencilBits = attribute(display, config, EGL_STENCIL_SIZE);
    return d;
}

// The context, draw and read surfaces current on this thread, put back on scope exit.
class CurrentContextSaver {
public:
    explicit CurrentContextSaver(EGLContext replacedBy)
        : display_(eglGetCurrentDisplay()),
          context_(eglGetCurrentContext()),
          draw_(eglGetCurrentSurface(EGL_DRAW)),
          read_(eglGetCurrentSurface(EGL_READ)),
          replacedBy_(replacedBy) {}
    ~CurrentContextSaver() {
        EGLDisplay faces = FaceDisplay::instance().handle();
        if (context_ != EGL_NO_CONTEXT && context_ != replacedBy_)
            eglMakeCurrent(display_, draw_, read_, context_);
        else
            eglMakeCurrent(faces, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    CurrentContextSaver(const CurrentContextSaver&) = delete;
    CurrentContextSaver& operator=(const CurrentContextSaver&) = delete;

private:
    EGLDisplay display_;
    EGLContext context_;
    EGLSurface draw_, read_;
    EGLContext replacedBy_;
};

}  // namespace

std::vector<PixelFormatDescriptor> FaceContext::configurations() {
    const FaceDisplay& display = FaceDisplay::instance();
    std::vector<PixelFormatDescriptor> list;
    list.reserve(display.configs().size());
    for (EGLConfig config : display.configs()) list.push_back(describe(display.handle(), config));
    return list;
}

std::unique_ptr<FaceContext> FaceContext::create(Size size, int configIndex, const FaceContext* partner) {
    const FaceDisplay& display = FaceDisplay::instance();
    if (display.handle() == EGL_NO_DISPLAY || size.width <= 0 || size.height <= 0) {
        errno = ENODEV;
        return nullptr;
    }
    EGLConfig config = nullptr;
    if (partner != nullptr)
        config = partner->config_;
    else if (configIndex >= 1 && static_cast<std::size_t>(configIndex) <= display.configs().size())
        config = display.configs()[static_cast<std::size_t>(configIndex - 1)];
    if (config == nullptr) {
        errno = ENODEV;
        return nullptr;
    }

    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    std::unique_ptr<FaceContext> face(new FaceContext);
    face->config_ = config;
    face->size_ = size;
    face->context_ = eglCreateContext(display.handle(), config, partner != nullptr ? partner->context_ : EGL_NO_CONTEXT,
                                      attributes);
    if (face->context_ == EGL_NO_CONTEXT) {
        face->context_ = nullptr;
        errno = ENODEV;
        return nullptr;
    }

    // The framebuffer is made with the new context current; whatever was current before
    // is current again afterwards.
    const CurrentContextSaver saver(face->context_);
    if (eglMakeCurrent(display.handle(), EGL_NO_SURFACE, EGL_NO_SURFACE, face->context_) != EGL_TRUE) {
        errno = ENODEV;
        return nullptr;
    }
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    if (size.width > largest || size.height > largest) {
        errno = ENOMEM;  // as an allocation of that size would fail
        return nullptr;
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    glGenFramebuffers(1, &face->framebuffer_);
    glGenRenderbuffers(1, &face->renderbuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, face->renderbuffer_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size.width, size.height);
    glBindFramebuffer(GL_FRAMEBUFFER, face->framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, face->renderbuffer_);
    glGenTextures(1, &face->texture_);
    glBindTexture(GL_TEXTURE_2D, face->texture_);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (glGetError() != GL_NO_ERROR || !complete) {
        errno = ENOMEM;
        return nullptr;  // the destructor deletes what was made, with the context current
    }
    return face;
}

FaceContext::~FaceContext() { destroy(); }

FaceContext::FaceContext(FaceContext&& other) noexcept
    : context_(std::exchange(other.context_, nullptr)),
      config_(std::exchange(other.config_, nullptr)),
      framebuffer_(std::exchange(other.framebuffer_, 0)),
      renderbuffer_(std::exchange(other.renderbuffer_, 0)),
      texture_(std::exchange(other.texture_, 0)),
      size_(std::exchange(other.size_, Size{})) {}

FaceContext& FaceContext::operator=(FaceContext&& other) noexcept {
    if (this != &other) {
        destroy();
        context_ = std::exchange(other.context_, nullptr);
        config_ = std::exchange(other.config_, nullptr);
        framebuffer_ = std::exchange(other.framebuffer_, 0);
        renderbuffer_ = std::exchange(other.renderbuffer_, 0);
        texture_ = std::exchange(other.texture_, 0);
        size_ = std::exchange(other.size_, Size{});
    }
    return *this;
}

void FaceContext::destroy() noexcept {
    if (context_ == nullptr) return;
    EGLDisplay display = FaceDisplay::instance().handle();
    {
        // The framebuffer and renderbuffer names belong to this context: delete them while
        // it is current, then leave current what was current before (or nothing).
        const CurrentContextSaver saver(context_);
        if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE) {
            glBindFramebuffer(GL_FRAMEBUFFER, 0);
            glBindTexture(GL_TEXTURE_2D, 0);
            if (framebuffer_ != 0) glDeleteFramebuffers(1, &framebuffer_);
            if (renderbuffer_ != 0) glDeleteRenderbuffers(1, &renderbuffer_);
            if (texture_ != 0) glDeleteTextures(1, &texture_);
        }
    }
    eglDestroyContext(display, context_);
    context_ = nullptr;
    framebuffer_ = renderbuffer_ = texture_ = 0;
}

bool FaceContext::makeCurrent() {
    if (context_ == nullptr) return false;
    if (eglMakeCurrent(FaceDisplay::instance().handle(), EGL_NO_SURFACE, EGL_NO_SURFACE, context_) != EGL_TRUE)
        return false;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    return true;
}

bool FaceContext::resize(Size size) {
    if (!isCurrent() || size.width <= 0 || size.height <= 0) {
        errno = EINVAL;
        return false;
    }
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    if (size.width > largest || size.height > largest) {
        errno = ENOMEM;
        return false;
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size.width, size.height);
    if (glGetError() != GL_NO_ERROR || glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size_.width, size_.height);
        errno = ENOMEM;
        return false;
    }
    size_ = size;
    return true;
}

bool FaceContext::isCurrent() const { return context_ != nullptr && eglGetCurrentContext() == context_; }
