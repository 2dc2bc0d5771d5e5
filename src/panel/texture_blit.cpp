#include "panel/texture_blit.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <cstring>

#include "image/bgr_image.h"

namespace {
// Framebuffer objects and glBlitFramebuffer came with OpenGL 3.0.
bool hasFramebufferBlit() {
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return version != nullptr && std::atoi(version) >= 3;
}
}  // namespace

TextureBlit::~TextureBlit() { release(); }

void TextureBlit::abandon() {
    texture_ = framebuffer_ = 0;
    size_ = {};
}

void TextureBlit::release() {
    if (framebuffer_ != 0) glDeleteFramebuffers(1, &framebuffer_);
    if (texture_ != 0) glDeleteTextures(1, &texture_);
    abandon();
}

bool TextureBlit::draw(const BGRImage& picture, Point at) {
    if (unsupported_ || picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) return false;
    GLint drawBinding = 0, readBinding = 0, textureBinding = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBinding);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBinding);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &textureBinding);
    if (texture_ == 0 || size_ != picture.size()) {
        release();
        if (!hasFramebufferBlit()) {
            unsupported_ = true;
            return false;
        }
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        // Four bytes a texel: the copy to the window's four-byte pixels needs no conversion.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, picture.width, picture.height, 0, GL_BGR, GL_UNSIGNED_BYTE, nullptr);
        glGenFramebuffers(1, &framebuffer_);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
        const bool complete = glCheckFramebufferStatus(GL_READ_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readBinding));
        if (!complete) {
            glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(textureBinding));
            release();
            unsupported_ = true;
            return false;
        }
        size_ = picture.size();
    }
    glBindTexture(GL_TEXTURE_2D, texture_);
    // Rows of the picture are padded to 4 bytes.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, picture.width, picture.height, GL_BGR, GL_UNSIGNED_BYTE, picture.pixels);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(textureBinding));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glBlitFramebuffer(0, 0, picture.width, picture.height, at.x, at.y, at.x + picture.width, at.y + picture.height,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readBinding));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawBinding));
    return true;
}
