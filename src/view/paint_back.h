#pragma once
#include "view/camera.h"
#include "view/view_buffer.h"

struct PaintBackResult {
    bool projected = false;  // at least one face took the view
};

// Draws the view's open pixels (mask 255) onto each face through the face's own OpenGL
// context, the view placed on camera's image plane; the faces' change tracking follows.
// Nothing happens when the view is empty or not of the camera's size.
PaintBackResult paintBack(SixImage& panorama, const Camera& camera, const ViewBuffer& view);
