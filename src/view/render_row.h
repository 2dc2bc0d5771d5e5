#pragma once
#include <cstdint>

#include "panorama/geometry.h"
#include "panorama/sphere.h"

class SixImage;

// Casts count rays start, start + step, start + 2 step, ... (world directions, not
// normalised) and writes the blue, green and red of each hit face pixel to out, out + bpp,
// ...; bytes past the third of each output pixel are left alone. Missing or empty faces
// produce no bytes for the samples that hit them.
void renderRow(const SixImage& panorama, Vector3 start, Vector3 step, int count, int bpp,
               std::uint8_t* out);

// Grows each face's region to hold every face pixel renderRow reads for these rays.
void growRegionsByRow(const SixImage& panorama, Vector3 start, Vector3 step, int count, FaceRegions& regions);
