#include "app/hand_over_watch.h"

#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/timer.h>

#include <memory>
#include <optional>

#include "app/document_dialogs.h"
#include "app/main_window.h"
#include "app/paint_loop.h"
#include "app/progress_window.h"
#include "shell/second_start.h"

namespace {

class HandOverWatch : public wxEventLoopSourceHandler {
public:
    explicit HandOverWatch(MainWindow& window) : window_(window) {
        socket_.bind();
        timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { carryOut(); });
    }
    // Requests queued since the bind fire at once.
    void listen() {
        if (socket_.descriptor() >= 0 && !source_ && !stopped_)
            source_.reset(wxEventLoopBase::AddSourceForFD(socket_.descriptor(), this, wxEVENT_SOURCE_INPUT));
    }
    ~HandOverWatch() override { stop(); }
    void stop() {
        timer_.Stop();
        source_.reset();
        pending_.reset();
        stopped_ = true;
    }
    HandOverWatch(const HandOverWatch&) = delete;
    HandOverWatch& operator=(const HandOverWatch&) = delete;

    void OnReadWaiting() override {
        while (std::optional<HandOver> request = socket_.receive()) {
            // Of several queued, the last file named is opened; a raise adds nothing to it.
            if (request->kind == HandOver::Kind::open || !pending_) pending_ = std::move(request);
        }
        if (!pending_) return;
        window_.Iconize(false);
        window_.Show(true);
        window_.Raise();
        carryOut();
    }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override {}

private:
    // A file waits while a dialog is open: its save prompt would stack on that dialog,
    // and the panorama that dialog works on must stay.
    void carryOut() {
        if (!pending_) {
            timer_.Stop();
            return;
        }
        if (window_.shell().dialogOpen() || window_.shell().stepPending()) {
            if (!timer_.IsRunning()) timer_.Start(200);
            return;
        }
        timer_.Stop();
        const HandOver request = std::move(*pending_);
        pending_.reset();
        if (request.kind != HandOver::Kind::open) return;
        WindowQuestions questions(&window_);
        {
            ProgressWindow progress(&window_, "Opening the panorama...");
            window_.shell().openNamedPanorama(questions, request.path);
        }
        // The window may be closing now: nothing of it is touched after the open.
        syncPaintLoop();
    }

    MainWindow& window_;
    HandOverSocket socket_;
    std::unique_ptr<wxEventLoopSource> source_;
    std::optional<HandOver> pending_;
    wxTimer timer_;
    bool stopped_ = false;
};

std::unique_ptr<HandOverWatch> watch;

}  // namespace

void bindHandOverSocket(MainWindow& window) { watch = std::make_unique<HandOverWatch>(window); }

void startHandOverWatch() {
    if (watch) watch->listen();
}

void stopHandOverWatch() {
    // A save prompt of a hand-over may still be open below the caller: the watch only
    // stops here, and goes once the loop has ended.
    if (watch) watch->stop();
}

void releaseHandOverWatch() { watch.reset(); }
