#pragma once
#include <cstdint>
#include <vector>

class SixImage;
class FaceChanges;

// The cells of a spherical image that see a changed face pixel: what a save that keeps
// the rest of the picture as it was has to write anew.
struct SphereCells {
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::vector<std::uint8_t> touched;  // columns x rows, top row first: 1 where touched
};

// pixels: a width x height spherical image over bottom..top (rows bottom-up, 3 bytes a
// pixel, as cubeToSphere writes it) holding the picture the faces were made from. Writes
// from the faces every pixel one of whose 2 x 2 sub-samples hits a face pixel changes
// marks, as cubeToSphere computes it, leaves every other pixel as it is, and returns
// which cells of cellSide x cellSide pixels, counted from the image's top-left corner,
// hold such a pixel. Only the parts of the image where changed face pixels land are
// visited. When changes does not track the faces' sizes every pixel is written and every
// cell touched; nothing is written unless all six faces have pixels. threads as
// cubeToSphere's.
SphereCells cubeToSphereChanges(const SixImage& panorama, std::uint8_t* pixels, std::int32_t width,
                                std::int32_t height, std::uint32_t stride, double bottom, double top,
                                const FaceChanges& changes, std::int32_t cellSide, int threads = 0);
