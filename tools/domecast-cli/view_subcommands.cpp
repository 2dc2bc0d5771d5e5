// render, view, apply and paint: the views of a panorama and the paint round trip.
#include <csignal>
#include <cstdio>
#include <ctime>

#include "commands.h"
#include "image/bgr_image.h"
#include "image/bmp.h"
#include "image/codecs.h"
#include "image/pixel_budget.h"
#include "panorama/geometry.h"
#include "panorama/sphere.h"
#include "panorama_io.h"
#include "platform/child_process.h"
#include "platform/file_time.h"
#include "platform/io_exception.h"
#include "platform/report.h"
#include "platform/save_set.h"
#include "platform/signal_descriptor.h"
#include "platform/staged_write.h"
#include "platform/temp_file.h"
#include "view/render_view.h"
#include "view/view_file.h"

namespace {

void requirePositional(const CliOptions& options, std::size_t count) {
    if (options.positional.size() != count)
        throw UsageError("expected " + std::to_string(count) + " file arguments, got " +
                         std::to_string(options.positional.size()));
}

// The camera of the options for a picture of size. Angles in radians, converted from
// degrees exactly as the editor's own constants are. --heading is the title's h, which
// grows as the view turns right: the camera's heading is its negative. Without --fov, the
// nominal field of view of the picture's size.
Camera cameraOf(const CliOptions& options, const SixImage& panorama, Size size) {
    if (!options.heading) throw UsageError("--heading is required");
    if (!options.pitch) throw UsageError("--pitch is required");
    Camera camera{-(*options.heading * degToRad), clampPitch(*options.pitch * degToRad), {}, size};
    if (options.fovX) {
        camera.fov = {*options.fovX * degToRad, *options.fovY * degToRad};
        return camera;
    }
    camera.fov = nominalFOV(panorama, size);
    if (camera.fov[0] == 0 || camera.fov[1] == 0)
        throw UsageError("the panorama has no faces to take a field of view from");
    return camera;
}

// The pixels of a painted picture that differ from the view camera sees (its corners carry
// the view marker), projected onto the faces.
void applyPicture(PaintedSixImage& panorama, const Camera& camera, const RawImage& picture) {
    render(panorama, camera, panorama.view);
    panorama.view.maskCorners();
    panorama.view.acceptPicture(picture);
    panorama.applyPaint();
}

// Refuses a painted picture that does not fit the view it was made for: another size, or
// corners carrying another view's marker, which --force lets through.
void checkPaintedPicture(const RawImage& picture, const Camera& madeFor, bool force) {
    const bool sameSize = picture.size() == madeFor.size;
    if (sameSize && force) return;
    const std::string why = paintedViewMismatch(picture, madeFor);
    if (why.empty()) return;
    if (!sameSize) throw RefusedWork(why + " Nothing was painted and nothing written.");
    throw RefusedWork(why + " Nothing was painted and nothing written: give the --heading and --pitch it was "
                            "rendered with, or --force to apply it anyway.");
}

// The writer of the picture format OUT's extension names, checked before anything is read.
ImageWriter viewWriter(const std::string& out) {
    checkWritablePath(out, false);
    const ImageWriter writer = writerFor(extensionOf(out));
    if (writer == nullptr) throw UsageError("cannot write '" + out + "': use .bmp, .tga, .pcx, .jpg, .jpeg or .png");
    checkWritablePath(out);
    return writer;
}

// The angles are checked before any file is read.
void requireAngles(const CliOptions& options) {
    if (!options.heading) throw UsageError("--heading is required");
    if (!options.pitch) throw UsageError("--pitch is required");
}

// SIGINT and SIGTERM arrive on a descriptor while the paint command waits, so that it can
// clean up.
class InterruptGuard {
public:
    bool interrupted() { return signals_.take() != 0; }

private:
    SignalDescriptor signals_{SIGINT, SIGTERM};
};

// The view and what it is rendered from must fit the pixel budget before the panorama is
// read: the handed-over view is rendered with 2 x 2 samples a pixel.
void checkViewBudget(const std::string& out, Size size, bool supersampled) {
    const int factor = supersampled ? 2 : 1;
    checkPixelBudget(out.c_str(), ioException::writing, {factor * size.width, factor * size.height});
}

}  // namespace

int runRender(const CliOptions& options) {
    requirePositional(options, 2);
    requireAngles(options);
    if (!options.size) throw UsageError("--size is required");
    const std::string& out = options.positional[1];
    const ImageWriter writer = viewWriter(out);
    checkViewBudget(out, *options.size, true);
    auto panorama = openPanorama(options.positional[0], options, true);
    progress("Rendering the view...");
    const Camera camera = cameraOf(options, *panorama, *options.size);
    fillFaceRegions(*panorama, renderedRegions(*panorama, camera));
    render(*panorama, camera, panorama->view);
    writeOutput(out, options, [&](const std::string& staged) {
        writeViewFile(panorama->view, staged.c_str());
        if (writer == SaveBMP) return;
        // The view file's picture, marker and all, in the format OUT names.
        RawImage picture(Size{0, 0});
        LoadBMP(staged.c_str(), RawImage::sink, &picture);
        std::remove(staged.c_str());
        writer(staged.c_str(), picture.size(), picture.stride, 3, picture.pixels);
    });
    return 0;
}

int runView(const CliOptions& options) {
    requirePositional(options, 2);
    requireAngles(options);
    if (!options.size) throw UsageError("--size is required");
    const std::string& out = options.positional[1];
    const ImageWriter writer = viewWriter(out);
    checkViewBudget(out, *options.size, false);
    auto panorama = openPanorama(options.positional[0], options, true);
    RawImage image(*options.size);
    const Camera camera = cameraOf(options, *panorama, *options.size);
    fillFaceRegions(*panorama, viewRegions(*panorama, camera, image.size()));
    renderViewToImage(*panorama, camera, image);
    writeOutput(out, options, [&](const std::string& staged) {
        writer(staged.c_str(), image.size(), image.stride, 3, image.pixels);
    });
    return 0;
}

int runApply(const CliOptions& options) {
    requirePositional(options, 3);
    requireAngles(options);
    const int row = outputLayout(options.positional[2], options);
    auto panorama = openPanorama(options.positional[0], options);
    const std::string& painted = options.positional[1];
    const std::unique_ptr<RawImage> picture = readPaintedFile(painted.c_str());
    const Camera camera = cameraOf(options, *panorama, options.size ? *options.size : picture->size());
    checkPaintedPicture(*picture, camera, options.force);
    progress("Projecting the painted pixels...");
    applyPicture(*panorama, camera, *picture);
    writePanorama(*panorama, options.positional[2], row, options);
    return 0;
}

int runPaint(const CliOptions& options) {
    requirePositional(options, 2);
    requireAngles(options);
    if (!options.size) throw UsageError("--size is required");
    if (!options.program) throw UsageError("--program is required");
    checkViewBudget("the view for the paint program", *options.size, true);
    const int row = outputLayout(options.positional[1], options);
    auto panorama = openPanorama(options.positional[0], options);
    const Camera camera = cameraOf(options, *panorama, *options.size);
    render(*panorama, camera, panorama->view);

    InterruptGuard interruptGuard;
    TempFileGuard viewFile(makeTempViewPath());
    if (viewFile.path().empty())
        throw ioException{"T_DC*.bmp", ioException::opening, "cannot make a temporary view file"};
    writeViewFile(panorama->view, viewFile.path().c_str());
    const FileTime written = modificationTime(viewFile.path().c_str());

    ChildProcess paintProgram;
    if (!paintProgram.start(*options.program, viewFile.path())) {
        const std::string text = "Error starting paint program: \"" + *options.program + "\" " + viewFile.path();
        reportSystemError(text.c_str());
        return 1;
    }
    progress("Waiting for the paint program to end...");
    while (paintProgram.running()) {
        if (interruptGuard.interrupted()) {
            std::fprintf(stderr, "domecast-cli paint: interrupted; nothing written\n");
            return 130;
        }
        timespec pause{0, 50'000'000};
        nanosleep(&pause, nullptr);
    }
    if (modificationTime(viewFile.path().c_str()) > written) {
        progress("Projecting the painted pixels...");
        const std::unique_ptr<RawImage> picture = readPaintedFile(viewFile.path().c_str());
        checkPaintedPicture(*picture, camera, options.force);
        applyPicture(*panorama, camera, *picture);
    }
    writePanorama(*panorama, options.positional[1], row, options);
    return 0;
}
