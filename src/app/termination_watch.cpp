#include "app/termination_watch.h"

#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>

#include <csignal>
#include <memory>
#include <optional>
#include <utility>

#include "platform/signal_descriptor.h"

namespace {

// Made before main, while the program has one thread: every thread the toolkit starts
// later inherits the block, so these signals can only arrive here. One sent before
// the watch begins waits on the descriptor and is answered once it does.
std::optional<SignalDescriptor> terminationSignals(std::in_place, std::initializer_list<int>{SIGTERM, SIGINT, SIGHUP});

class TerminationHandler : public wxEventLoopSourceHandler {
public:
    explicit TerminationHandler(std::function<void()> onRequest) : onRequest_(std::move(onRequest)) {}
    void OnReadWaiting() override {
        bool requested = false;
        while (terminationSignals && terminationSignals->take() != 0) requested = true;
        if (requested && onRequest_) onRequest_();
    }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override {}

private:
    std::function<void()> onRequest_;
};

struct Watch {
    std::unique_ptr<TerminationHandler> handler;
    std::unique_ptr<wxEventLoopSource> source;
};
std::unique_ptr<Watch> watch;

}  // namespace

void watchTermination(std::function<void()> onRequest) {
    if (!terminationSignals || !*terminationSignals) return;
    auto w = std::make_unique<Watch>();
    w->handler = std::make_unique<TerminationHandler>(std::move(onRequest));
    w->source.reset(
        wxEventLoopBase::AddSourceForFD(terminationSignals->fd(), w->handler.get(), wxEVENT_SOURCE_INPUT));
    if (!w->source) return;
    watch = std::move(w);
}

void unwatchTermination() {
    watch.reset();
    // Back to the default handling: the signals end the program again.
    terminationSignals.reset();
}
