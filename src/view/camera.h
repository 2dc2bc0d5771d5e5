#pragma once
#include "panorama/six_image.h"
#include "platform/image_types.h"

// What a view is seen with: where it looks, how wide, and the picture's size. The window's
// camera is the shell's; a rendered view carries the camera it was rendered with.
struct Camera {
    float heading = 0;    // radians, positive turns left, unbounded
    float pitch = 0;      // radians, within [-pi/2, pi/2]
    FieldOfView fov{};    // radians across and up
    Size size;            // pixels

    friend bool operator==(const Camera&, const Camera&) = default;
};

// The field of view in which one view pixel at the centre covers one pixel of the front
// face, and back. Zeros when the front face or the input is empty (or the size would not
// be a pixel count).
FieldOfView nominalFOV(const SixImage& panorama, Size size);
Size nominalSize(const SixImage& panorama, FieldOfView fov);

// A camera's field of view for a picture of size: fov when both parts are set; with only the
// horizontal part set (a zoom), the vertical one that keeps pixels square; else nominal.
FieldOfView fieldOfViewAt(const SixImage& panorama, const FieldOfView& fov, Size size);

// The camera looking at heading and pitch with the nominal field of view of size.
Camera nominalCamera(const SixImage& panorama, float heading, float pitch, Size size);
