#include "app/termination_watch.h"

#include <fcntl.h>
#include <unistd.h>

#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>

#include <cerrno>
#include <csignal>
#include <memory>

#include "platform/unique_fd.h"

namespace {
// The write end is used from the signal handler, which may only make async-signal-safe calls.
volatile int signalWriteFd = -1;

void onSignal(int) {
    const int saved = errno;
    if (signalWriteFd >= 0) {
        const char byte = 't';
        [[maybe_unused]] const ssize_t n = ::write(signalWriteFd, &byte, 1);
    }
    errno = saved;
}

class TerminationHandler : public wxEventLoopSourceHandler {
public:
    explicit TerminationHandler(std::function<void()> onRequest) : onRequest_(std::move(onRequest)) {}
    void OnReadWaiting() override;
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override {}

private:
    std::function<void()> onRequest_;
};

struct Watch {
    UniqueFd read, write;
    std::unique_ptr<TerminationHandler> handler;
    std::unique_ptr<wxEventLoopSource> source;
};
std::unique_ptr<Watch> watch;

void TerminationHandler::OnReadWaiting() {
    char bytes[16];
    while (::read(watch->read.get(), bytes, sizeof bytes) > 0) {
    }
    if (onRequest_) onRequest_();
}
}  // namespace

void watchTermination(std::function<void()> onRequest) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto w = std::make_unique<Watch>();
    w->read.reset(ends[0]);
    w->write.reset(ends[1]);
    w->handler = std::make_unique<TerminationHandler>(std::move(onRequest));
    w->source.reset(wxEventLoopBase::AddSourceForFD(w->read.get(), w->handler.get(), wxEVENT_SOURCE_INPUT));
    if (!w->source) return;
    watch = std::move(w);
    signalWriteFd = watch->write.get();
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void unwatchTermination() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    signalWriteFd = -1;
    watch.reset();
}
