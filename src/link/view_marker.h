#pragma once
#include <cstdint>

// The camera a temporary view file was rendered with, as carried by its four corner
// pixels: blue = bits 16-23 (always 0x67), green = bits 8-15 (heading), red = bits 0-7
// (pitch).
std::uint32_t viewMarker(float heading, float pitch);
