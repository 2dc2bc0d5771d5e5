#include <cmath>
#include <numbers>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "image/pixel_memory.h"
#include "platform/io_exception.h"
#include "link/view_marker.h"
#include "view/view_file.h"
#include "view/view_title.h"

void writeViewFile(const ViewBuffer& view, const char* path) {
    const std::int32_t viewWidth = view.size().width, viewHeight = view.size().height;
    if (view.empty() || viewWidth <= 0 || viewHeight <= 0)
        throw ioException{path != nullptr ? path : "", ioException::writing, "no view to write"};

    const std::uint32_t stride = BGRImage::strideFor(viewWidth);
    const std::size_t bytes = static_cast<std::size_t>(stride) * viewHeight;
    auto file = allocatePixels(bytes);
    std::memset(file.get(), 0, bytes);  // the row padding too
    for (int i = 0; i < viewHeight; ++i) {
        const std::uint8_t* from = view.row(viewHeight - 1 - i);
        std::uint8_t* to = file.get() + static_cast<std::size_t>(i) * stride;
        for (int j = 0; j < viewWidth; ++j, from += 4, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }

    stampViewMarker(file.get(), PictureLayout{viewWidth, viewHeight, 3, stride, ChannelOrder::bgr},
                    viewMarker(view.camera().heading, view.camera().pitch));

    SaveBMP(path, {viewWidth, viewHeight}, stride, 3, file.get());
}

std::unique_ptr<RawImage> readPaintedFile(const char* path) {
    auto picture = std::make_unique<RawImage>(Size{0, 0});
    LoadBMP(path, RawImage::sink, picture.get());
    if (picture->pixels == nullptr || picture->width <= 0 || picture->height <= 0)
        throw ioException{path, ioException::reading, "the picture is empty"};
    return picture;
}

namespace {

// The whole degrees a marked angle (radians, the middle of its marker step) most likely
// was: a step spans about 1.4 degrees, so of the whole degrees within it a multiple of 5 (a
// usual turn) is taken, else the one nearest the middle.
int markedDegrees(float middle) {
    const double step = 180.0 / 128;
    const double centre = static_cast<double>(middle) * 180.0 / std::numbers::pi;
    const double slack = 1e-3;  // the middle came through a float
    for (int d = static_cast<int>(std::ceil(centre - step / 2 - slack)); d < centre + step / 2 - slack; ++d)
        if (d % 5 == 0) return d;
    return static_cast<int>(std::lround(centre));
}

// As the title shows a heading: the camera's negated, 0..359.
int shownDegrees(int headingDegrees) { return ((-headingDegrees) % 360 + 360) % 360; }

}  // namespace

std::string paintedViewMismatch(const RawImage& picture, const Camera& madeFor) {
    char text[320];
    if (picture.size() != madeFor.size) {
        std::snprintf(text, sizeof text, "The painted view is %dx%d but the view was %dx%d: it may have been cropped.",
                      picture.width, picture.height, madeFor.size.width, madeFor.size.height);
        return text;
    }
    const PictureLayout layout{picture.width, picture.height, 3, picture.stride, ChannelOrder::bgr};
    const auto foreign = foreignViewMarker(picture.pixels, layout, viewMarker(madeFor.heading, madeFor.pitch));
    if (!foreign) return {};
    const MarkedAngles marked = markedAngles(*foreign);
    std::snprintf(text, sizeof text,
                  "The painted view carries the marker of another view (h=%d\u00b0 or %d\u00b0, v=%d\u00b0) than the one "
                  "it was made for (h=%d\u00b0 v=%d\u00b0): it may be an older view file saved over the new one.",
                  shownDegrees(markedDegrees(marked.heading)), (shownDegrees(markedDegrees(marked.heading)) + 180) % 360,
                  markedDegrees(marked.pitch), shownHeading(madeFor.heading), shownPitch(madeFor.pitch));
    return text;
}
