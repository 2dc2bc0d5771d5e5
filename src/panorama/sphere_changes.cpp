#include "panorama/sphere_changes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "image/gamma.h"
#include "panorama/face_changes.h"
#include "panorama/geometry.h"
#include "panorama/six_image.h"
#include "panorama/sphere.h"
#include "platform/work_pool.h"

namespace {

// The bounds and the longitude scale as the sphere conversion takes them, in single
// precision.
constexpr double halfPi = 1.5707963705062866;
constexpr double twoPi = static_cast<double>(2.0f * singlePi);
// Face pixels examined together when finding where changes land.
constexpr std::int32_t faceTile = 8;

struct Direction {
    double x, y, z;
};

// The world direction through point (s, t) of a face's plane: directionToFacePixel
// undone.
Direction facePoint(int face, double s, double t) {
    switch (face) {
    case Right: return {1, t, s};
    case Left: return {-1, t, -s};
    case Up: return {s, 1, t};
    case Down: return {s, -1, -t};
    case Back: return {-s, t, 1};
    default: return {s, t, -1};  // Front
    }
}

double longitudeOf(const Direction& d) { return std::atan2(d.x, -d.z); }
double latitudeOf(const Direction& d) { return std::atan2(d.y, std::hypot(d.x, d.z)); }

// The cells a rectangle of a face may reach, marked in candidates.
class CandidateMap {
public:
    CandidateMap(SphereCells& cells, std::int32_t width, std::int32_t height, double low, double high,
                 std::int32_t cellSide)
        : cells_(cells), width_(width), height_(height), low_(low), high_(high), cellSide_(cellSide) {}

    // The face's plane rectangle s0..s1 x t0..t1. Its latitudes are extreme at corners or
    // where a side crosses the face's centre lines; its longitudes at corners, unless it
    // holds the pole at the centre of Up or Down.
    void markRectangle(int face, double s0, double s1, double t0, double t1) {
        const double ss[3] = {s0, s1, std::clamp(0.0, s0, s1)}, ts[3] = {t0, t1, std::clamp(0.0, t0, t1)};
        double latMin = halfPi, latMax = -halfPi;
        for (double s : ss)
            for (double t : ts) {
                const double latitude = latitudeOf(facePoint(face, s, t));
                latMin = std::min(latMin, latitude);
                latMax = std::max(latMax, latitude);
            }
        const bool pole = (face == Up || face == Down) && s0 <= 0 && s1 >= 0 && t0 <= 0 && t1 >= 0;
        if (pole) (face == Up ? latMax : latMin) = face == Up ? halfPi : -halfPi;
        const double rowScale = height_ / (high_ - low_);
        const double rMin = (latMin - low_) * rowScale, rMax = (latMax - low_) * rowScale;
        // A pixel's sub-samples are a quarter in from its edges; one pixel more each side
        // covers the rounding of single-precision directions.
        const double firstRow = std::floor(rMin) - 1, lastRow = std::floor(rMax) + 1;
        if (lastRow < 0 || firstRow > height_ - 1) return;
        const std::int32_t bottomRow = static_cast<std::int32_t>(std::max(firstRow, 0.0));
        const std::int32_t topRow = static_cast<std::int32_t>(std::min(lastRow, height_ - 1.0));

        if (pole) {
            markColumns(bottomRow, topRow, 0, width_ - 1);
            return;
        }
        const double centre = longitudeOf(facePoint(face, (s0 + s1) / 2, (t0 + t1) / 2));
        double dMin = 0, dMax = 0;
        for (double s : {s0, s1})
            for (double t : {t0, t1}) {
                const double d = std::remainder(longitudeOf(facePoint(face, s, t)) - centre, 2 * M_PI);
                dMin = std::min(dMin, d);
                dMax = std::max(dMax, d);
            }
        const double cMin = ((centre + dMin) / twoPi + 0.5) * width_, cMax = ((centre + dMax) / twoPi + 0.5) * width_;
        const double first = std::floor(cMin) - 1, last = std::floor(cMax) + 1;
        if (last - first + 1 >= width_) {
            markColumns(bottomRow, topRow, 0, width_ - 1);
            return;
        }
        // Wrapped into the image: at most two runs.
        const auto wrap = [&](double c) {
            const double w = std::fmod(c, static_cast<double>(width_));
            return static_cast<std::int32_t>(w < 0 ? w + width_ : w);
        };
        const std::int32_t from = wrap(first), to = wrap(last);
        if (from <= to) {
            markColumns(bottomRow, topRow, from, to);
        } else {
            markColumns(bottomRow, topRow, from, width_ - 1);
            markColumns(bottomRow, topRow, 0, to);
        }
    }

private:
    // Rows bottomRow..topRow (bottom-up) and columns from..to, all inclusive.
    void markColumns(std::int32_t bottomRow, std::int32_t topRow, std::int32_t from, std::int32_t to) {
        const std::int32_t firstCellRow = (height_ - 1 - topRow) / cellSide_;
        const std::int32_t lastCellRow = (height_ - 1 - bottomRow) / cellSide_;
        for (std::int32_t y = firstCellRow; y <= lastCellRow; ++y)
            std::fill_n(cells_.touched.begin() + static_cast<std::ptrdiff_t>(y) * cells_.columns + from / cellSide_,
                        to / cellSide_ - from / cellSide_ + 1, std::uint8_t{1});
    }

    SphereCells& cells_;
    std::int32_t width_, height_;
    double low_, high_;
    std::int32_t cellSide_;
};

}  // namespace

SphereCells cubeToSphereChanges(const SixImage& panorama, const std::uint8_t* kept, std::uint8_t* pixels, std::int32_t width,
                                std::int32_t height, std::uint32_t stride, double bottom, double top,
                                const FaceChanges& changes, std::int32_t cellSide, int threads) {
    SphereCells cells;
    if (kept == nullptr || pixels == nullptr || width <= 0 || height <= 0 || cellSide <= 0) return cells;
    cells.columns = (width + cellSide - 1) / cellSide;
    cells.rows = (height + cellSide - 1) / cellSide;
    cells.touched.assign(static_cast<std::size_t>(cells.columns) * static_cast<std::size_t>(cells.rows), 0);
    FaceSizes sizes;
    for (int i = 0; i < faceCount; ++i) {
        const BGRImage* face = panorama.faces[i].get();
        if (face == nullptr || face->pixels == nullptr || face->width <= 0 || face->height <= 0) return cells;
        sizes[i] = face->size();
    }
    if (!changes.tracks(sizes)) {
        cubeToSphere(panorama, pixels, width, height, stride, 3, bottom, top, threads);
        std::fill(cells.touched.begin(), cells.touched.end(), std::uint8_t{1});
        return cells;
    }
    const double low = std::clamp(bottom, -halfPi, halfPi), high = std::clamp(top, -halfPi, halfPi);
    if (!(low < high)) return cells;

    // Where the changed tiles of each face land, generously.
    CandidateMap candidates(cells, width, height, low, high, cellSide);
    for (int face = 0; face < faceCount; ++face) {
        const Size size = sizes[face];
        for (std::int32_t row = 0; row < size.height; row += faceTile)
            for (std::int32_t column = 0; column < size.width; column += faceTile) {
                const std::int32_t right = std::min(column + faceTile, size.width);
                const std::int32_t upper = std::min(row + faceTile, size.height);
                if (!changes.anyChangedIn(face, column, row, right, upper)) continue;
                candidates.markRectangle(face, 2.0 * column / size.width - 1, 2.0 * right / size.width - 1,
                                         2.0 * row / size.height - 1, 2.0 * upper / size.height - 1);
            }
    }

    // Then every pixel of those cells exactly as the whole conversion samples it.
    std::vector<double> sinLongitude(2 * static_cast<std::size_t>(width));
    std::vector<double> cosLongitude(sinLongitude.size());
    for (std::size_t n = 0; n < sinLongitude.size(); ++n) {
        const double longitude = ((n / 2 + (n % 2 ? 0.75 : 0.25)) / width - 0.5) * twoPi;
        sinLongitude[n] = std::sin(longitude);
        cosLongitude[n] = std::cos(longitude);
    }
    const double span = high - low;
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int parts = std::clamp(threads, 1, std::max(cells.rows, 1));
    WorkPool pool(parts - 1);
    pool.run(parts, [&](int part) {
        const std::int32_t fromRow = static_cast<std::int32_t>(std::int64_t{cells.rows} * part / parts);
        const std::int32_t toRow = static_cast<std::int32_t>(std::int64_t{cells.rows} * (part + 1) / parts);
        for (std::int32_t cellRow = fromRow; cellRow < toRow; ++cellRow) {
            for (std::int32_t cellColumn = 0; cellColumn < cells.columns; ++cellColumn) {
                std::uint8_t& touched = cells.touched[static_cast<std::size_t>(cellRow) * cells.columns + cellColumn];
                if (!touched) continue;
                touched = 0;
                const std::int32_t firstColumn = cellColumn * cellSide;
                const std::int32_t endColumn = std::min(firstColumn + cellSide, width);
                const std::size_t cellBytes = 3 * static_cast<std::size_t>(endColumn - firstColumn);
                for (std::int32_t y = cellRow * cellSide; y < std::min((cellRow + 1) * cellSide, height); ++y) {
                    const std::int32_t i = height - 1 - y;  // rows are stored bottom-up
                    double sinLatitude[2], cosLatitude[2];
                    for (int m = 0; m < 2; ++m) {
                        const double latitude = low + (i + (m ? 0.75 : 0.25)) * span / height;
                        sinLatitude[m] = std::sin(latitude);
                        cosLatitude[m] = std::cos(latitude);
                    }
                    std::uint8_t* out = pixels + static_cast<std::size_t>(i) * stride;
                    const std::size_t start = 3 * static_cast<std::size_t>(firstColumn);
                    std::memcpy(out + start, kept + static_cast<std::size_t>(i) * stride + start, cellBytes);
                    for (std::int32_t j = firstColumn; j < endColumn; ++j) {
                        FacePixel hits[4];
                        bool changed = false;
                        for (int m = 0; m < 2; ++m)
                            for (int n = 2 * j; n < 2 * j + 2; ++n) {
                                const Vector3 direction{static_cast<float>(sinLongitude[n] * cosLatitude[m]),
                                                        static_cast<float>(sinLatitude[m]),
                                                        static_cast<float>(-cosLatitude[m] * cosLongitude[n])};
                                FacePixel& hit = hits[2 * m + n - 2 * j];
                                hit = directionToFacePixel(direction, sizes);
                                changed = changed || changes.changed(hit.face, hit.column, hit.row);
                            }
                        if (!changed) continue;
                        touched = 1;
                        // The average of the four sub-samples in linear light.
                        unsigned sum[3] = {0, 0, 0};
                        for (const FacePixel& hit : hits) {
                            const std::uint8_t* p = panorama.faces[hit.face]->row(hit.row) + 3 * static_cast<std::size_t>(hit.column);
                            for (int c = 0; c < 3; ++c) sum[c] += toLinear(p[c]);
                        }
                        std::uint8_t* pixel = out + 3 * static_cast<std::size_t>(j);
                        for (int c = 0; c < 3; ++c) pixel[c] = toGamma(sum[c] / 4);
                    }
                }
            }
        }
    });
    return cells;
}
