#include "panorama/sphere.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>

#include "image/bgr_image.h"
#include "image/gamma.h"
#include "panorama/geometry.h"
#include "panorama/six_image.h"

namespace {

constexpr double halfPi = 1.5707963705062866;

struct Colour {
    std::uint8_t b, g, r;
    friend bool operator==(const Colour&, const Colour&) = default;
};

std::ostream& operator<<(std::ostream& out, const Colour& c) {
    return out << "(" << int(c.b) << ", " << int(c.g) << ", " << int(c.r) << ")";
}

Colour pixelAt(const BGRImage& image, int column, int row) {
    const std::uint8_t* p = image.row(row) + 3 * column;
    return {p[0], p[1], p[2]};
}

bool isWhite(const BGRImage& image, int column, int row) { return pixelAt(image, column, row) == Colour{255, 255, 255}; }

// What four equal samples average to: one trip through linear light.
Colour throughLinear(Colour c) { return {toGamma(toLinear(c.b)), toGamma(toLinear(c.g)), toGamma(toLinear(c.r))}; }

std::unique_ptr<RawImage> filledImage(Size size, const std::function<Colour(int column, int row)>& colour) {
    auto image = std::make_unique<RawImage>(size);
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const Colour c = colour(x, y);
            std::uint8_t* p = image->row(y) + 3 * x;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    return image;
}

std::unique_ptr<RawImage> uniformImage(Size size, Colour c) {
    return filledImage(size, [c](int, int) { return c; });
}

// A panorama of six faces of one colour, as the loaders create them (white) or with a
// marker that shows which pixels a conversion left alone.
std::unique_ptr<SixImage> uniformCube(int side, Colour c = {255, 255, 255}) {
    auto cube = std::make_unique<SixImage>();
    for (auto& face : cube->faces) face = uniformImage({side, side}, c);
    return cube;
}

// Sources of mid-range colours that vary in every direction and are never white.
Colour varied(int column, int row) {
    return {static_cast<std::uint8_t>(30 + column % 200), static_cast<std::uint8_t>(20 + row % 220),
            static_cast<std::uint8_t>(40 + (column + row) % 180)};
}

int countWhite(const BGRImage& face) {
    int white = 0;
    for (int y = 0; y < face.height; ++y)
        for (int x = 0; x < face.width; ++x) white += isWhite(face, x, y);
    return white;
}

// Face-plane coordinate of a pixel centre.
double centre(int i, int n) { return (2.0 * i + 1) / n - 1; }

void sphereFromImage(SixImage& cube, const RawImage& image, double bottom, double top) {
    sphereToCube(cube, image.pixels, image.width, image.height, image.stride, bottom, top);
}

TEST(SphereToCube, FullSphereFillsEveryFacePixel) {
    const auto image = filledImage({1024, 512}, varied);
    const auto cube = uniformCube(256);
    sphereFromImage(*cube, *image, -halfPi, halfPi);
    for (int face = 0; face < faceCount; ++face) EXPECT_EQ(countWhite(*cube->faces[face]), 0) << "face " << face;
    EXPECT_EQ(cube->modified, 1);
}

TEST(SphereToCube, FaceCentresSampleTheirLongitudes) {
    // Blue tells the source column (column / 4), green the row (row / 2).
    const auto image = filledImage({1024, 512}, [](int column, int row) {
        return Colour{static_cast<std::uint8_t>(column / 4), static_cast<std::uint8_t>(row / 2), 77};
    });
    const auto cube = uniformCube(256);
    sphereFromImage(*cube, *image, -halfPi, halfPi);
    // Column 128 of a side face lies just right of its centre; all four sub-samples fall
    // in one source pixel on the horizon.
    const struct {
        int face;
        int sourceColumn;
    } sides[] = {{Front, 512}, {Right, 768}, {Back, 0}, {Left, 256}};
    for (const auto& side : sides) {
        const Colour expected = throughLinear({static_cast<std::uint8_t>(side.sourceColumn / 4), 128, 77});
        EXPECT_EQ(pixelAt(*cube->faces[side.face], 128, 128), expected) << "face " << side.face;
    }
    // The caps' centres read the top and bottom rows.
    EXPECT_EQ(pixelAt(*cube->faces[Up], 128, 128).g, throughLinear({0, 255, 0}).g);
    EXPECT_EQ(pixelAt(*cube->faces[Down], 128, 128).g, 0);
}

TEST(SphereToCube, AveragesInLinearLight) {
    // Black and white source columns: where a face pixel's two sub-columns fall on
    // different source columns, two black and two white samples average to half the
    // light, not to half the byte value.
    const auto image = filledImage({1024, 512}, [](int column, int) {
        const std::uint8_t v = column % 2 ? 255 : 0;
        return Colour{v, v, v};
    });
    const auto cube = uniformCube(256);
    sphereFromImage(*cube, *image, -halfPi, halfPi);
    const std::uint8_t half = toGamma((2 * toLinear(255)) / 4);
    ASSERT_GT(half, 170);
    int mixed = 0;
    for (int x = 0; x < 256; ++x) {
        const Colour p = pixelAt(*cube->faces[Front], x, 128);
        ASSERT_TRUE(p.b == 0 || p.b == 255 || p.b == half) << x << " " << p;
        mixed += p.b == half;
    }
    EXPECT_GT(mixed, 10);
}

TEST(SphereToCube, HalfHeightSphereLeavesThePolesWhite) {
    // 1024 x 256 spans 90 degrees: latitudes from -45 to +45.
    const auto image = filledImage({1024, 256}, varied);
    const float extent = sphereVerticalExtent(image->width, image->height);
    ASSERT_FLOAT_EQ(extent, static_cast<float>(halfPi));
    const auto cube = uniformCube(256);
    sphereFromImage(*cube, *image, -extent / 2, extent / 2);
    for (int face : {Front, Back, Left, Right}) EXPECT_EQ(countWhite(*cube->faces[face]), 0) << "face " << face;
    // On the caps, latitude 45 degrees is the circle r = 1 about the centre; pixels near
    // it go either way, as r comes from a square root good to 7 bits.
    for (int face : {Up, Down}) {
        int inside = 0, outside = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const double r = std::hypot(centre(x, 256), centre(y, 256));
                if (r < 0.97) {
                    ASSERT_TRUE(isWhite(*cube->faces[face], x, y)) << "face " << face << " at " << x << "," << y;
                    ++inside;
                } else if (r > 1.03) {
                    ASSERT_FALSE(isWhite(*cube->faces[face], x, y)) << "face " << face << " at " << x << "," << y;
                    ++outside;
                }
            }
        EXPECT_GT(inside, 40000);
        EXPECT_GT(outside, 10000);
    }
}

TEST(SphereToCube, PixelWhoseLowerHalfIsBelowTheImageKeepsItsColour) {
    // The bottom bound falls between the lower and upper sub-rows of Front's row 40 in
    // the middle columns, so only its upper sub-samples are inside the image.
    const Colour marker{200, 100, 50}, source{90, 160, 210};
    const auto image = uniformImage({1024, 512}, source);
    const auto cube = uniformCube(256, marker);
    const double bottom = std::atan(centre(40, 256));
    sphereFromImage(*cube, *image, bottom, halfPi);
    const BGRImage& front = *cube->faces[Front];
    for (int column : {126, 127, 128, 129}) {
        EXPECT_EQ(pixelAt(front, column, 39), marker) << column;
        EXPECT_EQ(pixelAt(front, column, 40), marker) << column;
        EXPECT_EQ(pixelAt(front, column, 41), throughLinear(source)) << column;
    }
    EXPECT_EQ(pixelAt(*cube->faces[Up], 128, 128), throughLinear(source));
    EXPECT_EQ(pixelAt(*cube->faces[Down], 128, 128), marker);
}

TEST(CylinderToCube, SixtyDegreesFillsOnlyTheSidesNearTheHorizon) {
    const auto image = filledImage({1024, 256}, varied);
    const double half = 60 * degToRad / 2;
    const auto cube = uniformCube(256);
    cylinderToCube(*cube, image->pixels, image->width, image->height, image->stride, -half, half);
    // On a side face the cylinder's height at a pixel is t / sqrt(s^2 + 1).
    const double bound = std::tan(half);
    for (int face : {Front, Back, Left, Right}) {
        int filled = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const double height = centre(y, 256) / std::hypot(centre(x, 256), 1.0);
                if (std::fabs(height) < bound - 2.0 / 256) {
                    ASSERT_FALSE(isWhite(*cube->faces[face], x, y)) << "face " << face << " at " << x << "," << y;
                    ++filled;
                } else if (std::fabs(height) > bound + 2.0 / 256) {
                    ASSERT_TRUE(isWhite(*cube->faces[face], x, y)) << "face " << face << " at " << x << "," << y;
                }
            }
        EXPECT_GT(filled, 256 * 120);
    }
    for (int face : {Up, Down}) EXPECT_EQ(countWhite(*cube->faces[face]), 256 * 256) << "face " << face;
    EXPECT_EQ(cube->modified, 1);
}

TEST(CylinderToCube, NearlyFullCylinderReachesIntoTheCaps) {
    // 170 degrees: heights up to tan(85 degrees) cover the caps beyond r = tan(5 degrees).
    const auto image = filledImage({1024, 512}, varied);
    const double half = 85 * degToRad;
    const auto cube = uniformCube(256);
    cylinderToCube(*cube, image->pixels, image->width, image->height, image->stride, -half, half);
    for (int face : {Up, Down}) {
        EXPECT_TRUE(isWhite(*cube->faces[face], 128, 128)) << "face " << face;
        EXPECT_FALSE(isWhite(*cube->faces[face], 128, 200)) << "face " << face;
        EXPECT_FALSE(isWhite(*cube->faces[face], 0, 0)) << "face " << face;
    }
    for (int face : {Front, Back, Left, Right}) EXPECT_EQ(countWhite(*cube->faces[face]), 0) << "face " << face;
}

TEST(CubeToSphere, MiddleColumnShowsFrontAndThreeQuartersShowsRight) {
    // Each face pixel tells its face (red) and column (blue); green is constant, so rows
    // mix without changing the colour.
    const auto cube = std::make_unique<SixImage>();
    for (int face = 0; face < faceCount; ++face)
        cube->faces[face] = filledImage({256, 256}, [face](int column, int) {
            return Colour{static_cast<std::uint8_t>(column), 99, static_cast<std::uint8_t>(40 * face + 20)};
        });
    RawImage sphere({1024, 512});
    cubeToSphere(*cube, sphere.pixels, sphere.width, sphere.height, sphere.stride, 3, -halfPi, halfPi);
    const struct {
        int sphereColumn;
        int face;
    } cases[] = {{512, Front}, {768, Right}};
    for (const auto& c : cases) {
        const Colour expected = throughLinear({128, 99, static_cast<std::uint8_t>(40 * c.face + 20)});
        // Rows within 40 degrees of the horizon.
        for (int row = 256 - 113; row < 256 + 113; ++row)
            ASSERT_EQ(pixelAt(sphere, c.sphereColumn, row), expected) << "column " << c.sphereColumn << " row " << row;
    }
    // Back is at both edges; the poles come from the caps.
    EXPECT_EQ(pixelAt(sphere, 0, 256).r, throughLinear({0, 0, 40 * Back + 20}).r);
    EXPECT_EQ(pixelAt(sphere, 1023, 256).r, throughLinear({0, 0, 40 * Back + 20}).r);
    EXPECT_EQ(pixelAt(sphere, 512, 511).r, throughLinear({0, 0, 40 * Up + 20}).r);
    EXPECT_EQ(pixelAt(sphere, 512, 0).r, throughLinear({0, 0, 40 * Down + 20}).r);
}

TEST(CubeToSphere, WritesOnlyTheFirstThreeBytesOfWiderPixels) {
    const auto cube = uniformCube(16, {10, 150, 240});
    const int width = 64, height = 32, stride = 4 * width;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * height, 7);
    cubeToSphere(*cube, pixels.data(), width, height, stride, 4, -halfPi, halfPi);
    const Colour expected = throughLinear({10, 150, 240});
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        ASSERT_EQ((Colour{pixels[i], pixels[i + 1], pixels[i + 2]}), expected) << i;
        ASSERT_EQ(pixels[i + 3], 7) << i;
    }
}

// A colour that is a smooth function of the direction, so that it has no seam at the
// edges of the image and no singularity at the poles.
Colour smoothAt(double longitude, double latitude) {
    const double x = std::sin(longitude) * std::cos(latitude), y = std::sin(latitude),
                 z = -std::cos(latitude) * std::cos(longitude);
    return {static_cast<std::uint8_t>(std::lround(128 + 80 * x)), static_cast<std::uint8_t>(std::lround(128 + 80 * y)),
            static_cast<std::uint8_t>(std::lround(128 + 60 * z + 20 * x * y))};
}

TEST(SphereRoundTrip, SmoothImageComesBackClose) {
    const int width = 1024, height = 512;
    const auto original = filledImage({width, height}, [](int column, int row) {
        return smoothAt(((column + 0.5) / width - 0.5) * 2 * halfPi * 2, ((row + 0.5) / height - 0.5) * 2 * halfPi);
    });
    const auto cube = uniformCube(width / 4);
    sphereFromImage(*cube, *original, -halfPi, halfPi);
    RawImage back({width, height});
    cubeToSphere(*cube, back.pixels, width, height, back.stride, 3, -halfPi, halfPi);

    double total = 0;
    int worst = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 3 * width; ++x) {
            const int error = std::abs(original->row(y)[x] - back.row(y)[x]);
            total += error;
            worst = std::max(worst, error);
        }
    const double mean = total / (3.0 * width * height);
    RecordProperty("meanError", std::to_string(mean));
    RecordProperty("worstError", worst);
    EXPECT_LT(mean, 0.3);
    EXPECT_LE(worst, 2);
}

// Degenerate sources, faces and bounds: every written pixel is either untouched or the
// one source colour, and nothing is read or written outside the images.
TEST(Degenerate, OddSizesAndBoundsStayInsideTheImages) {
    const Colour source{60, 120, 180}, marker{1, 2, 3};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        Size image;
        int face;
        double bottom, top;
    } cases[] = {
        {{1, 1}, 4, -halfPi, halfPi},   {{3, 2}, 5, -halfPi, halfPi},  {{2, 7}, 3, -0.3, 0.3},
        {{5, 1}, 1, -halfPi, halfPi},   {{1024, 1}, 0, -0.2, 0.2},      {{16, 8}, 0, -halfPi, halfPi},
        {{16, 8}, 8, -4.0, 4.0},        {{16, 8}, 8, 0.5, 0.4},         {{16, 8}, 8, 0.3, 0.3},
        {{16, 8}, 8, nan, nan},         {{16, 8}, 8, 1.0, halfPi},      {{16, 8}, 8, -halfPi, -1.0},
        {{0, 0}, 8, -halfPi, halfPi},   {{16, 0}, 8, -halfPi, halfPi},  {{7, 3}, 2, -1.0, 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.image.width << " x " << c.image.height << " into " << c.face
                                        << ", bounds " << c.bottom << " to " << c.top);
        const auto image = uniformImage(c.image, source);
        for (int cylinder = 0; cylinder < 2; ++cylinder) {
            const auto cube = uniformCube(c.face, marker);
            auto convert = cylinder ? cylinderToCube : sphereToCube;
            convert(*cube, image->pixels, c.image.width, c.image.height, image->stride, c.bottom, c.top, 0);
            for (const auto& face : cube->faces)
                for (int y = 0; y < face->height; ++y)
                    for (int x = 0; x < face->width; ++x) {
                        const Colour p = pixelAt(*face, x, y);
                        ASSERT_TRUE(p == marker || p == throughLinear(source)) << x << "," << y << " " << p;
                    }
            EXPECT_EQ(cube->modified, 1);
        }
        if (c.image.width == 0 || c.image.height == 0) continue;
        const auto cube = uniformCube(c.face, source);
        std::vector<std::uint8_t> out(3 * static_cast<std::size_t>(c.image.width) * c.image.height, 9);
        cubeToSphere(*cube, out.data(), c.image.width, c.image.height, 3 * c.image.width, 3, c.bottom, c.top);
        const std::uint8_t first = c.face == 0 ? 9 : throughLinear(source).b;
        for (std::size_t i = 0; i < out.size(); i += 3) ASSERT_EQ(out[i], first) << i;
    }
}

TEST(Degenerate, MissingFacesAreSkipped) {
    const auto image = uniformImage({64, 32}, {60, 120, 180});
    auto cube = uniformCube(16);
    cube->faces[Back].reset();
    cube->faces[Up].reset();
    sphereFromImage(*cube, *image, -halfPi, halfPi);
    EXPECT_EQ(countWhite(*cube->faces[Front]), 0);
    EXPECT_EQ(countWhite(*cube->faces[Down]), 0);
    std::vector<std::uint8_t> out(64 * 32 * 3, 9);
    cubeToSphere(*cube, out.data(), 64, 32, 64 * 3, 3, -halfPi, halfPi);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 9; }));
}

bool sameFaces(const SixImage& a, const SixImage& b) {
    for (int i = 0; i < faceCount; ++i)
        if (a.faces[i]->size() != b.faces[i]->size() ||
            std::memcmp(a.faces[i]->pixels, b.faces[i]->pixels,
                        static_cast<std::size_t>(a.faces[i]->stride) * a.faces[i]->height) != 0)
            return false;
    return true;
}

using Conversion = void (*)(SixImage&, const std::uint8_t*, std::int32_t, std::int32_t, std::uint32_t, double,
                            double, int);

// Every conversion, split into 1 to 4 ranges, gives the bytes of one range: 1-pixel
// faces, odd sizes whose ranges end mid-face, caps of another size, a partial extent
// whose columns stop, and a source wider than four 1024-pixel faces.
TEST(Threads, SplittingTheWorkDoesNotChangeABit) {
    const struct {
        Size image;
        int side, cap;
        double bottom, top;
    } cases[] = {
        {{4, 2}, 1, 1, -halfPi, halfPi},
        {{5, 3}, 1, 2, -halfPi, halfPi},
        {{1001, 377}, 250, 97, -1.1, 0.9},
        {{4097, 2049}, 1024, 1024, -halfPi, halfPi},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.image.width << " x " << c.image.height << " into " << c.side);
        const auto image = filledImage(c.image, varied);
        for (Conversion convert : {&sphereToCube, &cylinderToCube}) {
            const auto convertWith = [&](int threads) {
                auto cube = uniformCube(c.side);
                cube->faces[Up] = uniformImage({c.cap, c.cap}, {255, 255, 255});
                convert(*cube, image->pixels, image->width, image->height, image->stride, c.bottom, c.top, threads);
                return cube;
            };
            const auto single = convertWith(1);
            for (int threads : {2, 3, 4, 0})
                EXPECT_TRUE(sameFaces(*single, *convertWith(threads)))
                    << threads << " threads, " << (convert == &sphereToCube ? "sphere" : "cylinder");
        }
        const auto cube = uniformCube(c.side, {10, 200, 90});
        sphereFromImage(*cube, *image, c.bottom, c.top);
        RawImage single(c.image), split(c.image);
        cubeToSphere(*cube, single.pixels, single.width, single.height, single.stride, 3, c.bottom, c.top, 1);
        for (int threads : {2, 3, 4, 0}) {
            cubeToSphere(*cube, split.pixels, split.width, split.height, split.stride, 3, c.bottom, c.top, threads);
            EXPECT_EQ(std::memcmp(single.pixels, split.pixels, static_cast<std::size_t>(single.stride) * single.height),
                      0)
                << threads << " threads";
        }
    }
}

// FNV-1a over the pixel bytes of a face, row by row.
std::uint64_t faceHash(const BGRImage& face) {
    std::uint64_t hash = 14695981039346656037ull;
    for (int y = 0; y < face.height; ++y)
        for (int x = 0; x < 3 * face.width; ++x) hash = (hash ^ face.row(y)[x]) * 1099511628211ull;
    return hash;
}

// The side faces' bytes, pinned: the per-sample arithmetic may get faster, never
// different. Whole and partial extents (columns that start late and stop early), both
// mappings, 1-pixel and odd faces whose rows end between vector widths.
TEST(SideFaces, KeepTheirBytes) {
    const struct {
        Size image;
        int side;
        double bottom, top;
        bool cylinder;
        std::uint64_t hashes[4];  // Front, Back, Left, Right
    } cases[] = {
        {{4, 2}, 1, -halfPi, halfPi, false,
         {10331325821532009048ull, 13519877651800303509ull,
          10961214042935765628ull, 14111583132898745692ull}},
        {{1001, 377}, 250, -1.1, 0.9, false,
         {18133135739216203776ull, 10819620997006709241ull,
          6028975813347323558ull, 3035090301349918514ull}},
        {{1001, 377}, 250, -1.1, 0.9, true,
         {14026278254225952645ull, 17310326945374575963ull,
          14066573105508662648ull, 3637530742445661851ull}},
        {{640, 320}, 163, -halfPi, halfPi, false,
         {7501423619429608882ull, 1068918558969372117ull,
          13216512621261428886ull, 7137114446499020936ull}},
        {{513, 100}, 77, -0.5, 0.5, true,
         {16784089973719968109ull, 10499585915020371311ull,
          94056853517232073ull, 13339040175496482872ull}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.image.width << " x " << c.image.height << " into " << c.side << ", "
                                        << (c.cylinder ? "cylinder" : "sphere"));
        const auto image = filledImage(c.image, varied);
        const auto cube = uniformCube(c.side);
        (c.cylinder ? cylinderToCube : sphereToCube)(*cube, image->pixels, image->width, image->height,
                                                      image->stride, c.bottom, c.top, 1);
        const int sides[4] = {Front, Back, Left, Right};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(faceHash(*cube->faces[sides[i]]), c.hashes[i]) << "face " << sides[i];
    }
}

// A conversion of some regions writes the whole conversion's bytes there and nothing
// elsewhere: regions at the corners, one column or row, past the face, inverted and empty.
TEST(Regions, FillExactlyTheirPixelsWithTheWholeConversionsBytes) {
    const Colour marker{1, 2, 3};
    const auto image = filledImage({1001, 377}, varied);
    const FaceRegions regions[] = {
        {{{0, 0, 5, 5}, {245, 245, 250, 250}, {100, 0, 101, 250}, {0, 77, 250, 78}, {-10, 40, 9999, 60}, {30, 20, 40, 90}}},
        {{{10, 10, 5, 20}, {}, {0, 0, 250, 250}, {249, 0, 250, 1}, {0, 0, 97, 97}, {50, 50, 50, 60}}},
        {},
    };
    using RegionConversion = void (*)(SixImage&, const std::uint8_t*, std::int32_t, std::int32_t, std::uint32_t,
                                      double, double, const FaceRegions&, int);
    const struct {
        Conversion whole;
        RegionConversion part;
    } conversions[] = {{&sphereToCube, &sphereToCubeRegions}, {&cylinderToCube, &cylinderToCubeRegions}};
    for (const auto& conversion : conversions) {
        auto whole = uniformCube(250, marker);
        whole->faces[Up] = uniformImage({97, 97}, marker);
        conversion.whole(*whole, image->pixels, image->width, image->height, image->stride, -1.1, 0.9, 0);
        for (std::size_t r = 0; r < std::size(regions); ++r)
            for (int threads : {1, 3}) {
                SCOPED_TRACE(testing::Message() << "regions " << r << ", " << threads << " threads");
                auto part = uniformCube(250, marker);
                part->faces[Up] = uniformImage({97, 97}, marker);
                conversion.part(*part, image->pixels, image->width, image->height, image->stride, -1.1, 0.9,
                                regions[r], threads);
                for (int f = 0; f < faceCount; ++f) {
                    const FaceRegion& region = regions[r][f];
                    const BGRImage& face = *part->faces[f];
                    for (int y = 0; y < face.height; ++y)
                        for (int x = 0; x < face.width; ++x) {
                            const bool in = x >= region.left && x < region.right && y >= region.bottom && y < region.top;
                            ASSERT_EQ(pixelAt(face, x, y), in ? pixelAt(*whole->faces[f], x, y) : marker)
                                << "face " << f << " at " << x << "," << y;
                        }
                }
            }
    }
}

TEST(SphereVerticalExtent, IsHeightOverWidthOfAFullTurnInSinglePrecision) {
    EXPECT_EQ(sphereVerticalExtent(1024, 512), singlePi);
    EXPECT_EQ(sphereVerticalExtent(3000, 1000), 1000.0f * singlePi * 2.0f / 3000.0f);
    EXPECT_EQ(sphereVerticalExtent(0, 100), 0.0f);
}

}  // namespace
