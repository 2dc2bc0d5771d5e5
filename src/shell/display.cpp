#include "shell/display.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "panel/control_panel.h"
#include "panel/tick_widget.h"
#include "panorama/geometry.h"
#include "platform/message.h"
#include "platform/report.h"
#include "view/render_view.h"

WindowLimits LiveDisplay::windowLimits() const { return {panel_.minTrackSize, panel_.maxTrackSize, panel_.margins()}; }

void prepareWindowContext() {
    glDisable(GL_DITHER);
    glClearColor(1, 1, 1, 1);
    // Rows of the images are padded to 4 bytes.
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

void LiveDisplay::prepareContext() {
    prepareWindowContext();
    contextReady_ = true;
}

void LiveDisplay::resize(Size clientSize) {
    clientSize_ = clientSize;
    surfaceStale_ = true;
    panel_.layout(clientSize);
}

void setUpWindowSurface(Size size) {
    glViewport(0, 0, size.width, size.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, size.width, 0, size.height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.375f, 0.375f, 0.375f);
}

void LiveDisplay::setUpSurface(Size size) {
    setUpWindowSurface(size);
    surfaceStale_ = false;
}

std::string pendingGlErrors(std::size_t limit) {
    std::string text;
    // glGetError reports one flag at a time; a lost context keeps reporting, hence the cap.
    for (int i = 0; i < 64; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        if (text.size() < limit) {
            text += reinterpret_cast<const char*>(gluErrorString(error));
            text += "\n";
        }
    }
    return text;
}

void LiveDisplay::clearWindow() {
    const ControlPanel& panel = panel_;
    if (panel.background && panel.background->width > 0 && panel.background->height > 0) {
        const RawImage& picture = *panel.background;
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        for (int y = viewport[1]; y < viewport[1] + viewport[3]; y += picture.height)
            for (int x = viewport[0]; x < viewport[0] + viewport[2]; x += picture.width) {
                glRasterPos2i(x, y);
                glDrawPixels(picture.width, picture.height, GL_BGR_EXT, GL_UNSIGNED_BYTE, picture.pixels);
            }
    }
    if (runtimeDebugging()) {
        for (int i = 0; i < 64; ++i) {
            const GLenum error = glGetError();
            if (error == GL_NO_ERROR) break;
            showMessage(reinterpret_cast<const char*>(gluErrorString(error)), "GL Error (clearWindow)",
                        MessageStyle::okExclamation);
        }
    }
}

namespace {
// The heading brought into [-pi, pi] by whole turns.
float wrapHeading(float heading) {
    const float turn = 2 * singlePi;
    float h = std::fmod(heading, turn);
    if (h > singlePi) h -= turn;
    if (h < -singlePi) h += turn;
    return h;
}

const char* glText(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

// The window's camera at the view area's size: its field of view, else the nominal one.
Camera shownCamera(const SixImage& panorama, Camera camera, Size viewAreaSize) {
    camera.size = viewAreaSize;
    camera.fov = fieldOfViewAt(panorama, camera.fov, viewAreaSize);
    return camera;
}

}  // namespace

void LiveDisplay::showCamera(const Camera& camera) {
    if (!panel_.built()) return;
    // 90 x degToRad is a rounding step beyond singlePi / 2: held to the range, the tick
    // stays on screen when looking straight up or down.
    panel_.indicator->setTicks(std::clamp(-wrapHeading(camera.heading) / singlePi, -1.0f, 1.0f),
                               std::clamp(camera.pitch / (singlePi / 2), -1.0f, 1.0f));
}

// The view at the resolution the panel asks for.
ViewRendered LiveDisplay::renderInto(const SixImage& panorama, const Camera& camera, const PixelRows& rows) {
    if (panel_.continuousTurn == 1) {
        renderHalfViewToRows(panorama, camera, rows);
        return ViewRendered::half;
    }
    renderViewToRows(panorama, camera, rows);
    return ViewRendered::full;
}

bool LiveDisplay::onlyViewDue() const {
    const ControlPanel& panel = panel_;
    return panel.built() && panel.viewArea->isDirty() == 1 &&
           !panel.widgets.dirtyBesides(panel.viewArea.get(), panel.indicator.get());
}

ViewRendered LiveDisplay::renderViewToFrame(const SixImage& panorama, const Camera& camera, const PixelRows& rows) {
    ControlPanel& panel = panel_;
    if (drawingSuspended_ != 0 || !panel.built() || rows.size() != panel.viewAreaSize) return ViewRendered::none;
    const ViewRendered rendered =
        renderInto(panorama, shownCamera(panorama, camera, panel.viewAreaSize), rows);
    paintTicks(rows, panel.indicator->tickX, panel.indicator->tickY);
    panel.viewArea->setDirty(0);
    panel.indicator->setDirty(0);
    backBufferViewStale_ = true;
    return rendered;
}

ViewRendered LiveDisplay::drawScene(int full, const SixImage& panorama, const Camera& camera,
                                const std::function<void(const std::string&, const std::string&)>& report) {
    if (drawingSuspended_ != 0) return ViewRendered::none;
    ControlPanel& panel = panel_;
    if (!panel.built()) return ViewRendered::none;

    const Camera shown = shownCamera(panorama, camera, panel.viewAreaSize);

    if (!images_ || images_->size() != panel.viewAreaSize) {
        panel.viewArea->setImage(nullptr);
        images_ = std::make_unique<DisplayImages>(panel.viewAreaSize);
        panel.viewArea->setImage(&images_->full());
    }

    if (backBufferViewStale_) {
        panel.viewArea->setDirty(1);
        panel.indicator->setDirty(1);
    }
    ViewRendered rendered = ViewRendered::none;
    if (full != 0 || panel.viewArea->isDirty() == 1) {
        rendered = renderInto(panorama, shown, images_->full().rows());
        backBufferViewStale_ = false;
    }

    panel.draw(full, clientSize_);

    if (runtimeDebugging()) {
        const bool first = !identified_;
        if (first) {
            libraryText_ = std::string("Window: ") + glText(GL_VENDOR) + " " + glText(GL_VERSION) + "\n (" +
                           glText(GL_RENDERER) + ")\n";
            identified_ = true;
        }
        const std::string errors = pendingGlErrors(1020 - std::min<std::size_t>(libraryText_.size(), 1020));
        if (first || !errors.empty()) report(libraryText_ + errors, "OpenGL version");
    }
    return rendered;
}
