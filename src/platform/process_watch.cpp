#include "platform/process_watch.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace {
bool validId(std::uint32_t processId) { return processId > 0 && processId <= INT_MAX; }
}  // namespace

ProcessWatch::Result ProcessWatch::open(std::uint32_t processId) {
    close();
    if (!validId(processId)) return Result::gone;
    const int pid = static_cast<int>(processId);
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        pidfd_.reset(static_cast<int>(fd));
    } else if (errno == ESRCH) {
        return Result::gone;
    } else if (errno == ENOSYS || errno == EPERM) {
        // Old kernels and some sandboxes: fall back to asking kill() now and then.
        if (!processIsAlive(processId)) return Result::gone;
    } else {
        return Result::failed;
    }
    processId_ = pid;
    return Result::watching;
}

void ProcessWatch::close() {
    pidfd_.reset();
    processId_ = 0;
}

bool ProcessWatch::ended() const {
    if (processId_ == 0) return false;
    if (!pidfd_) return !processIsAlive(static_cast<std::uint32_t>(processId_));
    pollfd entry{pidfd_.get(), POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

bool processIsAlive(std::uint32_t processId) {
    if (!validId(processId)) return false;
    return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}
