#include "app/gl_view.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glx.h>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/main_menu.h"
#include "app/open_document.h"
#include "image/bmp.h"
#include "panel/control_panel.h"
#include "platform/io_exception.h"
#include "platform/message.h"
#include "platform/report.h"
#include "platform/screen_frame.h"
#include "platform/staged_write.h"
#include "shell/commands.h"
#include "shell/display.h"
#include "shell/shell.h"

namespace {
constexpr int redrawTimerId = 2;
// The redraw after a size change waits for the platform's shortest interval.
constexpr int redrawDelayMs = 1;

// Message times for the panel: milliseconds of a clock that only goes forward.
std::uint32_t messageTime() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

wxGLAttributes GLView::requestedAttributes() {
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().DoubleBuffer().MinRGBA(8, 8, 8, 0).Depth(0).EndList();
    return attributes;
}

GLView::GLView(wxWindow* parent, Shell& shell, const wxGLAttributes& attributes)
    : wxGLCanvas(parent, attributes, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE),
      shell_(shell),
      redrawTimer_(this, redrawTimerId),
      turnTimer_(this, turningStepTimer),
      holdTimer_(this, holdDelayTimer),
      controller_(shell, display_.panel(), *this) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    // A double-click is no second press: its message is left alone.
    Bind(wxEVT_MOTION, &GLView::onMouse, this);
    Bind(wxEVT_LEFT_DOWN, &GLView::onMouse, this);
    Bind(wxEVT_LEFT_UP, &GLView::onMouse, this);
    Bind(wxEVT_RIGHT_DOWN, &GLView::onMouse, this);
    Bind(wxEVT_RIGHT_UP, &GLView::onMouse, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &GLView::onCaptureLost, this);
    Bind(wxEVT_MOUSEWHEEL, &GLView::onWheel, this);
    Bind(wxEVT_TIMER, &GLView::onTurnTimer, this, turningStepTimer);
    Bind(wxEVT_TIMER, &GLView::onHoldTimer, this, holdDelayTimer);
    Bind(wxEVT_PAINT, &GLView::onPaint, this);
    Bind(wxEVT_SIZE, &GLView::onSize, this);
    Bind(wxEVT_TIMER, &GLView::onRedrawTimer, this, redrawTimerId);
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
    if (!display_.panel().built()) {
        const int index = wxDisplay::GetFromWindow(GetParent());
        const wxRect screen = wxDisplay(index == wxNOT_FOUND ? 0u : static_cast<unsigned>(index)).GetClientArea();
        // The largest client area leaves room on the screen for the menu bar above it.
        const wxSize around = GetParent()->GetSize() - GetParent()->GetClientSize();
        display_.panel().build({screen.width - std::max(around.x, 0), screen.height - std::max(around.y, 0)});
    }
    return true;
}

void GLView::tearDown() {
    // No timer may fire and no capture stay held once the panel is gone.
    controller_.cancel();
    frame_.reset();
    if (!context_) return;
    // The panel's pictures and the display images belong to this window's lifetime.
    display_.panel().release();
    display_.releaseImages();
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
    if (!display_.contextReady()) display_.prepareContext();
    return true;
}

void GLView::releaseCurrent() {
    // The faces' own contexts are made current on this thread between frames.
    if (glXGetCurrentContext() != nullptr) glXMakeCurrent(glXGetCurrentDisplay(), None, nullptr);
}

void GLView::onSize(wxSizeEvent& event) {
    const wxSize size = GetClientSize();
    display_.resize({size.GetWidth(), size.GetHeight()});
    // Everything moves: the next paint draws the whole window.
    wholeWindowDue_ = true;
    if (display_.drawingSuspended()) redrawTimer_.Stop();
    display_.suspendDrawing(1);
    redrawTimer_.StartOnce(redrawDelayMs);
    event.Skip();
}

void GLView::onRedrawTimer(wxTimerEvent&) {
    redrawTimer_.Stop();
    display_.suspendDrawing(0);
    Refresh(false);
}

void GLView::requestDirtyRedraw(const wxRect& area) {
    // One paint follows: it draws just the dirty widgets and swaps once. The toolkit
    // reports the whole window as the paint's region either way, so the wish is kept
    // here; an exposure meeting it loses nothing, as the back buffer still holds the
    // whole last frame and the swap shows all of it.
    dirtyOnly_ = true;
    Refresh(false, &area);
}

wxRect GLView::windowRect(const Widget& widget) const {
    Point p;
    widget.resolvePosition(display_.clientSize(), p);
    const Size* extent = widget.getExtent();
    // Window rectangles count rows from the top.
    return {p.x, display_.clientSize().height - p.y - extent->height, extent->width, extent->height};
}

void GLView::invalidateView() {
    ControlPanel& panel = display_.panel();
    if (!panel.built()) return;
    panel.indicator->setDirty(1);
    panel.viewArea->setDirty(1);
    requestDirtyRedraw(windowRect(*panel.viewArea));
}

void GLView::onPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const int full = wholeWindowDue_ || !dirtyOnly_ ? 1 : 0;
    dirtyOnly_ = false;
    if (full == 0 && presentViewDirectly()) return;
    if (!makeCurrent()) return;
    if (!display_.drawingSuspended()) wholeWindowDue_ = false;
    if (display_.surfaceStale()) display_.setUpSurface(display_.clientSize());
    if (full == 1) display_.clearWindow();
    ViewRendered rendered = ViewRendered::none;
    if (const PaintedSixImage* panorama = shell_.panorama(); panorama != nullptr) {
        display_.showCamera(shell_.camera());
        rendered = display_.drawScene(full, *panorama, shell_.camera(),
                             [](const std::string& text, const std::string& caption) {
                                 // A modal box inside the paint handler would paint again beneath it.
                                 wxTheApp->CallAfter([text, caption] { showMessage(text, caption); });
                             });
    }
    if (rendered != ViewRendered::none)
        writeSnapshot(rendered == ViewRendered::half, [this](BGRImage& shot) {
            Point p;
            display_.panel().viewArea->resolvePosition(display_.clientSize(), p);
            glReadBuffer(GL_BACK);
            glReadPixels(p.x, p.y, shot.width, shot.height, GL_BGR_EXT, GL_UNSIGNED_BYTE, shot.pixels);
            return true;
        });
    SwapBuffers();
    releaseCurrent();
}

bool GLView::presentViewDirectly() {
    // Run-time debugging reports the graphics library and its errors at each OpenGL draw.
    const PaintedSixImage* panorama = shell_.panorama();
    if (panorama == nullptr || runtimeDebugging() || !display_.onlyViewDue() || !IsShownOnScreen()) return false;
    ScreenFrame* frame = viewFrame();
    if (frame == nullptr) return false;
    display_.showCamera(shell_.camera());
    const ViewRendered rendered = display_.renderViewToFrame(*panorama, shell_.camera(), frame->rows());
    if (rendered == ViewRendered::none) return false;
    const wxRect area = windowRect(*display_.panel().viewArea);
    if (!frame->show(area.x, area.y)) {
        // The server took the frame once and refuses it now: OpenGL draws from here on,
        // starting with this view (the back buffer's is stale).
        frame_.reset();
        frameRefused_ = true;
        return false;
    }
    writeSnapshot(rendered == ViewRendered::half,
                  [&](BGRImage& shot) { return frame->readBack(area.x, area.y, shot.rows()); });
    return true;
}

ScreenFrame* GLView::viewFrame() {
    const Size size = display_.panel().viewAreaSize;
    if (frame_ && frame_->size() == size) return frame_.get();
    frame_.reset();
    if (frameRefused_ || size.width <= 0 || size.height <= 0) return nullptr;
    // Shared memory is an X server's; other displays draw through OpenGL alone.
    const wxDisplayInfo display = wxGetDisplayInfo();
    if (display.type != wxDisplayX11 || display.dpy == nullptr || GetXWindow() == 0) {
        frameRefused_ = true;
        return nullptr;
    }
    frame_ = ScreenFrame::create(display.dpy, GetXWindow(), size);
    if (!frame_) frameRefused_ = true;
    return frame_.get();
}

void GLView::writeSnapshot(bool half, const std::function<bool(BGRImage&)>& readView) {
    // Test runs ask, with DOMECAST_TEST_SNAPSHOT=path on the command line, for every view
    // drawn at full resolution as a BMP file, and for those drawn at half resolution while
    // the view turns as path + ".half".
    const char* variable = std::getenv("DOMECAST_TEST_SNAPSHOT");
    if (variable == nullptr || *variable == '\0') return;
    const std::string path = std::string(variable) + (half ? ".half" : "");
    const Size size = display_.panel().viewAreaSize;
    if (size.width <= 0 || size.height <= 0) return;
    RawImage shot(size);
    if (!readView(shot)) return;
    try {
        writeReplacing(path, [&](const std::string& staged) {
            SaveBMP(staged.c_str(), size, shot.stride, 3, shot.pixels);
        });
    } catch (const ioException&) {
        // A snapshot that cannot be written is simply missing; the test that asked reports it.
    }
}

Size GLView::clientSize() const { return display_.clientSize(); }

Point GLView::dragThreshold() const {
    return {wxSystemSettings::GetMetric(wxSYS_DRAG_X, this), wxSystemSettings::GetMetric(wxSYS_DRAG_Y, this)};
}

void GLView::setCursor(PanelCursor cursor) {
    switch (cursor) {
    case PanelCursor::arrow: SetCursor(wxCursor(wxCURSOR_ARROW)); break;
    case PanelCursor::move: SetCursor(wxCursor(wxCURSOR_SIZING)); break;
    case PanelCursor::crossHair: SetCursor(wxCursor(wxCURSOR_CROSS)); break;
    }
}

void GLView::captureMouse() {
    if (!HasCapture()) CaptureMouse();
}

void GLView::releaseMouse() {
    if (HasCapture()) ReleaseMouse();
}

void GLView::startTimer(int id, int milliseconds) {
    if (id == turningStepTimer) turnTimer_.Start(milliseconds);
    if (id == holdDelayTimer) holdTimer_.StartOnce(milliseconds);
}

void GLView::stopTimer(int id) {
    if (id == turningStepTimer) turnTimer_.Stop();
    if (id == holdDelayTimer) holdTimer_.Stop();
}

void GLView::refreshWidget(const Widget& widget) { requestDirtyRedraw(windowRect(widget)); }

void GLView::refreshWindow() { requestDirtyRedraw(GetClientRect()); }

void GLView::popupMenu(PanelMenu menu, Point topDownPoint, bool) {
    // Shown once the press has been handled; a menu inside the mouse handler would run
    // its own loop with the press half done.
    CallAfter([this, menu, topDownPoint] { showPopup(menu, topDownPoint); });
}

void GLView::showPopup(PanelMenu which, Point topDownPoint) {
    std::unique_ptr<wxMenu> menu;
    if (which == PanelMenu::paint) {
        menu.reset(createPaintPopup());
    } else {
        // The main menu's own submenus, taken from a menu bar of their own so that the
        // window's menu bar keeps its menus.
        std::unique_ptr<wxMenuBar> bar(createMainMenu());
        // File is the first menu, Help the last.
        menu.reset(bar->Remove(which == PanelMenu::file ? 0 : bar->GetMenuCount() - 1));
    }
    for (wxMenuItem* item : menu->GetMenuItems())
        if (!item->IsSeparator()) item->Enable(shell_.commandEnabled(commandOf(item->GetId())));
    PopupMenu(menu.get(), topDownPoint.x, topDownPoint.y);
    // The menu took the button's release; the panel still has to see its button let go.
    const wxPoint mouse = ScreenToClient(wxGetMousePosition());
    controller_.release({mouse.x, mouse.y});
}

void GLView::openProgramPage() {
    // The program has no web page of its own: the logo opens the manual's page about it.
    openManualPage("Domecast.html");
}

void GLView::onMouse(wxMouseEvent& event) {
    const wxPoint at = event.GetPosition();
    lastMouse_ = at;
    const Point point{at.x, at.y};
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_MOTION)
        controller_.move(point);
    else if (type == wxEVT_LEFT_DOWN || type == wxEVT_RIGHT_DOWN) {
        SetFocus();
        controller_.press(point, type == wxEVT_RIGHT_DOWN, messageTime());
    } else
        controller_.release(point);
    event.Skip(type == wxEVT_MOTION);
}

void GLView::onWheel(wxMouseEvent& event) {
    if (event.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL || event.GetWheelDelta() == 0) return;
    // Fine-grained wheels and touchpads send parts of a notch; they add up to whole ones.
    wheelRotation_ += event.GetWheelRotation();
    const int notches = wheelRotation_ / event.GetWheelDelta();
    wheelRotation_ -= notches * event.GetWheelDelta();
    // Away from the user narrows the view, as image editors zoom in.
    if (notches != 0) shell_.zoomBy(notches, viewAreaSize());
}

void GLView::onCaptureLost(wxMouseCaptureLostEvent&) {
    // Another window took the mouse: the drag ends where the pointer was last seen.
    controller_.release({lastMouse_.x, lastMouse_.y});
}

void GLView::onTurnTimer(wxTimerEvent&) { controller_.tick(messageTime()); }

void GLView::onHoldTimer(wxTimerEvent&) { controller_.holdDelayElapsed(); }
