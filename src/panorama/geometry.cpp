#include "panorama/geometry.h"

#include <algorithm>
#include <cmath>

const float degToRad = singlePi * (1.0f / 180.0f);
const float radToDeg = 180.0f / singlePi;

void normalize(Vector3& v) {
    const float squared = v.x * v.x + v.y * v.y + v.z * v.z;
    if (squared == 1.0f) return;
    const float length = std::sqrt(squared);
    v.x = v.x / length;
    v.y = v.y / length;
    v.z = v.z / length;
}

Quaternion quaternionIdentity() { return {0, 0, 0, 1}; }

Quaternion quaternionFromAxisAngle(Vector3 axis, float angle) {
    normalize(axis);
    const float half = angle / 2.0f;
    const float s = std::sin(half);
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(half)};
}

Quaternion operator*(const Quaternion& p, const Quaternion& q) {
    return {
        p.w * q.x + p.x * q.w + p.y * q.z - p.z * q.y,
        p.w * q.y - p.x * q.z + p.y * q.w + p.z * q.x,
        p.w * q.z + p.x * q.y - p.y * q.x + p.z * q.w,
        p.w * q.w - p.x * q.x - p.y * q.y - p.z * q.z,
    };
}

Vector3 rotate(const Quaternion& q, const Vector3& v) {
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    const float r00 = 1.0f - 2.0f * (y * y + z * z);
    const float r01 = 2.0f * (x * y - z * w);
    const float r02 = 2.0f * (x * z + y * w);
    const float r10 = 2.0f * (x * y + z * w);
    const float r11 = 1.0f - 2.0f * (x * x + z * z);
    const float r12 = 2.0f * (y * z - x * w);
    const float r20 = 2.0f * (x * z - y * w);
    const float r21 = 2.0f * (y * z + x * w);
    const float r22 = 1.0f - 2.0f * (x * x + y * y);
    return {
        r00 * v.x + r01 * v.y + r02 * v.z,
        r10 * v.x + r11 * v.y + r12 * v.z,
        r20 * v.x + r21 * v.y + r22 * v.z,
    };
}

void toAxisAngle(const Quaternion& q, Vector3& axis, float& angle) {
    if (q.w == 1.0f) {
        angle = 0;
        axis = {0, 0, 1};
        return;
    }
    angle = 2.0f * std::acos(q.w);
    const float s = std::sin(angle / 2.0f);
    axis = {q.x / s, q.y / s, q.z / s};
}

Quaternion viewOrientation(float heading, float pitch) {
    return quaternionFromAxisAngle({0, 1, 0}, heading) * quaternionFromAxisAngle({1, 0, 0}, pitch);
}

Vector3 viewRay(float heading, float pitch, float fovX, float fovY, float u, float v) {
    const Vector3 point{(u - 0.5f) * std::tan(fovX / 2.0f), (v - 0.5f) * std::tan(fovY / 2.0f), -0.5f};
    return rotate(viewOrientation(heading, pitch), point);
}

float clampPitch(float pitch) {
    const float limit = 90.0f * degToRad;
    return std::clamp(pitch, -limit, limit);
}
