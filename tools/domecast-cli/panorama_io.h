#pragma once
#include <memory>
#include <string>

#include "options.h"
#include "view/painted_six_image.h"

// Opens IN in the layout its name gives (or --from), answering a cylinder's field-of-view
// question with --vfov or the proposed value. With facesOnDemand, a spherical or
// cylindrical picture is kept unconverted for fillFaceRegions. Without keepPhotoBlocks
// (and with facesOnDemand) a JPEG photo's blocks are not kept for a block-exact save.
// Throws ioException or UsageError.
std::unique_ptr<PaintedSixImage> openPanorama(const std::string& path, const CliOptions& options,
                                              bool facesOnDemand = false, bool keepPhotoBlocks = true);

// Writes the panorama as OUT in the layout its name gives (a unique best match) or --to,
// with every file the layout writes. Throws ioException or UsageError.
void writePanorama(PaintedSixImage& panorama, const std::string& path, const CliOptions& options);
