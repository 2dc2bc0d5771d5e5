#pragma once
// Pictures as paint programs and their plug-ins hand them over in the tests: binary PPM
// files (red, green, blue, top row first), compared with the BMP pictures the editor and
// domecast-cli write.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/bgr_image.h"

// Pixels of a binary PPM (P6, maxval 255, comment lines after the magic allowed), top row
// first; empty when unreadable.
std::vector<std::uint8_t> ppmPixels(const std::string& path, int& width, int& height);
// Writes a BMP picture (bottom row first, blue, green, red) as a binary PPM.
bool writePpm(const std::string& path, const BGRImage& picture);
// The red, green, blue pixels as a BMP picture.
std::unique_ptr<RawImage> pictureFromRgb(const std::vector<std::uint8_t>& rgb, int width, int height);

// Pixels of a picture (red, green, blue, top row first) that differ from a BMP of the
// same size, its four corners (the view marker) left out; -1 when the sizes differ.
long differingOutsideCorners(const std::vector<std::uint8_t>& rgb, int width, int height, const BGRImage& bmp);
