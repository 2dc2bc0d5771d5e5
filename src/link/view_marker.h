#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

// The camera a view was rendered with, as carried by its four corner pixels:
// blue = bits 16-23 (always 0x67), green = bits 8-15 (heading), red = bits 0-7 (pitch).
std::uint32_t viewMarker(float heading, float pitch);

// Byte order of a pixel in memory: the link's red first, or a BMP's blue first.
enum class ChannelOrder { rgb, bgr };

// A picture in memory: rows of stride bytes (top row first or last: the corners are the
// same), bytesPerPixel 3 or 4 (the fourth byte, alpha, is not part of the marker).
struct PictureLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int bytesPerPixel = 3;
    std::size_t stride = 0;
    ChannelOrder order = ChannelOrder::rgb;
};

// Writes the marker into the four corner pixels; nothing for an empty picture.
void stampViewMarker(std::uint8_t* pixels, const PictureLayout& layout, std::uint32_t marker);
// Whether any of the four corner pixels carries the marker.
bool cornerCarriesViewMarker(const std::uint8_t* pixels, const PictureLayout& layout, std::uint32_t marker);

// The camera heading and pitch (radians) a marker was made from, within the marker's step
// of pi/128. The heading is known only up to a half turn: the marker wraps it in steps of pi.
struct MarkedAngles {
    float heading = 0;
    float pitch = 0;
};
MarkedAngles markedAngles(std::uint32_t marker);

// The marker of another view than expected's that the corners carry: a marker value (its
// blue byte the key's) shared by at least two corners while no corner carries expected,
// whose heading or pitch byte lies more than one step from expected's, since a camera
// given in whole degrees may land on the neighbouring step. Empty otherwise: the view's
// own marker, or corners painted over.
std::optional<std::uint32_t> foreignViewMarker(const std::uint8_t* pixels, const PictureLayout& layout,
                                               std::uint32_t expected);

// The maskMode a plug-in sends with a picture (hasPicture) for command at heading and
// pitch: 1 for a new panorama from a template or of a given face size (the first row
// carries the request), 2 when a corner carries the view's marker, else 0.
std::int32_t maskModeFor(std::int32_t command, bool hasPicture, const std::uint8_t* pixels,
                         const PictureLayout& layout, float heading, float pitch);
