#pragma once
#include <string>
#include <utility>
#include <vector>

#include "platform/child_process.h"
#include "platform/process_watch.h"

// Opens a document or web address with the desktop's handler (xdg-open) without waiting
// for it: outside a known desktop xdg-open runs the browser itself until it is closed.
// Each address is tried in turn while the handler fails on the one before.
class DesktopOpen {
public:
    enum class State { running, opened, failed };

    explicit DesktopOpen(std::string opener = "xdg-open") : opener_(std::move(opener)) {}

    // Starts the handler on the first address that it can be started on.
    State start(std::vector<std::string> addresses);
    State state() const { return state_; }
    // Readable once the running handler has ended; -1 when the kernel offers no process
    // descriptor (poll() then asks now and then) or nothing runs.
    int descriptor() const { return state_ == State::running ? watch_.descriptor() : -1; }
    // Reaps a handler that has ended: opened when it exited with 0, else the next address
    // is tried; failed when none is left.
    State poll();
    // Why the last address failed, for the message: the system's text of a start that
    // failed, or the handler's exit status.
    const std::string& reason() const { return reason_; }

private:
    State startNext();

    std::string opener_;
    std::vector<std::string> addresses_;
    std::size_t next_ = 0;
    ChildProcess child_;
    ProcessWatch watch_;
    State state_ = State::failed;
    std::string reason_;
};
