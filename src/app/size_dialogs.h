#pragma once
#include <memory>

#include "platform/image_types.h"

class wxWindow;
class PaintedSixImage;
class Shell;

// "Domecast: Choose size": the size of the picture handed to the paint program, for
// faces of faceSize, starting at suggested. False when cancelled; otherwise out is the
// chosen size.
bool chooseViewSize(wxWindow* parent, Size faceSize, Size suggested, float zoom, Size& out);

// "New Panorama": a panorama of white faces, one opened from a template, or null when
// cancelled (or when the template could not be read, which is reported). Marks the
// shell's link record as carrying an image for white faces, and none otherwise.
std::unique_ptr<PaintedSixImage> newPanoramaDialog(wxWindow* parent, Shell& shell);

// "Resize Panorama" for the shell's panorama; on OK its faces are resampled.
void resizePanoramaDialog(wxWindow* parent, Shell& shell);
