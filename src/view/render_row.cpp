#include "view/render_row.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "panorama/six_image.h"

namespace {

// A face as the inner loop sees it: no virtual calls, no indirection through the panorama.
struct FaceView {
    const std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t stride = 0;
};

// How a face reads a world ray: m is the component along the face's axis, a / m is the
// face's s and b / m its t. Each of a and b is a world component times a sign, which is
// exact in float, so adding the step to the world ray is the same as adding it here.
struct FaceAxes {
    int major;   // 0 x, 1 y, 2 z
    int across;  // component giving a
    float acrossSign;
    int up;  // component giving b
    float upSign;
    bool positive;  // the face looks along the positive axis
};

// Indexed by face: Front, Back, Left, Right, Up, Down.
constexpr FaceAxes faceAxes[faceCount] = {
    {2, 0, -1.0f, 1, -1.0f, false},  // Front: m = z, a = -x, b = -y
    {2, 0, -1.0f, 1, 1.0f, true},    // Back:  m = z, a = -x, b = y
    {0, 2, 1.0f, 1, -1.0f, false},   // Left:  m = x, a = z, b = -y
    {0, 2, 1.0f, 1, 1.0f, true},     // Right: m = x, a = z, b = y
    {1, 0, 1.0f, 2, 1.0f, true},     // Up:    m = y, a = x, b = z
    {1, 0, -1.0f, 2, 1.0f, false},   // Down:  m = y, a = -x, b = z
};

inline float component(const Vector3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// Casts the rays of renderRow and calls visit(index, face, row, column, sample) for each
// sample that hits a face with pixels.
template <class Visit>
void walkRow(const SixImage& panorama, Vector3 start, Vector3 step, int count, const Visit& visit) {
    FaceView faces[faceCount];
    FaceSizes sizes{};
    for (int f = 0; f < faceCount; ++f) {
        const BGRImage* image = panorama.faces[f].get();
        if (image == nullptr || image->pixels == nullptr || image->width <= 0 || image->height <= 0) continue;
        faces[f] = {image->pixels, image->width, image->height, image->stride};
        sizes[f] = {image->width, image->height};
    }

    Vector3 ray = start;
    int currentFace = Front;
    int sample = 0;
    while (sample < count) {
        // A new run: the full classification, rounding to the nearest pixel.
        const FacePixel hit = directionToFacePixel(ray, sizes, currentFace);
        currentFace = hit.face;
        const FaceView& face = faces[hit.face];
        if (face.pixels != nullptr) visit(hit.face, face, hit.row, hit.column, sample);
        ++sample;
        if (face.pixels == nullptr) {
            if (sample < count) ray = {ray.x + step.x, ray.y + step.y, ray.z + step.z};
            continue;
        }

        const FaceAxes& axes = faceAxes[hit.face];
        float m = component(ray, axes.major);
        float a = axes.acrossSign * component(ray, axes.across);
        float b = axes.upSign * component(ray, axes.up);
        const float stepM = component(step, axes.major);
        const float stepA = axes.acrossSign * component(step, axes.across);
        const float stepB = axes.upSign * component(step, axes.up);
        // The face's own side of the cube: a ray whose major component changed sign looks
        // at the opposite face, even where a / m and b / m would still fit this one.
        const bool positive = axes.positive;
        const float halfWidth = static_cast<float>(face.width) / 2.0f;
        const float halfHeight = static_cast<float>(face.height) / 2.0f;
        const float width = static_cast<float>(face.width);
        const float height = static_cast<float>(face.height);

        // The fast path: one division per sample, truncating, while the ray stays on the face.
        while (sample < count) {
            m = m + stepM;
            a = a + stepA;
            b = b + stepB;
            const float column = (a / m + 1.0f) * halfWidth;
            const float row = (b / m + 1.0f) * halfHeight;
            // trunc lands in [0, W) exactly when the value lies in (-1, W); NaN fails too.
            if (!(column > -1.0f && column < width && row > -1.0f && row < height && (m > 0) == positive)) break;
            visit(hit.face, face, static_cast<int>(row), static_cast<int>(column), sample);
            ++sample;
        }
        if (sample == count) break;

        // Back into world terms (the signs are their own inverses) for the next run.
        float world[3];
        world[axes.major] = m;
        world[axes.across] = axes.acrossSign * a;
        world[axes.up] = axes.upSign * b;
        ray = {world[0], world[1], world[2]};
    }
}

}  // namespace

void renderRow(const SixImage& panorama, Vector3 start, Vector3 step, int count, int bpp, std::uint8_t* out) {
    if (out == nullptr || count <= 0 || bpp < 3) return;
    walkRow(panorama, start, step, count, [out, bpp](int, const FaceView& face, int row, int column, int sample) {
        const std::uint8_t* from =
            face.pixels + static_cast<std::size_t>(row) * face.stride + 3 * static_cast<std::size_t>(column);
        std::uint8_t* to = out + static_cast<std::size_t>(sample) * bpp;
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
    });
}

void growRegionsByRow(const SixImage& panorama, Vector3 start, Vector3 step, int count, FaceRegions& regions) {
    if (count <= 0) return;
    walkRow(panorama, start, step, count, [&regions](int index, const FaceView&, int row, int column, int) {
        FaceRegion& r = regions[index];
        if (r.empty()) {
            r = {column, row, column + 1, row + 1};
            return;
        }
        r.left = std::min(r.left, column);
        r.right = std::max(r.right, column + 1);
        r.bottom = std::min(r.bottom, row);
        r.top = std::max(r.top, row + 1);
    });
}
