// The paint group's window side: "Paint this view", and the window around the round
// trip (its dialogs, its states, the event loop's sources that drive it).
#include <EGL/egl.h>
#include <GL/glx.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/modalhook.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include <functional>
#include <memory>

#include "app/command_groups.h"
#include "app/document_dialogs.h"
#include "app/gl_view.h"
#include "app/main_window.h"
#include "app/paint_loop.h"
#include "app/preferences_dialog.h"
#include "app/size_dialogs.h"
#include "shell/commands.h"
#include "shell/display.h"
#include "shell/window_sizing.h"

namespace {

// Projecting paint leaves a face's EGL context current on this thread; the window's GLX
// context is refused by the server while it is.
void releaseFaceContext() {
    if (eglGetCurrentContext() != EGL_NO_CONTEXT)
        eglMakeCurrent(eglGetCurrentDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

// The faces' contexts are made current while paint is projected; the window's own must
// not be current on this thread then, or the server refuses it the next time.
void releaseWindowContext() {
    if (glXGetCurrentContext() != nullptr) glXMakeCurrent(glXGetCurrentDisplay(), None, nullptr);
}

class WindowPaintHost : public PaintHost {
public:
    explicit WindowPaintHost(MainWindow& window) : window_(window), questions_(&window) {}

    Size viewAreaSize() override {
        const wxSize client = window_.GetClientSize();
        if (window_.view() == nullptr) return {};
        return viewSizeForClient({client.GetWidth(), client.GetHeight()}, window_.view()->windowLimits());
    }
    bool chooseViewSize(Size faceSize, Size suggested, float zoom, Size& chosen) override {
        return ::chooseViewSize(&window_, faceSize, suggested, zoom, chosen);
    }
    std::unique_ptr<PaintedSixImage> newPanorama() override { return newPanoramaDialog(&window_, window_.shell()); }
    DocumentQuestions& questions() override { return questions_; }
    void sizeForView(Size viewSize) override { window_.sizeForView(viewSize); }
    void setWindowState(WindowState state) override {
        switch (state) {
        case WindowState::hidden: window_.Hide(); break;
        case WindowState::minimised: window_.Iconize(true); break;
        case WindowState::shown:
            window_.Iconize(false);
            window_.Show(true);
            window_.Raise();
            window_.SetFocus();
            // The keys go to the view again: a frame shown anew gives its focus to no child.
            if (window_.view() != nullptr) window_.view()->SetFocus();
            // A window manager may refuse the focus to a program the user is not in.
            if (!window_.IsActive()) window_.RequestUserAttention();
            break;
        }
    }
    void choosePaintProgram() override { preferencesDialog(&window_, window_.shell()); }
    void beginWait() override { wxBeginBusyCursor(); }
    void endWait() override { wxEndBusyCursor(); }

private:
    MainWindow& window_;
    WindowQuestions questions_;
};

class ReadyHandler : public wxEventLoopSourceHandler {
public:
    explicit ReadyHandler(std::function<void()> ready) : ready_(std::move(ready)) {}
    void OnReadWaiting() override { ready_(); }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override {}

private:
    std::function<void()> ready_;
};

// Steps wait while a modal dialog is open; the toolkit's sources fire inside its loop.
class DialogHook : public wxModalDialogHook {
public:
    explicit DialogHook(Shell& shell) : shell_(shell) {}

protected:
    int Enter(wxDialog*) override {
        releaseWindowContext();
        shell_.dialogOpened();
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {
        shell_.dialogClosed();
        syncPaintLoop();
    }

private:
    Shell& shell_;
};

class PaintLoop {
public:
    explicit PaintLoop(MainWindow& window)
        : shell_(window.shell()),
          host_(window),
          hook_(shell_),
          bellHandler_([this] { bellReady(); }),
          peerHandler_([this] { peerReady(); }),
          watchHandler_([this] { step(); }) {
        shell_.setPaintHost(&host_);
        hook_.Register();
        timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { tick(); });
        sync();
    }
    ~PaintLoop() {
        timer_.Stop();
        bellSource_.reset();
        peerSource_.reset();
        watchSource_.reset();
        hook_.Unregister();
        shell_.setPaintHost(nullptr);
    }
    PaintLoop(const PaintLoop&) = delete;
    PaintLoop& operator=(const PaintLoop&) = delete;

    // The sources follow the shell's descriptors. While a step waits for a dialog the
    // descriptors stay ready; they leave the loop until it has run, and a 100 ms timer
    // looks for that moment (and for a peer no descriptor reports).
    void sync() {
        releaseFaceContext();
        const bool held = shell_.stepPending();
        follow(held ? -1 : shell_.bellDescriptor(), bellFd_, bellSource_, bellHandler_);
        follow(held ? -1 : shell_.watchDescriptor(), watchFd_, watchSource_, watchHandler_);
        const int peer = shell_.peerDescriptor();
        if (peer < 0) firedPeerFd_ = -1;
        const int wanted = held || peer == firedPeerFd_ ? -1 : peer;
        follow(wanted, peerFd_, peerSource_, peerHandler_);
        const bool poll = held || shell_.peerNeedsPolling() || shell_.viewFileRecheckPending() ||
                          (bellFd_ < 0 && shell_.bellDescriptor() >= 0);
        if (poll && !timer_.IsRunning()) timer_.Start(100);
        if (!poll && timer_.IsRunning()) timer_.Stop();
    }

private:
    static void follow(int wanted, int& current, std::unique_ptr<wxEventLoopSource>& source, ReadyHandler& handler) {
        if (wanted == current) return;
        source.reset();
        current = -1;
        if (wanted < 0) return;
        source.reset(wxEventLoopBase::AddSourceForFD(wanted, &handler, wxEVENT_SOURCE_INPUT));
        if (source) current = wanted;
    }
    void bellReady() { step(); }
    void peerReady() {
        // A process ends once: its descriptor leaves the loop when it has fired.
        firedPeerFd_ = peerFd_;
        peerSource_.reset();
        peerFd_ = -1;
        step();
    }
    void tick() { step(); }
    void step() {
        releaseWindowContext();
        shell_.loopSourceReady();
        sync();
    }

    Shell& shell_;
    WindowPaintHost host_;
    DialogHook hook_;
    ReadyHandler bellHandler_, peerHandler_, watchHandler_;
    std::unique_ptr<wxEventLoopSource> bellSource_, peerSource_, watchSource_;
    int bellFd_ = -1, peerFd_ = -1, watchFd_ = -1, firedPeerFd_ = -1;
    wxTimer timer_;
};

std::unique_ptr<PaintLoop> loop;

}  // namespace

void startPaintLoop(MainWindow& window) { loop = std::make_unique<PaintLoop>(window); }

void stopPaintLoop() { loop.reset(); }

StepsHeld::StepsHeld(Shell& shell) : shell_(shell) { shell_.dialogOpened(); }

StepsHeld::~StepsHeld() {
    shell_.dialogClosed();
    syncPaintLoop();
}

void syncPaintLoop() {
    if (loop) loop->sync();
}

bool paintCommand(MainWindow& window, int id) {
    if (id == cmdStopWatching) {
        window.shell().stopWatchingViewFile();
        syncPaintLoop();
        return true;
    }
    if (id != cmdPaintView) return false;
    releaseWindowContext();
    window.shell().paintThisView();
    syncPaintLoop();
    return true;
}
