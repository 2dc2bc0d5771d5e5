#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "image/gamma.h"
#include "image/pixel_memory.h"
#include "panorama/geometry.h"
#include "platform/work_pool.h"
#include "view/render_row.h"
#include "view/render_view.h"

namespace {

inline Vector3 add(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

// The ray of a later row, reached by the same float additions as stepping row by row, so
// that a range of rows rendered on its own gives the bytes of a whole render.
Vector3 stepped(Vector3 start, const Vector3& step, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) start = add(start, step);
    return start;
}

// The rays of the sub-samples of a rectangle of camera's picture: the first sub-sample's
// (bottom left), and the steps to the next sub-column and sub-row.
struct Rays {
    Vector3 start, across, up;
};

Rays subSampleRays(const Camera& camera, Point origin, Size size) {
    const int W = camera.size.width, H = camera.size.height;
    const Quaternion q = viewOrientation(camera.heading, camera.pitch);
    const float tx = std::tan(camera.fov[0] / 2.0f);
    const float ty = std::tan(camera.fov[1] / 2.0f);
    const float dx = tx / static_cast<float>(2 * static_cast<std::int64_t>(W));
    const float dy = ty / static_cast<float>(2 * static_cast<std::int64_t>(H));
    const float left = tx * (static_cast<float>(origin.x) / static_cast<float>(W) - 0.5f);
    const float bottom = ty * (0.5f - static_cast<float>(origin.y + size.height) / static_cast<float>(H));
    return {rotate(q, {left + dx / 2.0f, bottom + dy / 2.0f, -0.5f}), rotate(q, {dx, 0, 0}), rotate(q, {0, dy, 0})};
}

// The union of the regions of rows rays, rays.up, rays.up + 1, ... of count samples each,
// walked in ranges on the shared pool.
FaceRegions regionsOfRows(const SixImage& panorama, const Rays& rays, std::int32_t rows, int count, int threads) {
    FaceRegions regions{};
    std::mutex mutex;
    splitRows(rows, threads, [&](std::int32_t from, std::int32_t to) {
        FaceRegions own{};
        Vector3 ray = stepped(rays.start, rays.up, from);
        for (std::int32_t i = from; i < to; ++i) {
            growRegionsByRow(panorama, ray, rays.across, count, own);
            ray = add(ray, rays.up);
        }
        const std::lock_guard lock(mutex);
        for (int f = 0; f < faceCount; ++f) {
            if (own[f].empty()) continue;
            FaceRegion& r = regions[f];
            if (r.empty()) {
                r = own[f];
                continue;
            }
            r = {std::min(r.left, own[f].left), std::min(r.bottom, own[f].bottom), std::max(r.right, own[f].right),
                 std::max(r.top, own[f].top)};
        }
    });
    return regions;
}

bool allFacesPresent(const SixImage& panorama) {
    for (const auto& face : panorama.faces)
        if (face == nullptr || face->pixels == nullptr || face->width <= 0 || face->height <= 0) return false;
    return true;
}

// Blue-green-red as the faces store it becomes red-green-blue.
void swapRedBlue(std::uint8_t* samples, int count, int bpp) {
    for (int i = 0; i < count; ++i, samples += bpp) std::swap(samples[0], samples[2]);
}

// Two sub-rows of 2 w samples become one row of w pixels, averaged in linear light; the
// alpha of a 4-byte pixel is the plain mean.
void reduceBlocks(const std::uint8_t* lower, const std::uint8_t* upper, int w, int bpp, std::uint8_t* out) {
    for (int j = 0; j < w; ++j, lower += 2 * bpp, upper += 2 * bpp, out += bpp) {
        for (int k = 0; k < 3; ++k) {
            const unsigned sum = toLinear(lower[k]) + toLinear(lower[bpp + k]) + toLinear(upper[k]) +
                                 toLinear(upper[bpp + k]);
            out[k] = toGamma(sum / 4);
        }
        if (bpp == 4) out[3] = static_cast<std::uint8_t>((lower[3] + lower[7] + upper[3] + upper[7]) / 4);
    }
}

}  // namespace

void render(const SixImage& panorama, const Camera& camera, ViewBuffer& destination, int threads) {
    destination.allocate(camera);
    if (!destination.empty()) renderRect(panorama, camera, {0, 0}, camera.size, 4, destination.pixels(), threads);
}

void renderRect(const SixImage& panorama, const Camera& camera, Point origin, Size size, int bpp, std::uint8_t* buffer,
                int threads) {
    const int x0 = origin.x, y0 = origin.y, w = size.width, h = size.height;
    const int W = camera.size.width, H = camera.size.height;
    // A rectangle that is empty or leaves the full view, an unknown layout or no buffer:
    // nothing is rendered and no memory is touched.
    if (buffer == nullptr || (bpp != 3 && bpp != 4) || w <= 0 || h <= 0 || W <= 0 || H <= 0 || x0 < 0 ||
        y0 < 0 || static_cast<std::int64_t>(x0) + w > W || static_cast<std::int64_t>(y0) + h > H)
        return;

    const auto [start, across, up] = subSampleRays(camera, origin, size);

    const std::size_t subRowBytes = 2 * static_cast<std::size_t>(w) * bpp;
    const std::size_t rowBytes = static_cast<std::size_t>(w) * bpp;
    // Samples that meet a missing face are not written: they show white.
    const bool whiteFirst = !allFacesPresent(panorama);
    splitRows(h, threads, [&](std::int32_t from, std::int32_t to) {
        auto scratch = std::make_unique_for_overwrite<std::uint8_t[]>(2 * subRowBytes);
        std::memset(scratch.get(), 255, 2 * subRowBytes);
        std::uint8_t* subRows[2] = {scratch.get(), scratch.get() + subRowBytes};
        Vector3 ray = stepped(start, up, 2 * static_cast<std::int64_t>(from));
        for (int k = from; k < to; ++k) {
            for (std::uint8_t* subRow : subRows) {
                if (whiteFirst) std::memset(subRow, 255, subRowBytes);
                renderRow(panorama, ray, across, 2 * w, bpp, subRow);
                swapRedBlue(subRow, 2 * w, bpp);
                ray = add(ray, up);
            }
            const int row = h - 1 - k;
            reduceBlocks(subRows[0], subRows[1], w, bpp, buffer + static_cast<std::size_t>(row) * rowBytes);
        }
    });
}

namespace {
// The rays of a picture of size: the first pixel's, and the steps to the next column and row.
Rays viewRays(float heading, float pitch, FieldOfView fov, Size size) {
    const Quaternion q = viewOrientation(heading, pitch);
    const float tx = std::tan(fov[0] / 2.0f);
    const float ty = std::tan(fov[1] / 2.0f);
    const float width = static_cast<float>(size.width), height = static_cast<float>(size.height);
    const float twiceWidth = static_cast<float>(2 * static_cast<std::int64_t>(size.width));
    const float twiceHeight = static_cast<float>(2 * static_cast<std::int64_t>(size.height));
    return {rotate(q, {tx / twiceWidth - tx / 2.0f, ty / twiceHeight - ty / 2.0f, -0.5f}),
            rotate(q, {tx / width, 0, 0}), rotate(q, {0, ty / height, 0})};
}
}  // namespace

void renderViewToImage(const SixImage& panorama, const Camera& camera, BGRImage& image, int threads) {
    if (image.pixels != nullptr) renderViewToRows(panorama, camera, image.rows(), threads);
}

void renderViewToRows(const SixImage& panorama, const Camera& camera, const PixelRows& rows, int threads) {
    const int W = rows.width, H = rows.height;
    if (rows.bottom == nullptr || W <= 0 || H <= 0 || rows.bytesPerPixel < 3) return;
    const Rays rays = viewRays(camera.heading, camera.pitch, camera.fov, rows.size());
    splitRows(H, threads, [&](std::int32_t from, std::int32_t to) {
        Vector3 ray = stepped(rays.start, rays.up, from);
        for (int i = from; i < to; ++i) {
            renderRow(panorama, ray, rays.across, W, rows.bytesPerPixel, rows.row(i));
            ray = add(ray, rays.up);
        }
    });
}

void renderHalfViewToImage(const SixImage& panorama, const Camera& camera, BGRImage& image, int threads) {
    if (image.pixels != nullptr) renderHalfViewToRows(panorama, camera, image.rows(), threads);
}

void renderHalfViewToRows(const SixImage& panorama, const Camera& camera, const PixelRows& rows, int threads) {
    const int W = rows.width, H = rows.height, bpp = rows.bytesPerPixel;
    if (rows.bottom == nullptr || W <= 0 || H <= 0 || bpp < 3) return;
    const Size half{(W + 1) / 2, (H + 1) / 2};
    const Rays rays = viewRays(camera.heading, camera.pitch, camera.fov, half);
    const std::size_t rowBytes = static_cast<std::size_t>(bpp) * static_cast<std::size_t>(W);
    if (bpp == 4) {
        splitRows(half.height, threads, [&](std::int32_t from, std::int32_t to) {
            // Each sample is rendered once into a row of its own and stored as one 8-byte
            // word (the sample twice) into both rows of its block.
            std::vector<std::uint32_t> samples(static_cast<std::size_t>(half.width), 0xFFFFFFFFu);
            Vector3 ray = stepped(rays.start, rays.up, from);
            for (int i = from; i < to; ++i) {
                renderRow(panorama, ray, rays.across, half.width, 4, reinterpret_cast<std::uint8_t*>(samples.data()));
                ray = add(ray, rays.up);
                std::uint8_t* lower = rows.row(2 * i);
                std::uint8_t* upper = 2 * i + 1 < H ? rows.row(2 * i + 1) : lower;
                for (int k = 0; k < W / 2; ++k) {
                    const std::uint64_t pair = samples[k] | static_cast<std::uint64_t>(samples[k]) << 32;
                    std::memcpy(lower + 8 * static_cast<std::size_t>(k), &pair, 8);
                    std::memcpy(upper + 8 * static_cast<std::size_t>(k), &pair, 8);
                }
                if (W % 2 != 0) {
                    std::memcpy(lower + 4 * static_cast<std::size_t>(W - 1), &samples[W / 2], 4);
                    std::memcpy(upper + 4 * static_cast<std::size_t>(W - 1), &samples[W / 2], 4);
                }
            }
        });
        return;
    }
    splitRows(half.height, threads, [&](std::int32_t from, std::int32_t to) {
        Vector3 ray = stepped(rays.start, rays.up, from);
        for (int i = from; i < to; ++i) {
            // The half row goes to the start of the lower full row of its pair and is spread
            // from the end backwards, so that no sample is overwritten before it is read.
            std::uint8_t* row = rows.row(2 * i);
            renderRow(panorama, ray, rays.across, half.width, bpp, row);
            ray = add(ray, rays.up);
            for (int x = W - 1; x >= 0; --x) {
                const std::uint8_t* from3 = row + bpp * (x / 2);
                const std::uint8_t b = from3[0], g = from3[1], r = from3[2];
                std::uint8_t* to3 = row + bpp * x;
                to3[0] = b;
                to3[1] = g;
                to3[2] = r;
            }
            if (2 * i + 1 < H) std::memcpy(rows.row(2 * i + 1), row, rowBytes);
        }
    });
}

FaceRegions renderedRegions(const SixImage& panorama, const Camera& camera, int threads) {
    const Size size = camera.size;
    if (size.width <= 0 || size.height <= 0) return {};
    return regionsOfRows(panorama, subSampleRays(camera, {0, 0}, size), 2 * size.height, 2 * size.width, threads);
}

FaceRegions viewRegions(const SixImage& panorama, const Camera& camera, Size size, int threads) {
    if (size.width <= 0 || size.height <= 0) return {};
    return regionsOfRows(panorama, viewRays(camera.heading, camera.pitch, camera.fov, size), size.height, size.width,
                         threads);
}
