#include "view/camera.h"

#include <cmath>
#include <cstdint>

#include "platform/message.h"
#include "platform/report.h"

namespace {

Size frontSize(const SixImage& panorama) {
    return panorama.faces[Front] != nullptr ? panorama.faceSize(Front) : Size{};
}

// trunc towards zero, or nothing when the value cannot be a pixel count (a field of view
// at or beyond 180 degrees makes the tangent huge or infinite).
bool truncateToPixels(float value, std::int32_t& pixels) {
    if (!(value > -2147483648.0f && value < 2147483648.0f)) return false;
    pixels = static_cast<std::int32_t>(value);
    return true;
}

}  // namespace

FieldOfView nominalFOV(const SixImage& panorama, Size size) {
    const Size face = frontSize(panorama);
    if (size.width != 0 && size.height != 0 && face.width != 0 && face.height != 0) {
        const float x = static_cast<float>(size.width) / static_cast<float>(face.width);
        const float y = static_cast<float>(size.height) / static_cast<float>(face.height);
        return {2.0f * std::atan2(x, 1.0f), 2.0f * std::atan2(y, 1.0f)};
    }
    if (runtimeDebugging()) showMessage("Warning: bg->calculateNominalFOV returning zero FOV");
    return {0.0f, 0.0f};
}

Size nominalSize(const SixImage& panorama, FieldOfView fov) {
    const Size face = frontSize(panorama);
    if (fov[0] != 0 && fov[1] != 0 && face.width != 0 && face.height != 0) {
        Size size;
        if (truncateToPixels(static_cast<float>(face.width) * std::tan(fov[0] / 2.0f), size.width) &&
            truncateToPixels(static_cast<float>(face.height) * std::tan(fov[1] / 2.0f), size.height))
            return size;
    }
    if (runtimeDebugging()) showMessage("Warning: bg->calculateNominalSize returning zero");
    return {0, 0};
}

FieldOfView fieldOfViewAt(const SixImage& panorama, const FieldOfView& fov, Size size) {
    if (fov[0] != 0 && fov[1] != 0) return fov;
    if (fov[0] != 0 && size.width > 0 && size.height > 0) {
        const float aspect = static_cast<float>(size.height) / static_cast<float>(size.width);
        return {fov[0], 2.0f * std::atan(std::tan(fov[0] / 2.0f) * aspect)};
    }
    return nominalFOV(panorama, size);
}

Camera nominalCamera(const SixImage& panorama, float heading, float pitch, Size size) {
    return {heading, pitch, nominalFOV(panorama, size), size};
}
