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

// kept: the width x height spherical picture over bottom..top the faces were made from
// (rows bottom-up, 3 bytes a pixel, as cubeToSphere writes it); pixels: a picture of the
// same layout. Returns which cells of cellSide x cellSide pixels, counted from the
// picture's top-left corner, hold a pixel one of whose 2 x 2 sub-samples hits a face
// pixel changes marks, and writes each such cell into pixels: kept's pixels, with every
// such pixel made from the faces as cubeToSphere computes it. Other cells of pixels may
// be left unwritten. Only the parts of the picture where changed face pixels land are
// visited. When changes does not track the faces' sizes every pixel is written and every
// cell touched; nothing is written unless all six faces have pixels. threads as
// cubeToSphere's.
SphereCells cubeToSphereChanges(const SixImage& panorama, const std::uint8_t* kept, std::uint8_t* pixels, std::int32_t width,
                                std::int32_t height, std::uint32_t stride, double bottom, double top,
                                const FaceChanges& changes, std::int32_t cellSide, int threads = 0);
