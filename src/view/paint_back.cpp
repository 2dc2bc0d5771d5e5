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

// A tile of the view: its pixels, and its corners on the image plane at z = -0.5.
struct ViewTile {
    int left, top, width, height;
    float x0, y0, dx, dy;

    Vector3 corner(int i) const {
        return {x0 + (i == 1 || i == 2 ? dx : 0.0f), y0 + (i >= 2 ? dy : 0.0f), -0.5f};
    }
};

// Whether any texel the tile's texture holds (the tile and its ring) is open to paint: a
// texture without one draws nothing through the alpha test, filtered or not.
bool tileHasPaint(const ViewBuffer& view, const ViewTile& tile) {
    const int viewWidth = view.size().width, viewHeight = view.size().height;
    const int firstRow = std::max(tile.top - 1, 0), lastRow = std::min(tile.top + tile.height, viewHeight - 1);
    const int firstColumn = std::max(tile.left - 1, 0), lastColumn = std::min(tile.left + tile.width, viewWidth - 1);
    for (int r = firstRow; r <= lastRow; ++r) {
        const std::uint8_t* pixel = view.row(r) + 4 * static_cast<std::size_t>(firstColumn);
        for (int c = firstColumn; c <= lastColumn; ++c, pixel += 4)
            if (pixel[3] != 0) return true;
    }
    return false;
}

// Calls draw(tile) for every tile of the view with paint in it that can reach the face
// turned by viewToFace, until draw returns false; returns whether any was drawn.
template <class Draw>
bool forEachPaintedTile(const ViewBuffer& view, const Camera& camera, const Quaternion& viewToFace, Draw&& draw) {
    const int viewWidth = view.size().width, viewHeight = view.size().height;
    const float tx = std::tan(camera.fov[0] / 2.0f);
    const float ty = std::tan(camera.fov[1] / 2.0f);
    bool any = false;
    for (int top = 0; top < viewHeight; top += tileSize) {
        const int bottom = std::min(top + tileSize, viewHeight);
        for (int left = 0; left < viewWidth; left += tileSize) {
            const int right = std::min(left + tileSize, viewWidth);
            const int w = right - left, h = bottom - top;
            const ViewTile tile{left,
                                top,
                                w,
                                h,
                                tx * (static_cast<float>(left) / viewWidth - 0.5f),
                                ty * (0.5f - static_cast<float>(bottom) / viewHeight),
                                w * tx / viewWidth,
                                h * ty / viewHeight};
            const Vector3 corners[4] = {tile.corner(0), tile.corner(1), tile.corner(2), tile.corner(3)};
            if (!reachesFace(viewToFace, corners) || !tileHasPaint(view, tile)) continue;
            any = true;
            if (!draw(tile)) return true;
        }
    }
    return any;
}

// The face pixels the painted tiles that reach the face can draw: the bounds of their
// corners where the face's projection puts them, two pixels wider for the rasteriser and
// the texture filter; the whole face when a corner lies near or behind the eye, where a
// tile's projection is no longer held by its corners. Empty when no painted tile reaches
// the face.
struct FaceArea {
    Point origin;
    Size size;
};

FaceArea paintedArea(const ViewBuffer& view, const Camera& camera, const Quaternion& viewToFace, Size face) {
    const FaceArea whole{{0, 0}, face};
    float left = 0, right = 0, bottom = 0, top = 0;
    bool reached = false, all = false;
    forEachPaintedTile(view, camera, viewToFace, [&](const ViewTile& tile) {
        for (int i = 0; i < 4; ++i) {
            const Vector3 e = rotate(viewToFace, tile.corner(i));
            if (!(-e.z > 0.25f)) {
                all = true;
                return false;
            }
            // The frustum maps x / -z from -1 ... 1 onto the face's width.
            const float column = (e.x / -e.z + 1.0f) * 0.5f * face.width;
            const float row = (e.y / -e.z + 1.0f) * 0.5f * face.height;
            left = reached ? std::min(left, column) : column;
            right = reached ? std::max(right, column) : column;
            bottom = reached ? std::min(bottom, row) : row;
            top = reached ? std::max(top, row) : row;
            reached = true;
        }
        return true;
    });
    if (all) return whole;
    if (!reached) return {};
    constexpr float margin = 2;
    const auto within = [](float value, std::int32_t limit) {
        return static_cast<std::int32_t>(std::clamp(value, 0.0f, static_cast<float>(limit)));
    };
    const std::int32_t x0 = within(std::floor(left - margin), face.width);
    const std::int32_t x1 = within(std::ceil(right + margin), face.width);
    const std::int32_t y0 = within(std::floor(bottom - margin), face.height);
    const std::int32_t y1 = within(std::ceil(top + margin), face.height);
    return {{x0, y0}, {x1 - x0, y1 - y0}};
}

void paintFace(const ViewBuffer& view, const Camera& camera, const Quaternion& viewRotation,
               const Quaternion& faceRotation, Size size, Point origin) {
    const int viewWidth = view.size().width, viewHeight = view.size().height;

    // The framebuffer holds the face from origin on.
    glViewport(-origin.x, -origin.y, size.width, size.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.2, 0.2, -0.2, 0.2, 0.2, 2000);  // square, 90 degrees
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    rotateBy(faceRotation);
    rotateBy(viewRotation);

    const Quaternion viewToFace = faceRotation * viewRotation;  // the view's turn first
    std::vector<std::uint8_t> texture(static_cast<std::size_t>(textureSize) * textureSize * 4);
    forEachPaintedTile(view, camera, viewToFace, [&](const ViewTile& tile) {
        const int w = tile.width, h = tile.height;
        for (int r = 0; r < h + 2; ++r) {
            const int viewRow = std::clamp(tile.top + r - 1, 0, viewHeight - 1);
            const std::uint8_t* from = view.row(viewRow);
            std::uint8_t* to = texture.data() + static_cast<std::size_t>(r) * textureSize * 4;
            for (int c = 0; c < w + 2; ++c) {
                const int viewColumn = std::clamp(tile.left + c - 1, 0, viewWidth - 1);
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
        for (int i = 0; i < 4; ++i) {
            glTexCoord2f(i == 1 || i == 2 ? s1 : s0, i >= 2 ? t0 : t1);
            const Vector3 corner = tile.corner(i);
            glVertex3f(corner.x, corner.y, corner.z);
        }
        glEnd();
        return true;
    });
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
        // Only the part of the face the paint can reach goes through the framebuffer; a
        // face no painted tile reaches would come back as it was, and is left alone.
        if (face == nullptr) continue;
        const Quaternion faceTurn = quaternionFromAxisAngle(turn.axis, turn.degrees * degToRad);
        const FaceArea area = paintedArea(view, camera, faceTurn * viewTurn, face->size());
        if (area.size.width <= 0 || area.size.height <= 0 || !face->makeCurrent(area.origin, area.size)) continue;
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
        paintFace(view, camera, viewTurn, faceTurn, face->size(), face->drawingOrigin());
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

