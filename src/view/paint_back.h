#pragma once
#include <vector>

#include "panorama/face_patch.h"
#include "view/camera.h"
#include "view/view_buffer.h"

struct PaintBackResult {
    bool projected = false;  // at least one face took painted pixels of the view
};

// Draws the view's open pixels (mask 255) onto each face through the face's own OpenGL
// context, the view placed on camera's image plane; the faces' change tracking follows.
// Nothing happens when the view is empty or not of the camera's size; faces no open pixel
// can reach are not touched (nor their contexts made). With undo, each face
// the projection changed adds the patch that undoes it.
PaintBackResult paintBack(SixImage& panorama, const Camera& camera, const ViewBuffer& view,
                          std::vector<FacePatch>* undo = nullptr);
