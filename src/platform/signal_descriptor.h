#pragma once
#include <signal.h>

#include <initializer_list>

#include "platform/unique_fd.h"

// Receives signals as data on a descriptor (signalfd) instead of through handlers, so that
// a poll or an event loop can wait for them with everything else. While it lives the
// signals are blocked in the constructing thread, and in every thread started from it
// afterwards; a process that must see them through this descriptor makes it before it
// starts threads. Signals received but never taken are dropped when it is destroyed,
// before the previous mask comes back.
class SignalDescriptor {
public:
    explicit SignalDescriptor(std::initializer_list<int> signals);
    ~SignalDescriptor();
    SignalDescriptor(const SignalDescriptor&) = delete;
    SignalDescriptor& operator=(const SignalDescriptor&) = delete;

    // False when the descriptor could not be made; the mask is then left as it was.
    explicit operator bool() const { return static_cast<bool>(fd_); }
    // Readable while a signal waits; never blocks when read.
    int fd() const { return fd_.get(); }
    // The number of the next signal waiting, or 0 when none is.
    int take();

private:
    sigset_t previous_{};
    UniqueFd fd_;
};
