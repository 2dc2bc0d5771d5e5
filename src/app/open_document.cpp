#include "app/open_document.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/timer.h>

#include <sys/stat.h>

#include <algorithm>
#include <list>
#include <memory>
#include <vector>

#include "platform/message.h"
#include "shell/desktop_open.h"
#include "shell/manual_page.h"

namespace {

void sweep();

// One address being opened, its handler's end a source of the event loop.
class PendingOpen : public wxEventLoopSourceHandler {
public:
    explicit PendingOpen(std::function<void(const std::string&)> onFailure) : onFailure_(std::move(onFailure)) {}
    ~PendingOpen() override { source_.reset(); }
    PendingOpen(const PendingOpen&) = delete;
    PendingOpen& operator=(const PendingOpen&) = delete;

    // False when nothing is left running (finished, or failed and reported).
    bool start(std::vector<std::string> addresses) { return settle(open_.start(std::move(addresses))); }
    bool running() const { return open_.state() == DesktopOpen::State::running; }
    bool needsPolling() const { return running() && open_.descriptor() < 0; }
    void step() {
        // The descriptor leaves the loop before the watch closes it.
        source_.reset();
        fd_ = -1;
        settle(open_.poll());
    }

    void OnReadWaiting() override {
        step();
        if (wxTheApp != nullptr) wxTheApp->CallAfter([] { sweep(); });
    }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override {}

private:
    bool settle(DesktopOpen::State state) {
        if (state == DesktopOpen::State::running) {
            const int fd = open_.descriptor();
            if (fd >= 0 && fd != fd_) {
                source_.reset(wxEventLoopBase::AddSourceForFD(fd, this, wxEVENT_SOURCE_INPUT));
                fd_ = source_ ? fd : -1;
            }
            return true;
        }
        // The message's dialog runs a loop of its own, in which this object may go: it is
        // shown from the main loop, once.
        if (state == DesktopOpen::State::failed && onFailure_ && wxTheApp != nullptr)
            wxTheApp->CallAfter([onFailure = std::move(onFailure_), reason = open_.reason()] { onFailure(reason); });
        onFailure_ = nullptr;
        return false;
    }

    DesktopOpen open_;
    std::function<void(const std::string&)> onFailure_;
    std::unique_ptr<wxEventLoopSource> source_;
    int fd_ = -1;
};

std::list<std::unique_ptr<PendingOpen>> pending;
std::unique_ptr<wxTimer> pollTimer;

// Removed outside their own callbacks.
void sweep() {
    pending.remove_if([](const std::unique_ptr<PendingOpen>& open) { return !open->running(); });
    const bool poll = std::any_of(pending.begin(), pending.end(),
                                  [](const std::unique_ptr<PendingOpen>& open) { return open->needsPolling(); });
    if (poll && !pollTimer) {
        pollTimer = std::make_unique<wxTimer>();
        pollTimer->Bind(wxEVT_TIMER, [](wxTimerEvent&) {
            for (const auto& open : pending)
                if (open->needsPolling()) open->step();
            if (wxTheApp != nullptr) wxTheApp->CallAfter([] { sweep(); });
        });
    }
    if (pollTimer) {
        if (poll && !pollTimer->IsRunning()) pollTimer->Start(200);
        if (!poll) pollTimer.reset();
    }
}

}  // namespace

void openDocument(std::vector<std::string> addresses, std::function<void(const std::string& reason)> onFailure) {
    auto open = std::make_unique<PendingOpen>(std::move(onFailure));
    if (!open->start(std::move(addresses))) return;
    pending.push_back(std::move(open));
    sweep();
}

void openManualPage(const char* page) {
    const std::string path = manualPage(page);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        showMessage(manualFailureMessage(path, {}), MessageStyle::okError);
        return;
    }
    openDocument({"file://" + path},
                 [path](const std::string& reason) { showMessage(manualFailureMessage(path, reason), MessageStyle::okError); });
}

void openHelp() { openManualPage("index.html"); }
