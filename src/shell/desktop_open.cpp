#include "shell/desktop_open.h"

#include <sys/wait.h>

#include <cerrno>
#include <cstring>

namespace {
std::string describeStatus(const std::string& opener, int status) {
    if (status >= 0 && WIFEXITED(status)) return opener + " ended with exit status " + std::to_string(WEXITSTATUS(status));
    if (status >= 0 && WIFSIGNALED(status)) return opener + " was ended by signal " + std::to_string(WTERMSIG(status));
    return opener + " ended in an unknown way";
}
}  // namespace

DesktopOpen::State DesktopOpen::start(std::vector<std::string> addresses) {
    addresses_ = std::move(addresses);
    next_ = 0;
    reason_.clear();
    return state_ = startNext();
}

DesktopOpen::State DesktopOpen::startNext() {
    while (next_ < addresses_.size()) {
        const std::string& address = addresses_[next_++];
        if (!child_.start(opener_, address)) {
            const int error = errno;
            reason_ = opener_ + ": " + std::strerror(error);
            continue;
        }
        // Without a process descriptor, poll() asks waitpid instead.
        watch_.open(static_cast<std::uint32_t>(child_.pid()));
        return State::running;
    }
    return State::failed;
}

DesktopOpen::State DesktopOpen::poll() {
    if (state_ != State::running || child_.running()) return state_;
    watch_.close();
    const int status = child_.exitStatus();
    if (status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) return state_ = State::opened;
    reason_ = describeStatus(opener_, status);
    return state_ = startNext();
}
