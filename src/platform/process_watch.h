#pragma once
#include <cstdint>

#include "platform/unique_fd.h"

// Watches another process for its end through a pidfd, which poll() reports readable
// once the process has terminated.
class ProcessWatch {
public:
    enum class Result { watching, gone, failed };

    // gone: no process has that id (or the id cannot be one).
    Result open(std::uint32_t processId);
    explicit operator bool() const { return processId_ != 0; }
    // The process watched; 0 when none.
    std::uint32_t processId() const { return static_cast<std::uint32_t>(processId_); }
    void close();

    // -1 when the kernel offers no pidfd; ended() then asks with kill().
    int descriptor() const { return pidfd_.get(); }
    bool ended() const;

private:
    UniqueFd pidfd_;
    int processId_ = 0;
};

// Whether a process with that id exists (a zombie counts as existing).
bool processIsAlive(std::uint32_t processId);
