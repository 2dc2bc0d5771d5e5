#include <cstdint>
#include <cstring>
#include <memory>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "panorama/six_image.h"
#include "platform/io_exception.h"
#include "view/view_marker.h"

void PaintedSixImage::saveViewFile(const char* path) const {
    if (viewPixels == nullptr || viewWidth <= 0 || viewHeight <= 0)
        throw ioException{path != nullptr ? path : "", ioException::writing, "no view to write"};

    const std::uint32_t stride = BGRImage::strideFor(viewWidth);
    const std::size_t bytes = static_cast<std::size_t>(stride) * viewHeight;
    auto file = std::make_unique<std::uint8_t[]>(bytes);  // zeroed: the row padding too
    for (int i = 0; i < viewHeight; ++i) {
        const std::uint8_t* from = viewPixels.get() + static_cast<std::size_t>(viewHeight - 1 - i) * viewWidth * 4;
        std::uint8_t* to = file.get() + static_cast<std::size_t>(i) * stride;
        for (int j = 0; j < viewWidth; ++j, from += 4, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }

    const std::uint32_t marker = viewMarker(heading, pitch);
    const std::uint8_t corner[3] = {static_cast<std::uint8_t>(marker >> 16), static_cast<std::uint8_t>(marker >> 8),
                                    static_cast<std::uint8_t>(marker)};
    const std::size_t lastColumn = 3 * static_cast<std::size_t>(viewWidth - 1);
    const std::size_t topRow = static_cast<std::size_t>(viewHeight - 1) * stride;
    for (std::size_t offset : {std::size_t{0}, lastColumn, topRow, topRow + lastColumn})
        std::memcpy(file.get() + offset, corner, 3);

    SaveBMP(path, {viewWidth, viewHeight}, stride, 3, file.get());
}
