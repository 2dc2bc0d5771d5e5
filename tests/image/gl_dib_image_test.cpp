#include "image/gl_dib_image.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/egl_context.h"  // FaceContext::isCurrent
#include "platform/report.h"
#include "support/message_recorder.h"

namespace {

// Distinct bytes everywhere, padding included.
void fillPattern(BGRImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (std::uint32_t i = 0; i < image.stride; ++i) image.row(y)[i] = static_cast<std::uint8_t>(7 * y + 3 * i + 1);
}

std::vector<std::uint8_t> bytesOf(const BGRImage& image) {
    return {image.pixels, image.pixels + static_cast<std::size_t>(image.stride) * image.height};
}

TEST(GLDIBImage, NewFaceReadsBackWhite) {
    GLDIBImage face({17, 9});  // 17 pixels: rows carry one padding byte
    EXPECT_FALSE(face.hasContext()) << "the context is made when the face is first drawn into";
    ASSERT_TRUE(face.makeCurrent());
    EXPECT_TRUE(face.hasContext());
    face.finishDrawing();
    for (std::uint8_t byte : bytesOf(face)) ASSERT_EQ(byte, 0xFF);
}

TEST(GLDIBImage, DrawingChangesExactlyTheDrawnBytes) {
    GLDIBImage face({13, 11});
    fillPattern(face);
    const std::vector<std::uint8_t> before = bytesOf(face);

    ASSERT_TRUE(face.makeCurrent());
    // Pure red over columns 3..7 of rows 2..4 (rows counted from the bottom).
    glEnable(GL_SCISSOR_TEST);
    glScissor(3, 2, 5, 3);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    face.finishDrawing();

    for (int y = 0; y < face.height; ++y)
        for (std::uint32_t i = 0; i < face.stride; ++i) {
            const std::uint32_t x = i / 3;
            const bool drawn = y >= 2 && y <= 4 && x >= 3 && x <= 7;
            const std::uint8_t expected = drawn ? (i % 3 == 2 ? 0xFF : 0x00) : before[y * face.stride + i];
            ASSERT_EQ(face.row(y)[i], expected) << "row " << y << " byte " << i;
        }
}

TEST(GLDIBImage, ARectangleGoesThroughTheFramebufferAndTheRestStaysAsItWas) {
    struct Case {
        const char* name;
        Point origin;
        Size size;
        int left, bottom, right, top;  // what the face takes back, ends exclusive
    };
    const Case cases[] = {
        {"inside", {3, 2}, {5, 4}, 3, 2, 8, 6},
        {"whole face", {0, 0}, {13, 11}, 0, 0, 13, 11},
        {"past the top-right corner", {9, 8}, {20, 20}, 9, 8, 13, 11},
        {"past the bottom-left corner", {-4, -6}, {6, 8}, 0, 0, 2, 2},
        {"outside", {20, 0}, {4, 4}, 0, 0, 0, 0},
    };
    // One face through every case: its framebuffer changes size from one to the next.
    GLDIBImage face({13, 11});
    for (const Case& c : cases) {
        fillPattern(face);
        const std::vector<std::uint8_t> before = bytesOf(face);
        ASSERT_TRUE(face.makeCurrent(c.origin, c.size)) << c.name;
        EXPECT_EQ(face.drawingOrigin(), (c.right > c.left ? Point{c.left, c.bottom} : Point{0, 0})) << c.name;
        // The framebuffer holds the rectangle's pixels, its corner at the rectangle's.
        const int w = c.right - c.left, h = c.top - c.bottom;
        std::vector<std::uint8_t> seen(static_cast<std::size_t>(std::max(w, 1)) * std::max(h, 1) * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_BGR, GL_UNSIGNED_BYTE, seen.data());
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < 3 * w; ++i)
                ASSERT_EQ(seen[static_cast<std::size_t>(y) * 3 * w + i],
                          before[static_cast<std::size_t>(c.bottom + y) * face.stride + 3 * c.left + i])
                    << c.name << ": byte " << i << " of row " << y << " not put in";
        // Blue over the whole framebuffer.
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        face.finishDrawing();

        for (int y = 0; y < face.height; ++y)
            for (int x = 0; x < face.width; ++x) {
                const bool taken = x >= c.left && x < c.right && y >= c.bottom && y < c.top;
                for (int k = 0; k < 3; ++k) {
                    const std::size_t i = static_cast<std::size_t>(y) * face.stride + 3 * x + k;
                    ASSERT_EQ(face.pixels[i], taken ? (k == 0 ? 0xFF : 0x00) : before[i])
                        << c.name << ": pixel " << x << "," << y;
                }
            }
    }
}

TEST(GLDIBImage, FacesSharedWithAPartnerSeeItsTextures) {
    GLDIBImage first({8, 8});
    GLDIBImage shared({8, 8}, &first);
    GLDIBImage alone({8, 8});
    ASSERT_TRUE(first.makeCurrent());
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);  // the name becomes a texture object
    glBindTexture(GL_TEXTURE_2D, 0);

    ASSERT_TRUE(shared.makeCurrent());
    EXPECT_EQ(glIsTexture(texture), GL_TRUE);
    ASSERT_TRUE(alone.makeCurrent());
    EXPECT_EQ(glIsTexture(texture), GL_FALSE);

    ASSERT_TRUE(shared.makeCurrent());
    glDeleteTextures(1, &texture);
}

TEST(GLDIBImage, PartnersOutliveTheFirstFace) {
    auto first = std::make_unique<GLDIBImage>(Size{8, 8});
    GLDIBImage second({8, 8}, first.get());
    ASSERT_TRUE(first->makeCurrent());
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBindTexture(GL_TEXTURE_2D, 0);
    first.reset();  // while current

    ASSERT_TRUE(second.makeCurrent());
    EXPECT_EQ(glIsTexture(texture), GL_TRUE);
    glDeleteTextures(1, &texture);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    second.finishDrawing();
    EXPECT_EQ(second.row(7)[3 * 7 + 0], 0xFF);
    EXPECT_EQ(second.row(7)[3 * 7 + 2], 0x00);
}

TEST(GLDIBImage, DestroyingAFaceKeepsAnotherCurrent) {
    GLDIBImage kept({4, 4});
    auto dropped = std::make_unique<GLDIBImage>(Size{4, 4}, &kept);
    ASSERT_TRUE(kept.makeCurrent());
    dropped.reset();
    ASSERT_NE(kept.context(), nullptr);
    EXPECT_TRUE(kept.context()->isCurrent());
}

TEST(GLDIBImage, FaceTooLargeForAContextStaysAnInMemoryFace) {
    GLDIBImage probe({1, 1});
    ASSERT_TRUE(probe.makeCurrent());
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    ASSERT_GT(largest, 0);

    MessageRecorder recorder;
    GLDIBImage face({largest + 1, 2}, &probe);
    EXPECT_TRUE(recorder.messages().empty()) << "nothing is drawn yet";
    EXPECT_FALSE(face.makeCurrent());
    EXPECT_FALSE(face.makeCurrent());
    ASSERT_EQ(recorder.messages().size(), 1u) << "reported once, not at every attempt";
    EXPECT_EQ(recorder.texts()[0].rfind("GLDIBImage: couldn't create DIB", 0), 0u) << recorder.texts()[0];
    EXPECT_FALSE(face.hasContext());
    face.finishDrawing();
    for (std::uint8_t byte : bytesOf(face)) ASSERT_EQ(byte, 0xFF);
}

TEST(GLDIBImage, VersionNoticeIsShownOnceUnderRuntimeDebugging) {
    GLDIBImage face({4, 4});
    {
        MessageRecorder quiet;
        ASSERT_TRUE(face.makeCurrent());
        EXPECT_TRUE(quiet.messages().empty());
    }
    setRuntimeDebugging(true);
    MessageRecorder recorder;
    ASSERT_TRUE(face.makeCurrent());
    ASSERT_TRUE(face.makeCurrent());
    GLDIBImage other({4, 4}, &face);
    ASSERT_TRUE(other.makeCurrent());
    setRuntimeDebugging(false);

    ASSERT_EQ(recorder.messages().size(), 1u);
    const auto& notice = recorder.messages()[0];
    EXPECT_EQ(notice.caption, "OpenGL version");
    const std::string expected = std::string("DIB: ") + reinterpret_cast<const char*>(glGetString(GL_VENDOR)) + " " +
                                 reinterpret_cast<const char*>(glGetString(GL_VERSION)) + "\n(" +
                                 reinterpret_cast<const char*>(glGetString(GL_RENDERER)) + ")";
    EXPECT_EQ(notice.text, expected);
}

}  // namespace
