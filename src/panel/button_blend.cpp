#include "panel/button_blend.h"

#include <algorithm>

#include "image/bgr_image.h"
#include "image/bgra_image.h"

namespace {
// An alpha above 128 counts one more, so that 255 weighs the face fully.
int weight(int alpha) { return alpha > 128 ? alpha + 1 : alpha; }

std::uint8_t mix(int s, int u, int e) { return static_cast<std::uint8_t>((s * e + u * (256 - e)) >> 8); }

std::uint8_t brighten(int s) { return static_cast<std::uint8_t>(std::min(s + 32, 255)); }

// Normal and hovered: the face in place.
void composeFlat(const BGRAImage& face, const std::uint8_t* under, std::uint32_t underStride,
                 int state, int invertHover, BGRImage& shown) {
    for (int i = 0; i < face.height; ++i) {
        const std::uint8_t* s = face.pixels + static_cast<std::size_t>(i) * face.stride;
        const std::uint8_t* u = under + static_cast<std::size_t>(i) * underStride;
        std::uint8_t* out = shown.row(i);
        for (int j = 0; j < face.width; ++j, s += 4, u += 3, out += 3) {
            const int alpha = s[3];
            for (int c = 0; c < 3; ++c) {
                const int face_c = s[c];      // blue, green, red
                const int back_c = u[2 - c];  // the window pixel is red, green, blue
                if (alpha == 255)
                    out[c] = state == buttonHovered ? brighten(face_c) : static_cast<std::uint8_t>(face_c);
                else if (alpha == 0)
                    out[c] = static_cast<std::uint8_t>(back_c);
                else if (state == buttonHovered && invertHover != 0)
                    out[c] = mix(255 - face_c, back_c, weight(alpha));
                else
                    out[c] = mix(face_c, back_c, weight(alpha));
            }
        }
    }
}

// Pressed: the face moved 2 pixels right and 2 down, its half-transparent edges dropped.
void composePressed(const BGRAImage& face, const std::uint8_t* under, std::uint32_t underStride,
                    BGRImage& shown) {
    const int w = face.width, h = face.height;
    for (int i = 0; i < h; ++i) {
        const std::uint8_t* u = under + static_cast<std::size_t>(i) * underStride;
        std::uint8_t* out = shown.row(i);
        for (int j = 0; j < w; ++j) {
            out[3 * j + 0] = u[3 * j + 2];
            out[3 * j + 1] = u[3 * j + 1];
            out[3 * j + 2] = u[3 * j + 0];
        }
    }
    for (int i = 0; i <= h - 3; ++i) {
        const std::uint8_t* u = under + static_cast<std::size_t>(i) * underStride;
        const std::uint8_t* faceRow = face.pixels + static_cast<std::size_t>(i + 2) * face.stride;
        std::uint8_t* out = shown.row(i);
        for (int j = 2; j < w; ++j) {
            const std::uint8_t* s = faceRow + 4 * (j - 2);
            const int alpha = s[3];
            if (alpha < 128) continue;
            const int f = std::min(2 * alpha - 224, 255);
            for (int c = 0; c < 3; ++c) {
                const int back_c = u[3 * j + 2 - c];
                out[3 * j + c] = alpha == 255 ? brighten(s[c])
                                              : static_cast<std::uint8_t>((s[c] * f + back_c * (256 - f)) >> 8);
            }
        }
    }
}
}  // namespace

void composeButton(const BGRAImage& face, const std::uint8_t* under, std::uint32_t underStride,
                   int state, int invertHover, BGRImage& shown) {
    if (face.pixels == nullptr || under == nullptr || shown.pixels == nullptr) return;
    if (state == buttonPressed)
        composePressed(face, under, underStride, shown);
    else
        composeFlat(face, under, underStride, state, invertHover, shown);
}
