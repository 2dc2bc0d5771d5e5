#include "app/gl_view.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glx.h>

#include <wx/dcclient.h>
#include <wx/display.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/bmp.h"
#include "panel/control_panel.h"
#include "platform/io_exception.h"
#include "platform/message.h"
#include "platform/staged_write.h"
#include "shell/display.h"
#include "shell/shell.h"

wxDEFINE_EVENT(DOMECAST_REFRESH_VIEW, wxCommandEvent);

namespace {
constexpr int redrawTimerId = 2;
// The redraw after a size change waits for the platform's shortest interval.
constexpr int redrawDelayMs = 1;
}  // namespace

wxGLAttributes GLView::requestedAttributes() {
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().DoubleBuffer().MinRGBA(8, 8, 8, 0).Depth(0).EndList();
    return attributes;
}

GLView::GLView(wxWindow* parent, Shell& shell, const wxGLAttributes& attributes)
    : wxGLCanvas(parent, attributes, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE),
      shell_(shell),
      redrawTimer_(this, redrawTimerId) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &GLView::onPaint, this);
    Bind(wxEVT_SIZE, &GLView::onSize, this);
    Bind(wxEVT_TIMER, &GLView::onRedrawTimer, this, redrawTimerId);
    Bind(DOMECAST_REFRESH_VIEW, &GLView::onRefresh, this);
}

GLView::~GLView() { tearDown(); }

bool GLView::initScene() {
    if (!wxGLCanvas::IsDisplaySupported(requestedAttributes())) {
        showMessage("Internal error: initializing OpenGL graphics library (ChoosePixelFormat)");
        return false;
    }
    context_ = std::make_unique<wxGLContext>(this);
    if (!context_->IsOK()) {
        context_.reset();
        showMessage("Internal error: initializing OpenGL graphics library (CreateContext)");
        return false;
    }
    if (!controlPanel().built()) {
        const int index = wxDisplay::GetFromWindow(GetParent());
        const wxRect screen = wxDisplay(index == wxNOT_FOUND ? 0u : static_cast<unsigned>(index)).GetClientArea();
        buildPanel({screen.width, screen.height});
    }
    return true;
}

void GLView::tearDown() {
    if (!context_) return;
    // The panel's pictures and the display images belong to this window's lifetime.
    releasePanel();
    displayState().images.reset();
    releaseCurrent();
    context_.reset();
}

bool GLView::makeCurrent() {
    if (!context_ || !IsShownOnScreen()) return false;
    // A face's context left current (projecting paint, reading a face back) would make the
    // window's refused: one thread has one current context across EGL and GLX.
    if (eglGetCurrentContext() != EGL_NO_CONTEXT)
        eglMakeCurrent(eglGetCurrentDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (!SetCurrent(*context_)) return false;
    if (!displayState().contextReady) prepareContext();
    return true;
}

void GLView::releaseCurrent() {
    // The faces' own contexts are made current on this thread between frames.
    if (glXGetCurrentContext() != nullptr) glXMakeCurrent(glXGetCurrentDisplay(), None, nullptr);
}

void GLView::onSize(wxSizeEvent& event) {
    const wxSize size = GetClientSize();
    DisplayState& d = displayState();
    d.clientSize = {size.GetWidth(), size.GetHeight()};
    d.surfaceStale = true;
    layoutPanel(d.clientSize);
    if (d.drawingSuspended != 0) redrawTimer_.Stop();
    d.drawingSuspended = 1;
    redrawTimer_.StartOnce(redrawDelayMs);
    event.Skip();
}

void GLView::onRedrawTimer(wxTimerEvent&) {
    redrawTimer_.Stop();
    displayState().drawingSuspended = 0;
    Refresh(false);
}

void GLView::onRefresh(wxCommandEvent&) {
    displayState().fullRepaint = 0;
    Refresh(false);
}

void GLView::invalidateView() {
    ControlPanel& panel = controlPanel();
    if (!panel.built()) return;
    panel.indicator->setDirty(1);
    panel.viewArea->setDirty(1);
    wxQueueEvent(this, new wxCommandEvent(DOMECAST_REFRESH_VIEW));
    Point p;
    panel.viewArea->resolvePosition(displayState().clientSize, p);
    const Size* extent = panel.viewArea->getExtent();
    // Window rectangles count rows from the top.
    const wxRect area(p.x, displayState().clientSize.height - p.y - extent->height, extent->width, extent->height);
    Refresh(false, &area);
}

void GLView::onPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    DisplayState& d = displayState();
    const int full = d.fullRepaint;
    d.fullRepaint = 1;
    if (!makeCurrent()) return;
    if (d.surfaceStale) setUpSurface(d.clientSize);
    if (full == 1) clearWindow();
    bool rendered = false;
    if (const PaintedSixImage* panorama = shell_.panorama(); panorama != nullptr) {
        rendered = drawScene(full, *panorama, shell_.windowHeading(), shell_.windowPitch(),
                             [](const std::string& text, const std::string& caption) {
                                 // A modal box inside the paint handler would paint again beneath it.
                                 wxTheApp->CallAfter([text, caption] { showMessage(text, caption); });
                             });
    }
    if (rendered) writeSnapshot();
    SwapBuffers();
    releaseCurrent();
}

void GLView::writeSnapshot() {
    // Test runs ask, with DOMECAST_TEST_SNAPSHOT=path on the command line, for every view
    // drawn at full resolution as a BMP file.
    const char* path = std::getenv("DOMECAST_TEST_SNAPSHOT");
    if (path == nullptr || *path == '\0') return;
    ControlPanel& panel = controlPanel();
    Point p;
    panel.viewArea->resolvePosition(displayState().clientSize, p);
    const Size size = panel.viewAreaSize;
    if (size.width <= 0 || size.height <= 0) return;
    RawImage shot(size);
    glReadBuffer(GL_BACK);
    glReadPixels(p.x, p.y, size.width, size.height, GL_BGR_EXT, GL_UNSIGNED_BYTE, shot.pixels);
    try {
        writeReplacing(path, [&](const std::string& staged) {
            SaveBMP(staged.c_str(), size, shot.stride, 3, shot.pixels);
        });
    } catch (const ioException&) {
        // A snapshot that cannot be written is simply missing; the test that asked reports it.
    }
}
