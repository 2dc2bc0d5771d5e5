#pragma once
#include <algorithm>
#include <array>
#include <cmath>

#include "image/round_half_even.h"
#include "platform/image_types.h"

// The cube frame: right-handed, +X right, +Y up, the front face along -Z. Angles are
// radians in single precision; positive heading turns left, positive pitch looks up.

constexpr float singlePi = 3.14159274f;
extern const float degToRad;  // pi x (1/180), in float
extern const float radToDeg;  // 180 / pi, in float

struct Vector3 {
    float x = 0, y = 0, z = 0;
};

inline Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
// Divides by the length unless the squared length is exactly 1.
void normalize(Vector3& v);

struct Quaternion {
    float x = 0, y = 0, z = 0, w = 1;
};

Quaternion quaternionIdentity();
// The axis is normalised on a copy; (axis sin(a/2), cos(a/2)).
Quaternion quaternionFromAxisAngle(Vector3 axis, float angle);
// Hamilton product p (x) q: q is applied first.
Quaternion operator*(const Quaternion& p, const Quaternion& q);
// R(q) v.
Vector3 rotate(const Quaternion& q, const Vector3& v);
// Angle 0 about (0, 0, 1) when w is exactly 1.
void toAxisAngle(const Quaternion& q, Vector3& axis, float& angle);

// Q(+Y, heading) (x) Q(+X, pitch): pitch in the camera's frame, then heading about the
// world vertical.
Quaternion viewOrientation(float heading, float pitch);

// The world direction through the normalised view position (u from the left, v from the
// bottom, both 0..1) of a camera with fields of view fovX, fovY.
Vector3 viewRay(float heading, float pitch, float fovX, float fovY, float u, float v);

// The pitch every view change is held to: within [-90, +90] degrees.
float clampPitch(float pitch);

using FaceSizes = std::array<Size, 6>;

struct FacePixel {
    int face = 0;
    int row = 0;     // from the bottom of the face picture
    int column = 0;
};

// The face a world direction points at and the pixel it hits there, classified and
// rounded in double precision (X wins ties over Y, Y over Z). The zero vector keeps
// currentFace.
// Inline: the sphere conversion calls it four times per output pixel.
inline FacePixel directionToFacePixel(const Vector3& direction, const FaceSizes& sizes, int currentFace = 0) {
    const double x = direction.x, y = direction.y, z = direction.z;
    const double ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
    int face = currentFace;
    double s = 0, t = 0;
    const bool degenerate = (x == 0 && y == 0 && z == 0) || !std::isfinite(ax + ay + az);
    if (degenerate) {
        // The zero vector (and anything not finite) would divide 0 by 0 below; it takes
        // the centre of the face the caller already had.
    } else if (ax >= ay && ax >= az) {
        if (x >= 0) {
            face = 3;  // Right
            s = z / x;
            t = y / x;
        } else {
            face = 2;  // Left
            s = z / x;
            t = -y / x;
        }
    } else if (ax <= ay && ay >= az) {
        if (y >= 0) {
            face = 4;  // Up
            s = x / y;
            t = z / y;
        } else {
            face = 5;  // Down
            s = -x / y;
            t = z / y;
        }
    } else if (z != 0) {
        if (z >= 0) {
            face = 1;  // Back
            s = -x / z;
            t = y / z;
        } else {
            face = 0;  // Front
            s = -x / z;
            t = -y / z;
        }
    }
    const double width = sizes[face].width, height = sizes[face].height;
    const double column = roundHalfEven((s + 1) * (width / 2) - 0.5);
    const double row = roundHalfEven((t + 1) * (height / 2) - 0.5);
    FacePixel pixel;
    pixel.face = face;
    pixel.column = static_cast<int>(std::clamp(column, 0.0, std::max(width - 1, 0.0)));
    pixel.row = static_cast<int>(std::clamp(row, 0.0, std::max(height - 1, 0.0)));
    return pixel;
}
