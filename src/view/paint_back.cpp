#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "image/gl_dib_image.h"
#include "panorama/geometry.h"
#include "platform/message.h"
#include "platform/report.h"
#include "view/paint_back.h"

namespace {

constexpr int tileSize = 256;
// A tile plus a one-texel ring of its neighbours, so that linear filtering is seamless
// across tiles. Drivers no longer honour texture borders, so the ring lives inside an
// ordinary 258 x 258 texture and the texture coordinates are moved one texel inwards.
constexpr int textureSize = tileSize + 2;

// Set once: the library is the operating system vendor's generic 1.1 implementation,
// whose alpha test needs painted texels nudged up by one.
bool genericImplementation = false;

float inset(float coordinate) { return (1.0f + tileSize * coordinate) / textureSize; }

void setUpFaceContext() {
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glDisable(GL_DITHER);
    glEnable(GL_TEXTURE_2D);
    glAlphaFunc(GL_GREATER, 0.1f);
    glEnable(GL_ALPHA_TEST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);

    const auto* vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (vendor != nullptr && version != nullptr && std::strncmp(vendor, "Microsoft", 9) == 0 &&
        std::strncmp(version, "1.1.0", 5) == 0)
        genericImplementation = true;
}

// Whether a quadrilateral on the view's image plane can reach the face at all: false
// when all its corners lie beyond one side of the face's 90-degree frustum. Such tiles
// would be clipped away whole; skipping them saves filling and uploading their texture.
// The margin keeps tiles that graze an edge.
bool reachesFace(const Quaternion& viewToFace, const Vector3 (&corners)[4]) {
    constexpr float margin = 1e-4f;
    bool outside[5] = {true, true, true, true, true};
    for (const Vector3& corner : corners) {
        const Vector3 e = rotate(viewToFace, corner);
        const float distances[5] = {e.x - e.z, -e.z - e.x, e.y - e.z, -e.z - e.y, -e.z - 0.2f};
        for (int i = 0; i < 5; ++i) outside[i] = outside[i] && distances[i] < -margin;
    }
    for (bool side : outside)
        if (side) return false;
    return true;
}

void rotateBy(const Quaternion& q) {
    Vector3 axis;
    float angle = 0;
    toAxisAngle(q, axis, angle);
    glRotatef(angle * radToDeg, axis.x, axis.y, axis.z);
}

void reportGLErrors() {
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
        const auto* text = reinterpret_cast<const char*>(gluErrorString(error));
        showMessage(text != nullptr ? text : "unknown OpenGL error", "GL Error", MessageStyle::okExclamation);
    }
}

void paintFace(const ViewBuffer& view, const Camera& camera, const Quaternion& viewRotation,
               const Quaternion& faceRotation, Size size) {
    const int viewWidth = view.size().width, viewHeight = view.size().height;

    glViewport(0, 0, size.width, size.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.2, 0.2, -0.2, 0.2, 0.2, 2000);  // square, 90 degrees
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    rotateBy(faceRotation);
    rotateBy(viewRotation);

    const Quaternion viewToFace = faceRotation * viewRotation;  // the view's turn first
    const float tx = std::tan(camera.fov[0] / 2.0f);
    const float ty = std::tan(camera.fov[1] / 2.0f);
    std::vector<std::uint8_t> texture(static_cast<std::size_t>(textureSize) * textureSize * 4);
    
    for (int top = 0; top < viewHeight; top += tileSize) {
        const int bottom = std::min(top + tileSize, viewHeight);
        for (int left = 0; left < viewWidth; left += tileSize) {
            const int right = std::min(left + tileSize, viewWidth);
            const int w = right - left, h = bottom - top;
            const float x0 = tx * (static_cast<float>(left) / viewWidth - 0.5f);
            const float y0 = ty * (0.5f - static_cast<float>(bottom) / viewHeight);
            const float dx = w * tx / viewWidth;
            const float dy = h * ty / viewHeight;
            const Vector3 corners[4] = {
                {x0, y0, -0.5f}, {x0 + dx, y0, -0.5f}, {x0 + dx, y0 + dy, -0.5f}, {x0, y0 + dy, -0.5f}};
            if (!reachesFace(viewToFace, corners)) continue;

            for (int r = 0; r < h + 2; ++r) {
                const int viewRow = std::clamp(top + r - 1, 0, viewHeight - 1);
                const std::uint8_t* from = view.row(viewRow);
                std::uint8_t* to = texture.data() + static_cast<std::size_t>(r) * textureSize * 4;
                for (int c = 0; c < w + 2; ++c) {
                    const int viewColumn = std::clamp(left + c - 1, 0, viewWidth - 1);
                    std::memcpy(to + 4 * c, from + 4 * viewColumn, 4);
                    if (genericImplementation && to[4 * c + 3] != 0)
                        for (int k = 0; k < 3; ++k)
                            if (to[4 * c + k] != 255) ++to[4 * c + k];
                }
            }
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, textureSize, textureSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         texture.data());

            const float s1 = inset(w / 256.0f), t1 = inset(h / 256.0f), s0 = inset(0), t0 = inset(0);
            glBegin(GL_QUADS);
            glTexCoord2f(s0, t1);
            glVertex3f(x0, y0, -0.5f);
            glTexCoord2f(s1, t1);
            glVertex3f(x0 + dx, y0, -0.5f);
            glTexCoord2f(s1, t0);
            glVertex3f(x0 + dx, y0 + dy, -0.5f);
            glTexCoord2f(s0, t0);
            glVertex3f(x0, y0 + dy, -0.5f);
            glEnd();
        }
    }
    glFinish();
    if (runtimeDebugging()) reportGLErrors();
}
}  // namespace

PaintBackResult paintBack(SixImage& panorama, const Camera& camera, const ViewBuffer& view,
                          std::vector<FacePatch>* undo) {
    PaintBackResult result;
    // Without a view there is nothing to project, and no context gets set up.
    if (view.empty() || camera.size != view.size()) return result;
    const Quaternion viewTurn = viewOrientation(camera.heading, camera.pitch);
    struct FaceTurn {
        int face;
        Vector3 axis;
        float degrees;
    };
    static const FaceTurn order[] = {
        {Front, {0, 1, 0}, 0}, {Back, {0, 1, 0}, 180}, {Left, {0, 1, 0}, -90},
        {Right, {0, 1, 0}, 90}, {Down, {1, 0, 0}, 90}, {Up, {1, 0, 0}, -90},
    };
    for (const FaceTurn& turn : order) {
        auto* face = dynamic_cast<GLDIBImage*>(panorama.faces[turn.face].get());
        if (face == nullptr || !face->makeCurrent()) continue;
        // A face made since the last projection (a resize, a load) has a context that was
        // never set up.
        if (!face->drawingStateReady()) setUpFaceContext();
        // What the projection changes is what a save back to the source picture
        // recomputes, and what an undo puts back; the face as it was tells which pixels
        // those are.
        std::unique_ptr<RawImage> before;
        if ((panorama.faceChanges.tracking() || undo != nullptr) && face->pixels != nullptr) {
            before = std::make_unique<RawImage>(face->size());
            for (std::int32_t row = 0; row < face->height; ++row)
                std::memcpy(before->row(row), face->row(row), 3 * static_cast<std::size_t>(face->width));
        }
        paintFace(view, camera, viewTurn, quaternionFromAxisAngle(turn.axis, turn.degrees * degToRad), face->size());
        face->finishDrawing();
        face->setDrawingStateReady();
        std::optional<FacePatch> patch;
        if (before && undo != nullptr) patch = differencePatch(turn.face, *before, *face);
        if (patch) patch->marks = panorama.faceChanges.marksIn(turn.face, {patch->column, patch->row}, patch->size);
        if (before) panorama.faceChanges.markDifferences(turn.face, *before, *face);
        if (patch) undo->push_back(std::move(*patch));
        result.projected = true;
    }
    return result;
}

