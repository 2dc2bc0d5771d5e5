#pragma once
#include <memory>
#include <string>

#include "image/bgr_image.h"
#include "view/view_buffer.h"

// The view file handed to a paint program: a 24-bit BMP of the view whose four corner
// pixels carry the view marker of the camera's heading and pitch. Throws ioException.
void writeViewFile(const ViewBuffer& view, const char* path);

// The picture a paint program left in a view file; throws ioException with the reason
// when it cannot be read (a truncated or foreign file) or holds no pixels.
std::unique_ptr<RawImage> readPaintedFile(const char* path);

// Why a picture read back from a view file cannot be painted onto the view of madeFor, the
// camera the file was written with: another size (a crop or a resize in the paint program),
// or the corners carry the marker of another view (an older view file saved over this one,
// or the wrong angles given). One sentence for the user; empty when it can be painted.
std::string paintedViewMismatch(const RawImage& picture, const Camera& madeFor);
