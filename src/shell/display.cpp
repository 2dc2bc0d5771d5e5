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

DisplayState& displayState() {
    static DisplayState state;
    return state;
}

WindowLimits windowLimits() {
    const ControlPanel& panel = controlPanel();
    return {panel.minTrackSize, panel.maxTrackSize, panel.margins()};
}

void prepareContext() {
    glDisable(GL_DITHER);
    glClearColor(1, 1, 1, 1);
    // Rows of the images are padded to 4 bytes.
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    displayState().contextReady = true;
}

void setUpSurface(Size size) {
    glViewport(0, 0, size.width, size.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, size.width, 0, size.height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.375f, 0.375f, 0.375f);
    displayState().surfaceStale = false;
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

void clearWindow() {
    const ControlPanel& panel = controlPanel();
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
    if (camera.fov[0] == 0 || camera.fov[1] == 0) camera.fov = nominalFOV(panorama, viewAreaSize);
    return camera;
}

// The view at the resolution the panel asks for, and the ticks' positions for it.
ViewRendered renderInto(const SixImage& panorama, const Camera& camera, const PixelRows& rows) {
    const float heading = camera.heading, pitch = camera.pitch;
    ControlPanel& panel = controlPanel();
    // 90 x degToRad is a rounding step beyond singlePi / 2: held to the range, the tick
    // stays on screen when looking straight up or down.
    panel.indicator->setTicks(std::clamp(-wrapHeading(heading) / singlePi, -1.0f, 1.0f),
                              std::clamp(pitch / (singlePi / 2), -1.0f, 1.0f));
    if (panel.continuousTurn == 1) {
        renderHalfViewToRows(panorama, camera, rows);
        return ViewRendered::half;
    }
    renderViewToRows(panorama, camera, rows);
    return ViewRendered::full;
}
}  // namespace

bool onlyViewDue() {
    const ControlPanel& panel = controlPanel();
    return panel.built() && panel.viewArea->isDirty() == 1 &&
           !panel.widgets.dirtyBesides(panel.viewArea.get(), panel.indicator.get());
}

ViewRendered renderViewToFrame(const SixImage& panorama, const Camera& camera, const PixelRows& rows) {
    DisplayState& d = displayState();
    ControlPanel& panel = controlPanel();
    if (d.drawingSuspended != 0 || !panel.built() || rows.size() != panel.viewAreaSize) return ViewRendered::none;
    const ViewRendered rendered =
        renderInto(panorama, shownCamera(panorama, camera, panel.viewAreaSize), rows);
    paintTicks(rows, panel.indicator->tickX, panel.indicator->tickY);
    panel.viewArea->setDirty(0);
    panel.indicator->setDirty(0);
    d.backBufferViewStale = true;
    return rendered;
}

ViewRendered drawScene(int full, const SixImage& panorama, const Camera& camera,
               const std::function<void(const std::string&, const std::string&)>& report) {
    DisplayState& d = displayState();
    if (d.drawingSuspended != 0) return ViewRendered::none;
    ControlPanel& panel = controlPanel();
    if (!panel.built()) return ViewRendered::none;

    const Camera shown = shownCamera(panorama, camera, panel.viewAreaSize);

    if (!d.images || d.images->size() != panel.viewAreaSize) {
        panel.viewArea->setImage(nullptr);
        d.images = std::make_unique<DisplayImages>(panel.viewAreaSize);
        panel.viewArea->setImage(&d.images->full());
    }

    if (d.backBufferViewStale) {
        panel.viewArea->setDirty(1);
        panel.indicator->setDirty(1);
    }
    ViewRendered rendered = ViewRendered::none;
    if (full != 0 || panel.viewArea->isDirty() == 1) {
        rendered = renderInto(panorama, shown, d.images->full().rows());
        d.backBufferViewStale = false;
    }

    drawAll(full, d.clientSize);

    if (runtimeDebugging()) {
        const bool first = !d.identified;
        if (first) {
            d.libraryText = std::string("Window: ") + glText(GL_VENDOR) + " " + glText(GL_VERSION) + "\n (" +
                            glText(GL_RENDERER) + ")\n";
            d.identified = true;
        }
        const std::string errors = pendingGlErrors(1020 - std::min<std::size_t>(d.libraryText.size(), 1020));
        if (first || !errors.empty()) report(d.libraryText + errors, "OpenGL version");
    }
    return rendered;
}
