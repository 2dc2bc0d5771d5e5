#pragma once
#include <array>

#include "image/image_types.h"

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
FacePixel directionToFacePixel(const Vector3& direction, const FaceSizes& sizes, int currentFace = 0);
