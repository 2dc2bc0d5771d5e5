#pragma once
#include <array>
#include <cstdint>
#include <functional>

class SixImage;
class FaceChanges;

// Conversions between the cube and single images whose columns are longitude (0 at the
// middle column, growing to the right, Back at both edges) and whose rows, bottom-up,
// are latitude (spherical) or height on a unit cylinder (cylindrical). Pixels are blue,
// green, red, rows stride bytes apart; every output pixel is the linear-light average of
// 2 x 2 sub-samples. bottom and top are the image's vertical extent in radians, held to
// +-90 degrees. The work is split into that many ranges on the shared work pool (threads 0:
// a few per hardware thread); the result does not depend on the split.

// Fills the faces from a width x height spherical image. Face pixels outside the extent
// keep their colour; modified becomes 1.
void sphereToCube(SixImage& panorama, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                  std::uint32_t stride, double bottom, double top, int threads = 0);

// The same for a cylindrical image spanning bottom to top.
void cylinderToCube(SixImage& panorama, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                    std::uint32_t stride, double bottom, double top, int threads = 0);

// The face pixels a conversion fills: columns left to right and rows bottom to top, each
// end exclusive, as the faces count them (row 0 first in memory). Clipped to the face.
struct FaceRegion {
    std::int32_t left = 0;
    std::int32_t bottom = 0;
    std::int32_t right = 0;
    std::int32_t top = 0;

    bool empty() const { return left >= right || bottom >= top; }
};
// Indexed as the panorama's faces.
using FaceRegions = std::array<FaceRegion, 6>;

// sphereToCube and cylinderToCube for the regions only: each filled pixel gets exactly
// the bytes the whole conversion gives it; the rest of every face keeps its colour.
void sphereToCubeRegions(SixImage& panorama, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                         std::uint32_t stride, double bottom, double top, const FaceRegions& regions,
                         int threads = 0);
void cylinderToCubeRegions(SixImage& panorama, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                           std::uint32_t stride, double bottom, double top, const FaceRegions& regions,
                           int threads = 0);

// Fills the regions of the faces of a panorama loaded with facesOnDemand from the picture
// it kept unconverted, as its load would have; nothing for any other panorama.
void fillFaceRegions(SixImage& panorama, const FaceRegions& regions, int threads = 0);

// A picture of the output's size to copy from wherever none of the face pixels an output
// pixel samples has changed.
struct KeptPicture {
    const std::uint8_t* pixels = nullptr;  // 3 bytes a pixel
    std::uint32_t stride = 0;
    const FaceChanges* changes = nullptr;
};

// Writes the first three bytes of every pixel of a width x height spherical image from
// the faces, or from kept where it sees no changed face pixel. Nothing is written unless
// all six faces have pixels.
void cubeToSphere(const SixImage& panorama, std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                  std::uint32_t stride, std::int32_t bytesPerPixel, double bottom, double top, int threads = 0,
                  const KeptPicture* kept = nullptr);

// cubeToSphere a band of bandRows rows at a time from the top (the last rows in memory):
// after each band, made is told how many rows from the top are written; when it returns
// false the rest is left unwritten. Each band is split as threads says.
void cubeToSphereFromTop(const SixImage& panorama, std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                         std::uint32_t stride, std::int32_t bytesPerPixel, double bottom, double top,
                         std::int32_t bandRows, const std::function<bool(std::int32_t rowsFromTop)>& made,
                         int threads = 0, const KeptPicture* kept = nullptr);

// The vertical extent v in radians of a spherical image whose width spans 360 degrees at
// the same angular resolution, ((height x pi) x 2) / width in single precision; 0 for an
// empty width. The image spans -v/2 to +v/2.
float sphereVerticalExtent(std::int32_t width, std::int32_t height);
