// The live view's frame from memory to the framebuffer, the ways the GL path allows: one
// glDrawPixels of the blue-green-red picture, or a texture updated with glTexSubImage2D
// and drawn as one quad (from 3- or 4-byte pixels), at full size and at half size
// enlarged by the quad. Drawn into an off-screen context of the window's size with Mesa's
// software renderer, as the window draws; glFinish makes each frame complete.
#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <memory>
#include <vector>

#include "support/window_context.h"

namespace {

constexpr Size window{1600, 1100};
constexpr Size view{1500, 1000};

std::unique_ptr<FaceContext> windowContext() { return windowLikeContext(window); }

std::vector<std::uint8_t> picture(Size size, int bytesPerPixel) {
    const std::size_t stride = (static_cast<std::size_t>(size.width) * bytesPerPixel + 3) & ~std::size_t{3};
    std::vector<std::uint8_t> pixels(stride * static_cast<std::size_t>(size.height));
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    return pixels;
}

void BM_DrawPixels(benchmark::State& state) {
    auto context = windowContext();
    if (!context) return state.SkipWithError("no OpenGL context");
    const auto pixels = picture(view, 3);
    for (auto _ : state) {
        glRasterPos2i(50, 50);
        glDrawPixels(view.width, view.height, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
        glFinish();
    }
}
BENCHMARK(BM_DrawPixels)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// arg 0: bytes per source pixel; arg 1: 1 full size, 2 half size enlarged.
void BM_TextureQuad(benchmark::State& state) {
    auto context = windowContext();
    if (!context) return state.SkipWithError("no OpenGL context");
    const int bpp = static_cast<int>(state.range(0));
    const int scale = static_cast<int>(state.range(1));
    const Size source{(view.width + scale - 1) / scale, (view.height + scale - 1) / scale};
    const auto pixels = picture(source, bpp);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, bpp == 4 ? GL_RGBA8 : GL_RGB8, source.width, source.height, 0, bpp == 4 ? GL_BGRA : GL_BGR,
                 GL_UNSIGNED_BYTE, nullptr);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    for (auto _ : state) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, source.width, source.height, bpp == 4 ? GL_BGRA : GL_BGR,
                        bpp == 4 ? GL_UNSIGNED_INT_8_8_8_8_REV : GL_UNSIGNED_BYTE, pixels.data());
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2i(50, 50);
        glTexCoord2f(1, 0);
        glVertex2i(50 + source.width * scale, 50);
        glTexCoord2f(1, 1);
        glVertex2i(50 + source.width * scale, 50 + source.height * scale);
        glTexCoord2f(0, 1);
        glVertex2i(50, 50 + source.height * scale);
        glEnd();
        glFinish();
    }
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &texture);
}
BENCHMARK(BM_TextureQuad)->Args({3, 1})->Args({4, 1})->Args({3, 2})->Args({4, 2})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// A texture updated with glTexSubImage2D, attached to a framebuffer and copied with
// glBlitFramebuffer: arg 0 bytes per source pixel, arg 1 the texture's internal format
// (0 GL_RGBA8, 1 GL_RGB8), arg 2 scale (1 full size, 2 half size enlarged).
void BM_TextureBlit(benchmark::State& state) {
    auto context = windowContext();
    if (!context) return state.SkipWithError("no OpenGL context");
    const int bpp = static_cast<int>(state.range(0));
    const GLenum internal = state.range(1) == 0 ? GL_RGBA8 : GL_RGB8;
    const int scale = static_cast<int>(state.range(2));
    const Size source{(view.width + scale - 1) / scale, (view.height + scale - 1) / scale};
    const auto pixels = picture(source, bpp);
    GLint drawn = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawn);
    GLuint texture = 0, framebuffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    const GLenum format = bpp == 4 ? GL_BGRA : GL_BGR;
    const GLenum type = bpp == 4 ? GL_UNSIGNED_INT_8_8_8_8_REV : GL_UNSIGNED_BYTE;
    glTexImage2D(GL_TEXTURE_2D, 0, internal, source.width, source.height, 0, format, type, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawn));
    for (auto _ : state) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, source.width, source.height, format, type, pixels.data());
        glBlitFramebuffer(0, 0, source.width, source.height, 50, 50, 50 + source.width * scale,
                          50 + source.height * scale, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glFinish();
    }
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(drawn));
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
}
BENCHMARK(BM_TextureBlit)
    ->Args({3, 0, 1})
    ->Args({4, 0, 1})
    ->Args({3, 1, 1})
    ->Args({4, 1, 1})
    ->Args({4, 0, 2})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
