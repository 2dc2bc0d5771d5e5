#pragma once
#include <cstdint>

class BGRImage;

// A colour the bevel blends towards: black (0) or white (1) with an opacity.
struct StripShade {
    int channel = 0;
    double alpha = 0;
};

enum class StripCorners { none, bottom, top };

// Blends every R, G, B pixel of a strip towards its shade: with A the integer part of
// alpha x 256, new = (A x channel x 255 + (256 - A) x old) >> 8. In a bottom or top strip
// the first and last thickX columns are mitred: pixels beyond the mitre take the
// adjoining side's shade (left at the start of the row, right at its end).
void shadeStrip(BGRImage& strip, StripShade shade, StripCorners corners, int thickX, StripShade left,
                StripShade right);
