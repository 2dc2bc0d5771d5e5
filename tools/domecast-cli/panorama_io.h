#pragma once
#include <functional>
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

// The save layout OUT is written in: the one its name gives (a unique best match) or
// --to. Checked before anything is read: throws ioException (OUT, writing) when OUT is a
// folder or its folder is not there (but for a web page, whose folder is made), UsageError when no layout can be told or OUT ends in
// the extension of a picture or scene file the layout does not write (x.png with --to
// "Spherical photo, JPEG").
int outputLayout(const std::string& path, const CliOptions& options);

// Writes the panorama as OUT in save layout row (outputLayout), with every file the
// layout writes; a read-only file among them is refused unless --force. Throws
// ioException.
void writePanorama(PaintedSixImage& panorama, const std::string& path, int row, const CliOptions& options);

// Writes the one file OUT through writeReplacing; an OUT that is read-only is refused
// unless --force. Throws ioException.
void writeOutput(const std::string& path, const CliOptions& options,
                 const std::function<void(const std::string& stagedPath)>& write);
