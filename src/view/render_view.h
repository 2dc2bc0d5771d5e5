#pragma once
#include <cstdint>

#include "image/bgr_image.h"
#include "panorama/sphere.h"
#include "view/camera.h"
#include "view/view_buffer.h"

// The renders split their rows into ranges for the shared threads (threads 0: a few per
// hardware thread); the result does not depend on the split.

// What camera sees, each pixel the mean of 2 x 2 samples in linear light, into a view
// buffer made afresh for camera (every pixel open to paint).
void render(const SixImage& panorama, const Camera& camera, ViewBuffer& destination, int threads = 0);
// The rectangle (origin, size) of that picture, origin counted from the top-left, into
// buffer: rows top-down of size.width pixels of bpp bytes (3 or 4), red first; a fourth
// byte is 255. A rectangle outside camera.size renders nothing.
void renderRect(const SixImage& panorama, const Camera& camera, Point origin, Size size, int bpp,
                std::uint8_t* buffer, int threads = 0);

// The live view: one sample a pixel, blue-green-red, at the size of the rows (camera.size
// is not used), into rows of 3 or 4 bytes a pixel in any order in memory; bytes past the
// third of a pixel are padding.
void renderViewToRows(const SixImage& panorama, const Camera& camera, const PixelRows& rows, int threads = 0);
void renderViewToImage(const SixImage& panorama, const Camera& camera, BGRImage& image, int threads = 0);
// The frame shown while the view turns: the view at half resolution ((width + 1) / 2 x
// (height + 1) / 2, the rays renderViewToRows casts for that size), each pixel written as
// a 2 x 2 block, in one pass.
void renderHalfViewToRows(const SixImage& panorama, const Camera& camera, const PixelRows& rows, int threads = 0);
void renderHalfViewToImage(const SixImage& panorama, const Camera& camera, BGRImage& image, int threads = 0);

// The face pixels render(panorama, camera, ...) and renderViewToRows for a picture of
// size read: per face, the smallest region holding them (empty for a face not seen).
FaceRegions renderedRegions(const SixImage& panorama, const Camera& camera, int threads = 0);
FaceRegions viewRegions(const SixImage& panorama, const Camera& camera, Size size, int threads = 0);
