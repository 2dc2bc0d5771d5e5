#pragma once
#include <string>

#include "platform/unique_fd.h"

// Watches one file for being saved, through inotify on its folder: a write that was
// closed, or another file renamed onto it (programs that save through a temporary file).
class FileWatch {
public:
    enum class Change { none, saved, gone };

    // False when inotify is not available; the watch is then simply absent.
    bool watch(const std::string& path);
    void stop();
    explicit operator bool() const { return static_cast<bool>(fd_); }
    // Readable when events are queued.
    int descriptor() const { return fd_.get(); }
    // Takes every queued event: saved when the file was saved since, gone when it was
    // deleted or renamed away (the watch then stops); none otherwise.
    Change take();

private:
    UniqueFd fd_;
    std::string name_;
};
