#include "panorama/sphere.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define DOMECAST_SPHERE_AVX2 1
#endif

#include "image/fast_math.h"
#include "image/gamma.h"
#include "panorama/geometry.h"
#include "panorama/longitude_column.h"
#include "panorama/six_image.h"
#include "platform/work_pool.h"

static_assert(std::tuple_size_v<FaceRegions> == faceCount);

namespace {

// Half and twice the single-precision pi: the bounds and the longitude scale must meet
// the angles the rest of the system computes in float.
constexpr double halfPi = 1.5707963705062866;
constexpr double twoPi = longitudeTurn;

struct Source {
    const std::uint8_t* pixels;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t stride;

    bool empty() const { return pixels == nullptr || width <= 0 || height <= 0; }
    const std::uint8_t* at(std::int32_t row, std::int32_t column) const {
        return pixels + static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(column) * 3;
    }
};

// rint(c - 0.5), held inside [0, count - 1]: a sample exactly on the top bound lands one
// past the last row, and odd bounds can land further out.
std::int32_t sourceIndex(double c, std::int32_t count) {
    const double index = roundHalfEven(c - 0.5);
    if (!(index > 0)) return 0;  // NaN included
    if (index >= count - 1) return count - 1;
    return static_cast<std::int32_t>(index);
}

// Face-plane coordinate 2 c / n - 1 of the sub-sample at c pixels.
double planeCoordinate(double c, std::int32_t n) { return 2.0 * c / n - 1.0; }

// Per-channel sum of sub-samples in linear light.
struct LinearSum {
    std::uint32_t channel[3] = {0, 0, 0};

    void add(const std::uint8_t* pixel) {
        channel[0] += toLinear(pixel[0]);
        channel[1] += toLinear(pixel[1]);
        channel[2] += toLinear(pixel[2]);
    }
    // The average of four samples.
    void store(std::uint8_t* pixel) const {
        pixel[0] = toGamma(channel[0] / 4);
        pixel[1] = toGamma(channel[1] / 4);
        pixel[2] = toGamma(channel[2] / 4);
    }
};

// The image's vertical coordinate (latitude or cylinder height) between its bounds, and
// the source row it falls in.
struct Extent {
    double low;
    double high;
    double scale;  // 1 / (high - low)
    std::int32_t rows;

    std::int32_t row(double v) const { return sourceIndex(static_cast<double>(rows) * (v - low) * scale, rows); }

    // row() of n values.
    void rowsOf(const double* v, std::int32_t* out, std::size_t n) const {
        std::size_t i = 0;
#ifdef DOMECAST_SPHERE_AVX2
        if (processorHasAvx2()) i = rowsOfAvx2(v, out, n);
#endif
        for (; i < n; ++i) out[i] = row(v[i]);
    }

#ifdef DOMECAST_SPHERE_AVX2
    // row() four values at a time, for the largest multiple of four not above n, which it
    // returns. The rounding differs from roundHalfEven only in the sign of a zero, which
    // the clamp drops.
    [[gnu::target("avx2")]] std::size_t rowsOfAvx2(const double* v, std::int32_t* out, std::size_t n) const {
        const __m256d count = _mm256_set1_pd(rows), bottom = _mm256_set1_pd(low), factor = _mm256_set1_pd(scale);
        const __m256d half = _mm256_set1_pd(0.5), zero = _mm256_setzero_pd(), last = _mm256_set1_pd(rows - 1);
        std::size_t i = 0;
        for (; i + 4 <= n; i += 4) {
            const __m256d height = _mm256_mul_pd(count, _mm256_sub_pd(_mm256_loadu_pd(v + i), bottom));
            const __m256d c = _mm256_sub_pd(_mm256_mul_pd(height, factor), half);
            __m256d index = _mm256_round_pd(c, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
            index = _mm256_and_pd(index, _mm256_cmp_pd(index, zero, _CMP_GT_OQ));  // NaN and below 0 to 0
            index = _mm256_min_pd(index, last);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_cvttpd_epi32(index));
        }
        return i;
    }
#endif
};

Extent clampedExtent(double bottom, double top, std::int32_t rows) {
    bottom = std::clamp(bottom, -halfPi, halfPi);
    top = std::clamp(top, -halfPi, halfPi);
    return {bottom, top, 1.0 / (top - bottom), rows};
}

// Latitude on the sphere: the arc tangent of the tangent stepped up a side column (sides
// turns n tangents into latitudes in place), and pi/2 - atan(r) at distance r from the
// centre of Up.
struct SphereMapping {
    static void sides(double* tangents, std::size_t n) { fastAtan(tangents, tangents, n); }
    static double cap(float r) { return halfPi - fastAtan(r); }
};

// Height on the unit cylinder: the stepped tangent itself, and 1/r on Up.
struct CylinderMapping {
    static void sides(double*, std::size_t) {}
    static double cap(float r) { return 1.0 / r; }
};

// The sub-columns of a face's side columns, two a column (2 k + i for i = 0, 1): the
// tangent of the vertical angle, t / sqrt(s^2 + 1), stepped up from the bottom row by row,
// and whether the column has left the top of the image.
struct SideColumns {
    std::vector<double> tangent;
    std::vector<double> step;
    std::vector<char> stopped;  // one a column

    SideColumns(std::int32_t width, std::int32_t height)
        : tangent(2 * static_cast<std::size_t>(width)), step(tangent.size()),
          stopped(static_cast<std::size_t>(width), 0) {
        for (std::size_t n = 0; n < tangent.size(); ++n) {
            const double s = planeCoordinate(static_cast<double>(n / 2) + (n % 2 ? 0.75 : 0.25), width);
            const double d = std::sqrt(s * s + 1.0);
            step[n] = 2.0 / (d * height);
            tangent[n] = -1.0 / d + step[n] / 4;
        }
    }
};

// Front, Back, Left, Right: each spans a quarter of the width, starting that many
// eighths of the way across.
constexpr int sideFaces[4] = {Front, Back, Left, Right};
constexpr int sideEighths[4] = {3, 7, 1, 5};

bool hasPixels(const BGRImage* face) {
    return face != nullptr && face->pixels != nullptr && face->width > 0 && face->height > 0;
}

// The face's pixels within region, which is clipped to the face.
FaceRegion clipped(const FaceRegion& region, const BGRImage& face) {
    FaceRegion r{std::clamp(region.left, 0, face.width), std::clamp(region.bottom, 0, face.height),
                 std::clamp(region.right, 0, face.width), std::clamp(region.top, 0, face.height)};
    if (r.empty()) r = {};
    return r;
}

bool inside(const FaceRegion& r, std::int32_t column, std::int32_t row) {
    return column >= r.left && column < r.right && row >= r.bottom && row < r.top;
}

// Walks the faces row by row, so that neighbouring face pixels read neighbouring source
// pixels; each column keeps its own tangent.
template <class Mapping>
void sidesToCube(SixImage& panorama, const Source& source, const Extent& extent, const FaceRegions& regions,
                 int threads) {
    bool done[4] = {false, false, false, false};
    for (int first = 0; first < 4; ++first) {
        if (done[first] || !hasPixels(panorama.faces[sideFaces[first]].get())) continue;
        // Faces of one size share every row decision: only their longitudes differ.
        const Size size = panorama.faces[sideFaces[first]]->size();
        std::vector<BGRImage*> group;
        std::vector<FaceRegion> groupRegions;
        std::vector<std::vector<std::int32_t>> columns;  // per face: two per face column
        SideColumns sides(size.width, size.height);
        for (int f = first; f < 4; ++f) {
            BGRImage* face = panorama.faces[sideFaces[f]].get();
            if (done[f] || !hasPixels(face) || face->size() != size) continue;
            done[f] = true;
            const FaceRegion region = clipped(regions[sideFaces[f]], *face);
            if (region.empty()) continue;
            group.push_back(face);
            groupRegions.push_back(region);
            const std::int64_t offset = static_cast<std::int64_t>(source.width) * sideEighths[f] / 8;
            std::vector<std::int32_t>& faceColumns = columns.emplace_back(2 * static_cast<std::size_t>(size.width));
            for (std::int32_t k = 0; k < size.width; ++k)
                for (int i = 0; i < 2; ++i) {
                    const double s = planeCoordinate(k + (i ? 0.75 : 0.25), size.width);
                    faceColumns[2 * k + i] =
                        sourceColumn((fastAtan(s) / twoPi + 0.125) * source.width, offset, source.width);
                }
        }
        if (group.empty()) continue;
        // The columns and rows any face of the group wants; a column is stepped up from
        // the bottom row, so every row below the highest wanted one is walked.
        FaceRegion wanted = groupRegions[0];
        for (const FaceRegion& r : groupRegions) {
            wanted.left = std::min(wanted.left, r.left);
            wanted.right = std::max(wanted.right, r.right);
            wanted.top = std::max(wanted.top, r.top);
        }
        splitRows(wanted.right - wanted.left, threads, [&](std::int32_t begin, std::int32_t end) {
            const std::int32_t from = wanted.left + begin, to = wanted.left + end;
            // A row's sub-columns of the range: first the bottoms of their samples (lower),
            // then their middles (upper), turned into the image's vertical coordinate
            // together in one call.
            const std::size_t first = 2 * static_cast<std::size_t>(from), count = 2 * static_cast<std::size_t>(to - from);
            std::vector<double> vertical(2 * count);
            std::vector<std::int32_t> sourceRows(vertical.size());
            double* const lowers = vertical.data();
            double* const uppers = lowers + count;
            double* const tangent = sides.tangent.data() + first;
            const double* const step = sides.step.data() + first;
            std::int32_t running = to - from;
            for (std::int32_t j = 0; j < wanted.top && running > 0; ++j) {
                // Stopped columns are stepped too: their values are never read again.
                for (std::size_t n = 0; n < count; ++n) {
                    lowers[n] = tangent[n];
                    uppers[n] = tangent[n] + step[n] / 2;
                    tangent[n] += step[n];
                }
                Mapping::sides(vertical.data(), vertical.size());
                extent.rowsOf(vertical.data(), sourceRows.data(), vertical.size());
                for (std::int32_t k = from; k < to; ++k) {
                    char& stopped = sides.stopped[k];
                    if (stopped) continue;
                    const double* lower = lowers + 2 * static_cast<std::size_t>(k - from);
                    const double* upper = uppers + 2 * static_cast<std::size_t>(k - from);
                    if (lower[0] < extent.low || lower[1] < extent.low) continue;
                    if (upper[0] > extent.high || upper[1] > extent.high) {
                        stopped = 1;
                        --running;
                        continue;
                    }
                    const std::int32_t* lowerRow = sourceRows.data() + 2 * static_cast<std::size_t>(k - from);
                    const std::int32_t* upperRow = lowerRow + count;
                    for (std::size_t g = 0; g < group.size(); ++g) {
                        if (!inside(groupRegions[g], k, j)) continue;
                        const std::int32_t* column = &columns[g][2 * static_cast<std::size_t>(k)];
                        LinearSum sum;
                        for (int i = 0; i < 2; ++i) {
                            sum.add(source.at(lowerRow[i], column[i]));
                            sum.add(source.at(upperRow[i], column[i]));
                        }
                        sum.store(group[g]->row(j) + 3 * static_cast<std::size_t>(k));
                    }
                }
            }
        });
    }
}

// The source rows of a cap's sub-samples. The vertical coordinate depends on the distance
// r from the face's centre alone, and fastSqrt gives r to 7 mantissa bits: a face holds
// few distinct values of r, and each one's row is worked out once. -1 marks a distance
// whose vertical coordinate lies beyond the extent.
template <class Mapping>
class CapRows {
public:
    // For the distances fastSqrt gives from s^2 + u^2 with |s| and |u| between the bounds.
    CapRows(const Extent& extent, bool up, float smallest, float largest) : extent_(extent), up_(up) {
        first_ = key(fastSqrt(smallest * smallest + smallest * smallest));
        const std::uint32_t last = key(fastSqrt(largest * largest + largest * largest));
        for (std::uint32_t k = first_; k <= last && k >= first_; ++k)
            rows_.push_back(compute(std::bit_cast<float>(k << 16)));
    }

    std::int32_t row(float r) const {
        const std::uint32_t index = key(r) - first_;
        return index < rows_.size() ? rows_[index] : compute(r);
    }

private:
    // fastSqrt leaves the low 16 bits of its results clear.
    static std::uint32_t key(float r) { return std::bit_cast<std::uint32_t>(r) >> 16; }

    std::int32_t compute(float r) const {
        const double v = Mapping::cap(r);
        const double vertical = up_ ? v : -v;
        if (up_ ? vertical > extent_.high : vertical < extent_.low) return -1;
        return extent_.row(vertical);
    }

    Extent extent_;
    bool up_;
    std::uint32_t first_ = 0;
    std::vector<std::int32_t> rows_;
};

// The smallest and largest magnitude of the sub-sample coordinates across n pixels.
std::pair<float, float> coordinateBounds(std::int32_t n) {
    float smallest = 1, largest = 0;
    for (std::int32_t k = 0; k < n; ++k)
        for (double c : {k + 0.25, k + 0.75}) {
            const float a = std::fabs(static_cast<float>(planeCoordinate(c, n)));
            smallest = std::min(smallest, a);
            largest = std::max(largest, a);
        }
    return {smallest, largest};
}

// Up and Down: the vertical coordinate follows the distance r from the face's centre,
// the longitude the direction from it.
template <class Mapping>
void capsToCube(SixImage& panorama, const Source& source, const Extent& extent, const FaceRegions& regions,
                int threads) {
    std::vector<float> across;
    for (int face : {Up, Down}) {
        BGRImage* target = panorama.faces[face].get();
        if (!hasPixels(target)) continue;
        const FaceRegion region = clipped(regions[face], *target);
        if (region.empty()) continue;
        const bool up = face == Up;
        const auto [smallestAcross, largestAcross] = coordinateBounds(target->width);
        const auto [smallestUp, largestUp] = coordinateBounds(target->height);
        const CapRows<Mapping> capRows(extent, up, std::min(smallestAcross, smallestUp),
                                       std::max(largestAcross, largestUp));
        across.resize(2 * static_cast<std::size_t>(target->width));
        for (std::int32_t k = 0; k < target->width; ++k) {
            across[2 * k] = static_cast<float>(planeCoordinate(k + 0.25, target->width));
            across[2 * k + 1] = static_cast<float>(planeCoordinate(k + 0.75, target->width));
        }
        splitRows(region.top - region.bottom, threads, [&](std::int32_t begin, std::int32_t end) {
            for (std::int32_t j = region.bottom + begin; j < region.bottom + end; ++j) {
                const float t[2] = {static_cast<float>(planeCoordinate(j + 0.25, target->height)),
                                    static_cast<float>(planeCoordinate(j + 0.75, target->height))};
                std::uint8_t* out = target->row(j) + 3 * static_cast<std::size_t>(region.left);
                for (std::int32_t k = region.left; k < region.right; ++k, out += 3) {
                    std::int32_t rows[4];
                    bool outside = false;
                    for (int n = 0; n < 4; ++n) {
                        const float s = across[2 * k + (n & 1)], u = t[n >> 1];
                        rows[n] = capRows.row(fastSqrt(s * s + u * u));
                        outside = outside || rows[n] < 0;
                    }
                    if (outside) continue;
                    LinearSum sum;
                    for (int n = 0; n < 4; ++n) {
                        const float s = across[2 * k + (n & 1)], u = t[n >> 1];
                        const std::int32_t column =
                            fastLongitudeColumn(static_cast<double>(s), static_cast<double>(up ? -u : u), source.width);
                        sum.add(source.at(rows[n], column));
                    }
                    sum.store(out);
                }
            }
        });
    }
}

template <class Mapping>
void imageToCube(SixImage& panorama, const Source& source, const Extent& extent, const FaceRegions& regions,
                 int threads) {
    // An empty or inverted extent (NaN bounds included) holds nothing to sample.
    if (!source.empty() && extent.low < extent.high) {
        sidesToCube<Mapping>(panorama, source, extent, regions, threads);
        capsToCube<Mapping>(panorama, source, extent, regions, threads);
    }
    panorama.modified = 1;
}

FaceRegions wholeFaces() {
    constexpr std::int32_t all = std::numeric_limits<std::int32_t>::max();
    FaceRegions regions;
    regions.fill({0, 0, all, all});
    return regions;
}

Extent cylinderExtent(double bottom, double top, std::int32_t height) {
    const Extent angles = clampedExtent(bottom, top, height);
    const double low = std::tan(angles.low), high = std::tan(angles.high);
    return {low, high, 1.0 / (high - low), height};
}

}  // namespace

void sphereToCube(SixImage& panorama, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                  std::uint32_t stride, double bottom, double top, int threads) {
    imageToCube<SphereMapping>(panorama, {pixels, width, height, stride}, clampedExtent(bottom, top, height),
                               wholeFaces(), threads);
}

void cylinderToCube(SixImage& panorama, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                    std::uint32_t stride, double bottom, double top, int threads) {
    imageToCube<CylinderMapping>(panorama, {pixels, width, height, stride}, cylinderExtent(bottom, top, height),
                                 wholeFaces(), threads);
}

void sphereToCubeRegions(SixImage& panorama, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                         std::uint32_t stride, double bottom, double top, const FaceRegions& regions, int threads) {
    imageToCube<SphereMapping>(panorama, {pixels, width, height, stride}, clampedExtent(bottom, top, height), regions,
                               threads);
}

void cylinderToCubeRegions(SixImage& panorama, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                           std::uint32_t stride, double bottom, double top, const FaceRegions& regions,
                           int threads) {
    imageToCube<CylinderMapping>(panorama, {pixels, width, height, stride}, cylinderExtent(bottom, top, height),
                                 regions, threads);
}

void fillFaceRegions(SixImage& panorama, const FaceRegions& regions, int threads) {
    if (panorama.unconverted == nullptr || panorama.unconverted->picture == nullptr) return;
    const UnconvertedPicture& source = *panorama.unconverted;
    const RawImage& image = *source.picture;
    (source.cylinder ? cylinderToCubeRegions : sphereToCubeRegions)(panorama, image.pixels, image.width, image.height,
                                                                   image.stride, source.bottom, source.top, regions,
                                                                   threads);
}

void cubeToSphere(const SixImage& panorama, std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                  std::uint32_t stride, std::int32_t bytesPerPixel, double bottom, double top, int threads,
                  const KeptPicture* kept) {
    cubeToSphereFromTop(panorama, pixels, width, height, stride, bytesPerPixel, bottom, top, height,
                        [](std::int32_t) { return true; }, threads, kept);
}

void cubeToSphereFromTop(const SixImage& panorama, std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                         std::uint32_t stride, std::int32_t bytesPerPixel, double bottom, double top,
                         std::int32_t bandRows, const std::function<bool(std::int32_t rowsFromTop)>& made,
                         int threads, const KeptPicture* kept) {
    if (pixels == nullptr || width <= 0 || height <= 0 || bytesPerPixel < 3) return;
    if (kept != nullptr && (kept->pixels == nullptr || kept->changes == nullptr)) kept = nullptr;
    FaceSizes sizes;
    for (int i = 0; i < faceCount; ++i) {
        if (!hasPixels(panorama.faces[i].get())) return;
        sizes[i] = panorama.faces[i]->size();
    }
    const Extent extent = clampedExtent(bottom, top, height);
    const double span = extent.high - extent.low;

    // Exact sines and cosines once per sub-column and once per sub-row.
    std::vector<double> sinLongitude(2 * static_cast<std::size_t>(width));
    std::vector<double> cosLongitude(sinLongitude.size());
    for (std::size_t n = 0; n < sinLongitude.size(); ++n) {
        const double longitude = ((n / 2 + (n % 2 ? 0.75 : 0.25)) / width - 0.5) * twoPi;
        sinLongitude[n] = std::sin(longitude);
        cosLongitude[n] = std::cos(longitude);
    }
    const auto convertRows = [&](std::int32_t from, std::int32_t to) {
        for (std::int32_t i = from; i < to; ++i) {
            double sinLatitude[2], cosLatitude[2];
            for (int m = 0; m < 2; ++m) {
                const double latitude = extent.low + (i + (m ? 0.75 : 0.25)) * span / height;
                sinLatitude[m] = std::sin(latitude);
                cosLatitude[m] = std::cos(latitude);
            }
            std::uint8_t* out = pixels + static_cast<std::size_t>(i) * stride;
            const std::uint8_t* keep = kept != nullptr ? kept->pixels + static_cast<std::size_t>(i) * kept->stride : nullptr;
            for (std::int32_t j = 0; j < width; ++j, out += bytesPerPixel) {
                FacePixel hits[4];
                bool changed = keep == nullptr;
                for (int m = 0; m < 2; ++m)
                    for (int n = 2 * j; n < 2 * j + 2; ++n) {
                        const Vector3 direction{static_cast<float>(sinLongitude[n] * cosLatitude[m]),
                                                static_cast<float>(sinLatitude[m]),
                                                static_cast<float>(-cosLatitude[m] * cosLongitude[n])};
                        FacePixel& hit = hits[2 * m + n - 2 * j];
                        hit = directionToFacePixel(direction, sizes);
                        changed = changed || kept->changes->changed(hit.face, hit.column, hit.row);
                    }
                if (!changed) {
                    std::memcpy(out, keep + 3 * static_cast<std::size_t>(j), 3);
                    continue;
                }
                LinearSum sum;
                for (const FacePixel& hit : hits)
                    sum.add(panorama.faces[hit.face]->row(hit.row) + 3 * static_cast<std::size_t>(hit.column));
                sum.store(out);
            }
        }
    };
    bandRows = std::clamp(bandRows, 1, height);
    for (std::int32_t done = 0; done < height;) {
        const std::int32_t band = std::min(bandRows, height - done);
        // Memory rows run bottom-up: the band below the rows made so far.
        const std::int32_t first = height - done - band;
        splitRows(band, threads, [&](std::int32_t from, std::int32_t to) { convertRows(first + from, first + to); });
        done += band;
        if (!made(done)) return;
    }
}

float sphereVerticalExtent(std::int32_t width, std::int32_t height) {
    if (width <= 0) return 0.0f;
    return static_cast<float>(height) * singlePi * 2.0f / static_cast<float>(width);
}
