#include <cstdint>
#include <cstring>
#include <memory>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "image/pixel_memory.h"
#include "platform/io_exception.h"
#include "link/view_marker.h"
#include "view/view_file.h"

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
